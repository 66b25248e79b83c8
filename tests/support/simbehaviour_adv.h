#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>

class SimulatedDongle;

// The controller side of advertising sets: parameters, data, start and stop,
// kept as real state so that the events agree with what was configured.
//
//   AdvertisingBehaviour *adv = AdvertisingBehaviour::install(dongle);
//   adv->setMaxSets(2);               // the controller's limit on sets
//   adv->setAckStatus("01@2B", 0x15); // refuse the next extended parameters
//
// Every command gets its 6-byte acknowledgement; a start or stop that the
// controller accepts is followed by its event "Advertising Start" (DD@01@28)
// or "Advertising Stop" (DD@01@2A). A refused command changes nothing and
// sends no event. A reset forgets every set.
class AdvertisingBehaviour : public QObject
{
    Q_OBJECT

public:
    enum AckStatus : quint8 {
        AckSuccess = 0,
        AckInvalidParam = 1,
        AckListFull = 11,
        AckInvalidDataLength = 14,
        AckDisallowed = 15,
        AckInvalidAdvIndex = 21,
    };
    enum Kind { Legacy, Extended, Periodic };

    struct Set
    {
        Kind kind = Legacy;
        QByteArray parameters; // payload of the parameter command
        QList<QByteArray> data; // advertising, scan response (and periodic) data
        bool hasData = false;
        bool advertising = false;
    };

    explicit AdvertisingBehaviour(SimulatedDongle &dongle);
    ~AdvertisingBehaviour() override;

    static AdvertisingBehaviour *of(SimulatedDongle &dongle);
    static AdvertisingBehaviour *install(SimulatedDongle &dongle);

    // Sets the controller keeps at once (indexes 0 to maxSets - 1).
    void setMaxSets(int count) { m_maxSets = count; }
    // The next acknowledgement of that downlink ID carries this status, and
    // the command changes nothing.
    void setAckStatus(const QString &id, quint8 status) { m_ackOverrides.insert(id, status); }
    // The next start event carries this status (the set does not start).
    void setStartEventStatus(quint8 status) { m_startEventStatus = status; }

    const QMap<int, Set> &sets() const { return m_sets; }
    bool isAdvertising(int index) const { return m_sets.value(index).advertising; }
    int advertisingCount() const;

    // Events as the dongle sends them (no checksum).
    static QByteArray startEvent(quint8 status, quint8 index);
    static QByteArray stopEvent(quint8 status, quint8 reason, quint8 index);

private:
    using Handler = QList<QByteArray> (AdvertisingBehaviour::*)(const QByteArray &frame);

    QList<QByteArray> onParameters(const QByteArray &frame);
    QList<QByteArray> onData(const QByteArray &frame);
    QList<QByteArray> onStart(const QByteArray &frame);
    QList<QByteArray> onStop(const QByteArray &frame);
    // The set index of a start or stop command, or -1 with the answer that refuses it.
    int indexCommand(const QByteArray &frame, QList<QByteArray> *refusal);
    void onFrameReceived(const QByteArray &frame);
    // The acknowledgement, or the override queued for this ID.
    QByteArray ack(const QByteArray &frame, quint8 status);
    bool overridden(const QByteArray &frame) const;

    QMap<int, Set> m_sets;
    QMap<QString, quint8> m_ackOverrides;
    int m_maxSets = 5;
    quint8 m_startEventStatus = 0;
};

void installAdvertisingBehaviour(SimulatedDongle &dongle);
