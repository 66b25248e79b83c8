#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// While the disk of the data folder has less than 1 GiB free, the log files
// take no DEBUG and INFO lines, so that a busy log cannot fill the disk that
// received SDU and ISO data are written to; WARN and ERROR lines, the
// dongle's own lines and received data go on. One guard for the program,
// made with the first log; it looks again every second.
class LogDiskGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 MinimumFreeBytes = 1024LL * 1024 * 1024;
    static constexpr int CheckIntervalMs = 1000;

    static LogDiskGuard *instance();
    // Whether a log file leaves out a line of this level now. Any thread.
    static bool holdsBack(int level);

    bool isLow() const;
    // Reads the free space now, as the timer does.
    void check();

    // What the log line and the box say.
    static QString lowText(qint64 freeBytes);
    static QString backText(qint64 freeBytes);

signals:
    void sig_spaceLow(qint64 freeBytes);
    void sig_spaceBack(qint64 freeBytes);

private:
    explicit LogDiskGuard(QObject *parent);

    QTimer m_timer;
};
