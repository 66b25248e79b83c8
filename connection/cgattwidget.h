#pragma once

#include "attributeinfo.h"
#include "gattbatch.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QMetaEnum>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <cstdint>

class CGattCmdDlg;
class csmdilog;
class CMsg;
class ColumnFitter;
class GattTableModel;
class LogManager;
class TreeModel;

namespace Ui {
class CGattWidget;
}

// The GATT client tab of one connection: the peer's attribute table, shown
// as a service tree or a flat list, and the command console. It hears the
// GATT and security frames of its own connection and those that carry no
// connection index (acknowledgements).
class CGattWidget : public QWidget
{
    Q_OBJECT

public:
    CGattWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, const QString *dongleName,
                uint8_t condix, QWidget *parent = nullptr);
    ~CGattWidget() override;

    void setIsCurrentTab(bool current);
    bool isCurrentTab() const { return m_isCurrentTab; }
    uint8_t condix() const { return m_condix; }
    const QVector<AttributeInfo> &attributeTable() const { return m_attributeTable; }
    TreeModel *treeModel() const { return m_treeModel; }
    GattTableModel *tableModel() const { return m_tableModel; }
    // Built on first use: most pages never show their console.
    CGattCmdDlg *commandConsole();
    // The uplink IDs this page routes, for the storm test.
    QStringList routedIds() const { return m_handlerMap.ids(); }

signals:
    void sig_showDongleTab(QString dongleName);

public slots:
    void on_toolButton_expandAll_clicked();
    void on_toolButton_collapseAll_clicked();
    void on_comboBox_mode_currentIndexChanged(int index);
    void onSendDicoverCmd();
    void onRcvMsg(const QByteArray &frame);
    void on_pairEnable(bool enable);

    void on_toolButton_dicoverAllAttr_clicked();
    void on_toolButton_exchangeMTU_clicked();
    void on_toolButton_clear_clicked();
    void on_toolButton_enableNotifyAndIndicate_clicked();
    void on_toolButton_disableNotifyAndIndicate_clicked();
    void on_toolButton_readAllChar_clicked();
    void on_toolButton_export_clicked();
    void on_pb_read_clicked();
    void on_pb_write_clicked();
    void on_treeView_pressed(const QModelIndex &index);
    void on_toolButton_pair_clicked();
    void on_toolButton_getLnk_clicked();
    void on_cmsdialogPair(QString value, uint8_t response);

public:
    // Writes (or reads back) the client configuration descriptor of every
    // characteristic that notifies or indicates; 0, or -1 when the tree is
    // inconsistent.
    int on_toolButton_enableNotifications_pressed(bool enable, bool readBack);
    void showAttribute(const AttributeInfo &record);
    // Requests of the running batch that are still unanswered.
    int pendingCount() const { return m_pendingCount; }
    // How long a batch may hear nothing before it ends and gives the page back.
    static constexpr int DefaultBatchTimeoutMs = 10000;
    void setBatchTimeoutMs(int ms) { m_batch.setTimeoutMs(ms); }
    // The connection has ended: nothing more is sent for it, also by the console.
    void endConnection() { m_wire.endConnection(); }

private:
    using Batch = GattBatch::Kind;

    QMap<QString, QVariant> connectionFields() const;
    // The connection plus the handle of the attribute in the detail box;
    // false (and logged) when none is shown.
    bool shownAttributeFields(QMap<QString, QVariant> *fields);
    // Starts a batch of requests; ends it at once, with the controls back,
    // when none of them could be queued.
    void beginBatch(Batch kind);
    void endBatchIfEmpty(const QString &why);
    // Sends a request of the running batch; its acknowledgement is the page's alone.
    bool sendBatchRequest(const char *command, const QMap<QString, QVariant> &fields);
    // The acknowledgement of a request of batch `batch` (an empty frame: it
    // was lost); a refusal ends that batch if it still runs.
    void takeBatchAcknowledgement(quint64 batch, const QString &command, const QByteArray &frame);
    // The batch is over, answered or not: the controls come back.
    void finishBatch();
    void abandonBatch(const QString &why, int level);
    void onBatchWatchdogTimeout();
    void clearAttributes();
    // The notification buttons' batch: every configuration descriptor written.
    void writeConfigurations(bool enable);
    // One answer of this connection to a request of the running batch.
    bool takeBatchAnswer(Batch kind);
    // Tells the user the CSV file was not written, and why.
    void showExportFailure(const QString &path, const QString &reason);
    // The confirmation frame built by hand; true when it was queued.
    bool sendConfirmation(const QByteArray &payload);
    void sendPairConfirm(const QByteArray &payload);
    // Runs the pairing dialog; the answer, or nothing when the page or the
    // request went away meanwhile.
    bool runPairDialog(const QString &titleSuffix, const QString &caption, const QString &number, bool editable,
                       QString *value, uint8_t *response);

    // List results of the console's discoveries and of reads.
    void discoverServiceProc(const QByteArray &frame);
    void relationshipDiscoveryProc(const QByteArray &frame);
    void discoverCharacteristicProc(const QByteArray &frame);
    void descriptorDiscoveryProc(const QByteArray &frame);
    void storeListRecords(const QByteArray &frame, int kind);
    void ExchangeGATTMTUProc(const QByteArray &frame);
    void readProc(const QByteArray &frame);
    void WriteProc(const QByteArray &frame);
    void notificationProc(const QByteArray &frame);
    void startingPairProc(const QByteArray &frame);
    void securityRequestProc(const QByteArray &frame);
    void getLnkProc(const QByteArray &frame);

    void registerHandlers();
    void setBatchControlsEnabled(bool enabled);
    void setColumnWidths();
    ColumnFitter *m_columnFitter = nullptr;
    // The flat list follows every discovery result, but a burst of results
    // is shown once, after the last of the burst: rebuilding it per frame
    // costs the square of the database's size.
    void scheduleTableRebuild(bool withValueRows);
    void rebuildTable();

    // Discovery of all attributes, one event per attribute.
    void discoverAllServiceProc(const QByteArray &frame);
    void discoverAllIncludeProc(const QByteArray &frame);
    void discoverAllCharacteristicProc(const QByteArray &frame);
    void discoverAllDescriptorProc(const QByteArray &frame);
    void discoverAllEndProc(const QByteArray &frame);

    // A single-record discovery event of this connection, parsed and logged.
    bool takeDiscoveryEvent(const QByteArray &frame, const QString &function, PageWire::Fields &fields);
    // A service, include or characteristic event: the entry at the handle
    // field, its value the value fields back to back.
    void storeDiscoveredDeclaration(const QByteArray &frame, const QString &function, const QString &handleKey,
                                    quint16 type, const QStringList &valueKeys);
    bool readHandle(const QByteArray &bytes, quint16 *handle);
    void storeEntry(const AttributeInfo &entry);
    void storeCharacteristic(const AttributeInfo &declaration);

    Ui::CGattWidget *ui;
    uint8_t m_condix;
    TreeModel *m_treeModel = nullptr;
    GattTableModel *m_tableModel = nullptr;
    QVector<AttributeInfo> m_attributeTable;
    QMetaEnum m_uuidEnum;
    QMetaEnum m_propertiesEnum;
    bool m_isCurrentTab = false;
    CMsg *m_link;
    LogManager *m_logger;
    QMap<QString, QVariant> *m_settings;
    CGattCmdDlg *m_cmdDlg = nullptr;
    QWidget *m_cmdDlgHolder = nullptr;
    UplinkDispatcher<CGattWidget> m_handlerMap;
    PageWire m_wire;
    const int m_pairConfirm = 1;
    int m_pendingCount = 0;
    GattBatch m_batch;
    // The open pairing dialog; it deletes itself when it closes.
    QPointer<csmdilog> m_pairDialog;
    // Set while a passkey or comparison waits for its confirmation; a failed
    // pairing result clears it so that nothing is confirmed afterwards.
    bool m_pairPending = false;
    quint64 m_pairValue = 0;
    uint8_t m_pairResponse = 0;
    QTimer m_tableRebuild;
    bool m_rebuildWithValueRows = true;
};
