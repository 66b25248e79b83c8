#include "gattbatch.h"

GattBatch::GattBatch(int timeoutMs, std::function<void()> onSilence)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(timeoutMs);
    QObject::connect(&m_watchdog, &QTimer::timeout, &m_watchdog, [this, onSilence = std::move(onSilence)] {
        if (isRunning())
            onSilence();
    });
}

void GattBatch::begin(Kind kind)
{
    m_kind = kind;
    ++m_serial;
    m_watchdog.start();
}

void GattBatch::continueAs(Kind kind)
{
    m_kind = kind;
}

void GattBatch::finish()
{
    m_kind = None;
    ++m_serial;
    m_watchdog.stop();
}

void GattBatch::requestSent(const QString &command)
{
    m_command = command;
    heard();
}

void GattBatch::heard()
{
    if (isRunning())
        m_watchdog.start();
}
