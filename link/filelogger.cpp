#include "filelogger.h"

#include <QThread>

namespace {
constexpr int FlushThreshold = 2048;

QString levelTag(int level)
{
    switch (level) {
    case LogLevel::Error:
        return QStringLiteral(": [ERROR]");
    case LogLevel::Warn:
        return QStringLiteral(": [WARN]");
    case LogLevel::Info:
        return QStringLiteral(": [INFO]");
    case LogLevel::Debug:
        return QStringLiteral(": [DEBUG]");
    case LogLevel::Dongle:
        return QStringLiteral(": [DONGLE]");
    default:
        return QStringLiteral(": ");
    }
}
} // namespace

FileLogger::FileLogger(const QString &name)
    : Logger(name, LogLevel::Debug, TypeFile)
    , m_flushTimer(this)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(DefaultFlushDelayMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &FileLogger::flushBuffer);
    connect(this, &FileLogger::sig_append, this, &FileLogger::fileAppend, Qt::QueuedConnection);
    connect(this, &FileLogger::sig_clear, this, &FileLogger::fileClear, Qt::QueuedConnection);
}

FileLogger::~FileLogger()
{
    flushBuffer();
    m_file.close();
}

QString FileLogger::formatLine(const QString &text, int level)
{
    return timeStamp() + levelTag(level) + text + QStringLiteral("\r\n");
}

void FileLogger::log(const QString &text, int level)
{
    if (text.isEmpty())
        return;
    const QString line = formatLine(text, level);
    // On our own thread the line goes straight into the buffer, so lines
    // logged while no event loop runs (shutdown) still reach the file.
    if (QThread::currentThread() == thread())
        fileAppend(line);
    else
        emit sig_append(line);
}

void FileLogger::clear()
{
    if (QThread::currentThread() == thread())
        fileClear();
    else
        emit sig_clear();
}

void FileLogger::fileAppend(QString outMsg)
{
    m_buffer.append(outMsg.toUtf8());
    if (m_buffer.size() >= FlushThreshold)
        flushBuffer();
    // Not restarted by later lines: a steady trickle must not hold the first back.
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void FileLogger::fileClear()
{
    flushBuffer();
}

void FileLogger::flushBuffer()
{
    m_flushTimer.stop();
    if (!m_buffer.isEmpty() && m_file.isOpen())
        m_file.write(m_buffer);
    if (m_file.isOpen())
        m_file.flush();
    m_buffer.clear();
}

void FileLogger::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    if (m_file.isOpen()) {
        flushBuffer();
        m_file.close();
    }
    m_file.setFileName(fileName);
    m_file.open(QIODevice::ReadWrite | QIODevice::Append);
}

QString FileLogger::fileName() const
{
    return m_fileName;
}
