#pragma once

#include <QString>
#include <QTimer>

#include <functional>

// The bookkeeping of one batch of GATT requests of a page. A watchdog ends a
// batch that nothing is heard of, so the page's controls come back. Each
// batch has its own number, so an answer to a batch that ended is told apart.
class GattBatch
{
public:
    enum Kind { None, Discovery, Reads, Writes };

    // onSilence runs when a running batch has heard nothing for the time-out.
    GattBatch(int timeoutMs, std::function<void()> onSilence);

    void begin(Kind kind);
    // The running batch goes on as another kind, its requests counted anew.
    void continueAs(Kind kind);
    void finish();

    Kind kind() const { return m_kind; }
    bool isRunning() const { return m_kind != None; }
    // The command the batch sent last.
    QString command() const { return m_command; }
    // Changes whenever a batch begins or ends.
    quint64 serial() const { return m_serial; }

    // A request of the batch was queued.
    void requestSent(const QString &command);
    // Something of the batch came back: its silence starts again.
    void heard();

    void setTimeoutMs(int ms) { m_watchdog.setInterval(ms); }
    int timeoutMs() const { return m_watchdog.interval(); }

private:
    Kind m_kind = None;
    QString m_command;
    quint64 m_serial = 0;
    QTimer m_watchdog;
};
