#include "logmanager.h"

#include "datafolder.h"
#include "dummylogger.h"
#include "filelogger.h"
#include "logdiskguard.h"
#include "standradoutlogger.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>
#include <QtDebug>

namespace {
const QString ConsoleName = QStringLiteral("mainConsole");
const QString FileLoggerName = QStringLiteral("file_logger");
const QString DummyName = QStringLiteral("dummy");
} // namespace

LogManager::LogManager(const QString &dongleName)
    : QObject(nullptr)
{
    m_consoleLogger = QSharedPointer<Logger>(new StandradOutLogger(ConsoleName));
    m_fileLogger = QSharedPointer<FileLogger>(new FileLogger(FileLoggerName));
    m_dongleFileLogger = QSharedPointer<FileLogger>(new FileLogger(FileLoggerName));
    m_dummyLogger = QSharedPointer<Logger>(new DummyLogger(DummyName));

    // The name only becomes a folder component in its safe form.
    const QString folder = Platform::dataFolder() + QStringLiteral("/Log/")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss_ddd")) + QLatin1Char('_')
        + Platform::safeFolderName(dongleName);
    m_logDir = QDir::toNativeSeparators(folder);
    QString reason;
    const bool folderMade = Platform::makeFolder(folder, &reason);
    if (folderMade) {
        // Queued: the failure comes from inside a write, under the loggers' lock.
        connect(m_fileLogger.data(), &FileLogger::sig_writeFailed, this, &LogManager::onLogFileFailed,
                Qt::QueuedConnection);
        connect(m_dongleFileLogger.data(), &FileLogger::sig_writeFailed, this, &LogManager::onLogFileFailed,
                Qt::QueuedConnection);
    }

    m_fileLogger->setFileName(QDir::toNativeSeparators(folder + QStringLiteral("/UI_log.txt")));
    addLogger(m_consoleLogger);
    addLogger(m_fileLogger.staticCast<Logger>());
    addLogger(m_dummyLogger);

    m_dongleFileLogger->setFileName(QDir::toNativeSeparators(folder + QStringLiteral("/dongle_log.txt")));
    m_dongleLoggers.insert(m_dongleFileLogger->name(), m_dongleFileLogger.staticCast<Logger>());

    m_selectedLogger = m_consoleLogger;
    // Once into each dongle's log: why its file lacks DEBUG and INFO lines for a while.
    LogDiskGuard *guard = LogDiskGuard::instance();
    connect(guard, &LogDiskGuard::sig_spaceLow, this,
            [this](qint64 freeBytes) { log(LogDiskGuard::lowText(freeBytes), LogLevel::Warn); });
    connect(guard, &LogDiskGuard::sig_spaceBack, this,
            [this](qint64 freeBytes) { log(LogDiskGuard::backText(freeBytes), LogLevel::Info); });
    if (!folderMade)
        reportFileProblem(QStringLiteral("The log folder %1 cannot be created: %2. The program runs on without log files.")
                              .arg(m_logDir, reason));
}

void LogManager::onLogFileFailed(const QString &fileName, const QString &reason)
{
    reportFileProblem(QStringLiteral("The log file %1 cannot be written: %2. Its lines are lost from here on.")
                          .arg(QDir::toNativeSeparators(fileName), reason));
}

void LogManager::reportFileProblem(const QString &text)
{
    qWarning().noquote() << text;
    m_fileProblems.append(text);
    const auto loggers = m_loggers;
    for (const QSharedPointer<Logger> &logger : loggers) {
        if (logger->type() != Logger::TypeFile)
            writeLog(logger, text, LogLevel::Error);
    }
}

LogManager::~LogManager() = default;

void LogManager::logTo(const QString &loggerName, const QString &text, int level)
{
    const QSharedPointer<Logger> logger = m_loggers.value(loggerName);
    if (logger)
        writeLog(logger, text, level);
    // Keyed by name, so this also stops the file copy from calling itself
    // when the UI file logger has been removed.
    if (loggerName != FileLoggerName)
        logToFile(text, level);
}

void LogManager::log(const QString &text, int level)
{
    // A copy, so a logger may be added or removed from inside a write.
    const auto loggers = m_loggers;
    for (const QSharedPointer<Logger> &logger : loggers)
        writeLog(logger, text, level);
}

void LogManager::logUtf8(const QByteArray &text, int level)
{
    // A logger that takes text gets it the usual way; where only the log
    // files take the line (a scan storm's DEBUG lines), it goes to them as
    // it is, without a copy of the registry: a file logger adds no logger.
    if (level >= m_lowestTextLevel) {
        log(QString::fromUtf8(text), level);
        return;
    }
    Q_ASSERT(QThread::currentThread() == thread());
    for (const Registered &entry : qAsConst(m_registered)) {
        if (entry.file && level >= entry.level)
            static_cast<FileLogger *>(entry.logger.data())->appendUtf8(text, level);
    }
}

bool LogManager::writesLevel(int level) const
{
    return level >= m_lowestTextLevel || (level >= m_lowestFileLevel && !LogDiskGuard::holdsBack(level));
}

char *LogManager::beginLine(int level, int maxBytes)
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_lineFile = nullptr;
    m_lineLevel = level;
    if (!writesLevel(level))
        return nullptr;
    if (level < m_lowestTextLevel) {
        int files = 0;
        for (const Registered &entry : qAsConst(m_registered)) {
            if (entry.file && level >= entry.level && ++files == 1)
                m_lineFile = static_cast<FileLogger *>(entry.logger.data());
        }
        if (files == 1 && m_lineFile->takes(level))
            return m_lineFile->beginLine(maxBytes, level);
        m_lineFile = nullptr;
    }
    m_lineText.resize(maxBytes);
    return m_lineText.data();
}

void LogManager::endLine(const char *end)
{
    if (m_lineFile) {
        m_lineFile->endLine(end);
        m_lineFile = nullptr;
        return;
    }
    m_lineText.resize(int(end - m_lineText.constData()));
    logUtf8(m_lineText, m_lineLevel);
}

void LogManager::noteRegistered()
{
    m_registered.clear();
    m_lowestTextLevel = LogLevel::Error + 1;
    m_lowestFileLevel = LogLevel::Error + 1;
    for (const QSharedPointer<Logger> &logger : qAsConst(m_loggers)) {
        const bool file = logger->type() == Logger::TypeFile;
        m_registered.append(Registered{logger, logger->level(), file});
        int &lowest = file ? m_lowestFileLevel : m_lowestTextLevel;
        lowest = qMin(lowest, logger->level());
    }
}

void LogManager::setLogFileRollOver(qint64 bytes)
{
    m_fileLogger->setRollOverBytes(bytes);
    m_dongleFileLogger->setRollOverBytes(bytes);
}

void LogManager::beginBatch()
{
    if (m_batchDepth++ == 0) {
        m_fileLogger->setBatching(true);
        m_dongleFileLogger->setBatching(true);
    }
}

void LogManager::endBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    m_fileLogger->setBatching(false);
    m_dongleFileLogger->setBatching(false);
}

void LogManager::logToConsole(const QString &text)
{
    logTo(ConsoleName, text, m_consoleLogger->level());
}

void LogManager::logToFile(const QString &text, int level)
{
    logTo(FileLoggerName, text, level);
}

void LogManager::dongleLog(const QString &text)
{
    const auto loggers = m_dongleLoggers;
    for (const QSharedPointer<Logger> &logger : loggers)
        logger->log(text, LogLevel::Dongle);
}

void LogManager::auxLog(const QString &text)
{
    const auto loggers = m_auxLoggers;
    for (const QSharedPointer<Logger> &logger : loggers)
        logger->log(text, LogLevel::Dongle);
}

void LogManager::addAndSelectLogger(Logger *logger)
{
    if (logger == nullptr)
        return;
    const QString name = logger->name();
    if (!m_loggers.contains(name))
        addLogger(logger);
    selectLogger(name);
}

void LogManager::selectLogger(const QString &name)
{
    const QSharedPointer<Logger> logger = m_loggers.value(name);
    if (logger)
        m_selectedLogger = logger;
}

void LogManager::addLogger(Logger *logger)
{
    // A second shared owner of a registered logger would delete it under the first.
    if (logger == nullptr || m_loggers.value(logger->name()).data() == logger)
        return;
    addLogger(QSharedPointer<Logger>(logger));
}

void LogManager::addLogger(const QSharedPointer<Logger> &logger)
{
    if (!logger)
        return;
    m_loggers.remove(logger->name());
    m_loggers.insert(logger->name(), logger);
    noteRegistered();
    // A pane made after the problem still shows it.
    if (logger->type() == Logger::TypeTextBrowser) {
        for (const QString &problem : qAsConst(m_fileProblems))
            writeLog(logger, problem, LogLevel::Error);
    }
}

void LogManager::removeLogger(const QString &name)
{
    m_loggers.remove(name);
    noteRegistered();
    if (m_loggers.isEmpty())
        m_selectedLogger = m_dummyLogger;
    else
        m_selectedLogger = m_loggers.begin().value();
}

QSharedPointer<Logger> LogManager::getLogger(const QString &name) const
{
    return m_loggers.value(name, m_dummyLogger);
}

bool LogManager::containsLogger(const QString &name) const
{
    return getLogger(name)->name() != DummyName;
}

void LogManager::addDongleLogger(Logger *logger)
{
    if (logger == nullptr || m_dongleLoggers.value(logger->name()).data() == logger)
        return;
    m_dongleLoggers.insert(logger->name(), QSharedPointer<Logger>(logger));
}

void LogManager::addAuxLogger(Logger *logger)
{
    if (logger == nullptr || m_auxLoggers.value(logger->name()).data() == logger)
        return;
    m_auxLoggers.insert(logger->name(), QSharedPointer<Logger>(logger));
}

QString LogManager::logFolder() const
{
    return QDir::toNativeSeparators(QFileInfo(m_fileLogger->fileName()).absolutePath());
}

void LogManager::clearAll()
{
    const auto loggers = m_loggers;
    for (const QSharedPointer<Logger> &logger : loggers)
        logger->clear();
}

void LogManager::writeLog(const QSharedPointer<Logger> &logger, const QString &text, int level)
{
    if (!logger)
        return;
    QMutexLocker locker(&m_mutex);
    if (level >= logger->level())
        logger->log(text, level);
}

void LogManager::flushLogFiles()
{
    m_fileLogger->flushBuffer();
    m_dongleFileLogger->flushBuffer();
}

QString LogManager::logDir() const
{
    return m_logDir;
}

QSharedPointer<Logger> LogManager::selectedLogger() const
{
    return m_selectedLogger;
}
