#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

// What the benchmarks measure of the program while it works: resident
// memory, and how late the GUI thread serves a 10 ms timer.
namespace BenchMeasures {

// VmRSS of this process; -1 when it cannot be read.
long residentKiB();
// Hands freed heap pages back to the system, so that resident memory shows
// what is still in use rather than what the allocator keeps for later.
void releaseFreeHeap();
// p in 0..1 of the values (nearest rank); 0 for none.
double percentile(std::vector<double> values, double p);

// Lateness of a precise 10 ms timer on the GUI thread, one sample per tick.
class GuiLatencyProbe
{
public:
    GuiLatencyProbe();
    void start();
    void stop();
    const std::vector<double> &lateness() const { return m_lateness; }
    // "GUI timer lateness: median .. ms, 99th percentile .. ms, worst .. ms (n samples)"
    void print() const;

private:
    std::vector<double> m_lateness;
    QElapsedTimer m_tick;
    QTimer m_timer;
};

} // namespace BenchMeasures
