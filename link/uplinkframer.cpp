#include "uplinkframer.h"

#include "logger.h"
#include "uplinkheader.h"

#include <cstring>

namespace {

const char resetEvent[] = {'\xCC', '\x00', '\x02', '\x01', '\x00', '\x00'};

quint64 le16(const uchar *bytes)
{
    return quint64(bytes[0]) | (quint64(bytes[1]) << 8);
}

// The first byte of a command, event, ACL or log frame.
bool startsFrame(uchar byte)
{
    return byte == 0xBB || byte == 0xCC || byte == 0xDD || byte == 0xFF;
}

QString hexByte(uchar byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
}

} // namespace

UplinkFramer::UplinkFramer(Listener *listener)
    : m_listener(listener)
{
}

quint8 UplinkFramer::checksumOf(const char *data, qint64 size)
{
    quint8 sum = 0;
    for (qint64 i = 0; i < size; ++i)
        sum = quint8(sum + quint8(data[i]));
    return quint8(-sum);
}

UplinkFramer::Route UplinkFramer::routeOf(const QByteArray &frame)
{
    if (frame.startsWith("QK"))
        return DownLoadRoute;
    if (frame.size() < 2)
        return OtherRoute;
    const UplinkHeader header(frame);
    if (header.type() == 0xFF)
        return DongleLogRoute;
    switch (header.layer()) {
    case 0: return CommonRoute;
    case 1: return GapRoute;
    case 2: return SmRoute;
    case 3: return GattRoute;
    case 4: return L2capRoute;
    case 6: return IsochronousRoute;
    case 9: return LcpRoute;
    case 10: return IdtRoute;
    default: return OtherRoute;
    }
}

void UplinkFramer::dropOne(DropReason reason, const QByteArray &frame)
{
    const uchar first = uchar(m_queue.at(m_head));
    ++m_head;
    if (m_detailedLinesLeft > 0) {
        --m_detailedLinesLeft;
        switch (reason) {
        case NoFrameStart:
            m_listener->framingLog(
                QStringLiteral("The fix header of the uplink msg is 0x%1,it should be 0xBB or 0xCC or 0xDD or 0xFF")
                    .arg(hexByte(first)),
                LogLevel::Debug);
            break;
        case WrongLength:
            m_listener->framingLog(
                QStringLiteral("The uplink msg's length is wrong.Throw the head is 0x%1.").arg(hexByte(first)),
                LogLevel::Debug);
            break;
        case WrongChecksum: {
            m_listener->framingLog(QStringLiteral("The msg check checksum failed."), LogLevel::Debug);
            QString raw = QStringLiteral("Raw Data: ") + QString::fromLatin1(frame.left(RawDataShownBytes).toHex());
            if (frame.size() > RawDataShownBytes)
                raw += QStringLiteral("... (%1 bytes)").arg(frame.size());
            m_listener->framingLog(raw, LogLevel::Debug);
            break;
        }
        }
        return;
    }
    if (m_skippedHead.size() < 16)
        m_skippedHead.append(char(first));
    ++m_skipped;
    if (reason == WrongLength)
        ++m_skippedWrongLengths;
    else if (reason == WrongChecksum)
        ++m_skippedWrongChecksums;
    if (m_skipped >= SkippedRunLineBytes)
        flushSkipped();
}

void UplinkFramer::goodFrame()
{
    flushSkipped();
    m_detailedLinesLeft = DetailedLinesPerStretch;
}

void UplinkFramer::flushSkipped()
{
    if (m_skipped == 0)
        return;
    QString text = QStringLiteral("Skipped %1 bytes that start no uplink msg, the first: %2")
                       .arg(m_skipped)
                       .arg(QString::fromLatin1(m_skippedHead.toHex(' ')));
    if (m_skippedWrongLengths > 0 || m_skippedWrongChecksums > 0)
        text += QStringLiteral(" (%1 with a wrong length, %2 failing the checksum)")
                    .arg(m_skippedWrongLengths)
                    .arg(m_skippedWrongChecksums);
    m_skipped = 0;
    m_skippedHead.clear();
    m_skippedWrongLengths = 0;
    m_skippedWrongChecksums = 0;
    m_listener->framingLog(text, LogLevel::Debug);
}

bool UplinkFramer::readHeader(const char *head, qint64 available, int headerLength,
                              int lengthOffset, State bodyState)
{
    if (available < headerLength)
        return false;
    const uchar *bytes = reinterpret_cast<const uchar *>(head);
    m_expectedLength = le16(bytes + lengthOffset);
    if (m_expectedLength <= MaxPayloadLength) {
        m_state = bodyState;
    } else {
        dropOne(WrongLength);
        m_state = FrameStart;
    }
    return true;
}

void UplinkFramer::parse(const char *data, qint64 size, qint64 nowMs)
{
    if (size <= 0)
        return;
    m_queue.append(data, int(size));
    m_lastByteMs = nowMs;
    cut();
}

qint64 UplinkFramer::stallDeadline() const
{
    if (m_missing <= 0)
        return -1;
    // Twice the line time, rounded up to the next millisecond.
    const qint64 lineMs = (2 * m_missing * 1000 + LineBytesPerSecond - 1) / LineBytesPerSecond;
    return m_lastByteMs + m_stallGraceMs + lineMs;
}

void UplinkFramer::timePassed(qint64 nowMs)
{
    // What is queued behind the given-up byte may stall in turn; it is judged
    // against the same last byte, so one pass clears all that is overdue.
    while (m_missing > 0 && nowMs >= stallDeadline()) {
        abandonHead();
        cut();
    }
}

void UplinkFramer::abandonHead()
{
    const uchar first = uchar(m_queue.at(m_head));
    const bool frameStart = startsFrame(first) || first == 'Q';
    dropOne(m_state == FrameStart && !frameStart ? NoFrameStart : WrongLength);
    m_state = FrameStart;
}

void UplinkFramer::cut()
{
    m_missing = 0;
    for (;;) {
        const qint64 available = m_queue.size() - m_head;
        const char *head = m_queue.constData() + m_head;
        const uchar *bytes = reinterpret_cast<const uchar *>(head);
        // Bytes the state needs before it can judge; 0 once it has judged.
        qint64 needed = 0;

        switch (m_state) {
        case WaitReset:
            if (available < qint64(sizeof resetEvent)) {
                needed = qint64(sizeof resetEvent);
            } else if (std::memcmp(head, resetEvent, sizeof resetEvent) == 0) {
                m_head += int(sizeof resetEvent);
                m_state = FrameStart;
                m_listener->uplinkFrame(CommonRoute, QByteArray(resetEvent, int(sizeof resetEvent)));
            } else {
                ++m_head;
            }
            break;

        case FrameStart:
            // Two bytes even for a firmware frame: the boot-loader magic takes two.
            if (available < 2) {
                needed = 2;
            } else if (bytes[0] == 'Q' && bytes[1] == 'K') {
                m_state = BootHeader;
            } else if (startsFrame(bytes[0])) {
                m_state = FrameHeader;
            } else {
                dropOne(NoFrameStart);
            }
            break;

        case FrameHeader:
            if (!readHeader(head, available, HeaderLength, UplinkHeader::LengthOffset, FrameBody))
                needed = HeaderLength;
            break;

        case FrameBody: {
            const qint64 frameLength = HeaderLength + qint64(m_expectedLength);
            if (available < frameLength + 1) {
                needed = frameLength + 1;
                break;
            }
            if (checksumOf(head, frameLength) != bytes[frameLength]) {
                // Only read while the queue stands: dropOne moves the head alone.
                dropOne(WrongChecksum, QByteArray::fromRawData(head, int(frameLength)));
                m_state = FrameStart;
            } else {
                const QByteArray frame(head, int(frameLength));
                m_head += int(frameLength + 1);
                m_state = FrameStart;
                goodFrame();
                m_listener->uplinkFrame(routeOf(frame), frame);
            }
            break;
        }

        case BootHeader:
            if (!readHeader(head, available, BootHeaderLength, 4, BootBody))
                needed = BootHeaderLength;
            break;

        case BootBody: {
            const qint64 frameLength = BootHeaderLength + qint64(m_expectedLength) + 2;
            if (available < frameLength) {
                needed = frameLength;
                break;
            }
            const QByteArray frame(head, int(frameLength));
            m_head += int(frameLength);
            m_state = FrameStart;
            goodFrame();
            m_listener->uplinkFrame(DownLoadRoute, frame);
            break;
        }
        }
        if (needed > 0) {
            // Noise before the reset event is dropped anyway; nothing to give up.
            if (m_state != WaitReset && available > 0)
                m_missing = needed - available;
            break;
        }
    }

    if (m_head > 0) {
        m_queue.remove(0, m_head);
        m_head = 0;
    }
}
