#pragma once

#include "attributeinfo.h"

#include <QByteArray>
#include <QVector>

// Attribute tables as the GATT page's discovery handlers fill them, for the
// tests of the models and the page.
namespace GattFixture {

QByteArray le16(quint16 value);
QByteArray uuid16(quint16 value);          // two bytes, least significant first
QByteArray uuid128(quint8 seed);           // 16 distinct bytes, top byte non-zero

AttributeInfo service(quint16 handle, quint16 end, const QByteArray &serviceUuid);
AttributeInfo include(quint16 handle, quint16 start, quint16 end, const QByteArray &serviceUuid);
AttributeInfo declaration(quint16 handle, quint8 properties, quint16 valueHandle, const QByteArray &charUuid);
AttributeInfo placeholder(quint16 handle);
AttributeInfo descriptor(quint16 handle, quint16 uuid);

// Stores at the record's handle, growing the table as the page does.
void store(QVector<AttributeInfo> &table, const AttributeInfo &record);

// Handles 1-12: Generic Access (1-7) with Device Name (read, write) and
// Appearance (read, write, notify; a 0x2902 and a 0x2901 descriptor), then a
// service (8, end 0xFFFF) with an include and a 128-bit characteristic
// (notify, indicate) with a 0x2902 descriptor.
QVector<AttributeInfo> basicTable();

} // namespace GattFixture
