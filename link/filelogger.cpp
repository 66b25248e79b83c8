#include "filelogger.h"

#include "logfilewriter.h"
#include "regularfile.h"

#include <QThread>

namespace {
constexpr int FlushThreshold = 2048;

QLatin1String levelTag(int level)
{
    switch (level) {
    case LogLevel::Error:
        return QLatin1String(": [ERROR]");
    case LogLevel::Warn:
        return QLatin1String(": [WARN]");
    case LogLevel::Info:
        return QLatin1String(": [INFO]");
    case LogLevel::Debug:
        return QLatin1String(": [DEBUG]");
    case LogLevel::Dongle:
        return QLatin1String(": [DONGLE]");
    default:
        return QLatin1String(": ");
    }
}
} // namespace

FileLogger::FileLogger(const QString &name)
    : Logger(name, LogLevel::Debug, TypeFile)
    , m_file(std::make_shared<QFile>())
    , m_flushTimer(this)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(DefaultFlushDelayMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &FileLogger::handOver);
    connect(this, &FileLogger::sig_append, this, &FileLogger::fileAppend, Qt::QueuedConnection);
    connect(this, &FileLogger::sig_clear, this, &FileLogger::fileClear, Qt::QueuedConnection);
}

FileLogger::~FileLogger()
{
    flushBuffer();
}

QString FileLogger::formatLine(const QString &text, int level)
{
    QByteArray line;
    appendLineBytes(&line, text, level);
    return QString::fromUtf8(line);
}

void FileLogger::appendLineBytes(QByteArray *out, const QString &text, int level)
{
    // Built as bytes in place: this runs for every line a busy scan logs.
    char stamp[12];
    writeTimeStamp(stamp);
    const QLatin1String tag = levelTag(level);
    out->append(stamp, 12);
    out->append(tag.data(), tag.size());
    out->append(text.toUtf8());
    out->append("\r\n", 2);
}

void FileLogger::log(const QString &text, int level)
{
    if (text.isEmpty())
        return;
    // On our own thread the line goes straight into the buffer, so lines
    // logged while no event loop runs (shutdown) still reach the file.
    if (QThread::currentThread() == thread())
        appendLine(text, level);
    else
        emit sig_append(formatLine(text, level));
}

void FileLogger::appendLine(const QString &text, int level)
{
    appendLineBytes(&m_buffer, text, level);
    bufferGrew();
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
    bufferGrew();
}

void FileLogger::bufferGrew()
{
    if (m_buffer.size() >= FlushThreshold)
        handOver();
    // Not restarted by later lines: a steady trickle must not hold the first back.
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void FileLogger::fileClear()
{
    flushBuffer();
}

void FileLogger::handOver()
{
    m_flushTimer.stop();
    m_lastTicket = LogFileWriter::append(m_file, m_buffer);
    m_buffer.clear();
}

void FileLogger::flushBuffer()
{
    if (!m_buffer.isEmpty())
        handOver();
    LogFileWriter::waitFor(m_lastTicket);
    // The writer thread is done with what we handed over: a full disk or a
    // vanished folder shows in the file's error now.
    if (m_file->isOpen() && m_file->error() != QFileDevice::NoError)
        reportFailure(m_file->errorString());
}

void FileLogger::reportFailure(const QString &reason)
{
    if (m_failureReported)
        return;
    m_failureReported = true;
    emit sig_writeFailed(m_fileName, reason);
}

void FileLogger::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    flushBuffer();
    // The writer closes the old file once its last piece is written.
    m_file = std::make_shared<QFile>(fileName);
    m_failureReported = false;
    QString reason;
    // A link planted under the log's name would carry the lines elsewhere.
    if (!Platform::openForWriting(*m_file, fileName, QIODevice::ReadWrite | QIODevice::Append, &reason))
        reportFailure(reason);
}

QString FileLogger::fileName() const
{
    return m_fileName;
}
