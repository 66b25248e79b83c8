#include "benchmeasures.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <malloc.h>

namespace BenchMeasures {

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

void releaseFreeHeap()
{
    malloc_trim(0);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

GuiLatencyProbe::GuiLatencyProbe()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const double elapsedMs = double(m_tick.nsecsElapsed()) / 1e6;
        m_tick.restart();
        m_lateness.push_back(std::max(0.0, elapsedMs - 10.0));
    });
}

void GuiLatencyProbe::start()
{
    m_lateness.clear();
    m_tick.start();
    m_timer.start();
}

void GuiLatencyProbe::stop()
{
    m_timer.stop();
}

void GuiLatencyProbe::print() const
{
    std::printf("GUI timer lateness: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms (%zu samples)\n",
                percentile(m_lateness, 0.5), percentile(m_lateness, 0.99), percentile(m_lateness, 1.0),
                m_lateness.size());
}

} // namespace BenchMeasures
