#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>

class SimulatedDongle;

// The dongle's side of LE credit-based channels, kept as real state: channels
// this side creates or accepts, credits both ways, SDUs sent and received,
// PSM registration and disconnection. The peer is played by calls on this
// object (a channel request, SDUs, credit grants, a disconnection).
//
//   L2capBehaviour *l2cap = L2capBehaviour::install(dongle);
//   l2cap->setChannelPlan({512, 247, 10});        // the peer of the next channels
//   l2cap->peerSendsSdu(0, 64, "\x01\x02");        // "Received SDU" for channel 64
//
// Every command gets its acknowledgement "BB 04 opcode 01 00 status" (the
// reply to a channel request "BB 07 01 ..."), then its result. A "Send SDU"
// takes ceil((length + 2) / peer MPS) of the peer's credits; without enough it
// is answered with status 0x2A and held by the program until credits come.
class L2capBehaviour : public QObject
{
    Q_OBJECT

public:
    enum Status : quint8 {
        Success = 0,
        CreditError = 0x2A,
        InvalidCid = 0x33,
        CidInUse = 0x3E,
    };
    enum AckStatus : quint8 { AckSuccess = 0, AckItemNotFound = 9 };
    static constexpr quint8 ReasonRemoteUser = 0x13;
    static constexpr quint8 ReasonLocalHost = 0x16;

    // The peer's side of the channels this side creates.
    struct ChannelPlan
    {
        quint16 peerMtu = 512;
        quint16 peerMps = 247;
        quint16 peerCredits = 10;
        quint8 status = Success; // not 0: creation fails with it
    };

    struct Channel
    {
        quint8 condix = 0;
        quint16 localCid = 0;
        quint16 peerCid = 0;
        quint16 psm = 0;
        quint16 localMtu = 0;
        quint16 localMps = 0;
        qint64 localCredits = 0; // the peer may still send this many K-frames
        quint16 peerMtu = 0;
        quint16 peerMps = 0;
        qint64 peerCredits = 0;  // this side may still send this many K-frames
        QByteArray delivered;    // SDU bytes the peer got, in order
        int sdusDelivered = 0;
    };

    explicit L2capBehaviour(SimulatedDongle &dongle);
    ~L2capBehaviour() override;

    static L2capBehaviour *of(SimulatedDongle &dongle);
    static L2capBehaviour *install(SimulatedDongle &dongle);

    void setChannelPlan(const ChannelPlan &plan) { m_plan = plan; }
    // Statuses for the next "Send SDU" results, before credits are looked at.
    void setSduResults(const QList<quint8> &statuses) { m_sduResults = statuses; }

    bool hasChannel(quint8 condix, quint16 localCid) const { return m_channels.contains(keyOf(condix, localCid)); }
    Channel channel(quint8 condix, quint16 localCid) const { return m_channels.value(keyOf(condix, localCid)); }
    int channelCount() const { return m_channels.size(); }
    QSet<quint8> registeredPsms() const { return m_psms; }
    int sduCommands() const { return m_sduCommands; }

    // A peer's request for a channel, waiting for this side's reply.
    struct Request
    {
        quint16 psm = 0;
        quint16 peerCid = 0;
        quint16 peerMtu = 0;
        quint16 peerMps = 0;
        quint16 peerCredits = 10;
    };

    // --- the peer ---
    void peerRequestsChannel(quint8 condix, quint16 psm, quint16 peerCid, quint16 peerMtu, quint16 peerMps,
                             quint16 peerCredits = 10);
    // Several channels opened back to back: the requests leave in one write,
    // each waiting for its own reply (by its peer CID).
    void peerRequestsChannels(quint8 condix, const QList<Request> &requests);
    int waitingRequests() const { return m_requests.size(); }
    // False, and nothing sent, when the channel is unknown or the peer has too few credits.
    bool peerSendsSdu(quint8 condix, quint16 localCid, const QByteArray &data);
    bool peerGrantsCredits(quint8 condix, quint16 localCid, quint16 credits);
    bool peerDisconnects(quint8 condix, quint16 localCid, quint8 reason = ReasonRemoteUser);
    // K-frames one SDU takes at an MPS.
    static int framesFor(int sduLength, int mps);

    // Uplink frames without checksum, for tests that feed a page directly.
    static QByteArray creatingResult(quint8 opStatus, quint8 status, quint16 psm, quint16 localCid,
                                     quint16 localCredits, quint16 peerCredits, quint16 peerMtu, quint16 peerMps,
                                     quint8 condix);
    static QByteArray sendingSduResult(quint16 localCid, quint16 credits, quint8 status, quint8 condix);
    static QByteArray channelRequest(quint16 psm, quint16 peerCid, quint16 peerMtu, quint16 peerMps, quint8 condix);
    static QByteArray receivedSdu(quint16 localCid, quint16 credits, const QByteArray &data, quint8 condix);
    static QByteArray localCreditsResult(quint8 status, quint16 localCid, quint8 condix);
    static QByteArray disconnectResult(quint8 status, quint16 localCid, quint8 reason, quint8 condix);
    static QByteArray remoteCredits(quint16 localCid, quint16 credits, quint8 condix);

private:
    using Key = QPair<quint8, quint16>;
    static Key keyOf(quint8 condix, quint16 cid) { return qMakePair(condix, cid); }

    void addChannel(const Channel &channel);
    QList<QByteArray> onCreate(const QByteArray &frame);
    QList<QByteArray> onSendSdu(const QByteArray &frame);
    QList<QByteArray> onRequestReply(const QByteArray &frame);
    QList<QByteArray> onLocalCredits(const QByteArray &frame);
    QList<QByteArray> onRegisterPsm(const QByteArray &frame);
    QList<QByteArray> onUnregisterPsm(const QByteArray &frame);
    QList<QByteArray> onDisconnect(const QByteArray &frame);
    void send(const QByteArray &frame);

    QPointer<SimulatedDongle> m_dongle;
    ChannelPlan m_plan;
    QList<quint8> m_sduResults;
    QMap<Key, Channel> m_channels;
    QMap<Key, Request> m_requests; // by condix and peer CID: the peer's requests waiting for their reply
    QSet<quint8> m_psms;
    int m_sduCommands = 0;
};

void installL2capBehaviour(SimulatedDongle &dongle);
