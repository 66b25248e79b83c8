#include "portwatcher.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <dirent.h>

#include "portlister.h"

#ifdef VANTORA_HAVE_UDEV
#include <libudev.h>
#include <unistd.h>
#endif

namespace Platform {

struct PortWatcher::Udev
{
#ifdef VANTORA_HAVE_UDEV
    struct udev *context = nullptr;
    struct udev_monitor *monitor = nullptr;
#endif
};

PortWatcher::PortWatcher(QObject *parent) : PortWatcher(Mode::Automatic, 1000, parent) {}

PortWatcher::PortWatcher(Mode mode, int pollIntervalMs, QObject *parent) : QObject(parent)
{
    m_known = availablePortNames();

    const bool udev = mode == Mode::Automatic && startUdev();
    // Ports named in VANTORA_EXTRA_PORTS (pseudo-terminals) raise no udev
    // events, so they are polled even when udev watches the rest.
    if (!udev || !qEnvironmentVariableIsEmpty("VANTORA_EXTRA_PORTS")) {
        m_pollTimer = new QTimer(this);
        m_pollTimer->setInterval(pollIntervalMs);
        connect(m_pollTimer, &QTimer::timeout, this, &PortWatcher::onPollTimeout);
        m_fingerprint = pollFingerprint();
        m_pollTimer->start();
    }
}

PortWatcher::~PortWatcher()
{
    delete m_notifier;
#ifdef VANTORA_HAVE_UDEV
    if (m_udev) {
        if (m_udev->monitor)
            udev_monitor_unref(m_udev->monitor);
        if (m_udev->context)
            udev_unref(m_udev->context);
    }
#endif
    delete m_udev;
}

bool PortWatcher::usesUdev() const
{
    return m_notifier != nullptr;
}

bool PortWatcher::startUdev()
{
#ifdef VANTORA_HAVE_UDEV
    // Without the udev daemon (containers) the monitor opens fine but never
    // hears of a device: libudev only passes on what the daemon rebroadcasts.
    if (::access("/run/udev/control", F_OK) != 0)
        return false;
    m_udev = new Udev;
    m_udev->context = udev_new();
    if (!m_udev->context)
        return false;
    m_udev->monitor = udev_monitor_new_from_netlink(m_udev->context, "udev");
    if (!m_udev->monitor)
        return false;
    if (udev_monitor_filter_add_match_subsystem_devtype(m_udev->monitor, "tty", nullptr) < 0
        || udev_monitor_enable_receiving(m_udev->monitor) < 0)
        return false;
    const int fd = udev_monitor_get_fd(m_udev->monitor);
    if (fd < 0)
        return false;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &PortWatcher::onUdevReadable);
    return true;
#else
    return false;
#endif
}

void PortWatcher::onUdevReadable()
{
#ifdef VANTORA_HAVE_UDEV
    // Drain every pending event; the port list itself says what changed, in
    // the names the rest of the program uses.
    while (struct udev_device *device = udev_monitor_receive_device(m_udev->monitor))
        udev_device_unref(device);
#endif
    rescan();
}

QByteArray PortWatcher::pollFingerprint() const
{
    const QByteArray extra = qgetenv("VANTORA_EXTRA_PORTS");
    QByteArray fingerprint = extra;
    fingerprint += '\0';
    const QList<QByteArray> paths = extra.split(':');
    for (const QByteArray &path : paths)
        fingerprint += QFileInfo::exists(QString::fromLocal8Bit(path.trimmed())) ? '1' : '0';
    if (!usesUdev()) {
        // Order-free sum of the names, so the directory's order does not matter.
        quint64 names = 0;
        quint64 count = 0;
        if (DIR *dev = ::opendir("/dev")) {
            while (const struct dirent *entry = ::readdir(dev)) {
                names += qHash(QByteArray::fromRawData(entry->d_name, int(qstrlen(entry->d_name))), 1);
                ++count;
            }
            ::closedir(dev);
        }
        fingerprint += QByteArray::number(names) + '/' + QByteArray::number(count);
    }
    return fingerprint;
}

void PortWatcher::onPollTimeout()
{
    QByteArray fingerprint = pollFingerprint();
    if (fingerprint == m_fingerprint)
        return;
    m_fingerprint = std::move(fingerprint);
    rescan();
}

void PortWatcher::rescan()
{
    const QStringList now = availablePortNames();
    QStringList gone;
    for (const QString &name : qAsConst(m_known)) {
        if (!now.contains(name))
            gone << name;
    }
    QStringList added;
    for (const QString &name : now) {
        if (!m_known.contains(name))
            added << name;
    }
    m_known = now;
    for (const QString &name : qAsConst(gone))
        emit removed(name);
    for (const QString &name : qAsConst(added))
        emit arrived(name);
}

} // namespace Platform
