#pragma once

#include <QIODevice>
#include <QString>

class QFile;

namespace Platform {

enum class RegularFileResult { Opened, Missing, NotRegular, Unreadable };

// Opens a file for reading only when it is a regular file, and never waits to
// do so: a FIFO or a device would hold the caller until someone writes into
// it. `reason` says why it could not, in the system's words. Resource paths
// (":/...") open as QFile opens them.
RegularFileResult openRegularFile(QFile &file, const QString &path, QString *reason);

// Whether anything has that name: a file, a folder, or a symbolic link,
// even one that points nowhere.
bool nameTaken(const QString &path);

// Opens `path` for writing without ever following a symbolic link at that
// name, and never waits (a FIFO nobody reads fails). Creates the file when it
// is missing; `mode` may add Truncate, NewOnly, ReadOnly and Unbuffered. Every
// write goes to the end of the file. False with the reason when it could not.
bool openForWriting(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *reason);

// Renames `from` to `to` only when nothing has the name `to`: never over an
// existing name, never by copying (so never through a link at `to`).
bool renameWithoutReplacing(const QString &from, const QString &to, QString *reason);

} // namespace Platform
