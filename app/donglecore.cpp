#include "donglecore.h"

#include "logger.h"
#include "settingsdescription.h"

#include <QHash>
#include <QPoint>
#include <QSettings>

DongleCore::DongleCore(const QString &name)
    : m_logManager(name)
    , m_link(&m_logManager)
    , m_heartBeat(&m_link, &m_logManager, CHeartBeat::DefaultIntervalMs)
{
}

bool DongleCore::loadDefaults(const QString &description)
{
    // Every tab starts from the same defaults, read from the description
    // without building the dialog's widgets.
    static QHash<QString, QMap<QString, QVariant>> defaultsByDescription;
    const auto known = defaultsByDescription.constFind(description);
    if (known != defaultsByDescription.cend()) {
        m_settings = known.value();
        return true;
    }
    if (!SettingsDescription::readDefaults(description, &m_logManager, &m_settings))
        return false;
    defaultsByDescription.insert(description, m_settings);
    return true;
}

void DongleCore::readSettingsGroup(QSettings &settings, const QString &group)
{
    settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys) {
        // A line "=" in a hand-edited file: nothing to keep.
        if (key.isEmpty())
            continue;
        QVariant value = settings.value(key);
        // Unsigned integers are stored as the point (value, 0).
        if (value.userType() == QMetaType::QPoint)
            value = QVariant(uint(value.toPoint().x()));
        m_settings.insert(key, value);
    }
    settings.endGroup();
}

void DongleCore::closePort(int waitTicks)
{
    m_heartBeat.stop();
    if (!m_link.isOpen())
        return;
    // What is queued (a test mode's stop commands) leaves before the port closes.
    if (!m_link.waitUntilSent(waitTicks))
        m_logManager.log(QStringLiteral("Closing %1: %2 frames did not leave in time and are dropped.")
                             .arg(m_link.getPortName())
                             .arg(m_link.queuedFrames()),
                         LogLevel::Warn);
    m_link.closePort();
}
