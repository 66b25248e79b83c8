#include "simbehaviour_link.h"

#include "framebuilder.h"
#include "simulateddongle.h"

namespace {

const char ProbeId[] = "00@00";
const char HeartBeatId[] = "01@84";

QByteArray lengthPrefixed(const QByteArray &text)
{
    QByteArray bytes;
    bytes.append(char(text.size() & 0xFF));
    bytes.append(char((text.size() >> 8) & 0xFF));
    return bytes + text;
}

} // namespace

namespace LinkBehaviour {

QStringList defaultProbeTexts()
{
    return {QStringLiteral("Simulated Dongle"), QStringLiteral("Vantora Test"), QStringLiteral("1.0.0"),
            QStringLiteral("1.0"), QStringLiteral("Simulated dongle on a pseudo-terminal"), QStringLiteral("1.0")};
}

QByteArray probeReply(const QStringList &texts)
{
    QByteArray reply = FrameBuilder::fromHex("BB 00 00");
    for (const QString &text : texts)
        reply += lengthPrefixed(text.toUtf8());
    return reply;
}

void setProbeAnswer(SimulatedDongle &dongle, const QStringList &texts)
{
    const QByteArray reply = texts.isEmpty() ? QByteArray() : probeReply(texts);
    dongle.setResponder(ProbeId, [reply](const QByteArray &) {
        return reply.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{reply};
    });
}

void setHeartbeatAnswer(SimulatedDongle &dongle, int status)
{
    dongle.setResponder(HeartBeatId, [status](const QByteArray &frame) {
        if (status < 0)
            return QList<QByteArray>();
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame, quint8(status))};
    });
}

} // namespace LinkBehaviour

void installLinkBehaviour(SimulatedDongle &dongle)
{
    LinkBehaviour::setProbeAnswer(dongle, LinkBehaviour::defaultProbeTexts());
    LinkBehaviour::setHeartbeatAnswer(dongle, 0);
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("link"), installLinkBehaviour);
