#include "cmsg.h"

#include "logmanager.h"
#include "serialportthread.h"

#include <QSocketNotifier>
#include <QTimer>

CMsg::CMsg(LogManager *logManager, QObject *parent, int sendIntervalMs)
    : QObject(parent)
    , m_portThread(new SerialPortThread(this))
    , m_logManager(logManager)
    , m_sendIntervalMs(sendIntervalMs)
{
    connect(m_portThread, &SerialPortThread::sig_rcvCommonMsg, this, &CMsg::sig_rcvCommonMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvGapMsg, this, &CMsg::sig_rcvGapMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvSmMsg, this, &CMsg::sig_rcvSmMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvGattMsg, this, &CMsg::sig_rcvGattMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvL2capMsg, this, &CMsg::sig_rcvL2capMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvRfuMsg, this, &CMsg::sig_rcvRfuMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvBIGCIGMsg, this, &CMsg::sig_rcvBIGCIGMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvDownLoadMsg, this, &CMsg::sig_rcvDownLoadMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvDongleLog, this, &CMsg::sig_rcvDongleLog);
    connect(m_portThread, &SerialPortThread::sig_log, this, &CMsg::processPortThreadLog);
    connect(m_portThread, &SerialPortThread::sig_rcvLCPMsg, this, &CMsg::on_rcvLCPMsg);
    connect(m_portThread, &SerialPortThread::sig_rcvIDTMsg, this, &CMsg::on_rcvIDTMsg);
}

CMsg::~CMsg()
{
    if (m_isOpen)
        closePort();
    delete m_portThread;
    m_portThread = nullptr;
}

void CMsg::log(const QString &text, int level)
{
    if (m_logManager)
        m_logManager->log(text, level);
}

int CMsg::openPort(const QString &portName)
{
    if (m_isOpen) {
        log(QStringLiteral("CMsg::openPort, serial port has already been opened."), 1);
        return -1;
    }
    m_portName = portName;
    log(QStringLiteral("open port begin"), 1);

    switch (m_port.open(portName)) {
    case Platform::SerialPort::Opened:
        break;
    case Platform::SerialPort::GetStateFailed:
        log(QStringLiteral("Get Comm State Error"), 4);
        return -1;
    case Platform::SerialPort::SetStateFailed:
        log(QStringLiteral("Set Comm State Error"), 4);
        return -1;
    case Platform::SerialPort::OpenFailed:
    case Platform::SerialPort::AlreadyOpen:
        log(QStringLiteral("Create File Error"), 4);
        return -1;
    }

    m_portThread->setPort(&m_port);
    m_portThread->start(QThread::TimeCriticalPriority);
    log(QStringLiteral("open port finish"), 1);

    m_sendTimer = new QTimer;
    m_sendQueue = new QQueue<QByteArray>;
    m_sendTimer->setInterval(m_sendIntervalMs);
    m_sendTimer->setSingleShot(false);
    connect(m_sendTimer, &QTimer::timeout, this, &CMsg::onSendTimer);
    m_sendTimer->start();

    m_writeNotifier = new QSocketNotifier(m_port.handle(), QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CMsg::onPortWritable);

    m_isOpen = true;
    return 0;
}

void CMsg::closePort()
{
    if (!m_isOpen) {
        log(QStringLiteral("CMsg::closePort, serial port has already been closed."), 1);
        return;
    }
    m_portThread->stop();
    m_isOpen = false;
    m_portName.clear();
    m_portThread->wait();
    m_portThread->quit();

    delete m_sendTimer;
    m_sendTimer = nullptr;
    delete m_sendQueue;
    m_sendQueue = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;

    m_port.close();
}

void CMsg::setSendInterval(int ms)
{
    m_sendIntervalMs = ms;
    if (m_sendTimer)
        m_sendTimer->setInterval(ms);
}

char CMsg::generateCheckSum(const QByteArray &msg, char *checkSum)
{
    if (msg.size() < HEADER_LENTH) {
        log(QStringLiteral("CMsg::generateCheckSum:the lenth of msg is smaller than HEADER_LENTH"), 1);
        return -1;
    }
    if (!checkSum)
        return -1;
    quint8 sum = 0;
    for (const char byte : msg)
        sum = quint8(sum + quint8(byte));
    *checkSum = char(quint8(-sum));
    return 0;
}

int CMsg::sendMsg(const QByteArray &msg)
{
    char checkSum = 0;
    if (generateCheckSum(msg, &checkSum) != 0) {
        log(QStringLiteral("CMsg::sendMsg: generateCheckSum failed."), 1);
        return -1;
    }
    const QByteArray frame = msg + checkSum;
    if (!m_sendQueue) {
        log(QStringLiteral("CMsg::sendMsg: port has been closed."), 1);
        return -1;
    }
    m_sendQueue->enqueue(frame);
    return 0;
}

void CMsg::sendRawMsg(const QByteArray &msg)
{
    if (m_sendQueue)
        m_sendQueue->enqueue(msg);
}

void CMsg::onSendTimer()
{
    if (!m_sendQueue)
        return;
    // The frame still going out keeps its tick; the next one waits its turn.
    if (m_port.isWritePending()) {
        onPortWritable();
        if (m_port.isWritePending())
            return;
    }
    if (m_sendQueue->isEmpty())
        return;
    if (!writeOverlapped(m_sendQueue->dequeue()))
        log(QStringLiteral("Send msg by serial port failed."), 1);
}

bool CMsg::writeOverlapped(const QByteArray &msg)
{
    if (!m_port.write(msg)) {
        log(QStringLiteral("GetLastError() != ERROR_IO_PENDING"), 4);
        return false;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_port.isWritePending());
    return true;
}

void CMsg::onPortWritable()
{
    if (!m_port.continueWrite()) {
        log(QStringLiteral("GetLastError() != ERROR_IO_PENDING"), 4);
        log(QStringLiteral("Send msg by serial port failed."), 1);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_port.isWritePending());
}

void CMsg::processPortThreadLog(QString text, int level)
{
    log(text, level);
}

void CMsg::on_rcvLCPMsg(QByteArray msg)
{
    emit sig_rcvLCPMsg(msg);
}

void CMsg::on_rcvIDTMsg(QByteArray msg)
{
    emit sig_rcvIDTMsg(msg);
}
