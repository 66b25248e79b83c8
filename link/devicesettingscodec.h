#pragma once

#include <QByteArray>
#include <QString>

// The dongle-wide settings whose bytes the catalogue does not lay out: the
// device name (stored in config.ini as hex text, last byte first, and sent in
// a frame built by hand) and the profile list.
class DeviceSettingsCodec
{
public:
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

    // The stored profile list ([enabled][L][id][name...] records, each
    // disabled) of a "Profile Get" answer's payload ([L][id][name...]
    // records). Stops at a truncated record; truncatedAt is then its offset,
    // else -1.
    static QByteArray storedProfiles(const QByteArray &payload, int *truncatedAt = nullptr);
    // The enabled profile ids of a stored profile list; stops at a truncated
    // record and reports it.
    static QByteArray enabledProfileIds(const QByteArray &profiles, bool *truncated = nullptr);
};
