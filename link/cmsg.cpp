#include "cmsg.h"
#include "uplinkheader.h"

#include "logger.h"
#include "logmanager.h"
#include "serialportthread.h"

#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>

namespace {
// Links that ended their last slice with frames still to deliver.
std::atomic<int> busyLinks{0};

bool isResetEvent(const QByteArray &frame)
{
    const UplinkHeader header(frame);
    return header.hasId() && header.idKey() == 0xCC0002;
}
} // namespace

CMsg::CMsg(LogManager *logManager, QObject *parent, int sendIntervalMs)
    : QObject(parent)
    , m_portThread(new SerialPortThread(this))
    , m_logManager(logManager)
    , m_sendIntervalMs(sendIntervalMs)
    , m_acknowledgements(logManager)
{
    m_readyNotifier = new QSocketNotifier(m_portThread->readyNoticeHandle(), QSocketNotifier::Read, this);
    connect(m_readyNotifier, &QSocketNotifier::activated, this, &CMsg::onReadyNotice);
}

CMsg::~CMsg()
{
    setBusy(false);
    if (m_isOpen)
        closePort();
    // The notifier watches a descriptor of the reader's.
    delete m_readyNotifier;
    m_readyNotifier = nullptr;
    delete m_portThread;
    m_portThread = nullptr;
}

void CMsg::log(const QString &text, int level)
{
    if (m_logManager)
        m_logManager->log(text, level);
}

int CMsg::openPort(const QString &portName)
{
    if (m_isOpen) {
        log(QStringLiteral("CMsg::openPort, serial port has already been opened."), LogLevel::Debug);
        return -1;
    }
    m_portName = portName;
    log(QStringLiteral("open port begin"), LogLevel::Debug);

    switch (m_port.open(portName)) {
    case Platform::SerialPort::Opened:
        break;
    case Platform::SerialPort::GetStateFailed:
        log(QStringLiteral("Get Comm State Error"), LogLevel::Error);
        return -1;
    case Platform::SerialPort::SetStateFailed:
        log(QStringLiteral("Set Comm State Error"), LogLevel::Error);
        return -1;
    case Platform::SerialPort::OpenFailed:
    case Platform::SerialPort::AlreadyOpen:
        log(QStringLiteral("Create File Error"), LogLevel::Error);
        return -1;
    }

    m_portThread->setPort(&m_port);
    m_portThread->start(QThread::TimeCriticalPriority);
    log(QStringLiteral("open port finish"), LogLevel::Debug);

    m_sendTimer = new QTimer;
    m_sendQueue = new QQueue<QByteArray>;
    m_sendTimer->setInterval(m_sendIntervalMs);
    m_sendTimer->setSingleShot(false);
    connect(m_sendTimer, &QTimer::timeout, this, &CMsg::onSendTimer);
    m_sendTimer->start();

    m_writeNotifier = new QSocketNotifier(m_port.handle(), QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CMsg::onPortWritable);

    m_isOpen = true;
    return 0;
}

void CMsg::closePort()
{
    if (!m_isOpen) {
        log(QStringLiteral("CMsg::closePort, serial port has already been closed."), LogLevel::Debug);
        return;
    }
    m_portThread->stop();
    m_isOpen = false;
    m_portName.clear();
    m_portThread->wait();
    m_portThread->quit();

    delete m_sendTimer;
    m_sendTimer = nullptr;
    // What was still queued is dropped with the queue.
    m_framesTaken = m_framesQueued;
    m_acknowledgements.forgetAll();
    delete m_sendQueue;
    m_sendQueue = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;

    m_port.close();
    emit sig_portClosed();
}

void CMsg::setSendInterval(int ms)
{
    m_sendIntervalMs = ms;
    if (m_sendTimer)
        m_sendTimer->setInterval(ms);
}

char CMsg::generateCheckSum(const QByteArray &msg, char *checkSum)
{
    if (msg.size() < HEADER_LENTH) {
        log(QStringLiteral("CMsg::generateCheckSum:the lenth of msg is smaller than HEADER_LENTH"), LogLevel::Debug);
        return -1;
    }
    if (!checkSum)
        return -1;
    quint8 sum = 0;
    for (const char byte : msg)
        sum = quint8(sum + quint8(byte));
    *checkSum = char(quint8(-sum));
    return 0;
}

int CMsg::sendMsg(const QByteArray &msg)
{
    char checkSum = 0;
    if (generateCheckSum(msg, &checkSum) != 0) {
        log(QStringLiteral("CMsg::sendMsg: generateCheckSum failed."), LogLevel::Debug);
        return -1;
    }
    const QByteArray frame = msg + checkSum;
    if (!m_sendQueue) {
        log(QStringLiteral("CMsg::sendMsg: port has been closed."), LogLevel::Debug);
        return -1;
    }
    m_sendQueue->enqueue(frame);
    ++m_framesQueued;
    m_acknowledgements.queued(m_framesQueued, frame, m_framesTaken);
    return 0;
}

void CMsg::sendRawMsg(const QByteArray &msg)
{
    if (!m_sendQueue)
        return;
    m_sendQueue->enqueue(msg);
    ++m_framesQueued;
}

bool CMsg::waitUntilSent(int maxTicks)
{
    const quint64 last = m_framesQueued;
    const quint64 firstTick = m_ticks;
    const QPointer<CMsg> self(this);
    const auto sent = [this, &self, last] {
        return !self || !m_isOpen || (hasLeft(last) && !m_port.isWritePending());
    };
    if (sent())
        return true;
    QEventLoop loop;
    QTimer poll;
    // Counted in send ticks, so a loaded machine whose timers run late still
    // gets every tick it was promised; the clock only guards a stopped timer.
    connect(&poll, &QTimer::timeout, &loop, [this, &loop, &sent, firstTick, maxTicks] {
        if (sent() || m_ticks - firstTick >= quint64(qMax(1, maxTicks)))
            loop.quit();
    });
    poll.start(qMax(1, m_sendIntervalMs / 10));
    QTimer::singleShot(4 * qMax(1, maxTicks) * m_sendIntervalMs, &loop, &QEventLoop::quit);
    // The window keeps painting; input waits the few ticks, so nothing new
    // starts on a link that is about to close.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return !self || (hasLeft(last) && !m_port.isWritePending());
}

void CMsg::onSendTimer()
{
    ++m_ticks;
    if (!m_sendQueue)
        return;
    // The frame still going out keeps its tick; the next one waits its turn.
    if (m_port.isWritePending()) {
        onPortWritable();
        if (m_port.isWritePending())
            return;
    }
    if (m_sendQueue->isEmpty())
        return;
    ++m_framesTaken;
    if (!writeOverlapped(m_sendQueue->dequeue()))
        log(QStringLiteral("Send msg by serial port failed."), LogLevel::Debug);
}

bool CMsg::writeOverlapped(const QByteArray &msg)
{
    if (!m_port.write(msg)) {
        logWriteFailure();
        return false;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_port.isWritePending());
    return true;
}

void CMsg::logWriteFailure()
{
    log(QStringLiteral("Writing to %1 failed: %2").arg(m_port.path(), m_port.errorString()), LogLevel::Error);
}

void CMsg::onPortWritable()
{
    if (!m_port.continueWrite()) {
        logWriteFailure();
        log(QStringLiteral("Send msg by serial port failed."), LogLevel::Debug);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_port.isWritePending());
}

qint64 CMsg::oldestUndeliveredMs() const
{
    if (m_inHandNext < m_inHand.size())
        return m_inHand.at(m_inHandNext).arrivalMs;
    return m_portThread->oldestUndeliveredMs();
}

void CMsg::onReadyNotice()
{
    m_portThread->clearReadyNotice();
    scheduleDelivery();
}

void CMsg::scheduleDelivery()
{
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &CMsg::deliverUplinks, Qt::QueuedConnection);
}

void CMsg::deliverUplinks()
{
    m_deliveryPosted = false;
    QPointer<CMsg> self(this);
    // Ends the pass however the slice ends, unless a handler deleted the link.
    // The log files write the pass's lines together when it ends.
    struct Pass
    {
        CMsg *link;
        QPointer<CMsg> &alive;
        QPointer<LogManager> logs;
        bool started = false;
        void start()
        {
            if (!started) {
                started = true;
                logs = link->m_logManager;
                if (logs)
                    logs->beginBatch();
                emit link->sig_uplinkPassStarted();
            }
        }
        ~Pass()
        {
            if (started && alive)
                emit link->sig_uplinkPassFinished();
            if (logs)
                logs->endBatch();
        }
    } pass {this, self, nullptr};
    const qint64 sliceNs =
        qMax<qint64>(qint64(MinDeliverySliceUs) * 1000,
                     qint64(DeliverySliceMs) * 1000000 / qMax(1, busyLinks.load(std::memory_order_relaxed)));
    QElapsedTimer spent;
    spent.start();
    while (spent.nsecsElapsed() < sliceNs) {
        if (m_inHandNext >= m_inHand.size()) {
            SerialPortThread::Handover handover = m_portThread->takeBatch(FramesPerTake);
            for (const auto &line : qAsConst(handover.logLines))
                processPortThreadLog(line.first, line.second);
            const bool drained = !handover.more && handover.frames.isEmpty();
            noteDropped(handover.droppedFrames, handover.droppedLogLines, drained);
            if (handover.frames.isEmpty()) {
                m_inHand.clear();
                m_inHandNext = 0;
                setBusy(false);
                return;
            }
            m_inHand = std::move(handover.frames);
            m_inHandNext = 0;
        }
        const UplinkFrame frame = m_inHand.at(m_inHandNext++);
        // A handler may run a nested event loop (a modal box); frames go on
        // arriving in it through the delivery posted here.
        scheduleDelivery();
        pass.start();
        emitFrame(frame);
        if (!self)
            return;
    }
    setBusy(true);
    scheduleDelivery();
}

void CMsg::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    busyLinks.fetch_add(busy ? 1 : -1, std::memory_order_relaxed);
}

void CMsg::emitFrame(const UplinkFrame &frame)
{
    const qint64 outer = m_currentArrivalMs;
    m_currentArrivalMs = frame.arrivalMs;
    if (isResetEvent(frame.frame)) {
        // A dongle that resets answers nothing it was sent before.
        m_acknowledgements.forgetAll();
    } else if (UplinkHeader(frame.frame).hasType(UplinkHeader::AcknowledgementType)
               && frame.route != UplinkFramer::DongleLogRoute && frame.route != UplinkFramer::DownLoadRoute) {
        QPointer<CMsg> self(this);
        // A claimed acknowledgement is its page's alone.
        const bool claimed = m_acknowledgements.take(frame.frame, m_framesTaken);
        if (!self)
            return;
        if (claimed) {
            m_currentArrivalMs = outer;
            return;
        }
    }
    switch (frame.route) {
    case UplinkFramer::CommonRoute: emit sig_rcvCommonMsg(frame.frame); break;
    case UplinkFramer::GapRoute: emit sig_rcvGapMsg(frame.frame); break;
    case UplinkFramer::SmRoute: emit sig_rcvSmMsg(frame.frame); break;
    case UplinkFramer::GattRoute: emit sig_rcvGattMsg(frame.frame); break;
    case UplinkFramer::L2capRoute: emit sig_rcvL2capMsg(frame.frame); break;
    case UplinkFramer::IsochronousRoute:
        emit sig_rcvBIGCIGMsg(frame.frame);
        emit sig_rcvRfuMsg(frame.frame);
        break;
    case UplinkFramer::LcpRoute: on_rcvLCPMsg(frame.frame); break;
    case UplinkFramer::IdtRoute: on_rcvIDTMsg(frame.frame); break;
    case UplinkFramer::OtherRoute: emit sig_rcvRfuMsg(frame.frame); break;
    case UplinkFramer::DownLoadRoute: emit sig_rcvDownLoadMsg(frame.frame); break;
    case UplinkFramer::DongleLogRoute: emit sig_rcvDongleLog(frame.frame); break;
    }
    m_currentArrivalMs = outer;
}

void CMsg::noteDropped(qint64 frames, qint64 logLines, bool drained)
{
    m_droppedFrames += frames;
    m_droppedLogLines += logLines;
    if (m_droppedFrames == 0 && m_droppedLogLines == 0)
        return;
    const bool first = frames + logLines > 0 && !m_lastDropReport.isValid();
    const bool due = m_lastDropReport.isValid() && m_lastDropReport.elapsed() >= DropReportIntervalMs;
    if (!first && !due && !drained)
        return;
    log(QStringLiteral("The program fell behind the dongle and dropped %1 uplink frames and %2 reader log lines, "
                       "the oldest first.")
            .arg(m_droppedFrames)
            .arg(m_droppedLogLines),
        LogLevel::Warn);
    m_droppedFrames = 0;
    m_droppedLogLines = 0;
    if (drained)
        m_lastDropReport.invalidate();
    else
        m_lastDropReport.restart();
}

void CMsg::processPortThreadLog(QString text, int level)
{
    log(text, level);
}

void CMsg::on_rcvLCPMsg(QByteArray msg)
{
    emit sig_rcvLCPMsg(msg);
}

void CMsg::on_rcvIDTMsg(QByteArray msg)
{
    emit sig_rcvIDTMsg(msg);
}
