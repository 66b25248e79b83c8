#include "freediskspace.h"

#include "diskspace.h"
#include "logdiskguard.h"

#include <QString>

FreeDiskSpace::FreeDiskSpace(qint64 bytes)
{
    set(bytes);
}

FreeDiskSpace::~FreeDiskSpace()
{
    Platform::setFreeDiskBytesReader(nullptr);
    LogDiskGuard::instance()->check();
}

void FreeDiskSpace::set(qint64 bytes)
{
    Platform::setFreeDiskBytesReader([bytes](const QString &) { return bytes; });
    LogDiskGuard::instance()->check();
}
