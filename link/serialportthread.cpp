#include "serialportthread.h"

#include "crashhandler.h"
#include "logger.h"
#include "serialport.h"

#include <QMutexLocker>

#include <limits>

namespace {
// What a queued frame costs beyond its bytes: the array header and the
// queue's own book-keeping, so a flood of tiny frames is bounded too.
constexpr qint64 FrameOverhead = 64;

qint64 costOf(const UplinkFrame &frame)
{
    return frame.frame.size() + FrameOverhead;
}
} // namespace

SerialPortThread::SerialPortThread(QObject *parent)
    : QThread(parent)
    , m_framer(this)
{
}

SerialPortThread::~SerialPortThread()
{
    stop();
    wait();
}

void SerialPortThread::setPort(Platform::SerialPort *port)
{
    m_port = port;
    m_readErrorReported = false;
    m_wakeUp.clear();
    m_running = true;
}

void SerialPortThread::setBacklogLimits(qint64 bytes, qint64 ms)
{
    QMutexLocker locker(&m_queueMutex);
    m_backlogBytes = bytes;
    m_backlogMs = ms;
}

void SerialPortThread::stop()
{
    m_running = false;
    m_wakeUp.wake();
}

void SerialPortThread::parseRcvData(const QByteArray &data)
{
    m_passArrivalMs = uplinkClockMs();
    m_framer.parse(data, m_passArrivalMs);
    handOver();
}

void SerialPortThread::run()
{
    // A stack overflow on this thread still gets its crash report.
    Platform::installCrashStackForThisThread();
    if (m_readBuffer.size() != ReadBufferSize)
        m_readBuffer.resize(ReadBufferSize);
    char *buffer = m_readBuffer.data();
    m_readClock.start();
    m_lastReadNs = std::numeric_limits<qint64>::min() / 2;

    // After a gathering wait bytes are most likely there: read without asking poll.
    bool bytesLikely = false;
    while (m_running.load()) {
        const int pollMs = m_pollIntervalMs.load();
        qint64 got = 0;
        if (bytesLikely && m_port)
            got = m_port->readAvailable(buffer, ReadBufferSize);
        bytesLikely = false;
        if (got == 0) {
            // Asleep until bytes come or stop() wakes us, unless the framer has
            // something due: a started frame to give up, skipped bytes to report.
            int waitMs = -1;
            const qint64 deadline = m_framer.stallDeadline();
            if (deadline >= 0)
                waitMs = int(qBound<qint64>(0, deadline - uplinkClockMs() + 1, 60000));
            if (m_framer.hasSkippedRun())
                waitMs = waitMs < 0 ? pollMs : qMin(waitMs, pollMs);
            got = m_port ? m_port->read(buffer, ReadBufferSize, waitMs, m_wakeUp.handle()) : -1;
        }
        if (got > 0) {
            m_passArrivalMs = uplinkClockMs();
            m_framer.parse(buffer, got, m_passArrivalMs);
            handOver();
            bytesLikely = gatherAfter(got);
            continue;
        }
        if (got == 0) {
            m_wakeUp.clear();
            // A quiet pass: a frame whose bytes stopped coming is given up,
            // and a run of skipped bytes is over. A failing port keeps its
            // bytes for after the next opening.
            m_framer.timePassed(uplinkClockMs());
            m_framer.flushSkipped();
            handOver();
            continue;
        }
        if (!m_readErrorReported) {
            m_readErrorReported = true;
            const QString reason = m_port ? m_port->readErrorString() : QStringLiteral("no port");
            queueLog(QStringLiteral("Reading %1 failed: %2").arg(m_port ? m_port->path() : QString(), reason),
                     LogLevel::Error);
            handOver();
        }
        // A hung-up device wakes poll at once; do not spin on it.
        QThread::msleep(ulong(pollMs));
    }
}

// At the line's pace bytes come a few at a time, and each wake-up costs far
// more than reading them (tens of microseconds, mostly the scheduler's).
// While bytes keep coming no faster than the line carries, the next read
// waits a moment and takes several frames at once. Bytes that come seldom
// (a lone answer) are read and handed over at once and cost no extra
// wake-up; stop() ends the wait; faster input (a burst through a
// pseudo-terminal) is read on at once.
bool SerialPortThread::gatherAfter(qint64 got)
{
    const qint64 now = m_readClock.nsecsElapsed();
    const qint64 since = now - m_lastReadNs;
    m_lastReadNs = now;
    const int gatherMs = m_gatherMs.load();
    // Reads further apart than two waits would each cost a wake-up anyway.
    if (gatherMs <= 0 || since > 2 * qint64(gatherMs) * 1000000)
        return false;
    // Twice the line's rate: a driver may hand over what it held back. More
    // than the line carries in two waits means the reader was held up (a
    // busy machine) with bytes piling up faster than any line: read on.
    const double lineBytesPerNs = double(UplinkFramer::LineBytesPerSecond) / 1e9;
    if (double(got) > 2.0 * lineBytesPerNs * double(since)
        || double(got) > 2.0 * lineBytesPerNs * double(gatherMs) * 1e6)
        return false;
    // Bytes already waiting again came faster than the line, however slow the
    // last read looked (the reader and the writer were both held up).
    if (m_port && m_port->bytesAvailable() > GatherSkipBytes)
        return false;
    m_wakeUp.wait(gatherMs);
    return true;
}

void SerialPortThread::uplinkFrame(UplinkFramer::Route route, const QByteArray &frame)
{
    m_cut.append(UplinkFrame {frame, m_passArrivalMs, route});
}

void SerialPortThread::framingLog(const QString &text, int level)
{
    queueLog(text, level);
}

void SerialPortThread::queueLog(const QString &text, int level)
{
    m_cutLogs.append(qMakePair(text, level));
}

void SerialPortThread::handOver()
{
    if (m_cut.isEmpty() && m_cutLogs.isEmpty())
        return;
    bool announce = false;
    {
        QMutexLocker locker(&m_queueMutex);
        for (UplinkFrame &frame : m_cut) {
            if (!m_watched.isEmpty() && frame.frame == m_watched)
                m_watchedArrivalMs = frame.arrivalMs;
            m_pendingBytes += costOf(frame);
            m_pending.push_back(std::move(frame));
        }
        m_pendingLogs += m_cutLogs;
        trimBacklog();
        if (m_pendingLogs.size() > MaxPendingLogLines) {
            const int excess = m_pendingLogs.size() - MaxPendingLogLines;
            m_pendingLogs.remove(0, excess);
            m_droppedLogLines += excess;
        }
        announce = !m_readyAnnounced;
        m_readyAnnounced = true;
    }
    m_cut.clear();
    m_cutLogs.clear();
    if (announce)
        m_readyNotice.wake();
}

// Called with m_queueMutex held.
void SerialPortThread::trimBacklog()
{
    // Drop the oldest first: the newest frames tell the dongle's state now.
    const qint64 now = uplinkClockMs();
    while (!m_pending.empty()
           && (m_pendingBytes > m_backlogBytes || now - m_pending.front().arrivalMs > m_backlogMs)) {
        m_pendingBytes -= costOf(m_pending.front());
        m_pending.pop_front();
        ++m_droppedFrames;
    }
}

SerialPortThread::Handover SerialPortThread::takeBatch(int maxFrames)
{
    Handover handover;
    QMutexLocker locker(&m_queueMutex);
    // A window that was stuck longer than the bound gets no stale frames.
    trimBacklog();
    const int count = int(qMin<qint64>(maxFrames, qint64(m_pending.size())));
    handover.frames.reserve(count);
    for (int i = 0; i < count; ++i) {
        m_pendingBytes -= costOf(m_pending.front());
        handover.frames.append(std::move(m_pending.front()));
        m_pending.pop_front();
    }
    handover.logLines.swap(m_pendingLogs);
    handover.droppedFrames = m_droppedFrames;
    handover.droppedLogLines = m_droppedLogLines;
    m_droppedFrames = 0;
    m_droppedLogLines = 0;
    handover.more = !m_pending.empty();
    // The taker comes back by itself while more waits.
    m_readyAnnounced = handover.more;
    return handover;
}

void SerialPortThread::clearReadyNotice()
{
    m_readyNotice.clear();
}

qint64 SerialPortThread::oldestUndeliveredMs() const
{
    QMutexLocker locker(&m_queueMutex);
    return m_pending.empty() ? -1 : m_pending.front().arrivalMs;
}

void SerialPortThread::watchArrivals(const QByteArray &frame)
{
    QMutexLocker locker(&m_queueMutex);
    m_watched = frame;
    m_watchedArrivalMs = -1;
}

qint64 SerialPortThread::lastWatchedArrivalMs() const
{
    QMutexLocker locker(&m_queueMutex);
    return m_watchedArrivalMs;
}
