// libFuzzer target for the uplink framer. Besides the sanitizers' checks it
// holds the framer to three properties: every frame it hands out is well
// formed, cutting the same bytes into different pieces changes nothing while
// no time passes, and once the line stays quiet long enough no started frame
// holds bytes back.
#include "uplinkframer.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

struct Collector : UplinkFramer::Listener
{
    QList<QPair<int, QByteArray>> frames;
    QStringList lines;

    void uplinkFrame(UplinkFramer::Route route, const QByteArray &frame) override
    {
        checkFrame(route, frame);
        frames.append(qMakePair(int(route), frame));
    }
    void framingLog(const QString &text, int level) override
    {
        if (level != 1 || text.isEmpty())
            std::abort();
        lines.append(text);
    }

    static void checkFrame(UplinkFramer::Route route, const QByteArray &frame)
    {
        if (route != UplinkFramer::routeOf(frame))
            std::abort();
        const auto byte = [&](int i) { return quint64(quint8(frame.at(i))); };
        if (route == UplinkFramer::DownLoadRoute) {
            if (frame.size() < 8 || !frame.startsWith("QK"))
                std::abort();
            const quint64 length = byte(4) | (byte(5) << 8);
            if (length > UplinkFramer::MaxPayloadLength || quint64(frame.size()) != length + 8)
                std::abort();
            return;
        }
        if (frame.size() < UplinkFramer::HeaderLength)
            std::abort();
        const quint8 type = quint8(frame.at(0));
        if (type != 0xBB && type != 0xCC && type != 0xDD && type != 0xFF)
            std::abort();
        const quint64 length = byte(3) | (byte(4) << 8);
        if (length > UplinkFramer::MaxPayloadLength || quint64(frame.size()) != length + UplinkFramer::HeaderLength)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses how the rest is cut; the rest is the stream.
    const unsigned cut = data[0];
    const char *stream = reinterpret_cast<const char *>(data + 1);
    const qint64 length = qint64(size - 1);

    Collector whole;
    UplinkFramer wholeFramer(&whole);
    wholeFramer.parse(stream, length, 0);

    Collector pieces;
    UplinkFramer pieceFramer(&pieces);
    qint64 at = 0;
    unsigned step = 0;
    while (at < length) {
        const qint64 piece = qMin<qint64>(length - at, 1 + ((cut * 31u + step * 17u) % 97u));
        pieceFramer.parse(stream + at, piece, 0);
        at += piece;
        ++step;
    }

    // The same pieces with pauses between them, some long enough to give up a frame.
    Collector timed;
    UplinkFramer timedFramer(&timed);
    qint64 now = 0;
    at = 0;
    step = 0;
    while (at < length) {
        const qint64 piece = qMin<qint64>(length - at, 1 + ((cut * 13u + step * 29u) % 61u));
        timedFramer.parse(stream + at, piece, now);
        at += piece;
        ++step;
        now += (cut * 7u + step * 11u) % 300u;
        timedFramer.timePassed(now);
    }
    timedFramer.timePassed(now + 1000);
    if (timedFramer.state() != UplinkFramer::WaitReset && timedFramer.queuedBytes() != 0)
        std::abort();
    if (timedFramer.stallDeadline() != -1)
        std::abort();

    if (whole.frames != pieces.frames || whole.lines != pieces.lines)
        std::abort();
    if (wholeFramer.state() != pieceFramer.state() || wholeFramer.queuedBytes() != pieceFramer.queuedBytes())
        std::abort();
    // Nothing is held beyond the longest frame still being waited for.
    if (wholeFramer.queuedBytes() > qMax<qint64>(length, 0) || wholeFramer.queuedBytes() > 5008 + 6)
        std::abort();
    return 0;
}
