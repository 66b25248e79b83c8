// A scan storm on real scanning pages: for every page a simulated dongle
// streams advertising reports of many distinct devices at a fixed rate through
// the real link. Measured: the GUI thread's responsiveness (the lateness of a
// 10 ms timer) and its CPU time per report, the program's resident memory
// over the run, and that every report reached its table (row count, and each
// device's last report number). The GUI thread runs a real event loop, so it
// sleeps when nothing is due, as in the program.
//
//   bench_scanstorm [seconds=60] [reports per second per page=1000] [devices=5000]
//
// Runs one page, then five pages at once. Steady state: devices well below
// seconds x rate; new devices at full speed: e.g. "2 100000 10000" (each page
// learns 10,000 devices as fast as the link takes them); bursts: rate 8000.
#include "benchprobe.h"
#include "cconnectionwidget.h"
#include "cmsg.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "scanpagerig.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using BenchProbe::residentKiB;

// One report of a device, its number within that device's reports carried in
// manufacturer data so the table shows whether the last one arrived.
QByteArray report(const SimAdvertiser &device, quint32 number)
{
    QByteArray ad = ScanBehaviour::advertisingData(device);
    ad.append(char(5)).append(char(0xFF));
    for (int i = 0; i < 4; ++i)
        ad.append(char((number >> (8 * i)) & 0xFF));
    return FrameBuilder::withChecksum(ScanBehaviour::reportFrame(device, device.classification, ad));
}

struct Stream
{
    std::unique_ptr<ScanPageRig> rig;
    std::vector<quint32> sent; // reports per device
    std::atomic<qint64> total{0};
    qint64 received = 0; // report frames the page was handed
    std::thread writer;
};

// Writes reports round-robin over the devices at the rate, for the duration.
void writeStorm(Stream *stream, const QVector<SimAdvertiser> *devices, int fd, int rate, int seconds)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 count = qint64(rate) * seconds;
    int next = 0;
    QByteArray pending;
    for (qint64 n = 0; n < count;) {
        const qint64 due = qint64(double(rate) * double(clock.nsecsElapsed()) / 1e9);
        if (n >= due && pending.isEmpty()) {
            ::usleep(1000);
            continue;
        }
        while (n < due && n < count && pending.size() < 4096) {
            const quint32 number = ++stream->sent[size_t(next)];
            pending.append(report(devices->at(next), number));
            next = (next + 1) % devices->size();
            ++n;
        }
        while (!pending.isEmpty()) {
            const ssize_t written = ::write(fd, pending.constData(), size_t(pending.size()));
            if (written > 0) {
                pending.remove(0, int(written));
            } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 10);
            } else {
                std::fprintf(stderr, "write into the master failed: %s\n", std::strerror(errno));
                return;
            }
        }
        stream->total = n;
    }
}

bool runPhase(int pages, int seconds, int rate, int deviceCount)
{
    std::printf("\n== %d page(s), %d reports/s each, %d devices, %d s\n", pages, rate, deviceCount, seconds);
    const QVector<SimAdvertiser> devices = ScanBehaviour::sampleAdvertisers(deviceCount);

    std::vector<std::unique_ptr<Stream>> streams;
    for (int i = 0; i < pages; ++i) {
        auto stream = std::make_unique<Stream>();
        stream->rig = std::make_unique<ScanPageRig>();
        // The rig's test recorder keeps every line; a program has no such logger.
        stream->rig->logs.removeLogger(QStringLiteral("recorder"));
        stream->sent.assign(size_t(deviceCount), 0);
        if (!stream->rig->open()) {
            std::fprintf(stderr, "page %d: the port did not open\n", i);
            return false;
        }
        Stream *counted = stream.get();
        QObject::connect(&stream->rig->link, &CMsg::sig_rcvGapMsg, [counted](const QByteArray &frame) {
            if (frame.startsWith(QByteArray::fromHex("dd0102")))
                ++counted->received;
        });
        stream->rig->page->resize(1200, 700);
        stream->rig->page->show();
        stream->rig->widget<QToolButton>(QStringLiteral("buttonScan"))->click();
        if (!ScanPageRig::waitUntil([&] { return stream->rig->page->isScanning(); })) {
            std::fprintf(stderr, "page %d: the scan did not start\n", i);
            return false;
        }
        streams.push_back(std::move(stream));
    }

    BenchProbe::GuiLateness probe;

    const long memoryBefore = residentKiB();
    std::vector<long> memory;
    QElapsedTimer clock;
    clock.start();
    probe.start();
    const double guiCpuBefore = BenchProbe::threadCpuSeconds();
    for (auto &stream : streams) {
        stream->writer = std::thread(writeStorm, stream.get(), &devices,
                                     stream->rig->dongle.masterFd(), rate, seconds);
    }
    const int samples = 4;
    QEventLoop loop;
    QTimer housekeeping;
    housekeeping.setInterval(100);
    QObject::connect(&housekeeping, &QTimer::timeout, [&] {
        // The rig's own recorder would keep every frame.
        for (auto &stream : streams)
            stream->rig->uplinks.clear();
        if (clock.elapsed() >= qint64(seconds) * 1000 * qint64(memory.size() + 1) / samples)
            memory.push_back(residentKiB());
        if (clock.elapsed() >= qint64(seconds) * 1000)
            loop.quit();
    });
    housekeeping.start();
    loop.exec();
    housekeeping.stop();
    for (auto &stream : streams)
        stream->writer.join();
    probe.stop();

    // Let the last reports through.
    const bool drained = ScanPageRig::waitUntil(
        [&] {
            for (auto &stream : streams) {
                stream->rig->uplinks.clear();
                if (stream->received < stream->total)
                    return false;
            }
            return true;
        },
        30000);
    const double guiCpu = BenchProbe::threadCpuSeconds() - guiCpuBefore;
    const double wall = double(clock.elapsed()) / 1000.0;
    qint64 reports = 0;
    for (auto &stream : streams)
        reports += stream->received;

    std::printf("GUI thread CPU: %.2f s in %.1f s (%.1f %% of a core), %.2f us per report (%lld reports)\n",
                guiCpu, wall, 100.0 * guiCpu / wall, reports > 0 ? guiCpu * 1e6 / double(reports) : 0.0,
                static_cast<long long>(reports));
    BenchProbe::printRun(probe, memoryBefore, memory, samples);
    const long memoryAfter = residentKiB();
    std::printf(" %ld KiB after draining", memoryAfter);
    qint64 rowCount = 0;
    for (auto &stream : streams)
        rowCount += stream->rig->page->devices().size();
    if (rowCount > 0)
        std::printf(", %.2f KiB per device (%lld rows)", double(memoryAfter - memoryBefore) / double(rowCount),
                    static_cast<long long>(rowCount));
    std::printf("\n");

    bool complete = drained;
    for (size_t p = 0; p < streams.size(); ++p) {
        Stream &stream = *streams[p];
        const auto &rows = stream.rig->page->devices();
        int lastMissing = 0;
        for (const auto &row : rows) {
            const QByteArray ad = row.value(QStringLiteral("adv_data"));
            const quint32 number = ad.size() >= 4 ? quint32(uchar(ad.at(ad.size() - 4)))
                    | quint32(uchar(ad.at(ad.size() - 3))) << 8 | quint32(uchar(ad.at(ad.size() - 2))) << 16
                    | quint32(uchar(ad.at(ad.size() - 1))) << 24
                                                  : 0;
            const QByteArray addr = row.value(QStringLiteral("addr"));
            const int index = uchar(addr.at(0)) | uchar(addr.at(1)) << 8 | uchar(addr.at(2)) << 16;
            if (index >= deviceCount || stream.sent[size_t(index)] != number)
                ++lastMissing;
        }
        const qint64 received = stream.received;
        std::printf("page %zu: %lld reports sent, %lld received, %d rows, %d rows without their last report\n",
                    p + 1, static_cast<long long>(stream.total.load()), static_cast<long long>(received),
                    rows.size(), lastMissing);
        if (received != stream.total || rows.size() != std::min<qint64>(deviceCount, stream.total) || lastMissing)
            complete = false;
    }
    std::printf("every report reached its table: %s\n", complete ? "yes" : "NO");
    std::fflush(stdout);
    return complete;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.value(1, QStringLiteral("60")).toInt();
    const int rate = args.value(2, QStringLiteral("1000")).toInt();
    const int devices = args.value(3, QStringLiteral("5000")).toInt();

    bool ok = runPhase(1, seconds, rate, devices);
    ok = runPhase(5, seconds, rate, devices) && ok;
    return ok ? 0 : 1;
}
