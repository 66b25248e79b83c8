#pragma once

#include "cfgtypes.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The AD types of the advertising data catalogue, and the byte building
// shared by the data editor and its tests.
namespace AdvDataTypes {

// Every record of the catalogue's advertising data list, in file order.
const QVector<AdvDataTypeInfo> &all();
// The first record with that title; null when there is none.
const AdvDataTypeInfo *first(const QString &title);

// One AD structure for a row (title, value text); empty for a title the
// catalogue does not know or a kind that builds no bytes.
QByteArray structureOf(const QString &title, const QString &value);

// Hexadecimal digit pairs to bytes in text order; a pair that is no number gives 0.
QByteArray pairsToBytes(const QString &digits);

// The refusal shown when a name would not fit its one-byte length field.
QString nameTooLongText();

} // namespace AdvDataTypes
