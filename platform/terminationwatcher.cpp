#include "terminationwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr int watchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_signalled = 0;
struct sigaction g_previous[sizeof watchedSignals / sizeof watchedSignals[0]];

extern "C" void onTerminationSignal(int signalNumber)
{
    if (g_signalled) {
        // The first request did not end the process: let this one.
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    g_signalled = 1;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Only async-signal-safe calls here; a full pipe cannot happen with one byte.
    ssize_t written = ::write(g_pipe[1], &byte, 1);
    (void)written;
    errno = savedErrno;
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (g_pipe[0] < 0)
            g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    g_signalled = 0;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    // One handler at a time, so two signals at once count as one request.
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : watchedSignals)
        sigaddset(&action.sa_mask, signalNumber);
    // Interrupted system calls resume, so a read or poll elsewhere is not cut short.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < sizeof watchedSignals / sizeof watchedSignals[0]; ++i)
        sigaction(watchedSignals[i], &action, &g_previous[i]);

    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::onReadable);
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < sizeof watchedSignals / sizeof watchedSignals[0]; ++i)
        sigaction(watchedSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

QString TerminationWatcher::signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGHUP: return QStringLiteral("SIGHUP");
    default: return QStringLiteral("signal %1").arg(signalNumber);
    }
}

void TerminationWatcher::onReadable()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        m_requested = true;
        emit sig_terminationRequested(int(byte));
    }
}

} // namespace Platform
