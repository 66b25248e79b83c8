#include "regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

RegularFileResult openRegularFile(QFile &file, const QString &path, QString *reason)
{
    const auto refuse = [reason](RegularFileResult result, const QString &why) {
        if (reason)
            *reason = why;
        return result;
    };
    if (path.startsWith(QLatin1Char(':'))) {
        file.setFileName(path);
        if (!file.exists())
            return refuse(RegularFileResult::Missing, QStringLiteral("No such file or directory"));
        if (!file.open(QIODevice::ReadOnly))
            return refuse(RegularFileResult::Unreadable, file.errorString());
        return RegularFileResult::Opened;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return refuse(error == ENOENT ? RegularFileResult::Missing : RegularFileResult::Unreadable,
                      QString::fromLocal8Bit(std::strerror(error)));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(RegularFileResult::NotRegular, QStringLiteral("it is not a regular file"));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(RegularFileResult::Unreadable, file.errorString());
    }
    return RegularFileResult::Opened;
}

bool nameTaken(const QString &path)
{
    struct stat info = {};
    // Any error but "no such name" counts as taken: the name is not ours to use.
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

bool openForWriting(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *reason)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    file.close();
    file.setFileName(path);
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (mode & QIODevice::Truncate)
        flags |= O_TRUNC;
    if (mode & QIODevice::NewOnly)
        flags |= O_EXCL;
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    if (fd < 0) {
        const int error = errno;
        return fail(error == ELOOP ? QStringLiteral("it is a symbolic link")
                                   : QString::fromLocal8Bit(std::strerror(error)));
    }
    // QFile opens the name again, so that it keeps it: only as it exists and
    // for appending, so that a link put there meanwhile is neither created
    // through nor cut short; and it has to be the file just opened.
    const bool opened =
        file.open(QIODevice::Append | QIODevice::ExistingOnly | (mode & (QIODevice::ReadOnly | QIODevice::Unbuffered)));
    struct stat checked = {};
    struct stat reopened = {};
    const bool same = opened && ::fstat(fd, &checked) == 0 && ::fstat(file.handle(), &reopened) == 0
                      && checked.st_dev == reopened.st_dev && checked.st_ino == reopened.st_ino;
    ::close(fd);
    if (same)
        return true;
    const QString why = opened ? QStringLiteral("it was replaced while it was opened") : file.errorString();
    file.close();
    return fail(why);
}

bool renameWithoutReplacing(const QString &from, const QString &to, QString *reason)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    int error = errno;
    // A file system without RENAME_NOREPLACE: a hard link also refuses a taken name.
    if (error == EINVAL || error == ENOSYS) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return true;
        }
        error = errno;
    }
    if (reason)
        *reason = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

} // namespace Platform
