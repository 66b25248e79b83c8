#pragma once

#include <QObject>
#include <QStringList>

class QSocketNotifier;
class QTimer;

namespace Platform {

// Reports serial ports that appear and disappear, with the names
// Platform::availablePortNames() gives. Where udev can be used its "tty"
// monitor wakes the watcher; otherwise the port list is compared once a
// interval. Signals arrive on the thread the watcher lives in.
class PortWatcher : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Automatic, // udev when available, else polling
        Polling,   // always compare the port list on a timer
    };

    explicit PortWatcher(QObject *parent = nullptr);
    explicit PortWatcher(Mode mode, int pollIntervalMs = 1000, QObject *parent = nullptr);
    ~PortWatcher() override;

    bool usesUdev() const;
    QStringList knownPorts() const { return m_known; }

public slots:
    // Compares the port list with the last one and reports the differences.
    void rescan();

signals:
    void arrived(const QString &name);
    void removed(const QString &name);

private:
    bool startUdev();
    void onUdevReadable();
    // Listing every serial port is costly, so the timer first looks only at
    // what can change without udev telling: the extra ports' paths and, when
    // udev is not used, the names in /dev.
    void onPollTimeout();
    QByteArray pollFingerprint() const;

    QStringList m_known;
    QByteArray m_fingerprint;
    QTimer *m_pollTimer = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    struct Udev;
    Udev *m_udev = nullptr;
};

} // namespace Platform
