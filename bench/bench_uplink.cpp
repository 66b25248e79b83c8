// The uplink road measured: bytes written into the pseudo-terminal master as
// fast as it takes them, cut and verified by the reader thread and delivered
// to a subscriber in the GUI thread. Printed against the line's own limit:
// 460800 baud 8N1 carries 46,080 bytes per second. In the same run, for the
// same bytes through a pseudo-terminal: a plain read (the ceiling) and, when
// Python with pyserial is there, bench/uplink_script.py cutting the frames.
#include "benchprobe.h"
#include "cconnectionwidget.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "simbehaviour_lists.h"
#include "simbehaviour_scan.h"
#include "serialportthread.h"
#include "simulateddongle.h"
#include "uplinkframer.h"

#include <QApplication>
#include <QToolButton>
#include <QDir>
#include <QProcess>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double lineBytesPerSecond = 46080.0;

// Writes the stream into the master, waiting whenever it is full; with a
// pace, no faster than that many bytes per second.
void writeAll(int fd, const QByteArray &stream, double bytesPerSecond = 0)
{
    QElapsedTimer clock;
    clock.start();
    qint64 at = 0;
    while (at < stream.size()) {
        qint64 allowed = stream.size() - at;
        if (bytesPerSecond > 0) {
            const qint64 due = qint64(bytesPerSecond * double(clock.nsecsElapsed()) / 1e9);
            allowed = qMin(allowed, due - at);
            if (allowed <= 0) {
                ::usleep(2000);
                continue;
            }
        }
        const long written = BenchProbe::writeToMaster(fd, stream.constData() + at, allowed);
        if (written < 0)
            return;
        at += written;
    }
}

// CPU seconds and voluntary sleeps (each one a wake-up later) of the thread
// whose name is `name`; waits a moment for a thread that has just started.
struct ThreadUse
{
    double cpuSeconds = 0;
    qint64 wakeUps = 0;
};

ThreadUse threadUse(const QByteArray &name)
{
    QElapsedTimer clock;
    clock.start();
    do {
        const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &task : tasks) {
            QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
            if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name)
                continue;
            ThreadUse use;
            QFile schedstat(QStringLiteral("/proc/self/task/%1/schedstat").arg(task));
            if (schedstat.open(QIODevice::ReadOnly))
                use.cpuSeconds = schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
            QFile status(QStringLiteral("/proc/self/task/%1/status").arg(task));
            if (status.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : status.readAll().split('\n')) {
                    if (line.startsWith("voluntary_ctxt_switches:"))
                        use.wakeUps = line.mid(24).trimmed().toLongLong();
                }
            }
            return use;
        }
        QThread::msleep(1);
    } while (clock.elapsed() < 2000);
    std::fprintf(stderr, "no thread named %s\n", name.constData());
    return {};
}

QByteArray makeStream(const QByteArray &frame, int count)
{
    QByteArray stream = FrameBuilder::fromHex("CC 00 02 01 00 00");
    stream.reserve(stream.size() + frame.size() * count);
    for (int i = 0; i < count; ++i)
        stream += frame;
    return stream;
}

struct Counter : UplinkFramer::Listener
{
    qint64 frames = 0;
    void uplinkFrame(UplinkFramer::Route, const QByteArray &) override { ++frames; }
    void framingLog(const QString &, int) override {}
};

void framerAlone(const char *label, const QByteArray &frame, int count)
{
    const QByteArray stream = makeStream(frame, count);
    Counter counter;
    UplinkFramer framer(&counter);
    QElapsedTimer clock;
    clock.start();
    for (qint64 at = 0; at < stream.size(); at += 4096)
        framer.parse(stream.constData() + at, qMin<qint64>(4096, stream.size() - at), clock.elapsed());
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double bytes = double(frame.size()) * count;
    std::printf("framer alone, %-24s %9.0f frames/s %8.1f MB/s  %7.0f x line rate\n", label, count / seconds,
                bytes / seconds / 1e6, bytes / seconds / lineBytesPerSecond);
}

// The ceiling: a thread that only reads the slave side, raw, until every byte
// has come. Returns the frames per second it amounts to, 0 on failure.
double plainRead(const char *label, const QByteArray &frame, int count)
{
    SimulatedDongle dongle;
    const int fd = ::open(dongle.portPath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    termios raw {};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    const QByteArray stream = makeStream(frame, count);
    double readerCpu = 0;
    qint64 got = 0;
    QElapsedTimer clock;
    clock.start();
    std::thread reader([&] {
        const double before = BenchProbe::threadCpuSeconds();
        char buffer[65536];
        while (got < stream.size()) {
            pollfd p {fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got += n;
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
        readerCpu = BenchProbe::threadCpuSeconds() - before;
    });
    writeAll(dongle.masterFd(), stream, 0.0);
    reader.join();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    ::close(fd);
    if (got < stream.size()) {
        std::printf("plain read,   %-24s only %lld of %lld bytes\n", label, static_cast<long long>(got),
                    static_cast<long long>(stream.size()));
        return 0;
    }
    const double bytes = double(frame.size()) * count;
    std::printf("plain read,   %-24s %9.0f frames/s %8.1f MB/s  %7.1f x line rate  (reader %.2f s CPU for %.2f s)\n",
                label, count / seconds, bytes / seconds / 1e6, bytes / seconds / lineBytesPerSecond, readerCpu,
                seconds);
    return count / seconds;
}

// A user's Python script with pyserial on the same bytes; -1 when Python or
// pyserial is missing, 0 when it failed.
double pythonScript(const char *label, const QByteArray &frame, int count)
{
    const QString script = QStringLiteral(VANTORA_BENCH_SOURCE_DIR "/uplink_script.py");
    // The system's Python first: that is where the Debian package puts pyserial.
    QString interpreter;
    for (const QString &candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import serial")});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0) {
            interpreter = candidate;
            break;
        }
    }
    if (interpreter.isEmpty()) {
        std::printf("python script, %-23s skipped: no python3 with pyserial (Debian: python3-serial)\n", label);
        return -1;
    }
    SimulatedDongle dongle;
    QProcess python;
    python.start(interpreter, {script, dongle.portPath(), QString::number(count)});
    if (!python.waitForStarted(5000) || !python.waitForReadyRead(10000)
        || !python.readLine().startsWith("ready")) {
        std::printf("python script, %-23s did not start\n", label);
        return 0;
    }
    const QByteArray stream = makeStream(frame, count);
    std::thread writer(writeAll, dongle.masterFd(), std::cref(stream), 0.0);
    python.waitForFinished(300000);
    writer.join();
    const QList<QByteArray> words = python.readAllStandardOutput().trimmed().split(' ');
    const qint64 frames = words.value(1).toLongLong();
    const double seconds = words.value(3).toDouble();
    const double cpu = words.value(5).toDouble();
    if (frames != count || seconds <= 0) {
        std::printf("python script, %-23s got %lld of %d frames\n", label, static_cast<long long>(frames), count);
        return 0;
    }
    const double bytes = double(frame.size()) * count;
    std::printf("python script, %-23s %9.0f frames/s %8.1f MB/s  %7.1f x line rate  (script %.2f s CPU for %.2f s)\n",
                label, count / seconds, bytes / seconds / 1e6, bytes / seconds / lineBytesPerSecond, cpu, seconds);
    return count / seconds;
}

// Returns the frames per second, 0 when not every frame arrived.
double road(const char *label, const QByteArray &frame, int count)
{
    SimulatedDongle dongle;
    LogManager logs(QStringLiteral("bench"));
    CMsg link(&logs);
    qint64 delivered = 0;
    QEventLoop loop;
    const auto count1 = [&](const QByteArray &) {
        if (++delivered == qint64(count) + 1)
            loop.quit();
    };
    QObject::connect(&link, &CMsg::sig_rcvCommonMsg, count1);
    QObject::connect(&link, &CMsg::sig_rcvGapMsg, count1);
    QObject::connect(&link, &CMsg::sig_rcvL2capMsg, count1);
    if (link.openPort(dongle.portPath()) != 0)
        return 0;

    const QByteArray stream = makeStream(frame, count);
    QElapsedTimer clock;
    const double cpuBefore = BenchProbe::processCpuSeconds();
    const double readerBefore = threadUse("SerialPortThrea").cpuSeconds;
    clock.start();
    std::thread writer(writeAll, dongle.masterFd(), std::cref(stream), 0.0);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double readerCpu = threadUse("SerialPortThrea").cpuSeconds - readerBefore;
    const double cpu = BenchProbe::processCpuSeconds() - cpuBefore;
    writer.join();
    link.closePort();

    const double bytes = double(frame.size()) * count;
    std::printf("road,         %-24s %9.0f frames/s %8.1f MB/s  %7.1f x line rate  (reader %.2f s, process %.2f s CPU "
                "for %.2f s)\n",
                label, count / seconds, bytes / seconds / 1e6, bytes / seconds / lineBytesPerSecond, readerCpu, cpu,
                seconds);
    if (delivered != qint64(count) + 1) {
        std::printf("  only %lld of %d frames arrived\n", static_cast<long long>(delivered - 1), count);
        return 0;
    }
    return count / seconds;
}

// Road, ceiling and script on the same frames, one after the other; the
// ratios are what to compare between machines.
// Road and ceiling take turns, so that a neighbour's load on a shared machine
// falls on both; the best and the median round of each are compared.
bool compare(const char *label, const QByteArray &frame, int count, int rounds)
{
    std::vector<double> ours;
    std::vector<double> ceiling;
    for (int round = 0; round < rounds; ++round) {
        ours.push_back(road(label, frame, count));
        ceiling.push_back(plainRead(label, frame, count));
    }
    const double script = pythonScript(label, frame, count);
    const double perFrame = frame.size() / lineBytesPerSecond;
    const double bestOurs = *std::max_element(ours.begin(), ours.end());
    const double bestCeiling = *std::max_element(ceiling.begin(), ceiling.end());
    const double medianOurs = BenchProbe::percentile(ours, 0.5);
    const double medianCeiling = BenchProbe::percentile(ceiling, 0.5);
    std::printf("  => %s, %d rounds: road best %.0f x line rate (median %.0f x), plain read best %.0f x (median %.0f x); "
                "road / plain read = %.2f (medians %.2f)",
                label, rounds, bestOurs * perFrame, medianOurs * perFrame, bestCeiling * perFrame,
                medianCeiling * perFrame, bestCeiling > 0 ? bestOurs / bestCeiling : 0.0,
                medianCeiling > 0 ? medianOurs / medianCeiling : 0.0);
    if (script > 0)
        std::printf("; road / python script = %.2f", medianOurs / script);
    std::printf("\n");
    std::fflush(stdout);
    return std::find(ours.begin(), ours.end(), 0.0) == ours.end();
}

bool atLineRate(const char *label, const QByteArray &frame, double seconds,
                int gatherMs = SerialPortThread::DefaultGatherMs)
{
    SimulatedDongle dongle;
    LogManager logs(QStringLiteral("bench"));
    CMsg link(&logs);
    link.portThread()->setGatherTime(gatherMs);
    const int count = int(lineBytesPerSecond * seconds / frame.size());
    qint64 delivered = 0;
    QEventLoop loop;
    const auto count1 = [&](const QByteArray &) {
        if (++delivered == qint64(count) + 1)
            loop.quit();
    };
    QObject::connect(&link, &CMsg::sig_rcvCommonMsg, count1);
    QObject::connect(&link, &CMsg::sig_rcvGapMsg, count1);
    QObject::connect(&link, &CMsg::sig_rcvL2capMsg, count1);
    if (link.openPort(dongle.portPath()) != 0)
        return false;

    const QByteArray stream = makeStream(frame, count);
    const double cpuBefore = BenchProbe::processCpuSeconds();
    const ThreadUse readerBefore = threadUse("SerialPortThrea");
    QElapsedTimer clock;
    clock.start();
    std::thread writer(writeAll, dongle.masterFd(), std::cref(stream), lineBytesPerSecond);
    QTimer::singleShot(int(seconds * 1000) + 30000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const ThreadUse readerAfter = threadUse("SerialPortThrea");
    const double readerCpu = readerAfter.cpuSeconds - readerBefore.cpuSeconds;
    const double cpu = BenchProbe::processCpuSeconds() - cpuBefore;
    writer.join();
    link.closePort();
    std::printf("line rate,    %-24s gathering %2d ms: reader %.1f ms CPU per second (%.2f %% of a core), %.0f wake-ups per second; "
                "whole process %.1f %% (writer thread included)\n",
                label, gatherMs, readerCpu / wall * 1000, readerCpu / wall * 100,
                double(readerAfter.wakeUps - readerBefore.wakeUps) / wall, cpu / wall * 100);
    return delivered == qint64(count) + 1;
}

// The GUI side of the road on a whole dongle tab: the scanning and
// advertising pages, the heartbeat and three connection pages all subscribe.
// The frames come as fast as the link takes them; measured is the GUI
// thread's CPU per frame, for a frame no page handles (the cost of handing
// it to every subscriber) and for a scan report (handled by one page).
bool tabFanOut(int count, const QString &only = QString())
{
    DongleTabRig rig(QStringLiteral("Bench"));
    ListsBehaviour *lists = ListsBehaviour::install(*rig.dongle);
    installScanBehaviour(*rig.dongle);
    rig.widget->logManager()->removeLogger(rig.log->name());
    if (!rig.start())
        return false;
    for (int i = 0; i < 3; ++i)
        lists->peerConnects(FrameBuilder::fromHex("C1 C2 C3 C4 C5").append(char(0xC6 + i)), 1);
    const int pages = rig.tabs()->count();
    QElapsedTimer settle;
    settle.start();
    while (rig.tabs()->count() < 3 + 1 && settle.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    rig.widget->resize(1200, 700);
    rig.widget->show();
    rig.widget->connectionWidget()->findChild<QToolButton *>(QStringLiteral("buttonScan"))->click();
    while (!rig.widget->connectionWidget()->isScanning() && settle.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    int subscribers = 0;
    for (QObject *object : rig.widget->findChildren<QObject *>())
        subscribers += object->metaObject()->indexOfSlot("onRcvMsg(QByteArray)") >= 0
                               || object->metaObject()->indexOfSlot("onRcvMsg(const QByteArray&)") >= 0
                           ? 1
                           : 0;
    std::printf("dongle tab: %d page tabs, %d objects with an uplink handler\n", rig.tabs()->count(), subscribers);
    if (rig.tabs()->count() <= pages)
        return false;

    const auto run = [&](const char *label, const QByteArray &frame, const QByteArray &prefix) {
        qint64 delivered = 0;
        QEventLoop loop;
        const QMetaObject::Connection counter =
            QObject::connect(rig.widget->link(), &CMsg::sig_rcvGapMsg, [&](const QByteArray &received) {
                if (received.startsWith(prefix) && ++delivered == count)
                    loop.quit();
            });
        QByteArray stream;
        for (int i = 0; i < count; ++i)
            stream += frame;
        const double guiBefore = BenchProbe::threadCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        std::thread writer(writeAll, rig.dongle->masterFd(), std::cref(stream), 0.0);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        const double gui = BenchProbe::threadCpuSeconds() - guiBefore;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        writer.join();
        QObject::disconnect(counter);
        std::printf("tab fan-out, %-28s GUI thread %6.2f us per frame, %8.0f frames/s (%lld of %d)\n", label,
                    gui * 1e6 / double(qMax<qint64>(1, delivered)), double(delivered) / seconds,
                    static_cast<long long>(delivered), count);
        std::fflush(stdout);
        return delivered == count;
    };
    // A layer-1 event no page has a row for.
    const QByteArray ignored = FrameBuilder::uplink(0xDD, 0x01, 0x7E, QByteArray(44, '\x11'));
    bool ok = true;
    if (only != QLatin1String("report"))
        ok = run("frame no page handles", ignored, ignored.left(3));
    SimAdvertiser device = ScanBehaviour::sampleAdvertisers(1).first();
    const QByteArray report = FrameBuilder::withChecksum(ScanBehaviour::advertisingReport(device));
    if (only != QLatin1String("ignored"))
        ok = run("scan report (one device)", report, report.left(3)) && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    registerConnectionPages();
    const QStringList args = app.arguments();
    const QString part = args.value(1, QStringLiteral("all"));
    const bool all = part == QLatin1String("all");
    // an advertising report of 50 bytes on the wire, and an L2CAP SDU event of 606
    const QByteArray shortFrame = FrameBuilder::uplink(0xDD, 0x01, 0x02, QByteArray(44, '\x11'));
    const QByteArray longFrame = FrameBuilder::uplink(0xDD, 0x04, 0x0A, QByteArray(600, '\x22'));

    std::printf("line limit: 460800 baud 8N1 = %.0f bytes/s; goals: road at least 1,500 x line rate for 50-byte "
                "frames and 2,000 x for 606-byte frames, reader under 0.5 %% of a core at line rate\n",
                lineBytesPerSecond);
    bool ok = true;
    if (all || part == QLatin1String("framer")) {
        framerAlone("short frames (50 B)", shortFrame, 400000);
        framerAlone("long frames (606 B)", longFrame, 40000);
    }
    if (all || part == QLatin1String("road")) {
        const int count = args.value(2, QStringLiteral("200000")).toInt();
        const int rounds = args.value(3, QStringLiteral("5")).toInt();
        ok = compare("short frames (50 B)", shortFrame, count, rounds) && ok;
        ok = compare("long frames (606 B)", longFrame, count / 10, rounds) && ok;
    }
    if (all || part == QLatin1String("line")) {
        const double seconds = args.value(2, QStringLiteral("3")).toDouble();
        const int gatherMs = args.value(3, QString::number(SerialPortThread::DefaultGatherMs)).toInt();
        ok = atLineRate("short frames (50 B)", shortFrame, seconds, gatherMs) && ok;
        ok = atLineRate("long frames (606 B)", longFrame, seconds, gatherMs) && ok;
    }
    if (all || part == QLatin1String("tab"))
        ok = tabFanOut(args.value(2, QStringLiteral("100000")).toInt(), args.value(3)) && ok;
    return ok ? 0 : 1;
}
