#include "simbehaviour_gatt.h"

#include "framebuilder.h"
#include "simulateddongle.h"

#include <QPointer>

namespace {

QByteArray u16(quint16 value)
{
    QByteArray bytes;
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
    return bytes;
}

QByteArray u8(quint8 value)
{
    return QByteArray(1, char(value));
}

// The command's payload, checksum dropped.
QByteArray payloadOf(const QByteArray &frame)
{
    if (frame.size() < 6)
        return QByteArray();
    const int length = quint8(frame.at(3)) | (quint8(frame.at(4)) << 8);
    return frame.mid(5, length);
}

quint16 u16At(const QByteArray &bytes, int offset)
{
    if (bytes.size() < offset + 2)
        return 0;
    return quint16(quint8(bytes.at(offset)) | (quint8(bytes.at(offset + 1)) << 8));
}

quint8 opcodeOf(const QByteArray &frame)
{
    return frame.size() > 2 ? quint8(frame.at(2)) : 0;
}

quint8 condixOf(const QByteArray &payload)
{
    return payload.isEmpty() ? 0 : quint8(payload.at(0));
}

bool inRange(quint16 handle, quint16 start, quint16 end)
{
    return handle >= start && handle <= end;
}

} // namespace

// ---- the database ----

void GattDatabase::add(const Attribute &attribute)
{
    m_attributes.insert(attribute.handle, attribute);
    if (m_currentService != 0 && attribute.kind != Service)
        m_attributes[m_currentService].end = attribute.handle;
}

quint16 GattDatabase::addService(const QByteArray &uuid)
{
    Attribute service;
    service.handle = next();
    service.kind = Service;
    service.uuid = uuid;
    service.start = service.handle;
    service.end = service.handle;
    m_currentService = service.handle;
    add(service);
    return service.handle;
}

quint16 GattDatabase::addInclude(quint16 serviceHandle)
{
    const Attribute included = m_attributes.value(serviceHandle);
    Attribute include;
    include.handle = next();
    include.kind = Include;
    include.uuid = included.uuid;
    include.start = included.start;
    include.end = included.end;
    add(include);
    return include.handle;
}

quint16 GattDatabase::addCharacteristic(const QByteArray &uuid, quint8 properties, const QByteArray &value)
{
    Attribute declaration;
    declaration.handle = next();
    declaration.kind = Declaration;
    declaration.uuid = uuid;
    declaration.properties = properties;
    declaration.valueHandle = declaration.handle + 1;
    add(declaration);

    Attribute valueAttribute = declaration;
    valueAttribute.handle = declaration.valueHandle;
    valueAttribute.kind = Value;
    valueAttribute.value = value;
    add(valueAttribute);
    return valueAttribute.handle;
}

quint16 GattDatabase::addDescriptor(const QByteArray &uuid, const QByteArray &value)
{
    Attribute descriptor;
    descriptor.handle = next();
    descriptor.kind = Descriptor;
    descriptor.uuid = uuid;
    descriptor.value = value;
    add(descriptor);
    return descriptor.handle;
}

void GattDatabase::setLastServiceEnd(quint16 end)
{
    if (m_currentService != 0)
        m_attributes[m_currentService].end = end;
}

GattDatabase::Attribute *GattDatabase::find(quint16 handle)
{
    auto it = m_attributes.find(handle);
    return it == m_attributes.end() ? nullptr : &it.value();
}

QByteArray GattDatabase::readValue(const Attribute &attribute) const
{
    switch (attribute.kind) {
    case Service:
        return attribute.uuid;
    case Include:
        return u16(attribute.start) + u16(attribute.end) + attribute.uuid;
    case Declaration:
        return u8(attribute.properties) + u16(attribute.valueHandle) + attribute.uuid;
    case Value:
    case Descriptor:
        return attribute.value;
    }
    return QByteArray();
}

QByteArray GattDatabase::uuid16(quint16 uuid)
{
    return u16(uuid);
}

GattDatabase GattDatabase::standard()
{
    GattDatabase database;
    const quint16 access = database.addService(uuid16(0x1800));
    database.addCharacteristic(uuid16(0x2A00), 0x0A, QByteArray("Sim Peer"));
    database.addCharacteristic(uuid16(0x2A01), 0x02, u16(0x0341));
    database.addService(uuid16(0x180F));
    database.addInclude(access);
    database.addCharacteristic(uuid16(0x2A19), 0x12, u8(87));
    database.addDescriptor(uuid16(0x2902), u16(0));
    QByteArray custom;
    for (int i = 0; i < 16; ++i)
        custom.append(char(0xF0 - i * 9));
    database.addService(custom);
    QByteArray customCharacteristic = custom;
    customCharacteristic[12] = char(0x01);
    database.addCharacteristic(customCharacteristic, 0x2A, QByteArray::fromHex("00112233"));
    database.addDescriptor(uuid16(0x2902), u16(0));
    database.addDescriptor(uuid16(0x2901), QByteArray("Control"));
    return database;
}

GattDatabase GattDatabase::generated(int count)
{
    GattDatabase database;
    for (int service = 0; database.size() < count; ++service) {
        QByteArray uuid = uuid16(quint16(0x1800 + service % 0x20));
        if (service % 4 == 3) {
            uuid = QByteArray(16, char(service & 0xFF));
            uuid[15] = char(0xA5);
        }
        database.addService(uuid);
        database.addCharacteristic(uuid16(quint16(0x2A00 + service % 0x80)), 0x12, u16(quint16(service)));
        database.addDescriptor(uuid16(0x2902), u16(0));
        database.addDescriptor(uuid16(0x2901), QByteArray("Value ") + QByteArray::number(service));
    }
    return database;
}

// ---- the behaviour ----

GattBehaviour::GattBehaviour(SimulatedDongle &dongle)
    : QObject(&dongle)
    , m_dongle(&dongle)
{
    setObjectName(QStringLiteral("GattBehaviour"));
}

GattBehaviour *GattBehaviour::of(SimulatedDongle &dongle)
{
    return dongle.findChild<GattBehaviour *>(QStringLiteral("GattBehaviour"), Qt::FindDirectChildrenOnly);
}

GattBehaviour *GattBehaviour::install(SimulatedDongle &dongle)
{
    if (GattBehaviour *existing = of(dongle))
        return existing;
    auto *behaviour = new GattBehaviour(dongle);
    struct Row
    {
        const char *id;
        Handler handler;
    };
    static const Row rows[] = {
        {"03@00", &GattBehaviour::onExchangeMtu},
        {"03@29", &GattBehaviour::onDiscoverAll},
        {"03@02", &GattBehaviour::onDiscoverServices},
        {"03@04", &GattBehaviour::onDiscoverServices},
        {"03@06", &GattBehaviour::onFindIncludes},
        {"03@08", &GattBehaviour::onDiscoverCharacteristics},
        {"03@0A", &GattBehaviour::onDiscoverCharacteristics},
        {"03@0C", &GattBehaviour::onDiscoverDescriptors},
        {"03@0E", &GattBehaviour::onRead},
        {"03@12", &GattBehaviour::onRead},
        {"03@20", &GattBehaviour::onRead},
        {"03@22", &GattBehaviour::onRead},
        {"03@10", &GattBehaviour::onReadByUuid},
        {"03@14", &GattBehaviour::onReadMultiple},
        {"03@16", &GattBehaviour::onWrite},
        {"03@1A", &GattBehaviour::onWrite},
        {"03@1C", &GattBehaviour::onWrite},
        {"03@24", &GattBehaviour::onWrite},
        {"03@26", &GattBehaviour::onWrite},
    };
    QPointer<GattBehaviour> guard(behaviour);
    for (const Row &row : rows) {
        const Handler handler = row.handler;
        dongle.setResponder(QString::fromLatin1(row.id), [guard, handler](const QByteArray &frame) {
            return guard ? (guard.data()->*handler)(frame) : QList<QByteArray>();
        });
    }
    return behaviour;
}

GattDatabase &GattBehaviour::database(quint8 condix)
{
    auto it = m_databases.find(condix);
    if (it == m_databases.end())
        it = m_databases.insert(condix, GattDatabase::standard());
    return it.value();
}

void GattBehaviour::notify(quint8 condix, quint16 handle, const QByteArray &value, bool indicate)
{
    m_dongle->sendUplink(notificationEvent(condix, handle, value, indicate));
}

QByteArray GattBehaviour::serviceEvent(quint8 condix, quint16 start, quint16 end, const QByteArray &uuid)
{
    return FrameBuilder::frame(0xDD, 0x03, 0x30, u8(condix) + u16(start) + u16(end) + uuid);
}

QByteArray GattBehaviour::includeEvent(quint8 condix, quint16 handle, quint16 start, quint16 end,
                                       const QByteArray &uuid)
{
    return FrameBuilder::frame(0xDD, 0x03, 0x31, u8(condix) + u16(handle) + u16(start) + u16(end) + uuid);
}

QByteArray GattBehaviour::characteristicEvent(quint8 condix, quint16 handle, quint8 properties, quint16 valueHandle,
                                              const QByteArray &uuid)
{
    return FrameBuilder::frame(0xDD, 0x03, 0x32, u8(condix) + u16(handle) + u8(properties) + u16(valueHandle) + uuid);
}

QByteArray GattBehaviour::descriptorEvent(quint8 condix, quint16 handle, const QByteArray &uuid)
{
    return FrameBuilder::frame(0xDD, 0x03, 0x33, u8(condix) + u16(handle) + uuid);
}

QByteArray GattBehaviour::discoveryEndEvent(quint8 condix, quint8 status)
{
    return FrameBuilder::frame(0xDD, 0x03, 0x34, u8(condix) + u8(status));
}

QList<QByteArray> GattBehaviour::discoveryEvents(quint8 condix, const GattDatabase &database)
{
    QList<QByteArray> events;
    for (const GattDatabase::Attribute &attribute : database.attributes()) {
        switch (attribute.kind) {
        case GattDatabase::Service:
            events << serviceEvent(condix, attribute.start, attribute.end, attribute.uuid);
            break;
        case GattDatabase::Include:
            events << includeEvent(condix, attribute.handle, attribute.start, attribute.end, attribute.uuid);
            break;
        case GattDatabase::Declaration:
            events << characteristicEvent(condix, attribute.handle, attribute.properties, attribute.valueHandle,
                                          attribute.uuid);
            break;
        case GattDatabase::Value:
            break; // the client knows it from its declaration
        case GattDatabase::Descriptor:
            events << descriptorEvent(condix, attribute.handle, attribute.uuid);
            break;
        }
    }
    events << discoveryEndEvent(condix);
    return events;
}

QByteArray GattBehaviour::listResult(quint8 opcode, quint8 condix, quint8 status, const QList<QByteArray> &records)
{
    return FrameBuilder::frame(0xDD, 0x03, opcode,
                               u8(condix) + u8(status) + u16(quint16(records.size())) + records.join());
}

QByteArray GattBehaviour::notificationEvent(quint8 condix, quint16 handle, const QByteArray &value, bool indicate)
{
    return FrameBuilder::frame(0xDD, 0x03, 0x28, u8(condix) + u8(indicate ? 2 : 1) + u16(handle) + value);
}

QList<QByteArray> GattBehaviour::onExchangeMtu(const QByteArray &frame)
{
    const quint8 condix = condixOf(payloadOf(frame));
    return {SimulatedDongle::acknowledgement(frame),
            FrameBuilder::frame(0xDD, 0x03, 0x01, u8(condix) + u8(Success) + u16(m_mtu))};
}

QList<QByteArray> GattBehaviour::onDiscoverAll(const QByteArray &frame)
{
    const quint8 condix = condixOf(payloadOf(frame));
    return QList<QByteArray>{SimulatedDongle::acknowledgement(frame)} + discoveryEvents(condix, database(condix));
}

QList<QByteArray> GattBehaviour::discoveryAnswer(const QByteArray &frame, const Selection &wanted,
                                                 const RecordWriter &record)
{
    const quint8 condix = condixOf(payloadOf(frame));
    QList<QByteArray> records;
    for (const GattDatabase::Attribute &attribute : database(condix).attributes()) {
        if (wanted(attribute))
            records << record(attribute);
    }
    return {SimulatedDongle::acknowledgement(frame),
            listResult(opcodeOf(frame) + 1, condix, records.isEmpty() ? AttributeNotFound : Success, records)};
}

QList<QByteArray> GattBehaviour::onDiscoverServices(const QByteArray &frame)
{
    const bool byUuid = opcodeOf(frame) == 0x04;
    const QByteArray uuid = payloadOf(frame).mid(1);
    return discoveryAnswer(
        frame,
        [&](const GattDatabase::Attribute &attribute) {
            return attribute.kind == GattDatabase::Service && (!byUuid || attribute.uuid == uuid);
        },
        [](const GattDatabase::Attribute &attribute) {
            return u16(attribute.start) + u16(attribute.end) + u8(quint8(attribute.uuid.size())) + attribute.uuid;
        });
}

namespace {

// Commands that search a handle range carry it after the connection index.
bool inCommandRange(const QByteArray &frame, quint16 handle)
{
    const QByteArray payload = payloadOf(frame);
    return inRange(handle, u16At(payload, 1), u16At(payload, 3));
}

} // namespace

QList<QByteArray> GattBehaviour::onFindIncludes(const QByteArray &frame)
{
    return discoveryAnswer(
        frame,
        [&](const GattDatabase::Attribute &attribute) {
            return attribute.kind == GattDatabase::Include && inCommandRange(frame, attribute.handle);
        },
        [](const GattDatabase::Attribute &attribute) {
            return u16(attribute.handle) + u16(attribute.start) + u16(attribute.end)
                + u8(quint8(attribute.uuid.size())) + attribute.uuid;
        });
}

QList<QByteArray> GattBehaviour::onDiscoverCharacteristics(const QByteArray &frame)
{
    const bool byUuid = opcodeOf(frame) == 0x0A;
    const QByteArray uuid = payloadOf(frame).mid(5);
    return discoveryAnswer(
        frame,
        [&](const GattDatabase::Attribute &attribute) {
            return attribute.kind == GattDatabase::Declaration && inCommandRange(frame, attribute.handle)
                && (!byUuid || attribute.uuid == uuid);
        },
        [](const GattDatabase::Attribute &attribute) {
            // Value handle before properties, unlike the single-record event.
            return u16(attribute.handle) + u16(attribute.valueHandle) + u8(attribute.properties)
                + u8(quint8(attribute.uuid.size())) + attribute.uuid;
        });
}

QList<QByteArray> GattBehaviour::onDiscoverDescriptors(const QByteArray &frame)
{
    return discoveryAnswer(
        frame,
        [&](const GattDatabase::Attribute &attribute) {
            return attribute.kind == GattDatabase::Descriptor && inCommandRange(frame, attribute.handle);
        },
        [](const GattDatabase::Attribute &attribute) {
            return u16(attribute.handle) + u8(quint8(attribute.uuid.size())) + attribute.uuid;
        });
}

quint8 GattBehaviour::readable(GattDatabase &database, quint16 handle, GattDatabase::Attribute **attribute)
{
    *attribute = database.find(handle);
    if (!*attribute)
        return InvalidHandle;
    if ((*attribute)->kind == GattDatabase::Value && !((*attribute)->properties & 0x02))
        return ReadNotPermitted;
    return Success;
}

namespace {

// A read record: handle, two bytes the client does not look at, length, value.
QByteArray readRecord(quint16 handle, quint16 offset, const QByteArray &value)
{
    return u16(handle) + u16(offset) + u16(quint16(value.size())) + value;
}

} // namespace

QList<QByteArray> GattBehaviour::onRead(const QByteArray &frame)
{
    const QByteArray payload = payloadOf(frame);
    const quint8 condix = condixOf(payload);
    const quint8 opcode = opcodeOf(frame);
    const quint16 handle = u16At(payload, 1);
    const bool isLong = opcode == 0x12 || opcode == 0x22;
    const quint16 offset = isLong ? u16At(payload, 3) : 0;
    GattDatabase::Attribute *attribute = nullptr;
    quint8 status = readable(database(condix), handle, &attribute);
    QList<QByteArray> records;
    if (status == Success) {
        const QByteArray value = database(condix).readValue(*attribute);
        if (offset > value.size())
            status = InvalidOffset;
        else
            records << readRecord(handle, offset, value.mid(offset));
    }
    return {SimulatedDongle::acknowledgement(frame), listResult(opcode + 1, condix, status, records)};
}

QList<QByteArray> GattBehaviour::onReadByUuid(const QByteArray &frame)
{
    const QByteArray payload = payloadOf(frame);
    const quint8 condix = condixOf(payload);
    const quint16 start = u16At(payload, 1);
    const quint16 end = u16At(payload, 3);
    const QByteArray wanted = payload.mid(5);
    GattDatabase &peer = database(condix);
    QList<QByteArray> records;
    for (const GattDatabase::Attribute &attribute : peer.attributes()) {
        if ((attribute.kind == GattDatabase::Value || attribute.kind == GattDatabase::Descriptor)
            && inRange(attribute.handle, start, end) && attribute.uuid == wanted)
            records << readRecord(attribute.handle, 0, peer.readValue(attribute));
    }
    return {SimulatedDongle::acknowledgement(frame),
            listResult(0x11, condix, records.isEmpty() ? AttributeNotFound : Success, records)};
}

QList<QByteArray> GattBehaviour::onReadMultiple(const QByteArray &frame)
{
    const QByteArray payload = payloadOf(frame);
    const quint8 condix = condixOf(payload);
    const int count = u16At(payload, 1);
    GattDatabase &peer = database(condix);
    QList<QByteArray> records;
    quint8 status = Success;
    // Each element: handle and the value length the client expects.
    for (int i = 0; i < count && status == Success; ++i) {
        const quint16 handle = u16At(payload, 3 + i * 4);
        GattDatabase::Attribute *attribute = nullptr;
        status = readable(peer, handle, &attribute);
        if (status == Success)
            records << readRecord(handle, 0, peer.readValue(*attribute));
    }
    if (status != Success)
        records.clear();
    return {SimulatedDongle::acknowledgement(frame), listResult(0x15, condix, status, records)};
}

QList<QByteArray> GattBehaviour::onWrite(const QByteArray &frame)
{
    const QByteArray payload = payloadOf(frame);
    const quint8 condix = condixOf(payload);
    const quint8 opcode = opcodeOf(frame);
    const quint16 handle = u16At(payload, 1);
    const bool isLong = opcode == 0x1C || opcode == 0x26;
    const quint16 offset = isLong ? u16At(payload, 3) : 0;
    const QByteArray data = payload.mid(isLong ? 5 : 3);
    GattDatabase::Attribute *attribute = database(condix).find(handle);
    quint8 status = Success;
    if (!attribute)
        status = InvalidHandle;
    else if (attribute->kind == GattDatabase::Value ? !(attribute->properties & 0x0C)
                                                    : attribute->kind != GattDatabase::Descriptor)
        status = WriteNotPermitted;
    else if (offset > attribute->value.size())
        status = InvalidOffset;
    else
        attribute->value = attribute->value.left(offset) + data;
    return {SimulatedDongle::acknowledgement(frame),
            FrameBuilder::frame(0xDD, 0x03, opcode + 1, u8(condix) + u8(status) + u16(handle))};
}

void installGattBehaviour(SimulatedDongle &dongle)
{
    GattBehaviour::install(dongle);
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("gatt"), installGattBehaviour);
