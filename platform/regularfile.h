#pragma once

#include <QString>

class QFile;

namespace Platform {

enum class RegularFileResult { Opened, Missing, NotRegular, Unreadable };

// Opens a file for reading only when it is a regular file, and never waits to
// do so: a FIFO or a device would hold the caller until someone writes into
// it. `reason` says why it could not, in the system's words. Resource paths
// (":/...") open as QFile opens them.
RegularFileResult openRegularFile(QFile &file, const QString &path, QString *reason);

} // namespace Platform
