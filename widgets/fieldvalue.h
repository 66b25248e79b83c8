#pragma once

#include <QString>
#include <QtGlobal>

// How a typed field's text becomes its message value: hexadecimal digits,
// most significant first, two per byte of the field's length.
namespace FieldValue {

// Left-padded with zeros to the field's length in bytes; never cut.
QString paddedHex(quint64 number, const QString &byteLength);
// The text's UTF-8 bytes, last byte first.
QString stringHex(const QString &text);
// Whole steps of a non-negative scaled number; below zero gives 0.
QString unsignedStepsHex(const QString &text, const QString &step, const QString &byteLength);
// Whole steps of a signed scaled number, as 16-bit two's complement.
QString signed16StepsHex(const QString &text, const QString &step, const QString &byteLength);
// A described default text by its editor's type ("int", "hex", "addr",
// "littleEnd", "string", "double", "int16double"); empty for any other type.
QString ofType(const QString &type, const QString &text, const QString &byteLength, const QString &step);

} // namespace FieldValue
