#include "linepacer.h"

#include <cmath>

LinePacer::LinePacer(int bytesPerSecond, int burstBytes)
    : m_rate(bytesPerSecond)
    , m_burst(burstBytes)
{
    m_clock.start();
    m_lastNs = m_clock.nsecsElapsed();
}

void LinePacer::refill()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_budget += double(now - m_lastNs) * m_rate / 1e9;
    m_lastNs = now;
    if (!m_backlogged && m_budget > m_burst)
        m_budget = m_burst;
}

int LinePacer::take(int wanted)
{
    refill();
    const int allowed = qMax(0, qMin(wanted, int(std::floor(m_budget))));
    m_backlogged = allowed < wanted;
    m_budget -= allowed;
    return allowed;
}

int LinePacer::msUntilNext() const
{
    if (m_budget >= 1)
        return 0;
    return qMax(1, int(std::ceil((1 - m_budget) * 1000.0 / m_rate)));
}
