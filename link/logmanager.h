#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include "logger.h"

class FileLogger;

// One per dongle: fans each line out to the dongle's loggers by level, and
// owns the run's log folder with "UI_log.txt" and "dongle_log.txt".
class LogManager : public QObject
{
    Q_OBJECT

public:
    explicit LogManager(const QString &dongleName);
    ~LogManager() override;

    virtual void logTo(const QString &loggerName, const QString &text, int level);
    virtual void log(const QString &text, int level);
    virtual void logToConsole(const QString &text);
    virtual void logToFile(const QString &text, int level);
    virtual void dongleLog(const QString &text);
    virtual void auxLog(const QString &text);
    virtual void addAndSelectLogger(Logger *logger);
    virtual void selectLogger(const QString &name);
    virtual void addLogger(Logger *logger);
    virtual void addLogger(const QSharedPointer<Logger> &logger);
    virtual void removeLogger(const QString &name);
    virtual QSharedPointer<Logger> getLogger(const QString &name) const;
    virtual bool containsLogger(const QString &name) const;
    virtual void addDongleLogger(Logger *logger);
    virtual void addAuxLogger(Logger *logger);
    virtual QString logFolder() const;
    virtual void clearAll();
    virtual void writeLog(const QSharedPointer<Logger> &logger, const QString &text, int level);

    // As log(), for a text already made as UTF-8 bytes (a line built for
    // every report of a scan): the log files take it as it is.
    void logUtf8(const QByteArray &text, int level);
    // Whether a line of this level would be written anywhere, so that a line
    // no logger takes need not be built.
    bool writesLevel(int level) const;
    // A line logged for every frame (a scan's report lines), written in
    // place: where to write at most maxBytes of UTF-8 text, or nullptr when
    // no log takes the level; endLine() takes where the text ends. Where one
    // log file alone takes the level, the text is written straight into its
    // buffer. Nothing else is logged in between.
    char *beginLine(int level, int maxBytes);
    void endLine(const char *end);
    // The size at which both log files continue in a numbered file.
    void setLogFileRollOver(qint64 bytes);
    // Around one batch of uplink frames (the link's delivery pass): the log
    // files hand the batch's lines to their writer together, when it ends.
    void beginBatch();
    void endBatch();

    void flushLogFiles();
    QString logDir() const;
    QSharedPointer<Logger> selectedLogger() const;
    // What kept the log files from being made or written, one line each.
    QStringList fileProblems() const { return m_fileProblems; }

private:
    // On standard error and in every logger but the files; a pane added
    // later gets the lines too.
    void reportFileProblem(const QString &text);
    void onLogFileFailed(const QString &fileName, const QString &reason);
    // Keeps the registered loggers' thresholds where a line per report can
    // read them without visiting every logger.
    void noteRegistered();

    struct Registered
    {
        QSharedPointer<Logger> logger;
        int level;
        bool file;
    };

    QHash<QString, QSharedPointer<Logger>> m_loggers;
    QVector<Registered> m_registered;
    int m_lowestTextLevel = LogLevel::Error + 1;
    int m_lowestFileLevel = LogLevel::Error + 1;
    int m_batchDepth = 0;
    // The line begun in place: the log file it is written into, or else
    // the text for logUtf8(), and its level.
    FileLogger *m_lineFile = nullptr;
    QByteArray m_lineText;
    int m_lineLevel = LogLevel::Debug;
    QHash<QString, QSharedPointer<Logger>> m_dongleLoggers;
    QHash<QString, QSharedPointer<Logger>> m_auxLoggers;
    QSharedPointer<Logger> m_consoleLogger;
    QSharedPointer<FileLogger> m_fileLogger;
    QSharedPointer<FileLogger> m_dongleFileLogger;
    QSharedPointer<Logger> m_dummyLogger;
    QSharedPointer<Logger> m_selectedLogger;
    QString m_logDir;
    QStringList m_fileProblems;
    QMutex m_mutex;
};
