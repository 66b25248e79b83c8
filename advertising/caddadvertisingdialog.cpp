#include "caddadvertisingdialog.h"
#include "ui_caddadvertisingdialog.h"

#include "advertisingtypes.h"

CAddAdvertisingDialog::CAddAdvertisingDialog(LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("Create New Advertising"), parent, 0, 0, false)
    , ui(new Ui::AddAdvertisingDialog)
    , m_advTypes(AdvertisingTypes::all())
    , m_advIndexes({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                    QStringLiteral("4")})
    , m_logger(logger)
{
    ui->setupUi(m_content);
    m_content->resize(412, 238);
    ui->comboBox_AdvType->addItems(m_advTypes);
    ui->comboBox_AdvType->setCurrentText(AdvertisingTypes::legacy());
    ui->comboBox_AdvIndex->addItems(m_advIndexes);
    ui->comboBox_AdvIndex->setCurrentText(QStringLiteral("0"));
    connect(ui->PB_AddAdv, &QPushButton::clicked, this, &CAddAdvertisingDialog::on_PB_AddAdv_clicked);
    connect(ui->PB_Cancle, &QPushButton::clicked, this, &CAddAdvertisingDialog::on_PB_Cancel_clicked);
    connect(ui->comboBox_AdvType, &QComboBox::currentTextChanged, this, &CAddAdvertisingDialog::on_advTypeChanged);
}

CAddAdvertisingDialog::~CAddAdvertisingDialog()
{
    delete ui;
}

void CAddAdvertisingDialog::fillFreeAdvIndexes(const QVector<advListItem> &sets)
{
    QStringList free = m_advIndexes;
    for (const advListItem &set : sets)
        free.removeOne(QString::number(set.advIndex));
    ui->comboBox_AdvIndex->clear();
    ui->comboBox_AdvIndex->addItems(free);
}

void CAddAdvertisingDialog::on_PB_AddAdv_clicked()
{
    const int index = int(ui->comboBox_AdvIndex->currentText().toUInt());
    emit addAdvertisingItem(index, ui->comboBox_AdvType->currentText());
    accept();
}

void CAddAdvertisingDialog::on_PB_Cancel_clicked()
{
    reject();
}

void CAddAdvertisingDialog::on_advTypeChanged(QString strItem)
{
    emit advTypeChanged(strItem);
}

void CAddAdvertisingDialog::on_advTableClicked(QString str)
{
    if (m_advTypes.contains(str))
        ui->comboBox_AdvType->setCurrentText(str);
}
