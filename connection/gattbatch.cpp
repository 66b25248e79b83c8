#include "gattbatch.h"

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "pagewire.h"

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
    m_acknowledgements = 0;
    m_watchdog.start();
}

void GattBatch::continueAs(Kind kind)
{
    m_kind = kind;
    m_acknowledgements = 0;
}

void GattBatch::finish()
{
    m_kind = None;
    m_acknowledgements = 0;
    m_watchdog.stop();
}

void GattBatch::requestSent(const QString &command)
{
    m_command = command;
    m_acknowledgementId = QStringLiteral("BB@") + CCfgFileParse::instance()->m_downlinkNameToIdMap.value(command);
    ++m_acknowledgements;
    heard();
}

void GattBatch::heard()
{
    if (isRunning())
        m_watchdog.start();
}

std::optional<quint8> GattBatch::takeAcknowledgement(const QByteArray &frame)
{
    if (!isRunning() || m_acknowledgements <= 0 || CCommand::getUpLinkId(frame) != m_acknowledgementId)
        return std::nullopt;
    --m_acknowledgements;
    heard();
    return PageWire::acknowledgement(frame).value_or(0);
}
