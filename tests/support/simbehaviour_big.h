#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QVector>

class SimulatedDongle;

// The controller side of broadcast isochronous groups: BIGs created and
// terminated on an advertising set, and BIGs synchronised to and left as
// receiver. Answers: the acknowledgement "BB 06 opcode 01 00 status", then
// the result. ISO data paths and SDUs on the BIS handles are the ISO
// behaviour's (simbehaviour_iso).
//
//   BigBehaviour *big = BigBehaviour::install(dongle);
//   big->setFirstHandle(0x10);             // BIS handles count up from here
class BigBehaviour : public QObject
{
    Q_OBJECT

public:
    struct Group
    {
        quint8 id = 0;
        QVector<quint16> handles;
    };

    explicit BigBehaviour(SimulatedDongle &dongle);
    ~BigBehaviour() override;

    static BigBehaviour *of(SimulatedDongle &dongle);
    static BigBehaviour *install(SimulatedDongle &dongle);

    // Status of the next acknowledgements and results (0: success).
    void setAckStatus(quint8 status) { m_ackStatus = status; }
    void setResultStatus(quint8 status) { m_resultStatus = status; }
    void setFirstHandle(quint16 handle) { m_nextHandle = handle; }

    // BIGs broadcast and BIGs synchronised to, by BIG ID.
    QMap<quint8, Group> created() const { return m_created; }
    QMap<quint8, Group> synchronised() const { return m_synchronised; }

    // Uplink frames without checksum.
    static QByteArray createBigResult(quint8 status, quint8 bigId, const QVector<quint16> &handles);
    static QByteArray terminateBigResult(quint8 reason, quint8 bigId);
    static QByteArray createSyncResult(quint8 status, quint8 bigId, const QVector<quint16> &handles);
    static QByteArray terminateSyncResult(quint8 status, quint8 bigId);
    // A result whose count field says one thing and whose handle list another.
    static QByteArray createSyncResult(quint8 status, quint8 bigId, quint8 count, const QByteArray &handleBytes);

private:
    using Handler = QList<QByteArray> (BigBehaviour::*)(const QByteArray &frame);

    QList<QByteArray> onCreateBig(const QByteArray &frame);
    QList<QByteArray> onTerminateBig(const QByteArray &frame);
    QList<QByteArray> onCreateSync(const QByteArray &frame);
    QList<QByteArray> onTerminateSync(const QByteArray &frame);
    QVector<quint16> nextHandles(int count);

    QPointer<SimulatedDongle> m_dongle;
    quint8 m_ackStatus = 0;
    quint8 m_resultStatus = 0;
    quint16 m_nextHandle = 0x10;
    QMap<quint8, Group> m_created;
    QMap<quint8, Group> m_synchronised;
};

void installBigBehaviour(SimulatedDongle &dongle);
