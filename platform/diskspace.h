#pragma once

#include <QString>

#include <functional>

namespace Platform {

// Bytes an unprivileged program may still write on the disk that holds the
// path, or -1 when that cannot be told.
qint64 freeDiskBytes(const QString &path);

// Replaces the reading, so a test can say "disk nearly full" without filling
// a disk; an empty function brings the system's answer back.
using FreeDiskBytesFunction = std::function<qint64(const QString &path)>;
void setFreeDiskBytesReader(FreeDiskBytesFunction reader);

} // namespace Platform
