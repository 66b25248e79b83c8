#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QVector>

class SimulatedDongle;

// The controller side of connected isochronous groups and streams: CIGs set
// and removed, CISes created, accepted and disconnected, ISO data paths and
// the SDUs sent on a stream. Answers follow the uplink catalogue: the
// acknowledgement "BB 06 opcode 01 00 status", then the result or event.
//
//   IsoBehaviour *iso = IsoBehaviour::install(dongle);
//   iso->requestCis(0, 0x20, 2, 3);        // a peer central asks for a CIS
//   dongle.sendUplink(IsoBehaviour::receiveIsoData(0x60, 1, 2, 0, "\x01"));
class IsoBehaviour : public QObject
{
    Q_OBJECT

public:
    struct Cig
    {
        quint8 id = 0;
        QVector<quint16> handles;
    };

    explicit IsoBehaviour(SimulatedDongle &dongle);
    ~IsoBehaviour() override;

    static IsoBehaviour *of(SimulatedDongle &dongle);
    static IsoBehaviour *install(SimulatedDongle &dongle);

    // Status of the next acknowledgements and results (0: success).
    void setAckStatus(quint8 status) { m_ackStatus = status; }
    void setResultStatus(quint8 status) { m_resultStatus = status; }
    // The first handle the next CIG gets; later CISes count up from it.
    void setFirstHandle(quint16 handle) { m_nextHandle = handle; }
    // Echo every sent SDU back as received ISO data on the same handle.
    void setLoopback(bool loopback) { m_loopback = loopback; }

    QMap<quint8, Cig> cigs() const { return m_cigs; }
    QList<quint16> establishedStreams() const { return m_established; }
    // Payloads of every "Send ISO data" in arrival order.
    QList<QByteArray> sentSdus() const { return m_sent; }

    struct CisRequest
    {
        quint8 aclIndex = 0;
        quint16 handle = 0;
        quint8 cigId = 0;
        quint8 cisId = 0;
    };

    // Things the air does by itself.
    void requestCis(quint8 aclIndex, quint16 handle, quint8 cigId, quint8 cisId);
    // A central sets up several CISes of one CIG to this peripheral: the
    // requests leave back to back, in one write.
    void requestCises(const QList<CisRequest> &requests);
    QList<quint16> requestedHandles() const { return m_requested; }
    void peerDisconnectsCis(quint16 handle, quint8 reason = 0x13);

    // Uplink frames without checksum.
    static QByteArray setCigResult(quint8 status, quint8 cigId, const QVector<quint16> &handles);
    static QByteArray cisEstablished(quint8 status, quint16 handle);
    static QByteArray cisDisconnected(quint16 handle, quint8 reason = 0x16);
    static QByteArray removeCigResult(quint8 status, quint8 cigId);
    static QByteArray cisRequest(quint8 aclIndex, quint16 handle, quint8 cigId, quint8 cisId);
    static QByteArray dataPathResult(quint8 opcode, quint8 status, quint16 handle);
    static QByteArray txSyncResult(quint8 status, quint16 handle, quint16 packetSn, quint32 timeStamp,
                                   quint32 timeOffset);
    static QByteArray receiveIsoData(quint16 handle, quint32 timeStamp, quint16 packetSn, quint8 packetStatus,
                                     const QByteArray &data);

private:
    using Handler = QList<QByteArray> (IsoBehaviour::*)(const QByteArray &frame);

    QList<QByteArray> onSetCig(const QByteArray &frame);
    QList<QByteArray> onCreateCis(const QByteArray &frame);
    QList<QByteArray> onDisconnectCis(const QByteArray &frame);
    QList<QByteArray> onRemoveCig(const QByteArray &frame);
    QList<QByteArray> onAcceptCis(const QByteArray &frame);
    QList<QByteArray> onRejectCis(const QByteArray &frame);
    QList<QByteArray> onSetupDataPath(const QByteArray &frame);
    QList<QByteArray> onRemoveDataPath(const QByteArray &frame);
    QList<QByteArray> onReadTxSync(const QByteArray &frame);
    QList<QByteArray> onSendIsoData(const QByteArray &frame);

    QPointer<SimulatedDongle> m_dongle;
    quint8 m_ackStatus = 0;
    quint8 m_resultStatus = 0;
    quint16 m_nextHandle = 0x60;
    bool m_loopback = false;
    QMap<quint8, Cig> m_cigs;
    QList<quint16> m_established;
    QList<quint16> m_requested;
    QList<QByteArray> m_sent;
    quint16 m_packetSn = 0;
};

void installIsoBehaviour(SimulatedDongle &dongle);
