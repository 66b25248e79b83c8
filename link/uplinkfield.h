#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One field of an uplink frame read by the catalogue's offset, without
// parsing the whole frame into a map: what routing needs to know before it
// can tell which page wants the frame.
namespace UplinkField {
// The frame's ID (its first three bytes) as one number, for tables kept by
// ID; nothing for a frame shorter than that.
std::optional<quint32> idKey(const QByteArray &frame);


// The field `key` as a little-endian number (at most 8 bytes). Nothing when
// the catalogue gives the frame's ID no such field, or when the frame is one
// the catalogue parse would reject (its pages then see it and log why).
std::optional<quint64> number(const QByteArray &frame, const QString &key);

} // namespace UplinkField
