#include "cconnectionwidget.h"
#include "cconnectionwidget_p.h"

#include <QPointer>

#include "ccommand.h"
#include "commandnames.h"
#include "cutil.h"
#include "devicestablemodel.h"
#include "logger.h"
#include "logmanager.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "scanpageform.h"

using namespace ScanningPage;

void CConnectionWidget::resetAutoConnectButton()
{
    ui->buttonAutoConnect->setText(kAutoConnect);
    ui->buttonAutoConnect->setToolTip(kAutoConnect);
    ui->buttonAutoConnect->setIcon(QIcon(QStringLiteral(":/icons/autoConnect.png")));
}

// A connection attempt ended without a connection.
void CConnectionWidget::connectStateReset()
{
    if (m_autoConnect) {
        // Only the automatic attempt is undone; an automatic connection that
        // is already up keeps its "Disconnect".
        if (ui->buttonAutoConnect->text() == kCancelAutoConnect)
            resetAutoConnectButton();
        return;
    }

    // Only a row that is connecting goes back, the device being connected first.
    const QByteArray connecting(1, char(1));
    int row = -1;
    if (!m_connectingDevice.isEmpty()) {
        for (int i = 0; i < devices().size(); ++i) {
            const auto &device = devices().at(i);
            if (device.value(QStringLiteral("connected")) == connecting
                && CUtil::cmpArray(device.value(QStringLiteral("addr")),
                                   m_connectingDevice.value(QStringLiteral("addr"))) == 0
                && CUtil::cmpArray(device.value(QStringLiteral("addr_type")),
                                   m_connectingDevice.value(QStringLiteral("addr_type"))) == 0) {
                row = i;
                break;
            }
        }
    }
    if (row < 0) {
        const int current = currentDeviceRow();
        if (current >= 0 && devices().at(current).value(QStringLiteral("connected")) == connecting)
            row = current;
    }
    if (row < 0)
        return;

    DeviceRecord device = devices().at(row);
    device.insert(QStringLiteral("connected"), QByteArray(1, char(0)));
    devicesModel()->updateItem(row, device);
    m_connectingDevice.clear();
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
}

// ---------------------------------------------------------------------------
// Connection handlers

void CConnectionWidget::connectStatusProc(const QByteArray &frame)
{
    // Lost: the connection's result still ends the attempt.
    if (!m_wire.acknowledge(frame, QString::fromLatin1(CMD_5_0_CONNECT)))
        return;
    const std::optional<uchar> status = PageWire::acknowledgement(frame);
    if (status && *status != 0)
        connectStateReset();
}

void CConnectionWidget::connectProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::connectProc");
    QMap<QString, QByteArray> fields;
    switch (m_wire.check(frame, 1822, function, &fields)) {
    case PageWire::Succeeded:
        break;
    case PageWire::Failed:
        connectStateReset();
        return;
    default:
        return;
    }
    const QByteArray addr = fields.value(QStringLiteral("addr"));
    if (addr.isEmpty()) {
        m_logger->log(QStringLiteral("Parse connect response failed."), LogLevel::Debug);
        return;
    }
    const QByteArray connected = fields.value(QStringLiteral("connected"));
    if (connected.isEmpty() || connected.at(0) != 1) {
        m_logger->log(QStringLiteral("Connect failed."), LogLevel::Error);
        // The attempt is over either way; a row must not stay connecting.
        connectStateReset();
        return;
    }
    const QByteArray condixBytes = fields.value(QStringLiteral("condix"));
    const QByteArray roleBytes = fields.value(QStringLiteral("role"));
    if (condixBytes.isEmpty() || roleBytes.isEmpty()) {
        m_wire.internalError(1840, function);
        return;
    }
    const uchar condix = uchar(condixBytes.at(0));
    const uint8_t role = uint8_t(roleBytes.at(0));
    m_openCondix.insert(condix);
    const QString text = CUtil::colonHex(addr, CUtil::Reversed);

    if (role == 0) {
        m_masterCondixList.append(condix);
        emit sig_masterCondixChanged();
    }

    // Only the attempt started by Auto Connect is the automatic connection.
    const bool automatic = m_autoConnect && ui->buttonAutoConnect->text() == kCancelAutoConnect;

    QString peerName = QStringLiteral("Peer Device");
    if (!automatic && role == 0) {
        const int row = currentDeviceRow();
        if (row >= 0) {
            const QByteArray device = devices().at(row).value(QStringLiteral("device"));
            if (!device.isEmpty())
                peerName = QString::fromUtf8(device);
        }
    }

    ConnectionPageArgs args;
    args.role = role;
    args.interval = quint16(CUtil::littleEndian(fields.value(QStringLiteral("con_interval"))));
    args.latency = quint16(CUtil::littleEndian(fields.value(QStringLiteral("con_latency"))));
    args.supervisionTimeout = quint16(CUtil::littleEndian(fields.value(QStringLiteral("sup_to"))));
    args.peerName = peerName;
    args.peerAddress = text;
    args.condix = condix;

    QPointer<CConnectionWidget> self(this);
    ConnectionPage *page = PageRegistry::create<PageKind::Connection>(pageContext(), args);
    emit connectSuccess(role, text, page);
    if (!self)
        return;

    if (automatic) {
        m_autoCondix = QByteArray(1, char(condix));
        ui->buttonAutoConnect->setText(kDisconnect);
        ui->buttonAutoConnect->setToolTip(kDisconnect);
        ui->buttonAutoConnect->setIcon(QIcon(QStringLiteral(":/icons/disAutoConnect.png")));
        return;
    }
    if (role == 1)
        return;

    for (int i = 0; i < devices().size(); ++i) {
        const auto &device = devices().at(i);
        if (CUtil::cmpArray(device.value(QStringLiteral("addr")),
                            m_connectingDevice.value(QStringLiteral("addr"))) == 0
            && CUtil::cmpArray(device.value(QStringLiteral("addr_type")),
                               m_connectingDevice.value(QStringLiteral("addr_type"))) == 0) {
            DeviceRecord record = device;
            record.insert(QStringLiteral("connected"), QByteArray(1, char(2)));
            record.insert(QStringLiteral("condix"), condixBytes.left(1));
            devicesModel()->updateItem(i, record);
            m_connectingDevice.clear();
            onTableView_devicesClicked(ui->tableView_devices->currentIndex());
            break;
        }
    }
}

void CConnectionWidget::autoConnectTimeoutProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!parsed(m_wire, frame, &fields))
        return;
    if (m_autoConnect) {
        if (ui->buttonAutoConnect->text() == kCancelAutoConnect)
            resetAutoConnectButton();
        return;
    }
    connectStateReset();
    ui->buttonScan->setEnabled(true);
    ui->tableView_devices->setEnabled(true);
}

void CConnectionWidget::cancelConnectProc(const QByteArray &frame)
{
    if (m_wire.check(frame, 2726, QStringLiteral("CConnectionWidget::cancelConnectProc")) == PageWire::Succeeded)
        connectStateReset();
}

void CConnectionWidget::disconnectProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (m_wire.check(frame, 2017, QStringLiteral("CConnectionWidget::disconnectProc"), &fields)
        != PageWire::Succeeded)
        return;
    const QByteArray condixBytes = fields.value(QStringLiteral("condix"));
    if (condixBytes.isEmpty()) {
        m_wire.internalError(2025, QStringLiteral("CConnectionWidget::disconnectProc"));
        return;
    }
    const uchar condix = uchar(condixBytes.at(0));
    const int master = m_masterCondixList.indexOf(condix);
    if (master >= 0) {
        m_masterCondixList.remove(master);
        emit sig_masterCondixChanged();
    }
    QPointer<CConnectionWidget> self(this);
    emit disConnectRequest(condix);
    if (!self)
        return;
    m_openCondix.remove(condix);

    if (m_autoConnect && m_autoCondix.size() == 1 && uchar(m_autoCondix.at(0)) == condix
        && ui->buttonAutoConnect->text() == kDisconnect) {
        resetAutoConnectButton();
        m_autoCondix.clear();
        return;
    }
    for (int i = 0; i < devices().size(); ++i) {
        const auto &device = devices().at(i);
        if (device.contains(QStringLiteral("condix"))
            && CUtil::cmpArray(device.value(QStringLiteral("condix")), condixBytes.left(1)) == 0) {
            DeviceRecord record = device;
            record.insert(QStringLiteral("connected"), QByteArray(1, char(0)));
            record.remove(QStringLiteral("condix"));
            devicesModel()->updateItem(i, record);
            onTableView_devicesClicked(ui->tableView_devices->currentIndex());
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// User actions: connecting

void CConnectionWidget::on_buttonConnect_clicked()
{
    refreshSettings();
    const int row = currentDeviceRow();
    if (row < 0) {
        m_logger->log(QStringLiteral("The row selected from the Discovery Devices table is wrong."), LogLevel::Error);
        return;
    }
    DeviceRecord device = devices().at(row);
    const QString state = ui->buttonConnect->text();
    if (state == kConnect) {
        QMap<QString, QVariant> overrides;
        const QMap<QString, QByteArray> fields = device.toMap();
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            overrides.insert(it.key(), it.value());
        // A frame that never left starts no connection.
        if (!sendCommand(QString::fromLatin1(CMD_5_0_CONNECT), &m_settings, &overrides,
                         &CConnectionWidget::connectStatusProc))
            return;
        device.insert(QStringLiteral("connected"), QByteArray(1, char(1)));
        devicesModel()->updateItem(row, device);
        m_connectingDevice.clear();
        m_connectingDevice.insert(QStringLiteral("addr"), device.value(QStringLiteral("addr")));
        m_connectingDevice.insert(QStringLiteral("addr_type"), device.value(QStringLiteral("addr_type")));
        onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    } else if (state == kCancel) {
        sendCommand(QString::fromLatin1(CMD_CANCEL_CONNECT), nullptr, nullptr);
    } else if (state == kDisconnect) {
        QMap<QString, QVariant> values;
        values.insert(QStringLiteral("condix"), device.value(QStringLiteral("condix")));
        sendCommand(QString::fromLatin1(CMD_DISCONNECT), &values, nullptr);
    }
}

void CConnectionWidget::on_openAutoConnect(bool autoConnect)
{
    m_autoConnect = autoConnect;
    if (autoConnect) {
        ui->buttonConnect->setEnabled(false);
        ui->buttonAutoConnect->setEnabled(true);
        return;
    }
    const QModelIndex index = ui->tableView_devices->currentIndex();
    if (index.isValid())
        onTableView_devicesClicked(index);
    ui->buttonAutoConnect->setEnabled(false);
}

void CConnectionWidget::on_buttonAutoConnect_clicked()
{
    refreshSettings();
    const QString state = ui->buttonAutoConnect->text();
    if (state == kAutoConnect) {
        QMap<QString, QVariant> overrides;
        overrides.insert(QStringLiteral("addr"), QByteArray(6, char(0)));
        overrides.insert(QStringLiteral("addr_type"), QByteArray(1, char(0)));
        if (!sendCommand(QString::fromLatin1(CMD_5_0_CONNECT), &m_settings, &overrides,
                         &CConnectionWidget::connectStatusProc))
            return;
        ui->buttonAutoConnect->setText(kCancelAutoConnect);
        ui->buttonAutoConnect->setToolTip(kCancel);
        ui->buttonAutoConnect->setIcon(QIcon(QStringLiteral(":/icons/cancelAutoConnect.png")));
    } else if (state == kCancelAutoConnect) {
        sendCommand(QString::fromLatin1(CMD_CANCEL_CONNECT), nullptr, nullptr);
    } else if (state == kDisconnect) {
        QMap<QString, QVariant> values;
        values.insert(QStringLiteral("condix"), m_autoCondix);
        sendCommand(QString::fromLatin1(CMD_DISCONNECT), &values, nullptr);
    }
}

void CConnectionWidget::on_buttonCIGCIS_clicked()
{
    if (m_cigCisOpened) {
        emit toCIGCISWidget();
        return;
    }
    CigCisArgs args;
    args.aclIndexes = &m_masterCondixList;
    CigCisPage *page = PageRegistry::create<PageKind::CigCisCentral>(pageContext(), args);
    if (!page)
        return;
    m_cigCisOpened = true;
    emit cigcisSuccess(page);
}

void CConnectionWidget::on_masterCondixChanged()
{
    ui->buttonCIGCIS->setEnabled(!m_masterCondixList.isEmpty());
}
