#pragma once

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// The bookkeeping of one batch of GATT requests of a page. Acknowledgements
// carry no connection index: the batch takes as many of its command's as it
// sent requests. A watchdog ends a batch that nothing is heard of, so the
// page's controls come back.
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

    // A request of the batch was queued; its acknowledgement is expected.
    void requestSent(const QString &command);
    // Something of the batch came back: its silence starts again.
    void heard();
    // The status of an acknowledgement of the batch's command, which is taken;
    // nothing for any other frame or when none is expected.
    std::optional<quint8> takeAcknowledgement(const QByteArray &frame);

    void setTimeoutMs(int ms) { m_watchdog.setInterval(ms); }
    int timeoutMs() const { return m_watchdog.interval(); }

private:
    Kind m_kind = None;
    QString m_command;
    QString m_acknowledgementId;
    int m_acknowledgements = 0;
    QTimer m_watchdog;
};
