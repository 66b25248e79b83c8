#pragma once

#include "acknowledgementmatcher.h"
#include "serialport.h"
#include "uplinkbatch.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>

class LogManager;
class QSocketNotifier;
class QTimer;
class SerialPortThread;

// The link of one dongle: its serial port, the reader thread and the send
// queue. Frames queued by sendMsg leave one per tick of the send timer, in
// order; uplink frames leave again on the signal of their layer.
//
// The reader hands frames over in batches. They are delivered in slices of
// a few milliseconds with the event loop running in between, so timers,
// painting and input go on however fast the dongle talks.
class CMsg : public QObject
{
    Q_OBJECT

public:
    static constexpr int HEADER_LENTH = 5;
    static constexpr int DefaultSendIntervalMs = 100;
    static constexpr int DeliverySliceMs = 10;
    // Links with more to deliver share one slice per event-loop round, so
    // five busy dongles keep the window as answering as one; a link's share
    // never drops below this.
    static constexpr int MinDeliverySliceUs = 2000;
    static constexpr int FramesPerTake = 256;
    // A backlog drop is reported at once, then at most this often.
    static constexpr int DropReportIntervalMs = 10000;

    explicit CMsg(LogManager *logManager, QObject *parent = nullptr, int sendIntervalMs = DefaultSendIntervalMs);
    ~CMsg() override;

    int openPort(const QString &portName);
    void closePort();
    int sendMsg(const QByteArray &msg);
    void sendRawMsg(const QByteArray &msg);
    char generateCheckSum(const QByteArray &msg, char *checkSum);
    bool isOpen() const { return m_isOpen; }
    QString getPortName() const { return m_portName; }

    // Takes effect at once when the port is open, else at the next opening.
    void setSendInterval(int ms);
    int sendInterval() const { return m_sendIntervalMs; }
    SerialPortThread *portThread() const { return m_portThread; }
    // Frames waiting for the send timer; senders on a timer of their own use
    // it to keep pace with the line instead of piling frames up.
    int queuedFrames() const { return m_sendQueue ? int(m_sendQueue->size()) : 0; }
    // Every queued frame gets the next number; a frame has left once the
    // send timer took it (or the port closed under it).
    quint64 lastQueuedFrame() const { return m_framesQueued; }
    bool hasLeft(quint64 frame) const { return frame <= m_framesTaken; }
    // The commands queued here that wait for their acknowledgement; a page
    // claims its own there.
    AcknowledgementMatcher &acknowledgements() { return m_acknowledgements; }
    // Runs the event loop until the frames queued so far have been written,
    // or for at most `maxTicks` send ticks; true when they all left.
    bool waitUntilSent(int maxTicks);

    // Arrival of the frame being delivered, or -1 outside a delivery.
    qint64 currentArrivalMs() const { return m_currentArrivalMs; }
    // Arrival of the oldest frame read but not yet delivered, or -1: nothing
    // that arrived before it is still on the way.
    qint64 oldestUndeliveredMs() const;

signals:
    // Around the frames of one delivery pass, so a subscriber can gather
    // what the pass changes and show it once (a table inserting its rows).
    void sig_uplinkPassStarted();
    void sig_uplinkPassFinished();
    // The port has just been closed: senders on a timer of their own stop.
    void sig_portClosed();

    void sig_rcvCommonMsg(QByteArray msg);
    void sig_rcvGapMsg(QByteArray msg);
    void sig_rcvSmMsg(QByteArray msg);
    void sig_rcvGattMsg(QByteArray msg);
    void sig_rcvL2capMsg(QByteArray msg);
    void sig_rcvRfuMsg(QByteArray msg);
    void sig_rcvBIGCIGMsg(QByteArray msg);
    void sig_rcvDownLoadMsg(QByteArray msg);
    void sig_rcvDongleLog(QByteArray msg);
    void sig_rcvLCPMsg(QByteArray msg);
    void sig_rcvIDTMsg(QByteArray msg);

public slots:
    void onSendTimer();
    void processPortThreadLog(QString text, int level);
    void on_rcvLCPMsg(QByteArray msg);
    void on_rcvIDTMsg(QByteArray msg);

private:
    void deliverUplinks();
    void onReadyNotice();
    void scheduleDelivery();
    void setBusy(bool busy);
    void emitFrame(const UplinkFrame &frame);
    void noteDropped(qint64 frames, qint64 logLines, bool drained);
    bool writeOverlapped(const QByteArray &msg);
    void onPortWritable();
    // In this system's words: the device and the errno text.
    void logWriteFailure();
    void log(const QString &text, int level);

    SerialPortThread *m_portThread = nullptr;
    bool m_isOpen = false;
    QString m_portName;
    LogManager *m_logManager = nullptr;
    Platform::SerialPort m_port;
    QTimer *m_sendTimer = nullptr;
    QQueue<QByteArray> *m_sendQueue = nullptr;
    // Finishes a frame the driver took only in part, before any next frame.
    QSocketNotifier *m_writeNotifier = nullptr;
    // The reader's notice that frames wait.
    QSocketNotifier *m_readyNotifier = nullptr;
    int m_sendIntervalMs = DefaultSendIntervalMs;
    quint64 m_framesQueued = 0;
    quint64 m_framesTaken = 0;
    quint64 m_ticks = 0;
    AcknowledgementMatcher m_acknowledgements;

    // Taken from the reader and not yet emitted; a handler's nested event
    // loop goes on from where the outer delivery stands.
    UplinkBatch m_inHand;
    int m_inHandNext = 0;
    bool m_deliveryPosted = false;
    bool m_busy = false;
    qint64 m_currentArrivalMs = -1;
    qint64 m_droppedFrames = 0;
    qint64 m_droppedLogLines = 0;
    QElapsedTimer m_lastDropReport;
};
