// A whole two-stage firmware download (boot image of chip 0, then a 200 KiB
// user file) against the simulated boot loader, which answers each frame only
// after the wire time of that frame and its answer at 460800 baud 8N1
// (46,080 bytes per second).
//
// Run first with the program's own send tick (one frame per 100 ms), which is
// what a user gets, then with a 1 ms tick, which leaves only the engine and
// the wire. Each run prints its time against the wire minimum (wire time plus
// the protocol's fixed pauses) and against the tick's own limit (one frame
// per tick: frames x tick plus the fixed pauses), the GUI timer's lateness
// meanwhile and the longest gap between two progress reports.
//
//   bench_download            both runs
//   bench_download <tick ms>  one run at that tick
#include "benchprobe.h"
#include "cdownloadfirmware.h"
#include "firmwarefile.h"
#include "linkrig.h"
#include "simbehaviour_bootloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kUserFileBytes = 200 * 1024;
// The goal against the tick's own limit.
constexpr double kTickGoal = 1.05;

bool runDownload(const QString &path, int tickMs)
{
    LinkRig rig(QStringLiteral("BenchDownload"), tickMs);
    SimBootLoader loader(rig.dongle);
    loader.setLineRate(true);
    if (!rig.openAndSync()) {
        std::fprintf(stderr, "bench_download: no link\n");
        return false;
    }
    cDownLoadFirmWare downloader(QStringLiteral("bench"), &rig.link, &rig.logs);
    downloader.setChipType(0);

    BenchProbe::GuiLateness lateness;
    // Progress: the longest gap between two reports within a stage.
    QElapsedTimer clock;
    qint64 lastProgress = -1;
    int lastStage = 0;
    double longestGapMs = 0;
    QObject::connect(&downloader, &FirmwareLoader::sig_progress, [&](int stage, quint32, quint32) {
        const qint64 now = clock.nsecsElapsed();
        if (stage == lastStage && lastProgress >= 0)
            longestGapMs = std::max(longestGapMs, double(now - lastProgress) / 1e6);
        lastStage = stage;
        lastProgress = now;
    });

    QEventLoop loop;
    bool failed = false;
    QObject::connect(&downloader, &FirmwareLoader::sig_heartBeatRestart, &loop, &QEventLoop::quit);
    QObject::connect(&downloader, &FirmwareLoader::sig_downloadFailed, [&] {
        failed = true;
        loop.quit();
    });
    lateness.start();
    clock.start();
    downloader.startDownload(path);
    loop.exec();
    const double elapsedMs = double(clock.nsecsElapsed()) / 1e6;
    lateness.stop();

    if (failed || !loader.errors().isEmpty() || loader.stages().size() != 2) {
        std::fprintf(stderr, "bench_download: the download did not go through (%s %s)\n",
                     qPrintable(downloader.failureReason()), qPrintable(loader.errors().join(QStringLiteral("; "))));
        return false;
    }
    // The pauses after each stage's end and reset-and-run answers are the protocol's own waits.
    const double pausesMs = 2.0 * (BootLoaderEngine::DefaultEndPauseMs + BootLoaderEngine::DefaultRunPauseMs);
    const double wireMs = double(loader.wireBytes()) / SimBootLoader::LineBytesPerMs;
    const double tickLimitMs = double(loader.framesSeen()) * tickMs + pausesMs;
    const double wireLimitMs = wireMs + pausesMs;
    std::printf("send tick %d ms%s: %d frames, %lld bytes on the wire both ways\n", tickMs,
                tickMs == CMsg::DefaultSendIntervalMs ? " (the program's own)" : "", loader.framesSeen(),
                static_cast<long long>(loader.wireBytes()));
    std::printf("  time %.0f ms, of which %.0f ms are the protocol's fixed pauses\n", elapsedMs, pausesMs);
    std::printf("  against the wire minimum (%.0f ms wire + pauses = %.0f ms): %.2fx; throughput %.1f%% of the "
                "line (46,080 B/s)\n",
                wireMs, wireLimitMs, elapsedMs / wireLimitMs, 100.0 * wireMs / (elapsedMs - pausesMs));
    std::printf("  against the tick's limit (%d frames x %d ms + pauses = %.0f ms): %.3fx", loader.framesSeen(), tickMs,
                tickLimitMs, elapsedMs / tickLimitMs);
    // The goal holds where the tick, not the wire, sets the pace.
    if (tickLimitMs >= wireLimitMs)
        std::printf(" (goal %.2fx: %s)\n", kTickGoal, elapsedMs / tickLimitMs <= kTickGoal ? "met" : "missed");
    else
        std::printf(" (the wire, not the tick, sets this pace)\n");
    std::printf("  ");
    BenchProbe::printLateness(lateness);
    std::printf("  longest gap between progress reports: %.0f ms\n", longestGapMs);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    BenchProbe::headlessByDefault();
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = FirmwareFile::write(dir.path(), QStringLiteral("user.bin"),
                                             FirmwareFile::longForm(FirmwareFile::body(kUserFileBytes, 5)));
    if (path.isEmpty()) {
        std::fprintf(stderr, "bench_download: no image file\n");
        return 1;
    }
    if (argc > 1)
        return runDownload(path, qMax(1, QByteArray(argv[1]).toInt())) ? 0 : 1;
    // What a user gets, then the engine alone.
    const bool programTick = runDownload(path, CMsg::DefaultSendIntervalMs);
    const bool engineOnly = runDownload(path, 1);
    return programTick && engineOnly ? 0 : 1;
}
