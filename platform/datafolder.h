#pragma once

#include <QString>

namespace Platform {

// The folder every file the program writes lives under: the program's own
// folder when it is writable, else the per-user application data folder.
QString dataFolder();

// Makes a user-chosen name (a dongle's name) safe as one folder component, so
// that no name can climb out of, or escape, the folder it is placed in.
QString safeFolderName(const QString &name);

// Makes a folder and its parents; on failure says why in the system's words
// ("File name too long", "Permission denied", "No space left on device").
bool makeFolder(const QString &path, QString *reason);

} // namespace Platform
