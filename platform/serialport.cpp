#include "serialport.h"

#include "portholder.h"

#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace Platform {

namespace {

QString reason(const char *what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(error)));
}

// The devices that port objects of this process hold, by their real path, so
// that a refusal can tell another dongle of ours from another program.
QMutex claimsMutex;
QSet<QString> claims;

bool isClaimed(const QString &realPath)
{
    QMutexLocker lock(&claimsMutex);
    return claims.contains(realPath);
}

void setClaimed(const QString &realPath, bool claimed)
{
    if (realPath.isEmpty())
        return;
    QMutexLocker lock(&claimsMutex);
    if (claimed)
        claims.insert(realPath);
    else
        claims.remove(realPath);
}

} // namespace

SerialPort::~SerialPort()
{
    close();
}

QString SerialPort::devicePath(const QString &name)
{
    return name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

void SerialPort::fail(const char *what)
{
    m_error = reason(what, errno);
}

SerialPort::OpenResult SerialPort::refuse(Refusal refusal, const QString &why)
{
    m_refusal = refusal;
    m_error = why;
    return OpenFailed;
}

SerialPort::OpenResult SerialPort::open(const QString &name)
{
    if (isOpen())
        return AlreadyOpen;
    m_error.clear();
    m_readError.clear();
    m_refusal = NotRefused;
    m_holder.clear();
    m_writing.clear();
    m_writeOffset = 0;
    m_path = devicePath(name);

    // "ttyUSB0", "/dev/ttyUSB0" and a link to it are one device.
    const QString real = QFileInfo(m_path).canonicalFilePath();
    if (!real.isEmpty() && isClaimed(real))
        return refuse(InUseHere, QStringLiteral("open: the port is already open in this program"));
    // Programs such as minicom announce themselves only by a lock file.
    const PortHolder locker = PortHolder::fromLockFile(m_path);
    if (locker.isValid()) {
        m_holder = locker.describe();
        return refuse(InUseElsewhere, QStringLiteral("open: locked by %1").arg(locker.lockFile));
    }

    const QByteArray path = m_path.toLocal8Bit();
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        fail("open");
        if (error == EBUSY)
            return refuse(InUseElsewhere, m_error);
        if (error == EACCES || error == EPERM)
            m_refusal = NoPermission;
        return OpenFailed;
    }
#ifdef TIOCGEXCL
    // Root passes another program's exclusive mode; it must not take the port anyway.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        ::close(fd);
        return refuse(InUseElsewhere, QStringLiteral("open: another program holds the port exclusively"));
    }
#endif
    // TIOCEXCL alone does not stop root; the lock stops every other holder
    // that plays by the same rule (a second link, the port probe).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        fail("flock");
        ::close(fd);
        if (error == EWOULDBLOCK)
            return refuse(InUseElsewhere, m_error);
        return OpenFailed;
    }
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        fail("tcgetattr");
        ::close(fd);
        return GetStateFailed;
    }
    ::ioctl(fd, TIOCEXCL);

    cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B460800) != 0 || ::cfsetospeed(&tio, B460800) != 0
        || ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        fail("tcsetattr");
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return SetStateFailed;
    }
    // Adapters that power or wake the dongle through the modem lines get them
    // raised; a pseudo-terminal refuses the call, which is no failure.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &lines);

    m_fd = fd;
    m_claimed = real;
    setClaimed(m_claimed, true);
    purge();
    return Opened;
}

void SerialPort::close()
{
    if (m_fd < 0)
        return;
    // Exclusivity is a flag of the device, not of this descriptor: it would
    // outlive the close while anyone else still holds the device.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    setClaimed(m_claimed, false);
    m_claimed.clear();
    m_writing.clear();
    m_writeOffset = 0;
}

void SerialPort::purge()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIOFLUSH);
    m_writing.clear();
    m_writeOffset = 0;
}

qint64 SerialPort::bytesAvailable() const
{
    int count = 0;
    if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &count) != 0)
        return -1;
    return count;
}

qint64 SerialPort::read(char *buffer, qint64 size, int timeoutMs)
{
    return read(buffer, size, timeoutMs, -1);
}

qint64 SerialPort::read(char *buffer, qint64 size, int timeoutMs, int wakeUp)
{
    if (m_fd < 0) {
        m_readError = QStringLiteral("read: the port is closed");
        return -1;
    }
    pollfd fds[2] {{m_fd, POLLIN, 0}, {wakeUp, POLLIN, 0}};
    const int ready = ::poll(fds, wakeUp >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0) {
        if (errno == EINTR)
            return 0;
        m_readError = reason("poll", errno);
        return -1;
    }
    const pollfd &p = fds[0];
    if (ready == 0 || p.revents == 0)
        return 0;
    if (p.revents & POLLNVAL) {
        m_readError = QStringLiteral("poll: invalid descriptor");
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size_t(size));
        if (got > 0)
            return got;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !(p.revents & (POLLHUP | POLLERR)))
            return 0;
        // Readable but empty, or an error: the device is gone or hung up.
        m_readError = got < 0 ? reason("read", errno) : QStringLiteral("read: the device hung up");
        return -1;
    }
}

qint64 SerialPort::readAvailable(char *buffer, qint64 size)
{
    if (m_fd < 0) {
        m_readError = QStringLiteral("read: the port is closed");
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size_t(size));
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO)
            return 0;
        m_readError = reason("read", errno);
        return -1;
    }
}

bool SerialPort::write(const QByteArray &frame)
{
    if (m_fd < 0) {
        m_error = QStringLiteral("write: the port is closed");
        return false;
    }
    if (isWritePending()) {
        m_error = QStringLiteral("write: the previous frame is not out yet");
        return false;
    }
    m_writing = frame;
    m_writeOffset = 0;
    return writeSome();
}

bool SerialPort::continueWrite()
{
    if (!isWritePending())
        return true;
    return writeSome();
}

bool SerialPort::writeSome()
{
    while (isWritePending()) {
        const ssize_t written = ::write(m_fd, m_writing.constData() + m_writeOffset,
                                        size_t(m_writing.size() - m_writeOffset));
        if (written > 0) {
            m_writeOffset += int(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        fail("write");
        m_writing.clear();
        m_writeOffset = 0;
        return false;
    }
    m_writing.clear();
    m_writeOffset = 0;
    return true;
}

} // namespace Platform
