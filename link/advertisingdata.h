#pragma once

#include <QByteArray>
#include <QVector>

// One length-type-data structure of advertising or scan response data. A
// length byte of 0 gives a structure of that one byte, without a type.
struct AdStructure
{
    int offset = 0;   // of the length byte
    int length = 0;   // the length byte: type and data
    uchar type = 0;   // valid when length >= 1
    QByteArray data;  // the length - 1 bytes after the type
};

// Walks advertising data once for every reader of it (the scanning page's
// name column, the structure tree).
class AdvertisingData
{
public:
    // The structures in order. False when a structure runs past the end of
    // the data; the structures before it are kept.
    static bool split(const QByteArray &data, QVector<AdStructure> *structures);
    // The device's name: a Complete Local Name wins over a Shortened one in
    // any order; structures without a byte of name are ignored.
    static QByteArray localName(const QVector<AdStructure> &structures);

    static constexpr uchar ShortenedLocalName = 0x08;
    static constexpr uchar CompleteLocalName = 0x09;
};
