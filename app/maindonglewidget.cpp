#include "maindonglewidget.h"
#include "ui_maindonglewidget.h"

#include "caboutdialog.h"
#include "ccommand.h"
#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "cflatmessage.h"
#include "clogwidget.h"
#include "cmsg.h"
#include "commandnames.h"
#include "cselectdongledialog.h"
#include "csettingdialog.h"
#include "cutil.h"
#include "filechooser.h"
#include "getinfodlg.h"
#include "lazypane.h"
#include "logmanager.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "resolveaddressdialog.h"
#include "textbrowserlogger.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
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

} // namespace

MainDongleWidget::MainDongleWidget(const QString &name, QWidget *parent)
    : QWidget(parent)
    , m_core(name)
    , ui(new Ui::MainDongleWidget)
    , m_dispatcher(this, nullptr)
    , m_wire(link(), logManager(), QStringLiteral(".\\maindonglewidget"))
    , m_configuration(m_wire, settingsMap())
    , m_name(name)
{
    ui->setupUi(this);

    m_tabs.setTabWidget(ui->tabWidget, logManager());
    connect(heartBeat(), &CHeartBeat::dead, this, &MainDongleWidget::on_deviceDead);

    if (!m_core.loadDefaults(settingsDescription())) {
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
    m_operational = true;

    ui->splitter->setStretchFactor(0, 7);
    ui->splitter->setStretchFactor(1, 3);
    ui->tabWidget->setCurrentIndex(0);

    connect(link(), &CMsg::sig_rcvCommonMsg, this, &MainDongleWidget::onRcvMsg);
    connect(link(), &CMsg::sig_rcvL2capMsg, this, &MainDongleWidget::onRcvMsg);
    connect(link(), &CMsg::sig_rcvGapMsg, this, &MainDongleWidget::onRcvMsg);
    connect(link(), &CMsg::sig_rcvSmMsg, this, &MainDongleWidget::onRcvMsg);
    connect(link(), &CMsg::sig_rcvRfuMsg, this, &MainDongleWidget::onRcvMsg);
    connect(link(), &CMsg::sig_rcvDongleLog, this, &MainDongleWidget::onRcvDongleLog);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &MainDongleWidget::onTabWidgetCurrentChanged);

    registerHandlers();

    m_reconnect = new FirmwareReconnect(link(), logManager(), this);
    connect(m_reconnect->timer(), &QTimer::timeout, this, &MainDongleWidget::on_reConnect);
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
    // What the tab started on the dongle is stopped while its link lives: closePort waits for the stop frames.
    const bool testPages = m_tabs.first(PageKind::LcpTest) || m_tabs.first(PageKind::IdtTest);
    if (stopActivity() || testPages)
        closePort();
    // Pages first: they use the link, the settings and the log manager.
    // Deleting a page moves the current tab; nothing may be built now.
    ui->tabWidget->disconnect(this);
    m_tabs.deleteAll();
    delete m_connectionWidget.data();
    delete m_advertisingPage.data();
    delete m_psmDialog.data();
    delete m_calibrationDialog.data();
    delete m_downloader;
    delete m_selectDialog;
    delete m_toolLog;
    delete m_dongleLog;
    delete ui;
}

void MainDongleWidget::registerHandlers()
{
    m_dispatcher = UplinkDispatcher<MainDongleWidget>(this, logManager(), {
        {"CC@00@02", &MainDongleWidget::resetEventProc},
        {"DD@00@03", &MainDongleWidget::deviceTypeGetProc},
        {"DD@01@48", &MainDongleWidget::bdAddressGetProc},
        {"DD@01@5C", &MainDongleWidget::deviceNameGetProc},
        {"DD@01@60", &MainDongleWidget::appearanceGetProc},
        {"DD@01@64", &MainDongleWidget::ppcpGetProc},
        {"DD@01@6A", &MainDongleWidget::channelMapSetProc},
        {"DD@05@02", &MainDongleWidget::profileGetProc},
        {"DD@05@04", &MainDongleWidget::profileSetProc},
        {"DD@06@10", &MainDongleWidget::cisRequestProc},
        {"DD@06@03", &MainDongleWidget::acceptCisProc},
    });
}

bool MainDongleWidget::parse(const QByteArray &frame, PageWire::Fields *fields) const
{
    return m_wire.check(frame, __LINE__, QString(), fields, PageWire::Form().noStatus()) == PageWire::Succeeded;
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
    context.link = link();
    context.logger = logManager();
    context.settings = settingsMap();
    context.dongleName = &m_name;
    context.parent = this;
    return context;
}

QString MainDongleWidget::portName() const
{
    return m_core.link()->getPortName();
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
    logManager()->log(text, level);
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
    m_connectionWidget = new CConnectionWidget(link(), logManager(), settingsMap(), m_name, ui->tabMaster);
    // The advertising page is built when its tab is first shown (start-up
    // shows the scanning page only).
    m_psmDialog = PageRegistry::create<PageKind::PsmDialog>(pageContext());
    m_toolLog = new CLogWidget(link(), logManager(), 0, ui->tab_toolLog);

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
    connect(link(), &CMsg::sig_rcvCommonMsg, m_connectionWidget, &CConnectionWidget::onRcvMsg);
    connect(link(), &CMsg::sig_rcvGapMsg, m_connectionWidget, &CConnectionWidget::onRcvMsg);
    // Connected here, whenever the page is built, so it keeps its place
    // among the receivers of the link.
    connect(link(), &CMsg::sig_rcvGapMsg, this, [this](const QByteArray &frame) {
        if (m_advertisingPage)
            m_advertisingPage->onRcvMsg(frame);
    });

    m_toolLog->setTitle(QStringLiteral("Tool Log"));
    logManager()->addLogger(new TextBrowserLogger(QStringLiteral("main_logger"), m_toolLog->getTextBrowser()));
    logManager()->selectLogger(QStringLiteral("main_logger"));
    // The dongle log's pane is made when its tab is first shown; its logger
    // keeps what the pane would have shown until then.
    QPointer<TextBrowserLogger> dongleLogger = new TextBrowserLogger(
        QStringLiteral("dongle_text_browser_logger"), nullptr, QStringLiteral("dongle_log.txt"));
    logManager()->addDongleLogger(dongleLogger);
    LazyPane::attach(ui->tab_dongleLog, [this, dongleLogger](QWidget *pane) {
        m_dongleLog = new CLogWidget(link(), logManager(), 1, pane);
        m_dongleLog->setTitle(QStringLiteral("Dongle Log"));
        ui->verticalLayout_3->addWidget(m_dongleLog);
        if (dongleLogger)
            dongleLogger->attachBrowser(m_dongleLog->getTextBrowser());
    });

    ui->verticalLayout->addWidget(m_toolLog);
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
        heartBeat()->start();
        m_wire.send(QString::fromLatin1(CMD_RESET));
        return;
    }
    heartBeat()->stop();
    for (DynamicPage *page : m_tabs.pages()) {
        if (!page->closesOnReset())
            page->resetPage(false);
    }
}

void MainDongleWidget::on_toolButton_selectDongle_clicked()
{
    if (m_operational)
        ensureSelectDialog()->exec();
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
    if (m_tabs.first(PageKind::LcpTest))
        onCloseLCP();
    if (m_tabs.first(PageKind::IdtTest))
        onCloseIDT();
}

bool MainDongleWidget::stopActivity()
{
    const quint64 before = link()->lastQueuedFrame();
    // Through a closed port nothing can be asked of the dongle.
    if (link()->isOpen()) {
        if (m_connectionWidget)
            m_connectionWidget->stopScanAndSyncs();
        if (m_advertisingPage)
            m_advertisingPage->stopStartedSets();
    }
    closeTestPages();
    const int queued = int(link()->lastQueuedFrame() - before);
    m_stopFrames += queued;
    return queued > 0;
}

void MainDongleWidget::closePort()
{
    m_core.closePort(CloseWaitTicks + m_stopFrames);
    m_stopFrames = 0;
}

void MainDongleWidget::on_toolButton_reset_clicked()
{
    m_wire.send(QString::fromLatin1(CMD_RESET));
}

void MainDongleWidget::on_toolButton_configureSettings_clicked()
{
    if (!m_operational)
        return;
    CSettingDialog dialog(logManager(), settingsMap(), this, parentWidget());
    dialog.setBusyQuery([this] { return isBusy(); });
    connect(&dialog, &CSettingDialog::staticSettingsUpdated, this, &MainDongleWidget::on_staticConfigSet);
    connect(&dialog, &CSettingDialog::dynamicSettingsUpdated, this, &MainDongleWidget::on_DynamicConfigApply);
    if (m_connectionWidget)
        connect(&dialog, &CSettingDialog::sig_openAutomaticConnect, m_connectionWidget.data(),
                &CConnectionWidget::on_openAutoConnect);
    connect(&dialog, &CSettingDialog::sig_isPairEnable, this, &MainDongleWidget::on_isPairEnable);
    if (dialog.loadSettingFile(settingsDescription())) {
        dialog.loadSettingsMap();
        const QMap<QString, QVariant> before = *settingsMap();
        QPointer<MainDongleWidget> self(this);
        dialog.exec();
        if (self && *settingsMap() != before)
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
    const QByteArray text = PageWire::payload(frame);
    if (!text.isEmpty())
        logManager()->dongleLog(QString::fromUtf8(text));
}

void MainDongleWidget::resetEventProc(const QByteArray &frame)
{
    // The reset's result comes as this event: logged whatever it says.
    m_wire.acknowledgeLast(frame, QString::fromLatin1(CMD_RESET), PageWire::Form().completeResult());
    const std::optional<uchar> status = PageWire::firstPayloadByte(frame);
    if (!status) {
        m_wire.internalError(__LINE__, QStringLiteral("MainDongleWidget::resetEventProc"));
        return;
    }
    if (*status != 0)
        return;

    // The dongle forgot its connections and groups: their pages go; pages
    // that survive a reset go back to their start.
    for (DynamicPage *page : m_tabs.pages()) {
        if (page->closesOnReset())
            closePage(page);
        else
            page->resetPage(true);
    }
    ui->tabWidget->setCurrentIndex(0);
    // Requests the dongle made before it reset can no longer be answered.
    const int dropped = m_cisRequests.clear();
    if (dropped > 0)
        logLine(QStringLiteral("The dongle has reset: %1 waiting CIS request(s) dropped.").arg(dropped),
                LogLevel::Info);
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
        heartBeat()->start();
    queryDeviceInfo();
}

void MainDongleWidget::queryDeviceInfo()
{
    m_configuration.sendQueries();
}

void MainDongleWidget::deviceTypeGetProc(const QByteArray &frame)
{
    m_configuration.deviceTypeAnswer(frame);
}

void MainDongleWidget::bdAddressGetProc(const QByteArray &frame)
{
    m_configuration.addressAnswer(frame);
}

void MainDongleWidget::deviceNameGetProc(const QByteArray &frame)
{
    m_configuration.deviceNameAnswer(frame);
}

void MainDongleWidget::appearanceGetProc(const QByteArray &frame)
{
    m_configuration.appearanceAnswer(frame);
}

void MainDongleWidget::ppcpGetProc(const QByteArray &frame)
{
    m_configuration.preferredParametersAnswer(frame);
}

void MainDongleWidget::profileGetProc(const QByteArray &frame)
{
    m_configuration.profileAnswer(frame);
}

void MainDongleWidget::cisRequestProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!parse(frame, &fields))
        return;
    const QByteArray handle = fields.value(QStringLiteral("cis_connection_handle"));
    // Each stream is asked in turn; a central may set up several of one CIG at once.
    if (!m_cisRequests.admit(QString::fromLatin1(handle.toHex()), fields, link(), logManager(), [&] {
            m_wire.send(QString::fromLatin1(CMD_REJECT_CIS_ESTABLISHED),
                        {{QStringLiteral("cis_connect_handle"), handle}});
        }))
        return;
    // Frames keep coming while the user decides; this tab may go meanwhile.
    const QPointer<MainDongleWidget> alive(this);
    QString key;
    while (m_cisRequests.next(&key, &fields)) {
        askCisRequest(fields);
        if (!alive)
            return;
    }
}

void MainDongleWidget::askCisRequest(const QMap<QString, QByteArray> &fields)
{
    const quint64 handle = CUtil::littleEndian(fields.value(QStringLiteral("cis_connection_handle")));
    m_pendingCisHandles.insert(handle);
    CisPageArgs args;
    args.fields = fields;
    QDialog *dialog = PageRegistry::create<PageKind::CisRequestDialog>(pageContext(), args);
    if (!dialog)
        return;
    m_cisRequests.asking(dialog);
    m_cisRequestDialogs.removeAll(QPointer<QDialog>());
    m_cisRequestDialogs.append(dialog);
    const QPointer<MainDongleWidget> alive(this);
    const int answer = dialog->exec();
    if (alive && answer != QDialog::Accepted)
        m_pendingCisHandles.remove(handle);
}

void MainDongleWidget::acceptCisProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!m_wire.parse(frame, &fields))
        return;
    // The same ID also answers the central side's "Create CIS".
    const quint64 handle = CUtil::littleEndian(fields.value(QStringLiteral("cis_connection_handle")));
    if (!m_pendingCisHandles.contains(handle))
        return;
    m_wire.logMessage(frame, fields);
    m_pendingCisHandles.remove(handle);
    if (m_wire.checkStatus(frame, fields, QStringLiteral("status"), __LINE__,
                           QStringLiteral("MainDongleWidget::acceptCisProc"), PageWire::Form().completeResult())
        == PageWire::Succeeded)
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
    openPage(PageKind::CisPeripheral, page);
    return page;
}

void MainDongleWidget::on_slaveCISDisconnect(uint64_t handle)
{
    for (DynamicPage *each : m_tabs.pages()) {
        auto *page = qobject_cast<CisPeripheralPage *>(each);
        if (!page || page->cisHandle() != handle)
            continue;
        disconnect(page, &CisPeripheralPage::disConnectSlaveCIS, this, &MainDongleWidget::on_slaveCISDisconnect);
        // Called from the page's own handler: the page is deleted later.
        closePage(page);
        const int slave = m_tabs.slaveIndex();
        if (slave >= 0)
            ui->tabWidget->setCurrentIndex(slave);
        return;
    }
}

void MainDongleWidget::on_cigcisSuccess(CigCisPage *page)
{
    if (page)
        openPage(PageKind::CigCisCentral, page);
}

void MainDongleWidget::on_toCIGCISWidget()
{
    if (DynamicPage *page = m_tabs.first(PageKind::CigCisCentral))
        ui->tabWidget->setCurrentWidget(page);
}

void MainDongleWidget::onCloseTabButtonClicked()
{
    DynamicPage *page = m_tabs.pageWithCloseButton(sender());
    const HostedKind *row = m_tabs.hostedOf(page);
    if (!row) {
        logLine(QStringLiteral("Close tab failed."), LogLevel::Error);
        return;
    }
    if (row->askClose()) {
        row->askClose()(page);
        return;
    }
    if (!row->refusal().isEmpty() && !page->canClose()) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), row->refusal());
        return;
    }
    closePage(page);
}

void MainDongleWidget::channelMapSetProc(const QByteArray &frame)
{
    m_wire.check(frame, __LINE__, QStringLiteral("MainDongleWidget::channelMapSetProc"));
}

void MainDongleWidget::profileSetProc(const QByteArray &frame)
{
    m_wire.check(frame, __LINE__, QStringLiteral("MainDongleWidget::profileSetProc"));
}

void MainDongleWidget::on_staticConfigSet()
{
    m_configuration.sendStaticConfiguration();
}

void MainDongleWidget::on_DynamicConfigApply()
{
    m_configuration.sendDynamicConfiguration();
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

QToolButton *MainDongleWidget::createCloseButton(const QString &toolTip)
{
    auto *button = new QToolButton;
    button->setIcon(QIcon(QStringLiteral(":/icons/Close.png")));
    button->setToolTip(toolTip);
    button->setStyleSheet(QStringLiteral("QToolButton{background-color:none;border: none;}"
                                         "QToolButton:hover{background-color:#ceebff; border: none;}"));
    return button;
}

QToolButton *MainDongleWidget::openPage(PageKind kind, DynamicPage *page, const QString &title, bool central)
{
    const HostedKind *row = PageTabs::hosted(kind);
    if (!row) {
        // Only a kind whose layer is missing has no row, and then no maker either.
        Q_ASSERT(!page);
        return nullptr;
    }
    const int index = m_tabs.insert(page, *row, title.isNull() ? row->title() : title, central);
    if (index < 0) {
        logLine(row->failure(), LogLevel::Error);
        return nullptr;
    }
    QToolButton *button = createCloseButton(row->closeTip());
    ui->tabWidget->tabBar()->setTabButton(index, QTabBar::RightSide, button);
    connect(button, &QToolButton::clicked, this, &MainDongleWidget::onCloseTabButtonClicked);
    connect(page, &DynamicPage::sig_showDongleTab, this, &MainDongleWidget::showThisDongleTab);
    if (row->frames()) {
        if (auto *test = qobject_cast<TestModePage *>(page))
            connect(link(), row->frames(), test, &TestModePage::onRcvMsg);
    }
    return button;
}

void MainDongleWidget::closePage(DynamicPage *page)
{
    const HostedKind *row = m_tabs.hostedOf(page);
    if (row && row->closing())
        row->closing()(page);
    // The scanning page opens a second central CIG page only once this one is gone.
    if (qobject_cast<CigCisPage *>(page) && m_connectionWidget)
        m_connectionWidget->setCigCisOpened(false);
    // The scanning page is shown, not the test tab's neighbour.
    if (qobject_cast<TestModePage *>(page))
        ui->tabWidget->setCurrentIndex(0);
    if (row && row->frames())
        QObject::disconnect(link(), row->frames(), page, nullptr);
    m_tabs.remove(page);
}

void MainDongleWidget::on_connectSuccess(uint8_t role, QString addr, ConnectionPage *page)
{
    if (!page)
        return;
    const QString title = PageTabs::hosted(PageKind::Connection)->title() + addr;
    if (!openPage(PageKind::Connection, page, title, role == 0))
        return;
    connect(this, &MainDongleWidget::sig_pairEnable, page, &ConnectionPage::on_pairEnable);
}

void MainDongleWidget::on_disConnectRequest(uint8_t condix)
{
    for (DynamicPage *each : m_tabs.pages()) {
        auto *page = qobject_cast<ConnectionPage *>(each);
        if (!page || page->condix() != condix)
            continue;
        const uint8_t role = page->role();
        closePage(page);
        logLine(QStringLiteral("delete widget"), LogLevel::Debug);
        if (role == 0)
            ui->tabWidget->setCurrentIndex(0);
        else
            ui->tabWidget->setCurrentIndex(qMax(0, m_tabs.slaveIndex()));
        return;
    }
}

void MainDongleWidget::on_masterBIGSucceed(uint16_t syncValue)
{
    if (BigReceiverPage *page = m_tabs.first<PageKind::BigReceiver>()) {
        page->setSyncValue(syncValue);
        ui->tabWidget->setCurrentWidget(page);
        return;
    }
    BigReceiverArgs args;
    args.syncValue = syncValue;
    BigReceiverPage *page = PageRegistry::create<PageKind::BigReceiver>(pageContext(), args);
    if (page)
        page->setSyncValue(syncValue);
    openPage(PageKind::BigReceiver, page);
}

void MainDongleWidget::on_slaveBIGSucceed(uint8_t advIndex)
{
    const QString text = QString::number(advIndex);
    if (BigBroadcasterPage *page = m_tabs.first<PageKind::BigBroadcaster>()) {
        page->setAdvertisingSetText(text);
        ui->tabWidget->setCurrentWidget(page);
        return;
    }
    BigBroadcasterArgs args;
    args.advIndex = advIndex;
    BigBroadcasterPage *page = PageRegistry::create<PageKind::BigBroadcaster>(pageContext(), args);
    if (page)
        page->setAdvertisingSetText(text);
    openPage(PageKind::BigBroadcaster, page);
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
    m_core.readSettingsGroup(settings, group);
}

// --- toolbar, firmware download and test pages ---

void MainDongleWidget::setReconnectInterval(int ms)
{
    if (m_reconnect)
        m_reconnect->timer()->setInterval(ms);
}

CSelectDongleDialog *MainDongleWidget::ensureSelectDialog()
{
    if (!m_selectDialog) {
        m_selectDialog = new CSelectDongleDialog(link(), logManager(), this);
        connect(m_selectDialog, &CSelectDongleDialog::sig_connectionStatusChanged, this,
                &MainDongleWidget::onConnectionStatusChanged);
    }
    return m_selectDialog;
}

void MainDongleWidget::on_toolButton_getInfo_clicked()
{
    GetInfoDlg dialog(link(), logManager(), this);
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
    ResolveAddressDialog dialog(link(), logManager(), this);
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
    if (deviceType() != 0 && deviceType() != 1) {
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
    heartBeat()->stop();
    m_downloader->setChipType(deviceType());
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
    m_reconnect->start(m_selectDialog);
}

void MainDongleWidget::on_reConnect()
{
    const FirmwareReconnect::Step step = m_reconnect->step(ensureSelectDialog());
    if (step != FirmwareReconnect::Step::Waiting)
        finishReconnect(step == FirmwareReconnect::Step::Reopened);
}

void MainDongleWidget::finishReconnect(bool reopened)
{
    m_reconnect->stop();
    m_downloading = false;
    m_downloadProgress->hide();
    if (reopened) {
        heartBeat()->start();
        setDownloadWidgetsEnabled(true);
        setToolBarEnabled(true);
        return;
    }
    logLine(QStringLiteral("The dongle did not come back on %1 after the download; open its port with \"Select BLE "
                           "Dongle Target\".")
                .arg(m_reconnect->candidates(m_selectDialog).join(QStringLiteral(", "))),
            LogLevel::Error);
    setToolBarEnabled(false);
    ui->toolButton_selectDongle->setEnabled(true);
}

void MainDongleWidget::on_downLoad_failed()
{
    m_downloading = false;
    m_downloadProgress->hide();
    CSelectDongleDialog *dialog = ensureSelectDialog();
    dialog->disconnectPort(link()->getPortName());
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

template <PageKind Kind>
void MainDongleWidget::openTestPage(void (MainDongleWidget::*announce)(QString, TestModePage *))
{
    if (m_tabs.first(Kind))
        return;
    TestModePage *page = PageRegistry::create<Kind>(pageContext());
    const HostedKind *row = PageTabs::hosted(Kind);
    Q_ASSERT(row || !page);
    if (page && row)
        emit(this->*announce)(QString::asprintf("%-10s", qPrintable(row->title())), page);
}

void MainDongleWidget::on_toolButton_lcp_clicked()
{
    openTestPage<PageKind::LcpTest>(&MainDongleWidget::sig_OpenLCP);
}

void MainDongleWidget::on_toolButton_idt_clicked()
{
    openTestPage<PageKind::IdtTest>(&MainDongleWidget::sig_OpenIDT);
}

void MainDongleWidget::onOpenLCP(QString title, TestModePage *page)
{
    openPage(PageKind::LcpTest, page, title);
}

void MainDongleWidget::onOpenIDT(QString title, TestModePage *page)
{
    openPage(PageKind::IdtTest, page, title);
}

void MainDongleWidget::closeTestPage(PageKind kind)
{
    if (DynamicPage *page = m_tabs.first(kind))
        closePage(page);
    ui->tabWidget->setCurrentIndex(0);
}

void MainDongleWidget::onCloseLCP()
{
    closeTestPage(PageKind::LcpTest);
}

void MainDongleWidget::onCloseIDT()
{
    closeTestPage(PageKind::IdtTest);
}
