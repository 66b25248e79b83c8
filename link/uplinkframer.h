#pragma once

#include "uplinkheader.h"

#include <QByteArray>
#include <QString>

// Cuts the dongle's uplink byte stream into frames and checks them; knows no
// thread and no port, so the reader, the fuzz target and the benchmark share it.
//
// Until the dongle's reset event (CC 00 02 01 00 00) has been seen, every
// other byte is dropped silently. Then it cuts firmware frames (BB/CC/DD/FF,
// layer, opcode, u16 length, payload, 8-bit checksum) and boot-loader frames
// ("QK", command, u16 length, payload, 16-bit sum, not checked here). A bad
// start, length or checksum costs one byte, so a true frame behind a false
// start is still found. The first bad bytes between two good frames get a
// line each; beyond that they are counted and told in one line per run, so
// noise cannot make the log many times larger than what was received.
//
// A frame whose remaining bytes stop coming is abandoned the same way: a
// corrupted header can announce thousands of bytes, and an idle dongle sends
// only a few a second, so waiting for them would hold back every answer for
// minutes. The reader gives the time with the bytes, so the framer stays a
// plain function of its input.
class UplinkFramer
{
public:
    enum State { WaitReset, FrameStart, FrameHeader, FrameBody, BootHeader, BootBody };

    // Which of the reader's signals a frame leaves by.
    enum Route {
        CommonRoute,       // layer 0, and the reset event
        GapRoute,          // layer 1
        SmRoute,           // layer 2
        GattRoute,         // layer 3
        L2capRoute,        // layer 4
        IsochronousRoute,  // layer 6: both the BIG/CIG and the spare signal
        LcpRoute,          // layer 9
        IdtRoute,          // layer 10
        OtherRoute,        // every other layer
        DownLoadRoute,     // boot-loader frame
        DongleLogRoute     // type 0xFF, any layer
    };

    class Listener
    {
    public:
        virtual ~Listener() = default;
        // frame: header and payload without the checksum; a boot-loader frame whole.
        virtual void uplinkFrame(Route route, const QByteArray &frame) = 0;
        virtual void framingLog(const QString &text, int level) = 0;
    };

    static constexpr int HeaderLength = UplinkHeader::Size;
    static constexpr int BootHeaderLength = 6;
    static constexpr quint64 MaxPayloadLength = 5000;
    // Lines of their own for bad bytes between two good frames.
    static constexpr int DetailedLinesPerStretch = 16;
    // A run of counted bytes is told at the latest after this many.
    static constexpr qint64 SkippedRunLineBytes = 65536;
    // Bytes of a dropped frame shown in hex; the length is always stated.
    static constexpr int RawDataShownBytes = 128;
    // The serial line: 460800 baud, 8N1.
    static constexpr qint64 LineBytesPerSecond = 46080;
    // Silence allowed after the last byte before a started frame is given up,
    // on top of twice the line time of the bytes still missing.
    static constexpr qint64 DefaultStallGraceMs = 100;

    explicit UplinkFramer(Listener *listener);

    // Queues the bytes received at nowMs (any monotonic clock in
    // milliseconds) and cuts every frame that is complete; the rest waits for
    // the next call. Bytes that come count as no silence, however late they
    // are read: only timePassed gives a frame up.
    void parse(const char *data, qint64 size, qint64 nowMs);
    void parse(const QByteArray &data, qint64 nowMs) { parse(data.constData(), data.size(), nowMs); }
    // Tells the framer that nowMs has come without new bytes; gives up a
    // frame whose missing bytes should have arrived by then.
    void timePassed(qint64 nowMs);
    // When a started frame will be given up if no byte comes; -1 when none waits.
    qint64 stallDeadline() const;
    void setStallGrace(qint64 ms) { m_stallGraceMs = ms; }

    // Tells the run of counted bytes, if any; the reader calls it when the
    // line goes quiet.
    void flushSkipped();
    // Whether skipped bytes wait for their summary line.
    bool hasSkippedRun() const { return m_skipped > 0; }

    State state() const { return m_state; }
    qint64 queuedBytes() const { return m_queue.size() - m_head; }

    static Route routeOf(const QByteArray &frame);
    static quint8 checksumOf(const char *data, qint64 size);

private:
    enum DropReason { NoFrameStart, WrongLength, WrongChecksum };
    // Drops the first queued byte, logging or counting why.
    void dropOne(DropReason reason, const QByteArray &frame = QByteArray());
    void goodFrame();
    void cut();
    void abandonHead();
    // Takes a header whose u16 payload length stands at lengthOffset; false
    // while fewer than headerLength bytes are queued.
    bool readHeader(const char *head, qint64 available, int headerLength, int lengthOffset,
                    State bodyState);

    Listener *m_listener;
    State m_state = WaitReset;
    quint64 m_expectedLength = 0;
    // Received and not yet consumed: bytes from m_head on.
    QByteArray m_queue;
    int m_head = 0;

    int m_detailedLinesLeft = DetailedLinesPerStretch;
    qint64 m_skipped = 0;
    QByteArray m_skippedHead;
    qint64 m_skippedWrongLengths = 0;
    qint64 m_skippedWrongChecksums = 0;
    // Bytes the frame being cut still lacks; 0 when nothing is started.
    qint64 m_missing = 0;
    qint64 m_lastByteMs = 0;
    qint64 m_stallGraceMs = DefaultStallGraceMs;
};
