#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVector>

class SimulatedDongle;

// The controller side of connections, periodic syncs and the four device
// lists (white, bond, periodic advertiser, resolving), kept as real state so
// that add, delete, clear and get agree with each other and with the limits.
//
//   installListsBehaviour(dongle);
//   ListsBehaviour *lists = ListsBehaviour::of(dongle);
//   lists->setConnectPlan({...});  // how the next attempts end
//   lists->addBond(...);           // seed what the dongle would have stored
//
// Answers follow the uplink catalogue: a 6-byte acknowledgement "BB layer
// opcode 01 00 status" for every command, then the result or event frames.
// An acknowledgement that is not 0 refuses the command: no event follows and
// no state changes. A reset command forgets connections, syncs, the white
// list and the periodic advertiser list; bonds (and with them the resolving
// list) survive it, as stored keys do.
class ListsBehaviour : public QObject
{
    Q_OBJECT

public:
    // Acknowledgement status codes.
    enum AckStatus : quint8 {
        AckSuccess = 0,
        AckInvalidParam = 1,
        AckInvalidConnectionIndex = 3,
        AckBusy = 6,
        AckItemNotFound = 9,
        AckItemExists = 10,
        AckListFull = 11,
        AckDisallowed = 15,
        AckNoResources = 16,
    };
    // Result codes of event frames.
    enum EventStatus : quint8 {
        EventSuccess = 0,
        EventTimeout = 0x45,
        EventConnectionLimit = 0x99,
        EventConnectionExists = 0x9B,
    };
    // Disconnection reasons.
    enum Reason : quint8 {
        ReasonRemoteUser = 0x13,
        ReasonLocalHost = 0x16,
    };

    struct Limits
    {
        int whiteList = 10;
        int bondList = 8;
        int periodicList = 4;
        int connections = 8;
        int syncs = 4;
    };

    struct Device
    {
        QByteArray addr; // 6 bytes, least significant first
        quint8 addrType = 0;
        quint8 advSid = 0; // periodic advertiser list only
        bool operator==(const Device &other) const
        {
            return addr == other.addr && addrType == other.addrType && advSid == other.advSid;
        }
    };

    struct Bond
    {
        QByteArray addr;
        quint8 addrType = 0;
        quint8 privacyMode = 0; // 0 network, 1 device
        QByteArray peerIrk;     // 16 bytes
        QByteArray localIrk;    // 16 bytes
    };

    struct Connection
    {
        quint8 condix = 0;
        QByteArray addr;
        quint8 addrType = 0;
        quint8 role = 0;
        bool automatic = false;
    };

    struct Sync
    {
        quint8 index = 0;
        quint16 handle = 0;
        Device advertiser;
        bool fromList = false; // waits for the first advertiser of the periodic advertiser list
        bool established = false;
    };

    // How the next connection attempts end.
    struct ConnectPlan
    {
        quint8 ackStatus = AckSuccess; // not 0: refused at once
        int delayMs = 0;               // before the connection event; -1: pending until cancelled
        quint8 eventStatus = EventSuccess;
        quint8 role = 0;
    };

    // How the next sync starts end.
    struct SyncPlan
    {
        quint8 ackStatus = AckSuccess;
        int delayMs = 0; // before the established event; -1: pending until stopped
        quint8 eventStatus = EventSuccess;
    };

    explicit ListsBehaviour(SimulatedDongle &dongle);
    ~ListsBehaviour() override;

    // The behaviour installed on a dongle, or null.
    static ListsBehaviour *of(SimulatedDongle &dongle);
    // Makes the behaviour once and sets its rows in the dongle's answer table.
    static ListsBehaviour *install(SimulatedDongle &dongle);

    void setLimits(const Limits &limits) { m_limits = limits; }
    Limits limits() const { return m_limits; }
    void setConnectPlan(const ConnectPlan &plan) { m_connectPlan = plan; }
    void setSyncPlan(const SyncPlan &plan) { m_syncPlan = plan; }
    // An automatic connect that finds no white-listed device gives up after
    // this long with the time-out event; -1 never.
    void setAutoConnectTimeoutMs(int ms) { m_autoConnectTimeoutMs = ms; }

    QVector<Device> whiteList() const { return m_whiteList; }
    QVector<Device> periodicList() const { return m_periodicList; }
    QVector<Bond> bondList() const { return m_bonds; }
    QVector<Connection> connections() const { return m_connections; }
    QVector<Sync> syncs() const { return m_syncs; }
    bool isConnecting() const { return m_pending.active; }

    // Seeding what the dongle would already hold. False when full or present.
    bool addBond(const QByteArray &addr, quint8 addrType, const QByteArray &peerIrk, const QByteArray &localIrk,
                 quint8 privacyMode = 0);
    bool addToWhiteList(const Device &device);
    bool addToPeriodicList(const Device &device);

    // Things the air does by itself.
    // A peer connects to our advertising: the event with role 1; the condix or -1.
    int peerConnects(const QByteArray &addr, quint8 addrType);
    bool peerDisconnects(quint8 condix, quint8 reason = ReasonRemoteUser);
    // The periodic train of a sync is lost.
    bool loseSync(quint8 index);

    // Uplink frames without checksum, for tests that feed the page directly.
    static QByteArray connectionEvent(quint8 status, quint8 condix, const QByteArray &addr, quint8 addrType,
                                      quint8 role, quint16 interval = 0x28, quint16 latency = 0,
                                      quint16 timeout = 0x1F4);
    static QByteArray disconnectionEvent(quint8 status, quint8 condix, quint8 reason = ReasonLocalHost);
    static QByteArray syncEstablishedEvent(quint8 index, quint8 status, const Device &advertiser, quint16 handle);
    static QByteArray syncStoppedEvent(quint8 index, quint8 status);
    static QByteArray syncLostEvent(quint8 index);
    static QByteArray cancelEvent(quint8 status);
    static QByteArray autoConnectTimeoutEvent();
    static QByteArray listEvent(quint8 opcode, const QByteArray &records);

signals:
    // For behaviours that act on connections and syncs (data on a
    // connection, periodic reports of a sync) without owning their commands.
    void connectionOpened(quint8 condix, const QByteArray &addr, quint8 addrType, quint8 role);
    void connectionClosed(quint8 condix);
    void syncEstablished(quint8 index, quint16 handle, const QByteArray &addr, quint8 addrType, quint8 advSid);
    void syncEnded(quint8 index);

private:
    using Handler = QList<QByteArray> (ListsBehaviour::*)(const QByteArray &frame);

    // Announced from the event loop after the change, so after the frames
    // that tell the program about it (with no response delay set).
    void announceConnectionOpened(const Connection &connection);
    void announceConnectionClosed(quint8 condix);
    void announceSyncEstablished(const Sync &sync);
    void announceSyncEnded(quint8 index);

    struct PendingConnect
    {
        bool active = false;
        bool automatic = false;
        Device target;
        quint16 interval = 0;
        quint16 latency = 0;
        quint16 timeout = 0;
        quint64 attempt = 0;
    };

    QList<QByteArray> onConnect(const QByteArray &frame);
    QList<QByteArray> onLegacyConnect(const QByteArray &frame);
    QList<QByteArray> onCancelConnect(const QByteArray &frame);
    QList<QByteArray> onDisconnect(const QByteArray &frame);
    QList<QByteArray> onSyncStart(const QByteArray &frame);
    QList<QByteArray> onSyncStop(const QByteArray &frame);
    QList<QByteArray> onAddWhiteList(const QByteArray &frame);
    QList<QByteArray> onDeleteWhiteList(const QByteArray &frame);
    QList<QByteArray> onClearWhiteList(const QByteArray &frame);
    QList<QByteArray> onGetWhiteList(const QByteArray &frame);
    QList<QByteArray> onDeleteBond(const QByteArray &frame);
    QList<QByteArray> onClearBonds(const QByteArray &frame);
    QList<QByteArray> onGetBonds(const QByteArray &frame);
    QList<QByteArray> onAddPeriodicList(const QByteArray &frame);
    QList<QByteArray> onDeletePeriodicList(const QByteArray &frame);
    QList<QByteArray> onClearPeriodicList(const QByteArray &frame);
    QList<QByteArray> onGetPeriodicList(const QByteArray &frame);
    QList<QByteArray> onGetResolvingList(const QByteArray &frame);
    QList<QByteArray> onUpdatePrivacyMode(const QByteArray &frame);

    QList<QByteArray> startConnect(const QByteArray &frame, const Device &target, quint16 interval, quint16 latency,
                                   quint16 timeout);
    // The frames that end the pending attempt now (its event), state updated.
    QList<QByteArray> finishConnect();
    void scheduleConnect(int delayMs);
    QList<QByteArray> finishSync(quint8 index);
    void onFrameReceived(const QByteArray &frame);
    void forgetVolatileState();
    int freeCondix() const;
    int connectionRow(quint8 condix) const;
    int syncRow(quint8 index) const;
    bool whiteListInUse() const;
    bool periodicListInUse() const;
    void send(const QList<QByteArray> &frames);

    QPointer<SimulatedDongle> m_dongle;
    Limits m_limits;
    ConnectPlan m_connectPlan;
    SyncPlan m_syncPlan;
    int m_autoConnectTimeoutMs = 2000;
    QVector<Device> m_whiteList;
    QVector<Device> m_periodicList;
    QVector<Bond> m_bonds;
    QVector<Connection> m_connections;
    QVector<Sync> m_syncs;
    PendingConnect m_pending;
    quint64 m_attempts = 0;
    quint64 m_generation = 0;
    quint16 m_nextSyncHandle = 1;
};

// Installs the behaviour on the dongle (once; later calls keep the state).
void installListsBehaviour(SimulatedDongle &dongle);
