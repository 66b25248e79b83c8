#include "gattfixture.h"

#include "ccommand.h"

namespace GattFixture {

QByteArray le16(quint16 value)
{
    QByteArray bytes;
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
    return bytes;
}

QByteArray uuid16(quint16 value)
{
    return le16(value);
}

QByteArray uuid128(quint8 seed)
{
    QByteArray bytes;
    for (int i = 0; i < 16; ++i)
        bytes.append(char(seed + i * 7 + 1));
    return bytes;
}

namespace {

AttributeInfo record(quint16 handle, quint16 type, const QByteArray &value)
{
    AttributeInfo info;
    info.valid = 1;
    info.handle = handle;
    info.uuid = CCommand::uuid16ToArray(type);
    info.uuidDescription = CCommand::enumText("en_UUID", type);
    info.value = value;
    return info;
}

} // namespace

AttributeInfo service(quint16 handle, quint16 end, const QByteArray &serviceUuid)
{
    return record(handle, 0x2800, le16(handle) + le16(end) + serviceUuid);
}

AttributeInfo include(quint16 handle, quint16 start, quint16 end, const QByteArray &serviceUuid)
{
    return record(handle, 0x2802, le16(start) + le16(end) + serviceUuid);
}

AttributeInfo declaration(quint16 handle, quint8 properties, quint16 valueHandle, const QByteArray &charUuid)
{
    return record(handle, 0x2803, QByteArray(1, char(properties)) + le16(valueHandle) + charUuid);
}

AttributeInfo placeholder(quint16 handle)
{
    AttributeInfo info;
    info.valid = 1;
    info.handle = handle;
    return info;
}

AttributeInfo descriptor(quint16 handle, quint16 uuid)
{
    return record(handle, uuid, QByteArray());
}

void store(QVector<AttributeInfo> &table, const AttributeInfo &record)
{
    if (table.size() <= record.handle)
        table.resize(record.handle + 1);
    table[record.handle] = record;
}

QVector<AttributeInfo> basicTable()
{
    QVector<AttributeInfo> table;
    store(table, service(1, 7, uuid16(0x1800)));
    store(table, declaration(2, 0x0A, 3, uuid16(0x2A00)));
    store(table, placeholder(3));
    store(table, declaration(4, 0x1A, 5, uuid16(0x2A01)));
    store(table, placeholder(5));
    store(table, descriptor(6, 0x2902));
    store(table, descriptor(7, 0x2901));
    store(table, service(8, 0xFFFF, uuid16(0x180F)));
    store(table, include(9, 1, 7, uuid16(0x1800)));
    store(table, declaration(10, 0x30, 11, uuid128(0x10)));
    store(table, placeholder(11));
    store(table, descriptor(12, 0x2902));
    return table;
}

} // namespace GattFixture
