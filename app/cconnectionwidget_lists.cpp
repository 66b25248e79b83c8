#include "cconnectionwidget.h"
#include "cconnectionwidget_p.h"

#include <QPointer>

#include "adddevicedialog.h"
#include "addperiodicdevicedialog.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "commandnames.h"
#include "deviceperiodiclistmodel.h"
#include "logger.h"
#include "logmanager.h"
#include "scanpageform.h"

using namespace ScanningPage;

namespace {

constexpr int kWhiteListLimit = 10;
constexpr int kPeriodicListLimit = 4;

} // namespace

// ---------------------------------------------------------------------------
// The list shown

void CConnectionWidget::applyWhiteListLayout()
{
    showWhiteListView();
}

void CConnectionWidget::showWhiteListView()
{
    ui->tableView_deviceList->setModel(m_lists.whiteList());
    ui->deviceListAdd->setEnabled(true);
    ui->deviceListDelete->setEnabled(true);
    ui->deviceListClear->setEnabled(true);
    ui->devicePrivacyModeUpdate->hide();
    ui->tableView_deviceList->setColumnWidth(0, 400);
    ui->tableView_deviceList->setColumnWidth(1, 400);
}

void CConnectionWidget::updatePrivacyModeProc(const QByteArray &frame)
{
    m_lists.privacyModeAnswered();
    if (!m_wire.acknowledgeLast(frame, QString::fromLatin1(CMD_UPDATE_PRIVACY_MODE)))
        return;
    if (PageWire::acknowledgement(frame) == 0)
        on_deviceListRefresh_clicked();
}

void CConnectionWidget::operateWhitelistProc(const QByteArray &frame)
{
    m_wire.check(frame, 2169, QStringLiteral("CConnectionWidget::operateWhitelistProc"));
}

// ---------------------------------------------------------------------------
// Controller list handlers

void CConnectionWidget::sendListChange(ControllerLists::Change change, const QString &command,
                                       const QMap<QString, QVariant> &values)
{
    m_wire.send(command, values, {},
                PageWire::Answer(this, [this, change](const QByteArray &frame) { listChangeAnswered(change, frame); }));
}

// An acknowledgement names no device: an accepted change, or one whose answer
// was lost, is read back whole, so the list shows what the dongle holds.
void CConnectionWidget::listChangeAnswered(ControllerLists::Change change, const QByteArray &frame)
{
    if (!frame.isEmpty()) {
        if (change == ControllerLists::DeleteBond)
            m_wire.acknowledgeLast(frame, PageWire::uplinkName(frame));
        else
            m_wire.acknowledge(frame, PageWire::uplinkName(frame));
        if (PageWire::firstPayloadByte(frame) != 0)
            return;
    }
    sendCommand(QString::fromLatin1(getListCommand(ControllerLists::listOf(change))), nullptr, nullptr);
}

const char *CConnectionWidget::getListCommand(ControllerLists::List list)
{
    switch (list) {
    case ControllerLists::WhiteList:
        return CMD_GET_WHITELIST;
    case ControllerLists::BondList:
        return CMD_GETTING_BOND_LIST;
    case ControllerLists::PeriodicList:
        return CMD_GET_PERIODIC_ADV_LIST;
    case ControllerLists::ResolvingList:
        break;
    }
    return CMD_GET_RPA_LIST;
}

void CConnectionWidget::clearWhitelistProc(const QByteArray &frame)
{
    if (!m_wire.acknowledge(frame, QString::fromLatin1(CMD_CLEAR_WHITELIST)))
        return;
    if (PageWire::firstPayloadByte(frame) == 0)
        m_lists.clear(ControllerLists::WhiteList);
}

void CConnectionWidget::clearBondlistProc(const QByteArray &frame)
{
    if (!m_wire.acknowledgeLast(frame, QString::fromLatin1(CMD_CLEAR_BOND_LIST)))
        return;
    if (PageWire::firstPayloadByte(frame) == 0)
        m_lists.clear(ControllerLists::BondList);
}

void CConnectionWidget::clearPeriodicAdvlistProc(const QByteArray &frame)
{
    if (!m_wire.acknowledge(frame, QString::fromLatin1(CMD_CLEAR_PERIODIC_ADV_LIST)))
        return;
    if (PageWire::firstPayloadByte(frame) == 0)
        m_lists.clear(ControllerLists::PeriodicList);
}

void CConnectionWidget::takeListResult(const QByteArray &frame, const QString &failureText,
                                       ControllerLists::List list)
{
    QMap<QString, QByteArray> fields;
    if (!parsed(m_wire, frame, &fields))
        return;
    if (!m_lists.take(list, PageWire::payload(frame)))
        m_logger->log(failureText, LogLevel::Error);
}

void CConnectionWidget::getWhitelistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get white list response is wrong."), ControllerLists::WhiteList);
}

void CConnectionWidget::getBondlistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get bond list response is wrong."), ControllerLists::BondList);
}

void CConnectionWidget::getPeriodicAdvlistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get periodic advertising list response is wrong."),
                   ControllerLists::PeriodicList);
}

void CConnectionWidget::getRpalistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get Rpa list response is wrong."), ControllerLists::ResolvingList);
}

void CConnectionWidget::OperateBondlistProc(const QByteArray &frame)
{
    m_wire.check(frame, 2265, QStringLiteral("CConnectionWidget::OperateBondlistProc"));
}

void CConnectionWidget::on_buttonAddToWhiteList_clicked()
{
    const int row = currentDeviceRow();
    if (row < 0) {
        m_logger->log(QStringLiteral("The row selected from the Discovery Devices table is wrong."), LogLevel::Error);
        return;
    }
    DeviceListEntry entry;
    entry.addr = devices().at(row).value(QStringLiteral("addr"));
    entry.addrType = devices().at(row).value(QStringLiteral("addr_type"));
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("addr"), entry.addr);
    values.insert(QStringLiteral("addr_type"), entry.addrType);
    sendListChange(ControllerLists::AddWhite, QString::fromLatin1(CMD_ADD_WHITELIST), values);
}

// ---------------------------------------------------------------------------
// User actions: controller lists

void CConnectionWidget::on_deviceListType_currentIndexChanged(int index)
{
    QTableView *view = ui->tableView_deviceList;
    switch (index) {
    case 0:
        applyWhiteListLayout();
        break;
    case 1:
        view->setModel(m_lists.bondList());
        ui->deviceListAdd->setEnabled(false);
        ui->deviceListDelete->setEnabled(true);
        ui->deviceListClear->setEnabled(true);
        ui->devicePrivacyModeUpdate->hide();
        view->setColumnWidth(0, 400);
        view->setColumnWidth(1, 400);
        break;
    case 2:
        view->setModel(m_lists.periodicList());
        ui->deviceListAdd->setEnabled(true);
        ui->deviceListDelete->setEnabled(true);
        ui->deviceListClear->setEnabled(true);
        ui->devicePrivacyModeUpdate->hide();
        view->setColumnWidth(0, 270);
        view->setColumnWidth(1, 270);
        view->setColumnWidth(2, 260);
        break;
    case 3:
        view->setModel(m_lists.resolvingList());
        ui->deviceListAdd->setEnabled(false);
        ui->deviceListDelete->setEnabled(false);
        ui->deviceListClear->setEnabled(false);
        ui->devicePrivacyModeUpdate->show();
        view->setColumnWidth(0, 120);
        view->setColumnWidth(1, 120);
        view->setColumnWidth(2, 120);
        view->setColumnWidth(3, 250);
        view->setColumnWidth(4, 250);
        break;
    default:
        break;
    }
    on_deviceListRefresh_clicked();
}

void CConnectionWidget::on_deviceListRefresh_clicked()
{
    const int type = ui->deviceListType->currentIndex();
    if (type < 0 || type > 3) {
        m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
        return;
    }
    sendCommand(QString::fromLatin1(getListCommand(ControllerLists::List(type))), nullptr, nullptr);
}

void CConnectionWidget::on_deviceListClear_clicked()
{
    static const char *const commands[] = {CMD_CLEAR_WHITELIST, CMD_CLEAR_BOND_LIST,
                                           CMD_CLEAR_PERIODIC_ADV_LIST};
    static const Acknowledged answers[] = {&CConnectionWidget::clearWhitelistProc,
                                           &CConnectionWidget::clearBondlistProc,
                                           &CConnectionWidget::clearPeriodicAdvlistProc};
    const int type = ui->deviceListType->currentIndex();
    if (type == 3)
        return;
    if (type < 0 || type > 3) {
        m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
        return;
    }
    sendCommand(QString::fromLatin1(commands[type]), nullptr, nullptr, answers[type]);
}

void CConnectionWidget::on_deviceListAdd_clicked()
{
    const int type = ui->deviceListType->currentIndex();
    QPointer<CConnectionWidget> self(this);
    if (type == 0) {
        if (m_lists.whiteList()->deviceCount() >= kWhiteListLimit) {
            const QString text = QStringLiteral("Can not add white list because white list is full.");
            m_logger->log(text, LogLevel::Error);
            CFlatMessage::information(this, QStringLiteral("error"), text);
            return;
        }
        AddDeviceDialog dialog(m_logger, nullptr);
        if (dialog.exec() != QDialog::Accepted || !self)
            return;
        const DeviceListEntry entry = dialog.getDevice();
        QMap<QString, QVariant> values;
        values.insert(QStringLiteral("addr"), entry.addr);
        values.insert(QStringLiteral("addr_type"), entry.addrType);
        sendListChange(ControllerLists::AddWhite, QString::fromLatin1(CMD_ADD_WHITELIST), values);
        return;
    }
    if (type == 2) {
        AddPeriodicDeviceDialog dialog(m_logger, nullptr);
        if (m_lists.periodicList()->deviceCount() >= kPeriodicListLimit) {
            const QString text =
                QStringLiteral("Can not add periodic advertising list because periodic advertising list is full.");
            m_logger->log(text, LogLevel::Error);
            CFlatMessage::information(this, QStringLiteral("error"), text);
            return;
        }
        if (dialog.exec() != QDialog::Accepted || !self)
            return;
        const DeviceListEntry entry = dialog.getDevice();
        QMap<QString, QVariant> values;
        values.insert(QStringLiteral("addr"), entry.addr);
        values.insert(QStringLiteral("addr_type"), entry.addrType);
        values.insert(QStringLiteral("adv_sid"), entry.advSid);
        sendListChange(ControllerLists::AddPeriodic, QString::fromLatin1(CMD_ADD_PERIODIC_ADV_LIST), values);
        return;
    }
    if (type == 3)
        return;
    m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
}

void CConnectionWidget::on_deviceListDelete_clicked()
{
    const QString wrongRow = QStringLiteral("The row selected from the Device list is wrong.");
    const QModelIndex index = ui->tableView_deviceList->currentIndex();
    if (!index.isValid()) {
        m_logger->log(wrongRow, LogLevel::Error);
        return;
    }
    const int type = ui->deviceListType->currentIndex();
    if (type == 3)
        return;
    if (type < 0 || type > 3) {
        m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
        return;
    }
    const QVector<DeviceListEntry> &entries = type == 0 ? m_lists.whiteList()->devices()
        : type == 1                                      ? m_lists.bondList()->devices()
                                                         : m_lists.periodicList()->devices();
    if (index.row() >= entries.size()) {
        m_logger->log(wrongRow, LogLevel::Error);
        return;
    }
    const DeviceListEntry entry = entries.at(index.row());
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("addr"), entry.addr);
    values.insert(QStringLiteral("addr_type"), entry.addrType);
    QString command;
    ControllerLists::Change kind;
    if (type == 0) {
        command = QString::fromLatin1(CMD_DELETE_WHITELIST);
        kind = ControllerLists::DeleteWhite;
    } else if (type == 1) {
        command = QString::fromLatin1(CMD_DELETING_BOND_LIST);
        kind = ControllerLists::DeleteBond;
    } else {
        command = QString::fromLatin1(CMD_DELETE_PERIODIC_ADV_LIST);
        values.insert(QStringLiteral("adv_sid"), entry.advSid);
        kind = ControllerLists::DeletePeriodic;
    }
    sendListChange(kind, command, values);
}

void CConnectionWidget::on_devicePrivacyModeUpdate_clicked()
{
    const QString wrongRow = QStringLiteral("The row selected from the Device list is wrong.");
    const QModelIndex index = ui->tableView_deviceList->currentIndex();
    if (!index.isValid()) {
        m_logger->log(wrongRow, LogLevel::Error);
        return;
    }
    if (ui->deviceListType->currentIndex() != 3) {
        m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
        return;
    }
    if (index.row() >= m_lists.resolvingList()->devices().size()) {
        m_logger->log(wrongRow, LogLevel::Error);
        return;
    }
    const DeviceRpaEntry entry = m_lists.resolvingList()->devices().at(index.row());
    const bool network = !entry.privacyMode.isEmpty() && entry.privacyMode.at(0) == 0;
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("peer_addr"), entry.peerAddr);
    values.insert(QStringLiteral("peer_addr_type"), entry.peerAddrType);
    values.insert(QStringLiteral("privacy_mode"), network ? 1 : 0);
    if (sendCommand(QString::fromLatin1(CMD_UPDATE_PRIVACY_MODE), &values, nullptr,
                    &CConnectionWidget::updatePrivacyModeProc))
        m_lists.expectPrivacyMode(entry);
}
