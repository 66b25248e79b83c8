#pragma once

#include <QByteArray>
#include <QString>

// Image files for the downloader's tests: a body and a 48-byte trailer in the
// short form (last 48 bytes) or the long form (904 bytes before the end,
// then the 0xDEADBEEF marker and 852 more bytes).
namespace FirmwareFile {

constexpr quint32 DefaultLoadAddress = 0x01100000;

// A deterministic body in which every byte value occurs.
QByteArray body(int size, quint8 seed = 0);
// Magic, format 1, body length and sum, load address twice, 3, 0x744, the name zero-padded.
QByteArray trailer(const QByteArray &body, quint32 loadAddress, const QByteArray &name);
QByteArray shortForm(const QByteArray &body, const QByteArray &name = "ble_tool_fw",
                     quint32 loadAddress = DefaultLoadAddress);
// withMarker false leaves the four marker bytes zero.
QByteArray longForm(const QByteArray &body, const QByteArray &name = "ble_tool_fw",
                    quint32 loadAddress = DefaultLoadAddress, bool withMarker = true);
// Writes the bytes to dir/name and returns the path (empty on failure).
QString write(const QString &dir, const QString &name, const QByteArray &bytes);

} // namespace FirmwareFile
