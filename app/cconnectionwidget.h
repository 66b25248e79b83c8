#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QModelIndex>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>
#include <cstdint>

#include "controllerlists.h"
#include "devicelistmodel.h"
#include "devicerpalistmodel.h"
#include "discoverytable.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

class CMsg;
class LogManager;
class ConnectionPage;
class CigCisPage;
struct PageContext;
class DevicesTableModel;
class DevicePeriodicListModel;
class LazyPane;
class SearchBox;
class QLabel;
class QPlainTextEdit;
class QTextBrowser;
class QTreeWidget;
struct ScanPageForm;

// One periodic advertising train the page is synchronised to (or asking for).
struct PeriodicSyncEntry
{
    quint16 syncHandle = 0;
    QPlainTextEdit *textArea = nullptr;
};

// The scanning and connecting page of one dongle: discovery table, the
// controller's device lists and the received periodic advertising data.
class CConnectionWidget : public QWidget
{
    Q_OBJECT

public:
    CConnectionWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                      const QString &dongleName, QWidget *parent = nullptr);
    ~CConnectionWidget() override;

    void reset();
    // Asks the dongle to stop what this page started there: the scan (also
    // one asked for and not yet confirmed) and every periodic sync, made or
    // still being made. The commands are queued on the link; the page
    // itself is left as it is, for it is about to go.
    void stopScanAndSyncs();

    bool isAutoConnecting() const;
    bool hasConnection() const;
    bool isScanning() const;
    bool isSyncing() const;
    // A connection attempt is pending, automatic or to a row of the table.
    bool isConnecting() const;

    // The owner clears this when it closes the central CIG/CIS page.
    void setCigCisOpened(bool opened);
    bool isCigCisOpened() const;

    void refreshSettings();
    void applyWhiteListLayout();
    void showWhiteListView();
    void showAdvRawData(const QByteArray &advData, const QByteArray &scanRspData);
    void decodeAdvData(QTreeWidget *tree, const QByteArray &data);

    // Read-only views for the owner and for tests.
    const QVector<DeviceRecord> &devices() const { return m_discovery.rows(); }
    DevicesTableModel *devicesModel() const { return m_discovery.model(); }
    DeviceListModel *whiteListModel() const { return m_lists.whiteList(); }
    DeviceListModel *bondListModel() const { return m_lists.bondList(); }
    DevicePeriodicListModel *periodicListModel() const { return m_lists.periodicList(); }
    DeviceRpaListModel *rpaListModel() const { return m_lists.resolvingList(); }
    SearchBox *searchBox() const { return m_searchBox; }
    QList<uchar> periodicSyncIndexes() const { return m_periodicSyncs.keys(); }
    QPlainTextEdit *periodicTextArea(uchar syncIndex) const;
    quint16 periodicSyncHandle(uchar syncIndex) const;
    const QVector<uchar> &masterCondixList() const { return m_masterCondixList; }
    QSet<uchar> openCondixSet() const { return m_openCondix; }

signals:
    void connectSuccess(uint8_t role, QString addr, ConnectionPage *dialog);
    void disConnectRequest(uint8_t condix);
    void cigcisSuccess(CigCisPage *dailog);
    void sig_masterCondixChanged();
    void masterBIGSucceed(uint16_t syncValue);
    void toCIGCISWidget();

public slots:
    void on_buttonScan_clicked();
    void on_buttonConnect_clicked();
    void on_buttonSync_clicked();
    void on_buttonAddToWhiteList_clicked();
    void on_buttonAutoConnect_clicked();
    void on_buttonCIGCIS_clicked();
    void on_buttonMasterBIG_clicked();
    void on_buttonSearch_clicked();
    void on_deviceListType_currentIndexChanged(int index);
    void on_deviceListAdd_clicked();
    void on_deviceListDelete_clicked();
    void on_deviceListClear_clicked();
    void on_deviceListRefresh_clicked();
    void on_devicePrivacyModeUpdate_clicked();
    void onTableView_devicesClicked(const QModelIndex &index);
    void onRcvMsg(QByteArray rcvMsg);
    void on_openAutoConnect(bool autoConnect);
    void on_masterCondixChanged();
    void onPeriodicAdvDataClear();
    void onPeriodicAdvDataSave();
    void on_searchPrevious(SearchBox *sb);
    void on_searchNext(SearchBox *sb);

public:
    // Not slots: the form would look for their widgets by name, and the
    // panes holding them are built after it.
    void on_comboBox_peerAddr_currentIndexChanged(int index);
    void on_m_tbStopSync_clicked();

private:
    void startScanResultProc(const QByteArray &frame);
    void startScanProc(const QByteArray &frame);
    void stopScanProc(const QByteArray &frame);
    void disconnectProc(const QByteArray &frame);
    void operateWhitelistProc(const QByteArray &frame);
    void getWhitelistProc(const QByteArray &frame);
    void clearWhitelistProc(const QByteArray &frame);
    void getBondlistProc(const QByteArray &frame);
    void clearBondlistProc(const QByteArray &frame);
    void OperateBondlistProc(const QByteArray &frame);
    void getPeriodicAdvlistProc(const QByteArray &frame);
    void clearPeriodicAdvlistProc(const QByteArray &frame);
    void getRpalistProc(const QByteArray &frame);
    void updatePrivacyModeProc(const QByteArray &frame);
    void createSyncStartSDKProc(const QByteArray &frame);
    void createSyncStartProc(const QByteArray &frame);
    void createSyncStopProc(const QByteArray &frame);
    void syncPassiveStopProc(const QByteArray &frame);
    void connectStatusProc(const QByteArray &frame);
    void connectProc(const QByteArray &frame);
    void autoConnectTimeoutProc(const QByteArray &frame);
    void cancelConnectProc(const QByteArray &frame);

    // Shared steps of the handlers.
    using Acknowledged = void (CConnectionWidget::*)(const QByteArray &frame);
    // The command's acknowledgement goes to `acknowledged`, or is only logged.
    bool sendCommand(const QString &name, QMap<QString, QVariant> *values, QMap<QString, QVariant> *overrides,
                     Acknowledged acknowledged = nullptr);
    PageContext pageContext();
    void connectStateReset();
    void resetAutoConnectButton();
    int currentDeviceRow() const;
    QPlainTextEdit *createPeriodicTextArea();
    void buildDevicePanes();
    void removePeriodicSync(uchar syncIndex);
    // Sends a change of one device of a list; its answer reads the list back.
    void sendListChange(ControllerLists::Change change, const QString &command, const QMap<QString, QVariant> &values);
    void listChangeAnswered(ControllerLists::Change change, const QByteArray &frame);
    static const char *getListCommand(ControllerLists::List list);
    void addDevice(const DeviceRecord &record);
    void takeListResult(const QByteArray &frame, const QString &failureText, ControllerLists::List list);
    void search(SearchBox *sb, bool forward);
    void buildAdvertisingPane(QWidget *pane);
    void buildScanResponsePane(QWidget *pane);
    void fillAdvertisingPane();
    void fillScanResponsePane();
    void fillDataPane(const QByteArray &data, QLabel *label, QTextBrowser *raw, QTreeWidget *tree, bool decoded);

    QSet<uchar> m_openCondix;
    bool m_isScanning = false;
    // "Start Scan" sent, its result not yet come.
    bool m_scanStartPending = false;
    QMap<QString, QByteArray> m_connectingDevice;
    int m_periodicSyncType = 0;
    ScanPageForm *ui = nullptr;
    DiscoveryTable m_discovery;
    ControllerLists m_lists;
    QMap<QString, QVariant> m_settings;
    QMap<uchar, QString> m_adTypeNames;
    bool m_autoConnect = false;
    QByteArray m_autoCondix;
    QVector<uchar> m_masterCondixList;
    bool m_cigCisOpened = false;
    CMsg *m_link = nullptr;
    LogManager *m_logger = nullptr;
    QMap<QString, QVariant> *m_dongleSettings = nullptr;
    const QString *m_dongleName = nullptr;
    QMap<uchar, PeriodicSyncEntry> m_periodicSyncs;
    uchar m_pendingSyncIndex = 0;
    SearchBox *m_searchBox = nullptr;
    // The advertising and scan response panes are made when first shown;
    // until then the chosen device's data waits here.
    LazyPane *m_advertisingPane = nullptr;
    LazyPane *m_scanResponsePane = nullptr;
    struct ChosenData
    {
        QByteArray advertising;
        QByteArray scanResponse;
        bool chosen = false;
        // A reset empties the decoded advertising data only.
        bool advertisingDecoded = true;
    } m_chosenData;
    PageWire m_wire;
    UplinkDispatcher<CConnectionWidget> m_dispatcher;
};
