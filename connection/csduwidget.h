#pragma once

#include "logger.h"
#include "pagewire.h"
#include "sdusender.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>
#include <QTimer>
#include <QWidget>

class CMsg;
class LogManager;

namespace Ui {
class CSduWidget;
}

// The page of one credit-based channel: sends typed bytes or a file as SDUs,
// one in flight at a time, shows and stores what arrives, and returns credits
// to the peer. The connection's L2CAP page parses the uplinks and reports
// them through its signals, keyed by local CID; the page acts on its own key
// only. The cutting and the credit decisions live in SduSender and
// CreditReturn; this class is their shell on the link and the form.
class CSduWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxTypedDigits = 20480;
    static constexpr qint64 MaxFileSize = 20971520;
    static constexpr int ReceiveViewBytes = 512;
    // How long an SDU handed to the dongle may wait for its "Sending SDU" result.
    static constexpr int DefaultResultTimeoutMs = 10000;

    CSduWidget(CMsg *link, LogManager *logger, const QString *dongleName, QWidget *parent = nullptr);
    ~CSduWidget() override;

    // Sends as a part of the L2CAP page's wire (its connection, its end).
    void setPageWire(const PageWire &page) { m_wire = PageWire(page, QStringLiteral(".\\csduwidget")); }
    // Binds the page to its channel and empties the channel's data file.
    void createReceiveFile(quint8 condix, const QString &key, quint16 peerMtu);
    void initChannel(uint mtu, uint mps, uint initialCredits);

    QString localCid() const { return m_localCid; }
    // The folder of the channel's received data ("data.txt").
    QString receiveFolder() const { return m_receiveFolder; }
    QString receiveFilePath() const { return m_receiveFile.fileName(); }
    bool isSending() const { return !m_sender.isEmpty(); }
    bool isHeldForCredit() const { return m_sender.isHeldForCredit(); }
    bool isCreditReturnPending() const { return m_creditReturn.isPending(); }
    // A stopped transfer's SDU whose result is still to come: the next SDU waits for it.
    bool isResultOwed() const { return m_owedSdu != 0; }
    void setResultTimeoutMs(int ms)
    {
        m_resultWatchdog.setInterval(ms);
        m_owedWatchdog.setInterval(ms);
    }

    // Where a folder and a dongle's name put a channel's received data.
    static QString receiveFolderFor(const QString &dataFolder, const QString &dongleName, quint8 condix,
                                    const QString &key);

signals:
    void sig_sendCredit(QString cid, QString credit);
    void sig_sendSDUData();

public slots:
    void on_readySendSDU(QString localId);
    void on_buttonInit(QString localID);
    void on_creditErrorCheck(QString localID);
    void on_remoteCreditChanged(QString localId);
    void on_receiveSDU(QString localId, QString remainCredits, QString consumedCredits, QByteArray rxData,
                       QMap<QString, QString> &fieldsStr);
    void on_consumedCreditChanged(QString localID, uint consumedCredits);

    void on_pushButtonSend_clicked();
    void on_pushButtonSendFile_clicked();
    void on_pushButtonClear_clicked();
    void on_pushButtonSendCredit_clicked();
    void on_pushButtonRXClear_clicked();
    void on_pushButtonSave_clicked();
    void on_radioButtonMan_toggled(bool checked);
    void on_textEditTX_textChanged();

private:
    void sendSduData(const QByteArray &data, bool fromFile);
    // Hands the head SDU to the link; false when the link refused it.
    bool sendHead();
    // Sends the head unless the result of a stopped transfer's SDU is still
    // to come; a head the link refuses stops the transfer.
    void sendHeadWhenFree();
    void sduAcknowledged(quint64 sdu, const QByteArray &frame);
    void creditsAcknowledged(const QByteArray &frame);
    // A "Sending SDU" result of this channel: true when it was the one a
    // stopped transfer still owed, which is dropped.
    bool takeOwedResult();
    void owedResultEnded(const QString &why, int level);
    // Stops the transfer: queue emptied, send file closed, buttons back. An
    // SDU in flight still owes its result.
    void abandonTransfer(const QString &why, int level = LogLevel::Error);
    void onResultWatchdogTimeout();
    QString refusal(const QByteArray &frame) const;
    // Moves a data file that holds something aside, named after its
    // modification time; false when it had to stay where it is.
    bool keepReceivedData(const QString &path);
    QByteArray readChunk();
    bool sendCredits();
    // Whether the credit edits hold values an automatic return can use; when
    // not, none is sent and the log says why, once for each text.
    bool creditEditsUsable();
    // Opens the data file; -1 with the reason in `error` when it cannot be.
    int openReceiveFile(const QString &path, QString *error = nullptr);
    // Appends to the data file and counts what reached it.
    void writeReceived(const QByteArray &data);
    // Nothing more goes to the data file: said once, in the log and a box.
    void receiveFileFailed(const QString &logLine, const QString &text);
    void showSavedBytes();
    static bool copyFileToPath(const QString &source, const QString &target, QString *error);
    void setSendButtonsEnabled(bool enabled);
    // Limits the credit setting to min..max and shows `shown`.
    void limitCreditSetting(const QString &min, const QString &max, const QString &shown);
    quint32 editValue(class CValidateLineEdit *edit) const;
    void log(const QString &text, int level) const { m_wire.log(text, level); }

    Ui::CSduWidget *ui;
    quint8 m_condix = 0;
    QString m_localCid;
    quint32 m_fileChunkSize = 0;
    SduSender m_sender;
    CreditReturn m_creditReturn;
    QString m_consumedCredits = QStringLiteral("0");
    QString m_minCredits = QStringLiteral("0");
    QString m_maxCredits;
    QString m_creditEditWarning;
    PageWire m_wire;
    QString m_sendFilePath;
    QFile m_sendFile;
    QFile m_receiveFile;
    // Set when the data file failed; later SDUs are only shown and counted.
    bool m_receiveFileEnded = false;
    quint64 m_savedBytes = 0;
    QString m_receiveFolder;
    quint64 m_sentBytes = 0;
    quint32 m_receivedBytes = 0;
    quint16 m_receivedCredits = 0;
    // The tail of the received bytes that the view shows.
    QByteArray m_receiveTail;
    QTimer m_resultWatchdog;
    // SDUs handed to the link, numbered; the one of this transfer whose
    // result is awaited, and the one of a stopped transfer that still owes it.
    quint64 m_sdusSent = 0;
    quint64 m_inFlight = 0;
    quint64 m_owedSdu = 0;
    QTimer m_owedWatchdog;
};
