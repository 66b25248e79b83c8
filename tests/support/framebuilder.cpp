#include "framebuilder.h"

QByteArray FrameBuilder::fromHex(const QString &text)
{
    QByteArray digits;
    for (const QChar c : text) {
        if (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            digits.append(c.toLatin1());
    }
    return QByteArray::fromHex(digits);
}

QString FrameBuilder::toHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

quint8 FrameBuilder::checksum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (const char b : bytes)
        sum = quint8(sum + quint8(b));
    return quint8(-sum);
}

QByteArray FrameBuilder::withChecksum(const QByteArray &bytes)
{
    return bytes + char(checksum(bytes));
}

quint16 FrameBuilder::bootSum(const QByteArray &frameWithoutSum)
{
    quint16 sum = 0;
    for (int i = 2; i < frameWithoutSum.size(); ++i)
        sum = quint16(sum + quint8(frameWithoutSum.at(i)));
    return sum;
}

QByteArray FrameBuilder::frame(quint8 type, quint8 layer, quint8 opcode, const QByteArray &payload)
{
    QByteArray bytes;
    bytes.append(char(type));
    bytes.append(char(layer));
    bytes.append(char(opcode));
    bytes.append(char(payload.size() & 0xFF));
    bytes.append(char((payload.size() >> 8) & 0xFF));
    bytes.append(payload);
    return bytes;
}

QByteArray FrameBuilder::uplink(quint8 type, quint8 layer, quint8 opcode, const QByteArray &payload)
{
    return withChecksum(frame(type, layer, opcode, payload));
}

QByteArray FrameBuilder::downlink(quint8 layer, quint8 opcode, const QByteArray &payload)
{
    return uplink(0xAA, layer, opcode, payload);
}

QByteArray FrameBuilder::status(quint8 layer, quint8 opcode, quint8 status)
{
    return uplink(0xBB, layer, opcode, QByteArray(1, char(status)));
}

QByteArray FrameBuilder::resetEvent()
{
    return withChecksum(fromHex("CC 00 02 01 00 00"));
}

QByteArray FrameBuilder::dongleLog(const QByteArray &text, quint8 layer)
{
    return uplink(0xFF, layer, 0x00, text);
}

QByteArray FrameBuilder::bootFrame(quint16 command, const QByteArray &payload)
{
    QByteArray bytes("QK");
    bytes.append(char(command & 0xFF));
    bytes.append(char(command >> 8));
    bytes.append(char(payload.size() & 0xFF));
    bytes.append(char((payload.size() >> 8) & 0xFF));
    bytes.append(payload);
    const quint16 sum = bootSum(bytes);
    bytes.append(char(sum & 0xFF));
    bytes.append(char(sum >> 8));
    return bytes;
}

QByteArray FrameBuilder::withoutChecksum(const QByteArray &frame)
{
    return frame.left(frame.size() - 1);
}

QByteArray FrameBuilder::payloadOf(const QByteArray &frame)
{
    if (frame.size() < 5)
        return QByteArray();
    const int length = quint8(frame.at(3)) | (quint8(frame.at(4)) << 8);
    return frame.mid(5, length);
}
