#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

class CHeartBeat;
class CMsg;
class LogManager;
class QSettings;

// What one dongle tab owns apart from its widgets: the log manager, the
// link, the settings values and the heartbeat. They are deleted in the
// reverse order, the log manager last, so nothing logs through it once it
// is gone.
class DongleCore
{
public:
    explicit DongleCore(const QString &name);
    ~DongleCore();
    DongleCore(const DongleCore &) = delete;
    DongleCore &operator=(const DongleCore &) = delete;

    LogManager *logManager() const { return m_logManager; }
    CMsg *link() const { return m_link; }
    QMap<QString, QVariant> *settings() const { return m_settings; }
    CHeartBeat *heartBeat() const { return m_heartBeat; }

    // Fills the settings values with the defaults of a settings description;
    // false when it cannot be loaded.
    bool loadDefaults(const QString &description);
    // Reads one stored group of config.ini over the settings values.
    void readSettingsGroup(QSettings &settings, const QString &group);
    // Stops the heartbeat, waits up to waitTicks send ticks for the queued
    // frames, then closes the port.
    void closePort(int waitTicks);

private:
    LogManager *m_logManager;
    CMsg *m_link;
    QMap<QString, QVariant> *m_settings;
    CHeartBeat *m_heartBeat;
};
