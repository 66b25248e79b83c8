// The uplink road measured: bytes written into the pseudo-terminal master as
// fast as it takes them, cut and verified by the reader thread and delivered
// to a subscriber in the GUI thread. Printed against the line's own limit:
// 460800 baud 8N1 carries 46,080 bytes per second. In the same run, for the
// same bytes through a pseudo-terminal: a plain read (the ceiling) and, when
// Python with pyserial is there, bench/uplink_script.py cutting the frames.
#include "cmsg.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "simulateddongle.h"
#include "uplinkframer.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
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
        const ssize_t written = ::write(fd, stream.constData() + at, size_t(allowed));
        if (written > 0) {
            at += written;
        } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p {fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
        } else {
            std::fprintf(stderr, "write into the master failed: %s\n", strerror(errno));
            return;
        }
    }
}

// CPU seconds of the thread whose name is `name`, from the scheduler's own
// nanosecond count; waits a moment for a thread that has just started.
double threadCpuSeconds(const QByteArray &name)
{
    QElapsedTimer clock;
    clock.start();
    do {
        const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &task : tasks) {
            QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
            if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name)
                continue;
            QFile schedstat(QStringLiteral("/proc/self/task/%1/schedstat").arg(task));
            if (schedstat.open(QIODevice::ReadOnly))
                return schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
        }
        QThread::msleep(1);
    } while (clock.elapsed() < 2000);
    std::fprintf(stderr, "no thread named %s\n", name.constData());
    return 0;
}

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
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

double threadCpuNow()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
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
        const double before = threadCpuNow();
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
        readerCpu = threadCpuNow() - before;
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
    const double cpuBefore = processCpuSeconds();
    const double readerBefore = threadCpuSeconds("SerialPortThrea");
    clock.start();
    std::thread writer(writeAll, dongle.masterFd(), std::cref(stream), 0.0);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double readerCpu = threadCpuSeconds("SerialPortThrea") - readerBefore;
    const double cpu = processCpuSeconds() - cpuBefore;
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
bool compare(const char *label, const QByteArray &frame, int count)
{
    const double ours = road(label, frame, count);
    const double ceiling = plainRead(label, frame, count);
    const double script = pythonScript(label, frame, count);
    std::printf("  => %s: road %.0f x line rate; road / plain read = %.2f", label,
                ours * frame.size() / lineBytesPerSecond, ceiling > 0 ? ours / ceiling : 0.0);
    if (script > 0)
        std::printf("; road / python script = %.2f", ours / script);
    std::printf("\n");
    std::fflush(stdout);
    return ours > 0;
}

bool atLineRate(const char *label, const QByteArray &frame, double seconds)
{
    SimulatedDongle dongle;
    LogManager logs(QStringLiteral("bench"));
    CMsg link(&logs);
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
    const double cpuBefore = processCpuSeconds();
    const double readerBefore = threadCpuSeconds("SerialPortThrea");
    QElapsedTimer clock;
    clock.start();
    std::thread writer(writeAll, dongle.masterFd(), std::cref(stream), lineBytesPerSecond);
    QTimer::singleShot(int(seconds * 1000) + 30000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const double readerCpu = threadCpuSeconds("SerialPortThrea") - readerBefore;
    const double cpu = processCpuSeconds() - cpuBefore;
    writer.join();
    link.closePort();
    std::printf("line rate,    %-24s reader %.1f ms CPU per second (%.2f %% of a core); whole process %.1f %% "
                "(writer thread included)\n",
                label, readerCpu / wall * 1000, readerCpu / wall * 100, cpu / wall * 100);
    return delivered == qint64(count) + 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // an advertising report of 50 bytes on the wire, and an L2CAP SDU event of 606
    const QByteArray shortFrame = FrameBuilder::uplink(0xDD, 0x01, 0x02, QByteArray(44, '\x11'));
    const QByteArray longFrame = FrameBuilder::uplink(0xDD, 0x04, 0x0A, QByteArray(600, '\x22'));

    std::printf("line limit: 460800 baud 8N1 = %.0f bytes/s; goal: 50 x = %.1f MB/s\n", lineBytesPerSecond,
                50 * lineBytesPerSecond / 1e6);
    framerAlone("short frames (50 B)", shortFrame, 400000);
    framerAlone("long frames (606 B)", longFrame, 40000);
    bool ok = compare("short frames (50 B)", shortFrame, 200000);
    ok = compare("long frames (606 B)", longFrame, 20000) && ok;
    ok = atLineRate("short frames (50 B)", shortFrame, 3.0) && ok;
    ok = atLineRate("long frames (606 B)", longFrame, 3.0) && ok;
    return ok ? 0 : 1;
}
