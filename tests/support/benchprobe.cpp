#include "benchprobe.h"

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <malloc.h>
#include <poll.h>
#include <unistd.h>

namespace BenchProbe {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

namespace {
double cpuSeconds(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
} // namespace

double threadCpuSeconds()
{
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

double processCpuSeconds()
{
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

void releaseFreeHeap()
{
    malloc_trim(0);
}

void headlessByDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

long writeToMaster(int fd, const char *data, long size)
{
    const ssize_t written = ::write(fd, data, size_t(size));
    if (written >= 0)
        return long(written);
    if (errno == EAGAIN || errno == EINTR) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
        return 0;
    }
    std::fprintf(stderr, "write into the master failed: %s\n", std::strerror(errno));
    return -1;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

GuiLateness::GuiLateness()
{
    m_probe.setTimerType(Qt::PreciseTimer);
    m_probe.setInterval(10);
    QObject::connect(&m_probe, &QTimer::timeout, [this] {
        const double elapsedMs = double(m_tick.nsecsElapsed()) / 1e6;
        m_tick.restart();
        m_lateness.push_back(std::max(0.0, elapsedMs - 10.0));
    });
}

void GuiLateness::start()
{
    m_tick.start();
    m_probe.start();
}

bool waitOnEventLoop(const std::function<bool()> &done, int timeoutMs, int checkMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(checkMs);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void printLateness(const GuiLateness &lateness)
{
    const std::vector<double> &values = lateness.samples();
    std::printf("GUI timer lateness: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms (%zu samples)\n",
                percentile(values, 0.5), percentile(values, 0.99), percentile(values, 1.0), values.size());
}

void printRun(const GuiLateness &lateness, long memoryBefore, const std::vector<long> &memory, int samples)
{
    printLateness(lateness);
    std::printf("resident memory: %ld KiB before;", memoryBefore);
    for (size_t i = 0; i < memory.size(); ++i)
        std::printf(" %ld KiB at %zu/%d;", memory[i], i + 1, samples);
}

} // namespace BenchProbe
