// SDUs through one credit-based channel of a real L2CAP page, over the real
// link, with the simulated dongle at line rate (460800 baud 8N1, 46,080 B/s
// each way) and the program's link at its own send tick.
//
//   bench_sdu [peer MTUs=2048,4096,65530, or none] [receive seconds=60]
//
// Sending: a 1 MiB file, every "Send SDU" answered as the dongle does (status,
// then the result). Reported: bytes/s, its ratio to the line, and the ratio of
// the time taken to the wire time of the frames and answers that had to cross
// (one SDU is in flight at a time, so they cross one after the other).
// Receiving: the peer sends SDUs as fast as the line and its credits allow;
// the page returns credits by itself. Reported: bytes/s, the bytes lost (and
// the link's own count of frames given up or dropped), that the data file
// holds every SDU that came in order, the GUI thread's lateness and resident
// memory. The simulated dongle writes from the GUI thread: a GUI thread held
// up longer than the framer's stall grace in the middle of a frame (a very
// busy machine) costs that frame, as a real line that stops mid-frame would.
#include "benchprobe.h"
#include "cl2capwidget.h"
#include "cmsg.h"
#include "csduwidget.h"
#include "filechooser.h"
#include "l2caprig.h"
#include "linepacer.h"
#include "logger.h"
#include "logmanager.h"
#include "modalanswerer.h"
#include "simbehaviour_l2cap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

using BenchProbe::residentKiB;

const int FileSize = 1024 * 1024;
const int SendSduOverhead = 5 + 5 + 1;   // header, fields, checksum
const int SduAnswers = (5 + 1 + 1) + (5 + 6 + 1); // status and result, with checksums

bool sendFile(int mtu)
{
    std::printf("\n== sending 1 MiB, peer MTU %d\n", mtu);
    L2capRig rig(CMsg::DefaultSendIntervalMs);
    rig.rig.logs.removeLogger(QStringLiteral("recorder"));
    if (!rig.open()) {
        std::fprintf(stderr, "the port did not open\n");
        return false;
    }
    rig.rig.dongle.setLineRate(true);
    rig.l2cap->setChannelPlan({quint16(mtu), quint16(qMin(mtu, 65533)), 65535, 0});
    if (!rig.createChannel(64, 2048, 247, 255)) {
        std::fprintf(stderr, "the channel did not open\n");
        return false;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("send.bin"));
    QByteArray content(FileSize, '\0');
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(content.data()), FileSize / 4);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != FileSize)
            return false;
    }
    setFileChooser([path](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
        return path;
    });

    ModalAnswerer answerer(600000);
    answerer.click(QStringLiteral("m_pbOk"));
    CSduWidget *sdu = rig.sdu(64);
    QElapsedTimer clock;
    clock.start();
    sdu->findChild<QPushButton *>(QStringLiteral("pushButtonSendFile"))->click();
    // A plain event loop, as the program runs: the test helpers' waits sleep between turns.
    QEventLoop loop;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (answerer.allAnswered() || clock.elapsed() > 600000)
            loop.quit();
    });
    done.start(5);
    loop.exec();
    if (!answerer.allAnswered()) {
        std::fprintf(stderr, "the transfer did not finish\n");
        return false;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    setFileChooser(FileChooserFunction());

    const L2capBehaviour::Channel channel = rig.l2cap->channel(0, 64);
    const int sdus = channel.sdusDelivered;
    const double wireBytes = double(FileSize) + double(sdus) * (SendSduOverhead + SduAnswers);
    const double wireSeconds = wireBytes / LinePacer::SerialLineRate;
    const double rate = FileSize / seconds;
    // One SDU frame in flight, and a frame leaves only on a send tick: each
    // SDU takes its wire time rounded up to whole ticks.
    const double tickSeconds = CMsg::DefaultSendIntervalMs / 1000.0;
    const double sduWireSeconds = sdus > 0 ? wireSeconds / sdus : 0;
    const double tickLimit = sdus * std::ceil(sduWireSeconds / tickSeconds - 1e-9) * tickSeconds;
    std::printf("%d SDUs in %.2f s: %.0f B/s, %.3f of the line; wire minimum %.2f s, ratio %.3f; data %s\n", sdus,
                seconds, rate, rate / LinePacer::SerialLineRate, wireSeconds, seconds / wireSeconds,
                channel.delivered == content ? "intact" : "CORRUPT");
    std::printf("tick's limit (%d ms send tick, one SDU in flight: %.0f ms of wire per SDU rounded up to whole "
                "ticks): %.2f s, ratio %.3f; the tick allows %.3f of the line\n",
                CMsg::DefaultSendIntervalMs, 1000 * sduWireSeconds, tickLimit, seconds / tickLimit,
                tickLimit > 0 ? wireSeconds / tickLimit : 0.0);
    return channel.delivered == content;
}

// The peer's data: a byte stream whose every byte is known from its offset.
char streamByte(qint64 offset)
{
    return char((offset * 131 + (offset >> 9)) & 0xFF);
}

// Counts from the link's own lines what it could not hand on: the bytes the
// framer gave up (a frame whose bytes stopped coming for longer than the
// stall grace, then what came after it up to the next frame; one line per
// byte at first, then a line that counts them), and the frames the backlog
// bound dropped because the window fell too far behind.
class DropCounter : public Logger
{
public:
    DropCounter() : Logger(QStringLiteral("drops"), LogLevel::Debug, TypeDummy) {}
    void log(const QString &text, int) override
    {
        static const QRegularExpression skipped(QStringLiteral("^Skipped (\\d+) bytes that start no uplink msg"));
        static const QRegularExpression dropped(
            QStringLiteral("^The program fell behind the dongle and dropped (\\d+) uplink frames"));
        if (text.startsWith(QLatin1String("The uplink msg's length is wrong"))
            || text.startsWith(QLatin1String("The fix header of the uplink msg")))
            ++bytesGivenUp;
        QRegularExpressionMatch match = skipped.match(text);
        if (match.hasMatch())
            bytesGivenUp += match.captured(1).toLongLong();
        match = dropped.match(text);
        if (match.hasMatch())
            backlogDrops += match.captured(1).toLongLong();
    }
    void clear() override {}

    qint64 bytesGivenUp = 0;
    qint64 backlogDrops = 0;
};

bool receive(int seconds)
{
    const int sduLength = 1024;
    std::printf("\n== receiving %d-byte SDUs for %d s (local MTU 2048, MPS 247, 255 credits)\n", sduLength, seconds);
    L2capRig rig(CMsg::DefaultSendIntervalMs);
    rig.rig.logs.removeLogger(QStringLiteral("recorder"));
    if (!rig.open())
        return false;
    rig.rig.dongle.setLineRate(true);
    if (!rig.createChannel(64, 2048, 247, 255))
        return false;
    CSduWidget *sdu = rig.sdu(64);
    rig.page->resize(1200, 700);
    rig.page->show();

    auto *drops = new DropCounter;
    rig.rig.logs.addLogger(drops);
    qint64 sent = 0;
    qint64 received = 0;
    QObject::connect(rig.page.get(), &CL2capWidget::receiveSDU,
                     [&received](QString, QString, QString, QByteArray data, QMap<QString, QString> &) {
                         received += data.size();
                     });
    QElapsedTimer clock;
    QTimer streamer;
    streamer.setInterval(1);
    QObject::connect(&streamer, &QTimer::timeout, [&] {
        // Keep the line busy, no more: the dongle holds what the line has not taken.
        while (rig.rig.dongle.pendingUplinkBytes() < 2 * sduLength && clock.elapsed() < qint64(seconds) * 1000) {
            QByteArray data(sduLength, '\0');
            for (int i = 0; i < sduLength; ++i)
                data[i] = streamByte(sent + i);
            if (!rig.l2cap->peerSendsSdu(0, 64, data))
                break; // out of credits until the page returns some
            sent += sduLength;
        }
        rig.rig.uplinks.clear();
    });

    BenchProbe::GuiLateness probe;
    const long memoryBefore = residentKiB();
    std::vector<long> memory;
    clock.start();
    probe.start();
    streamer.start();
    const int samples = 4;
    int nextSample = 1;
    QEventLoop loop;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (clock.elapsed() >= qint64(seconds) * 1000 * nextSample / samples) {
            memory.push_back(residentKiB());
            ++nextSample;
        }
        if (clock.elapsed() >= qint64(seconds) * 1000)
            loop.quit();
    });
    sampler.start(50);
    loop.exec();
    streamer.stop();
    probe.stop();
    const bool drained = L2capRig::waitUntil([&] { return received == sent; }, 30000);
    const double rate = double(received) / seconds;

    // The file holds the SDUs that came, each whole and in order; one that
    // never came leaves a gap of its own size, told as lost.
    QFile file(sdu->receiveFilePath());
    bool inOrder = file.open(QIODevice::ReadOnly) && file.size() == received;
    qint64 next = 0; // the next SDU of the stream, by number
    qint64 skipped = 0;
    while (inOrder && !file.atEnd()) {
        const QByteArray block = file.read(sduLength);
        const auto isSdu = [&block](qint64 number) {
            for (int i = 0; i < block.size(); ++i) {
                if (block.at(i) != streamByte(number * sduLength + i))
                    return false;
            }
            return block.size() == sduLength;
        };
        qint64 number = next;
        while (number * sduLength < sent && !isSdu(number))
            ++number;
        inOrder = number * sduLength < sent;
        skipped += number - next;
        next = number + 1;
    }
    const qint64 lost = sent - received;

    std::printf("%lld bytes sent, %lld received: %.0f B/s, %.3f of the line%s\n", static_cast<long long>(sent),
                static_cast<long long>(received), rate, rate / LinePacer::SerialLineRate,
                drained ? "" : " (NOT DRAINED)");
    std::printf("lost: %lld bytes of SDUs (%lld missing from the file); uplink bytes the framer gave up: %lld; "
                "frames the backlog bound dropped: %lld\n",
                static_cast<long long>(lost), static_cast<long long>(skipped),
                static_cast<long long>(drops->bytesGivenUp), static_cast<long long>(drops->backlogDrops));
    std::printf("data file: %s\n", inOrder ? "every SDU that came, whole and in order" : "WRONG");
    std::printf("credit returns: %d\n", rig.downlinks(QStringLiteral("04@0B")).size());
    BenchProbe::printRun(probe, memoryBefore, memory, samples);
    std::printf("\n");
    return drained && inOrder && lost == 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false;qt.*=false");
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QList<int> mtus{2048, 4096, 65530};
    if (args.size() > 1) {
        mtus.clear();
        // "none": the receiving run alone.
        for (const QString &mtu : args.at(1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (mtu != QLatin1String("none"))
                mtus.append(mtu.toInt());
        }
    }
    const int seconds = args.size() > 2 ? args.at(2).toInt() : 60;

    bool ok = true;
    for (int mtu : mtus)
        ok = sendFile(mtu) && ok;
    if (seconds > 0)
        ok = receive(seconds) && ok;
    return ok ? 0 : 1;
}
