#include "bootloaderengine.h"

#include "firmwareimage.h"
#include "logger.h"

#include <QtEndian>

namespace {
QByteArray u16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray u32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}
} // namespace

BootLoaderEngine::BootLoaderEngine(Listener *listener, int stepTimeoutMs)
    : m_listener(listener)
    , m_stepTimeoutMs(stepTimeoutMs)
{
}

void BootLoaderEngine::setPauses(int afterEndMs, int afterRunMs)
{
    m_endPauseMs = afterEndMs;
    m_runPauseMs = afterRunMs;
}

quint16 BootLoaderEngine::frameSum(const QByteArray &bytes, int from, int to)
{
    quint16 sum = 0;
    for (int i = from; i < to; ++i)
        sum = quint16(sum + quint8(bytes.at(i)));
    return sum;
}

QByteArray BootLoaderEngine::frame(quint16 command, const QByteArray &payload)
{
    QByteArray bytes;
    bytes.reserve(HeaderSize + payload.size() + 2);
    bytes.append("QK", 2);
    bytes.append(u16(command));
    bytes.append(u16(quint16(payload.size())));
    bytes.append(payload);
    bytes.append(u16(frameSum(bytes, 2, bytes.size())));
    return bytes;
}

bool BootLoaderEngine::parseAnswer(const QByteArray &answer, quint16 *command, quint8 *status)
{
    if (!answer.startsWith("QK") || !unreadableReason(answer).isEmpty())
        return false;
    *command = qFromLittleEndian<quint16>(answer.constData() + 2);
    *status = quint8(answer.at(HeaderSize));
    return true;
}

QString BootLoaderEngine::unreadableReason(const QByteArray &answer)
{
    if (!answer.startsWith("QK"))
        return QString();
    if (answer.size() < HeaderSize + 2)
        return QStringLiteral("it is cut short");
    const int length = qFromLittleEndian<quint16>(answer.constData() + 4);
    if (length == 0)
        return QStringLiteral("it has no status");
    if (length > MaxAnswerPayload)
        return QStringLiteral("its length %1 is more than %2").arg(length).arg(MaxAnswerPayload);
    if (answer.size() != HeaderSize + length + 2)
        return QStringLiteral("its length %1 does not match its %2 bytes").arg(length).arg(answer.size());
    if (qFromLittleEndian<quint16>(answer.constData() + HeaderSize + length)
        != frameSum(answer, 2, HeaderSize + length))
        return QStringLiteral("its sum is wrong");
    return QString();
}

bool BootLoaderEngine::isSuccessAnswer(const QByteArray &answer, quint16 command)
{
    quint16 answered = NoCommand;
    quint8 status = 0;
    return parseAnswer(answer, &answered, &status) && answered == command && status == AnswerSuccess;
}

QString BootLoaderEngine::frameName(quint16 command) const
{
    switch (command) {
    case CmdStart:
        return QStringLiteral("the start frame");
    case CmdFlash: {
        const quint32 chunks = (quint32(m_image.size()) + ChunkSize - 1) / ChunkSize;
        const quint32 chunk = (m_sent + ChunkSize - 1) / ChunkSize;
        return QStringLiteral("flash frame %1 of %2").arg(chunk).arg(chunks);
    }
    case CmdEnd:
        return QStringLiteral("the end frame");
    case CmdResetRun:
        return QStringLiteral("the reset-and-run frame");
    default:
        return QStringLiteral("a frame of command 0x%1").arg(command, 2, 16, QLatin1Char('0'));
    }
}

QString BootLoaderEngine::whereWeAre() const
{
    if (m_state == Paused)
        return QStringLiteral("during the pause after %1")
            .arg(frameName(m_afterPause == CmdResetRun ? quint16(CmdEnd) : quint16(CmdResetRun)));
    return QStringLiteral("while waiting for the answer to %1").arg(frameName(m_step));
}

void BootLoaderEngine::fail(const QString &reason)
{
    release();
    m_listener->engineLog(reason, LogLevel::Error);
    m_listener->engineLog(QStringLiteral("download firmware failed."), LogLevel::Error);
    m_listener->stageFailed(reason);
}

bool BootLoaderEngine::startStage(const QByteArray &image, qint64 nowMs, QString *error)
{
    release();
    const QByteArray tail = image.right(FirmwareImage::LongFormDistance);
    QString why;
    const QByteArray trailer = FirmwareImage::trailer(tail, image.size(), &why);
    if (trailer.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    m_image = image;
    m_trailer = trailer;
    m_loadAddress = FirmwareImage::loadAddress(trailer);
    sendStep(CmdStart, QByteArray(1, '\0') + trailer.left(FirmwareImage::StartCopySize), "firmwareProgramStart",
             nowMs);
    return true;
}

void BootLoaderEngine::sendStep(quint16 command, const QByteArray &payload, const char *stepLine, qint64 nowMs)
{
    m_state = Awaiting;
    m_step = command;
    m_deadline = nowMs + m_stepTimeoutMs;
    m_listener->engineLog(QString::fromLatin1(stepLine), LogLevel::Info);
    m_listener->sendBootFrame(frame(command, payload));
}

void BootLoaderEngine::flashNext(qint64 nowMs)
{
    if (m_sent >= quint32(m_image.size())) {
        sendStep(CmdEnd, QByteArray(1, '\0') + u32(FirmwareImage::byteSum(m_image)), "firmwareProgramEnd", nowMs);
        return;
    }
    const int count = qMin(m_image.size() - int(m_sent), ChunkSize);
    QByteArray payload;
    payload.reserve(7 + count);
    payload.append(char(1));
    payload.append(u32(m_loadAddress + m_sent));
    payload.append(u16(quint16(count)));
    payload.append(m_image.constData() + m_sent, count);
    m_sent += quint32(count);
    sendStep(CmdFlash, payload, "firmwareProgramFlash", nowMs);
    m_listener->flashProgress(m_sent, quint32(m_image.size()));
}

void BootLoaderEngine::feed(const QByteArray &answer, qint64 nowMs)
{
    if (m_state == Idle)
        return;
    const QString unreadable = unreadableReason(answer);
    if (!unreadable.isEmpty()) {
        // Stop-and-wait: once the awaited frame has left, a broken answer can
        // only be its answer, and no other will come.
        if (m_state == Awaiting && m_listener->lastFrameLeft()) {
            fail(QStringLiteral("The answer of the boot loader to %1 was unreadable: %2.")
                     .arg(frameName(m_step), unreadable));
            return;
        }
        m_listener->engineLog(
            QStringLiteral("Unreadable boot loader answer ignored %1: %2.").arg(whereWeAre(), unreadable),
            LogLevel::Warn);
        return;
    }
    quint16 command = NoCommand;
    quint8 status = 0;
    if (!parseAnswer(answer, &command, &status))
        return;
    if (status != AnswerSuccess) {
        // Whichever frame it answers, the image on the dongle is not whole.
        if (m_state == Awaiting && command == m_step)
            fail(QStringLiteral("The boot loader refused %1 (status %2).").arg(frameName(command)).arg(status));
        else
            fail(QStringLiteral("The boot loader refused a frame of command 0x%1 (status %2) %3.")
                     .arg(command, 2, 16, QLatin1Char('0'))
                     .arg(status)
                     .arg(whereWeAre()));
        return;
    }
    if (m_state != Awaiting || command != m_step || !m_listener->lastFrameLeft()) {
        // Stop-and-wait: only the frame on its way can be answered; a repeated
        // answer would otherwise pass for the next frame's.
        m_listener->engineLog(QStringLiteral("Boot loader answer to command 0x%1 ignored %2.")
                                  .arg(command, 2, 16, QLatin1Char('0'))
                                  .arg(whereWeAre()),
                              LogLevel::Debug);
        return;
    }
    switch (m_step) {
    case CmdStart:
    case CmdFlash:
        flashNext(nowMs);
        break;
    case CmdEnd:
        m_listener->engineLog(QStringLiteral("Program firmware success!"), LogLevel::Info);
        m_state = Paused;
        m_step = NoCommand;
        m_afterPause = CmdResetRun;
        m_listener->pauseFor(m_endPauseMs);
        break;
    case CmdResetRun:
        m_state = Paused;
        m_step = NoCommand;
        m_afterPause = NoCommand;
        m_listener->pauseFor(m_runPauseMs);
        break;
    default:
        break;
    }
}

void BootLoaderEngine::resume(qint64 nowMs)
{
    if (m_state != Paused)
        return;
    if (m_afterPause == CmdResetRun) {
        sendStep(CmdResetRun, m_trailer.mid(FirmwareImage::RunCopyOffset, FirmwareImage::RunCopySize),
                 "resetRunFirmware", nowMs);
        return;
    }
    release();
    m_listener->stageFinished();
}

void BootLoaderEngine::checkTime(qint64 nowMs)
{
    if (m_state != Awaiting || nowMs < m_deadline)
        return;
    fail(QStringLiteral("The boot loader did not answer %1 within %2 ms.").arg(frameName(m_step)).arg(m_stepTimeoutMs));
}

void BootLoaderEngine::abort()
{
    release();
}

void BootLoaderEngine::release()
{
    m_state = Idle;
    m_step = NoCommand;
    m_afterPause = NoCommand;
    m_image.clear();
    m_image.squeeze();
    m_trailer.clear();
    m_loadAddress = 0;
    m_sent = 0;
}
