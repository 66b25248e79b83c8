#include "simbehaviour_bootloader.h"

#include "framebuilder.h"
#include "simulateddongle.h"

#include <QPointer>
#include <QTimer>
#include <QtEndian>

namespace {
const quint16 kCommands[] = {0x23, 0x24, 0x25, 0x02};

quint32 u32At(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint32 byteSum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return sum;
}
} // namespace

SimBootLoader::SimBootLoader(SimulatedDongle &dongle)
    : QObject(&dongle)
    , m_dongle(dongle)
{
    for (const quint16 command : kCommands) {
        dongle.setResponder(QStringLiteral("QK@%1").arg(command, 4, 16, QLatin1Char('0')),
                            [this](const QByteArray &frame) { return onFrame(frame); });
    }
}

void SimBootLoader::setFault(Fault fault, quint16 command)
{
    m_fault = fault;
    m_faultCommand = command;
}

void SimBootLoader::refuseFrame(quint16 command, int occurrence)
{
    m_refusedCommand = command;
    m_refusedOccurrence = occurrence;
}

QByteArray SimBootLoader::answer(quint16 command, quint8 status)
{
    return FrameBuilder::bootFrame(command, QByteArray(1, char(status)));
}

SimBootLoader::Stage *SimBootLoader::currentStage()
{
    return m_stages.isEmpty() ? nullptr : &m_stages.last();
}

void SimBootLoader::check(const QByteArray &frame, quint16 command, const QByteArray &payload)
{
    const auto fail = [this, command](const QString &what) {
        m_errors << QStringLiteral("command 0x%1: %2").arg(command, 2, 16, QLatin1Char('0')).arg(what);
    };
    Q_UNUSED(frame)
    switch (command) {
    case 0x23: {
        if (payload.size() != 41 || payload.at(0) != 0 || !payload.mid(1).startsWith("QK")) {
            fail(QStringLiteral("start frame is not 00 and the 40 trailer bytes"));
            return;
        }
        Stage stage;
        stage.trailerCopy = payload.mid(1);
        stage.firstAddress = u32At(stage.trailerCopy, 12);
        m_stages << stage;
        return;
    }
    case 0x24: {
        Stage *stage = currentStage();
        if (!stage || stage->ran) {
            fail(QStringLiteral("flash frame before a start frame"));
            return;
        }
        if (payload.size() < 7 || payload.at(0) != 1) {
            fail(QStringLiteral("flash frame without its 7-byte head"));
            return;
        }
        const quint32 address = u32At(payload, 1);
        const int count = qFromLittleEndian<quint16>(payload.constData() + 5);
        if (count > 1024 || payload.size() != 7 + count)
            fail(QStringLiteral("flash frame length %1 does not match its count %2").arg(payload.size()).arg(count));
        if (address != stage->firstAddress + quint32(stage->flashed.size()))
            fail(QStringLiteral("flash address 0x%1 is not contiguous").arg(address, 8, 16, QLatin1Char('0')));
        stage->addresses << address;
        stage->flashed += payload.mid(7);
        ++stage->flashFrames;
        return;
    }
    case 0x25: {
        Stage *stage = currentStage();
        if (!stage || payload.size() != 5 || payload.at(0) != 0) {
            fail(QStringLiteral("end frame is not 00 and a u32 sum after a start"));
            return;
        }
        stage->endSum = u32At(payload, 1);
        stage->endSumMatches = stage->endSum == byteSum(stage->flashed);
        if (!stage->endSumMatches)
            fail(QStringLiteral("end sum does not match the flashed bytes"));
        return;
    }
    case 0x02: {
        Stage *stage = currentStage();
        if (!stage || payload != stage->trailerCopy.mid(4, 24)) {
            fail(QStringLiteral("reset-and-run bytes are not trailer bytes 4 to 27"));
            return;
        }
        stage->runBytes = payload;
        stage->ran = true;
        return;
    }
    default:
        fail(QStringLiteral("unknown command"));
    }
}

QList<QByteArray> SimBootLoader::onFrame(const QByteArray &frame)
{
    ++m_framesSeen;
    const quint16 command = qFromLittleEndian<quint16>(frame.constData() + 2);
    check(frame, command, frame.mid(6, frame.size() - 8));

    const bool faulty = m_fault != NoFault && (m_faultCommand == AnyCommand || m_faultCommand == command);
    const bool refused = command == m_refusedCommand && ++m_seenOf[command] == m_refusedOccurrence;
    if (faulty && m_fault == Silence)
        return {};
    QByteArray reply = answer(command, (faulty && m_fault == BadStatus) || refused ? 0 : 1);
    if (faulty && m_fault == WrongSum)
        reply[reply.size() - 1] = char(reply.at(reply.size() - 1) ^ 0x55);
    if (m_repeatAnswers)
        reply += reply;
    m_wireBytes += frame.size() + reply.size();

    if (!m_lineRate) {
        m_dongle.sendRaw(reply);
        return {};
    }
    const int delayMs = qRound((frame.size() + reply.size()) / LineBytesPerMs);
    QPointer<SimulatedDongle> dongle(&m_dongle);
    QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [dongle, reply] {
        if (dongle)
            dongle->sendRaw(reply);
    });
    return {};
}

void installBootLoaderBehaviour(SimulatedDongle &dongle)
{
    new SimBootLoader(dongle);
}

namespace {
const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("bootloader"), installBootLoaderBehaviour);
} // namespace
