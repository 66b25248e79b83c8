#include "createcisdialog.h"

#include "ui_createcisdialog.h"

#include "cflatmessage.h"
#include "cstyledcombobox.h"
#include "cutil.h"
#include "cvalidatelineedit.h"

#include <QLabel>

createCISDialog::createCISDialog(CMsg *link, LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("Create CIS Connection"), parent, 0, 0, false), ui(new Ui::createCISDialog),
      m_wire(link, logger, QStringLiteral(".\\createcisdialog"))
{
    ui->setupUi(m_content);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &createCISDialog::on_pushButton_ok_clicked);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

createCISDialog::~createCISDialog()
{
    delete ui;
}

void createCISDialog::setCisList(QVector<cisParameter> records, QVector<quint8> aclIndexes)
{
    m_records = records;
    m_aclIndexes = aclIndexes;
    m_rows.clear();
    while (QLayoutItem *item = ui->gridLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int row = 0; row < m_records.size(); ++row) {
        auto *handle = new CValidateLineEdit(m_content);
        handle->setText(m_records.at(row).cisHandle);
        handle->setEnabled(false);
        handle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto *acl = new CStyledComboBox(m_content);
        for (quint8 index : qAsConst(m_aclIndexes))
            acl->addItem(QString::number(index));
        acl->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        ui->gridLayout->addWidget(new QLabel(QStringLiteral("CIS Connection Handle"), m_content), row, 0);
        ui->gridLayout->addWidget(handle, row, 1);
        ui->gridLayout->addWidget(new QLabel(QStringLiteral("ACL Connection Index"), m_content), row, 2);
        ui->gridLayout->addWidget(acl, row, 3);
        m_rows.append({handle, acl});
    }
}

int createCISDialog::rowCount() const
{
    return m_rows.size();
}

void createCISDialog::collectCisValues(QStringList *handles, QStringList *aclIndexes) const
{
    for (const Row &row : m_rows) {
        handles->append(row.handle->getValue());
        aclIndexes->append(row.acl->currentText());
    }
}

void createCISDialog::on_pushButton_ok_clicked()
{
    QStringList handles;
    QStringList aclIndexes;
    collectCisValues(&handles, &aclIndexes);
    if (handles.size() != aclIndexes.size()) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), QStringLiteral("Get cis data error"));
        return;
    }
    QByteArray values;
    for (int i = 0; i < handles.size(); ++i) {
        values += CUtil::valueToArray(0, handles.at(i).toUInt(), 2);
        values += CUtil::valueToArray(0, aclIndexes.at(i).toUInt(), 1);
    }
    m_wire.send(QStringLiteral("Create CIS"),
                {{QStringLiteral("cis_count"), uint(m_records.size())}, {QStringLiteral("cis_value"), values}});
    accept();
}
