// Holds a serial device the way another program would, until its standard
// input closes (then it lets go politely) or it is killed (then it leaves
// whatever it held behind):
//   portholder exclusive <path>  open and TIOCEXCL, as most terminal programs
//   portholder flock <path>      open and an exclusive flock, nothing else
//   portholder qt <path>         a QSerialPort: lock file and TIOCEXCL
//   portholder lockfile <path>   a QSerialPort that then drops TIOCEXCL: the lock file alone
// Prints "held" once it holds the device.
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void waitForEndOfInput()
{
    char buffer[256];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

void announce()
{
    std::puts("held");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: portholder exclusive|flock|qt|lockfile <device>\n", stderr);
        return 2;
    }
    const QByteArray mode = argv[1];
    const char *path = argv[2];

    if (mode == "exclusive" || mode == "flock") {
        const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            std::perror("portholder: open");
            return 1;
        }
        const bool held = mode == "exclusive" ? ::ioctl(fd, TIOCEXCL) == 0 : ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (!held) {
            std::perror("portholder: hold");
            return 1;
        }
        announce();
        waitForEndOfInput();
        if (mode == "exclusive")
            ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return 0;
    }

    if (mode == "qt" || mode == "lockfile") {
        QSerialPort port(QString::fromLocal8Bit(path));
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "portholder: %s\n", qPrintable(port.errorString()));
            return 1;
        }
        if (mode == "lockfile")
            ::ioctl(int(port.handle()), TIOCNXCL);
        announce();
        waitForEndOfInput();
        port.close();
        return 0;
    }

    std::fputs("portholder: unknown mode\n", stderr);
    return 2;
}
