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
    , m_link(link)
    , m_logger(log)
    , m_wire(link, log, QStringLiteral(".\\cregisterpsmdialog"))
{
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
    ++m_listSerial;
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
    const QString psm = QString::number(values.value(QStringLiteral("ls_psm")).toString().toUInt(nullptr, 16));
    m_wire.send(QLatin1String(CMD_REGISTER_PSM), values, {},
                PageWire::Answer(this, [this, psm](const QByteArray &frame) { registerPSMProc(psm, frame); }));
}

void CRegisterPSMDialog::on_pushButtonUnRegister_clicked()
{
    QListWidgetItem *item = ui->listWidgetPsm->currentItem();
    if (!item)
        return;
    // The answer takes the row clicked, even when the selection moved since.
    const int row = ui->listWidgetPsm->row(item);
    const quint64 serial = m_listSerial;
    const quint8 psm = quint8(item->text().split(QLatin1Char(' ')).value(1).toUInt());
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("ls_psm"), int(psm));
    m_wire.send(QLatin1String(CMD_UNREGISTER_PSM), fields, {},
                PageWire::Answer(this, [this, row, serial](const QByteArray &frame) {
                    unregisterPSMProc(serial == m_listSerial ? row : -1, frame);
                }));
}

bool CRegisterPSMDialog::isSuccess(const QByteArray &frame, const QString &command) const
{
    return m_wire.acknowledgeLast(frame, command, PageWire::Form().completeResult()) == 0
        && PageWire::acknowledgement(frame) == 0;
}

void CRegisterPSMDialog::registerPSMProc(const QString &psm, const QByteArray &frame)
{
    if (!isSuccess(frame, QLatin1String(CMD_REGISTER_PSM)))
        return;
    const QString entry = EntryPrefix + psm;
    if (!ui) {
        if (!m_entries.contains(entry))
            m_entries.append(entry);
        return;
    }
    if (ui->listWidgetPsm->findItems(entry, Qt::MatchExactly).isEmpty())
        ui->listWidgetPsm->addItem(entry);
}

void CRegisterPSMDialog::unregisterPSMProc(int row, const QByteArray &frame)
{
    if (!isSuccess(frame, QLatin1String(CMD_UNREGISTER_PSM)) || !ui)
        return;
    if (QListWidgetItem *item = ui->listWidgetPsm->takeItem(row))
        delete item;
}
