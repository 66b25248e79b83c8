#include "cstandardmsgdlg.h"
#include "ui_cstandardmsgdlg.h"

#include "cmsgfield.h"

CStandardMsgDlg::CStandardMsgDlg(LogManager *log, const QString &title, const QString &cmdName,
                                 QWidget *parent)
    : CFlatDialog(title, parent, 0, 0, false)
    , ui(new Ui::CStandardMsgDlg)
    , m_cmdName(cmdName)
    , m_msgField(nullptr)
    , m_log(log)
{
    ui->setupUi(m_content);
    m_msgField = new CmsgField(m_log, m_cmdName, ui->gridLayout, this);
    m_msgField->hide();
    connect(ui->pushButtonOK, &QPushButton::clicked, this, &CStandardMsgDlg::on_pushButtonOK_clicked);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &CStandardMsgDlg::on_pushButtonCancel_clicked);
    setAttribute(Qt::WA_DeleteOnClose);
}

CStandardMsgDlg::~CStandardMsgDlg()
{
    delete ui;
}

void CStandardMsgDlg::buildForm()
{
    m_msgField->buildForm(false);
}

void CStandardMsgDlg::buildSubFieldForm()
{
    m_msgField->buildForm(true);
}

QMap<QString, QVariant> CStandardMsgDlg::getFieldValues()
{
    return m_msgField->getFieldValues(false);
}

QMap<QString, QVariant> CStandardMsgDlg::getSubFieldValues()
{
    return m_msgField->getFieldValues(true);
}

void CStandardMsgDlg::setFieldValues(const QMap<QString, QVariant> &values)
{
    m_msgField->setFieldValues(values, true);
}

void CStandardMsgDlg::setFieldValueMap(const QMap<QString, QVariant> &values)
{
    m_fieldValueMap = values;
}

void CStandardMsgDlg::on_pushButtonOK_clicked()
{
    if (!m_msgField->acceptTypedValues())
        return;
    // Receivers read the values while the dialog still exists; it is deleted after the close.
    emit sig_standardOKClicked();
    accept();
}

void CStandardMsgDlg::on_pushButtonCancel_clicked()
{
    reject();
}
