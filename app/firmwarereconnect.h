#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class CMsg;
class CSelectDongleDialog;
class LogManager;

// Finds a dongle again after a firmware download, one step per timer tick:
// first its port is closed and the ports probed, then each tick tries its
// own port and any port whose probe answered with its name (a dongle may
// come back on another port; any other port may be another dongle).
class FirmwareReconnect : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 2000;
    static constexpr int Attempts = 5;
    enum class Step { Waiting, Reopened, GaveUp };

    FirmwareReconnect(CMsg *link, LogManager *logger, QObject *parent = nullptr);

    QTimer *timer() { return &m_timer; }
    // Remembers the link's port and what the dongle called itself when it
    // was probed there, and starts the ticks.
    void start(const CSelectDongleDialog *dialog);
    void stop();
    Step step(CSelectDongleDialog *dialog);
    QStringList candidates(const CSelectDongleDialog *dialog) const;

private:
    CMsg *m_link;
    LogManager *m_logger;
    QTimer m_timer;
    int m_stage = 0;
    int m_attempts = 0;
    QString m_port;
    // The dongle's name in its probe answer; empty when it was not probed.
    QString m_name;
};
