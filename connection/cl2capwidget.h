#pragma once

#include "channelinfo.h"
#include "pagewire.h"
#include "requestqueue.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

class CMsg;
class CSduWidget;
class LogManager;
class QStandardItemModel;

namespace Ui {
class CL2capWidget;
}

// The L2CAP tab of one connection: its credit-based channels, the selected
// channel's details and credit counters, and one SDU page per channel. It
// hears the L2CAP results and events of its own connection and the
// acknowledgements of the commands it sent itself.
class CL2capWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int CreditErrorStatus = 0x2A;

    CL2capWidget(CMsg *link, LogManager *logger, const QString *dongleName, quint8 condix,
                 QWidget *parent = nullptr);
    ~CL2capWidget() override;

    quint8 condix() const { return m_condix; }
    QStringList openChannels() const { return m_channels.keys(); }
    QStringList pendingChannels() const { return m_pendingChannels.keys(); }
    ChannelInfo channel(const QString &key) const { return m_channels.value(key); }
    CSduWidget *sduWidget(const QString &key) const { return m_sduWidgets.value(key); }
    // The SDU page the SDU area shows.
    CSduWidget *shownSduWidget() const;
    QString currentCid() const { return m_currentCid; }

    // How long a peer's channel request waits for the user before it is refused.
    void setRequestTimeoutMs(int ms) { m_requestTimeoutMs = ms; }

    // The connection has ended: nothing more is sent for it, also by its
    // channels' pages and dialogs, and requests that wait are not asked.
    void endConnection();

    // Fills one setting group of the pending channel `key`: 0 PSM, 1 local, 2 remote.
    void addChannel(const QMap<QString, QString> &values, const QString &key, int mode);

signals:
    void readySendSDU(QString key);
    void receiveSDU(QString key, QString remaining, QString consumed, QByteArray data,
                    QMap<QString, QString> &fields);
    void consumedCreditChanged(QString key, uint consumed);
    void sig_showDongleTab(QString dongleName);
    void sig_creditErrorStop(QString key);
    void sig_buttonInit(QString key);
    void remoteCreditChanged(QString key);

public slots:
    void on_toolButtonAdd_clicked();
    void on_toolButtonRemove_clicked();
    void on_listWidget_currentRowChanged(int row);
    void onRcvMsg(QByteArray frame);
    void on_receiveCOCRequest(QString key, ChannelInfo &info, QMap<QString, QString> values);
    void on_addCocMsgSend();
    void on_sendCredit(QString key, QString credits);

private:
    // The acknowledgements of this page's commands for channel `key` (an
    // empty frame: it was lost).
    void creatingCOCAckProc(const QString &key, const QByteArray &frame);
    void cocDisconnectAckProc(const QString &key, const QByteArray &frame);
    // Results and events of this connection.
    void creatingCOCProc(const QByteArray &frame);
    void receivedCreatingCOCRequestProc(const QByteArray &frame);
    void askChannelRequest(QMap<QString, QString> values);
    void sendingSDUProc(const QByteArray &frame);
    void receivedSDUProc(const QByteArray &frame);
    void localCreditsManagementProc(const QByteArray &frame);
    void RemoteCreditsManagementProc(const QByteArray &frame);
    void l2CAPCOCDisconnectProc(const QByteArray &frame);

    // Parses and logs a frame of this connection; false when it is not for this page.
    bool takeFrame(const QByteArray &frame, const char *handler, PageWire::Fields &fields);
    // The channel key of a frame for an open channel; empty (logged) otherwise.
    QString openKeyOf(const QMap<QString, QByteArray> &fields, const char *handler);
    // Logs an acknowledgement of channel `key`'s command; true when the dongle refused it.
    bool takeStatus(const QString &key, const QByteArray &frame);
    bool isCidInUse(const QString &key) const;
    // A channel that will not open gives its local CID back.
    void freePendingChannel(const QString &key);

    void buildDetailTree(const QString &key);
    void updateCreditTree(const QString &key);
    void refreshCreditTreeIfCurrent(const QString &key);
    void showSduWidget(const QString &key, int row);
    void showModel(const QString &key);
    void wireSduWidget(CSduWidget *page);
    static QString keyOfText(const QString &text);
    void log(const QString &text, int level) const { m_wire.log(text, level); }
    static QString function(const char *handler);

    UplinkDispatcher<CL2capWidget> m_handlers;
    PageWire m_wire;
    Ui::CL2capWidget *ui;
    QMap<QString, QStandardItemModel *> m_models;
    QMap<QString, QVariant> m_fields;
    QMap<QString, ChannelInfo> m_channels;
    QMap<QString, ChannelInfo> m_pendingChannels;
    QMap<QString, CSduWidget *> m_sduWidgets;
    QString m_currentCid;
    QMap<QString, QString> m_creditsSent;
    CMsg *m_link;
    LogManager *m_logger;
    quint8 m_condix;
    int m_requestTimeoutMs;
    // Requests of other peer CIDs that came while one was asked.
    RequestQueue<QMap<QString, QString>> m_channelRequests{QStringLiteral("COC connect request")};
};
