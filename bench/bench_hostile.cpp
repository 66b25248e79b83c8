// A hostile dongle at several times the line rate: random bytes, then error
// statuses, then advertising reports of ever new addresses, written straight
// into the pseudo-terminal of a scanning page while its heartbeat runs.
// Printed per phase: how late a 10 ms timer on the GUI thread fired (the
// window's answer time), resident memory, and whether the dongle stayed alive.
//
//   bench_hostile [seconds per phase=20] [times the line rate=4]
#include "benchprobe.h"
#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "devicestablemodel.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "scanpagerig.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double LineBytesPerSecond = 46080.0;

// Writes what next() makes, paced to bytesPerSecond, for the duration. Each
// piece is written whole, so the simulated dongle's own answers fall between
// frames.
void writePaced(int fd, double bytesPerSecond, int seconds, const std::function<QByteArray()> &next,
                std::atomic<qint64> *written)
{
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    QByteArray pending;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        const qint64 due = qint64(bytesPerSecond * double(clock.nsecsElapsed()) / 1e9);
        if (sent >= due && pending.isEmpty()) {
            ::usleep(1000);
            continue;
        }
        while (pending.size() < 4096 && sent + pending.size() < due)
            pending.append(next());
        while (!pending.isEmpty()) {
            const long n = BenchProbe::writeToMaster(fd, pending.constData(), pending.size());
            if (n < 0)
                return;
            pending.remove(0, int(n));
            sent += n;
            if (clock.elapsed() >= qint64(seconds) * 1000)
                break;
        }
        *written = sent;
    }
}

} // namespace

int main(int argc, char **argv)
{
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    const double times = argc > 2 ? QByteArray(argv[2]).toDouble() : 4.0;
    const double rate = LineBytesPerSecond * times;

    ScanPageRig rig;
    // The rig's test recorder keeps every line; a program has no such logger.
    rig.logs.removeLogger(QStringLiteral("recorder"));
    if (!rig.open()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    rig.page->resize(1200, 700);
    rig.page->show();
    rig.widget<QToolButton>(QStringLiteral("buttonScan"))->click();
    if (!ScanPageRig::waitUntil([&] { return rig.page->isScanning(); })) {
        std::fprintf(stderr, "the scan did not start\n");
        return 1;
    }
    CHeartBeat heartBeat(&rig.link, &rig.logs);
    QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
    heartBeat.start();

    std::printf("Hostile dongle at %.1fx the line rate (%.0f B/s, line 46,080 B/s), %d s per phase\n", times, rate,
                seconds);

    QRandomGenerator random(20261210);
    const QByteArray refused = FrameBuilder::uplink(0xBB, 0x01, 0x03, QByteArray(1, '\x07'));
    SimAdvertiser device = ScanBehaviour::sampleAdvertisers(1).first();
    quint32 address = 0;

    struct Phase
    {
        const char *name;
        std::function<QByteArray()> next;
    };
    const Phase phases[] = {
        {"random bytes",
         [&random] {
             QByteArray bytes(512, Qt::Uninitialized);
             random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
             return bytes;
         }},
        {"error statuses", [&refused] { return refused; }},
        {"unique addresses",
         [&device, &address] {
             ++address;
             for (int i = 0; i < 4; ++i)
                 device.addr[i] = char((address >> (8 * i)) & 0xFF);
             return FrameBuilder::withChecksum(
                 ScanBehaviour::reportFrame(device, device.classification, ScanBehaviour::advertisingData(device)));
         }},
    };

    bool allWell = true;
    long worstMemoryKiB = 0;
    double worstLateness = 0;
    for (const Phase &phase : phases) {
        BenchProbe::GuiLateness probe;
        std::atomic<qint64> written {0};
        const long memoryBefore = BenchProbe::residentKiB();
        long peak = memoryBefore;
        probe.start();
        std::thread writer(writePaced, rig.dongle.masterFd(), rate, seconds, phase.next, &written);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < qint64(seconds) * 1000 + 500) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            peak = qMax(peak, BenchProbe::residentKiB());
        }
        writer.join();
        probe.stop();
        const double worst = probe.samples().empty()
            ? 0
            : *std::max_element(probe.samples().begin(), probe.samples().end());
        std::printf("\n== %s: %lld bytes written (%.2fx the line rate)\n", phase.name, qlonglong(written.load()),
                    double(written.load()) / seconds / LineBytesPerSecond);
        BenchProbe::printLateness(probe);
        std::printf("resident memory: %ld MiB before, %ld MiB at most\n", memoryBefore / 1024, peak / 1024);
        std::printf("devices in the table: %d\n", rig.page->devicesModel()->rowCount());
        worstMemoryKiB = qMax(worstMemoryKiB, peak);
        worstLateness = qMax(worstLateness, worst);
    }
    // Let the heartbeat judge the quiet line after the attack.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    const bool alive = dead.isEmpty();
    allWell = worstLateness < 100 && worstMemoryKiB < 300 * 1024 && alive;
    std::printf("\nworst GUI lateness %.1f ms (goal < 100), most memory %ld MiB (goal < 300), dongle %s\n",
                worstLateness, worstMemoryKiB / 1024, alive ? "alive" : "declared dead");
    std::printf("%s\n", allWell ? "all goals met" : "GOALS MISSED");
    return allWell ? 0 : 2;
}
