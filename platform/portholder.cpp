#include "portholder.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

namespace Platform {

namespace {

// Where the programs that use lock files put them; Qt takes the first of these
// it may write to, so a user without rights on /var/lock leaves them in /tmp.
const char *const LockFolders[] = {"/var/lock",      "/run/lock",       "/var/lock/lockdev", "/var/spool/locks",
                                   "/var/spool/uucp", "/etc/locks",     "/tmp",              "/var/tmp"};

bool isAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString programOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.read(256)).trimmed();
}

// The pid a lock file names: ASCII (QLockFile and the FHS layout) or, in the
// oldest layout, the binary int of exactly four bytes. QLockFile adds the
// program's name on the next line: a pid taken over by another program after
// a crash is then no holder.
qint64 pidInLockFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(512);
    // A binary pid's last byte is zero (pids stay below 2^22): no text lock
    // file holds one, while its first byte may well read as a digit.
    const bool text = std::all_of(head.cbegin(), head.cend(),
                                  [](char c) { return (c >= '0' && c <= '9') || c == ' ' || c == '\n'; });
    if (head.size() == 4 && !text) {
        int binary = 0;
        std::memcpy(&binary, head.constData(), sizeof binary);
        return binary;
    }
    const QList<QByteArray> lines = head.split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).simplified().split(' ').value(0).toLongLong(&ok);
    if (!ok)
        return 0;
    const QString named = QString::fromLocal8Bit(lines.value(1).trimmed());
    const QString running = programOf(pid);
    // The kernel keeps 15 bytes of a command name.
    if (!named.isEmpty() && !running.isEmpty() && !named.startsWith(running) && !running.startsWith(named))
        return 0;
    return pid;
}

// "/dev/ttyUSB0" -> "ttyUSB0", "/dev/pts/3" -> "pts_3": the name after "LCK..".
QString lockName(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    return name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

} // namespace

QString PortHolder::describe() const
{
    if (program.isEmpty())
        return QStringLiteral("process %1").arg(pid);
    return QStringLiteral("%1 (process %2)").arg(program).arg(pid);
}

QStringList PortHolder::lockFilePaths(const QString &devicePath)
{
    QStringList names{lockName(devicePath)};
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    if (!canonical.isEmpty() && !names.contains(lockName(canonical)))
        names.append(lockName(canonical));

    QStringList folders;
    for (const char *folder : LockFolders)
        folders.append(QString::fromLatin1(folder));
    folders.append(QStandardPaths::writableLocation(QStandardPaths::TempLocation));

    QStringList paths;
    QSet<QString> seenFolders;
    for (const QString &folder : qAsConst(folders)) {
        const QString real = QFileInfo(folder).canonicalFilePath();
        if (real.isEmpty() || seenFolders.contains(real))
            continue;
        seenFolders.insert(real);
        for (const QString &name : qAsConst(names))
            paths.append(real + QStringLiteral("/LCK..") + name);
    }
    return paths;
}

PortHolder PortHolder::fromLockFile(const QString &devicePath)
{
    const qint64 self = ::getpid();
    const QStringList paths = lockFilePaths(devicePath);
    for (const QString &path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        const qint64 pid = pidInLockFile(path);
        if (pid == self || !isAlive(pid))
            continue;
        PortHolder holder;
        holder.pid = pid;
        holder.program = programOf(pid);
        holder.lockFile = path;
        return holder;
    }
    return PortHolder();
}

QList<PortHolder> PortHolder::fromOpenFiles(const QString &devicePath)
{
    QList<PortHolder> holders;
    const QByteArray target = QFile::encodeName(QFileInfo(devicePath).canonicalFilePath());
    if (target.isEmpty())
        return holders;
    const qint64 self = ::getpid();
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return holders;
    while (const dirent *process = ::readdir(proc)) {
        char *end = nullptr;
        const qint64 pid = std::strtoll(process->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const QByteArray fdFolder = QByteArray("/proc/") + process->d_name + "/fd";
        DIR *fds = ::opendir(fdFolder.constData());
        if (!fds)
            continue; // gone, or not ours to look at
        while (const dirent *fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            const QByteArray link = fdFolder + '/' + fd->d_name;
            char buffer[4096];
            const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
            if (length == target.size() && std::memcmp(buffer, target.constData(), size_t(length)) == 0) {
                PortHolder holder;
                holder.pid = pid;
                holder.program = programOf(pid);
                holders.append(holder);
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder &a, const PortHolder &b) { return a.pid < b.pid; });
    return holders;
}

QString PortHolder::describeOpeners(const QString &devicePath)
{
    QStringList names;
    const QList<PortHolder> holders = fromOpenFiles(devicePath);
    for (const PortHolder &holder : holders)
        names.append(holder.describe());
    return names.join(QStringLiteral(", "));
}

} // namespace Platform
