#include "simbehaviour_big.h"

#include "framebuilder.h"
#include "simulateddongle.h"

namespace {

constexpr quint8 Layer = 0x06;
constexpr quint8 Result = 0xDD;

quint8 u8(const QByteArray &bytes, int offset)
{
    return offset < bytes.size() ? quint8(bytes.at(offset)) : 0;
}

void appendU32(QByteArray &bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray handleBytes(const QVector<quint16> &handles)
{
    QByteArray bytes;
    for (quint16 handle : handles) {
        bytes.append(char(handle & 0xFF));
        bytes.append(char(handle >> 8));
    }
    return bytes;
}

} // namespace

BigBehaviour::BigBehaviour(SimulatedDongle &dongle) : QObject(&dongle), m_dongle(&dongle)
{
    setObjectName(QStringLiteral("BigBehaviour"));
}

BigBehaviour::~BigBehaviour() = default;

BigBehaviour *BigBehaviour::of(SimulatedDongle &dongle)
{
    return dongle.findChild<BigBehaviour *>(QStringLiteral("BigBehaviour"), Qt::FindDirectChildrenOnly);
}

BigBehaviour *BigBehaviour::install(SimulatedDongle &dongle)
{
    if (BigBehaviour *existing = of(dongle))
        return existing;
    auto *behaviour = new BigBehaviour(dongle);
    struct Row
    {
        const char *id;
        Handler handler;
    };
    static const Row rows[] = {
        {"06@07", &BigBehaviour::onCreateBig},
        {"06@08", &BigBehaviour::onTerminateBig},
        {"06@09", &BigBehaviour::onCreateSync},
        {"06@0A", &BigBehaviour::onTerminateSync},
    };
    QPointer<BigBehaviour> guard(behaviour);
    for (const Row &row : rows) {
        const Handler handler = row.handler;
        dongle.setResponder(QString::fromLatin1(row.id), [guard, handler](const QByteArray &frame) {
            return guard ? (guard.data()->*handler)(frame) : QList<QByteArray>();
        });
    }
    return behaviour;
}

void installBigBehaviour(SimulatedDongle &dongle)
{
    BigBehaviour::install(dongle);
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("big"), installBigBehaviour);

// ---- frames ----

QByteArray BigBehaviour::createBigResult(quint8 status, quint8 bigId, const QVector<quint16> &handles)
{
    QByteArray payload;
    payload.append(char(status));
    payload.append(char(bigId));
    appendU32(payload, 2000); // BIG sync delay
    appendU32(payload, 12000); // transport latency
    payload.append(char(handles.size()));
    return FrameBuilder::frame(Result, Layer, 0x05, payload + handleBytes(handles));
}

QByteArray BigBehaviour::terminateBigResult(quint8 reason, quint8 bigId)
{
    return FrameBuilder::frame(Result, Layer, 0x06, QByteArray(1, char(reason)) + char(bigId));
}

QByteArray BigBehaviour::createSyncResult(quint8 status, quint8 bigId, quint8 count, const QByteArray &handleBytes)
{
    QByteArray payload;
    payload.append(char(status));
    payload.append(char(bigId));
    appendU32(payload, 12000); // transport latency
    payload.append(char(count));
    return FrameBuilder::frame(Result, Layer, 0x07, payload + handleBytes);
}

QByteArray BigBehaviour::createSyncResult(quint8 status, quint8 bigId, const QVector<quint16> &handles)
{
    return createSyncResult(status, bigId, quint8(handles.size()), handleBytes(handles));
}

QByteArray BigBehaviour::terminateSyncResult(quint8 status, quint8 bigId)
{
    return FrameBuilder::frame(Result, Layer, 0x12, QByteArray(1, char(status)) + char(bigId));
}

// ---- commands ----

QVector<quint16> BigBehaviour::nextHandles(int count)
{
    QVector<quint16> handles;
    for (int i = 0; i < count; ++i)
        handles << m_nextHandle++;
    return handles;
}

QList<QByteArray> BigBehaviour::onCreateBig(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    const QByteArray payload = FrameBuilder::payloadOf(frame);
    Group group;
    group.id = u8(payload, 0);
    if (m_resultStatus != 0)
        return ack + QList<QByteArray>{createBigResult(m_resultStatus, group.id, {})};
    group.handles = nextHandles(u8(payload, 2));
    m_created.insert(group.id, group);
    return ack + QList<QByteArray>{createBigResult(0, group.id, group.handles)};
}

QList<QByteArray> BigBehaviour::onTerminateBig(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    const quint8 bigId = u8(FrameBuilder::payloadOf(frame), 0);
    if (m_ackStatus != 0 || !m_created.contains(bigId))
        return ack;
    m_created.remove(bigId);
    return ack + QList<QByteArray>{terminateBigResult(0x16, bigId)};
}

QList<QByteArray> BigBehaviour::onCreateSync(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    const QByteArray payload = FrameBuilder::payloadOf(frame);
    Group group;
    group.id = u8(payload, 0);
    const int count = u8(payload, 3);
    if (m_resultStatus != 0)
        return ack + QList<QByteArray>{createSyncResult(m_resultStatus, group.id, {})};
    group.handles = nextHandles(count);
    m_synchronised.insert(group.id, group);
    return ack + QList<QByteArray>{createSyncResult(0, group.id, group.handles)};
}

QList<QByteArray> BigBehaviour::onTerminateSync(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    const quint8 bigId = u8(FrameBuilder::payloadOf(frame), 0);
    if (m_resultStatus == 0)
        m_synchronised.remove(bigId);
    return ack + QList<QByteArray>{terminateSyncResult(m_resultStatus, bigId)};
}
