#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Lets bytes through at a serial line's rate: a byte budget that grows with
// the time that passed. While bytes wait the line is busy, so the budget grows
// however late the caller comes back (event loops that sleep between turns
// would otherwise slow the line down); after an idle spell it is kept to one
// small burst, so a pause is not made up faster than the line.
class LinePacer
{
public:
    // 460800 baud, 8N1: ten bits a byte.
    static constexpr int SerialLineRate = 46080;

    explicit LinePacer(int bytesPerSecond = SerialLineRate, int burstBytes = 64);

    int rate() const { return m_rate; }
    // Bytes that may go now, at most `wanted`; they count as sent.
    int take(int wanted);
    // Bytes taken but not sent after all.
    void giveBack(int bytes) { m_budget += bytes; }
    // Milliseconds until at least one byte may go.
    int msUntilNext() const;

private:
    void refill();

    int m_rate;
    int m_burst;
    double m_budget = 0;
    bool m_backlogged = false;
    qint64 m_lastNs = 0;
    QElapsedTimer m_clock;
};
