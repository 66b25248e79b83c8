#include "simulateddongle.h"

#include "framebuilder.h"
#include "linepacer.h"

#include <QCoreApplication>
#include <QMap>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QMap<QString, SimulatedDongle::Installer> &behaviourRegistry()
{
    static QMap<QString, SimulatedDongle::Installer> registry;
    return registry;
}

quint16 le16(const QByteArray &bytes, int offset)
{
    return quint16(quint8(bytes.at(offset)) | (quint8(bytes.at(offset + 1)) << 8));
}

QByteArray lengthPrefixed(const QByteArray &text)
{
    QByteArray bytes;
    bytes.append(char(text.size() & 0xFF));
    bytes.append(char((text.size() >> 8) & 0xFF));
    return bytes + text;
}

QByteArray probeReply()
{
    QByteArray reply = FrameBuilder::fromHex("BB 00 00");
    for (const char *text : {"Simulated Dongle", "Vantora Test", "1.0.0", "1.0",
                             "Simulated dongle on a pseudo-terminal", "1.0"})
        reply += lengthPrefixed(QByteArray(text));
    return reply;
}

} // namespace

SimulatedDongle::SimulatedDongle(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_defaultResponder = &SimulatedDongle::defaultAnswer;

    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) {
        qWarning("SimulatedDongle: posix_openpt failed: %s", strerror(errno));
        return;
    }
    char name[128] = {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ptsname_r(m_master, name, sizeof name) != 0) {
        qWarning("SimulatedDongle: cannot prepare the pseudo-terminal: %s", strerror(errno));
        closeAll();
        return;
    }
    // Raw before anyone opens the slave, so no byte is ever echoed or translated.
    termios tio {};
    if (tcgetattr(m_master, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B460800);
        tcsetattr(m_master, TCSANOW, &tio);
    }
    m_portPath = QString::fromLocal8Bit(name);
    // Kept open so that the program closing its side never hangs up the master.
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimulatedDongle::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SimulatedDongle::onWritable);
}

SimulatedDongle::~SimulatedDongle()
{
    closeAll();
}

void SimulatedDongle::setLineRate(bool on)
{
    if (on == isLineRate())
        return;
    if (!on) {
        delete m_paceTimer;
        m_paceTimer = nullptr;
        m_readPacer.reset();
        m_writePacer.reset();
        m_in.append(m_inFlight);
        m_inFlight.clear();
        cutFrames();
        flushOut();
        return;
    }
    m_readPacer.reset(new LinePacer);
    m_writePacer.reset(new LinePacer);
    m_paceTimer = new QTimer(this);
    m_paceTimer->setTimerType(Qt::PreciseTimer);
    m_paceTimer->setInterval(1);
    connect(m_paceTimer, &QTimer::timeout, this, &SimulatedDongle::pace);
}

void SimulatedDongle::pace()
{
    if (!isLineRate())
        return;
    const int arrived = m_readPacer->take(m_inFlight.size());
    if (arrived > 0) {
        m_in.append(m_inFlight.left(arrived));
        m_inFlight.remove(0, arrived);
        cutFrames();
    }
    if (isLineRate())
        flushOut();
    if (m_paceTimer) {
        const bool busy = !m_inFlight.isEmpty() || !m_out.isEmpty();
        if (busy && !m_paceTimer->isActive())
            m_paceTimer->start();
        else if (!busy)
            m_paceTimer->stop();
    }
}

void SimulatedDongle::closeAll()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_master = -1;
    m_slaveKeeper = -1;
}

QString SimulatedDongle::downlinkId(const QByteArray &frame)
{
    if (frame.startsWith("QK") && frame.size() >= 4)
        return QStringLiteral("QK@%1").arg(le16(frame, 2), 4, 16, QLatin1Char('0')).toUpper();
    if (frame.size() < 3)
        return QString();
    return QStringLiteral("%1@%2")
        .arg(quint8(frame.at(1)), 2, 16, QLatin1Char('0'))
        .arg(quint8(frame.at(2)), 2, 16, QLatin1Char('0'))
        .toUpper();
}

void SimulatedDongle::setResponder(const QString &id, Responder responder)
{
    m_responders.insert(id.toUpper(), std::move(responder));
}

void SimulatedDongle::removeResponder(const QString &id)
{
    m_responders.remove(id.toUpper());
}

void SimulatedDongle::setDefaultResponder(Responder responder)
{
    m_defaultResponder = std::move(responder);
}

QByteArray SimulatedDongle::acknowledgement(const QByteArray &frame, quint8 status)
{
    if (frame.size() < 3)
        return QByteArray();
    return FrameBuilder::frame(0xBB, quint8(frame.at(1)), quint8(frame.at(2)), QByteArray(1, char(status)));
}

QList<QByteArray> SimulatedDongle::defaultAnswer(const QByteArray &frame)
{
    if (frame.startsWith("QK"))
        return {};
    const QString id = downlinkId(frame);
    if (id == QLatin1String("00@00"))
        return {probeReply()};
    if (id == QLatin1String("00@01"))
        return {acknowledgement(frame), FrameBuilder::fromHex("CC 00 02 01 00 00")};
    return {acknowledgement(frame)};
}

bool SimulatedDongle::registerBehaviour(const QString &name, Installer installer)
{
    behaviourRegistry().insert(name, std::move(installer));
    return true;
}

QStringList SimulatedDongle::registeredBehaviours()
{
    return behaviourRegistry().keys();
}

void SimulatedDongle::installRegisteredBehaviours()
{
    for (const Installer &install : behaviourRegistry())
        install(*this);
}

void SimulatedDongle::sendUplink(const QByteArray &frameWithoutChecksum)
{
    if (frameWithoutChecksum.startsWith("QK")) {
        const quint16 sum = FrameBuilder::bootSum(frameWithoutChecksum);
        sendRaw(frameWithoutChecksum + char(sum & 0xFF) + char(sum >> 8));
    } else {
        sendRaw(FrameBuilder::withChecksum(frameWithoutChecksum));
    }
}

void SimulatedDongle::sendUplinks(const QList<QByteArray> &framesWithoutChecksum)
{
    for (const QByteArray &frame : framesWithoutChecksum)
        sendUplink(frame);
}

void SimulatedDongle::sendRaw(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    m_out.append(bytes);
    flushOut();
}

void SimulatedDongle::sendResetEvent()
{
    sendRaw(FrameBuilder::resetEvent());
}

void SimulatedDongle::sendDongleLog(const QByteArray &text, quint8 layer)
{
    sendRaw(FrameBuilder::dongleLog(text, layer));
}

void SimulatedDongle::setReading(bool reading)
{
    m_reading = reading;
    if (m_readNotifier)
        m_readNotifier->setEnabled(reading);
    if (reading && m_master >= 0)
        onReadable();
}

void SimulatedDongle::vanish()
{
    m_vanished = true;
    m_out.clear();
    closeAll();
}

QList<QByteArray> SimulatedDongle::receivedBytes() const
{
    QList<QByteArray> frames;
    for (const ReceivedFrame &frame : m_received)
        frames.append(frame.bytes);
    return frames;
}

QStringList SimulatedDongle::receivedIds() const
{
    QStringList ids;
    for (const ReceivedFrame &frame : m_received)
        ids.append(frame.id);
    return ids;
}

void SimulatedDongle::clearReceived()
{
    m_received.clear();
    m_discarded.clear();
    m_badChecksums = 0;
}

bool SimulatedDongle::waitForFrames(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_received.size() >= count; }, timeoutMs);
}

void SimulatedDongle::flushOut()
{
    while (!m_out.isEmpty() && m_master >= 0) {
        const int allowed = m_writePacer ? m_writePacer->take(m_out.size()) : m_out.size();
        if (allowed <= 0) {
            // The line is busy: the pace timer, not the terminal, says when to go on.
            if (m_writeNotifier)
                m_writeNotifier->setEnabled(false);
            if (m_paceTimer && !m_paceTimer->isActive())
                m_paceTimer->start();
            return;
        }
        const ssize_t written = ::write(m_master, m_out.constData(), size_t(allowed));
        const int notTaken = allowed - int(qMax<ssize_t>(written, 0));
        if (m_writePacer && notTaken > 0 && m_unreadIsLost) {
            // Sent on the line, but nobody reads the port: gone.
            m_out.remove(0, allowed);
            m_lostBytes += notTaken;
            continue;
        }
        // What the terminal did not take goes back into the line's budget.
        if (m_writePacer && notTaken > 0)
            m_writePacer->giveBack(notTaken);
        if (written > 0) {
            m_out.remove(0, int(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        break;  // full: the rest goes when the master is writable again
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty());
}

void SimulatedDongle::onWritable()
{
    flushOut();
}

void SimulatedDongle::onReadable()
{
    if (!m_reading)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got > 0) {
            (isLineRate() ? m_inFlight : m_in).append(buffer, int(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // EIO means no one holds the slave; the kept descriptor prevents it,
        // but never spin on it.
        if (got < 0 && errno == EIO && m_readNotifier)
            m_readNotifier->setEnabled(false);
        break;
    }
    if (isLineRate())
        pace();
    else
        cutFrames();
}

void SimulatedDongle::cutFrames()
{
    while (!m_in.isEmpty()) {
        const quint8 first = quint8(m_in.at(0));
        if (first == 0xAA) {
            if (m_in.size() < 5)
                return;
            const int total = le16(m_in, 3) + 6;
            if (m_in.size() < total)
                return;
            const QByteArray frame = m_in.left(total);
            if (FrameBuilder::checksum(frame) == 0) {
                m_in.remove(0, total);
                handleFrame(frame);
                continue;
            }
            ++m_badChecksums;
        } else if (first == 'Q') {
            if (m_in.size() < 2)
                return;
            if (m_in.at(1) == 'K') {
                if (m_in.size() < 6)
                    return;
                const int total = le16(m_in, 4) + 8;
                if (m_in.size() < total)
                    return;
                const QByteArray frame = m_in.left(total);
                if (le16(frame, total - 2) == FrameBuilder::bootSum(frame.left(total - 2))) {
                    m_in.remove(0, total);
                    handleFrame(frame);
                    continue;
                }
                ++m_badChecksums;
            }
        }
        m_discarded.append(m_in.at(0));
        m_in.remove(0, 1);
    }
}

bool SimulatedDongle::takes(Fault &fault, const QByteArray &frame)
{
    if (fault.which.count >= 0 && fault.taken >= fault.which.count)
        return false;
    if (fault.which.index >= 0
        && (frame.size() <= fault.which.index + 1 || quint8(frame.at(fault.which.index + 1)) != fault.which.value))
        return false;
    ++fault.taken;
    return true;
}

void SimulatedDongle::handleFrame(const QByteArray &frame)
{
    ReceivedFrame record;
    record.bytes = frame;
    record.id = downlinkId(frame);
    record.atMs = m_clock.elapsed();
    m_received.append(record);
    emit frameReceived(frame);

    if (m_silent)
        return;
    auto found = m_faults.find(record.id);
    const Fault *fault = found != m_faults.end() && takes(*found, frame) ? &*found : nullptr;
    const bool refused = fault && fault->refuseStatus >= 0 && !frame.startsWith("QK");
    // A refused command leaves the behaviours' state as it was.
    const auto row = refused ? m_responders.constEnd() : m_responders.constFind(record.id);
    QList<QByteArray> answers = refused                            ? QList<QByteArray>()
                                : row != m_responders.constEnd() ? (*row)(frame)
                                : m_defaultResponder             ? m_defaultResponder(frame)
                                                                 : QList<QByteArray>();
    bool hold = false;
    if (fault) {
        const auto isAcknowledgement = [](const QByteArray &a) { return !a.isEmpty() && quint8(a.at(0)) == 0xBB; };
        if (refused) {
            answers = {acknowledgement(frame, quint8(fault->refuseStatus))};
        } else if (fault->withhold) {
            answers.erase(std::remove_if(answers.begin(), answers.end(),
                                         [&](const QByteArray &a) { return !isAcknowledgement(a); }),
                          answers.end());
        }
        if (fault->acknowledgement == AcknowledgementFate::Dropped) {
            answers.erase(std::remove_if(answers.begin(), answers.end(), isAcknowledgement), answers.end());
        } else if (fault->acknowledgement == AcknowledgementFate::Held) {
            // What comes before the acknowledgement still goes; it and the rest wait.
            const auto first = std::find_if(answers.begin(), answers.end(), isAcknowledgement);
            if (first != answers.end()) {
                const QList<QByteArray> before(answers.begin(), first);
                answers = QList<QByteArray>(first, answers.end());
                answer(before);
                hold = true;
            }
        }
        if (fault->laterMs >= 0 && fault->later) {
            QPointer<SimulatedDongle> self(this);
            const Responder later = fault->later;
            QTimer::singleShot(m_responseDelayMs + fault->laterMs, this, [self, later, frame] {
                if (self)
                    self->answer(later(frame));
            });
        }
    }
    if (answers.isEmpty())
        return;
    if (m_responseDelayMs <= 0) {
        answer(answers, hold);
        return;
    }
    QPointer<SimulatedDongle> self(this);
    QTimer::singleShot(m_responseDelayMs, this, [self, answers, hold] {
        if (self)
            self->answer(answers, hold);
    });
}

void SimulatedDongle::answer(const QList<QByteArray> &frames, bool hold)
{
    if (m_silent)
        return;
    m_holding = m_holding || hold;
    if (m_holding) {
        m_held += frames;
        return;
    }
    sendUplinks(frames);
}

void SimulatedDongle::releaseHeld()
{
    m_holding = false;
    const QList<QByteArray> held = m_held;
    m_held.clear();
    answer(held);
}

QList<QByteArray> SimulatedDongle::receivedBytesOf(const QString &id) const
{
    QList<QByteArray> frames;
    for (const ReceivedFrame &frame : m_received) {
        if (frame.id == id)
            frames << frame.bytes;
    }
    return frames;
}

void SimulatedDongle::refuse(const QString &id, quint8 status, const Which &which)
{
    m_faults[id].refuseStatus = status;
    m_faults[id].which = which;
}

void SimulatedDongle::withholdResult(const QString &id, const Which &which)
{
    m_faults[id].withhold = true;
    m_faults[id].which = which;
}

void SimulatedDongle::dropAcknowledgement(const QString &id, const Which &which)
{
    m_faults[id].acknowledgement = AcknowledgementFate::Dropped;
    m_faults[id].which = which;
}

void SimulatedDongle::holdAcknowledgement(const QString &id, const Which &which)
{
    m_faults[id].acknowledgement = AcknowledgementFate::Held;
    m_faults[id].which = which;
}

void SimulatedDongle::sendLater(const QString &id, int ms, Responder later)
{
    Fault &fault = m_faults[id];
    fault.laterMs = ms;
    fault.later = std::move(later);
}

void SimulatedDongle::clearFault(const QString &id)
{
    m_faults.remove(id);
}

void SimulatedDongle::clearFaults()
{
    m_faults.clear();
}
