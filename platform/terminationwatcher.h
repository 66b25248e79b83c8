#pragma once

#include <QObject>

class QSocketNotifier;

namespace Platform {

// Turns SIGTERM, SIGINT and SIGHUP (logging out, Ctrl+C in the starting
// terminal, a service manager) into a Qt signal on the thread that created
// the watcher, so the program can close as its close button does. The
// handler itself only writes the signal number into a pipe. A second such
// signal while the first is being handled ends the process at once, as an
// escape from a close that hangs. One watcher per process; the previous
// handlers come back when it is destroyed.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    // False when the pipe or the handlers could not be set up (or another
    // watcher exists); the signals then keep their default action.
    bool isActive() const { return m_notifier != nullptr; }
    // A signal has been reported since the watcher was created.
    bool terminationRequested() const { return m_requested; }

    // "SIGTERM", "SIGINT", "SIGHUP", or "signal N" for any other.
    static QString signalName(int signalNumber);

signals:
    void sig_terminationRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
};

} // namespace Platform
