#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <cstdint>

#include "deviceconfiguration.h"
#include "donglecore.h"
#include "firmwarereconnect.h"
#include "pagetabs.h"
#include "pagewire.h"
#include "requestqueue.h"
#include "uplinkdispatcher.h"

class AdvertisingPage;
class CigCisPage;
class CisPeripheralPage;
class CConnectionWidget;
class CHeartBeat;
class CLogWidget;
class CMsg;
class ConnectionPage;
class CSelectDongleDialog;
class DynamicPage;
class FirmwareLoader;
class LogManager;
struct PageContext;
class PsmDialog;
class QDialog;
class QProgressBar;
class QSettings;
class QTabWidget;
class QTimer;
class QToolButton;
class TestModePage;

namespace Ui {
class MainDongleWidget;
}

// The page of one dongle tab: owns the dongle's log manager, link, heartbeat,
// settings values and pages, routes the dongle-wide uplinks to its handlers,
// runs the reset handshake and sends the configuration.
class MainDongleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MainDongleWidget(const QString &name, QWidget *parent = nullptr);
    ~MainDongleWidget() override;

    QString dongleName() const { return m_name; }
    QString getDongleName() const { return m_name; }
    QString portName() const;
    QMap<QString, QVariant> *settingsMap() { return m_core.settings(); }
    bool isInitialized() const { return m_initialized; }
    bool isConnected() const { return m_connected; }
    // False when the settings description could not be loaded: the tab then
    // routes nothing and keeps its toolbar disabled.
    bool isOperational() const { return m_operational; }
    bool isBusy() const;
    // Device type answered to "Device Type Get"; -1 until known.
    int deviceType() const { return m_configuration.deviceType(); }

    CMsg *link() { return m_core.link(); }
    LogManager *logManager() { return m_core.logManager(); }
    CHeartBeat *heartBeat() { return m_core.heartBeat(); }
    CConnectionWidget *connectionWidget() const;
    // Built on first use when its tab was never shown.
    AdvertisingPage *advertisingPage();
    QTabWidget *pageTabWidget() const;
    CSelectDongleDialog *selectDialog() const { return m_selectDialog; }

    // Creates the fixed pages and the log panes, once.
    void initWidgets();

    // Reads one stored group of config.ini into the settings values; a point
    // is how an unsigned integer is stored and comes back as its x.
    void readSettingsGroup(QSettings &settings, const QString &group);

    void serialPortArrived(const QString &port);
    void serialPortRemoved(const QString &port);
    // Stops the running test modes and removes their pages; their stop
    // commands are queued on the link.
    void closeTestPages();
    // Before the tab goes: asks the dongle to stop what this tab started
    // there (scan, periodic syncs, advertising sets) and closes the test
    // pages (closeTestPages). The commands are queued on the link for
    // closePort to send; true when any was queued.
    bool stopActivity();
    // Waits up to CloseWaitTicks send ticks, and one more for each command
    // stopActivity queued, for queued frames to leave; then closes.
    void closePort();
    static constexpr int CloseWaitTicks = 8;

    // The seven queries that follow a successful reset.
    void queryDeviceInfo();

    // Where the settings description is read from; tests point it at a file
    // that cannot be loaded to see an inactive tab.
    static QString settingsDescriptionPath();
    static void setSettingsDescriptionPath(const QString &path);

    // Opens the tab of a CIS this dongle accepted as peripheral; the fields
    // are those of the result that established it.
    CisPeripheralPage *openSlaveCisPage(const QMap<QString, QByteArray> &fields);

    // Toolbar, firmware download and test pages.
    static constexpr int ReconnectIntervalMs = FirmwareReconnect::IntervalMs;
    static constexpr int ReconnectAttempts = FirmwareReconnect::Attempts;
    void setReconnectInterval(int ms);
    FirmwareLoader *firmwareLoader() const { return m_downloader; }
    bool isDownloading() const { return m_downloading; }
    // The downloader's two outward signals (plain members: their names would
    // look like automatic connections to the form).
    void on_downLoad_finished();
    void on_downLoad_failed();

signals:
    void sig_OpenLCP(QString title, TestModePage *page);
    void sig_OpenIDT(QString title, TestModePage *page);
    void sig_SerialPortArrived(QString port);
    void sig_SerialPortRemoved(QString port);
    void sig_pairEnable(bool enabled);
    void showThisDongleTab(QString dongleName);
    void updateDongleName(MainDongleWidget *widget, QString name);
    // The settings screen changed this dongle's settings values.
    void sig_settingsChanged();

public slots:
    void on_toolButton_selectDongle_clicked();
    void on_configDongleName(QString name);
    void onTabWidgetCurrentChanged(int index);
    void onConnectionStatusChanged(bool connected);
    void on_toolButton_configureSettings_clicked();
    void on_toolButton_registerPSM_clicked();
    void on_toolButton_about_clicked();
    void on_toolButton_reset_clicked();
    void on_connectSuccess(uint8_t role, QString addr, ConnectionPage *page);
    void on_disConnectRequest(uint8_t condix);
    void on_masterBIGSucceed(uint16_t syncValue);
    void on_slaveBIGSucceed(uint8_t advIndex);
    void on_staticConfigSet();
    void on_DynamicConfigApply();
    void onRcvMsg(QByteArray frame);
    void onRcvDongleLog(QByteArray frame);
    void on_isPairEnable(bool enabled);
    void on_deviceDead();
    void on_cigcisSuccess(CigCisPage *page);
    void on_toCIGCISWidget();
    void on_slaveCISDisconnect(uint64_t handle);
    void onCloseTabButtonClicked();

    void on_toolButton_getInfo_clicked();
    void on_toolButton_RfCalibraion_clicked();
    void on_toolButton_address_clicked();
    void on_toolButton_download_clicked();
    void on_toolButton_lcp_clicked();
    void on_toolButton_idt_clicked();
    void onOpenLCP(QString title, TestModePage *page);
    void onOpenIDT(QString title, TestModePage *page);
    void onCloseLCP();
    void onCloseIDT();
    void on_reConnect();
    void onDownloadProgress(int stage, quint32 sent, quint32 total);

private:
    void registerHandlers();
    // Parses and logs an answer that carries no status; false when the
    // catalogue rejected it.
    bool parse(const QByteArray &frame, PageWire::Fields *fields) const;
    PageContext pageContext();
    void logLine(const QString &text, int level);
    void setToolBarEnabled(bool enabled);
    QToolButton *createCloseButton(const QString &toolTip);
    // Puts a page in its tab by its kind's row (title: the row's unless
    // given), makes it current and gives it its close button; logs the
    // row's failure when it cannot.
    QToolButton *openPage(PageKind kind, DynamicPage *page, const QString &title = QString(), bool central = true);
    // Runs the kind's closing step and the tab's own (the scanning page's
    // CIG mark, the current tab), takes the tab out and deletes the page
    // once its own code has returned; its open dialogs are closed first.
    void closePage(DynamicPage *page);
    void buildAdvertisingPage();
    CSelectDongleDialog *ensureSelectDialog();
    void setDownloadWidgetsEnabled(bool enabled);
    void finishReconnect(bool reopened);
    template <PageKind Kind>
    void openTestPage(void (MainDongleWidget::*announce)(QString, TestModePage *));
    void closeTestPage(PageKind kind);

    void resetEventProc(const QByteArray &frame);
    void deviceTypeGetProc(const QByteArray &frame);
    void bdAddressGetProc(const QByteArray &frame);
    void deviceNameGetProc(const QByteArray &frame);
    void appearanceGetProc(const QByteArray &frame);
    void ppcpGetProc(const QByteArray &frame);
    void profileGetProc(const QByteArray &frame);
    void channelMapSetProc(const QByteArray &frame);
    void profileSetProc(const QByteArray &frame);
    void cisRequestProc(const QByteArray &frame);
    void askCisRequest(const QMap<QString, QByteArray> &fields);
    void acceptCisProc(const QByteArray &frame);

    // First, so that it goes last: pages and panes use its link and logs.
    DongleCore m_core;
    Ui::MainDongleWidget *ui;
    UplinkDispatcher<MainDongleWidget> m_dispatcher;
    PageWire m_wire;
    DeviceConfiguration m_configuration;
    CSelectDongleDialog *m_selectDialog = nullptr;
    QPointer<CConnectionWidget> m_connectionWidget;
    QPointer<AdvertisingPage> m_advertisingPage;
    QPointer<PsmDialog> m_psmDialog;
    PageTabs m_tabs;
    CLogWidget *m_toolLog = nullptr;
    CLogWidget *m_dongleLog = nullptr;
    QString m_name;
    bool m_connected = false;
    bool m_initialized = false;
    bool m_operational = false;
    bool m_downloading = false;
    // Stop commands stopActivity queued that closePort still waits for.
    int m_stopFrames = 0;
    // CIS handles a peer asked for and that have no page yet: only their
    // results open a peripheral page, once each.
    QSet<quint64> m_pendingCisHandles;
    QList<QPointer<QDialog>> m_cisRequestDialogs;
    // Requests of other streams that came while one was asked.
    RequestQueue<QMap<QString, QByteArray>> m_cisRequests{QStringLiteral("CIS request")};

    // Toolbar, firmware download and test pages.
    FirmwareLoader *m_downloader = nullptr;
    QPointer<QDialog> m_calibrationDialog;
    FirmwareReconnect *m_reconnect = nullptr;
    QProgressBar *m_downloadProgress = nullptr;
};
