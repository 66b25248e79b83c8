#pragma once

#include "uplinkbatch.h"
#include "uplinkframer.h"
#include "wakeup.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <deque>

namespace Platform {
class SerialPort;
}

// The reader of one dongle's port: waits for bytes, cuts them into frames and
// hands them to the GUI thread in batches. Lives as long as its link; the
// parse state survives closing and reopening, so the start-up
// synchronisation on the reset event happens once per link.
//
// The hand-over is bounded: when the GUI thread falls further behind than
// the backlog limits, the oldest undelivered frames are dropped and counted,
// so a flood from the port cannot grow memory without end.
class SerialPortThread : public QThread, private UplinkFramer::Listener
{
    Q_OBJECT

public:
    static constexpr int ReadBufferSize = 1048576;
    static constexpr int DefaultPollIntervalMs = 10;
    static constexpr int DefaultGatherMs = 20;
    // More than a USB serial adapter's packet waiting right after a read.
    static constexpr int GatherSkipBytes = 64;
    static constexpr qint64 DefaultBacklogBytes = 64LL * 1024 * 1024;
    static constexpr qint64 DefaultBacklogMs = 10000;
    // Log lines waiting for the GUI thread; the framer's lines are bounded
    // at their source, this only caps what is left.
    static constexpr int MaxPendingLogLines = 2000;

    // What the GUI thread takes in one go.
    struct Handover
    {
        UplinkBatch frames;
        QVector<QPair<QString, int>> logLines;
        qint64 droppedFrames = 0;  // since the last take
        qint64 droppedLogLines = 0;
        bool more = false;         // frames are still waiting
    };

    explicit SerialPortThread(QObject *parent = nullptr);
    ~SerialPortThread() override;

    // Hands over the port before each start and arms the loop, so a stop()
    // that comes right after start() is never lost.
    void setPort(Platform::SerialPort *port);
    // How long a run of skipped bytes may wait for its summary line, and the
    // pause after a read failure. The reader otherwise sleeps until bytes
    // come, a started frame is due, or stop() wakes it.
    void setPollInterval(int ms) { m_pollIntervalMs = ms; }
    int pollInterval() const { return m_pollIntervalMs; }
    // After a read that came at the line's pace, how long the next read waits
    // so that it takes several frames in one wake-up; 0 reads on at once.
    void setGatherTime(int ms) { m_gatherMs = ms; }
    int gatherTime() const { return m_gatherMs; }
    void setBacklogLimits(qint64 bytes, qint64 ms);
    // Silence after which a started frame is given up (plus the line time of
    // its missing bytes). Set it while the port is closed.
    void setStallGrace(int ms) { m_framer.setStallGrace(ms); }

    void stop();
    bool isRunningFlagSet() const { return m_running.load(); }

    // Cuts frames on the calling thread and queues them like read bytes.
    void parseRcvData(const QByteArray &data);
    int parseState() const { return m_framer.state(); }

    // Thread-safe. Takes at most maxFrames frames, oldest first, and every
    // waiting log line; the ready notice comes again for what arrives later.
    Handover takeBatch(int maxFrames);
    // A descriptor that becomes readable once when frames or log lines wait
    // and nobody was told yet (a kernel wake-up: cheaper for the reader than
    // a queued signal). The owner watches it and clears it before it takes.
    int readyNoticeHandle() const { return m_readyNotice.handle(); }
    void clearReadyNotice();
    // Arrival of the oldest frame not yet taken, or -1.
    qint64 oldestUndeliveredMs() const;
    // Notes when a frame equal to this one last came off the port, whether or
    // not the GUI thread gets to handle it (a backlog drop, a busy window).
    void watchArrivals(const QByteArray &frame);
    // Arrival of the last watched frame, or -1.
    qint64 lastWatchedArrivalMs() const;

protected:
    void run() override;

private:
    void uplinkFrame(UplinkFramer::Route route, const QByteArray &frame) override;
    void framingLog(const QString &text, int level) override;
    // Moves what one pass cut into the shared queue, within the limits.
    void handOver();
    void queueLog(const QString &text, int level);
    void trimBacklog();
    // True when it waited, so bytes are likely there.
    bool gatherAfter(qint64 got);

    UplinkFramer m_framer;
    Platform::SerialPort *m_port = nullptr;
    std::atomic<bool> m_running {false};
    std::atomic<int> m_pollIntervalMs {DefaultPollIntervalMs};
    std::atomic<int> m_gatherMs {DefaultGatherMs};
    QElapsedTimer m_readClock;
    qint64 m_lastReadNs = 0;
    Platform::WakeUp m_wakeUp;
    Platform::WakeUp m_readyNotice;
    // One report per opening: a vanished device fails every pass.
    bool m_readErrorReported = false;
    QByteArray m_readBuffer;

    // Reader side: cut in the current pass, not yet handed over.
    UplinkBatch m_cut;
    QVector<QPair<QString, int>> m_cutLogs;
    qint64 m_passArrivalMs = 0;

    // Shared with the GUI thread.
    mutable QMutex m_queueMutex;
    std::deque<UplinkFrame> m_pending;
    QVector<QPair<QString, int>> m_pendingLogs;
    qint64 m_pendingBytes = 0;
    qint64 m_droppedFrames = 0;
    qint64 m_droppedLogLines = 0;
    bool m_readyAnnounced = false;
    qint64 m_backlogBytes = DefaultBacklogBytes;
    qint64 m_backlogMs = DefaultBacklogMs;
    QByteArray m_watched;
    qint64 m_watchedArrivalMs = -1;
};
