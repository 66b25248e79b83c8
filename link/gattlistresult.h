#pragma once

#include <QByteArray>
#include <QList>

// The list results of GATT discoveries and reads: connection index, status,
// a 16-bit record count and the records back to back. Each record is a fixed
// header whose last one or two bytes give the length of what follows it.
struct GattListResult
{
    enum Error { NoError, TooShort, Truncated, CountMismatch };

    // Header of the records of one kind: its size and the size of the
    // length field that ends it (1 for a UUID length, 2 for a value length).
    struct Layout
    {
        int headerSize;
        int lengthSize;
    };
    static constexpr Layout Services{5, 1};
    static constexpr Layout Includes{7, 1};
    static constexpr Layout Characteristics{6, 1};
    static constexpr Layout Descriptors{3, 1};
    static constexpr Layout Reads{6, 2};

    // Reads the payload (the frame after its 5-byte header). condix and
    // status are set whenever the payload holds them, also on an error.
    static GattListResult cut(const QByteArray &payload, Layout layout);

    Error error = NoError;
    bool hasCondix = false;
    quint8 condix = 0;
    quint8 status = 0;
    quint16 count = 0;
    QList<QByteArray> records;  // header and tail of each record
};
