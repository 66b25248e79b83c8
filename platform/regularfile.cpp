#include "regularfile.h"

#include <QFile>

#include <cerrno>
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

} // namespace Platform
