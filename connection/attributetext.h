#pragma once

#include "attributeinfo.h"

#include <QString>
#include <QVariant>

// Texts and checks that the attribute models, the detail box and the export
// share, so a handle or UUID reads the same everywhere.
namespace AttributeText {

constexpr int ColumnCount = 5;

// The 16-byte little-endian form holds the 16-bit UUID and nothing else.
bool isUuid16(const QByteArray &uuid, quint16 uuid16);

// Stores uuid in the record padded to 16 bytes; a UUID of at most namedUpTo
// bytes also gets its en_UUID name, read as a number.
void setShortUuid(AttributeInfo *record, const QByteArray &uuid, int namedUpTo);

// "0x002a"
QString handleText(quint16 handle);
// "0x2a00": zero bytes dropped from the most significant end, at least 4 digits.
QString uuidText(const QByteArray &uuid);
// "0a:ff:01"; empty for no bytes.
QString valueText(const QByteArray &value);
// Property key names of the set bits, '_' shown as ' ', joined by separator.
QString propertyNames(uint8_t properties, const QString &separator);

// What both attribute models show of a record in a cell, for the display,
// tool-tip and foreground roles (the background differs between them).
QVariant cellData(const AttributeInfo &record, int column, int role);
// The five column titles.
QVariant headerData(int section, Qt::Orientation orientation, int role);

// The row a characteristic declaration implies for its value: handle and
// UUID from the declaration's value, properties from its first byte. False
// when the declaration's value is too short to hold them.
bool characteristicValueRecord(const AttributeInfo &declaration, AttributeInfo *record);

} // namespace AttributeText
