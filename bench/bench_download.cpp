// A whole two-stage firmware download (boot image of chip 0, then a 200 KiB
// user file) against the simulated boot loader, which answers each frame only
// after the wire time of that frame and its answer at 460800 baud 8N1
// (46,080 bytes per second). Printed: the time, its ratio to the wire time
// the protocol needs, the GUI timer's lateness meanwhile and the longest gap
// between two progress reports.
#include "cdownloadfirmware.h"
#include "firmwarefile.h"
#include "linkrig.h"
#include "simbehaviour_bootloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kUserFileBytes = 200 * 1024;
constexpr int kTickMs = 10;

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(size_t(fraction * double(values.size() - 1)));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = FirmwareFile::write(dir.path(), QStringLiteral("user.bin"),
                                             FirmwareFile::longForm(FirmwareFile::body(kUserFileBytes, 5)));

    // The link's send tick paces every frame; at 1 ms it stays out of the way.
    LinkRig rig(QStringLiteral("BenchDownload"), 1);
    SimBootLoader loader(rig.dongle);
    loader.setLineRate(true);
    if (path.isEmpty() || !rig.openAndSync()) {
        std::fprintf(stderr, "bench_download: no image file or no link\n");
        return 1;
    }

    cDownLoadFirmWare downloader(QStringLiteral("bench"), &rig.link, &rig.logs);
    downloader.setChipType(0);

    // GUI responsiveness: how late a 10 ms timer fires while the download runs.
    std::vector<double> lateness;
    QElapsedTimer tickClock;
    tickClock.start();
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = tickClock.nsecsElapsed();
        if (lastTick)
            lateness.push_back(std::max(0.0, double(now - lastTick) / 1e6 - kTickMs));
        lastTick = now;
    });

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
    ticker.start();
    clock.start();
    downloader.startDownload(path);
    loop.exec();
    const double elapsedMs = double(clock.nsecsElapsed()) / 1e6;
    ticker.stop();

    if (failed || !loader.errors().isEmpty() || loader.stages().size() != 2) {
        std::fprintf(stderr, "bench_download: the download did not go through (%s)\n",
                     qPrintable(loader.errors().join(QStringLiteral("; "))));
        return 1;
    }
    // The pauses after each stage's end and reset-and-run answers are the protocol's own waits.
    const double pausesMs = 2.0 * (BootLoaderEngine::DefaultEndPauseMs + BootLoaderEngine::DefaultRunPauseMs);
    const double wireMs = double(loader.wireBytes()) / SimBootLoader::LineBytesPerMs;
    std::printf("two-stage download: %d frames, %lld bytes on the wire both ways\n", loader.framesSeen(),
                static_cast<long long>(loader.wireBytes()));
    std::printf("time %.0f ms, of which %.0f ms are the protocol's fixed pauses\n", elapsedMs, pausesMs);
    std::printf("wire time %.0f ms: ratio %.2fx without the pauses, %.2fx with them\n", wireMs,
                (elapsedMs - pausesMs) / wireMs, elapsedMs / (wireMs + pausesMs));
    std::printf("GUI timer lateness: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms (%zu samples)\n",
                percentile(lateness, 0.5), percentile(lateness, 0.99), percentile(lateness, 1.0), lateness.size());
    std::printf("longest gap between progress reports: %.0f ms\n", longestGapMs);
    return 0;
}
