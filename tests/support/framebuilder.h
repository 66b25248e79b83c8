#pragma once

#include <QByteArray>
#include <QString>

// Builds wire frames for tests from readable pieces: hexadecimal text, frame
// fields and the two checksum rules of the dongle protocol.
class FrameBuilder
{
public:
    // "AA 01 84 00 00", "aa:01:84" or "AA0184" give the same bytes; anything
    // that is not a hexadecimal digit separates nothing and is skipped.
    static QByteArray fromHex(const QString &text);
    // Upper-case pairs joined by single spaces ("AA 01 84 00 00 D1").
    static QString toHex(const QByteArray &bytes);

    // Two's complement of the 8-bit byte sum: the finished frame sums to 0.
    static quint8 checksum(const QByteArray &bytes);
    static QByteArray withChecksum(const QByteArray &bytes);
    // The boot loader's 16-bit sum of everything after the "QK" magic.
    static quint16 bootSum(const QByteArray &frameWithoutSum);

    // type, layer, opcode, u16 little-endian payload length and payload.
    static QByteArray frame(quint8 type, quint8 layer, quint8 opcode, const QByteArray &payload = QByteArray());
    // The same with its checksum appended.
    static QByteArray uplink(quint8 type, quint8 layer, quint8 opcode, const QByteArray &payload = QByteArray());
    static QByteArray downlink(quint8 layer, quint8 opcode, const QByteArray &payload = QByteArray());

    // Command status "BB layer opcode 01 00 status" with its checksum.
    static QByteArray status(quint8 layer, quint8 opcode, quint8 status = 0);
    // The reset event CC 00 02 01 00 00 with its checksum (0x31).
    static QByteArray resetEvent();
    // A dongle log frame (type 0xFF) carrying text, with its checksum.
    static QByteArray dongleLog(const QByteArray &text, quint8 layer = 0);
    // "QK", command, length, payload and the 16-bit sum.
    static QByteArray bootFrame(quint16 command, const QByteArray &payload = QByteArray());

    // The payload of a frame (after the 5-byte header), as its length field gives it.
    static QByteArray payloadOf(const QByteArray &frame);
    // The bytes as emitted by the reader: the checksum byte removed.
    static QByteArray withoutChecksum(const QByteArray &frame);
};
