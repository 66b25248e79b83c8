#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <vector>

// What the benchmarks measure of the program itself.
namespace BenchProbe {

// The process's resident memory, -1 when /proc cannot be read.
long residentKiB();
// CPU seconds used so far by the calling thread, and by the whole process.
double threadCpuSeconds();
double processCpuSeconds();
// Hands freed heap pages back to the system, so that resident memory shows
// what is still in use rather than what the allocator keeps for later.
void releaseFreeHeap();
// Benchmarks run headless unless a platform is asked for; call before the
// application object is made.
void headlessByDefault();
// One write of up to size bytes into a non-blocking pseudo-terminal master:
// the bytes taken (0 when it is full, after waiting up to 10 ms for room), or
// -1 after saying why on standard error.
long writeToMaster(int fd, const char *data, long size);
// Runs a real event loop (it sleeps when nothing is due, as the program's
// does) until `done` holds, checked every checkMs, or timeoutMs pass; the
// final answer of `done`.
bool waitOnEventLoop(const std::function<bool()> &done, int timeoutMs, int checkMs = 10);
// Runs a real event loop for ms milliseconds.
void runEventLoopFor(int ms);
// The p-quantile (0..1) of the values, 0 for none.
double percentile(std::vector<double> values, double p);

// The GUI thread's lateness, sampled by a 10 ms timer while started.
class GuiLateness
{
public:
    GuiLateness();
    void start();
    void stop() { m_probe.stop(); }
    const std::vector<double> &samples() const { return m_lateness; }

private:
    std::vector<double> m_lateness;
    QElapsedTimer m_tick;
    QTimer m_probe;
};

// "GUI timer lateness: median .. ms, 99th percentile .. ms, worst .. ms (n samples)"
void printLateness(const GuiLateness &lateness);
// Prints the lateness quantiles and the memory samples taken over a run.
void printRun(const GuiLateness &lateness, long memoryBefore, const std::vector<long> &memory, int samples);

} // namespace BenchProbe
