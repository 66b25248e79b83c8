#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>

#include <functional>

class SimulatedDongle;

// A peer's attribute database as the simulated dongle serves it to a GATT
// client: services with their includes, characteristics (declaration and
// value) and descriptors, numbered from handle 1 in the order they are added.
class GattDatabase
{
public:
    enum Kind { Service, Include, Declaration, Value, Descriptor };

    struct Attribute
    {
        quint16 handle = 0;
        Kind kind = Service;
        QByteArray uuid;       // as sent on air: 2 or 16 bytes, least significant first
        quint16 start = 0;     // service: its range; include: the included service's range
        quint16 end = 0;
        quint8 properties = 0; // declaration and value
        quint16 valueHandle = 0;
        QByteArray value;      // value and descriptor
    };

    quint16 addService(const QByteArray &uuid);
    quint16 addInclude(quint16 serviceHandle);
    // Adds the declaration and the value; returns the value's handle.
    quint16 addCharacteristic(const QByteArray &uuid, quint8 properties, const QByteArray &value = QByteArray());
    quint16 addDescriptor(const QByteArray &uuid, const QByteArray &value = QByteArray());
    // The last service claims every handle up to end (a peer may say 0xFFFF).
    void setLastServiceEnd(quint16 end);

    QList<Attribute> attributes() const { return m_attributes.values(); }
    Attribute *find(quint16 handle);
    int size() const { return m_attributes.size(); }
    // The bytes a read of the attribute gives.
    QByteArray readValue(const Attribute &attribute) const;

    static QByteArray uuid16(quint16 uuid);
    // Generic Access (name, appearance), Battery (level with notify and a
    // configuration descriptor, including Generic Access) and a 128-bit
    // service with one read/write/indicate characteristic.
    static GattDatabase standard();
    // Services of one characteristic (read, notify) with a configuration and
    // a user description descriptor, until `count` attributes exist.
    static GattDatabase generated(int count);

private:
    quint16 next() const { return m_attributes.isEmpty() ? 1 : quint16(m_attributes.lastKey() + 1); }
    void add(const Attribute &attribute);

    QMap<quint16, Attribute> m_attributes;
    quint16 m_currentService = 0;
};

// Answers the GATT client commands from a database per connection: the
// discovery of all attributes as one event per attribute, the discoveries
// and reads of the command console as list results, writes, and the MTU
// exchange. Every command gets its acknowledgement "BB 03 op 01 00 00"
// first. A connection without a database of its own gets the standard one.
class GattBehaviour : public QObject
{
    Q_OBJECT

public:
    // Error codes of the list results.
    enum Status : quint8 {
        Success = 0x00,
        InvalidHandle = 0x01,
        ReadNotPermitted = 0x02,
        WriteNotPermitted = 0x03,
        InvalidOffset = 0x07,
        AttributeNotFound = 0x0A,
    };

    explicit GattBehaviour(SimulatedDongle &dongle);

    static GattBehaviour *of(SimulatedDongle &dongle);
    static GattBehaviour *install(SimulatedDongle &dongle);

    void setDatabase(quint8 condix, const GattDatabase &database) { m_databases.insert(condix, database); }
    GattDatabase &database(quint8 condix);
    void setMtu(quint16 mtu) { m_mtu = mtu; }

    // The peer notifies (or indicates) a value on its own.
    void notify(quint8 condix, quint16 handle, const QByteArray &value, bool indicate = false);

    // Uplink frames without checksum, for tests that feed a page directly.
    static QByteArray serviceEvent(quint8 condix, quint16 start, quint16 end, const QByteArray &uuid);
    static QByteArray includeEvent(quint8 condix, quint16 handle, quint16 start, quint16 end, const QByteArray &uuid);
    static QByteArray characteristicEvent(quint8 condix, quint16 handle, quint8 properties, quint16 valueHandle,
                                          const QByteArray &uuid);
    static QByteArray descriptorEvent(quint8 condix, quint16 handle, const QByteArray &uuid);
    static QByteArray discoveryEndEvent(quint8 condix, quint8 status = 0);
    // The events of a discovery of all attributes, end included.
    static QList<QByteArray> discoveryEvents(quint8 condix, const GattDatabase &database);
    // A list result: connection, status, count and the records back to back.
    static QByteArray listResult(quint8 opcode, quint8 condix, quint8 status, const QList<QByteArray> &records);
    static QByteArray notificationEvent(quint8 condix, quint16 handle, const QByteArray &value, bool indicate);

private:
    using Handler = QList<QByteArray> (GattBehaviour::*)(const QByteArray &frame);
    using Selection = std::function<bool(const GattDatabase::Attribute &)>;
    using RecordWriter = std::function<QByteArray(const GattDatabase::Attribute &)>;

    // A discovery's list result: one record per wanted attribute, "not
    // found" when there is none.
    QList<QByteArray> discoveryAnswer(const QByteArray &frame, const Selection &wanted, const RecordWriter &record);

    QList<QByteArray> onExchangeMtu(const QByteArray &frame);
    QList<QByteArray> onDiscoverAll(const QByteArray &frame);
    QList<QByteArray> onDiscoverServices(const QByteArray &frame);
    QList<QByteArray> onFindIncludes(const QByteArray &frame);
    QList<QByteArray> onDiscoverCharacteristics(const QByteArray &frame);
    QList<QByteArray> onDiscoverDescriptors(const QByteArray &frame);
    QList<QByteArray> onRead(const QByteArray &frame);
    QList<QByteArray> onReadByUuid(const QByteArray &frame);
    QList<QByteArray> onReadMultiple(const QByteArray &frame);
    QList<QByteArray> onWrite(const QByteArray &frame);

    // Looks a handle up for a read; the status when it cannot be read.
    quint8 readable(GattDatabase &database, quint16 handle, GattDatabase::Attribute **attribute);

    SimulatedDongle *m_dongle;
    QHash<quint8, GattDatabase> m_databases;
    quint16 m_mtu = 247;
};

void installGattBehaviour(SimulatedDongle &dongle);
