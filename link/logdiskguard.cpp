#include "logdiskguard.h"

#include "datafolder.h"
#include "diskspace.h"
#include "logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

#include <atomic>

namespace {

std::atomic<bool> g_low{false};

QString mebibytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024));
}

} // namespace

LogDiskGuard::LogDiskGuard(QObject *parent)
    : QObject(parent)
    , m_timer(this)
{
    connect(&m_timer, &QTimer::timeout, this, &LogDiskGuard::check);
    if (QCoreApplication::instance()) {
        m_timer.start(CheckIntervalMs);
        // The first look comes once whoever made the guard listens.
        QTimer::singleShot(0, this, &LogDiskGuard::check);
    }
}

LogDiskGuard *LogDiskGuard::instance()
{
    // Dies with the application object; a later one gets a guard of its own.
    static QPointer<LogDiskGuard> guard;
    if (!guard) {
        g_low = false;
        guard = new LogDiskGuard(QCoreApplication::instance());
    }
    return guard;
}

bool LogDiskGuard::holdsBack(int level)
{
    return (level == LogLevel::Debug || level == LogLevel::Info) && g_low.load(std::memory_order_relaxed);
}

bool LogDiskGuard::isLow() const
{
    return g_low.load();
}

void LogDiskGuard::check()
{
    const qint64 free = Platform::freeDiskBytes(Platform::dataFolder());
    // A disk that cannot be asked is not taken for a full one.
    const bool low = free >= 0 && free < MinimumFreeBytes;
    if (low == g_low.load())
        return;
    g_low = low;
    if (low)
        emit sig_spaceLow(free);
    else
        emit sig_spaceBack(free);
}

QString LogDiskGuard::lowText(qint64 freeBytes)
{
    return QStringLiteral("The disk of %1 has only %2 MiB free: the log files take no DEBUG and INFO lines until it "
                          "has 1 GiB free again. Received data is still written.")
        .arg(QDir::toNativeSeparators(Platform::dataFolder()), mebibytes(freeBytes));
}

QString LogDiskGuard::backText(qint64 freeBytes)
{
    return QStringLiteral("The disk of %1 has %2 MiB free again: the log files take DEBUG and INFO lines again.")
        .arg(QDir::toNativeSeparators(Platform::dataFolder()), mebibytes(freeBytes));
}
