#pragma once

#include "attributeinfo.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QMetaEnum>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <cstdint>

class CGattCmdDlg;
class CMsg;
class GattTableModel;
class LogManager;
class TreeModel;

namespace Ui {
class CGattWidget;
}

// The GATT client tab of one connection: the peer's attribute table, shown
// as a service tree or a flat list, and the command console. It hears every
// GATT and security frame of its dongle; the handlers keep those of its own
// connection.
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
    CGattCmdDlg *commandConsole() const { return m_cmdDlg; }
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

private:
    void registerHandlers();
    void setBatchControlsEnabled(bool enabled);
    void setColumnWidths();
    // The flat list follows every discovery result, but a burst of results
    // is shown once, after the last of the burst: rebuilding it per frame
    // costs the square of the database's size.
    void scheduleTableRebuild(bool withValueRows);
    void rebuildTable();

    // Acknowledgements: logged only by the page of the current tab, as they
    // carry no connection index.
    void SDKProc(const QByteArray &frame);
    void lastSDKProc(const QByteArray &frame);

    // Discovery of all attributes, one event per attribute.
    void discoverAllServiceProc(const QByteArray &frame);
    void discoverAllIncludeProc(const QByteArray &frame);
    void discoverAllCharacteristicProc(const QByteArray &frame);
    void discoverAllDescriptorProc(const QByteArray &frame);
    void discoverAllEndProc(const QByteArray &frame);

    // Parses a single-record discovery event of this connection; false for
    // a frame to drop (the parser has logged it) or another connection's.
    bool parseOwnEvent(const QByteArray &frame, QMap<QString, QByteArray> &fields);
    bool readHandle(const QByteArray &bytes, quint16 *handle);
    void storeEntry(const AttributeInfo &entry);
    void storeCharacteristic(const AttributeInfo &declaration);
    AttributeInfo declarationEntry(quint16 handle, quint16 type, const QByteArray &value) const;

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
    const QString *m_dongleName;
    QMap<QString, QVariant> *m_settings;
    CGattCmdDlg *m_cmdDlg = nullptr;
    UplinkDispatcher<CGattWidget> m_handlerMap;
    QTimer m_tableRebuild;
    bool m_rebuildWithValueRows = true;
};
