#include "cconnectionwidget.h"
#include "plaintext.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTime>
#include <QTreeWidget>

#include "adddevicedialog.h"
#include "addperiodicdevicedialog.h"
#include "advdatadecoder.h"
#include "advertisingdata.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "columnfitter.h"
#include "commandnames.h"
#include "pageinterfaces.h"
#include "cutil.h"
#include "deviceperiodiclistmodel.h"
#include "devicelistcodec.h"
#include "devicestablemodel.h"
#include "logger.h"
#include "logmanager.h"
#include "pageregistry.h"
#include "searchbox.h"
#include "ui_cconnectionwidget.h"


namespace {

constexpr uchar kDefaultSyncIndex = 0xFF;
constexpr int kWhiteListLimit = 10;
constexpr int kPeriodicListLimit = 4;

const QString kStartScan = QStringLiteral("Start Scan");
const QString kStopScan = QStringLiteral("Stop Scan");
const QString kConnect = QStringLiteral("Connect");
const QString kCancel = QStringLiteral("Cancel");
const QString kDisconnect = QStringLiteral("Disconnect");
const QString kAutoConnect = QStringLiteral("Auto Connect");
const QString kCancelAutoConnect = QStringLiteral("Cancel Auto Connect");
const QString kStartSync = QStringLiteral("Start Sync");
const QString kCancelSync = QStringLiteral("Cancel Sync");

// Key, "->", colon hex and two blanks for each field, in key order.
// Appended in place: the scan logs one such line for every report.
void appendFieldLine(QString &line, const QMap<QString, QByteArray> &fields)
{
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        line += it.key();
        line += QLatin1String("->");
        CUtil::appendHex(line, it.value(), ':');
        line += QLatin1String("  ");
    }
}

// A 6-byte address and its 1-byte type packed into one number; the parser
// gives no other sizes.
bool deviceKey(const QByteArray &addr, const QByteArray &addrType, quint64 *key)
{
    if (addr.size() != 6 || addrType.size() != 1)
        return false;
    quint64 packed = quint64(uchar(addrType.at(0))) << 48;
    for (int i = 0; i < 6; ++i)
        packed |= quint64(uchar(addr.at(i))) << (8 * i);
    *key = packed;
    return true;
}

QString fieldLine(const QMap<QString, QByteArray> &fields)
{
    QString line;
    appendFieldLine(line, fields);
    return line;
}

} // namespace

CConnectionWidget::CConnectionWidget(CMsg *link, LogManager *logger,
                                     QMap<QString, QVariant> *settings,
                                     const QString &dongleName, QWidget *parent)
    : QWidget(parent),
      ui(new Ui_ConnectionWidget),
      m_link(link),
      m_logger(logger),
      m_dongleSettings(settings),
      m_dongleName(&dongleName),
      m_status(logger, QStringLiteral(".\\cconnectionwidget")),
      m_dispatcher(this, logger)
{
    ui->setupUi(this);

    if (m_dongleSettings && m_dongleSettings->value(QStringLiteral("5_0_conn_type")).toUInt() != 0)
        on_openAutoConnect(true);

    m_devicesModel = new DevicesTableModel(m_logger);
    m_whiteListModel = new DeviceListModel(m_logger);
    m_bondListModel = new DeviceListModel(m_logger);
    m_periodicListModel = new DevicePeriodicListModel(m_logger);
    m_rpaListModel = new DeviceRpaListModel(m_logger);
    m_devicesModel->setItems(&m_devices);
    if (m_link) {
        connect(m_link, &CMsg::sig_uplinkPassStarted, m_devicesModel, &DevicesTableModel::beginPass);
        connect(m_link, &CMsg::sig_uplinkPassFinished, m_devicesModel, &DevicesTableModel::endPass);
    }

    QTableView *devicesView = ui->tableView_devices;
    devicesView->setModel(m_devicesModel);
    devicesView->setSelectionBehavior(QAbstractItemView::SelectRows);
    devicesView->setSelectionMode(QAbstractItemView::SingleSelection);
    devicesView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ColumnFitter::attach(devicesView, {150, 100, 70, 70, 220, 100}, ColumnFitter::TitlesOnly, ColumnFitter::StretchLast);
    ui->tableView_devices->setTopInset(25);

    QTableView *listView = ui->tableView_deviceList;
    listView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView->setSelectionMode(QAbstractItemView::SingleSelection);
    listView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ui->tableView_deviceList->setTopInset(25);

    for (QTreeWidget *tree : {static_cast<QTreeWidget *>(ui->treeWidget_advertising),
                              static_cast<QTreeWidget *>(ui->treeWidget_scanRsp)}) {
        tree->setColumnCount(2);
        tree->setColumnWidth(0, 270);
        tree->setColumnWidth(1, 80);
    }

    ui->devicePrivacyModeUpdate->hide();
    {
        // Choosing the first list at construction must not ask the dongle yet.
        const QSignalBlocker blocker(ui->deviceListType);
        ui->deviceListType->setCurrentIndex(0);
    }
    applyWhiteListLayout();

    connect(devicesView, &QAbstractItemView::pressed, this,
            &CConnectionWidget::onTableView_devicesClicked);
    connect(this, &CConnectionWidget::sig_masterCondixChanged, this,
            &CConnectionWidget::on_masterCondixChanged);
    ui->m_tbSave->hide();
    connect(ui->m_tbClear, &QToolButton::clicked, this, &CConnectionWidget::onPeriodicAdvDataClear);
    connect(ui->m_tbSave, &QToolButton::clicked, this, &CConnectionWidget::onPeriodicAdvDataSave);

    PeriodicSyncEntry entry;
    entry.textArea = createPeriodicTextArea();
    m_periodicSyncs.insert(kDefaultSyncIndex, entry);
    ui->verticalLayout_periodicAdv->addWidget(entry.textArea);

    m_searchBox = new SearchBox(this);
    connect(m_searchBox, &SearchBox::searchPrevious, this, &CConnectionWidget::on_searchPrevious);
    connect(m_searchBox, &SearchBox::searchNext, this, &CConnectionWidget::on_searchNext);

    m_adTypeNames = AdvDataDecoder::typeNames();

    m_dispatcher.add({
        {"BB@01@01", &CConnectionWidget::sdkStatusProc},
        {"DD@01@F0", &CConnectionWidget::startScanResultProc},
        {"DD@01@02", &CConnectionWidget::startScanProc},
        {"BB@01@03", &CConnectionWidget::sdkStatusProc},
        {"DD@01@04", &CConnectionWidget::stopScanProc},
        {"BB@01@07", &CConnectionWidget::sdkStatusProc},
        {"DD@01@08", &CConnectionWidget::disconnectProc},
        {"BB@01@09", &CConnectionWidget::addWhitelistProc},
        {"DD@01@0A", &CConnectionWidget::operateWhitelistProc},
        {"BB@01@0B", &CConnectionWidget::deleteWhitelistProc},
        {"BB@01@0D", &CConnectionWidget::sdkStatusProc},
        {"DD@01@0E", &CConnectionWidget::getWhitelistProc},
        {"BB@01@0F", &CConnectionWidget::clearWhitelistProc},
        {"BB@01@11", &CConnectionWidget::deleteBondlistProc},
        {"BB@01@13", &CConnectionWidget::sdkStatusProc},
        {"DD@01@14", &CConnectionWidget::getBondlistProc},
        {"BB@01@15", &CConnectionWidget::clearBondlistProc},
        {"BB@01@17", &CConnectionWidget::addPeriodicAdvlistProc},
        {"DD@01@18", &CConnectionWidget::OperateBondlistProc},
        {"BB@01@19", &CConnectionWidget::deletePeriodicAdvlistProc},
        {"BB@01@1B", &CConnectionWidget::sdkStatusProc},
        {"DD@01@1C", &CConnectionWidget::getPeriodicAdvlistProc},
        {"BB@01@1D", &CConnectionWidget::clearPeriodicAdvlistProc},
        {"BB@01@7E", &CConnectionWidget::sdkStatusProc},
        {"DD@01@7F", &CConnectionWidget::getRpalistProc},
        {"BB@01@80", &CConnectionWidget::updatePrivacyModeProc},
        {"BB@01@1F", &CConnectionWidget::createSyncStartSDKProc},
        {"DD@01@20", &CConnectionWidget::createSyncStartProc},
        {"BB@01@22", &CConnectionWidget::sdkStatusProc},
        {"DD@01@23", &CConnectionWidget::createSyncStopProc},
        {"DD@01@82", &CConnectionWidget::syncPassiveStopProc},
        {"BB@01@3D", &CConnectionWidget::sdkStatusProc},
        {"BB@01@3F", &CConnectionWidget::connectStatusProc},
        {"DD@01@06", &CConnectionWidget::connectProc},
        {"DD@01@80", &CConnectionWidget::autoConnectTimeoutProc},
        {"BB@01@49", &CConnectionWidget::sdkStatusProc},
        {"DD@01@4A", &CConnectionWidget::cancelConnectProc},
    });

    refreshSettings();
}

CConnectionWidget::~CConnectionWidget()
{
    m_devicesModel->clear();
    delete m_devicesModel;
    m_whiteListModel->clear();
    delete m_whiteListModel;
    m_bondListModel->clear();
    delete m_bondListModel;
    m_periodicListModel->clear();
    delete m_periodicListModel;
    m_rpaListModel->clear();
    delete m_rpaListModel;
    delete ui;
}

// ---------------------------------------------------------------------------
// Shared steps

bool CConnectionWidget::sendCommand(const QString &name, QMap<QString, QVariant> *values,
                                    QMap<QString, QVariant> *overrides)
{
    QMap<QString, QVariant> noValues;
    QMap<QString, QVariant> noOverrides;
    const bool sent = CCommand::sendMsg(m_link, m_logger, name, values ? *values : noValues,
                                        overrides ? *overrides : noOverrides);
    if (!sent)
        CCommand::logSendFailed(m_logger, name);
    return sent;
}

PageContext CConnectionWidget::pageContext()
{
    PageContext context;
    context.link = m_link;
    context.logger = m_logger;
    context.settings = m_dongleSettings;
    context.dongleName = m_dongleName;
    context.parent = this;
    return context;
}

void CConnectionWidget::rebuildDeviceIndex()
{
    static const QString addrKey = QStringLiteral("addr");
    static const QString typeKey = QStringLiteral("addr_type");
    m_deviceRows.clear();
    m_deviceRows.reserve(m_devices.size());
    for (const auto &device : qAsConst(m_devices)) {
        quint64 key = 0;
        if (deviceKey(device.value(addrKey), device.value(typeKey), &key))
            m_deviceRows.append(key);
        else
            m_deviceRows.appendUnkeyed();
    }
}

int CConnectionWidget::findDeviceRow(const QByteArray &addr, const QByteArray &addrType)
{
    static const QString addrKey = QStringLiteral("addr");
    static const QString typeKey = QStringLiteral("addr_type");
    // The index follows the table; rebuild it when the rows were emptied or
    // changed behind it.
    if (m_deviceRows.size() != m_devices.size())
        rebuildDeviceIndex();
    quint64 key = 0;
    if (!deviceKey(addr, addrType, &key)) {
        for (int i = 0; i < m_devices.size(); ++i) {
            const auto &device = m_devices.at(i);
            if (CUtil::cmpArray(device.value(addrKey), addr) == 0
                && CUtil::cmpArray(device.value(typeKey), addrType) == 0)
                return i;
        }
        return -1;
    }
    const int row = m_deviceRows.find(key);
    if (row < 0 || row >= m_devices.size())
        return -1;
    const auto &device = m_devices.at(row);
    if (!device.holds(addrKey, addr) || !device.holds(typeKey, addrType))
        return -1;
    return row;
}

// A full table lets the devices seen longest ago go before a new one comes.
// The chosen row and any device being connected or connected stay.
void CConnectionWidget::makeRoomForDevice()
{
    if (m_devices.size() < m_devicesModel->rowLimit())
        return;
    static const QString connectedKey = QStringLiteral("connected");
    const int current = currentDeviceRow();
    const QModelIndex currentIndex = ui->tableView_devices->currentIndex();
    const QVector<int> gone = m_devicesModel->makeRoom([&](int row) {
        if (row == current)
            return true;
        const QByteArray connected = m_devices.at(row).value(connectedKey);
        return !connected.isEmpty() && connected.at(0) != 0;
    });
    if (gone.isEmpty())
        return;
    if (m_deviceRows.size() == m_devices.size() + gone.size())
        m_deviceRows.removeRows(gone);
    else
        rebuildDeviceIndex();
    const auto movedRow = [&gone](int row) {
        return row - int(std::lower_bound(gone.begin(), gone.end(), row) - gone.begin());
    };
    // Many scattered rows leave in one reset, which forgets the view's row.
    if (current >= 0) {
        const QModelIndex moved = m_devicesModel->index(movedRow(current), currentIndex.column());
        if (ui->tableView_devices->currentIndex() != moved)
            ui->tableView_devices->setCurrentIndex(moved);
    }
    // The next search goes on from where the last match is now.
    if (m_searchBox && m_searchBox->m_matchRow >= 0)
        m_searchBox->m_matchRow = movedRow(m_searchBox->m_matchRow);
}

int CConnectionWidget::currentDeviceRow() const
{
    const QModelIndex index = ui->tableView_devices->currentIndex();
    if (!index.isValid() || index.row() >= m_devices.size())
        return -1;
    return index.row();
}

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
        for (int i = 0; i < m_devices.size(); ++i) {
            const auto &device = m_devices.at(i);
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
        if (current >= 0 && m_devices.at(current).value(QStringLiteral("connected")) == connecting)
            row = current;
    }
    if (row < 0)
        return;

    DeviceRecord device = m_devices.at(row);
    device.insert(QStringLiteral("connected"), QByteArray(1, char(0)));
    m_devicesModel->updateItem(row, device);
    m_connectingDevice.clear();
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
}

// ---------------------------------------------------------------------------
// State queries and settings

bool CConnectionWidget::isAutoConnecting() const
{
    return ui->buttonAutoConnect->text() == kCancelAutoConnect;
}

bool CConnectionWidget::hasConnection() const
{
    return !m_openCondix.isEmpty();
}

bool CConnectionWidget::isScanning() const
{
    return m_isScanning;
}

bool CConnectionWidget::isSyncing() const
{
    return !(m_periodicSyncs.size() == 1 && m_periodicSyncs.contains(kDefaultSyncIndex));
}

bool CConnectionWidget::isConnecting() const
{
    if (isAutoConnecting())
        return true;
    const QByteArray connecting(1, char(1));
    for (const auto &device : m_devices) {
        if (device.value(QStringLiteral("connected")) == connecting)
            return true;
    }
    return false;
}

void CConnectionWidget::setCigCisOpened(bool opened)
{
    m_cigCisOpened = opened;
}

bool CConnectionWidget::isCigCisOpened() const
{
    return m_cigCisOpened;
}

void CConnectionWidget::refreshSettings()
{
    if (!m_dongleSettings)
        return;
    for (auto it = m_dongleSettings->cbegin(); it != m_dongleSettings->cend(); ++it)
        m_settings.insert(it.key(), it.value());
}

// ---------------------------------------------------------------------------
// Form and reset

void CConnectionWidget::applyWhiteListLayout()
{
    showWhiteListView();
}

void CConnectionWidget::showWhiteListView()
{
    ui->tableView_deviceList->setModel(m_whiteListModel);
    ui->deviceListAdd->setEnabled(true);
    ui->deviceListDelete->setEnabled(true);
    ui->deviceListClear->setEnabled(true);
    ui->devicePrivacyModeUpdate->hide();
    ui->tableView_deviceList->setColumnWidth(0, 400);
    ui->tableView_deviceList->setColumnWidth(1, 400);
}

void CConnectionWidget::reset()
{
    m_isScanning = false;
    m_openCondix.clear();
    m_masterCondixList.clear();
    m_cigCisOpened = false;
    m_connectingDevice.clear();
    m_autoCondix.clear();

    m_devicesModel->clear();
    ui->treeWidget_advertising->clear();

    ui->buttonScan->setText(kStartScan);
    ui->buttonScan->setToolTip(kStartScan);
    ui->buttonScan->setIcon(QIcon(QStringLiteral(":/icons/scan.png")));
    ui->buttonConnect->setText(kConnect);
    ui->buttonConnect->setToolTip(kConnect);
    ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/connect.png")));
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    resetAutoConnectButton();

    ui->buttonScan->setEnabled(true);
    ui->tableView_devices->setEnabled(true);
    ui->buttonAddToWhiteList->setEnabled(false);
    ui->buttonConnect->setEnabled(false);
    ui->buttonCIGCIS->setEnabled(false);
    ui->buttonSync->setEnabled(false);
    ui->buttonAutoConnect->setEnabled(false);

    // Every view goes, even after an entry without one, so that no pointer to
    // a deleted view survives in the registry.
    bool missingView = false;
    for (auto it = m_periodicSyncs.begin(); it != m_periodicSyncs.end(); ++it) {
        if (!it.value().textArea)
            missingView = true;
        delete it.value().textArea;
    }
    if (missingView)
        m_status.internalError(2780, QStringLiteral("CConnectionWidget::reset"));
    m_periodicSyncs.clear();
    {
        const QSignalBlocker blocker(ui->comboBox_peerAddr);
        ui->comboBox_peerAddr->clear();
    }
    m_pendingDevices.clear();
    m_pendingRpaEntries.clear();

    PeriodicSyncEntry entry;
    entry.textArea = createPeriodicTextArea();
    m_periodicSyncs.insert(kDefaultSyncIndex, entry);
    ui->verticalLayout_periodicAdv->addWidget(entry.textArea);

    const bool automatic = m_dongleSettings
        && m_dongleSettings->value(QStringLiteral("5_0_conn_type")).toUInt() != 0;
    on_openAutoConnect(automatic);
}

void CConnectionWidget::showAdvRawData(const QByteArray &advData, const QByteArray &scanRspData)
{
    ui->rawData_advertising->setPlainText(CUtil::colonHex(advData));
    ui->labelAdv->setText(QStringLiteral("raw data(") + QString::number(advData.size())
                          + QStringLiteral(")"));
    ui->rawData_scanRsp->setPlainText(CUtil::colonHex(scanRspData));
    ui->labelScan->setText(QStringLiteral("raw data(") + QString::number(scanRspData.size())
                           + QStringLiteral(")"));
    decodeAdvData(ui->treeWidget_advertising, advData);
    decodeAdvData(ui->treeWidget_scanRsp, scanRspData);
}

void CConnectionWidget::decodeAdvData(QTreeWidget *tree, const QByteArray &data)
{
    AdvDataDecoder::decode(tree, data, m_adTypeNames, m_logger);
}

// ---------------------------------------------------------------------------
// Dispatch

void CConnectionWidget::onRcvMsg(QByteArray rcvMsg)
{
    m_dispatcher.dispatch(rcvMsg);
}

void CConnectionWidget::sdkStatusProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
}

// ---------------------------------------------------------------------------
// Scan handlers

void CConnectionWidget::startScanProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::startScanProc");
    // Fields are read by their place in the frame: a map per report cost a
    // third of the scan.
    const ReportLayout *layout = ReportLayout::of(frame);
    const ReportLayout::Check check = layout->check(m_logger, frame);
    if (check == ReportLayout::Check::Failed)
        return;
    if (check == ReportLayout::Check::NoFields) {
        m_logger->log(QStringLiteral("Scan response or adv msg is empty"), LogLevel::Debug);
        return;
    }
    const ScanReportFields at = ScanReportFields::of(layout);
    const int adField = at.adData;
    const ReportLayout::View classificationBytes = layout->view(frame, at.classification);
    const int classification = classificationBytes.size == 0 ? -1 : uchar(classificationBytes.data[0]);

    if (classification == 4) {
        const ReportLayout::View syncIndex = layout->view(frame, at.syncIndex);
        if (syncIndex.size != 1) {
            m_status.internalError(1450, function);
            return;
        }
        QMap<QString, QByteArray> shown;
        for (const char *key : {"adv_data_response_data", "rssi", "tx_power"}) {
            const int field = layout->indexOf(QString::fromLatin1(key));
            if (field >= 0)
                shown.insert(layout->fields().at(field).key, layout->value(frame, field));
        }
        const QString text = QStringLiteral("Time:") + QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))
            + QStringLiteral("\r\nRaw Data: ") + QString::fromLatin1(frame.toHex())
            + QStringLiteral("\r\nField Data: ") + fieldLine(shown);
        // An entry without a view is as good as no entry.
        QPlainTextEdit *area = m_periodicSyncs.value(uchar(syncIndex.data[0])).textArea;
        if (!area) {
            m_logger->log(QStringLiteral("The sync index of periodic advertising is wrong."), LogLevel::Error);
            return;
        }
        area->appendPlainText(text);
        return;
    }

    {
        QString line;
        line.reserve(64 + frame.size() * 5 + layout->fields().size() * 24);
        line += QLatin1String("Raw Data: ");
        CUtil::appendHex(line, frame);
        line += QLatin1String("\r\nField Data: ");
        layout->appendFieldLine(line, frame);
        m_logger->log(line, LogLevel::Debug);
    }

    // The report's data starts after two leading bytes; fewer than two give
    // no data at all.
    const ReportLayout::View reportData = layout->view(frame, adField);
    const QByteArray adData = reportData.size > 2 ? QByteArray(reportData.data + 2, reportData.size - 2) : QByteArray();

    QVector<AdStructure> structures;
    if (!AdvertisingData::split(adData, &structures))
        m_status.internalError(1470, function);
    const QByteArray name = AdvertisingData::localName(structures);

    static const QString nameKey = QStringLiteral("device");
    static const QString advTypeKey = QStringLiteral("adv_type");
    static const QString phyKey = QStringLiteral("phy_second");
    const QByteArray legacyPhy = CUtil::sharedBytes("\x0C", 1);
    const ReportLayout::View interval = layout->view(frame, at.interval);
    const bool periodic = std::any_of(interval.data, interval.data + interval.size, [](char c) { return c != 0; });
    const auto markSyncable = [](DeviceRecord &record) {
        QByteArray type = record.value(advTypeKey);
        if (!type.isEmpty()) {
            type[0] = char(uchar(type.at(0)) | 0x10);
            record.insert(advTypeKey, type);
        }
    };

    const QByteArray addr = layout->raw(frame, at.addr);
    const QByteArray addrType = layout->raw(frame, at.addrType);
    const int row = findDeviceRow(addr, addrType);
    if (row >= 0) {
        // Taken out of the table rather than copied, so the update below
        // does not copy the row first.
        DeviceRecord record = std::move(m_devices[row]);
        if (classification == 0 || classification == 1) {
            record.mergeReport(layout, frame, adField, -1);
            if (!name.isEmpty())
                record.insert(nameKey, name);
            if (classification == 1)
                record.insert(phyKey, legacyPhy);
            record.insert(QStringLiteral("adv_data"), adData);
            if (periodic)
                markSyncable(record);
        } else if (classification == 2 || classification == 3) {
            record.mergeReport(layout, frame, adField, at.advType);
            if (!name.isEmpty())
                record.insert(nameKey, name);
            if (classification == 3)
                record.insert(phyKey, legacyPhy);
            record.insert(QStringLiteral("response_data"), adData);
        }
        m_devicesModel->updateItem(row, record);
        return;
    }

    DeviceRecord record = DeviceRecord::fromReport(layout, frame, adField);
    record.insert(nameKey, name.isEmpty() ? QByteArrayLiteral("Peer Device") : name);
    if (classification == 0 || classification == 1) {
        record.insert(QStringLiteral("adv_data"), adData);
        if (classification == 1)
            record.insert(phyKey, legacyPhy);
    } else if (classification == 2 || classification == 3) {
        record.insert(QStringLiteral("response_data"), adData);
        if (classification == 3)
            record.insert(phyKey, legacyPhy);
    }
    record.insert(QStringLiteral("connected"), CUtil::sharedBytes("\0", 1));
    if (periodic)
        markSyncable(record);
    makeRoomForDevice();
    quint64 key = 0;
    if (deviceKey(addr, addrType, &key))
        m_deviceRows.append(key);
    else
        m_deviceRows.appendUnkeyed();
    m_devicesModel->addItem(record);
}

void CConnectionWidget::startScanResultProc(const QByteArray &frame)
{
    if (m_status.check(frame, 1560, QStringLiteral("CConnectionWidget::startScanResultProc"))
        != UplinkStatus::Succeeded)
        return;
    ui->buttonScan->setText(kStopScan);
    ui->buttonScan->setToolTip(kStopScan);
    ui->buttonScan->setIcon(QIcon(QStringLiteral(":/icons/stopscan.png")));
    m_isScanning = true;
}

void CConnectionWidget::stopScanProc(const QByteArray &frame)
{
    if (m_status.check(frame, 1590, QStringLiteral("CConnectionWidget::stopScanProc")) != UplinkStatus::Succeeded)
        return;
    ui->buttonScan->setText(kStartScan);
    ui->buttonScan->setToolTip(kStartScan);
    ui->buttonScan->setIcon(QIcon(QStringLiteral(":/icons/scan.png")));
    m_isScanning = false;
}

void CConnectionWidget::syncPassiveStopProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::syncPassiveStopProc");
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    const QByteArray index = fields.value(QStringLiteral("index"));
    if (index.size() != 1) {
        m_status.internalError(2680, function);
        return;
    }
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    const uchar syncIndex = uchar(index.at(0));
    if (syncIndex == kDefaultSyncIndex || !m_periodicSyncs.value(syncIndex).textArea) {
        m_status.internalError(2695, function);
        return;
    }
    removePeriodicSync(syncIndex);
}

void CConnectionWidget::updatePrivacyModeProc(const QByteArray &frame)
{
    CCommand::lastSDKProc(m_logger, frame);
    if (!m_pendingRpaEntries.isEmpty())
        m_pendingRpaEntries.dequeue();
    if (UplinkStatus::acknowledgement(frame) == 0)
        on_deviceListRefresh_clicked();
}

void CConnectionWidget::operateWhitelistProc(const QByteArray &frame)
{
    m_status.check(frame, 2169, QStringLiteral("CConnectionWidget::operateWhitelistProc"));
}

// ---------------------------------------------------------------------------
// Connection handlers

void CConnectionWidget::connectStatusProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
    const std::optional<uchar> status = UplinkStatus::acknowledgement(frame);
    if (status && *status != 0)
        connectStateReset();
}

void CConnectionWidget::connectProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::connectProc");
    QMap<QString, QByteArray> fields;
    switch (m_status.check(frame, 1822, function, &fields)) {
    case UplinkStatus::Succeeded:
        break;
    case UplinkStatus::Failed:
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
        m_status.internalError(1840, function);
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
            const QByteArray device = m_devices.at(row).value(QStringLiteral("device"));
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

    for (int i = 0; i < m_devices.size(); ++i) {
        const auto &device = m_devices.at(i);
        if (CUtil::cmpArray(device.value(QStringLiteral("addr")),
                            m_connectingDevice.value(QStringLiteral("addr"))) == 0
            && CUtil::cmpArray(device.value(QStringLiteral("addr_type")),
                               m_connectingDevice.value(QStringLiteral("addr_type"))) == 0) {
            DeviceRecord record = device;
            record.insert(QStringLiteral("connected"), QByteArray(1, char(2)));
            record.insert(QStringLiteral("condix"), condixBytes.left(1));
            m_devicesModel->updateItem(i, record);
            m_connectingDevice.clear();
            onTableView_devicesClicked(ui->tableView_devices->currentIndex());
            break;
        }
    }
}

void CConnectionWidget::autoConnectTimeoutProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
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
    if (m_status.check(frame, 2726, QStringLiteral("CConnectionWidget::cancelConnectProc")) == UplinkStatus::Succeeded)
        connectStateReset();
}

void CConnectionWidget::disconnectProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (m_status.check(frame, 2017, QStringLiteral("CConnectionWidget::disconnectProc"), &fields)
        != UplinkStatus::Succeeded)
        return;
    const QByteArray condixBytes = fields.value(QStringLiteral("condix"));
    if (condixBytes.isEmpty()) {
        m_status.internalError(2025, QStringLiteral("CConnectionWidget::disconnectProc"));
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
    for (int i = 0; i < m_devices.size(); ++i) {
        const auto &device = m_devices.at(i);
        if (device.contains(QStringLiteral("condix"))
            && CUtil::cmpArray(device.value(QStringLiteral("condix")), condixBytes.left(1)) == 0) {
            DeviceRecord record = device;
            record.insert(QStringLiteral("connected"), QByteArray(1, char(0)));
            record.remove(QStringLiteral("condix"));
            m_devicesModel->updateItem(i, record);
            onTableView_devicesClicked(ui->tableView_devices->currentIndex());
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// Periodic sync handlers

void CConnectionWidget::createSyncStartSDKProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
    const std::optional<uchar> status = UplinkStatus::acknowledgement(frame);
    if (!status || *status == 0)
        return;
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    if (m_pendingSyncIndex == kDefaultSyncIndex || !m_periodicSyncs.value(m_pendingSyncIndex).textArea) {
        m_status.internalError(2447, QStringLiteral("CConnectionWidget::createSyncStartSDKProc"));
        return;
    }
    removePeriodicSync(m_pendingSyncIndex);
}

void CConnectionWidget::createSyncStartProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::createSyncStartProc");
    QMap<QString, QByteArray> fields;
    const UplinkStatus::Result result =
        m_status.check(frame, 2482, function, &fields, UplinkStatus::KeepFailureQuiet);
    if (result != UplinkStatus::Succeeded && result != UplinkStatus::Failed)
        return;
    const QByteArray index = fields.value(QStringLiteral("index"));
    if (index.size() != 1) {
        m_status.internalError(2492, function);
        return;
    }
    const uchar syncIndex = uchar(index.at(0));
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());

    // A result for a sync the page never asked for adds nothing.
    const bool known = syncIndex != kDefaultSyncIndex && m_periodicSyncs.value(syncIndex).textArea;
    if (result == UplinkStatus::Failed) {
        if (!known) {
            m_status.internalError(2506, function);
            return;
        }
        removePeriodicSync(syncIndex);
        CCommand::statusRspToLog(m_logger, frame, *UplinkStatus::byteField(fields, QStringLiteral("status")));
        return;
    }
    if (!known) {
        m_status.internalError(2506, function);
        return;
    }
    m_periodicSyncs[syncIndex].syncHandle =
        quint16(CUtil::littleEndian(fields.value(QStringLiteral("sync_handle"))) & 0xFFFF);

    ui->buttonMasterBIG->setEnabled(true);
    ui->tabWidget_device->setCurrentIndex(2);
    const QByteArray addrType = fields.value(QStringLiteral("addr_type"));
    if (addrType.size() != 1) {
        m_status.internalError(2553, function);
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
    const UplinkStatus::Result result =
        m_status.check(frame, 2612, function, &fields, UplinkStatus::KeepFailureQuiet);
    if (result != UplinkStatus::Succeeded && result != UplinkStatus::Failed)
        return;
    const QByteArray index = fields.value(QStringLiteral("index"));
    if (index.size() != 1) {
        m_status.internalError(2622, function);
        return;
    }
    if (result == UplinkStatus::Failed)
        return;
    ui->buttonSync->setToolTip(kStartSync);
    ui->buttonSync->setIcon(QIcon(QStringLiteral(":/icons/sync.png")));
    ui->buttonScan->setEnabled(true);
    ui->tableView_devices->setEnabled(true);
    onTableView_devicesClicked(ui->tableView_devices->currentIndex());
    const uchar syncIndex = uchar(index.at(0));
    if (syncIndex == kDefaultSyncIndex || !m_periodicSyncs.value(syncIndex).textArea) {
        m_status.internalError(2642, function);
        return;
    }
    removePeriodicSync(syncIndex);
}

// ---------------------------------------------------------------------------
// Controller list handlers

void CConnectionWidget::applyStatusToPending(int kind, const QByteArray &frame, bool lastSdk,
                                             int line, const QString &function)
{
    if (lastSdk)
        CCommand::lastSDKProc(m_logger, frame);
    else
        CCommand::SDKProc(m_logger, frame);
    const std::optional<uchar> status = UplinkStatus::firstPayloadByte(frame);
    if (!status)
        return;
    // Each status answers the oldest request of its kind, refused or not.
    QQueue<DeviceListEntry> &queue = m_pendingDevices[kind];
    const DeviceListEntry entry = queue.isEmpty() ? DeviceListEntry() : queue.dequeue();
    if (*status != 0)
        return;

    int result = -1;
    switch (kind) {
    case PendingAddWhite:
        result = m_whiteListModel->addDevice(entry);
        break;
    case PendingDeleteWhite:
        result = m_whiteListModel->removeDevice(entry);
        break;
    case PendingDeleteBond:
        result = m_bondListModel->removeDevice(entry);
        break;
    case PendingAddPeriodic:
        result = m_periodicListModel->addDevice(entry);
        break;
    case PendingDeletePeriodic:
        result = m_periodicListModel->removeDevice(entry);
        break;
    default:
        break;
    }
    if (result != 0)
        m_status.internalError(line, function);
}

void CConnectionWidget::addWhitelistProc(const QByteArray &frame)
{
    applyStatusToPending(PendingAddWhite, frame, false, 2084,
                         QStringLiteral("CConnectionWidget::addWhitelistProc"));
}

void CConnectionWidget::deleteWhitelistProc(const QByteArray &frame)
{
    applyStatusToPending(PendingDeleteWhite, frame, false, 2100,
                         QStringLiteral("CConnectionWidget::deleteWhitelistProc"));
}

void CConnectionWidget::deleteBondlistProc(const QByteArray &frame)
{
    applyStatusToPending(PendingDeleteBond, frame, true, 2194,
                         QStringLiteral("CConnectionWidget::deleteBondlistProc"));
}

void CConnectionWidget::addPeriodicAdvlistProc(const QByteArray &frame)
{
    applyStatusToPending(PendingAddPeriodic, frame, false, 2290,
                         QStringLiteral("CConnectionWidget::addPeriodicAdvlistProc"));
}

void CConnectionWidget::deletePeriodicAdvlistProc(const QByteArray &frame)
{
    applyStatusToPending(PendingDeletePeriodic, frame, false, 2305,
                         QStringLiteral("CConnectionWidget::deletePeriodicAdvlistProc"));
}

void CConnectionWidget::clearWhitelistProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
    if (UplinkStatus::firstPayloadByte(frame) == 0)
        m_whiteListModel->clear();
}

void CConnectionWidget::clearBondlistProc(const QByteArray &frame)
{
    CCommand::lastSDKProc(m_logger, frame);
    if (UplinkStatus::firstPayloadByte(frame) == 0)
        m_bondListModel->clear();
}

void CConnectionWidget::clearPeriodicAdvlistProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
    if (UplinkStatus::firstPayloadByte(frame) == 0)
        m_periodicListModel->clear();
}

void CConnectionWidget::takeListResult(const QByteArray &frame, const QString &failureText, int listKind)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    const QByteArray payload = UplinkStatus::payload(frame);
    QVector<DeviceListEntry> entries;
    QVector<DeviceRpaEntry> rpaEntries;
    bool whole = false;
    switch (listKind) {
    case 0:
    case 1:
        whole = DeviceListCodec::addressRecords(payload, &entries);
        break;
    case 2:
        whole = DeviceListCodec::periodicRecords(payload, &entries);
        break;
    default:
        whole = DeviceListCodec::resolvingRecords(payload, &rpaEntries);
        break;
    }
    if (!whole) {
        m_logger->log(failureText, LogLevel::Error);
        return;
    }
    DeviceListModel *addressList = listKind == 0 ? m_whiteListModel : m_bondListModel;
    switch (listKind) {
    case 0:
    case 1:
        addressList->clear();
        break;
    case 2:
        m_periodicListModel->clear();
        break;
    default:
        m_rpaListModel->clear();
        break;
    }
    for (const DeviceRpaEntry &entry : qAsConst(rpaEntries)) {
        if (m_rpaListModel->addDevice(entry) != 0) {
            m_logger->log(failureText, LogLevel::Error);
            return;
        }
    }
    for (const DeviceListEntry &entry : qAsConst(entries)) {
        const int result = listKind == 2 ? m_periodicListModel->addDevice(entry) : addressList->addDevice(entry);
        if (result != 0) {
            m_logger->log(failureText, LogLevel::Error);
            return;
        }
    }
}

void CConnectionWidget::getWhitelistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get white list response is wrong."), 0);
}

void CConnectionWidget::getBondlistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get bond list response is wrong."), 1);
}

void CConnectionWidget::getPeriodicAdvlistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get periodic advertising list response is wrong."), 2);
}

void CConnectionWidget::getRpalistProc(const QByteArray &frame)
{
    takeListResult(frame, QStringLiteral("Get Rpa list response is wrong."), 3);
}

void CConnectionWidget::OperateBondlistProc(const QByteArray &frame)
{
    m_status.check(frame, 2265, QStringLiteral("CConnectionWidget::OperateBondlistProc"));
}

// ---------------------------------------------------------------------------
// User actions: scanning and choosing a device

void CConnectionWidget::on_buttonScan_clicked()
{
    refreshSettings();
    if (ui->buttonScan->text() == kStartScan) {
        if (!sendCommand(QString::fromLatin1(CMD_5_0_START_SCAN), &m_settings, nullptr))
            return;
        ui->buttonConnect->setEnabled(false);
        ui->buttonConnect->setText(kConnect);
        ui->buttonConnect->setToolTip(kConnect);
        ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/connect.png")));
        ui->buttonAddToWhiteList->setEnabled(false);
        m_devicesModel->clear();
        rebuildDeviceIndex();
        if (m_settings.value(QStringLiteral("type")).toUInt() == 1) {
            ui->buttonSync->setEnabled(true);
            m_periodicSyncType = 1;
        } else {
            m_periodicSyncType = 0;
        }
        return;
    }
    sendCommand(QString::fromLatin1(CMD_STOP_SCAN), nullptr, nullptr);
}

void CConnectionWidget::onTableView_devicesClicked(const QModelIndex &index)
{
    m_devicesModel->setCurrentIndex(QModelIndex());
    if (m_periodicSyncType == 1 && !index.isValid()) {
        ui->buttonScan->setEnabled(true);
        ui->tableView_devices->setEnabled(true);
    }
    if (!index.isValid() || index.row() >= m_devices.size()) {
        m_logger->log(QStringLiteral("CConnectionWidget::onTableView_devices:Clicked index is not valid."), LogLevel::Debug);
        return;
    }
    const DeviceRecord &device = m_devices.at(index.row());
    const QByteArray advType = device.value(QStringLiteral("adv_type"));
    if (advType.size() != 1) {
        m_logger->log(QStringLiteral("CConnectionWidget::onTableView_devices:the length of advType is wrong."), LogLevel::Debug);
        return;
    }
    const uchar type = uchar(advType.at(0));

    bool connecting = false;
    if (m_autoConnect) {
        ui->buttonConnect->setEnabled(false);
    } else if (type & 0x02) {
        ui->buttonConnect->setEnabled(true);
        const QByteArray connected = device.value(QStringLiteral("connected"));
        if (connected.size() != 1) {
            m_status.internalError(1231, QStringLiteral("CConnectionWidget::onTableView_devicesClicked"));
            return;
        }
        switch (connected.at(0)) {
        case 0:
            ui->buttonConnect->setText(kConnect);
            ui->buttonConnect->setToolTip(kConnect);
            ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/connect.png")));
            break;
        case 1:
            ui->buttonConnect->setText(kCancel);
            ui->buttonConnect->setToolTip(kCancel);
            ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/cancelConnect.png")));
            connecting = true;
            break;
        case 2:
            ui->buttonConnect->setText(kDisconnect);
            ui->buttonConnect->setToolTip(kDisconnect);
            ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/disconnect.png")));
            break;
        default:
            break;
        }
    } else {
        ui->buttonConnect->setEnabled(false);
    }

    if (device.value(QStringLiteral("adv_classification")).size() != 1)
        m_logger->log(QStringLiteral("The lenth of advClassification is wrong"), LogLevel::Debug);

    if (type & 0x10)
        ui->buttonSync->setEnabled(ui->buttonScan->text() != kStartScan);
    else
        ui->buttonSync->setEnabled(false);

    ui->buttonScan->setEnabled(!connecting);
    ui->buttonAddToWhiteList->setEnabled(!connecting);
    ui->tableView_devices->setEnabled(!connecting);
    ui->buttonSync->setEnabled(ui->buttonSync->isEnabled() && !connecting);
    if (m_periodicSyncType == 1)
        ui->buttonSync->setEnabled(true);

    showAdvRawData(device.value(QStringLiteral("adv_data")), device.value(QStringLiteral("response_data")));
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
    DeviceRecord device = m_devices.at(row);
    const QString state = ui->buttonConnect->text();
    if (state == kConnect) {
        QMap<QString, QVariant> overrides;
        const QMap<QString, QByteArray> fields = device.toMap();
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            overrides.insert(it.key(), it.value());
        // A frame that never left starts no connection.
        if (!sendCommand(QString::fromLatin1(CMD_5_0_CONNECT), &m_settings, &overrides))
            return;
        device.insert(QStringLiteral("connected"), QByteArray(1, char(1)));
        m_devicesModel->updateItem(row, device);
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
        if (!sendCommand(QString::fromLatin1(CMD_5_0_CONNECT), &m_settings, &overrides))
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

void CConnectionWidget::on_buttonAddToWhiteList_clicked()
{
    const int row = currentDeviceRow();
    if (row < 0) {
        m_logger->log(QStringLiteral("The row selected from the Discovery Devices table is wrong."), LogLevel::Error);
        return;
    }
    DeviceListEntry entry;
    entry.addr = m_devices.at(row).value(QStringLiteral("addr"));
    entry.addrType = m_devices.at(row).value(QStringLiteral("addr_type"));
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("addr"), entry.addr);
    values.insert(QStringLiteral("addr_type"), entry.addrType);
    if (sendCommand(QString::fromLatin1(CMD_ADD_WHITELIST), &values, nullptr))
        m_pendingDevices[PendingAddWhite].enqueue(entry);
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
            const QMap<QString, QByteArray> device = m_devices.at(row).toMap();
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
                         &overrides))
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
        m_status.internalError(line, function);
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
        view->setModel(m_bondListModel);
        ui->deviceListAdd->setEnabled(false);
        ui->deviceListDelete->setEnabled(true);
        ui->deviceListClear->setEnabled(true);
        ui->devicePrivacyModeUpdate->hide();
        view->setColumnWidth(0, 400);
        view->setColumnWidth(1, 400);
        break;
    case 2:
        view->setModel(m_periodicListModel);
        ui->deviceListAdd->setEnabled(true);
        ui->deviceListDelete->setEnabled(true);
        ui->deviceListClear->setEnabled(true);
        ui->devicePrivacyModeUpdate->hide();
        view->setColumnWidth(0, 270);
        view->setColumnWidth(1, 270);
        view->setColumnWidth(2, 260);
        break;
    case 3:
        view->setModel(m_rpaListModel);
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
    static const char *const commands[] = {CMD_GET_WHITELIST, CMD_GETTING_BOND_LIST,
                                           CMD_GET_PERIODIC_ADV_LIST, CMD_GET_RPA_LIST};
    const int type = ui->deviceListType->currentIndex();
    if (type < 0 || type > 3) {
        m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
        return;
    }
    sendCommand(QString::fromLatin1(commands[type]), nullptr, nullptr);
}

void CConnectionWidget::on_deviceListClear_clicked()
{
    static const char *const commands[] = {CMD_CLEAR_WHITELIST, CMD_CLEAR_BOND_LIST,
                                           CMD_CLEAR_PERIODIC_ADV_LIST};
    const int type = ui->deviceListType->currentIndex();
    if (type == 3)
        return;
    if (type < 0 || type > 3) {
        m_logger->log(QStringLiteral("device list type is wrong"), LogLevel::Debug);
        return;
    }
    sendCommand(QString::fromLatin1(commands[type]), nullptr, nullptr);
}

void CConnectionWidget::on_deviceListAdd_clicked()
{
    const int type = ui->deviceListType->currentIndex();
    QPointer<CConnectionWidget> self(this);
    if (type == 0) {
        if (m_whiteListModel->deviceCount() >= kWhiteListLimit) {
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
        if (sendCommand(QString::fromLatin1(CMD_ADD_WHITELIST), &values, nullptr))
            m_pendingDevices[PendingAddWhite].enqueue(entry);
        return;
    }
    if (type == 2) {
        AddPeriodicDeviceDialog dialog(m_logger, nullptr);
        if (m_periodicListModel->deviceCount() >= kPeriodicListLimit) {
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
        if (sendCommand(QString::fromLatin1(CMD_ADD_PERIODIC_ADV_LIST), &values, nullptr))
            m_pendingDevices[PendingAddPeriodic].enqueue(entry);
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
    const QVector<DeviceListEntry> &entries = type == 0 ? m_whiteListModel->devices()
        : type == 1                                      ? m_bondListModel->devices()
                                                         : m_periodicListModel->devices();
    if (index.row() >= entries.size()) {
        m_logger->log(wrongRow, LogLevel::Error);
        return;
    }
    const DeviceListEntry entry = entries.at(index.row());
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("addr"), entry.addr);
    values.insert(QStringLiteral("addr_type"), entry.addrType);
    QString command;
    PendingKind kind;
    if (type == 0) {
        command = QString::fromLatin1(CMD_DELETE_WHITELIST);
        kind = PendingDeleteWhite;
    } else if (type == 1) {
        command = QString::fromLatin1(CMD_DELETING_BOND_LIST);
        kind = PendingDeleteBond;
    } else {
        command = QString::fromLatin1(CMD_DELETE_PERIODIC_ADV_LIST);
        values.insert(QStringLiteral("adv_sid"), entry.advSid);
        kind = PendingDeletePeriodic;
    }
    if (sendCommand(command, &values, nullptr))
        m_pendingDevices[kind].enqueue(entry);
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
    if (index.row() >= m_rpaListModel->devices().size()) {
        m_logger->log(wrongRow, LogLevel::Error);
        return;
    }
    const DeviceRpaEntry entry = m_rpaListModel->devices().at(index.row());
    const bool network = !entry.privacyMode.isEmpty() && entry.privacyMode.at(0) == 0;
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("peer_addr"), entry.peerAddr);
    values.insert(QStringLiteral("peer_addr_type"), entry.peerAddrType);
    values.insert(QStringLiteral("privacy_mode"), network ? 1 : 0);
    if (sendCommand(QString::fromLatin1(CMD_UPDATE_PRIVACY_MODE), &values, nullptr))
        m_pendingRpaEntries.enqueue(entry);
}

// ---------------------------------------------------------------------------
// Searching the discovery table

void CConnectionWidget::on_buttonSearch_clicked()
{
    m_searchBox->show();
    m_searchBox->m_matchRow = -1;
    m_searchBox->m_matchColumn = -1;
}

void CConnectionWidget::on_searchNext(SearchBox *sb)
{
    search(sb, true);
}

void CConnectionWidget::on_searchPrevious(SearchBox *sb)
{
    search(sb, false);
}

void CConnectionWidget::search(SearchBox *sb, bool forward)
{
    if (!sb)
        return;
    const QString text = sb->text();
    // A match must be a row the view already has.
    m_devicesModel->announceNow();
    m_devicesModel->setSearchText(text);
    const QString needle = text.toLower();
    const int rows = m_devices.size();
    const int columns = m_devicesModel->columnCount();

    const auto matches = [&](int row, int column) {
        return m_devicesModel->cellText(row, column).toLower().contains(needle);
    };
    const auto columnLimit = [&](int row) { return qMin(columns, m_devices.at(row).size()); };

    int foundRow = -1;
    int foundColumn = -1;
    if (forward) {
        for (int row = 0; row < rows && foundRow < 0; ++row) {
            if (row < sb->m_matchRow)
                continue;
            for (int column = 0; column < columnLimit(row); ++column) {
                const bool after = row > sb->m_matchRow || column > sb->m_matchColumn;
                if (after && matches(row, column)) {
                    foundRow = row;
                    foundColumn = column;
                    break;
                }
            }
        }
    } else {
        for (int row = rows - 1; row >= 0 && foundRow < 0; --row) {
            if (row > sb->m_matchRow)
                continue;
            for (int column = columnLimit(row) - 1; column >= 0; --column) {
                const bool before = row < sb->m_matchRow || column < sb->m_matchColumn;
                if (before && matches(row, column)) {
                    foundRow = row;
                    foundColumn = column;
                    break;
                }
            }
        }
    }

    if (foundRow < 0) {
        if (text != sb->m_matchText)
            m_devicesModel->setCurrentIndex(QModelIndex());
        return;
    }
    sb->m_matchText = text;
    QScrollBar *bar = ui->tableView_devices->verticalScrollBar();
    bar->setValue(rows > 0 ? bar->maximum() * foundRow / rows : 0);
    m_devicesModel->setCurrentIndex(m_devicesModel->index(foundRow, foundColumn));
    sb->m_matchRow = foundRow;
    sb->m_matchColumn = foundColumn;
}
