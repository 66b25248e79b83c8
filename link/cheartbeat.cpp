#include "cheartbeat.h"

#include "ccommand.h"
#include "cmsg.h"
#include "commandnames.h"
#include "logger.h"
#include "logmanager.h"
#include "serialportthread.h"
#include "uplinkheader.h"

#include <QTimer>

CHeartBeat::CHeartBeat(CMsg *link, LogManager *logger, int interval, QObject *parent, int deadThresholdMs)
    : QObject(parent)
    , m_link(link)
    , m_logger(logger)
    , m_timer(new QTimer(this))
    , m_deadThresholdMs(deadThresholdMs)
    , m_dispatcher(this, logger, {{"BB@01@84", &CHeartBeat::onHeartBeatAnswer}})
{
    m_timer->setInterval(interval);
    m_lastAnswerMs = uplinkClockMs();
    if (m_link != nullptr) {
        connect(m_link, &CMsg::sig_rcvGapMsg, this, &CHeartBeat::onRcvMsg);
        // "Heart Beat Detect" answered with status 0, as the reader cuts it.
        m_link->portThread()->watchArrivals(QByteArray::fromHex("bb0184010000"));
    }
}

void CHeartBeat::start()
{
    if (!m_timer->isActive()) {
        m_timer->start();
        connect(m_timer, &QTimer::timeout, this, &CHeartBeat::check, Qt::UniqueConnection);
    }
    m_lastAnswerMs = uplinkClockMs();
}

void CHeartBeat::stop()
{
    if (!m_timer->isActive())
        return;
    m_timer->stop();
    disconnect(m_timer, &QTimer::timeout, this, &CHeartBeat::check);
}

bool CHeartBeat::isRunning() const
{
    return m_timer->isActive();
}

void CHeartBeat::setInterval(int ms)
{
    m_timer->setInterval(ms);
}

int CHeartBeat::interval() const
{
    return m_timer->interval();
}

void CHeartBeat::setDeadThreshold(int ms)
{
    m_deadThresholdMs = ms;
}

void CHeartBeat::check()
{
    if (m_link != nullptr)
        m_lastAnswerMs = qMax(m_lastAnswerMs, m_link->portThread()->lastWatchedArrivalMs());
    if (uplinkClockMs() - m_lastAnswerMs >= m_deadThresholdMs) {
        m_logger->log(QStringLiteral("system busy or firmware dead"), LogLevel::Debug);
        stop();
        emit dead();
        return;
    }
    static const QMap<QString, QVariant> noFields;
    if (!CCommand::sendMsg(m_link, m_logger, QString::fromLatin1(CMD_HEART_BEAT_DETECT), noFields, noFields))
        CCommand::logSendFailed(m_logger, QString::fromLatin1(CMD_HEART_BEAT_DETECT));
}

void CHeartBeat::onRcvMsg(QByteArray msg)
{
    m_dispatcher.dispatch(msg);
}

void CHeartBeat::onHeartBeatAnswer(const QByteArray &msg)
{
    CCommand::SDKProc(m_logger, msg);
    if (UplinkHeader(msg).acknowledgement() != 0)
        return;
    const qint64 arrival = m_link != nullptr ? m_link->currentArrivalMs() : -1;
    m_lastAnswerMs = qMax(m_lastAnswerMs, arrival >= 0 ? arrival : uplinkClockMs());
}
