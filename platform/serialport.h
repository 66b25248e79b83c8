#pragma once

#include <QByteArray>
#include <QString>

namespace Platform {

// One serial device, opened exclusively and set up the way every dongle
// expects it: raw, 460800 baud, 8 data bits, no parity, 1 stop bit.
//
// Reading and writing may happen on two different threads (the reader thread
// reads, the GUI thread writes); open() and close() only while neither runs.
class SerialPort
{
public:
    enum OpenResult {
        Opened,
        OpenFailed,       // missing, not accessible, or held by someone else
        GetStateFailed,   // not a terminal device
        SetStateFailed,   // the device refused the line settings
        AlreadyOpen
    };

    // Why open() failed, where the user can do something about it.
    enum Refusal {
        NotRefused,
        InUseElsewhere, // another program holds it: exclusive mode, a lock, or busy
        InUseHere,      // another port object of this program has it open
        NoPermission    // this user may not open the device
    };

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // A name without "/" is a device under /dev ("ttyUSB0" -> "/dev/ttyUSB0").
    static QString devicePath(const QString &name);

    OpenResult open(const QString &name);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    QString path() const { return m_path; }
    // The operating system's reason for the last failure of open or write,
    // and of read (kept apart: the two run on different threads).
    QString errorString() const { return m_error; }
    QString readErrorString() const { return m_readError; }
    Refusal refusal() const { return m_refusal; }
    // For InUseElsewhere: the program its lock file names ("minicom (process
    // 1234)"); may be empty. Who has it open is PortHolder::describeOpeners(),
    // a scan of every process, left to callers that show it.
    QString holder() const { return m_holder; }

    // Throws away whatever waits in either direction, including a pending write.
    void purge();

    // Bytes waiting in the driver, without waiting (-1 when closed).
    qint64 bytesAvailable() const;
    // Waits up to timeoutMs for input, then reads what is there (at most size
    // bytes). Returns the count read, 0 when nothing came, -1 on a failure
    // (the device vanished or hung up); readErrorString() then tells why.
    qint64 read(char *buffer, qint64 size, int timeoutMs);
    // The same, and also returns 0 as soon as wakeUp becomes readable (a
    // descriptor of WakeUp); timeoutMs -1 waits for bytes or the wake-up alone.
    qint64 read(char *buffer, qint64 size, int timeoutMs, int wakeUp);
    // Reads what is there without asking poll first (the caller knows bytes
    // are likely): 0 when nothing is there or the device hung up (the next
    // read() tells which), -1 on a failure.
    qint64 readAvailable(char *buffer, qint64 size);

    // Starts writing one frame without blocking. What the driver does not take
    // at once stays here, unchanged, until continueWrite() has sent it all; no
    // next frame may start before. True when the frame went out or waits;
    // false on a failure (the rest of that frame is dropped).
    bool write(const QByteArray &frame);
    bool continueWrite();
    bool isWritePending() const { return m_writeOffset < m_writing.size(); }
    qint64 pendingWriteBytes() const { return m_writing.size() - m_writeOffset; }

private:
    bool writeSome();
    void fail(const char *what);
    OpenResult refuse(Refusal refusal, const QString &reason);

    int m_fd = -1;
    QString m_claimed; // the device's real path while this object holds it
    QString m_path;
    QString m_error;
    QString m_readError;
    Refusal m_refusal = NotRefused;
    QString m_holder;
    QByteArray m_writing;
    int m_writeOffset = 0;
};

} // namespace Platform
