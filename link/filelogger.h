#pragma once

#include "logger.h"

#include <QByteArray>
#include <QFile>
#include <QTimer>

#include <memory>

// Buffered log file: lines gather in memory and reach the file in pieces of
// at least 2048 bytes, on clear, on flushBuffer, when the logger dies, and at
// the latest a moment after the first line still unwritten, so the lines
// that explain a hang are on disk without a write per line. The writing
// itself happens on a background thread; flushBuffer, clear, a new file name
// and the destructor wait until the file holds every line logged before.
class FileLogger : public Logger
{
    Q_OBJECT

public:
    explicit FileLogger(const QString &name);
    ~FileLogger() override;

    void log(const QString &text, int level) override;
    void clear() override;
    virtual void flushBuffer();
    virtual void setFileName(const QString &fileName);
    virtual QString fileName() const;

    // The file line for a text at a level: time, tag, text, CR LF.
    static QString formatLine(const QString &text, int level);

    static constexpr int DefaultFlushDelayMs = 1000;
    void setFlushDelay(int ms) { m_flushTimer.setInterval(ms); }

signals:
    // Once per file and failure: the file cannot be opened or written.
    void sig_writeFailed(QString fileName, QString reason);
    void sig_append(QString msg);
    void sig_clear();

public slots:
    void fileAppend(QString outMsg);
    void fileClear();

private:
    static void appendLineBytes(QByteArray *out, const QString &text, int level);
    void appendLine(const QString &text, int level);
    // Hands the buffer over once it is large enough, else within the flush delay.
    void bufferGrew();
    // Hands the buffer to the writer thread without waiting.
    void handOver();

    std::shared_ptr<QFile> m_file;
    QString m_fileName;
    QByteArray m_buffer;
    bool m_failureReported = false;
    void reportFailure(const QString &reason);
    QTimer m_flushTimer;
    quint64 m_lastTicket = 0;
};
