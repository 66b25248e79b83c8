#pragma once

#include <QByteArray>
#include <QString>

// The dongle-wide settings whose bytes the catalogue does not lay out: the
// device name (stored in config.ini as hex text, last byte first, and sent in
// a frame built by hand). The profile list is ProfileRecordCodec's.
class DeviceSettingsCodec
{
public:
    // "Device Name Set" gives the name's length in one byte.
    static constexpr int MaxDeviceNameBytes = 255;

    // Builds the "Device Name Set" frame (without checksum) from a stored
    // name: two hex digits per byte, last byte first. Empty when the text
    // cannot be sent (odd length, non-hex digits, more than 255 bytes); then
    // error says why.
    static QByteArray deviceNameSetFrame(const QString &storedName, uchar layer, uchar opcode,
                                         QString *error = nullptr);
    // The same frame's payload ([L][name...]); empty, with error set, when
    // the text cannot be sent.
    static QByteArray deviceNameSetPayload(const QString &storedName, QString *error = nullptr);
    // Stored form of a device name: every byte as two lower-case hex digits,
    // last byte first.
    static QString storedDeviceName(const QByteArray &nameBytes);
    // The name bytes of a "Device Name Get" answer's payload ([L][name...]);
    // false when the payload is empty or L disagrees with its size.
    static bool nameFromAnswer(const QByteArray &payload, QByteArray *name);
};
