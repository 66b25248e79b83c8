#pragma once

#include "logger.h"

#include <QByteArray>
#include <QFile>
#include <QTimer>

#include <memory>

// Buffered log file: lines gather in memory and reach the file once at least
// 2048 bytes gathered (lines logged within a batch of uplink frames: once a
// batch ends with at least 64 KiB), on clear, on flushBuffer, when the logger
// dies, and at the latest a moment after the first line still unwritten, so
// the lines that explain a hang are on disk without a write per line. The writing itself happens on a background thread; flushBuffer,
// clear, a new file name and the destructor wait until the file holds every
// line logged before.
//
// A file that would grow past the roll-over size continues in a numbered
// file beside it ("UI_log.txt", "UI_log-2.txt", ...); nothing is deleted.
// While the disk is nearly full the file takes no DEBUG and INFO lines
// (LogDiskGuard).
class FileLogger : public Logger
{
    Q_OBJECT

public:
    explicit FileLogger(const QString &name);
    ~FileLogger() override;

    void log(const QString &text, int level) override;
    // The same for a text already made as UTF-8 bytes.
    void logUtf8(const QByteArray &text, int level);
    // Whether a line of this level goes into the file now.
    bool takes(int level) const;
    // A line written in place, for a text logged for every frame: the time
    // and tag go first, then room for at most maxTextBytes of text; returns
    // where the text goes; endLine() takes where it ends. Nothing else is
    // logged in between. On the logger's own thread.
    char *beginLine(int maxTextBytes, int level);
    void endLine(const char *end);
    void clear() override;
    virtual void flushBuffer();
    virtual void setFileName(const QString &fileName);
    virtual QString fileName() const;
    // The file the lines go to now: the file name, or a numbered file after it.
    QString currentFileName() const { return m_partFileName; }

    // The file line for a text at a level: time, tag, text, CR LF.
    static QString formatLine(const QString &text, int level);

    static constexpr int DefaultFlushDelayMs = 1000;
    void setFlushDelay(int ms) { m_flushTimer.setInterval(ms); }
    static constexpr qint64 DefaultRollOverBytes = 256LL * 1024 * 1024;
    void setRollOverBytes(qint64 bytes) { m_rollOverBytes = qMax<qint64>(1, bytes); }
    // While a batch lasts, a full buffer waits for its end.
    void setBatching(bool batching);

signals:
    // Once per file and failure: the file cannot be opened or written.
    void sig_writeFailed(QString fileName, QString reason);
    void sig_append(QString msg);
    void sig_clear();

public slots:
    void fileAppend(QString outMsg);
    void fileClear();

private:
    friend class LogManager;
    // logUtf8 on the logger's own thread.
    void appendUtf8(const QByteArray &text, int level);
    // Time and tag, then the text's bytes, then CR LF.
    void appendLine(const char *text, int size, int level);
    // Before a line of that many bytes: a file it would take past the
    // roll-over size gives way to the next numbered file.
    void makeRoomFor(qint64 lineBytes);
    // Whether a line of that many bytes after what the file and the buffer
    // hold up to filled takes the file past its roll-over size.
    bool rollsOver(qint64 filled, qint64 lineBytes) const;
    void openPart(const QString &path);
    // Hands the buffer over once it is large enough, else within the flush delay.
    void bufferGrew();
    // Hands the buffer to the writer thread without waiting.
    void handOver();

    std::shared_ptr<QFile> m_file;
    QString m_fileName;
    QString m_partFileName;
    int m_part = 1;
    // What the current file holds, with what was handed over for it.
    qint64 m_fileBytes = 0;
    qint64 m_rollOverBytes = DefaultRollOverBytes;
    QByteArray m_buffer;
    // Of the line begun in place: where it and its text start in the buffer.
    int m_lineStart = 0;
    int m_lineTextStart = 0;
    bool m_batching = false;
    bool m_failureReported = false;
    void reportFailure(const QString &reason);
    QTimer m_flushTimer;
    quint64 m_lastTicket = 0;
};
