#include "cconnectionwidget.h"
#include "cconnectionwidget_p.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTreeWidget>

#include "advdatadecoder.h"
#include "ccommand.h"
#include "cmsg.h"
#include "columnfitter.h"
#include "devicestablemodel.h"
#include "lazypane.h"
#include "logger.h"
#include "logmanager.h"
#include "pageregistry.h"
#include "searchbox.h"
#include "scanpageform.h"

// The page's concerns live in cconnectionwidget_scan.cpp, _connect.cpp,
// _sync.cpp and _lists.cpp; construction, reset and dispatch stay here.

using namespace ScanningPage;

CConnectionWidget::CConnectionWidget(CMsg *link, LogManager *logger,
                                     QMap<QString, QVariant> *settings,
                                     const QString &dongleName, QWidget *parent)
    : QWidget(parent),
      ui(new ScanPageForm()),
      m_discovery(logger),
      m_lists(logger),
      m_link(link),
      m_logger(logger),
      m_dongleSettings(settings),
      m_dongleName(&dongleName),
      m_wire(link, logger, QStringLiteral(".\\cconnectionwidget")),
      m_dispatcher(this, logger)
{
    ui->Ui_ConnectionWidget::setupUi(this);
    buildDevicePanes();

    if (m_dongleSettings && m_dongleSettings->value(QStringLiteral("5_0_conn_type")).toUInt() != 0)
        on_openAutoConnect(true);

    if (m_link) {
        connect(m_link, &CMsg::sig_uplinkPassStarted, devicesModel(), &DevicesTableModel::beginPass);
        connect(m_link, &CMsg::sig_uplinkPassFinished, devicesModel(), &DevicesTableModel::endPass);
    }

    QTableView *devicesView = ui->tableView_devices;
    devicesView->setModel(devicesModel());
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

    ui->devicePrivacyModeUpdate->hide();
    {
        // Choosing the first list at construction must not ask the dongle yet.
        const QSignalBlocker blocker(ui->deviceListType);
        ui->deviceListType->setCurrentIndex(0);
    }
    applyWhiteListLayout();

    connect(devicesView, &QAbstractItemView::pressed, this,
            &CConnectionWidget::onTableView_devicesClicked);
    // A row reached with the keys is the chosen row as much as a clicked one:
    // the buttons and the data panes follow it.
    connect(devicesView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    onTableView_devicesClicked(current);
            });
    connect(this, &CConnectionWidget::sig_masterCondixChanged, this,
            &CConnectionWidget::on_masterCondixChanged);
    ui->m_tbSave->hide();
    connect(ui->m_tbClear, &QToolButton::clicked, this, &CConnectionWidget::onPeriodicAdvDataClear);
    connect(ui->m_tbSave, &QToolButton::clicked, this, &CConnectionWidget::onPeriodicAdvDataSave);

    PeriodicSyncEntry entry;
    entry.textArea = createPeriodicTextArea();
    m_periodicSyncs.insert(kDefaultSyncIndex, entry);
    ui->verticalLayout_periodicAdv->addWidget(entry.textArea);

    m_adTypeNames = AdvDataDecoder::typeNames();

    m_dispatcher.add({
        {"DD@01@F0", &CConnectionWidget::startScanResultProc},
        {"DD@01@02", &CConnectionWidget::startScanProc},
        {"DD@01@04", &CConnectionWidget::stopScanProc},
        {"DD@01@08", &CConnectionWidget::disconnectProc},
        {"DD@01@0A", &CConnectionWidget::operateWhitelistProc},
        {"DD@01@0E", &CConnectionWidget::getWhitelistProc},
        {"DD@01@14", &CConnectionWidget::getBondlistProc},
        {"DD@01@18", &CConnectionWidget::OperateBondlistProc},
        {"DD@01@1C", &CConnectionWidget::getPeriodicAdvlistProc},
        {"DD@01@7F", &CConnectionWidget::getRpalistProc},
        {"DD@01@20", &CConnectionWidget::createSyncStartProc},
        {"DD@01@23", &CConnectionWidget::createSyncStopProc},
        {"DD@01@82", &CConnectionWidget::syncPassiveStopProc},
        {"DD@01@06", &CConnectionWidget::connectProc},
        {"DD@01@80", &CConnectionWidget::autoConnectTimeoutProc},
        {"DD@01@4A", &CConnectionWidget::cancelConnectProc},
    });

    refreshSettings();
}

CConnectionWidget::~CConnectionWidget()
{
    delete ui;
}

void CConnectionWidget::buildDevicePanes()
{
    QTabWidget *tabs = ui->tabWidget_device;
    auto *stack = tabs->findChild<QStackedWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QWidget *holder = stack ? static_cast<QWidget *>(stack) : tabs;
    // Named as their forms name them.
    auto *advertising = new QWidget(holder);
    advertising->setObjectName(QStringLiteral("tab"));
    m_advertisingPane = LazyPane::attach(advertising, [this](QWidget *pane) { buildAdvertisingPane(pane); });
    tabs->addTab(advertising, tr("Advertising Data"));
    auto *scanResponse = new QWidget(holder);
    scanResponse->setObjectName(QStringLiteral("tab_2"));
    m_scanResponsePane = LazyPane::attach(scanResponse, [this](QWidget *pane) { buildScanResponsePane(pane); });
    tabs->addTab(scanResponse, tr("Scan Response Data"));
    auto *periodic = new QWidget(holder);
    ui->Ui_PeriodicSyncPane::setupUi(periodic);
    tabs->addTab(periodic, tr("Periodic Adv Data"));
    tabs->setCurrentIndex(2);
    // Connected by name while the panes were part of the page's form.
    connect(ui->comboBox_peerAddr, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CConnectionWidget::on_comboBox_peerAddr_currentIndexChanged);
    connect(ui->m_tbStopSync, &QToolButton::clicked, this, &CConnectionWidget::on_m_tbStopSync_clicked);
}

// ---------------------------------------------------------------------------
// Shared steps

bool CConnectionWidget::sendCommand(const QString &name, QMap<QString, QVariant> *values,
                                    QMap<QString, QVariant> *overrides, Acknowledged acknowledged)
{
    PageWire::Answer answer;
    if (acknowledged)
        answer = PageWire::Answer(this,
                                  [this, acknowledged](const QByteArray &frame) { (this->*acknowledged)(frame); });
    return m_wire.send(name, values ? *values : PageWire::Values(), overrides ? *overrides : PageWire::Values(),
                       answer);
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

int CConnectionWidget::currentDeviceRow() const
{
    const QModelIndex index = ui->tableView_devices->currentIndex();
    if (!index.isValid() || index.row() >= devices().size())
        return -1;
    return index.row();
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
    for (const auto &device : devices()) {
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
// Reset

void CConnectionWidget::reset()
{
    m_isScanning = false;
    m_scanStartPending = false;
    m_openCondix.clear();
    m_masterCondixList.clear();
    m_cigCisOpened = false;
    m_connectingDevice.clear();
    m_autoCondix.clear();

    m_discovery.clear();
    m_chosenData.advertisingDecoded = false;
    if (m_advertisingPane->isBuilt())
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
        m_wire.internalError(2780, QStringLiteral("CConnectionWidget::reset"));
    m_periodicSyncs.clear();
    {
        const QSignalBlocker blocker(ui->comboBox_peerAddr);
        ui->comboBox_peerAddr->clear();
    }
    m_lists.forgetPending();

    PeriodicSyncEntry entry;
    entry.textArea = createPeriodicTextArea();
    m_periodicSyncs.insert(kDefaultSyncIndex, entry);
    ui->verticalLayout_periodicAdv->addWidget(entry.textArea);

    const bool automatic = m_dongleSettings
        && m_dongleSettings->value(QStringLiteral("5_0_conn_type")).toUInt() != 0;
    on_openAutoConnect(automatic);
}

// ---------------------------------------------------------------------------
// Dispatch

void CConnectionWidget::onRcvMsg(QByteArray rcvMsg)
{
    m_dispatcher.dispatch(rcvMsg);
}

