#include "simbehaviour_l2cap.h"

#include "framebuilder.h"
#include "simulateddongle.h"

#include <QVariant>

namespace {

const char PropertyName[] = "vantoraL2capBehaviour";

quint16 le16(const QByteArray &frame, int offset)
{
    if (offset + 1 >= frame.size())
        return 0;
    return quint16(quint8(frame.at(offset)) | (quint8(frame.at(offset + 1)) << 8));
}

quint8 byteAt(const QByteArray &frame, int offset)
{
    return offset < frame.size() ? quint8(frame.at(offset)) : 0;
}

void put16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

QByteArray result(quint8 opcode, const QByteArray &payload)
{
    return FrameBuilder::frame(0xDD, 0x04, opcode, payload);
}

} // namespace

L2capBehaviour::L2capBehaviour(SimulatedDongle &dongle)
    : QObject(&dongle)
    , m_dongle(&dongle)
{
    dongle.setProperty(PropertyName, QVariant::fromValue<QObject *>(this));
    auto row = [this](QList<QByteArray> (L2capBehaviour::*handler)(const QByteArray &)) {
        return [this, handler](const QByteArray &frame) { return (this->*handler)(frame); };
    };
    dongle.setResponder(QStringLiteral("04@01"), row(&L2capBehaviour::onCreate));
    dongle.setResponder(QStringLiteral("04@03"), row(&L2capBehaviour::onSendSdu));
    dongle.setResponder(QStringLiteral("04@07"), row(&L2capBehaviour::onRequestReply));
    dongle.setResponder(QStringLiteral("04@0B"), row(&L2capBehaviour::onLocalCredits));
    dongle.setResponder(QStringLiteral("04@0D"), row(&L2capBehaviour::onRegisterPsm));
    dongle.setResponder(QStringLiteral("04@0F"), row(&L2capBehaviour::onUnregisterPsm));
    dongle.setResponder(QStringLiteral("04@13"), row(&L2capBehaviour::onDisconnect));
}

L2capBehaviour::~L2capBehaviour() = default;

L2capBehaviour *L2capBehaviour::of(SimulatedDongle &dongle)
{
    return qobject_cast<L2capBehaviour *>(dongle.property(PropertyName).value<QObject *>());
}

L2capBehaviour *L2capBehaviour::install(SimulatedDongle &dongle)
{
    if (L2capBehaviour *existing = of(dongle))
        return existing;
    return new L2capBehaviour(dongle);
}

void installL2capBehaviour(SimulatedDongle &dongle)
{
    L2capBehaviour::install(dongle);
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("l2cap"), installL2capBehaviour);

int L2capBehaviour::framesFor(int sduLength, int mps)
{
    if (mps <= 0)
        return 0;
    return (sduLength + 2 + mps - 1) / mps;
}

void L2capBehaviour::send(const QByteArray &frame)
{
    if (m_dongle && !m_dongle->isSilent())
        m_dongle->sendUplink(frame);
}

// --- frames ---

QByteArray L2capBehaviour::creatingResult(quint8 opStatus, quint8 status, quint16 psm, quint16 localCid,
                                          quint16 localCredits, quint16 peerCredits, quint16 peerMtu,
                                          quint16 peerMps, quint8 condix)
{
    QByteArray payload;
    payload.append(char(opStatus));
    payload.append(char(status));
    put16(payload, psm);
    put16(payload, localCid);
    put16(payload, localCredits);
    put16(payload, peerCredits);
    put16(payload, peerMtu);
    put16(payload, peerMps);
    payload.append(char(condix));
    return result(0x02, payload);
}

QByteArray L2capBehaviour::sendingSduResult(quint16 localCid, quint16 credits, quint8 status, quint8 condix)
{
    QByteArray payload;
    put16(payload, localCid);
    put16(payload, credits);
    payload.append(char(status));
    payload.append(char(condix));
    return result(0x04, payload);
}

QByteArray L2capBehaviour::channelRequest(quint16 psm, quint16 peerCid, quint16 peerMtu, quint16 peerMps,
                                          quint8 condix)
{
    QByteArray payload;
    put16(payload, psm);
    put16(payload, peerCid);
    put16(payload, peerMtu);
    put16(payload, peerMps);
    payload.append(char(condix));
    return result(0x06, payload);
}

QByteArray L2capBehaviour::receivedSdu(quint16 localCid, quint16 credits, const QByteArray &data, quint8 condix)
{
    QByteArray payload;
    put16(payload, localCid);
    put16(payload, credits);
    put16(payload, quint16(data.size()));
    payload.append(char(condix));
    payload.append(data);
    return result(0x0A, payload);
}

QByteArray L2capBehaviour::localCreditsResult(quint8 status, quint16 localCid, quint8 condix)
{
    QByteArray payload;
    payload.append(char(status));
    put16(payload, localCid);
    payload.append(char(condix));
    return result(0x0C, payload);
}

QByteArray L2capBehaviour::disconnectResult(quint8 status, quint16 localCid, quint8 reason, quint8 condix)
{
    QByteArray payload;
    payload.append(char(status));
    put16(payload, localCid);
    payload.append(char(reason));
    payload.append(char(condix));
    return result(0x14, payload);
}

QByteArray L2capBehaviour::remoteCredits(quint16 localCid, quint16 credits, quint8 condix)
{
    QByteArray payload;
    put16(payload, localCid);
    put16(payload, credits);
    payload.append(char(condix));
    return result(0x15, payload);
}

// --- commands ---

void L2capBehaviour::addChannel(const Channel &channel)
{
    m_channels.insert(keyOf(channel.condix, channel.localCid), channel);
}

QList<QByteArray> L2capBehaviour::onCreate(const QByteArray &frame)
{
    const quint16 psm = le16(frame, 5);
    const quint16 cid = le16(frame, 7);
    const quint16 credits = le16(frame, 9);
    const quint16 mtu = le16(frame, 11);
    const quint16 mps = le16(frame, 13);
    const quint8 condix = byteAt(frame, 15);
    QList<QByteArray> answers{SimulatedDongle::acknowledgement(frame)};
    quint8 status = m_plan.status;
    if (status == Success && m_channels.contains(keyOf(condix, cid)))
        status = CidInUse;
    if (status != Success) {
        answers.append(creatingResult(0, status, psm, cid, credits, 0, 0, 0, condix));
        return answers;
    }
    addChannel(Channel{condix, cid, quint16(0x40 + m_channels.size()), psm, mtu, mps, credits, m_plan.peerMtu,
                       m_plan.peerMps, m_plan.peerCredits, {}, 0});
    answers.append(creatingResult(0, 0, psm, cid, credits, m_plan.peerCredits, m_plan.peerMtu, m_plan.peerMps,
                                  condix));
    return answers;
}

QList<QByteArray> L2capBehaviour::onSendSdu(const QByteArray &frame)
{
    ++m_sduCommands;
    const quint16 cid = le16(frame, 5);
    const quint16 length = le16(frame, 7);
    const quint8 condix = byteAt(frame, 9);
    const QByteArray data = frame.mid(10, frame.size() - 11); // checksum last
    QList<QByteArray> answers{SimulatedDongle::acknowledgement(frame)};
    const auto found = m_channels.find(keyOf(condix, cid));
    if (found == m_channels.end() || length != data.size()) {
        answers.append(sendingSduResult(cid, 0, InvalidCid, condix));
        return answers;
    }
    if (!m_sduResults.isEmpty()) {
        const quint8 planned = m_sduResults.takeFirst();
        if (planned != Success) {
            answers.append(sendingSduResult(cid, 0, planned, condix));
            return answers;
        }
    }
    const int needed = framesFor(data.size(), found->peerMps);
    if (needed > found->peerCredits) {
        answers.append(sendingSduResult(cid, 0, CreditError, condix));
        return answers;
    }
    found->peerCredits -= needed;
    found->delivered.append(data);
    ++found->sdusDelivered;
    answers.append(sendingSduResult(cid, quint16(needed), Success, condix));
    return answers;
}

QList<QByteArray> L2capBehaviour::onRequestReply(const QByteArray &frame)
{
    const bool accept = byteAt(frame, 5) != 0;
    const quint16 peerCid = le16(frame, 6);
    const quint16 cid = le16(frame, 8);
    const quint16 credits = le16(frame, 10);
    const quint16 mtu = le16(frame, 12);
    const quint16 mps = le16(frame, 14);
    const quint8 condix = byteAt(frame, 16);
    QList<QByteArray> answers{FrameBuilder::frame(0xBB, 0x07, 0x01, QByteArray(1, char(0)))};
    if (!m_requests.contains(keyOf(condix, peerCid)))
        return answers;
    const Request request = m_requests.take(keyOf(condix, peerCid));
    if (!accept)
        return answers;
    if (m_channels.contains(keyOf(condix, cid))) {
        answers.append(creatingResult(0, CidInUse, request.psm, cid, credits, 0, 0, 0, condix));
        return answers;
    }
    addChannel(Channel{condix, cid, peerCid, request.psm, mtu, mps, credits, request.peerMtu, request.peerMps,
                       request.peerCredits, {}, 0});
    answers.append(creatingResult(0, 0, request.psm, cid, credits, request.peerCredits, request.peerMtu,
                                  request.peerMps, condix));
    return answers;
}

QList<QByteArray> L2capBehaviour::onLocalCredits(const QByteArray &frame)
{
    const quint16 cid = le16(frame, 5);
    const quint16 credits = le16(frame, 7);
    const quint8 condix = byteAt(frame, 9);
    QList<QByteArray> answers{SimulatedDongle::acknowledgement(frame)};
    const auto found = m_channels.find(keyOf(condix, cid));
    if (found == m_channels.end()) {
        answers.append(localCreditsResult(InvalidCid, cid, condix));
        return answers;
    }
    found->localCredits += credits;
    answers.append(localCreditsResult(Success, cid, condix));
    return answers;
}

QList<QByteArray> L2capBehaviour::onRegisterPsm(const QByteArray &frame)
{
    m_psms.insert(byteAt(frame, 5));
    return {SimulatedDongle::acknowledgement(frame)};
}

QList<QByteArray> L2capBehaviour::onUnregisterPsm(const QByteArray &frame)
{
    const bool known = m_psms.remove(byteAt(frame, 5));
    return {SimulatedDongle::acknowledgement(frame, known ? AckSuccess : AckItemNotFound)};
}

QList<QByteArray> L2capBehaviour::onDisconnect(const QByteArray &frame)
{
    const quint16 cid = le16(frame, 5);
    const quint8 condix = byteAt(frame, 7);
    QList<QByteArray> answers{SimulatedDongle::acknowledgement(frame)};
    if (!m_channels.remove(keyOf(condix, cid))) {
        answers.append(disconnectResult(InvalidCid, cid, 0, condix));
        return answers;
    }
    answers.append(disconnectResult(Success, cid, ReasonLocalHost, condix));
    return answers;
}

// --- the peer ---

void L2capBehaviour::peerRequestsChannel(quint8 condix, quint16 psm, quint16 peerCid, quint16 peerMtu,
                                         quint16 peerMps, quint16 peerCredits)
{
    peerRequestsChannels(condix, {Request{psm, peerCid, peerMtu, peerMps, peerCredits}});
}

void L2capBehaviour::peerRequestsChannels(quint8 condix, const QList<Request> &requests)
{
    QList<QByteArray> frames;
    for (const Request &request : requests) {
        m_requests.insert(keyOf(condix, request.peerCid), request);
        frames << channelRequest(request.psm, request.peerCid, request.peerMtu, request.peerMps, condix);
    }
    if (m_dongle && !m_dongle->isSilent())
        m_dongle->sendUplinks(frames);
}

bool L2capBehaviour::peerSendsSdu(quint8 condix, quint16 localCid, const QByteArray &data)
{
    const auto found = m_channels.find(keyOf(condix, localCid));
    if (found == m_channels.end())
        return false;
    const int needed = framesFor(data.size(), found->localMps);
    if (needed > found->localCredits)
        return false;
    found->localCredits -= needed;
    send(receivedSdu(localCid, quint16(needed), data, condix));
    return true;
}

bool L2capBehaviour::peerGrantsCredits(quint8 condix, quint16 localCid, quint16 credits)
{
    const auto found = m_channels.find(keyOf(condix, localCid));
    if (found == m_channels.end())
        return false;
    found->peerCredits += credits;
    send(remoteCredits(localCid, credits, condix));
    return true;
}

bool L2capBehaviour::peerDisconnects(quint8 condix, quint16 localCid, quint8 reason)
{
    if (!m_channels.remove(keyOf(condix, localCid)))
        return false;
    send(disconnectResult(Success, localCid, reason, condix));
    return true;
}
