#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include "uplinkdispatcher.h"

class CMsg;
class LogManager;
class QTimer;

// Watches whether the dongle's firmware still answers: sends "Heart Beat
// Detect" once per interval and declares the dongle dead when no answer with
// status 0 came for the dead threshold (20 s unless set otherwise).
//
// Time is counted from when the reader saw the last good answer come off the
// port, whether or not the window got to handle it: a window that is busy
// with a flood of frames, or drops some of them, does not make a dongle that
// answers look dead.
class CHeartBeat : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultIntervalMs = 1000;
    static constexpr int DefaultDeadThresholdMs = 20000;

    CHeartBeat(CMsg *link, LogManager *logger, int interval = DefaultIntervalMs, QObject *parent = nullptr,
               int deadThresholdMs = DefaultDeadThresholdMs);

    void start();
    void stop();
    bool isRunning() const;

    void setInterval(int ms);
    int interval() const;
    void setDeadThreshold(int ms);
    int deadThreshold() const { return m_deadThresholdMs; }

signals:
    void dead();

public slots:
    void check();
    void onRcvMsg(QByteArray msg);

private:
    void onHeartBeatAnswer(const QByteArray &msg);

    CMsg *m_link = nullptr;
    LogManager *m_logger = nullptr;
    // Monotonic (uplinkClockMs), so a step of the wall clock neither kills a
    // live dongle nor hides a dead one.
    qint64 m_lastAnswerMs = 0;
    QTimer *m_timer = nullptr;
    int m_deadThresholdMs = DefaultDeadThresholdMs;
    UplinkDispatcher<CHeartBeat> m_dispatcher;
};
