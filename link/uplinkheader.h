#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The five bytes that start every uplink frame: type, layer, opcode and the
// payload's length, little-endian. The one reader of them for the framer,
// the dispatcher, the router and the page wire; it reads in place, as every
// page of a layer looks at every frame of it.
class UplinkHeader
{
public:
    static constexpr int Size = 5;
    // Where the payload's length stands, in a frame or a header still arriving.
    static constexpr int LengthOffset = 3;

    explicit UplinkHeader(const QByteArray &frame)
        : m_frame(frame)
    {
    }

    // The payload's length in a header of at least Size bytes.
    static quint16 lengthAt(const char *header)
    {
        return quint16(quint8(header[LengthOffset]) | quint8(header[LengthOffset + 1]) << 8);
    }

    // The type of a command sent to the dongle and of the acknowledgement
    // that answers it.
    static constexpr quint8 CommandType = 0xAA;
    static constexpr quint8 AcknowledgementType = 0xBB;

    // Type, layer and opcode are there.
    bool hasId() const { return m_frame.size() >= 3; }
    quint8 type() const { return quint8(m_frame.at(0)); }
    bool hasType(quint8 wanted) const { return hasId() && type() == wanted; }
    quint8 layer() const { return quint8(m_frame.at(1)); }
    // Type, layer and opcode as one number ("BB@01@05" is 0xBB0105); the
    // caller has checked hasId().
    quint32 idKey() const
    {
        return quint32(quint8(m_frame.at(0))) << 16 | quint32(quint8(m_frame.at(1))) << 8
            | quint32(quint8(m_frame.at(2)));
    }
    // Layer and opcode, as an acknowledgement repeats its command's.
    quint16 commandId() const { return quint16(idKey() & 0xFFFF); }

    bool isComplete() const { return m_frame.size() >= Size; }
    // The header is there and its length field gives the frame's size.
    bool isWellFormed() const { return isComplete() && lengthAt(m_frame.constData()) + Size == m_frame.size(); }

    // The bytes after the header.
    QByteArray payload() const { return m_frame.mid(Size); }
    // The first payload byte of a frame of any payload length; nothing when
    // the payload is empty.
    std::optional<uchar> firstPayloadByte() const
    {
        if (m_frame.size() <= Size)
            return std::nullopt;
        return uchar(m_frame.at(Size));
    }
    // The status byte of an acknowledgement, a frame of exactly one payload
    // byte; nothing for any other size.
    std::optional<uchar> acknowledgement() const
    {
        if (m_frame.size() != Size + 1)
            return std::nullopt;
        return uchar(m_frame.at(Size));
    }

private:
    const QByteArray &m_frame;
};
