#pragma once

#include "uplinkframer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>

namespace Platform {
class SerialPort;
}

// The reader of one dongle's port: waits for bytes, cuts them into frames and
// emits each good frame on the signal of its layer. Lives as long as its link;
// the parse state survives closing and reopening, so the start-up
// synchronisation on the reset event happens once per link.
class SerialPortThread : public QThread, private UplinkFramer::Listener
{
    Q_OBJECT

public:
    static constexpr int ReadBufferSize = 1048576;
    static constexpr int DefaultPollIntervalMs = 10;

    explicit SerialPortThread(QObject *parent = nullptr);
    ~SerialPortThread() override;

    // Hands over the port before each start and arms the loop, so a stop()
    // that comes right after start() is never lost.
    void setPort(Platform::SerialPort *port);
    // Longest wait for input in one pass; stop() takes effect within it.
    void setPollInterval(int ms) { m_pollIntervalMs = ms; }
    int pollInterval() const { return m_pollIntervalMs; }
    // Silence after which a started frame is given up (plus the line time of
    // its missing bytes). Set it while the port is closed.
    void setStallGrace(int ms) { m_framer.setStallGrace(ms); }

    void stop();
    bool isRunningFlagSet() const { return m_running.load(); }

    void parseRcvData(const QByteArray &data);
    int parseState() const { return m_framer.state(); }

signals:
    void sig_rcvCommonMsg(QByteArray msg);
    void sig_rcvGapMsg(QByteArray msg);
    void sig_rcvSmMsg(QByteArray msg);
    void sig_rcvGattMsg(QByteArray msg);
    void sig_rcvL2capMsg(QByteArray msg);
    void sig_rcvRfuMsg(QByteArray msg);
    void sig_rcvBIGCIGMsg(QByteArray msg);
    void sig_rcvDownLoadMsg(QByteArray msg);
    void sig_rcvDongleLog(QByteArray msg);
    void sig_rcvLCPMsg(QByteArray msg);
    void sig_rcvIDTMsg(QByteArray msg);
    void sig_log(QString text, int level);

protected:
    void run() override;

private:
    void uplinkFrame(UplinkFramer::Route route, const QByteArray &frame) override;
    void framingLog(const QString &text, int level) override;

    UplinkFramer m_framer;
    // The framer's time: when bytes arrive and when a quiet pass ends.
    QElapsedTimer m_clock;
    Platform::SerialPort *m_port = nullptr;
    std::atomic<bool> m_running {false};
    std::atomic<int> m_pollIntervalMs {DefaultPollIntervalMs};
    // One report per opening: a vanished device fails every pass.
    bool m_readErrorReported = false;
    QByteArray m_readBuffer;
};
