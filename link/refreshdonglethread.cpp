#include "refreshdonglethread.h"

#include "crashhandler.h"
#include "portholder.h"
#include "serialport.h"

#include <QElapsedTimer>
#include <QTextCodec>

#include <memory>
#include <vector>

namespace {
constexpr int ReplyWaitMs = 200;
constexpr int ReadPassMs = 5;
constexpr qint64 ReadChunk = 64 * 1024;
// Far more than a serial line carries in the wait; a port that sends more
// (not a dongle) is not read further.
constexpr int MaximumReceived = 1024 * 1024;
constexpr int MaximumFramePayload = 5000;

// One length-prefixed text of a reply at *offset, whole, valid UTF-8 and free
// of control characters (bytes of a binary frame rarely are).
bool takeWholeText(const QByteArray &bytes, int *offset)
{
    if (*offset + 2 > bytes.size())
        return false;
    const int length = quint8(bytes.at(*offset)) | (quint8(bytes.at(*offset + 1)) << 8);
    *offset += 2;
    if (length >= 0x8000 || *offset + length > bytes.size())
        return false;
    const char *text = bytes.constData() + *offset;
    for (int i = 0; i < length; ++i) {
        const quint8 byte = quint8(text[i]);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    QTextCodec::codecForMib(106)->toUnicode(text, length, &state);
    if (state.invalidChars != 0 || state.remainingChars != 0)
        return false;
    *offset += length;
    return true;
}

// Reads and drops only what waits now: a port that never stops sending must
// not hold the probe.
void drain(Platform::SerialPort &port)
{
    qint64 waiting = port.bytesAvailable();
    char sink[4096];
    while (waiting > 0) {
        const qint64 got = port.read(sink, qMin<qint64>(waiting, qint64(sizeof sink)), 0);
        if (got <= 0)
            return;
        waiting -= got;
    }
}

// Length of a whole reply starting at `start`, or 0.
int wholeReplyAt(const QByteArray &bytes, int start)
{
    if (start + 3 > bytes.size() || quint8(bytes.at(start)) != 0xBB || bytes.at(start + 1) != 0
        || bytes.at(start + 2) != 0)
        return 0;
    int offset = start + 3;
    for (int i = 0; i < 6; ++i) {
        if (!takeWholeText(bytes, &offset))
            return 0;
    }
    return offset - start;
}

// A 16-bit length read as signed: 0x8000 and up mean "to the end".
QString takeText(const QByteArray &reply, int *offset)
{
    int length = 0;
    if (*offset + 2 <= reply.size())
        length = qint16(quint16(quint8(reply.at(*offset)) | (quint8(reply.at(*offset + 1)) << 8)));
    *offset += 2;
    const int available = qMax(0, reply.size() - *offset);
    if (length < 0 || length > available)
        length = available;
    const QString text = QString::fromUtf8(reply.mid(qMin(*offset, reply.size()), length));
    *offset += length;
    return text;
}
} // namespace

RefreshDongleThread::RefreshDongleThread(QObject *parent)
    : QThread(parent)
{
}

RefreshDongleThread::~RefreshDongleThread()
{
    requestInterruption();
    wait();
}

void RefreshDongleThread::setPortList(const QVector<QString> &ports)
{
    m_ports = ports;
}

QVector<DongleProbeResult> RefreshDongleThread::getResults() const
{
    return m_results;
}

QVector<UnavailablePort> RefreshDongleThread::getUnavailablePorts() const
{
    return m_unavailable;
}

QByteArray RefreshDongleThread::probeRequest()
{
    return QByteArray::fromHex("aa0000000056");
}

DongleProbeInfo RefreshDongleThread::parseReply(const QByteArray &reply)
{
    DongleProbeInfo info;
    // A dongle that was left streaming (a scan still running) puts stale frames before the
    // answer, and 0xBB is common in their data: the answer is the first 0xBB followed by 00 00.
    int start = reply.indexOf(char(0xBB));
    while (start >= 0 && start + 2 < reply.size()
           && (reply.at(start + 1) != 0 || reply.at(start + 2) != 0))
        start = reply.indexOf(char(0xBB), start + 1);
    if (start < 0 || reply.size() < 3 || start + 2 >= reply.size())
        return info;
    const QByteArray body = reply.mid(start);
    int offset = 3;
    info.dongleName = takeText(body, &offset);
    info.product = info.dongleName;
    info.manufacturer = takeText(body, &offset);
    info.firmwareVersion = takeText(body, &offset);
    info.hardwareVersion = takeText(body, &offset);
    info.description = takeText(body, &offset);
    info.sdkVersion = takeText(body, &offset);
    return info;
}

QByteArray RefreshDongleThread::findReply(const QByteArray &received)
{
    // Running sums make each frame's checksum one subtraction, so a port full
    // of false frame starts costs no more than one pass.
    QVector<quint8> sums(received.size() + 1, 0);
    for (int i = 0; i < received.size(); ++i)
        sums[i + 1] = quint8(sums.at(i) + quint8(received.at(i)));
    int position = 0;
    while (position < received.size()) {
        const int reply = wholeReplyAt(received, position);
        if (reply > 0)
            return received.mid(position, reply);
        const quint8 type = quint8(received.at(position));
        if ((type == 0xBB || type == 0xCC || type == 0xDD || type == 0xFF) && position + 5 <= received.size()) {
            const int length = quint8(received.at(position + 3)) | (quint8(received.at(position + 4)) << 8);
            const int end = position + 5 + length; // the checksum byte
            if (length <= MaximumFramePayload && end < received.size()
                && quint8(sums.at(end + 1) - sums.at(position)) == 0) {
                position = end + 1;
                continue;
            }
        }
        ++position;
    }
    return QByteArray();
}

void RefreshDongleThread::run()
{
    // A stack overflow on this thread still gets its crash report.
    Platform::installCrashStackForThisThread();
    struct Opened
    {
        QString name;
        std::unique_ptr<Platform::SerialPort> port;
        QByteArray received;
        bool failed;
    };
    std::vector<Opened> opened;
    const QByteArray request = probeRequest();
    for (const QString &name : qAsConst(m_ports)) {
        if (isInterruptionRequested())
            break;
        auto port = std::make_unique<Platform::SerialPort>();
        if (port->open(name) != Platform::SerialPort::Opened) {
            // A missing or broken port stays out of sight; one that is busy
            // or forbidden is worth telling, the user can change that.
            if (port->refusal() != Platform::SerialPort::NotRefused) {
                QString holder = port->holder();
                if (port->refusal() == Platform::SerialPort::InUseElsewhere && holder.isEmpty())
                    holder = Platform::PortHolder::describeOpeners(port->path());
                m_unavailable.append({name, port->refusal(), holder, port->errorString()});
            }
            continue;
        }
        // What a dongle still busy from an earlier session sent before our
        // request is not its answer.
        drain(*port);
        port->write(request);
        opened.push_back({name, std::move(port), QByteArray(), false});
    }

    // Everything each port sends within the wait is kept, so an answer that
    // comes in pieces, or behind frames of a dongle still streaming, counts.
    QElapsedTimer waited;
    waited.start();
    QByteArray buffer(int(ReadChunk), Qt::Uninitialized);
    for (;;) {
        for (Opened &entry : opened) {
            while (!entry.failed && entry.received.size() < MaximumReceived) {
                const qint64 got = entry.port->read(buffer.data(), buffer.size(), 0);
                if (got < 0)
                    entry.failed = true;
                if (got <= 0)
                    break;
                entry.received.append(buffer.constData(),
                                      int(qMin<qint64>(got, MaximumReceived - entry.received.size())));
            }
        }
        const qint64 left = ReplyWaitMs - waited.elapsed();
        if (left <= 0 || isInterruptionRequested())
            break;
        QThread::msleep(ulong(qMin<qint64>(left, ReadPassMs)));
    }

    for (Opened &entry : opened) {
        entry.port->close();
        if (entry.failed)
            continue;
        const QByteArray reply = findReply(entry.received);
        if (reply.isEmpty())
            continue;
        const DongleProbeInfo info = parseReply(reply);
        if (info.dongleName != QLatin1String("Unknown"))
            m_results.append({entry.name, info});
    }
}
