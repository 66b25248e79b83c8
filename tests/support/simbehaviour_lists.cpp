#include "simbehaviour_lists.h"

#include "framebuilder.h"
#include "simulateddongle.h"

#include <QTimer>

namespace {

const quint8 GapLayer = 0x01;
const quint8 ResultType = 0xDD;

// A downlink field at catalogue index i starts at wire byte i + 1; fields
// end with the payload its length claims, never in the checksum.
QByteArray field(const QByteArray &frame, int index, int length)
{
    if (frame.size() < 5)
        return QByteArray();
    const int payloadEnd = 5 + (quint8(frame.at(3)) | (quint8(frame.at(4)) << 8));
    if (qMin(payloadEnd, frame.size()) < index + 1 + length)
        return QByteArray();
    return frame.mid(index + 1, length);
}

int byteField(const QByteArray &frame, int index)
{
    const QByteArray bytes = field(frame, index, 1);
    return bytes.isEmpty() ? -1 : int(quint8(bytes.at(0)));
}

quint16 u16Field(const QByteArray &frame, int index)
{
    const QByteArray bytes = field(frame, index, 2);
    return bytes.size() == 2 ? quint16(quint8(bytes.at(0)) | (quint8(bytes.at(1)) << 8)) : 0;
}

void appendU16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

QByteArray ack(const QByteArray &frame, quint8 status)
{
    return SimulatedDongle::acknowledgement(frame, status);
}

QByteArray result(quint8 opcode, const QByteArray &payload)
{
    return FrameBuilder::frame(ResultType, GapLayer, opcode, payload);
}

// Address and type of a list command ("addr" at 4, "addr_type" at 10), SID at 11 when asked.
bool readDevice(const QByteArray &frame, bool withSid, ListsBehaviour::Device &device)
{
    device.addr = field(frame, 4, 6);
    const int type = byteField(frame, 10);
    const int sid = withSid ? byteField(frame, 11) : 0;
    if (device.addr.size() != 6 || type < 0 || sid < 0)
        return false;
    device.addrType = quint8(type);
    device.advSid = quint8(sid);
    return true;
}

bool sameAddress(const QByteArray &addr, quint8 type, const QByteArray &otherAddr, quint8 otherType)
{
    return addr == otherAddr && type == otherType;
}

} // namespace

ListsBehaviour::ListsBehaviour(SimulatedDongle &dongle)
    : QObject(&dongle)
    , m_dongle(&dongle)
{
    setObjectName(QStringLiteral("ListsBehaviour"));
    connect(&dongle, &SimulatedDongle::frameReceived, this, &ListsBehaviour::onFrameReceived);
}

ListsBehaviour::~ListsBehaviour() = default;

ListsBehaviour *ListsBehaviour::of(SimulatedDongle &dongle)
{
    return dongle.findChild<ListsBehaviour *>(QStringLiteral("ListsBehaviour"), Qt::FindDirectChildrenOnly);
}

ListsBehaviour *ListsBehaviour::install(SimulatedDongle &dongle)
{
    if (ListsBehaviour *existing = of(dongle))
        return existing;
    auto *behaviour = new ListsBehaviour(dongle);

    struct Row
    {
        const char *id;
        Handler handler;
    };
    static const Row rows[] = {
        {"01@05", &ListsBehaviour::onLegacyConnect},
        {"01@3F", &ListsBehaviour::onConnect},
        {"01@49", &ListsBehaviour::onCancelConnect},
        {"01@07", &ListsBehaviour::onDisconnect},
        {"01@1F", &ListsBehaviour::onSyncStart},
        {"01@22", &ListsBehaviour::onSyncStop},
        {"01@09", &ListsBehaviour::onAddWhiteList},
        {"01@0B", &ListsBehaviour::onDeleteWhiteList},
        {"01@0D", &ListsBehaviour::onGetWhiteList},
        {"01@0F", &ListsBehaviour::onClearWhiteList},
        {"01@11", &ListsBehaviour::onDeleteBond},
        {"01@13", &ListsBehaviour::onGetBonds},
        {"01@15", &ListsBehaviour::onClearBonds},
        {"01@17", &ListsBehaviour::onAddPeriodicList},
        {"01@19", &ListsBehaviour::onDeletePeriodicList},
        {"01@1B", &ListsBehaviour::onGetPeriodicList},
        {"01@1D", &ListsBehaviour::onClearPeriodicList},
        {"01@7E", &ListsBehaviour::onGetResolvingList},
        {"01@80", &ListsBehaviour::onUpdatePrivacyMode},
    };
    QPointer<ListsBehaviour> guard(behaviour);
    for (const Row &row : rows) {
        const Handler handler = row.handler;
        dongle.setResponder(QString::fromLatin1(row.id), [guard, handler](const QByteArray &frame) {
            return guard ? (guard.data()->*handler)(frame) : QList<QByteArray>();
        });
    }
    return behaviour;
}

void installListsBehaviour(SimulatedDongle &dongle)
{
    ListsBehaviour::install(dongle);
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("lists"), installListsBehaviour);

// ---- frames ----

QByteArray ListsBehaviour::connectionEvent(quint8 status, quint8 condix, const QByteArray &addr, quint8 addrType,
                                           quint8 role, quint16 interval, quint16 latency, quint16 timeout)
{
    QByteArray payload;
    payload.append(char(status));
    payload.append(char(status == EventSuccess ? 1 : 0)); // connected
    payload.append(char(condix));
    appendU16(payload, interval);
    appendU16(payload, latency);
    appendU16(payload, timeout);
    payload.append(char(0)); // clock accuracy
    payload.append(char(addrType));
    payload.append(addr.leftJustified(6, '\0', true));
    payload.append(char(role));
    return result(0x06, payload);
}

QByteArray ListsBehaviour::disconnectionEvent(quint8 status, quint8 condix, quint8 reason)
{
    QByteArray payload;
    payload.append(char(status));
    payload.append(char(reason));
    payload.append(char(condix));
    return result(0x08, payload);
}

QByteArray ListsBehaviour::syncEstablishedEvent(quint8 index, quint8 status, const Device &advertiser, quint16 handle)
{
    QByteArray payload;
    payload.append(char(index));
    payload.append(char(status));
    payload.append(char(1)); // PHY 1M
    appendU16(payload, 0x0050); // interval, 1.25 ms units
    payload.append(char(advertiser.advSid));
    payload.append(char(0)); // clock accuracy
    payload.append(advertiser.addr.leftJustified(6, '\0', true));
    payload.append(char(advertiser.addrType));
    appendU16(payload, handle);
    return result(0x20, payload);
}

QByteArray ListsBehaviour::syncStoppedEvent(quint8 index, quint8 status)
{
    QByteArray payload;
    payload.append(char(index));
    payload.append(char(status));
    return result(0x23, payload);
}

QByteArray ListsBehaviour::syncLostEvent(quint8 index)
{
    return result(0x82, QByteArray(1, char(index)));
}

QByteArray ListsBehaviour::cancelEvent(quint8 status)
{
    return result(0x4A, QByteArray(1, char(status)));
}

QByteArray ListsBehaviour::autoConnectTimeoutEvent()
{
    return result(0x80, QByteArray());
}

QByteArray ListsBehaviour::listEvent(quint8 opcode, const QByteArray &records)
{
    return result(opcode, records);
}

// ---- seeding and air events ----

bool ListsBehaviour::addBond(const QByteArray &addr, quint8 addrType, const QByteArray &peerIrk,
                             const QByteArray &localIrk, quint8 privacyMode)
{
    if (addr.size() != 6 || peerIrk.size() != 16 || localIrk.size() != 16)
        return false;
    if (m_bonds.size() >= m_limits.bondList)
        return false;
    for (const Bond &bond : qAsConst(m_bonds)) {
        if (sameAddress(bond.addr, bond.addrType, addr, addrType))
            return false;
    }
    m_bonds.append(Bond{addr, addrType, privacyMode, peerIrk, localIrk});
    return true;
}

bool ListsBehaviour::addToWhiteList(const Device &device)
{
    const Device entry{device.addr, device.addrType, 0};
    if (entry.addr.size() != 6 || m_whiteList.size() >= m_limits.whiteList || m_whiteList.contains(entry))
        return false;
    m_whiteList.append(entry);
    return true;
}

bool ListsBehaviour::addToPeriodicList(const Device &device)
{
    if (device.addr.size() != 6 || m_periodicList.size() >= m_limits.periodicList || m_periodicList.contains(device))
        return false;
    m_periodicList.append(device);
    return true;
}

int ListsBehaviour::peerConnects(const QByteArray &addr, quint8 addrType)
{
    const int condix = freeCondix();
    if (condix < 0 || addr.size() != 6)
        return -1;
    m_connections.append(Connection{quint8(condix), addr, addrType, 1, false});
    announceConnectionOpened(m_connections.last());
    send({connectionEvent(EventSuccess, quint8(condix), addr, addrType, 1)});
    return condix;
}

bool ListsBehaviour::peerDisconnects(quint8 condix, quint8 reason)
{
    const int row = connectionRow(condix);
    if (row < 0)
        return false;
    m_connections.remove(row);
    announceConnectionClosed(condix);
    send({disconnectionEvent(EventSuccess, condix, reason)});
    return true;
}

bool ListsBehaviour::loseSync(quint8 index)
{
    const int row = syncRow(index);
    if (row < 0 || !m_syncs.at(row).established)
        return false;
    m_syncs.remove(row);
    announceSyncEnded(index);
    send({syncLostEvent(index)});
    return true;
}

// ---- connections ----

QList<QByteArray> ListsBehaviour::onConnect(const QByteArray &frame)
{
    const Device target{field(frame, 46, 6), quint8(qMax(0, byteField(frame, 52))), 0};
    if (target.addr.size() != 6 || byteField(frame, 52) < 0)
        return {ack(frame, AckInvalidParam)};
    return startConnect(frame, target, u16Field(frame, 16), u16Field(frame, 20), u16Field(frame, 22));
}

QList<QByteArray> ListsBehaviour::onLegacyConnect(const QByteArray &frame)
{
    const Device target{field(frame, 14, 6), quint8(qMax(0, byteField(frame, 20))), 0};
    if (target.addr.size() != 6 || byteField(frame, 20) < 0)
        return {ack(frame, AckInvalidParam)};
    return startConnect(frame, target, u16Field(frame, 4), u16Field(frame, 9), u16Field(frame, 11));
}

QList<QByteArray> ListsBehaviour::startConnect(const QByteArray &frame, const Device &target, quint16 interval,
                                               quint16 latency, quint16 timeout)
{
    if (m_pending.active)
        return {ack(frame, AckBusy)};
    if (m_connectPlan.ackStatus != AckSuccess)
        return {ack(frame, m_connectPlan.ackStatus)};

    m_pending = PendingConnect();
    m_pending.active = true;
    // The zero address asks the controller to take any device of its white list.
    m_pending.automatic = target.addr == QByteArray(6, '\0');
    m_pending.target = target;
    m_pending.interval = interval ? interval : 0x28;
    m_pending.latency = latency;
    m_pending.timeout = timeout ? timeout : 0x1F4;
    m_pending.attempt = ++m_attempts;

    QList<QByteArray> answers{ack(frame, AckSuccess)};
    if (m_pending.automatic && m_whiteList.isEmpty()) {
        if (m_autoConnectTimeoutMs >= 0) {
            const quint64 attempt = m_pending.attempt;
            QPointer<ListsBehaviour> self(this);
            QTimer::singleShot(m_autoConnectTimeoutMs, this, [self, attempt] {
                if (!self || !self->m_pending.active || self->m_pending.attempt != attempt)
                    return;
                self->m_pending.active = false;
                self->send({autoConnectTimeoutEvent()});
            });
        }
        return answers;
    }
    if (m_connectPlan.delayMs == 0)
        answers += finishConnect();
    else if (m_connectPlan.delayMs > 0)
        scheduleConnect(m_connectPlan.delayMs);
    return answers;
}

void ListsBehaviour::scheduleConnect(int delayMs)
{
    const quint64 attempt = m_pending.attempt;
    QPointer<ListsBehaviour> self(this);
    QTimer::singleShot(delayMs, this, [self, attempt] {
        if (!self || !self->m_pending.active || self->m_pending.attempt != attempt)
            return;
        self->send(self->finishConnect());
    });
}

QList<QByteArray> ListsBehaviour::finishConnect()
{
    PendingConnect attempt = m_pending;
    m_pending.active = false;
    Device peer = attempt.target;
    if (attempt.automatic) {
        if (m_whiteList.isEmpty())
            return {autoConnectTimeoutEvent()};
        peer = m_whiteList.first();
    }

    quint8 status = m_connectPlan.eventStatus;
    const int condix = freeCondix();
    if (status == EventSuccess) {
        for (const Connection &connection : qAsConst(m_connections)) {
            if (sameAddress(connection.addr, connection.addrType, peer.addr, peer.addrType))
                status = EventConnectionExists;
        }
        if (condix < 0)
            status = EventConnectionLimit;
    }
    if (status != EventSuccess)
        return {connectionEvent(status, 0, peer.addr, peer.addrType, m_connectPlan.role)};

    m_connections.append(
        Connection{quint8(condix), peer.addr, peer.addrType, m_connectPlan.role, attempt.automatic});
    announceConnectionOpened(m_connections.last());
    return {connectionEvent(EventSuccess, quint8(condix), peer.addr, peer.addrType, m_connectPlan.role,
                            attempt.interval, attempt.latency, attempt.timeout)};
}

QList<QByteArray> ListsBehaviour::onCancelConnect(const QByteArray &frame)
{
    if (!m_pending.active)
        return {ack(frame, AckDisallowed)};
    m_pending.active = false;
    return {ack(frame, AckSuccess), cancelEvent(EventSuccess)};
}

QList<QByteArray> ListsBehaviour::onDisconnect(const QByteArray &frame)
{
    const int condix = byteField(frame, 4);
    if (condix < 0)
        return {ack(frame, AckInvalidParam)};
    const int row = connectionRow(quint8(condix));
    if (row < 0)
        return {ack(frame, AckInvalidConnectionIndex)};
    m_connections.remove(row);
    announceConnectionClosed(quint8(condix));
    return {ack(frame, AckSuccess), disconnectionEvent(EventSuccess, quint8(condix), ReasonLocalHost)};
}

// ---- periodic syncs ----

QList<QByteArray> ListsBehaviour::onSyncStart(const QByteArray &frame)
{
    const int index = byteField(frame, 4);
    const int type = byteField(frame, 9);
    const int addrType = byteField(frame, 16);
    const int sid = byteField(frame, 17);
    const Device advertiser{field(frame, 10, 6), quint8(qMax(0, addrType)), quint8(qMax(0, sid))};
    if (index < 0 || type < 0 || addrType < 0 || sid < 0)
        return {ack(frame, AckInvalidParam)};
    if (syncRow(quint8(index)) >= 0)
        return {ack(frame, AckItemExists)};
    if (m_syncs.size() >= m_limits.syncs)
        return {ack(frame, AckNoResources)};
    if (m_syncPlan.ackStatus != AckSuccess)
        return {ack(frame, m_syncPlan.ackStatus)};

    Sync sync;
    sync.index = quint8(index);
    // Bit 0 of the type: take the advertiser from the periodic advertiser list.
    sync.fromList = type & 0x01;
    const bool fromList = sync.fromList;
    sync.advertiser = advertiser;
    m_syncs.append(sync);

    QList<QByteArray> answers{ack(frame, AckSuccess)};
    if (fromList && m_periodicList.isEmpty())
        return answers; // waits for an advertiser until stopped
    if (fromList)
        m_syncs.last().advertiser = m_periodicList.first();
    if (m_syncPlan.delayMs == 0) {
        answers += finishSync(quint8(index));
    } else if (m_syncPlan.delayMs > 0) {
        const quint64 generation = m_generation;
        QPointer<ListsBehaviour> self(this);
        const quint8 syncIndex = quint8(index);
        QTimer::singleShot(m_syncPlan.delayMs, this, [self, generation, syncIndex] {
            if (!self || self->m_generation != generation)
                return;
            const int row = self->syncRow(syncIndex);
            if (row >= 0 && !self->m_syncs.at(row).established)
                self->send(self->finishSync(syncIndex));
        });
    }
    return answers;
}

QList<QByteArray> ListsBehaviour::finishSync(quint8 index)
{
    const int row = syncRow(index);
    if (row < 0)
        return {};
    const Device advertiser = m_syncs.at(row).advertiser;
    if (m_syncPlan.eventStatus != EventSuccess) {
        m_syncs.remove(row);
        return {syncEstablishedEvent(index, m_syncPlan.eventStatus, advertiser, 0)};
    }
    Sync &sync = m_syncs[row];
    sync.established = true;
    sync.handle = m_nextSyncHandle++;
    announceSyncEstablished(sync);
    return {syncEstablishedEvent(index, EventSuccess, advertiser, sync.handle)};
}

QList<QByteArray> ListsBehaviour::onSyncStop(const QByteArray &frame)
{
    const int index = byteField(frame, 4);
    if (index < 0)
        return {ack(frame, AckInvalidParam)};
    const int row = syncRow(quint8(index));
    if (row < 0)
        return {ack(frame, AckItemNotFound)};
    if (m_syncs.at(row).established)
        announceSyncEnded(quint8(index));
    m_syncs.remove(row);
    return {ack(frame, AckSuccess), syncStoppedEvent(quint8(index), EventSuccess)};
}

// ---- white list ----

QList<QByteArray> ListsBehaviour::onAddWhiteList(const QByteArray &frame)
{
    Device device;
    if (!readDevice(frame, false, device))
        return {ack(frame, AckInvalidParam)};
    if (whiteListInUse())
        return {ack(frame, AckDisallowed)};
    if (m_whiteList.contains(device))
        return {ack(frame, AckItemExists)};
    if (m_whiteList.size() >= m_limits.whiteList)
        return {ack(frame, AckListFull)};
    m_whiteList.append(device);
    return {ack(frame, AckSuccess), result(0x0A, QByteArray(1, char(EventSuccess)))};
}

QList<QByteArray> ListsBehaviour::onDeleteWhiteList(const QByteArray &frame)
{
    Device device;
    if (!readDevice(frame, false, device))
        return {ack(frame, AckInvalidParam)};
    if (whiteListInUse())
        return {ack(frame, AckDisallowed)};
    const int row = m_whiteList.indexOf(device);
    if (row < 0)
        return {ack(frame, AckItemNotFound)};
    m_whiteList.remove(row);
    return {ack(frame, AckSuccess), result(0x0A, QByteArray(1, char(EventSuccess)))};
}

QList<QByteArray> ListsBehaviour::onClearWhiteList(const QByteArray &frame)
{
    if (whiteListInUse())
        return {ack(frame, AckDisallowed)};
    m_whiteList.clear();
    return {ack(frame, AckSuccess), result(0x0A, QByteArray(1, char(EventSuccess)))};
}

QList<QByteArray> ListsBehaviour::onGetWhiteList(const QByteArray &frame)
{
    QByteArray records;
    for (const Device &device : qAsConst(m_whiteList))
        records += device.addr + char(device.addrType);
    return {ack(frame, AckSuccess), listEvent(0x0E, records)};
}

// ---- bond list (and with it the resolving list) ----

QList<QByteArray> ListsBehaviour::onDeleteBond(const QByteArray &frame)
{
    Device device;
    if (!readDevice(frame, false, device))
        return {ack(frame, AckInvalidParam)};
    for (int row = 0; row < m_bonds.size(); ++row) {
        if (sameAddress(m_bonds.at(row).addr, m_bonds.at(row).addrType, device.addr, device.addrType)) {
            m_bonds.remove(row);
            return {ack(frame, AckSuccess)};
        }
    }
    return {ack(frame, AckItemNotFound)};
}

QList<QByteArray> ListsBehaviour::onClearBonds(const QByteArray &frame)
{
    m_bonds.clear();
    return {ack(frame, AckSuccess)};
}

QList<QByteArray> ListsBehaviour::onGetBonds(const QByteArray &frame)
{
    QByteArray records;
    for (const Bond &bond : qAsConst(m_bonds))
        records += bond.addr + char(bond.addrType);
    return {ack(frame, AckSuccess), listEvent(0x14, records)};
}

QList<QByteArray> ListsBehaviour::onGetResolvingList(const QByteArray &frame)
{
    QByteArray records;
    for (const Bond &bond : qAsConst(m_bonds))
        records += bond.addr + char(bond.addrType) + char(bond.privacyMode) + bond.peerIrk + bond.localIrk;
    return {ack(frame, AckSuccess), listEvent(0x7F, records)};
}

QList<QByteArray> ListsBehaviour::onUpdatePrivacyMode(const QByteArray &frame)
{
    Device device;
    const int mode = byteField(frame, 11);
    if (!readDevice(frame, false, device) || mode < 0 || mode > 1)
        return {ack(frame, AckInvalidParam)};
    for (Bond &bond : m_bonds) {
        if (sameAddress(bond.addr, bond.addrType, device.addr, device.addrType)) {
            bond.privacyMode = quint8(mode);
            return {ack(frame, AckSuccess)};
        }
    }
    return {ack(frame, AckItemNotFound)};
}

// ---- periodic advertiser list ----

QList<QByteArray> ListsBehaviour::onAddPeriodicList(const QByteArray &frame)
{
    Device device;
    if (!readDevice(frame, true, device) || device.advSid > 0x0F)
        return {ack(frame, AckInvalidParam)};
    if (periodicListInUse())
        return {ack(frame, AckDisallowed)};
    if (m_periodicList.contains(device))
        return {ack(frame, AckItemExists)};
    if (m_periodicList.size() >= m_limits.periodicList)
        return {ack(frame, AckListFull)};
    m_periodicList.append(device);
    return {ack(frame, AckSuccess), result(0x18, QByteArray(1, char(EventSuccess)))};
}

QList<QByteArray> ListsBehaviour::onDeletePeriodicList(const QByteArray &frame)
{
    Device device;
    if (!readDevice(frame, true, device))
        return {ack(frame, AckInvalidParam)};
    if (periodicListInUse())
        return {ack(frame, AckDisallowed)};
    const int row = m_periodicList.indexOf(device);
    if (row < 0)
        return {ack(frame, AckItemNotFound)};
    m_periodicList.remove(row);
    return {ack(frame, AckSuccess), result(0x18, QByteArray(1, char(EventSuccess)))};
}

QList<QByteArray> ListsBehaviour::onClearPeriodicList(const QByteArray &frame)
{
    if (periodicListInUse())
        return {ack(frame, AckDisallowed)};
    m_periodicList.clear();
    return {ack(frame, AckSuccess), result(0x18, QByteArray(1, char(EventSuccess)))};
}

QList<QByteArray> ListsBehaviour::onGetPeriodicList(const QByteArray &frame)
{
    QByteArray records;
    for (const Device &device : qAsConst(m_periodicList))
        records += device.addr + char(device.addrType) + char(device.advSid);
    return {ack(frame, AckSuccess), listEvent(0x1C, records)};
}

// ---- bookkeeping ----

void ListsBehaviour::onFrameReceived(const QByteArray &frame)
{
    if (SimulatedDongle::downlinkId(frame) == QLatin1String("00@01"))
        forgetVolatileState();
}

void ListsBehaviour::forgetVolatileState()
{
    ++m_generation;
    m_pending = PendingConnect();
    for (const Connection &connection : qAsConst(m_connections))
        announceConnectionClosed(connection.condix);
    for (const Sync &sync : qAsConst(m_syncs)) {
        if (sync.established)
            announceSyncEnded(sync.index);
    }
    m_connections.clear();
    m_syncs.clear();
    m_whiteList.clear();
    m_periodicList.clear();
}

int ListsBehaviour::freeCondix() const
{
    for (int condix = 0; condix < m_limits.connections; ++condix) {
        if (connectionRow(quint8(condix)) < 0)
            return condix;
    }
    return -1;
}

int ListsBehaviour::connectionRow(quint8 condix) const
{
    for (int row = 0; row < m_connections.size(); ++row) {
        if (m_connections.at(row).condix == condix)
            return row;
    }
    return -1;
}

int ListsBehaviour::syncRow(quint8 index) const
{
    for (int row = 0; row < m_syncs.size(); ++row) {
        if (m_syncs.at(row).index == index)
            return row;
    }
    return -1;
}

// The controller refuses to change a list while an initiator or a sync is using it.
bool ListsBehaviour::whiteListInUse() const
{
    return m_pending.active && m_pending.automatic;
}

bool ListsBehaviour::periodicListInUse() const
{
    for (const Sync &sync : m_syncs) {
        if (!sync.established && sync.fromList)
            return true;
    }
    return false;
}

void ListsBehaviour::announceConnectionOpened(const Connection &connection)
{
    QMetaObject::invokeMethod(
        this, [this, connection] { emit connectionOpened(connection.condix, connection.addr, connection.addrType, connection.role); },
        Qt::QueuedConnection);
}

void ListsBehaviour::announceConnectionClosed(quint8 condix)
{
    QMetaObject::invokeMethod(this, [this, condix] { emit connectionClosed(condix); }, Qt::QueuedConnection);
}

void ListsBehaviour::announceSyncEstablished(const Sync &sync)
{
    QMetaObject::invokeMethod(
        this,
        [this, sync] {
            emit syncEstablished(sync.index, sync.handle, sync.advertiser.addr, sync.advertiser.addrType,
                                 sync.advertiser.advSid);
        },
        Qt::QueuedConnection);
}

void ListsBehaviour::announceSyncEnded(quint8 index)
{
    QMetaObject::invokeMethod(this, [this, index] { emit syncEnded(index); }, Qt::QueuedConnection);
}

void ListsBehaviour::send(const QList<QByteArray> &frames)
{
    if (m_dongle && !frames.isEmpty())
        m_dongle->sendUplinks(frames);
}
