#pragma once

#include <QString>

namespace Platform {

// The folder every file the program writes lives under: the program's own
// folder when it is writable, else the per-user application data folder.
QString dataFolder();

// Makes a user-chosen name (a dongle's name) safe as one folder component, so
// that no name can climb out of, or escape, the folder it is placed in.
QString safeFolderName(const QString &name);

} // namespace Platform
