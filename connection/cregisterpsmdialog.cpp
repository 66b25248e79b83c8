#include "cregisterpsmdialog.h"
#include "ui_cregisterpsmdialog.h"

#include "ccommand.h"
#include "cmsg.h"
#include "cmsgfield.h"
#include "commandnames.h"

namespace {
const QString EntryPrefix = QStringLiteral("psm: ");
}

CRegisterPSMDialog::CRegisterPSMDialog(CMsg *link, LogManager *log, QWidget *parent)
    : PsmDialog(QStringLiteral("Register PSM"), parent, 0, 0, false)
    , m_handlers(this, log,
                 {{"BB@04@0D", &CRegisterPSMDialog::registerPSMProc},
                  {"BB@04@0F", &CRegisterPSMDialog::unregisterPSMProc}})
    , m_link(link)
    , m_logger(log)
    , m_wire(link, log, QStringLiteral(".\\cregisterpsmdialog"))
{
    if (m_link)
        connect(m_link, &CMsg::sig_rcvL2capMsg, this, &CRegisterPSMDialog::onRcvMsg);
}

CRegisterPSMDialog::~CRegisterPSMDialog()
{
    delete ui;
}

void CRegisterPSMDialog::setVisible(bool visible)
{
    // Built before showing, so the form's widgets are shown with the dialog.
    if (visible)
        buildForm();
    PsmDialog::setVisible(visible);
}

void CRegisterPSMDialog::buildForm()
{
    if (ui)
        return;
    ui = new Ui::CRegisterPSMDialog;
    ui->setupUi(m_content);
    m_msgField = new CmsgField(m_logger, QString::fromLatin1(CMD_REGISTER_PSM), ui->gridLayout, this);
    m_msgField->buildForm(false);
    connect(ui->pushButtonRegister, &QPushButton::clicked, this,
            &CRegisterPSMDialog::on_pushButtonRegister_clicked);
    connect(ui->pushButtonUnRegister, &QPushButton::clicked, this,
            &CRegisterPSMDialog::on_pushButtonUnRegister_clicked);
    ui->listWidgetPsm->addItems(m_entries);
    m_entries.clear();
}

void CRegisterPSMDialog::clearPsmList()
{
    if (ui)
        ui->listWidgetPsm->clear();
    m_entries.clear();
    // A late unregister answer must not take a later entry.
    m_unregisterRow = -1;
}

QStringList CRegisterPSMDialog::psmEntries() const
{
    if (!ui)
        return m_entries;
    QStringList entries;
    for (int i = 0; i < ui->listWidgetPsm->count(); ++i)
        entries.append(ui->listWidgetPsm->item(i)->text());
    return entries;
}

void CRegisterPSMDialog::on_pushButtonRegister_clicked()
{
    if (!m_msgField->acceptTypedValues())
        return;
    const QMap<QString, QVariant> values = m_msgField->getFieldValues(false);
    m_psm = QString::number(values.value(QStringLiteral("ls_psm")).toString().toUInt(nullptr, 16));
    m_wire.send(QLatin1String(CMD_REGISTER_PSM), values);
}

void CRegisterPSMDialog::on_pushButtonUnRegister_clicked()
{
    QListWidgetItem *item = ui->listWidgetPsm->currentItem();
    if (!item)
        return;
    m_unregisterRow = ui->listWidgetPsm->row(item);
    const quint8 psm = quint8(item->text().split(QLatin1Char(' ')).value(1).toUInt());
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("ls_psm"), int(psm));
    m_wire.send(QLatin1String(CMD_UNREGISTER_PSM), fields);
}

void CRegisterPSMDialog::onRcvMsg(QByteArray frame)
{
    m_handlers.dispatch(frame);
}

bool CRegisterPSMDialog::isSuccess(const QByteArray &frame)
{
    return PageWire::acknowledgement(frame) == 0;
}

void CRegisterPSMDialog::registerPSMProc(const QByteArray &frame)
{
    CCommand::lastCompleteProc(m_logger, frame);
    if (!isSuccess(frame))
        return;
    const QString entry = EntryPrefix + m_psm;
    if (!ui) {
        if (!m_entries.contains(entry))
            m_entries.append(entry);
        return;
    }
    if (ui->listWidgetPsm->findItems(entry, Qt::MatchExactly).isEmpty())
        ui->listWidgetPsm->addItem(entry);
}

void CRegisterPSMDialog::unregisterPSMProc(const QByteArray &frame)
{
    CCommand::lastCompleteProc(m_logger, frame);
    // Without the form no row was clicked: m_unregisterRow is still -1.
    if (!isSuccess(frame) || !ui)
        return;
    if (QListWidgetItem *item = ui->listWidgetPsm->takeItem(m_unregisterRow))
        delete item;
}
