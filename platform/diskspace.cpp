#include "diskspace.h"

#include <QFile>

#include <sys/statvfs.h>

namespace Platform {
namespace {

FreeDiskBytesFunction &reader()
{
    static FreeDiskBytesFunction function;
    return function;
}

} // namespace

qint64 freeDiskBytes(const QString &path)
{
    if (reader())
        return reader()(path);
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(path).constData(), &disk) != 0)
        return -1;
    return qint64(disk.f_bavail) * qint64(disk.f_frsize);
}

void setFreeDiskBytesReader(FreeDiskBytesFunction function)
{
    reader() = std::move(function);
}

} // namespace Platform
