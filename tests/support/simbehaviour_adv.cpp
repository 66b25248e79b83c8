#include "simbehaviour_adv.h"

#include "framebuilder.h"
#include "simulateddongle.h"

#include <QPointer>

namespace {

const quint8 GapLayer = 0x01;
const int HeaderSize = 5;

struct KindLayout
{
    const char *parameterId;
    const char *dataId;
    AdvertisingBehaviour::Kind kind;
    int parameterSize; // payload bytes of the parameter command
    int indexOffset;   // of the set index in that payload
    int lengthBytes;   // of each data block's length in the data command
    int blocks;        // data blocks after the index
};

const KindLayout Layouts[] = {
    {"01@23", "01@25", AdvertisingBehaviour::Legacy, 21, 19, 1, 2},
    {"01@2B", "01@2D", AdvertisingBehaviour::Extended, 30, 28, 2, 2},
    {"01@31", "01@33", AdvertisingBehaviour::Periodic, 34, 32, 2, 3},
};

const KindLayout *layoutFor(const QString &id)
{
    for (const KindLayout &layout : Layouts) {
        if (id == QLatin1String(layout.parameterId) || id == QLatin1String(layout.dataId))
            return &layout;
    }
    return nullptr;
}

// The payload of a received frame; empty when its length field disagrees.
QByteArray payloadOf(const QByteArray &frame)
{
    if (frame.size() < HeaderSize + 1)
        return QByteArray();
    const int length = quint8(frame.at(3)) | (quint8(frame.at(4)) << 8);
    if (frame.size() != HeaderSize + length + 1)
        return QByteArray();
    return frame.mid(HeaderSize, length);
}

} // namespace

AdvertisingBehaviour::AdvertisingBehaviour(SimulatedDongle &dongle)
    : QObject(&dongle)
{
    setObjectName(QStringLiteral("AdvertisingBehaviour"));
    connect(&dongle, &SimulatedDongle::frameReceived, this, &AdvertisingBehaviour::onFrameReceived);
}

AdvertisingBehaviour::~AdvertisingBehaviour() = default;

AdvertisingBehaviour *AdvertisingBehaviour::of(SimulatedDongle &dongle)
{
    return dongle.findChild<AdvertisingBehaviour *>(QStringLiteral("AdvertisingBehaviour"),
                                                    Qt::FindDirectChildrenOnly);
}

AdvertisingBehaviour *AdvertisingBehaviour::install(SimulatedDongle &dongle)
{
    if (AdvertisingBehaviour *existing = of(dongle))
        return existing;
    auto *behaviour = new AdvertisingBehaviour(dongle);
    struct Row
    {
        const char *id;
        Handler handler;
    };
    static const Row rows[] = {
        {"01@23", &AdvertisingBehaviour::onParameters}, {"01@2B", &AdvertisingBehaviour::onParameters},
        {"01@31", &AdvertisingBehaviour::onParameters}, {"01@25", &AdvertisingBehaviour::onData},
        {"01@2D", &AdvertisingBehaviour::onData},       {"01@33", &AdvertisingBehaviour::onData},
        {"01@27", &AdvertisingBehaviour::onStart},      {"01@29", &AdvertisingBehaviour::onStop},
    };
    QPointer<AdvertisingBehaviour> guard(behaviour);
    for (const Row &row : rows) {
        const Handler handler = row.handler;
        dongle.setResponder(QString::fromLatin1(row.id), [guard, handler](const QByteArray &frame) {
            return guard ? (guard.data()->*handler)(frame) : QList<QByteArray>();
        });
    }
    return behaviour;
}

void installAdvertisingBehaviour(SimulatedDongle &dongle)
{
    AdvertisingBehaviour::install(dongle);
}

static const bool registered =
    SimulatedDongle::registerBehaviour(QStringLiteral("advertising"), installAdvertisingBehaviour);

int AdvertisingBehaviour::advertisingCount() const
{
    int count = 0;
    for (const Set &set : m_sets)
        count += set.advertising ? 1 : 0;
    return count;
}

QByteArray AdvertisingBehaviour::startEvent(quint8 status, quint8 index)
{
    return FrameBuilder::frame(0xDD, GapLayer, 0x28, QByteArray(1, char(status)) + char(index));
}

QByteArray AdvertisingBehaviour::stopEvent(quint8 status, quint8 reason, quint8 index)
{
    QByteArray payload;
    payload.append(char(status));
    payload.append(char(reason));
    payload.append(char(index));
    return FrameBuilder::frame(0xDD, GapLayer, 0x2A, payload);
}

bool AdvertisingBehaviour::overridden(const QByteArray &frame) const
{
    return m_ackOverrides.contains(SimulatedDongle::downlinkId(frame));
}

QByteArray AdvertisingBehaviour::ack(const QByteArray &frame, quint8 status)
{
    const QString id = SimulatedDongle::downlinkId(frame);
    if (m_ackOverrides.contains(id))
        status = m_ackOverrides.take(id);
    return SimulatedDongle::acknowledgement(frame, status);
}

QList<QByteArray> AdvertisingBehaviour::onParameters(const QByteArray &frame)
{
    const KindLayout *layout = layoutFor(SimulatedDongle::downlinkId(frame));
    const QByteArray payload = payloadOf(frame);
    if (overridden(frame))
        return {ack(frame, AckSuccess)};
    if (payload.size() != layout->parameterSize)
        return {ack(frame, AckInvalidParam)};
    const int index = quint8(payload.at(layout->indexOffset));
    if (index >= m_maxSets)
        return {ack(frame, AckInvalidAdvIndex)};
    Set &set = m_sets[index];
    if (set.advertising)
        return {ack(frame, AckDisallowed)};
    if (set.kind != layout->kind || set.parameters.isEmpty()) {
        set.data.clear();
        set.hasData = false;
    }
    set.kind = layout->kind;
    set.parameters = payload;
    return {ack(frame, AckSuccess)};
}

QList<QByteArray> AdvertisingBehaviour::onData(const QByteArray &frame)
{
    const KindLayout *layout = layoutFor(SimulatedDongle::downlinkId(frame));
    const QByteArray payload = payloadOf(frame);
    if (overridden(frame))
        return {ack(frame, AckSuccess)};
    if (payload.isEmpty())
        return {ack(frame, AckInvalidDataLength)};
    const int index = quint8(payload.at(0));
    if (!m_sets.contains(index) || m_sets.value(index).kind != layout->kind || m_sets.value(index).advertising)
        return {ack(frame, AckDisallowed)};
    QList<QByteArray> blocks;
    int at = 1;
    for (int block = 0; block < layout->blocks; ++block) {
        if (at + layout->lengthBytes > payload.size())
            return {ack(frame, AckInvalidDataLength)};
        int length = quint8(payload.at(at));
        if (layout->lengthBytes == 2)
            length |= quint8(payload.at(at + 1)) << 8;
        at += layout->lengthBytes;
        if (at + length > payload.size())
            return {ack(frame, AckInvalidDataLength)};
        blocks << payload.mid(at, length);
        at += length;
    }
    if (at != payload.size())
        return {ack(frame, AckInvalidDataLength)};
    Set &set = m_sets[index];
    set.data = blocks;
    set.hasData = true;
    return {ack(frame, AckSuccess)};
}

int AdvertisingBehaviour::indexCommand(const QByteArray &frame, QList<QByteArray> *refusal)
{
    const QByteArray payload = payloadOf(frame);
    if (overridden(frame))
        *refusal = {ack(frame, AckSuccess)};
    else if (payload.size() != 1)
        *refusal = {ack(frame, AckInvalidParam)};
    return refusal->isEmpty() ? quint8(payload.at(0)) : -1;
}

QList<QByteArray> AdvertisingBehaviour::onStart(const QByteArray &frame)
{
    QList<QByteArray> refusal;
    const int index = indexCommand(frame, &refusal);
    if (index < 0)
        return refusal;
    if (!m_sets.contains(index) || m_sets.value(index).advertising)
        return {ack(frame, AckDisallowed)};
    if (m_startEventStatus != 0) {
        const quint8 status = m_startEventStatus;
        m_startEventStatus = 0;
        return {ack(frame, AckSuccess), startEvent(status, quint8(index))};
    }
    m_sets[index].advertising = true;
    return {ack(frame, AckSuccess), startEvent(0, quint8(index))};
}

QList<QByteArray> AdvertisingBehaviour::onStop(const QByteArray &frame)
{
    QList<QByteArray> refusal;
    const int index = indexCommand(frame, &refusal);
    if (index < 0)
        return refusal;
    if (!m_sets.value(index).advertising)
        return {ack(frame, AckDisallowed)};
    m_sets[index].advertising = false;
    // Reason 0: stopped by the host.
    return {ack(frame, AckSuccess), stopEvent(0, 0, quint8(index))};
}

void AdvertisingBehaviour::onFrameReceived(const QByteArray &frame)
{
    if (SimulatedDongle::downlinkId(frame) == QLatin1String("00@01"))
        m_sets.clear();
}
