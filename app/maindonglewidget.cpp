#include "maindonglewidget.h"
#include "ui_maindonglewidget.h"

#include "caboutdialog.h"
#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "cflatmessage.h"
#include "clogwidget.h"
#include "cmsg.h"
#include "commandnames.h"
#include "cselectdongledialog.h"
#include "csettingdialog.h"
#include "settingsdefaults.h"
#include "cutil.h"
#include "devicesettingscodec.h"
#include "dialogofakind.h"
#include "filechooser.h"
#include "getinfodlg.h"
#include "logmanager.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "resolveaddressdialog.h"
#include "textbrowserlogger.h"
#include "uplinkstatus.h"

#include <QDialog>
#include <QHash>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QTabBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

namespace {

QString &settingsDescription()
{
    static QString path = QStringLiteral(":/config/resources/conf/sample_config_5_0.xml");
    return path;
}
const char kPeerAddressPrefix[] = "Peer Address: ";
const char kSlaveTab[] = "Slave";
const char kCigCisTab[] = "Master CIG and CIS";
const char kSlaveCisTab[] = "Slave CIG and CIS";
const char kCisRequestKind[] = "CIS request";

} // namespace

MainDongleWidget::MainDongleWidget(const QString &name, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::MainDongleWidget)
    , m_dispatcher(this, nullptr)
    , m_status(nullptr, QStringLiteral(".\\maindonglewidget"))
    , m_name(name)
{
    ui->setupUi(this);

    m_logManager = new LogManager(name);
    m_link = new CMsg(m_logManager);
    m_settings = new QMap<QString, QVariant>;
    m_heartBeat = new CHeartBeat(m_link, m_logManager, 1000);
    connect(m_heartBeat, &CHeartBeat::dead, this, &MainDongleWidget::on_deviceDead);

    // Every tab starts from the same defaults, read from the description
    // without building the dialog's widgets.
    static QHash<QString, QMap<QString, QVariant>> defaultsByDescription;
    if (defaultsByDescription.contains(settingsDescription())) {
        *m_settings = defaultsByDescription.value(settingsDescription());
    } else {
        if (!SettingsDefaults::read(settingsDescription(), m_logManager, m_settings)) {
            // Without its settings the tab cannot configure a dongle: it stays
            // inert, and says so.
            logLine(QStringLiteral("MainDongleWidget::MainDongleWidget, the settings description %1 cannot be "
                                   "loaded; dongle %2 stays inactive.")
                        .arg(settingsDescription(), m_name),
                    LogLevel::Error);
            setToolBarEnabled(false);
            ui->toolButton_selectDongle->setEnabled(false);
            return;
        }
        defaultsByDescription.insert(settingsDescription(), *m_settings);
    }
    m_operational = true;

    ui->splitter->setStretchFactor(0, 7);
    ui->splitter->setStretchFactor(1, 3);
    ui->tabWidget->setCurrentIndex(0);

    connect(m_link, &CMsg::sig_rcvCommonMsg, this, &MainDongleWidget::onRcvMsg);
    connect(m_link, &CMsg::sig_rcvL2capMsg, this, &MainDongleWidget::onRcvMsg);
    connect(m_link, &CMsg::sig_rcvGapMsg, this, &MainDongleWidget::onRcvMsg);
    connect(m_link, &CMsg::sig_rcvSmMsg, this, &MainDongleWidget::onRcvMsg);
    connect(m_link, &CMsg::sig_rcvRfuMsg, this, &MainDongleWidget::onRcvMsg);
    connect(m_link, &CMsg::sig_rcvDongleLog, this, &MainDongleWidget::onRcvDongleLog);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &MainDongleWidget::onTabWidgetCurrentChanged);

    registerHandlers();

    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setInterval(ReconnectIntervalMs);
    connect(m_reconnectTimer, &QTimer::timeout, this, &MainDongleWidget::on_reConnect);
    connect(this, &MainDongleWidget::sig_OpenLCP, this, &MainDongleWidget::onOpenLCP);
    connect(this, &MainDongleWidget::sig_OpenIDT, this, &MainDongleWidget::onOpenIDT);
    m_downloadProgress = new QProgressBar(ui->toolBar);
    m_downloadProgress->setObjectName(QStringLiteral("downloadProgress"));
    m_downloadProgress->setMaximumWidth(220);
    m_downloadProgress->hide();
    ui->horizontalLayout_8->addWidget(m_downloadProgress);
    m_downloader = PageRegistry::create<PageKind::FirmwareDownloader>(pageContext());
    if (m_downloader) {
        connect(m_downloader, &FirmwareLoader::sig_heartBeatRestart, this, &MainDongleWidget::on_downLoad_finished);
        connect(m_downloader, &FirmwareLoader::sig_downloadFailed, this, &MainDongleWidget::on_downLoad_failed);
        connect(m_downloader, &FirmwareLoader::sig_progress, this, &MainDongleWidget::onDownloadProgress);
    }
    onConnectionStatusChanged(false);
}

MainDongleWidget::~MainDongleWidget()
{
    // A running test mode is stopped on the dongle, however the tab goes.
    if (m_lcpPage || m_idtPage) {
        closeTestPages();
        closePort();
    }
    // Pages first: they use the link, the settings and the log manager.
    if (ui->tabWidget) {
        // Deleting a page moves the current tab; nothing may be built now.
        ui->tabWidget->disconnect(this);
        QList<QWidget *> pages;
        for (int i = 0; i < ui->tabWidget->count(); ++i) {
            if (qobject_cast<DynamicPage *>(ui->tabWidget->widget(i)))
                pages << ui->tabWidget->widget(i);
        }
        qDeleteAll(pages);
    }
    for (const QPointer<DynamicPage> &page : qAsConst(m_removedPages))
        delete page.data();
    m_removedPages.clear();
    delete m_connectionWidget.data();
    delete m_advertisingPage.data();
    delete m_psmDialog.data();
    delete m_calibrationDialog.data();
    delete m_downloader;
    m_downloader = nullptr;
    delete m_selectDialog;
    m_selectDialog = nullptr;
    delete m_toolLog;
    m_toolLog = nullptr;
    delete m_dongleLog;
    m_dongleLog = nullptr;

    delete m_heartBeat;
    m_heartBeat = nullptr;
    // Stops the reader thread and closes the port.
    delete m_link;
    m_link = nullptr;
    delete m_settings;
    m_settings = nullptr;
    // Last, so that nothing logs through it once it is gone.
    delete m_logManager;
    m_logManager = nullptr;
    delete ui;
}

void MainDongleWidget::registerHandlers()
{
    m_status = UplinkStatus(m_logManager, QStringLiteral(".\\maindonglewidget"));
    m_dispatcher = UplinkDispatcher<MainDongleWidget>(this, m_logManager, {
        {"BB@00@01", &MainDongleWidget::sdkStatusProc},
        {"CC@00@02", &MainDongleWidget::resetEventProc},
        {"DD@00@03", &MainDongleWidget::deviceTypeGetProc},
        {"BB@01@41", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@45", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@47", &MainDongleWidget::sdkStatusProc},
        {"DD@01@48", &MainDongleWidget::bdAddressGetProc},
        {"BB@01@59", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@5B", &MainDongleWidget::sdkStatusProc},
        {"DD@01@5C", &MainDongleWidget::deviceNameGetProc},
        {"BB@01@5D", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@5F", &MainDongleWidget::sdkStatusProc},
        {"DD@01@60", &MainDongleWidget::appearanceGetProc},
        {"BB@01@61", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@63", &MainDongleWidget::sdkStatusProc},
        {"DD@01@64", &MainDongleWidget::ppcpGetProc},
        {"BB@01@65", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@67", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@69", &MainDongleWidget::sdkStatusProc},
        {"DD@01@6A", &MainDongleWidget::channelMapSetProc},
        {"BB@01@6B", &MainDongleWidget::lastSdkStatusProc},
        {"BB@01@6D", &MainDongleWidget::lastSdkStatusProc},
        {"BB@02@01", &MainDongleWidget::lastSdkStatusProc},
        {"BB@02@09", &MainDongleWidget::lastSdkStatusProc},
        {"BB@04@11", &MainDongleWidget::lastSdkStatusProc},
        {"BB@05@01", &MainDongleWidget::sdkStatusProc},
        {"DD@05@02", &MainDongleWidget::profileGetProc},
        {"BB@05@03", &MainDongleWidget::sdkStatusProc},
        {"DD@05@04", &MainDongleWidget::profileSetProc},
        {"DD@06@10", &MainDongleWidget::cisRequestProc},
        {"BB@06@05", &MainDongleWidget::sdkStatusProc},
        {"DD@06@03", &MainDongleWidget::acceptCisProc},
        {"BB@06@06", &MainDongleWidget::sdkStatusProc},
    });
}

QString MainDongleWidget::settingsDescriptionPath()
{
    return settingsDescription();
}

void MainDongleWidget::setSettingsDescriptionPath(const QString &path)
{
    settingsDescription() = path;
}

PageContext MainDongleWidget::pageContext()
{
    PageContext context;
    context.link = m_link;
    context.logger = m_logManager;
    context.settings = m_settings;
    context.dongleName = &m_name;
    context.parent = this;
    return context;
}

QString MainDongleWidget::portName() const
{
    return m_link ? m_link->getPortName() : QString();
}

CConnectionWidget *MainDongleWidget::connectionWidget() const
{
    return m_connectionWidget.data();
}

AdvertisingPage *MainDongleWidget::advertisingPage()
{
    buildAdvertisingPage();
    return m_advertisingPage.data();
}

void MainDongleWidget::buildAdvertisingPage()
{
    if (m_advertisingPage || !m_initialized || !m_operational)
        return;
    m_advertisingPage = PageRegistry::create<PageKind::Advertising>(pageContext());
    if (!m_advertisingPage)
        return;
    ui->horizontalLayout->addWidget(m_advertisingPage);
    // At once, not on the layout's next turn: the tab is being shown now.
    m_advertisingPage->show();
    connect(m_advertisingPage, &AdvertisingPage::sig_slaveBIGSucceed, this, &MainDongleWidget::on_slaveBIGSucceed);
}

QTabWidget *MainDongleWidget::pageTabWidget() const
{
    return ui->tabWidget;
}

bool MainDongleWidget::isBusy() const
{
    if (m_connectionWidget
        && (m_connectionWidget->isAutoConnecting() || m_connectionWidget->isScanning()
            || m_connectionWidget->hasConnection() || m_connectionWidget->isSyncing()))
        return true;
    return m_advertisingPage && m_advertisingPage->isAdvertising();
}

void MainDongleWidget::logLine(const QString &text, int level)
{
    if (m_logManager)
        m_logManager->log(text, level);
}

void MainDongleWidget::initWidgets()
{
    if (m_initialized)
        return;
    m_initialized = true;
    if (!m_operational)
        return;

    // Built inside the panes that hold them: moving a built form into
    // another parent restyles every widget in it.
    m_connectionWidget = new CConnectionWidget(m_link, m_logManager, m_settings, m_name, ui->tabMaster);
    // The advertising page is built when its tab is first shown (start-up
    // shows the scanning page only).
    m_psmDialog = PageRegistry::create<PageKind::PsmDialog>(pageContext());
    m_toolLog = new CLogWidget(m_link, m_logManager, 0, ui->tab_toolLog);
    m_dongleLog = new CLogWidget(m_link, m_logManager, 1, ui->tab_dongleLog);

    ui->splitter->setStretchFactor(0, 7);
    ui->splitter->setStretchFactor(1, 3);
    ui->tabWidget->setCurrentIndex(0);
    onConnectionStatusChanged(m_connected);

    ui->verticalLayout_2->addWidget(m_connectionWidget);

    connect(m_connectionWidget, &CConnectionWidget::connectSuccess, this, &MainDongleWidget::on_connectSuccess);
    connect(m_connectionWidget, &CConnectionWidget::disConnectRequest, this, &MainDongleWidget::on_disConnectRequest);
    connect(m_connectionWidget, &CConnectionWidget::cigcisSuccess, this, &MainDongleWidget::on_cigcisSuccess);
    connect(m_connectionWidget, &CConnectionWidget::toCIGCISWidget, this, &MainDongleWidget::on_toCIGCISWidget);
    connect(m_connectionWidget, &CConnectionWidget::masterBIGSucceed, this, &MainDongleWidget::on_masterBIGSucceed);
    connect(m_link, &CMsg::sig_rcvCommonMsg, m_connectionWidget, &CConnectionWidget::onRcvMsg);
    connect(m_link, &CMsg::sig_rcvGapMsg, m_connectionWidget, &CConnectionWidget::onRcvMsg);
    // Connected here, whenever the page is built, so it keeps its place
    // among the receivers of the link.
    connect(m_link, &CMsg::sig_rcvGapMsg, this, [this](const QByteArray &frame) {
        if (m_advertisingPage)
            m_advertisingPage->onRcvMsg(frame);
    });

    m_toolLog->setTitle(QStringLiteral("Tool Log"));
    m_logManager->addLogger(new TextBrowserLogger(QStringLiteral("main_logger"), m_toolLog->getTextBrowser()));
    m_logManager->selectLogger(QStringLiteral("main_logger"));
    m_dongleLog->setTitle(QStringLiteral("Dongle Log"));
    m_logManager->addDongleLogger(
        new TextBrowserLogger(QStringLiteral("dongle_text_browser_logger"), m_dongleLog->getTextBrowser(),
                              QStringLiteral("dongle_log.txt")));

    ui->verticalLayout->addWidget(m_toolLog);
    ui->verticalLayout_3->addWidget(m_dongleLog);
}

void MainDongleWidget::setToolBarEnabled(bool enabled)
{
    // Buttons whose pages no layer registered stay off.
    ui->toolButton_configureSettings->setEnabled(enabled);
    ui->toolButton_registerPSM->setEnabled(enabled && m_psmDialog);
    ui->toolButton_about->setEnabled(enabled);
    ui->toolButton_getInfo->setEnabled(enabled);
    ui->toolButton_reset->setEnabled(enabled);
    ui->toolButton_RfCalibraion->setEnabled(enabled && PageRegistry::has(PageKind::CalibrationDialog));
    ui->toolButton_address->setEnabled(enabled);
    ui->toolButton_download->setEnabled(enabled && m_downloader);
    ui->toolButton_lcp->setEnabled(enabled && PageRegistry::has(PageKind::LcpTest));
    ui->toolButton_idt->setEnabled(enabled && PageRegistry::has(PageKind::IdtTest));
    ui->tabWidget->setEnabled(enabled);
    ui->tabWidget_log->setEnabled(enabled);
}

void MainDongleWidget::onConnectionStatusChanged(bool connected)
{
    m_connected = connected;
    if (!m_operational) {
        setToolBarEnabled(false);
        return;
    }
    setToolBarEnabled(connected);
    if (connected) {
        m_heartBeat->start();
        sendNamed(QString::fromLatin1(CMD_RESET));
        return;
    }
    m_heartBeat->stop();
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        auto *page = qobject_cast<DynamicPage *>(ui->tabWidget->widget(i));
        if (page && !page->closesOnReset())
            page->resetPage(false);
    }
}

void MainDongleWidget::on_toolButton_selectDongle_clicked()
{
    if (!m_operational)
        return;
    if (!m_selectDialog) {
        m_selectDialog = new CSelectDongleDialog(m_link, m_logManager, this);
        connect(m_selectDialog, &CSelectDongleDialog::sig_connectionStatusChanged, this,
                &MainDongleWidget::onConnectionStatusChanged);
    }
    m_selectDialog->exec();
}

void MainDongleWidget::on_configDongleName(QString name)
{
    m_name = name;
    emit updateDongleName(this, name);
}

void MainDongleWidget::serialPortArrived(const QString &port)
{
    emit sig_SerialPortArrived(port);
}

void MainDongleWidget::serialPortRemoved(const QString &port)
{
    emit showThisDongleTab(m_name);
    emit sig_SerialPortRemoved(port);
}

void MainDongleWidget::closeTestPages()
{
    if (m_lcpOpen)
        onCloseLCP();
    if (m_idtOpen)
        onCloseIDT();
}

void MainDongleWidget::closePort()
{
    if (m_heartBeat)
        m_heartBeat->stop();
    if (!m_link || !m_link->isOpen())
        return;
    // What is queued (a test mode's stop commands) leaves before the port closes.
    if (!m_link->waitUntilSent(CloseWaitTicks))
        logLine(QStringLiteral("Closing %1: %2 frames did not leave in time and are dropped.")
                    .arg(m_link->getPortName())
                    .arg(m_link->queuedFrames()),
                LogLevel::Warn);
    if (m_link)
        m_link->closePort();
}

void MainDongleWidget::sendNamed(const QString &name)
{
    sendWithFields(name, QMap<QString, QVariant>());
}

void MainDongleWidget::sendWithFields(const QString &name, const QMap<QString, QVariant> &fields)
{
    if (!CCommand::sendMsg(m_link, m_logManager, name, fields, QMap<QString, QVariant>()))
        CCommand::logSendFailed(m_logManager, name);
}

void MainDongleWidget::on_toolButton_reset_clicked()
{
    CCommand::sendMsg(m_link, m_logManager, QString::fromLatin1(CMD_RESET), QMap<QString, QVariant>(),
                      QMap<QString, QVariant>());
}

void MainDongleWidget::on_toolButton_configureSettings_clicked()
{
    if (!m_operational)
        return;
    CSettingDialog dialog(m_logManager, m_settings, this, parentWidget());
    dialog.setBusyQuery([this] { return isBusy(); });
    connect(&dialog, &CSettingDialog::staticSettingsUpdated, this, &MainDongleWidget::on_staticConfigSet);
    connect(&dialog, &CSettingDialog::dynamicSettingsUpdated, this, &MainDongleWidget::on_DynamicConfigApply);
    if (m_connectionWidget)
        connect(&dialog, &CSettingDialog::sig_openAutomaticConnect, m_connectionWidget.data(),
                &CConnectionWidget::on_openAutoConnect);
    connect(&dialog, &CSettingDialog::sig_isPairEnable, this, &MainDongleWidget::on_isPairEnable);
    if (dialog.loadSettingFile(settingsDescription())) {
        dialog.loadSettingsMap();
        const QMap<QString, QVariant> before = *m_settings;
        QPointer<MainDongleWidget> self(this);
        dialog.exec();
        if (self && *m_settings != before)
            emit sig_settingsChanged();
    }
}

void MainDongleWidget::on_toolButton_registerPSM_clicked()
{
    if (m_psmDialog)
        m_psmDialog->exec();
}

void MainDongleWidget::on_toolButton_about_clicked()
{
    CAboutDialog dialog(nullptr);
    dialog.exec();
}

void MainDongleWidget::onRcvMsg(QByteArray frame)
{
    if (m_operational)
        m_dispatcher.dispatch(frame);
}

void MainDongleWidget::onRcvDongleLog(QByteArray frame)
{
    const QByteArray text = UplinkStatus::payload(frame);
    if (m_logManager && !text.isEmpty())
        m_logManager->dongleLog(QString::fromUtf8(text));
}

void MainDongleWidget::sdkStatusProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logManager, frame);
}

void MainDongleWidget::lastSdkStatusProc(const QByteArray &frame)
{
    CCommand::lastSDKProc(m_logManager, frame);
}

void MainDongleWidget::resetEventProc(const QByteArray &frame)
{
    CCommand::lastCompleteProc(m_logManager, frame);
    const std::optional<uchar> status = UplinkStatus::firstPayloadByte(frame);
    if (!status) {
        m_status.internalError(__LINE__, QStringLiteral("MainDongleWidget::resetEventProc"));
        return;
    }
    if (*status != 0)
        return;

    // The dongle forgot its connections and groups: their pages go; pages
    // that survive a reset go back to their start.
    QList<DynamicPage *> closing;
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        auto *page = qobject_cast<DynamicPage *>(ui->tabWidget->widget(i));
        if (!page)
            continue;
        if (page->closesOnReset())
            closing << page;
        else
            page->resetPage(true);
    }
    for (DynamicPage *page : qAsConst(closing))
        removePage(page);
    ui->tabWidget->setCurrentIndex(0);
    // Requests the dongle made before it reset can no longer be answered.
    m_pendingCisHandles.clear();
    for (const QPointer<QDialog> &dialog : qAsConst(m_cisRequestDialogs)) {
        if (dialog)
            dialog->reject();
    }
    m_cisRequestDialogs.clear();

    if (m_connectionWidget) {
        m_connectionWidget->setCigCisOpened(false);
        m_connectionWidget->reset();
    }
    if (m_advertisingPage)
        m_advertisingPage->resetAdvList();
    if (m_psmDialog)
        m_psmDialog->clearPsmList();
    if (!m_downloading)
        m_heartBeat->start();
    queryDeviceInfo();
}

void MainDongleWidget::queryDeviceInfo()
{
    m_deviceType = -1;
    sendNamed(QString::fromLatin1(CMD_DEVICE_TYPE_GET));
    sendNamed(QString::fromLatin1(CMD_DEVICE_BD_ADDRESS_GET));
    m_addressQueryPending = true;
    sendNamed(QString::fromLatin1(CMD_DEVICE_NAME_GET));
    sendNamed(QString::fromLatin1(CMD_APPEARANCE_GET));
    sendNamed(QString::fromLatin1(CMD_PERIPHERAL_PREFERRED_CONNECTION_PARAMETERS_GET));
    sendNamed(QString::fromLatin1(CMD_GET_PROFILE_ID));
    sendNamed(QString::fromLatin1(CMD_GET_WHITELIST));
}

void MainDongleWidget::deviceTypeGetProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    const QByteArray type = fields.value(QStringLiteral("type"));
    if (type.isEmpty()) {
        m_status.internalError(__LINE__, QStringLiteral("MainDongleWidget::deviceTypeGetProc"));
        return;
    }
    m_deviceType = int(qint8(type.at(0)));
}

void MainDongleWidget::bdAddressGetProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    // Other dialogs ask for the address too; only the reset's query is stored.
    if (!m_addressQueryPending)
        return;
    m_addressQueryPending = false;
    const QByteArray address = fields.value(QStringLiteral("identity_addr"));
    m_settings->insert(QStringLiteral("identity_addr"), CUtil::hexText(address, CUtil::Reversed));
    const QByteArray type = fields.value(QStringLiteral("identity_addr_type"));
    if (type.size() == 1)
        m_settings->insert(QStringLiteral("identity_addr_type"), int(qint8(type.at(0))));
}

void MainDongleWidget::deviceNameGetProc(const QByteArray &frame)
{
    CCommand::uplinkRawMsgToLog(m_logManager, frame);
    const QByteArray payload = UplinkStatus::payload(frame);
    const QString command = QString::fromLatin1(CMD_DEVICE_NAME_GET);
    // The two texts tell an empty answer from one whose length byte is wrong.
    if (payload.isEmpty()) {
        logLine(QStringLiteral("Uplink Command: ") + command + QStringLiteral(" is wrong."), LogLevel::Error);
        return;
    }
    QByteArray name;
    if (!DeviceSettingsCodec::nameFromAnswer(payload, &name)) {
        logLine(QStringLiteral("uplink msg: ") + command + QStringLiteral(" is wrong."), LogLevel::Error);
        return;
    }
    m_settings->insert(QStringLiteral("device_name"), DeviceSettingsCodec::storedDeviceName(name));
}

void MainDongleWidget::appearanceGetProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    m_settings->insert(QStringLiteral("appearance"),
                       QString::number(CUtil::littleEndian(fields.value(QStringLiteral("appearance"))), 16));
}

void MainDongleWidget::ppcpGetProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        m_settings->insert(it.key(), QString::number(CUtil::littleEndian(it.value()), 16).rightJustified(4, QLatin1Char('0')));
}

void MainDongleWidget::profileGetProc(const QByteArray &frame)
{
    CCommand::uplinkRawMsgToLog(m_logManager, frame);
    int truncatedAt = -1;
    const QByteArray profiles = DeviceSettingsCodec::storedProfiles(UplinkStatus::payload(frame), &truncatedAt);
    if (truncatedAt >= 0)
        logLine(QStringLiteral("MainDongleWidget::profileGetProc, the profile record at byte %1 is truncated; "
                               "the records after it are dropped.")
                    .arg(truncatedAt),
                LogLevel::Error);
    m_settings->insert(QStringLiteral("profile"), profiles);
}

void MainDongleWidget::cisRequestProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    const quint64 handle = CUtil::littleEndian(fields.value(QStringLiteral("cis_connection_handle")));
    // One request is asked at a time; one that comes meanwhile is refused.
    if (DialogOfAKind::refuseWhilePending(this, QLatin1String(kCisRequestKind), m_link, m_logManager, [&] {
            sendWithFields(QString::fromLatin1(CMD_REJECT_CIS_ESTABLISHED),
                           {{QStringLiteral("cis_connect_handle"), fields.value(QStringLiteral("cis_connection_handle"))}});
        }))
        return;
    m_pendingCisHandles.insert(handle);
    CisPageArgs args;
    args.fields = fields;
    QDialog *dialog = PageRegistry::create<PageKind::CisRequestDialog>(pageContext(), args);
    if (!dialog)
        return;
    DialogOfAKind::hold(this, QLatin1String(kCisRequestKind), dialog);
    m_cisRequestDialogs.removeAll(QPointer<QDialog>());
    m_cisRequestDialogs.append(dialog);
    // Frames keep coming while the user decides; this tab may go meanwhile.
    const QPointer<MainDongleWidget> alive(this);
    const int answer = dialog->exec();
    if (alive && answer != QDialog::Accepted)
        m_pendingCisHandles.remove(handle);
}

void MainDongleWidget::acceptCisProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (CCommand::parseUpLinkCmd(m_logManager, frame, fields) != 0)
        return;
    // The same ID also answers the central side's "Create CIS".
    const quint64 handle = CUtil::littleEndian(fields.value(QStringLiteral("cis_connection_handle")));
    if (!m_pendingCisHandles.contains(handle))
        return;
    CCommand::uplinkMsgToLog(m_logManager, frame, fields);
    m_pendingCisHandles.remove(handle);
    const std::optional<uchar> status = UplinkStatus::byteField(fields, QStringLiteral("status"));
    if (status && *status != 0) {
        CCommand::completeResultToLog(
            m_logManager, CCfgFileParse::instance()->m_uplinkIdToNameMap.value(CCommand::getUpLinkId(frame)), *status);
        return;
    }
    openSlaveCisPage(fields);
}

CisPeripheralPage *MainDongleWidget::openSlaveCisPage(const QMap<QString, QByteArray> &fields)
{
    CisPageArgs args;
    args.fields = fields;
    CisPeripheralPage *page = PageRegistry::create<PageKind::CisPeripheral>(pageContext(), args);
    if (!page)
        return nullptr;
    connect(page, &CisPeripheralPage::disConnectSlaveCIS, this, &MainDongleWidget::on_slaveCISDisconnect);
    QToolButton *button = placePageTab(page, -1, QLatin1String(kSlaveCisTab),
                                       QStringLiteral("Create CIG and CIS tab failed. "));
    if (!button)
        return page;
    const QPointer<CisPeripheralPage> guarded(page);
    connect(button, &QToolButton::clicked, page, [guarded] {
        if (guarded)
            guarded->onSlaveDisconnect();
    });
    return page;
}

void MainDongleWidget::on_slaveCISDisconnect(uint64_t handle)
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        auto *page = qobject_cast<CisPeripheralPage *>(ui->tabWidget->widget(i));
        if (!page || page->cisHandle() != handle)
            continue;
        disconnect(page, &CisPeripheralPage::disConnectSlaveCIS, this, &MainDongleWidget::on_slaveCISDisconnect);
        if (!ui->tabWidget->tabBar()->tabButton(i, QTabBar::RightSide))
            logLine(QStringLiteral("delete close button failed"), LogLevel::Debug);
        // Called from the page's own handler: removePage deletes it later.
        removePage(page);
        const int slave = slaveTabIndex();
        if (slave >= 0)
            ui->tabWidget->setCurrentIndex(slave);
        return;
    }
}

void MainDongleWidget::on_cigcisSuccess(CigCisPage *page)
{
    if (!page)
        return;
    QToolButton *button = placePageTab(page, slaveTabIndex(), QLatin1String(kCigCisTab),
                                       QStringLiteral("Create CIG and CIS tab failed. "));
    if (button)
        connect(button, &QToolButton::clicked, this, &MainDongleWidget::onCloseTabButtonClicked);
}

void MainDongleWidget::on_toCIGCISWidget()
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (qobject_cast<CigCisPage *>(ui->tabWidget->widget(i))) {
            ui->tabWidget->setCurrentIndex(i);
            return;
        }
    }
}

void MainDongleWidget::onCloseTabButtonClicked()
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (ui->tabWidget->tabBar()->tabButton(i, QTabBar::RightSide) != sender())
            continue;
        if (auto *page = qobject_cast<CigCisPage *>(ui->tabWidget->widget(i))) {
            if (!page->canClose()) {
                CFlatMessage::information(this, QStringLiteral("ERROR"),
                                          QStringLiteral("Please remove CIG before close the CIS and CIS table."));
                return;
            }
            if (m_connectionWidget)
                m_connectionWidget->setCigCisOpened(false);
            removePage(page);
            return;
        }
        auto *receiver = qobject_cast<BigReceiverPage *>(ui->tabWidget->widget(i));
        auto *broadcaster = qobject_cast<BigBroadcasterPage *>(ui->tabWidget->widget(i));
        if (receiver || broadcaster) {
            if (receiver ? !receiver->canClose() : !broadcaster->canClose()) {
                CFlatMessage::information(this, QStringLiteral("ERROR"),
                                          QStringLiteral("Please terminate BIG before close the BIG and BIS table."));
                return;
            }
            removePage(receiver ? static_cast<DynamicPage *>(receiver) : broadcaster);
            return;
        }
        break;
    }
    logLine(QStringLiteral("Close tab failed."), LogLevel::Error);
}

void MainDongleWidget::channelMapSetProc(const QByteArray &frame)
{
    m_status.check(frame, __LINE__, QStringLiteral("MainDongleWidget::channelMapSetProc"));
}

void MainDongleWidget::profileSetProc(const QByteArray &frame)
{
    m_status.check(frame, __LINE__, QStringLiteral("MainDongleWidget::profileSetProc"));
}

void MainDongleWidget::on_staticConfigSet()
{
    QMap<QString, QVariant> fields = *m_settings;
    sendWithFields(QString::fromLatin1(CMD_L2CAP_PARAMETERS_SETTINGS), fields);
    sendWithFields(QString::fromLatin1(CMD_DATA_LENGTH_SET), fields);
    sendWithFields(QString::fromLatin1(CMD_PRIVACY_SET), fields);
    sendWithFields(QString::fromLatin1(CMD_IDENTITY_ADDRESS_SET), fields);
    sendDeviceNameSet(fields);
    sendWithFields(QString::fromLatin1(CMD_APPEARANCE_SET), fields);
    sendWithFields(QString::fromLatin1(CMD_PERIPHERAL_PREFERRED_CONNECTION_PARAMETERS_SET), fields);
    sendWithFields(QString::fromLatin1(CMD_LOCAL_IRK_SET), fields);
    sendWithFields(QString::fromLatin1(CMD_PREFERRED_PHY_SET), fields);
    sendWithFields(QString::fromLatin1(CMD_RF_PATH_COMPENSATION_SET), fields);
    bool truncated = false;
    fields.insert(QStringLiteral("profile"),
                  DeviceSettingsCodec::enabledProfileIds(fields.value(QStringLiteral("profile")).toByteArray(), &truncated));
    if (truncated)
        logLine(QStringLiteral("MainDongleWidget::on_staticConfigSet, the stored profile list ends in a truncated "
                               "record; only the records before it are sent."),
                LogLevel::Error);
    sendWithFields(QString::fromLatin1(CMD_SET_PROFILE_ID), fields);
    sendWithFields(QString::fromLatin1(CMD_SET_SECURITY_PAIR_ENABLE), fields);
}

void MainDongleWidget::sendDeviceNameSet(const QMap<QString, QVariant> &fields)
{
    const QString command = QString::fromLatin1(CMD_DEVICE_NAME_SET);
    const QString id = CCfgFileParse::instance()->m_downlinkNameToIdMap.value(command);
    const QStringList parts = id.split(QLatin1Char('@'));
    bool layerOk = false;
    bool opcodeOk = false;
    const uint layer = parts.size() == 2 ? parts.at(0).toUInt(&layerOk, 16) : 0;
    const uint opcode = parts.size() == 2 ? parts.at(1).toUInt(&opcodeOk, 16) : 0;
    if (!layerOk || !opcodeOk) {
        logLine(QStringLiteral("Downlink Command: ") + command + QStringLiteral(" send failed."), LogLevel::Error);
        return;
    }
    QString why;
    const QByteArray frame =
        DeviceSettingsCodec::deviceNameSetFrame(fields.value(QStringLiteral("device_name")).toString(), uchar(layer),
                                                uchar(opcode), &why);
    if (frame.isEmpty()) {
        // Sending a corrupted name would rename the dongle to garbage.
        logLine(QStringLiteral("Downlink Command: ") + command + QStringLiteral(" not sent: ") + why + QLatin1Char('.'),
                LogLevel::Error);
        return;
    }
    if (m_link->sendMsg(frame) != 0)
        logLine(QStringLiteral("Downlink Command: ") + command + QStringLiteral(" send failed."), LogLevel::Error);
    logLine(QStringLiteral("Downlink Command Name: ") + command + QStringLiteral("\r\nRaw Data: ")
                + QString::fromLatin1(frame.toHex()) + QStringLiteral("\r\nField Data: "),
            LogLevel::Info);
}

void MainDongleWidget::on_DynamicConfigApply()
{
    sendWithFields(QString::fromLatin1(CMD_SET_SECURITY_PARAMETER), *m_settings);
}

void MainDongleWidget::on_isPairEnable(bool enabled)
{
    emit sig_pairEnable(enabled);
}

void MainDongleWidget::on_deviceDead()
{
    emit showThisDongleTab(m_name);
    CFlatMessage::notify(this, m_name + QStringLiteral(": Firmware Error"),
                         QStringLiteral("Some Error happened on Firmware!\r\nPlease Press Reset Button on the Dongle."));
    logLine(QStringLiteral("Firmware Error"), LogLevel::Error);
}

int MainDongleWidget::slaveTabIndex() const
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (ui->tabWidget->tabText(i) == QLatin1String(kSlaveTab))
            return i;
    }
    return -1;
}

QToolButton *MainDongleWidget::createCloseButton(const QString &toolTip)
{
    auto *button = new QToolButton;
    button->setIcon(QIcon(QStringLiteral(":/icons/Close.png")));
    button->setToolTip(toolTip);
    button->setStyleSheet(QStringLiteral("QToolButton{background-color:none;border: none;}"
                                         "QToolButton:hover{background-color:#ceebff; border: none;}"));
    return button;
}

QToolButton *MainDongleWidget::placePageTab(QWidget *page, int index, const QString &title, const QString &failure,
                                            const QString &closeTip)
{
    int placed = -1;
    if (page) {
        ui->tabWidget->insertTab(index < 0 ? ui->tabWidget->count() : index, page, title);
        ui->tabWidget->setCurrentWidget(page);
        placed = ui->tabWidget->indexOf(page);
    }
    if (placed < 0) {
        logLine(failure, LogLevel::Error);
        return nullptr;
    }
    QToolButton *button = createCloseButton(closeTip);
    ui->tabWidget->tabBar()->setTabButton(placed, QTabBar::RightSide, button);
    return button;
}

void MainDongleWidget::on_connectSuccess(uint8_t role, QString addr, ConnectionPage *page)
{
    if (!page)
        return;
    int index = ui->tabWidget->count();
    if (role == 0) {
        const int slave = slaveTabIndex();
        index = slave < 0 ? 0 : slave;
    }
    QToolButton *button = placePageTab(page, index, QLatin1String(kPeerAddressPrefix) + addr,
                                       QStringLiteral("Create connect tab failed. "));
    if (!button)
        return;
    const QPointer<ConnectionPage> guarded(page);
    connect(button, &QToolButton::clicked, page, [guarded] {
        if (guarded)
            guarded->disconnect();
    });
    connect(this, &MainDongleWidget::sig_pairEnable, page, &ConnectionPage::on_pairEnable);
    connect(page, &DynamicPage::sig_showDongleTab, this, &MainDongleWidget::showThisDongleTab);
}

void MainDongleWidget::on_disConnectRequest(uint8_t condix)
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        auto *page = qobject_cast<ConnectionPage *>(ui->tabWidget->widget(i));
        if (!page || page->condix() != condix)
            continue;
        const uint8_t role = page->role();
        if (!ui->tabWidget->tabBar()->tabButton(i, QTabBar::RightSide))
            logLine(QStringLiteral("delete close button failed"), LogLevel::Debug);
        removePage(page);
        logLine(QStringLiteral("delete widget"), LogLevel::Debug);
        if (role == 0)
            ui->tabWidget->setCurrentIndex(0);
        else
            ui->tabWidget->setCurrentIndex(qMax(0, slaveTabIndex()));
        return;
    }
}

void MainDongleWidget::on_masterBIGSucceed(uint16_t syncValue)
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (auto *page = qobject_cast<BigReceiverPage *>(ui->tabWidget->widget(i))) {
            page->setSyncValue(syncValue);
            ui->tabWidget->setCurrentIndex(i);
            return;
        }
    }
    BigReceiverArgs args;
    args.syncValue = syncValue;
    BigReceiverPage *page = PageRegistry::create<PageKind::BigReceiver>(pageContext(), args);
    if (page)
        page->setSyncValue(syncValue);
    QToolButton *button = placePageTab(page, slaveTabIndex(), QStringLiteral("BIG And BIS  "),
                                       QStringLiteral("Create BIG and BIS tab failed. "));
    if (button)
        connect(button, &QToolButton::clicked, this, &MainDongleWidget::onCloseTabButtonClicked);
}

void MainDongleWidget::on_slaveBIGSucceed(uint8_t advIndex)
{
    const QString text = QString::number(advIndex);
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (auto *page = qobject_cast<BigBroadcasterPage *>(ui->tabWidget->widget(i))) {
            page->setAdvertisingSetText(text);
            ui->tabWidget->setCurrentIndex(i);
            return;
        }
    }
    BigBroadcasterArgs args;
    args.advIndex = advIndex;
    BigBroadcasterPage *page = PageRegistry::create<PageKind::BigBroadcaster>(pageContext(), args);
    if (page)
        page->setAdvertisingSetText(text);
    QToolButton *button =
        placePageTab(page, -1, QStringLiteral("BIG  "), QStringLiteral("Create BIG and BIS tab failed. "));
    if (button)
        connect(button, &QToolButton::clicked, this, &MainDongleWidget::onCloseTabButtonClicked);
}

void MainDongleWidget::removePage(DynamicPage *page)
{
    // The page may be the one whose handler or dialog we are called from:
    // close its dialogs, take it out now, delete it once its code returned.
    page->closeDialogs();
    const int index = ui->tabWidget->indexOf(page);
    if (index >= 0)
        ui->tabWidget->removeTab(index);
    page->hide();
    page->setParent(nullptr);
    m_removedPages.removeAll(QPointer<DynamicPage>());
    m_removedPages.append(page);
    page->deleteLater();
}

void MainDongleWidget::onTabWidgetCurrentChanged(int index)
{
    if (ui->tabWidget->widget(index) == ui->tabSlave)
        buildAdvertisingPage();
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (auto *page = qobject_cast<DynamicPage *>(ui->tabWidget->widget(i)))
            page->setIsCurrentTab(i == index);
    }
}

void MainDongleWidget::readSettingsGroup(QSettings &settings, const QString &group)
{
    settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys) {
        QVariant value = settings.value(key);
        // Unsigned integers are stored as the point (value, 0).
        if (value.userType() == QMetaType::QPoint)
            value = QVariant(uint(value.toPoint().x()));
        m_settings->insert(key, value);
    }
    settings.endGroup();
}

// --- toolbar, firmware download and test pages ---

void MainDongleWidget::setReconnectInterval(int ms)
{
    if (m_reconnectTimer)
        m_reconnectTimer->setInterval(ms);
}

CSelectDongleDialog *MainDongleWidget::ensureSelectDialog()
{
    if (!m_selectDialog) {
        m_selectDialog = new CSelectDongleDialog(m_link, m_logManager, this);
        connect(m_selectDialog, &CSelectDongleDialog::sig_connectionStatusChanged, this,
                &MainDongleWidget::onConnectionStatusChanged);
    }
    return m_selectDialog;
}

void MainDongleWidget::on_toolButton_getInfo_clicked()
{
    GetInfoDlg dialog(m_link, m_logManager, this);
    dialog.initForms();
    dialog.exec();
}

void MainDongleWidget::on_toolButton_RfCalibraion_clicked()
{
    if (!m_calibrationDialog)
        m_calibrationDialog = PageRegistry::create<PageKind::CalibrationDialog>(pageContext());
    if (m_calibrationDialog)
        m_calibrationDialog->exec();
}

void MainDongleWidget::on_toolButton_address_clicked()
{
    ResolveAddressDialog dialog(m_link, m_logManager, this);
    dialog.exec();
}

void MainDongleWidget::setDownloadWidgetsEnabled(bool enabled)
{
    const QList<QWidget *> widgets{ui->toolButton_selectDongle, ui->toolButton_configureSettings,
                                   ui->toolButton_registerPSM,   ui->toolButton_about,
                                   ui->toolButton_getInfo,       ui->toolButton_reset,
                                   ui->toolButton_RfCalibraion,  ui->toolButton_address,
                                   ui->tabWidget,                ui->tabWidget_log,
                                   ui->toolButton_download,      ui->toolButton_lcp,
                                   ui->toolButton_idt};
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
}

void MainDongleWidget::on_toolButton_download_clicked()
{
    if (m_deviceType != 0 && m_deviceType != 1) {
        logLine(QStringLiteral("this firmware do not support downloading."), LogLevel::Error);
        return;
    }
    if (!m_downloader || m_downloading)
        return;
    const QString path = chooseOpenFileName(this, QString(), QString(), QStringLiteral("*.*"));
    if (path.isEmpty())
        return;
    if (m_downloader->checkFirmwareFile(path) != 0) {
        logLine(QStringLiteral("selected firmware wrong!"), LogLevel::Error);
        const QString reason = m_downloader->failureReason();
        logLine(reason, LogLevel::Error);
        CFlatMessage::information(this, QStringLiteral("Download Firmware"),
                                  QStringLiteral("This file cannot be downloaded to the dongle.\n%1").arg(reason));
        return;
    }
    // Stand-ins keep the build free of the maker's images; they must never
    // reach a real dongle by accident.
    if (m_downloader->usesStandInBootImage() && !qEnvironmentVariableIsSet("VANTORA_ACCEPT_STANDIN_BOOT_IMAGE")) {
        const QPointer<MainDongleWidget> alive(this);
        const int answer = CFlatMessage::question(
            this, QStringLiteral("Download Firmware"),
            QStringLiteral("This program carries a stand-in boot image, not firmware: the dongle cannot start from "
                           "it. Download anyway?"));
        if (!alive)
            return;
        if (answer != QMessageBox::Yes) {
            logLine(QStringLiteral("Download cancelled: the boot image is a stand-in."), LogLevel::Info);
            return;
        }
    }
    m_downloading = true;
    setDownloadWidgetsEnabled(false);
    m_heartBeat->stop();
    m_downloader->setChipType(m_deviceType);
    m_downloader->startDownload(path);
}

void MainDongleWidget::onDownloadProgress(int stage, quint32 sent, quint32 total)
{
    m_downloadProgress->setRange(0, int(qMin<quint32>(total, INT_MAX)));
    m_downloadProgress->setValue(int(qMin(sent, total)));
    m_downloadProgress->setFormat(QStringLiteral("%1 of 2: %p%").arg(stage));
    m_downloadProgress->show();
}

void MainDongleWidget::on_downLoad_finished()
{
    m_reconnectPort = m_link->getPortName();
    // What the dongle called itself when it was probed finds it on another port.
    m_reconnectName = m_selectDialog ? m_selectDialog->foundDongles().value(m_reconnectPort).dongleName : QString();
    if (m_reconnectName == DongleProbeInfo().dongleName)
        m_reconnectName.clear();
    m_reconnectStage = 0;
    m_reconnectAttempts = 0;
    m_reconnectTimer->start();
}

QStringList MainDongleWidget::reconnectCandidates() const
{
    // Only this dongle: its own port, or a port whose probe answered with its
    // name. Any other port that arrived meanwhile may be another dongle.
    QStringList candidates{m_reconnectPort};
    if (m_reconnectName.isEmpty() || !m_selectDialog)
        return candidates;
    const QMap<QString, DongleProbeInfo> found = m_selectDialog->foundDongles();
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        if (it.value().dongleName == m_reconnectName && !candidates.contains(it.key()))
            candidates << it.key();
    }
    return candidates;
}

void MainDongleWidget::on_reConnect()
{
    CSelectDongleDialog *dialog = ensureSelectDialog();
    if (m_reconnectStage == 0) {
        dialog->disconnectPort(m_reconnectPort);
        dialog->on_pb_Refresh_clicked();
        m_reconnectStage = 1;
        return;
    }
    const QStringList candidates = reconnectCandidates();
    for (const QString &port : candidates) {
        if (port.isEmpty() || m_link->isOpen())
            continue;
        dialog->connectPort(port);
    }
    if (m_link->isOpen()) {
        if (m_link->getPortName() != m_reconnectPort)
            logLine(QStringLiteral("%1 came back on %2 after the firmware download.")
                        .arg(m_reconnectName, m_link->getPortName()),
                    LogLevel::Info);
        finishReconnect(true);
        return;
    }
    ++m_reconnectAttempts;
    logLine(QStringLiteral("Waiting for the dongle to come back on %1 after the firmware download (attempt %2 of %3).")
                .arg(candidates.join(QStringLiteral(", ")))
                .arg(m_reconnectAttempts)
                .arg(ReconnectAttempts),
            LogLevel::Warn);
    if (m_reconnectAttempts >= ReconnectAttempts) {
        finishReconnect(false);
        return;
    }
    // A dongle that restarts on another port is known only once it is probed.
    if (!m_reconnectName.isEmpty() && !dialog->isRefreshing())
        dialog->on_pb_Refresh_clicked();
}

void MainDongleWidget::finishReconnect(bool reopened)
{
    m_reconnectTimer->stop();
    m_reconnectStage = 0;
    m_downloading = false;
    m_downloadProgress->hide();
    if (reopened) {
        m_heartBeat->start();
        setDownloadWidgetsEnabled(true);
        setToolBarEnabled(true);
        return;
    }
    logLine(QStringLiteral("The dongle did not come back on %1 after the download; open its port with \"Select BLE "
                           "Dongle Target\".")
                .arg(reconnectCandidates().join(QStringLiteral(", "))),
            LogLevel::Error);
    setToolBarEnabled(false);
    ui->toolButton_selectDongle->setEnabled(true);
}

void MainDongleWidget::on_downLoad_failed()
{
    m_downloading = false;
    m_downloadProgress->hide();
    CSelectDongleDialog *dialog = ensureSelectDialog();
    dialog->disconnectPort(m_link->getPortName());
    dialog->on_pb_Refresh_clicked();
    setToolBarEnabled(false);
    ui->toolButton_selectDongle->setEnabled(true);
    // Told from the event loop, not inside the downloader's answer handling.
    const QString reason = m_downloader ? m_downloader->failureReason() : QString();
    QTimer::singleShot(0, this, [this, reason] {
        emit showThisDongleTab(m_name);
        CFlatMessage::information(this, QStringLiteral("Download Firmware"),
                                  QStringLiteral("The firmware download failed.\n%1\nThe dongle may hold a partly "
                                                 "written image: open its port again with \"Select BLE Dongle "
                                                 "Target\" and download again.")
                                      .arg(reason));
    });
}

void MainDongleWidget::on_toolButton_lcp_clicked()
{
    if (m_lcpOpen)
        return;
    TestModePage *page = PageRegistry::create<PageKind::LcpTest>(pageContext());
    if (!page)
        return;
    m_lcpOpen = true;
    emit sig_OpenLCP(QString::asprintf("%-10s", "LCP"), page);
}

void MainDongleWidget::on_toolButton_idt_clicked()
{
    if (m_idtOpen)
        return;
    TestModePage *page = PageRegistry::create<PageKind::IdtTest>(pageContext());
    if (!page)
        return;
    m_idtOpen = true;
    emit sig_OpenIDT(QString::asprintf("%-10s", "IDT"), page);
}

void MainDongleWidget::openTestPage(const QString &title, TestModePage *page, const QString &closeTip,
                                    void (MainDongleWidget::*close)(), void (CMsg::*frames)(QByteArray))
{
    QToolButton *button = placePageTab(page, -1, title, QStringLiteral("Create connect tab failed. "), closeTip);
    if (!button)
        return;
    connect(button, &QToolButton::clicked, this, close);
    connect(page, &DynamicPage::sig_showDongleTab, this, &MainDongleWidget::showThisDongleTab);
    connect(m_link, frames, page, &TestModePage::onRcvMsg);
}

void MainDongleWidget::onOpenLCP(QString title, TestModePage *page)
{
    m_lcpPage = page;
    openTestPage(title, page, QStringLiteral("close LCP"), &MainDongleWidget::onCloseLCP, &CMsg::sig_rcvLCPMsg);
}

void MainDongleWidget::onOpenIDT(QString title, TestModePage *page)
{
    m_idtPage = page;
    openTestPage(title, page, QStringLiteral("close IDT"), &MainDongleWidget::onCloseIDT, &CMsg::sig_rcvIDTMsg);
}

void MainDongleWidget::closeTestPage(QPointer<TestModePage> &page, void (CMsg::*frames)(QByteArray))
{
    if (page) {
        // The stop commands are queued before the page goes.
        page->stopMode();
        disconnect(m_link, frames, page.data(), &TestModePage::onRcvMsg);
        const int index = ui->tabWidget->indexOf(page);
        if (index >= 0 && !ui->tabWidget->tabBar()->tabButton(index, QTabBar::RightSide))
            logLine(QStringLiteral("delete close button failed"), LogLevel::Debug);
        removePage(page);
    }
    page = nullptr;
    ui->tabWidget->setCurrentIndex(0);
}

void MainDongleWidget::onCloseLCP()
{
    closeTestPage(m_lcpPage, &CMsg::sig_rcvLCPMsg);
    m_lcpOpen = false;
}

void MainDongleWidget::onCloseIDT()
{
    closeTestPage(m_idtPage, &CMsg::sig_rcvIDTMsg);
    m_idtOpen = false;
}
