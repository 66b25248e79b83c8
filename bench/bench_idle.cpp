// What the program costs while nothing happens: five simulated dongles (each
// its own process, so their work is not counted) are connected to five
// dongle tabs with every page, the heartbeat runs at its usual pace and the
// port watcher watches the five ports as the program does. Measured: the
// process's CPU time over the quiet period, as a share of one core.
//
//   bench_idle [seconds=30] [dongles=5]
#include "advertisingpages.h"
#include "benchprobe.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "isochronouspages.h"
#include "maindonglewidget.h"
#include "portwatcher.h"
#include "testmodepages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.value(1, QStringLiteral("30")).toInt();
    const int count = args.value(2, QStringLiteral("5")).toInt();

    const QString simdongle = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../tests/simdongle"));
    std::vector<std::unique_ptr<QProcess>> dongles;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        auto process = std::make_unique<QProcess>();
        process->start(simdongle, QStringList());
        if (!process->waitForStarted(5000) || !process->waitForReadyRead(5000)) {
            std::fprintf(stderr, "%s did not start\n", qPrintable(simdongle));
            return 1;
        }
        ports << QString::fromLocal8Bit(process->readLine().trimmed());
        // Its log of received frames is not wanted.
        process->setStandardOutputFile(QProcess::nullDevice());
        process->closeReadChannel(QProcess::StandardOutput);
        dongles.push_back(std::move(process));
    }
    qputenv("VANTORA_EXTRA_PORTS", ports.join(QLatin1Char(':')).toLocal8Bit());

    registerConnectionPages();
    registerAdvertisingPages();
    registerIsochronousPages();
    registerTestModePages();

    Platform::PortWatcher watcher;
    std::vector<std::unique_ptr<MainDongleWidget>> tabs;
    for (int i = 0; i < count; ++i) {
        auto tab = std::make_unique<MainDongleWidget>(QStringLiteral("Idle%1").arg(i + 1));
        tab->initWidgets();
        if (tab->link()->openPort(ports.at(i)) != 0) {
            std::fprintf(stderr, "%s did not open\n", qPrintable(ports.at(i)));
            return 1;
        }
        tab->onConnectionStatusChanged(true);
        tab->resize(1200, 700);
        tab->show();
        tabs.push_back(std::move(tab));
    }

    const auto runFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    // The start-up queries and their answers are not idle time.
    runFor(3000);
    const double cpuBefore = BenchProbe::processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    runFor(seconds * 1000);
    const double cpu = BenchProbe::processCpuSeconds() - cpuBefore;
    const double wall = double(clock.elapsed()) / 1000.0;
    int connected = 0;
    for (const auto &tab : tabs)
        connected += tab->isConnected() ? 1 : 0;
    std::printf("idle, %d dongle(s) connected (%d still connected at the end), watcher %s:\n", count, connected,
                watcher.usesUdev() ? "udev plus polling of the extra ports" : "polling");
    std::printf("process CPU %.3f s in %.1f s = %.2f %% of a core (goal: under 0.5 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    std::fflush(stdout);

    tabs.clear();
    for (auto &process : dongles) {
        process->kill();
        process->waitForFinished(2000);
    }
    return connected == count ? 0 : 1;
}
