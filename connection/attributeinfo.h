#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <cstdint>

// One attribute of the peer's database as the GATT page knows it. The page
// keeps a vector of these indexed by attribute handle.
struct AttributeInfo
{
    uint8_t valid = 0;       // non-zero once discovery reported the handle
    quint16 handle = 0;
    QByteArray uuid;         // 16 bytes, little-endian; a 16-bit UUID is followed by 14 zero bytes
    QString uuidDescription;
    QByteArray value;        // service: start, end, UUID; characteristic: properties, value handle, UUID
    uint8_t properties = 0;  // characteristic property bits
    QColor valueColor = QColor(Qt::black);
};
