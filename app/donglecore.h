#pragma once

#include "cheartbeat.h"
#include "cmsg.h"
#include "logmanager.h"

#include <QMap>
#include <QString>
#include <QVariant>

class QSettings;

// What one dongle tab owns apart from its widgets: the log manager, the
// settings values, the link and the heartbeat.
class DongleCore
{
public:
    explicit DongleCore(const QString &name);
    DongleCore(const DongleCore &) = delete;
    DongleCore &operator=(const DongleCore &) = delete;

    LogManager *logManager() { return &m_logManager; }
    CMsg *link() { return &m_link; }
    const CMsg *link() const { return &m_link; }
    QMap<QString, QVariant> *settings() { return &m_settings; }
    CHeartBeat *heartBeat() { return &m_heartBeat; }

    // Fills the settings values with the defaults of a settings description;
    // false when it cannot be loaded.
    bool loadDefaults(const QString &description);
    // Reads one stored group of config.ini over the settings values.
    void readSettingsGroup(QSettings &settings, const QString &group);
    // Stops the heartbeat, waits up to waitTicks send ticks for the queued
    // frames, then closes the port.
    void closePort(int waitTicks);

private:
    // Gone in reverse order: the log manager last, so nothing logs through it once it is gone.
    LogManager m_logManager;
    QMap<QString, QVariant> m_settings;
    CMsg m_link;
    CHeartBeat m_heartBeat;
};
