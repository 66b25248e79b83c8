#include "filelogger.h"

#include "logdiskguard.h"
#include "logfilewriter.h"
#include "regularfile.h"

#include <QFileInfo>
#include <QThread>

#include <cstring>

namespace {
constexpr int FlushThreshold = 2048;
// A batch that logs this much hands it over before it ends.
constexpr int HandOverNowBytes = 1024 * 1024;
constexpr int MaxReservedBytes = 128 * 1024;
constexpr int BatchHandOverBytes = 64 * 1024;

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

void appendLineBytes(QByteArray *out, const char *text, int size, int level)
{
    const QLatin1String tag = levelTag(level);
    const int start = out->size();
    out->resize(start + 12 + tag.size() + size + 2);
    char *line = out->data() + start;
    Logger::writeTimeStamp(line);
    std::memcpy(line + 12, tag.data(), size_t(tag.size()));
    std::memcpy(line + 12 + tag.size(), text, size_t(size));
    std::memcpy(line + 12 + tag.size() + size, "\r\n", 2);
}

qint64 lineBytes(int textSize, int level)
{
    return 12 + levelTag(level).size() + textSize + 2;
}

// "UI_log.txt", then "UI_log-2.txt", "UI_log-3.txt", ... beside it.
QString partFileName(const QString &fileName, int part)
{
    if (part <= 1)
        return fileName;
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    const QString base = info.completeBaseName() + QLatin1Char('-') + QString::number(part);
    const QString name = suffix.isEmpty() ? base : base + QLatin1Char('.') + suffix;
    const int slash = qMax(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    return fileName.left(slash + 1) + name;
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
    const QByteArray bytes = text.toUtf8();
    QByteArray line;
    appendLineBytes(&line, bytes.constData(), bytes.size(), level);
    return QString::fromUtf8(line);
}

bool FileLogger::takes(int level) const
{
    return !LogDiskGuard::holdsBack(level);
}

void FileLogger::log(const QString &text, int level)
{
    if (text.isEmpty() || !takes(level))
        return;
    // On our own thread the line goes straight into the buffer, so lines
    // logged while no event loop runs (shutdown) still reach the file.
    if (QThread::currentThread() == thread()) {
        const QByteArray bytes = text.toUtf8();
        appendLine(bytes.constData(), bytes.size(), level);
    } else {
        emit sig_append(formatLine(text, level));
    }
}

void FileLogger::logUtf8(const QByteArray &text, int level)
{
    if (QThread::currentThread() == thread())
        appendUtf8(text, level);
    else if (!text.isEmpty() && takes(level))
        emit sig_append(formatLine(QString::fromUtf8(text), level));
}

void FileLogger::appendUtf8(const QByteArray &text, int level)
{
    if (!text.isEmpty() && takes(level))
        appendLine(text.constData(), text.size(), level);
}

void FileLogger::appendLine(const char *text, int size, int level)
{
    // Built as bytes in place: this runs for every line a busy scan logs.
    makeRoomFor(lineBytes(size, level));
    appendLineBytes(&m_buffer, text, size, level);
    bufferGrew();
}

char *FileLogger::beginLine(int maxTextBytes, int level)
{
    const QLatin1String tag = levelTag(level);
    m_lineStart = m_buffer.size();
    m_lineTextStart = m_lineStart + 12 + tag.size();
    m_buffer.resize(m_lineTextStart + maxTextBytes + 2);
    char *line = m_buffer.data() + m_lineStart;
    Logger::writeTimeStamp(line);
    std::memcpy(line + 12, tag.data(), size_t(tag.size()));
    return line + 12 + tag.size();
}

void FileLogger::endLine(const char *end)
{
    const int textSize = int(end - m_buffer.constData()) - m_lineTextStart;
    Q_ASSERT(textSize >= 0 && m_lineTextStart + textSize + 2 <= m_buffer.size());
    if (textSize <= 0) {
        m_buffer.resize(m_lineStart);
        return;
    }
    const int lineSize = m_lineTextStart - m_lineStart + textSize + 2;
    m_buffer.resize(m_lineStart + lineSize);
    std::memcpy(m_buffer.data() + m_lineStart + lineSize - 2, "\r\n", 2);
    // Rare: the line takes the file past its roll-over size, so it opens the next part.
    if (rollsOver(m_fileBytes + m_lineStart, lineSize)) {
        const QByteArray line(m_buffer.constData() + m_lineStart, lineSize);
        m_buffer.resize(m_lineStart);
        makeRoomFor(lineSize);
        m_buffer.append(line);
    }
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
    const QByteArray line = outMsg.toUtf8();
    makeRoomFor(line.size());
    m_buffer.append(line);
    bufferGrew();
}

bool FileLogger::rollsOver(qint64 filled, qint64 lineBytes) const
{
    return !m_fileName.isEmpty() && filled != 0 && filled + lineBytes > m_rollOverBytes;
}

void FileLogger::makeRoomFor(qint64 lineBytes)
{
    if (!rollsOver(m_fileBytes + m_buffer.size(), lineBytes))
        return;
    handOver();
    // The writer closes this part once its last piece is written.
    openPart(partFileName(m_fileName, ++m_part));
}

void FileLogger::bufferGrew()
{
    if (m_buffer.size() >= HandOverNowBytes || (m_buffer.size() >= FlushThreshold && !m_batching)) {
        handOver();
        return;
    }
    // Not restarted by later lines: a steady trickle must not hold the first
    // back. Nor stopped by a hand-over: firing early costs nothing.
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void FileLogger::setBatching(bool batching)
{
    m_batching = batching;
    // A busy link ends a batch every few milliseconds: what is less than a
    // few batches' lines waits for more, or for the flush delay.
    if (!batching && m_buffer.size() >= BatchHandOverBytes)
        handOver();
}

void FileLogger::fileClear()
{
    flushBuffer();
}

void FileLogger::handOver()
{
    if (m_buffer.isEmpty())
        return;
    const int handed = m_buffer.size();
    m_fileBytes += handed;
    m_lastTicket = LogFileWriter::append(m_file, m_buffer);
    // The writer thread owns those bytes now. Room for as much again, so the
    // next batch's lines do not grow the buffer step by step.
    m_buffer = QByteArray();
    m_buffer.reserve(qBound(FlushThreshold, handed + handed / 2, MaxReservedBytes));
}

void FileLogger::flushBuffer()
{
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
    emit sig_writeFailed(m_partFileName, reason);
}

void FileLogger::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    flushBuffer();
    m_part = 1;
    openPart(fileName);
}

void FileLogger::openPart(const QString &path)
{
    m_partFileName = path;
    // The writer closes the old file once its last piece is written.
    m_file = std::make_shared<QFile>(path);
    m_failureReported = false;
    QString reason;
    // A link planted under the log's name would carry the lines elsewhere.
    if (!Platform::openForWriting(*m_file, path, QIODevice::ReadWrite | QIODevice::Append, &reason))
        reportFailure(reason);
    m_fileBytes = m_file->isOpen() ? m_file->size() : 0;
}

QString FileLogger::fileName() const
{
    return m_fileName;
}
