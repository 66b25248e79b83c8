#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

class LogManager;

// The values a settings dialog built from the description would hold after
// "restore all", read without building any widget: a dongle tab needs them at
// start-up, long before anyone opens the dialog.
namespace SettingsDefaults {

// False when the description cannot be read at all; the values read so far
// are written into `values` either way, and the description's faults are
// logged as the dialog logs them.
bool read(const QString &path, LogManager *log, QMap<QString, QVariant> *values);

} // namespace SettingsDefaults
