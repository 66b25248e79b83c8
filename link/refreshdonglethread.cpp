#include "refreshdonglethread.h"

#include "crashhandler.h"
#include "portholder.h"
#include "serialport.h"

#include <memory>
#include <vector>

namespace {
constexpr int ReplyWaitMs = 200;
constexpr qint64 ReadChunk = 1024 * 1024;

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

void RefreshDongleThread::run()
{
    // A stack overflow on this thread still gets its crash report.
    Platform::installCrashStackForThisThread();
    struct Opened
    {
        QString name;
        std::unique_ptr<Platform::SerialPort> port;
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
        port->write(request);
        opened.push_back({name, std::move(port)});
    }

    QThread::msleep(ReplyWaitMs);

    QByteArray buffer;
    for (Opened &entry : opened) {
        Platform::SerialPort &port = *entry.port;
        QByteArray reply;
        bool failed = false;
        // Only what waits now: a port that never stops sending must not keep
        // the probe, and the dialog that waits for it, busy for ever.
        qint64 waiting = port.bytesAvailable();
        while (waiting > 0 && !failed) {
            buffer.resize(int(qMin(waiting, ReadChunk)));
            const qint64 got = port.read(buffer.data(), buffer.size(), 0);
            if (got <= 0) {
                failed = true;
            } else {
                reply.append(buffer.constData(), int(got));
                waiting -= got;
            }
        }
        port.close();
        if (failed || reply.isEmpty())
            continue;
        const DongleProbeInfo info = parseReply(reply);
        if (info.dongleName != QLatin1String("Unknown"))
            m_results.append({entry.name, info});
    }
}
