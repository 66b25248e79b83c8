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

bool BootLoaderEngine::isSuccessAnswer(const QByteArray &answer, quint16 command)
{
    if (answer.size() < HeaderSize + 2 || !answer.startsWith("QK"))
        return false;
    if (qFromLittleEndian<quint16>(answer.constData() + 2) != command)
        return false;
    const int length = qFromLittleEndian<quint16>(answer.constData() + 4);
    if (length > MaxAnswerPayload || answer.size() != HeaderSize + length + 2)
        return false;
    if (qFromLittleEndian<quint16>(answer.constData() + HeaderSize + length)
        != frameSum(answer, 2, HeaderSize + length))
        return false;
    return length > 0 && quint8(answer.at(HeaderSize)) == AnswerSuccess;
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
    // Anything but the awaited step's good answer is dropped; its watchdog runs on.
    if (m_state != Awaiting || !isSuccessAnswer(answer, m_step))
        return;
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
    release();
    m_listener->engineLog(QStringLiteral("download firmware failed."), LogLevel::Error);
    m_listener->stageFailed();
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
