#pragma once

#include "pageinterfaces.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>

class CMsg;
class LogManager;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// What the LCP and IDT radio test pages share: the mode, transmit-run and
// receive state machine, the transmit watchdog, the ten-row receive table and
// the command pipeline. A page brings its form, its texts, its input checks
// and its field maps.
class CTestModePage : public TestModePage
{
    Q_OBJECT

public:
    static constexpr int RxRows = 10;
    static constexpr int DefaultWatchdogTickMs = 2000;
    static constexpr quint64 MinimumWaitMs = 25000;
    static const char RunningLook[];
    static const char NormalLook[];
    static const char UnavailableLook[];
    static const char PressedLook[];

    using Clock = std::function<qint64()>;

    ~CTestModePage() override;

    // Stops a running mode (the three stop commands go out); nothing otherwise.
    void stopMode() override;
    // Back to "mode off" without sending anything; the start button gets the
    // normal look when enableStart is true, else the unavailable one.
    void resetDialog(bool enableStart);

    void resetPage(bool enabled) override { resetDialog(enabled); }

    // Monotonic milliseconds for the watchdog; tests put their own clock here.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setWatchdogTick(int ms) { m_watchdogTickMs = ms; }

    bool isModeRunning() const { return m_isModeRunning; }
    bool isTxRunning() const { return m_isTxRunning; }
    bool isRxRunning() const { return m_isRxRunning; }
    quint32 txCount() const { return m_txCount; }
    quint32 rxCount() const { return m_rxCount; }
    quint64 waitMs() const { return m_waitMs; }

signals:
    void sig_send_msg(const QString &name, QMap<QString, QVariant> &fields);
    void sig_send_cmd(const QString &name);
    void sig_receive_data_display(QDateTime time, QMap<QString, QByteArray> fields);
    void sig_stop_mode();
    void sig_start_mode();
    void sig_stop_tx();
    void sig_stop_rx();
    void sig_start_tx();
    void sig_start_rx();
    void sig_tx_progress(uint32_t count, bool ok);

public slots:
    void on_btn_set_clicked();
    void on_btn_send_clicked();
    void on_btn_startrx_clicked();
    void on_btn_clearrx_clicked();
    void on_tableWidget_rxinfo_customContextMenuRequested(const QPoint &pos);
    void onSendMsg(const QString &name, QMap<QString, QVariant> &fields);
    void onSendCmd(const QString &name);
    void onRcvMsg(QByteArray frame) override;
    void onRcvDataDisplay(QDateTime time, QMap<QString, QByteArray> fields);
    void onCopyRxData();
    void onStartMode();
    void onStopMode();
    void onStopTX();
    void onStopRX();
    void onStartTX();
    void onStartRX();
    void onTxProgress(uint32_t count, bool ok);
    void onTxTimeOut();

protected:
    struct Texts
    {
        QString mode;          // "LCP": the prefix of log lines and boxes
        quint8 layer = 0;      // of every command and uplink
        QString startMode;     // command names
        QString stopMode;
        QString setParameters;
        QString transmit;
        QString startReceive;
        QString stopReceive;
        QString stopTransmit;
        QString startButton;   // "Start LCP Mode"
        QString stopButton;    // "Stop LCP Mode"
        QStringList columns;   // of the receive table
    };
    struct Controls
    {
        QPushButton *start = nullptr;
        QPushButton *set = nullptr;
        QPushButton *send = nullptr;
        QPushButton *startRx = nullptr;
        QPushButton *clearRx = nullptr;
        QGroupBox *tx = nullptr;
        QGroupBox *rx = nullptr;
        QLineEdit *txNum = nullptr;
        QLineEdit *rxNum = nullptr;
        QLineEdit *repeatTime = nullptr;
        QLineEdit *repeatInterval = nullptr;
        QLineEdit *length = nullptr;
        QLineEdit *payload = nullptr;
        QTableWidget *table = nullptr;
        // Config entries that only change while the mode is off.
        QList<QLineEdit *> lockedWhileRunning;
    };

    CTestModePage(CMsg *link, LogManager *logger, QWidget *parent);
    // Called by the page once its form is built.
    void setUpPage(const Controls &controls, const Texts &texts);
    // The mode start button.
    void toggleMode();

    virtual QString checkSetInput() const = 0;
    virtual QString checkModeInput() const = 0;
    virtual QString checkTxInput() const = 0;
    virtual QMap<QString, QVariant> startModeFields() const = 0;
    virtual QMap<QString, QVariant> setParameterFields() const = 0;
    virtual QMap<QString, QVariant> transmitFields(const QByteArray &payload) const = 0;
    // The texts of columns 1 and on for one received packet.
    virtual QStringList rxRowTexts(const QMap<QString, QByteArray> &fields) const = 0;

    // Text to number as the checks read it: 0 when it is no number or
    // exceeds 32 bits.
    static quint32 toU32(const QString &text, int base);
    static bool isHexText(const QString &text);
    // Exactly `length` bytes from two-digit pieces of the text (a last lone
    // digit is a byte of its own), 0 where it has none.
    static QByteArray payloadBytes(const QString &text, int length);
    // "tx power is out of range (-20~7) \n" unless the low byte, signed, lies in -20..7.
    static QString txPowerRangeError(const QString &text);
    static qint8 txPowerByte(const QString &text);
    static QString hexText(const QByteArray &bytes);

    CMsg *m_msg = nullptr;
    LogManager *m_logger = nullptr;

private:
    void initMsgMap();
    void initRxTable();
    // A non-zero status of the running mode, run or reception ends it and
    // tells the user; the other commands' acknowledgements are only logged.
    void modeAckProc(const QByteArray &frame);
    void txAckProc(const QByteArray &frame);
    // The acknowledgement of a "Stop Transmit" (empty: it was lost, and a
    // later command answered): the stopped run sends none after it.
    void stopTransmitAnswered(const QByteArray &frame);
    void rxAckProc(const QByteArray &frame);
    // The acknowledgement's status field; nothing when the frame has none.
    static std::optional<quint8> ackStatus(const QByteArray &frame);
    void showRefusal(const QString &what, quint8 status);
    void receiveDataProc(const QByteArray &frame);
    void addRxRow(const QStringList &values, quint32 count);
    bool isTxTimeOut();
    void finishRun();
    bool showInputError(const QString &error);
    void setButtonState(QPushButton *button, bool on, const QString &textOn, const QString &textOff);
    void setRxGroupEnabled(bool enabled);
    void setTxGroupEnabled(bool enabled);
    void setLockedEditsEnabled(bool enabled);
    void log(const QString &text, int level) const;

    Controls m_ui;
    Texts m_texts;
    UplinkDispatcher<CTestModePage> m_msgMap;
    PageWire m_wire;
    bool m_isRxRunning = false;
    bool m_isModeRunning = false;
    bool m_isTxRunning = false;
    quint32 m_rxCount = 0;
    quint32 m_txCount = 0;
    quint32 m_repeatTime = 0;
    quint64 m_lastTick = 0;
    quint64 m_waitMs = 5000;
    // Stops sent whose acknowledgement has not come: until it does, transmit
    // acknowledgements are the stopped run's.
    int m_stopsUnanswered = 0;
    QTimer m_txTimer;
    int m_watchdogTickMs = DefaultWatchdogTickMs;
    Clock m_clock;
};
