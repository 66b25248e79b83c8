#include "simbehaviour_iso.h"

#include "framebuilder.h"
#include "simulateddongle.h"

namespace {

constexpr quint8 Layer = 0x06;
constexpr quint8 Result = 0xDD;

quint16 u16(const QByteArray &bytes, int offset)
{
    if (offset + 1 >= bytes.size())
        return 0;
    return quint16(quint8(bytes.at(offset)) | (quint8(bytes.at(offset + 1)) << 8));
}

quint8 u8(const QByteArray &bytes, int offset)
{
    return offset < bytes.size() ? quint8(bytes.at(offset)) : 0;
}

void appendU16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

void appendU32(QByteArray &bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

IsoBehaviour::IsoBehaviour(SimulatedDongle &dongle) : QObject(&dongle), m_dongle(&dongle)
{
    setObjectName(QStringLiteral("IsoBehaviour"));
}

IsoBehaviour::~IsoBehaviour() = default;

IsoBehaviour *IsoBehaviour::of(SimulatedDongle &dongle)
{
    return dongle.findChild<IsoBehaviour *>(QStringLiteral("IsoBehaviour"), Qt::FindDirectChildrenOnly);
}

IsoBehaviour *IsoBehaviour::install(SimulatedDongle &dongle)
{
    if (IsoBehaviour *existing = of(dongle))
        return existing;
    auto *behaviour = new IsoBehaviour(dongle);
    struct Row
    {
        const char *id;
        Handler handler;
    };
    static const Row rows[] = {
        {"06@02", &IsoBehaviour::onSetCig},        {"06@03", &IsoBehaviour::onCreateCis},
        {"06@0D", &IsoBehaviour::onDisconnectCis}, {"06@04", &IsoBehaviour::onRemoveCig},
        {"06@05", &IsoBehaviour::onAcceptCis},     {"06@06", &IsoBehaviour::onRejectCis},
        {"06@0B", &IsoBehaviour::onSetupDataPath}, {"06@0C", &IsoBehaviour::onRemoveDataPath},
        {"06@01", &IsoBehaviour::onReadTxSync},    {"06@0E", &IsoBehaviour::onSendIsoData},
    };
    QPointer<IsoBehaviour> guard(behaviour);
    for (const Row &row : rows) {
        const Handler handler = row.handler;
        dongle.setResponder(QString::fromLatin1(row.id), [guard, handler](const QByteArray &frame) {
            return guard ? (guard.data()->*handler)(frame) : QList<QByteArray>();
        });
    }
    return behaviour;
}

void installIsoBehaviour(SimulatedDongle &dongle)
{
    IsoBehaviour::install(dongle);
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("iso"), installIsoBehaviour);

// ---- frames ----

QByteArray IsoBehaviour::setCigResult(quint8 status, quint8 cigId, const QVector<quint16> &handles)
{
    QByteArray payload;
    payload.append(char(status));
    payload.append(char(cigId));
    payload.append(char(handles.size()));
    for (quint16 handle : handles)
        appendU16(payload, handle);
    return FrameBuilder::frame(Result, Layer, 0x02, payload);
}

QByteArray IsoBehaviour::cisEstablished(quint8 status, quint16 handle)
{
    QByteArray payload;
    payload.append(char(status));
    appendU16(payload, handle);
    appendU32(payload, 1000); // CIG sync delay
    appendU32(payload, 900);  // CIS sync delay
    appendU32(payload, 10000);
    appendU32(payload, 10000);
    payload.append(char(2));
    payload.append(char(2));
    return FrameBuilder::frame(Result, Layer, 0x03, payload);
}

QByteArray IsoBehaviour::cisDisconnected(quint16 handle, quint8 reason)
{
    QByteArray payload;
    appendU16(payload, handle);
    payload.append(char(reason));
    return FrameBuilder::frame(Result, Layer, 0x0B, payload);
}

QByteArray IsoBehaviour::removeCigResult(quint8 status, quint8 cigId)
{
    return FrameBuilder::frame(Result, Layer, 0x04, QByteArray(1, char(status)) + char(cigId));
}

QByteArray IsoBehaviour::cisRequest(quint8 aclIndex, quint16 handle, quint8 cigId, quint8 cisId)
{
    QByteArray payload(1, char(aclIndex));
    appendU16(payload, handle);
    payload.append(char(cigId));
    payload.append(char(cisId));
    return FrameBuilder::frame(Result, Layer, 0x10, payload);
}

QByteArray IsoBehaviour::dataPathResult(quint8 opcode, quint8 status, quint16 handle)
{
    QByteArray payload(1, char(status));
    appendU16(payload, handle);
    return FrameBuilder::frame(Result, Layer, opcode, payload);
}

QByteArray IsoBehaviour::txSyncResult(quint8 status, quint16 handle, quint16 packetSn, quint32 timeStamp,
                                      quint32 timeOffset)
{
    QByteArray payload(1, char(status));
    appendU16(payload, handle);
    appendU16(payload, packetSn);
    appendU32(payload, timeStamp);
    appendU32(payload, timeOffset);
    return FrameBuilder::frame(Result, Layer, 0x01, payload);
}

QByteArray IsoBehaviour::receiveIsoData(quint16 handle, quint32 timeStamp, quint16 packetSn, quint8 packetStatus,
                                        const QByteArray &data)
{
    QByteArray payload;
    appendU16(payload, handle);
    appendU32(payload, timeStamp);
    appendU16(payload, packetSn);
    payload.append(char(packetStatus));
    appendU16(payload, quint16(data.size()));
    payload += data;
    return FrameBuilder::frame(Result, Layer, 0x0F, payload);
}

// ---- the air ----

void IsoBehaviour::requestCis(quint8 aclIndex, quint16 handle, quint8 cigId, quint8 cisId)
{
    requestCises({CisRequest{aclIndex, handle, cigId, cisId}});
}

void IsoBehaviour::requestCises(const QList<CisRequest> &requests)
{
    QList<QByteArray> frames;
    for (const CisRequest &request : requests) {
        m_requested.append(request.handle);
        frames << cisRequest(request.aclIndex, request.handle, request.cigId, request.cisId);
    }
    if (m_dongle)
        m_dongle->sendUplinks(frames);
}

void IsoBehaviour::peerDisconnectsCis(quint16 handle, quint8 reason)
{
    m_established.removeAll(handle);
    if (m_dongle)
        m_dongle->sendUplink(cisDisconnected(handle, reason));
}

// ---- commands ----

QList<QByteArray> IsoBehaviour::onSetCig(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    const QByteArray payload = FrameBuilder::payloadOf(frame);
    const quint8 cigId = u8(payload, 0);
    const int count = u8(payload, 16);
    Cig cig = m_cigs.value(cigId);
    cig.id = cigId;
    if (cig.handles.size() != count) {
        cig.handles.clear();
        for (int i = 0; i < count; ++i)
            cig.handles << m_nextHandle++;
    }
    if (m_resultStatus == 0)
        m_cigs.insert(cigId, cig);
    return ack + QList<QByteArray>{setCigResult(m_resultStatus, cigId, m_resultStatus == 0 ? cig.handles
                                                                                            : QVector<quint16>())};
}

QList<QByteArray> IsoBehaviour::onCreateCis(const QByteArray &frame)
{
    QList<QByteArray> answers = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return answers;
    const QByteArray payload = FrameBuilder::payloadOf(frame);
    const int count = u8(payload, 0);
    for (int i = 0; i < count; ++i) {
        const quint16 handle = u16(payload, 1 + 3 * i);
        if (m_resultStatus == 0 && !m_established.contains(handle))
            m_established << handle;
        answers << cisEstablished(m_resultStatus, handle);
    }
    return answers;
}

QList<QByteArray> IsoBehaviour::onDisconnectCis(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    const quint16 handle = u16(FrameBuilder::payloadOf(frame), 0);
    if (m_ackStatus != 0 || !m_established.contains(handle))
        return ack;
    m_established.removeAll(handle);
    return ack + QList<QByteArray>{cisDisconnected(handle)};
}

QList<QByteArray> IsoBehaviour::onRemoveCig(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    const quint8 cigId = u8(FrameBuilder::payloadOf(frame), 0);
    if (m_resultStatus == 0)
        m_cigs.remove(cigId);
    return ack + QList<QByteArray>{removeCigResult(m_resultStatus, cigId)};
}

QList<QByteArray> IsoBehaviour::onAcceptCis(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    const quint16 handle = u16(FrameBuilder::payloadOf(frame), 0);
    if (m_ackStatus != 0)
        return ack;
    m_requested.removeAll(handle);
    if (m_resultStatus == 0)
        m_established << handle;
    return ack + QList<QByteArray>{cisEstablished(m_resultStatus, handle)};
}

QList<QByteArray> IsoBehaviour::onRejectCis(const QByteArray &frame)
{
    m_requested.removeAll(u16(FrameBuilder::payloadOf(frame), 0));
    return {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
}

QList<QByteArray> IsoBehaviour::onSetupDataPath(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    return ack + QList<QByteArray>{dataPathResult(0x09, m_resultStatus, u16(FrameBuilder::payloadOf(frame), 0))};
}

QList<QByteArray> IsoBehaviour::onRemoveDataPath(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    return ack + QList<QByteArray>{dataPathResult(0x0A, m_resultStatus, u16(FrameBuilder::payloadOf(frame), 0))};
}

QList<QByteArray> IsoBehaviour::onReadTxSync(const QByteArray &frame)
{
    const QList<QByteArray> ack = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus != 0)
        return ack;
    return ack + QList<QByteArray>{txSyncResult(m_resultStatus, u16(FrameBuilder::payloadOf(frame), 0), m_packetSn, 123456, 789)};
}

QList<QByteArray> IsoBehaviour::onSendIsoData(const QByteArray &frame)
{
    const QByteArray payload = FrameBuilder::payloadOf(frame);
    m_sent << payload;
    QList<QByteArray> answers = {SimulatedDongle::acknowledgement(frame, m_ackStatus)};
    if (m_ackStatus == 0 && m_loopback)
        answers << receiveIsoData(u16(payload, 0), 1000u * m_packetSn, m_packetSn, 0, payload.mid(4));
    ++m_packetSn;
    return answers;
}
