#include "serialportthread.h"

#include "crashhandler.h"
#include "serialport.h"

SerialPortThread::SerialPortThread(QObject *parent)
    : QThread(parent)
    , m_framer(this)
{
    m_clock.start();
}

SerialPortThread::~SerialPortThread()
{
    stop();
    wait();
}

void SerialPortThread::setPort(Platform::SerialPort *port)
{
    m_port = port;
    m_readErrorReported = false;
    m_running = true;
}

void SerialPortThread::stop()
{
    m_running = false;
}

void SerialPortThread::parseRcvData(const QByteArray &data)
{
    m_framer.parse(data, m_clock.elapsed());
}

void SerialPortThread::run()
{
    // A stack overflow on this thread still gets its crash report.
    Platform::installCrashStackForThisThread();
    if (m_readBuffer.size() != ReadBufferSize)
        m_readBuffer.resize(ReadBufferSize);
    char *buffer = m_readBuffer.data();

    while (m_running.load()) {
        const int pollMs = m_pollIntervalMs.load();
        const qint64 got = m_port ? m_port->read(buffer, ReadBufferSize, pollMs) : -1;
        if (got > 0) {
            m_framer.parse(buffer, got, m_clock.elapsed());
            continue;
        }
        // A quiet pass: a frame whose bytes stopped coming is given up. A
        // failing port keeps its bytes for after the next opening.
        if (got == 0)
            m_framer.timePassed(m_clock.elapsed());
        if (got < 0) {
            if (!m_readErrorReported) {
                m_readErrorReported = true;
                emit sig_log(QStringLiteral("GetLastError() != ERROR_IO_PENDING"), 4);
            }
            // A hung-up device wakes poll at once; do not spin on it.
            QThread::msleep(ulong(pollMs));
        }
    }
}

void SerialPortThread::uplinkFrame(UplinkFramer::Route route, const QByteArray &frame)
{
    switch (route) {
    case UplinkFramer::CommonRoute: emit sig_rcvCommonMsg(frame); break;
    case UplinkFramer::GapRoute: emit sig_rcvGapMsg(frame); break;
    case UplinkFramer::SmRoute: emit sig_rcvSmMsg(frame); break;
    case UplinkFramer::GattRoute: emit sig_rcvGattMsg(frame); break;
    case UplinkFramer::L2capRoute: emit sig_rcvL2capMsg(frame); break;
    case UplinkFramer::IsochronousRoute:
        emit sig_rcvBIGCIGMsg(frame);
        emit sig_rcvRfuMsg(frame);
        break;
    case UplinkFramer::LcpRoute: emit sig_rcvLCPMsg(frame); break;
    case UplinkFramer::IdtRoute: emit sig_rcvIDTMsg(frame); break;
    case UplinkFramer::OtherRoute: emit sig_rcvRfuMsg(frame); break;
    case UplinkFramer::DownLoadRoute: emit sig_rcvDownLoadMsg(frame); break;
    case UplinkFramer::DongleLogRoute: emit sig_rcvDongleLog(frame); break;
    }
}

void SerialPortThread::framingLog(const QString &text, int level)
{
    emit sig_log(text, level);
}
