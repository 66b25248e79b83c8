#include "cconnectionwidget.h"
#include "cconnectionwidget_p.h"

#include <QPlainTextEdit>

#include "ccommand.h"
#include "cflatmessage.h"
#include "commandnames.h"
#include "cutil.h"
#include "scanpagewidgets.h"
#include "logger.h"
#include "logmanager.h"
#include "scanpageform.h"

using namespace ScanningPage;

QPlainTextEdit *CConnectionWidget::createPeriodicTextArea()
{
    auto *area = new FlatPlainTextEdit(this);
    area->setReadOnly(true);
    area->setMaximumBlockCount(1000);
    return area;
}

QPlainTextEdit *CConnectionWidget::periodicTextArea(uchar syncIndex) const
{
    return m_periodicSyncs.value(syncIndex).textArea;
}

quint16 CConnectionWidget::periodicSyncHandle(uchar syncIndex) const
{
    return m_periodicSyncs.value(syncIndex).syncHandle;
}

// Drops a sync's text area, its registry entry and its combo item.
void CConnectionWidget::removePeriodicSync(uchar syncIndex)
{
    const PeriodicSyncEntry entry = m_periodicSyncs.take(syncIndex);
    delete entry.textArea;
    for (int i = 0; i < ui->comboBox_peerAddr->count(); ++i) {
        if (ui->comboBox_peerAddr->itemData(i, Qt::UserRole).toUInt() == syncIndex) {
            ui->comboBox_peerAddr->removeItem(i);
            break;
        }
    }
}

void CConnectionWidget::syncPassiveStopProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::syncPassiveStopProc");
    QMap<QString, QByteArray> fields;
    if (!parsed(m_wire, frame, &fields))
        return;
    const QByteArray index = fields.value(QStringLiteral("index"));
    if (index.size() != 1) {
        m_wire.internalError(2680, function);
        return;
    }
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    const uchar syncIndex = uchar(index.at(0));
    if (syncIndex == kDefaultSyncIndex || !m_periodicSyncs.value(syncIndex).textArea) {
        m_wire.internalError(2695, function);
        return;
    }
    removePeriodicSync(syncIndex);
}

// ---------------------------------------------------------------------------
// Periodic sync handlers

void CConnectionWidget::createSyncStartSDKProc(const QByteArray &frame)
{
    if (!m_wire.acknowledge(frame, QString::fromLatin1(CMD_LE_PERIODIC_ADVERTISING_CREATE_SYNC_START)))
        return;
    const std::optional<uchar> status = PageWire::acknowledgement(frame);
    if (!status || *status == 0)
        return;
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    if (m_pendingSyncIndex == kDefaultSyncIndex || !m_periodicSyncs.value(m_pendingSyncIndex).textArea) {
        m_wire.internalError(2447, QStringLiteral("CConnectionWidget::createSyncStartSDKProc"));
        return;
    }
    removePeriodicSync(m_pendingSyncIndex);
}

void CConnectionWidget::createSyncStartProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::createSyncStartProc");
    QMap<QString, QByteArray> fields;
    const PageWire::Result result =
        m_wire.check(frame, 2482, function, &fields, PageWire::Form().quietFailure());
    if (result != PageWire::Succeeded && result != PageWire::Failed)
        return;
    const QByteArray index = fields.value(QStringLiteral("index"));
    if (index.size() != 1) {
        m_wire.internalError(2492, function);
        return;
    }
    const uchar syncIndex = uchar(index.at(0));
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());

    // A result for a sync the page never asked for adds nothing.
    const bool known = syncIndex != kDefaultSyncIndex && m_periodicSyncs.value(syncIndex).textArea;
    if (result == PageWire::Failed) {
        if (!known) {
            m_wire.internalError(2506, function);
            return;
        }
        removePeriodicSync(syncIndex);
        m_wire.logFailedStatus(frame, *PageWire::byteField(fields, QStringLiteral("status")));
        return;
    }
    if (!known) {
        m_wire.internalError(2506, function);
        return;
    }
    m_periodicSyncs[syncIndex].syncHandle =
        quint16(CUtil::littleEndian(fields.value(QStringLiteral("sync_handle"))) & 0xFFFF);

    ui->buttonMasterBIG->setEnabled(true);
    ui->tabWidget_device->setCurrentIndex(2);
    const QByteArray addrType = fields.value(QStringLiteral("addr_type"));
    if (addrType.size() != 1) {
        m_wire.internalError(2553, function);
        return;
    }
    QString text;
    if (addrType.at(0) == 0)
        text = QStringLiteral("public ");
    else if (addrType.at(0) == 1)
        text = QStringLiteral("random ");
    text += CUtil::colonHex(fields.value(QStringLiteral("peer_addr")), CUtil::Reversed);
    ui->comboBox_peerAddr->addItem(text, int(syncIndex));
    ui->comboBox_peerAddr->setCurrentText(text);

    CFlatMessage::notify(this, QStringLiteral("Info"), QStringLiteral("synchronize succeeded."));
}

void CConnectionWidget::createSyncStopProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::createSyncStopProc");
    QMap<QString, QByteArray> fields;
    // A refused stop leaves the sync as it was and is not logged.
    const PageWire::Result result =
        m_wire.check(frame, 2612, function, &fields, PageWire::Form().quietFailure());
    if (result != PageWire::Succeeded && result != PageWire::Failed)
        return;
    const QByteArray index = fields.value(QStringLiteral("index"));
    if (index.size() != 1) {
        m_wire.internalError(2622, function);
        return;
    }
    if (result == PageWire::Failed)
        return;
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    ui->buttonScan->setEnabled(true);
    ui->tableView_devices->setEnabled(true);
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    const uchar syncIndex = uchar(index.at(0));
    if (syncIndex == kDefaultSyncIndex || !m_periodicSyncs.value(syncIndex).textArea) {
        m_wire.internalError(2642, function);
        return;
    }
    removePeriodicSync(syncIndex);
}

// ---------------------------------------------------------------------------
// User actions: periodic sync

void CConnectionWidget::on_buttonSync_clicked()
{
    if (ui->buttonSync->toolTip() == kStartSync) {
        refreshSettings();
        QMap<QString, QVariant> overrides;
        if (m_periodicSyncType == 0) {
            const int row = currentDeviceRow();
            if (row < 0) {
                m_logger->log(QStringLiteral("The row selected from the Discovery Devices table is wrong."), LogLevel::Error);
                return;
            }
            const QMap<QString, QByteArray> device = devices().at(row).toMap();
            for (auto it = device.cbegin(); it != device.cend(); ++it)
                overrides.insert(it.key(), it.value());
        } else {
            overrides.insert(QStringLiteral("addr"), 0);
            overrides.insert(QStringLiteral("addr_type"), 0);
            overrides.insert(QStringLiteral("adv_sid"), 0);
        }
        int syncIndex = 0;
        while (syncIndex < kDefaultSyncIndex && m_periodicSyncs.contains(uchar(syncIndex)))
            ++syncIndex;
        if (syncIndex >= kDefaultSyncIndex) {
            m_logger->log(QStringLiteral("The sync index of periodic advertising is wrong."), LogLevel::Error);
            return;
        }
        overrides.insert(QStringLiteral("index"), syncIndex);
        if (!sendCommand(QString::fromLatin1(CMD_LE_PERIODIC_ADVERTISING_CREATE_SYNC_START), &m_settings,
                         &overrides, &CConnectionWidget::createSyncStartSDKProc))
            return;
        m_pendingSyncIndex = uchar(syncIndex);
        ui->buttonSync->setToolTip(kCancelSync);
        ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/cancelSync.png")));
        ui->buttonScan->setEnabled(false);
        ui->buttonConnect->setEnabled(false);
        ui->buttonAddToWhiteList->setEnabled(false);
        ui->tableView_devices->setEnabled(false);
        PeriodicSyncEntry entry;
        entry.textArea = createPeriodicTextArea();
        entry.textArea->hide();
        m_periodicSyncs.insert(m_pendingSyncIndex, entry);
        return;
    }
    if (ui->buttonSync->toolTip() == kCancelSync) {
        QMap<QString, QVariant> values;
        values.insert(QStringLiteral("index"), int(m_pendingSyncIndex));
        sendCommand(QString::fromLatin1(CMD_LE_PERIODIC_ADVERTISING_CREATE_SYNC_STOP), &values, nullptr);
    }
}

void CConnectionWidget::on_comboBox_peerAddr_currentIndexChanged(int index)
{
    static const QString function = QStringLiteral("CConnectionWidget::on_comboBox_peerAddr_currentIndexChanged");
    while (ui->verticalLayout_periodicAdv->count() > 0)
        delete ui->verticalLayout_periodicAdv->takeAt(0);
    for (const PeriodicSyncEntry &entry : qAsConst(m_periodicSyncs)) {
        if (entry.textArea)
            entry.textArea->hide();
    }
    uchar syncIndex = kDefaultSyncIndex;
    int line = 1365;
    if (ui->comboBox_peerAddr->count() > 0) {
        syncIndex = uchar(ui->comboBox_peerAddr->itemData(index, Qt::UserRole).toUInt());
        line = 1352;
    }
    QPlainTextEdit *area = m_periodicSyncs.value(syncIndex).textArea;
    if (!area) {
        m_wire.internalError(line, function);
        return;
    }
    ui->verticalLayout_periodicAdv->addWidget(area);
    area->show();
}

void CConnectionWidget::onPeriodicAdvDataClear()
{
    if (ui->comboBox_peerAddr->count() == 0)
        return;
    const uchar syncIndex = uchar(ui->comboBox_peerAddr->currentData(Qt::UserRole).toUInt());
    QPlainTextEdit *area = m_periodicSyncs.value(syncIndex).textArea;
    if (!area) {
        m_logger->log(QStringLiteral("The sync index of periodic advertising is wrong."), LogLevel::Error);
        return;
    }
    area->clear();
}

void CConnectionWidget::on_m_tbStopSync_clicked()
{
    if (ui->comboBox_peerAddr->count() == 0)
        return;
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("index"), ui->comboBox_peerAddr->currentData(Qt::UserRole).toUInt());
    sendCommand(QString::fromLatin1(CMD_LE_PERIODIC_ADVERTISING_CREATE_SYNC_STOP), &values, nullptr);
}

void CConnectionWidget::onPeriodicAdvDataSave()
{
}

void CConnectionWidget::on_buttonMasterBIG_clicked()
{
    if (ui->comboBox_peerAddr->count() == 0)
        return;
    const uchar syncIndex = uchar(ui->comboBox_peerAddr->currentData(Qt::UserRole).toUInt());
    emit masterBIGSucceed(m_periodicSyncs.value(syncIndex).syncHandle);
}
