#pragma once

#include <QString>
#include <QStringList>

namespace Platform {

// Another process that holds a serial device, as far as this user can see.
struct PortHolder
{
    qint64 pid = 0;
    QString program;  // its command name, empty when it cannot be read
    QString lockFile; // the lock file that names it, if that is how it was found

    bool isValid() const { return pid > 0; }
    // "minicom (process 1234)", or "process 1234" when the name is hidden.
    QString describe() const;

    // The live process named by a lock file of the device: the UUCP-style
    // "LCK..<name>" that QSerialPort, minicom and others leave. A lock file
    // whose process is gone, or that names this process, is no holder.
    static PortHolder fromLockFile(const QString &devicePath);
    // The other processes with the device open, in pid order. Only processes
    // this user may inspect are seen (all of them for root), so an empty
    // answer proves nothing; which of several set the kernel's exclusive mode
    // cannot be told.
    static QList<PortHolder> fromOpenFiles(const QString &devicePath);
    // fromOpenFiles() described and comma-separated; empty when none is seen.
    static QString describeOpeners(const QString &devicePath);

    // The lock files fromLockFile() reads for a device, in the order it reads them.
    static QStringList lockFilePaths(const QString &devicePath);
};

} // namespace Platform
