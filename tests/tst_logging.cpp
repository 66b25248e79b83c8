#include "datafolder.h"
#include "filelogger.h"
#include "freediskspace.h"
#include "logdiskguard.h"
#include "logmanager.h"
#include "textbrowserlogger.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include <ctime>

namespace {
QStringList g_console;
// What went to standard error as warnings.
QStringList g_warnings;
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void captureConsole(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        g_console << message;
    else if (type == QtWarningMsg)
        g_warnings << message;
}

// The test environment silences debug output; the console logger writes there.
void enableDefaultDebug(QLoggingCategory *category)
{
    if (g_previousFilter)
        g_previousFilter(category);
    if (qstrcmp(category->categoryName(), "default") == 0)
        category->setEnabled(QtDebugMsg, true);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot open>");
    return file.readAll();
}

const QString TimePattern = QStringLiteral("\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d");

constexpr qint64 MiB = FreeDiskSpace::MiB;
} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private:
    QStringList m_folders;

    LogManager *makeManager(const QString &name)
    {
        auto *manager = new LogManager(name);
        m_folders << manager->logDir();
        return manager;
    }

    QString uiLog(LogManager *manager) const { return manager->logDir() + QStringLiteral("/UI_log.txt"); }
    QString dongleLogFile(LogManager *manager) const { return manager->logDir() + QStringLiteral("/dongle_log.txt"); }

private slots:
    // Log files that cannot be made or written: one line on standard error
    // and in the pane, naming the place and the reason; logging goes on.
    void logFileProblemsAreReported_data()
    {
        QTest::addColumn<QString>("dongleName");
        QTest::addColumn<QString>("file");    // put in place of UI_log.txt, if any
        QTest::addColumn<QString>("reason");
        QTest::newRow("name too long for a folder") << QString(300, QLatin1Char('n')) << QString()
                                                    << "File name too long";
        QTest::newRow("full disk") << "FullDisk" << "/dev/full" << "No space left on device";
        // Planted in the log folder by someone who can write into the data folder.
        QTest::newRow("a link in place of the log file") << "Linked" << "link" << "it is a symbolic link";
    }

    void logFileProblemsAreReported()
    {
        QFETCH(QString, dongleName);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        g_warnings.clear();
        QScopedPointer<LogManager> manager(makeManager(dongleName));
        QTemporaryDir outside;
        if (file == QLatin1String("link")) {
            file = uiLog(manager.data());
            QVERIFY(QFile::remove(file));
            QVERIFY(QFile::link(outside.filePath("theirs.txt"), file));
        }
        if (!file.isEmpty())
            manager->getLogger("file_logger").dynamicCast<FileLogger>()->setFileName(file);
        QTextBrowser browser;
        manager->addLogger(new TextBrowserLogger("main_logger", &browser));
        for (int i = 0; i < 3; ++i) {
            manager->log(QString(3000, QLatin1Char('x')), LogLevel::Error);
            manager->flushLogFiles();
        }
        QTRY_COMPARE(manager->fileProblems().size(), 1);
        QTRY_VERIFY(browser.toPlainText().contains(reason));
        const QString problem = manager->fileProblems().first();
        QVERIFY2(problem.contains(reason), qPrintable(problem));
        QVERIFY2(problem.contains(file.isEmpty() ? manager->logDir() : file), qPrintable(problem));
        QCOMPARE(browser.toPlainText().count(reason), 1);
        QVERIFY2(g_warnings.count(problem) == 1, qPrintable(g_warnings.join(" | ")));
        QCOMPARE(browser.toPlainText().count(QString(3000, QLatin1Char('x'))), 3);
        QVERIFY(QDir(outside.path()).isEmpty());
    }

    void initTestCase()
    {
        g_previousFilter = QLoggingCategory::installFilter(enableDefaultDebug);
        qInstallMessageHandler(captureConsole);
    }

    void cleanup()
    {
        for (const QString &folder : qAsConst(m_folders))
            QDir(folder).removeRecursively();
        m_folders.clear();
        g_console.clear();
    }

    void runFolderHasEmptyFiles()
    {
        QScopedPointer<LogManager> manager(makeManager("Dongle1"));
        const QString folder = manager->logDir();
        const QString logRoot = QDir::cleanPath(Platform::dataFolder() + "/Log");
        QCOMPARE(QFileInfo(folder).absolutePath(), logRoot);
        const QRegularExpression folderName(
            "^\\d{4}-\\d\\d-\\d\\d_\\d\\d_\\d\\d_\\d\\d_[^_/]+_Dongle1$");
        QVERIFY2(folderName.match(QFileInfo(folder).fileName()).hasMatch(), qPrintable(folder));
        QVERIFY(QFileInfo(uiLog(manager.data())).isFile());
        QVERIFY(QFileInfo(dongleLogFile(manager.data())).isFile());
        QCOMPARE(QFileInfo(uiLog(manager.data())).size(), 0);
        QCOMPARE(QFileInfo(dongleLogFile(manager.data())).size(), 0);
        QCOMPARE(manager->logFolder(), folder);
        manager.reset();
        // Nothing logged: the files stay, empty.
        QCOMPARE(QFileInfo(folder + "/UI_log.txt").size(), 0);
        QCOMPARE(QFileInfo(folder + "/dongle_log.txt").size(), 0);
    }

    void twoDonglesSameSecondGetTwoFolders()
    {
        QScopedPointer<LogManager> first(makeManager("Dongle1"));
        QScopedPointer<LogManager> second(makeManager("Dongle2"));
        QVERIFY(first->logDir() != second->logDir());
        QVERIFY(QFileInfo(first->logDir()).isDir());
        QVERIFY(QFileInfo(second->logDir()).isDir());
    }

    void levelsReachTheirLoggers_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("console");
        QTest::addColumn<bool>("file");
        QTest::addColumn<bool>("pane");
        QTest::newRow("error") << 4 << true << true << true;
        QTest::newRow("warn") << 3 << true << true << true;
        QTest::newRow("info") << 2 << false << true << true;
        QTest::newRow("debug") << 1 << false << true << false;
        QTest::newRow("dongle") << 0 << false << false << false;
    }

    void levelsReachTheirLoggers()
    {
        QFETCH(int, level);
        QFETCH(bool, console);
        QFETCH(bool, file);
        QFETCH(bool, pane);
        QScopedPointer<LogManager> manager(makeManager("Levels"));
        QTextBrowser browser;
        manager->addLogger(new TextBrowserLogger("main_logger", &browser));
        manager->selectLogger("main_logger");
        QCOMPARE(manager->selectedLogger()->name(), QString("main_logger"));

        manager->log("the line", level);
        QCoreApplication::processEvents();
        manager->flushLogFiles();

        QCOMPARE(g_console.contains("the line"), console);
        QCOMPARE(readFile(uiLog(manager.data())).contains("the line"), file);
        QCOMPARE(browser.toPlainText().contains("the line"), pane);
        QVERIFY(!readFile(dongleLogFile(manager.data())).contains("the line"));
    }

    void fileLineFormat_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("tag");
        QTest::newRow("error") << 4 << ": [ERROR]";
        QTest::newRow("warn") << 3 << ": [WARN]";
        QTest::newRow("info") << 2 << ": [INFO]";
        QTest::newRow("debug") << 1 << ": [DEBUG]";
    }

    void fileLineFormat()
    {
        QFETCH(int, level);
        QFETCH(QString, tag);
        QScopedPointer<LogManager> manager(makeManager("Format"));
        manager->log("first\r\nsecond", level);
        manager->flushLogFiles();
        const QString content = QString::fromUtf8(readFile(uiLog(manager.data())));
        const QRegularExpression line("^" + TimePattern + QRegularExpression::escape(tag) + "first\r\nsecond\r\n$");
        QVERIFY2(line.match(content).hasMatch(), qPrintable(content));
    }

    // The time stamp is local time, also across a change of offset, in zones
    // with half and three-quarter hour offsets, and before the epoch.
    void timeStampIsLocalTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("utc");
        QTest::newRow("UTC") << QByteArray("UTC") << "2026-06-01T12:34:56.789Z";
        QTest::newRow("Berlin, winter") << QByteArray("Europe/Berlin") << "2026-01-15T23:59:59.999Z";
        QTest::newRow("Berlin, before spring forward") << QByteArray("Europe/Berlin") << "2026-03-29T00:59:59.999Z";
        QTest::newRow("Berlin, at spring forward") << QByteArray("Europe/Berlin") << "2026-03-29T01:00:00.000Z";
        QTest::newRow("Berlin, before fall back") << QByteArray("Europe/Berlin") << "2026-10-25T00:59:59.500Z";
        QTest::newRow("Berlin, after fall back") << QByteArray("Europe/Berlin") << "2026-10-25T01:00:00.001Z";
        QTest::newRow("St. John's") << QByteArray("America/St_Johns") << "2026-07-04T02:15:00.010Z";
        QTest::newRow("Kathmandu") << QByteArray("Asia/Kathmandu") << "2026-02-02T18:14:59.000Z";
        QTest::newRow("Lord Howe, half-hour summer time")
            << QByteArray("Australia/Lord_Howe") << "2026-04-04T14:59:59.900Z";
        QTest::newRow("Lord Howe, after it ends") << QByteArray("Australia/Lord_Howe") << "2026-04-04T15:00:00.100Z";
        QTest::newRow("before the epoch") << QByteArray("America/St_Johns") << "1969-12-31T23:59:59.001Z";
    }

    void timeStampIsLocalTime()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, utc);
        const QByteArray saved = qgetenv("TZ");
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", zone);
        ::tzset();
        const qint64 ms = QDateTime::fromString(utc, Qt::ISODateWithMs).toMSecsSinceEpoch();
        char stamp[12];
        Logger::writeTimeStamp(stamp, ms);
        const QString expected = QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss:zzz"));
        if (hadZone)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        ::tzset();
        QCOMPARE(QString::fromLatin1(stamp, 12), expected);
    }

    // Lines are written on another thread; every one still reaches the file,
    // in order, when the logger goes without being flushed first.
    void manyLinesReachTheFileInOrder()
    {
        LogManager *manager = makeManager("Order");
        const QString path = uiLog(manager);
        const int count = 20000;
        for (int i = 0; i < count; ++i)
            manager->log(QStringLiteral("line %1").arg(i), 2);
        delete manager;
        const QList<QByteArray> lines = readFile(path).split('\n');
        QCOMPARE(lines.size(), count + 1);
        for (int i = 0; i < count; ++i) {
            if (!lines.at(i).endsWith(": [INFO]line " + QByteArray::number(i) + '\r'))
                QFAIL(qPrintable(QStringLiteral("line %1 is \"%2\"").arg(i).arg(QString::fromUtf8(lines.at(i)))));
        }
    }

    void dongleTextReachesDongleLoggers()
    {
        QScopedPointer<LogManager> manager(makeManager("DongleText"));
        QTextBrowser browser;
        manager->addDongleLogger(new TextBrowserLogger("dongle_text_browser_logger", &browser));
        manager->dongleLog(QString::fromUtf8("boot \xc3\xa9 done"));
        QCoreApplication::processEvents();
        manager->flushLogFiles();

        const QString content = QString::fromUtf8(readFile(dongleLogFile(manager.data())));
        const QRegularExpression line("^" + TimePattern + ": \\[DONGLE\\]boot \u00e9 done\r\n$");
        QVERIFY2(line.match(content).hasMatch(), qPrintable(content));
        QVERIFY(browser.toPlainText().contains(QString::fromUtf8("boot \xc3\xa9 done")));
        QVERIFY(!readFile(uiLog(manager.data())).contains("boot"));
        QVERIFY(g_console.isEmpty());
    }

    void paneLineFormat_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("tail");
        QTest::newRow("error") << 4 << "<img src=\":/icons/error\"/><span style=\"color:#ff0000;\"> " << " - [ERROR] - ";
        QTest::newRow("warn") << 3 << "<img src=\":/icons/warning\"/><span style=\"color:#ff9900;\"> " << " - [WARN] - ";
        QTest::newRow("info") << 2 << "<img src=\":/icons/info\"/><span style=\"color:#000000;\"> " << " - [INFO] - ";
    }

    void paneLineFormat()
    {
        QFETCH(int, level);
        QFETCH(QString, head);
        QFETCH(QString, tail);
        const QString html = TextBrowserLogger::formatLine("one\r\ntwo", level);
        const QRegularExpression shape("^" + QRegularExpression::escape(head) + TimePattern
                                       + QRegularExpression::escape(tail) + "one<br>two </span><br>$");
        QVERIFY2(shape.match(html).hasMatch(), qPrintable(html));
    }

    void paneDongleLineFormat()
    {
        const QString html = TextBrowserLogger::formatLine("text", 0);
        QVERIFY2(QRegularExpression("^<span>" + TimePattern + " - text</span>$").match(html).hasMatch(),
                 qPrintable(html));
    }

    void paneShowsEscapedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("less than") << "a<b";
        QTest::newRow("markup") << "<b>bold</b> & <img src=x>";
        QTest::newRow("entity") << "&lt;";
    }

    void paneShowsEscapedText()
    {
        QFETCH(QString, text);
        QTextBrowser browser;
        TextBrowserLogger logger("main_logger", &browser);
        logger.log(text, 4);
        logger.log(text, 0);
        QCoreApplication::processEvents();
        const QString shown = browser.toPlainText();
        QCOMPARE(shown.count(text), 2);
        QVERIFY(!browser.toHtml().contains("<b>bold</b>"));
    }

    void paneFloodIsSummarised()
    {
        QTextBrowser browser;
        TextBrowserLogger logger("main_logger", &browser);
        const int flood = 3 * TextBrowserLogger::MaxLinesPerSecond;
        // Lines beyond the pane's rate are counted; a second flood within the same second is told
        // when its summary falls due, with no further line to carry it.
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < flood; ++i)
                logger.log(QStringLiteral("flood %1").arg(i), LogLevel::Error);
            QCoreApplication::processEvents();
        }
        const QRegularExpression summary(QStringLiteral("\u2026 (\\d+) more lines, see UI_log\\.txt"));
        QTRY_COMPARE_WITH_TIMEOUT(browser.toPlainText().count(summary), 2, 5000);
        const QString shown = browser.toPlainText();
        int leftOut = 0;
        for (auto match = summary.globalMatch(shown); match.hasNext();)
            leftOut += match.next().captured(1).toInt();
        QCOMPARE(shown.count(QStringLiteral(" - [ERROR] - flood ")) + leftOut, 2 * flood);
        QVERIFY(shown.count(QStringLiteral(" - [ERROR] - flood ")) < flood);
    }

    // A logger made before its pane keeps what the pane would have shown
    // and shows it, as a pane there from the start would, once attached.
    void paneAttachedLaterShowsWhatCameBefore_data()
    {
        QTest::addColumn<bool>("clearOnTheWay");
        QTest::newRow("kept lines") << false;
        QTest::newRow("a clear drops what came before it") << true;
    }

    void paneAttachedLaterShowsWhatCameBefore()
    {
        QFETCH(bool, clearOnTheWay);
        QTextBrowser live;
        TextBrowserLogger fromTheStart("main_logger", &live);
        TextBrowserLogger later("late_logger", nullptr);
        const auto logBoth = [&](const QString &text, int level) {
            fromTheStart.log(text, level);
            later.log(text, level);
        };
        logBoth(QStringLiteral("first <b>line</b>"), LogLevel::Error);
        logBoth(QStringLiteral("second\r\nline"), LogLevel::Warn);
        QCoreApplication::processEvents();
        if (clearOnTheWay) {
            fromTheStart.clear();
            later.clear();
            QCoreApplication::processEvents();
        }
        logBoth(QStringLiteral("third"), LogLevel::Info);
        logBoth(QStringLiteral("fourth"), 0);
        QCoreApplication::processEvents();

        QTextBrowser attached;
        later.attachBrowser(&attached);
        logBoth(QStringLiteral("after"), LogLevel::Info);
        QCoreApplication::processEvents();

        // The same paragraphs, times aside.
        const QRegularExpression time(QStringLiteral("\\d\\d:\\d\\d:\\d\\d[.:,]?\\d*"));
        const auto withoutTimes = [&time](QString text) { return text.replace(time, QStringLiteral("T")); };
        QCOMPARE(attached.document()->blockCount(), live.document()->blockCount());
        QCOMPARE(withoutTimes(attached.toHtml()), withoutTimes(live.toHtml()));
        QCOMPARE(attached.toPlainText().contains(QStringLiteral("first")), !clearOnTheWay);
        QVERIFY(attached.document()->lastBlock().text().contains(QStringLiteral("[INFO] - after")));
    }

    void paneClear()
    {
        QTextBrowser browser;
        TextBrowserLogger logger("main_logger", &browser);
        logger.log("something", 2);
        QCoreApplication::processEvents();
        QVERIFY(!browser.toPlainText().isEmpty());
        logger.clear();
        QCoreApplication::processEvents();
        QVERIFY(browser.toPlainText().isEmpty());
    }

    void hostileNameStaysInsideLog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("climb") << "../../../evil";
        QTest::newRow("absolute") << "/tmp/evil";
        QTest::newRow("backslash") << "..\\..\\evil";
        QTest::newRow("control") << QString("a\nb\x01");
        QTest::newRow("dots") << "..";
    }

    void hostileNameStaysInsideLog()
    {
        QFETCH(QString, name);
        QScopedPointer<LogManager> manager(makeManager(name));
        const QString logRoot = QDir(Platform::dataFolder() + "/Log").canonicalPath();
        const QString folder = QFileInfo(manager->logDir()).canonicalFilePath();
        QVERIFY2(!folder.isEmpty(), qPrintable(manager->logDir()));
        QCOMPARE(QFileInfo(folder).absolutePath(), logRoot);
        QVERIFY(QFileInfo(folder + "/UI_log.txt").isFile());
        manager->log("inside", 2);
        manager.reset();
        QVERIFY(readFile(folder + "/UI_log.txt").contains("inside"));
    }

    void bufferedUntilThreshold()
    {
        QScopedPointer<LogManager> manager(makeManager("Buffer"));
        const QString path = uiLog(manager.data());
        manager->log("short line", 2);
        QCoreApplication::processEvents();
        QCOMPARE(QFileInfo(path).size(), 0);
        manager->flushLogFiles();
        QVERIFY(readFile(path).contains("short line"));

        // Once 2048 bytes gather, they are written without being asked.
        const qint64 before = QFileInfo(path).size();
        manager->log(QString(2100, QLatin1Char('x')), 2);
        // Written by the log writer thread, so it lands a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > before + 2048, 2000);
    }

    // A quiet moment writes the buffer out: the lines before a hang are on disk.
    void quietLinesReachTheFile_data()
    {
        QTest::addColumn<bool>("dongleText");
        QTest::newRow("UI log") << false;
        QTest::newRow("dongle log") << true;
    }

    void quietLinesReachTheFile()
    {
        QFETCH(bool, dongleText);
        QScopedPointer<LogManager> manager(makeManager("Quiet"));
        const QString path = dongleText ? dongleLogFile(manager.data()) : uiLog(manager.data());
        const auto write = [&](const QString &text) {
            if (dongleText)
                manager->dongleLog(text);
            else
                manager->log(text, 2);
        };
        QElapsedTimer clock;
        clock.start();
        write("first line");
        QCoreApplication::processEvents();
        QCOMPARE(QFileInfo(path).size(), 0);  // no write per line
        // Lines that keep coming do not hold the first one back.
        while (clock.elapsed() < 700) {
            QTest::qWait(100);
            write("more");
        }
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path).contains("first line"), 1500);

        // and after that, the next quiet line again
        write("second line");
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path).contains("second line"), 1500);
    }

    void clearWritesBufferOut()
    {
        QScopedPointer<LogManager> manager(makeManager("Clear"));
        manager->log("kept", 2);
        manager->clearAll();
        QCoreApplication::processEvents();
        QVERIFY(readFile(uiLog(manager.data())).contains("kept"));
    }

    void shutdownLinesReachTheFile()
    {
        // No event loop runs after these lines, as during shutdown.
        LogManager *manager = makeManager("Shutdown");
        const QString path = uiLog(manager);
        const QString donglePath = dongleLogFile(manager);
        manager->log("last words", 4);
        manager->dongleLog("dongle last words");
        delete manager;
        QVERIFY(readFile(path).contains("last words"));
        QVERIFY(readFile(donglePath).contains("dongle last words"));
    }

    void emptyTextWritesNothing()
    {
        QScopedPointer<LogManager> manager(makeManager("Empty"));
        QTextBrowser browser;
        manager->addLogger(new TextBrowserLogger("main_logger", &browser));
        manager->log(QString(), 4);
        manager->dongleLog(QString());
        QCoreApplication::processEvents();
        manager->flushLogFiles();
        QCOMPARE(QFileInfo(uiLog(manager.data())).size(), 0);
        QCOMPARE(QFileInfo(dongleLogFile(manager.data())).size(), 0);
        QVERIFY(browser.toPlainText().isEmpty());
        QVERIFY(g_console.isEmpty());
    }

    void logToRoutes_data()
    {
        QTest::addColumn<QString>("logger");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("console");
        QTest::addColumn<int>("fileCopies");
        QTest::addColumn<QString>("removed"); // unregistered before the call
        QTest::newRow("unregistered") << "nobody" << 4 << false << 1 << QString();
        QTest::newRow("unregistered below debug") << "nobody" << 0 << false << 0 << QString();
        QTest::newRow("console") << "mainConsole" << 3 << true << 1 << QString();
        QTest::newRow("file") << "file_logger" << 2 << false << 1 << QString();
        QTest::newRow("file logger removed") << "file_logger" << 4 << false << 0 << "file_logger";
        QTest::newRow("unregistered, file logger removed") << "nobody" << 4 << false << 0 << "file_logger";
        QTest::newRow("console, file logger removed") << "mainConsole" << 3 << true << 0 << "file_logger";
    }

    void logToRoutes()
    {
        QFETCH(QString, logger);
        QFETCH(int, level);
        QFETCH(bool, console);
        QFETCH(int, fileCopies);
        QFETCH(QString, removed);
        QScopedPointer<LogManager> manager(makeManager("LogTo"));
        if (!removed.isEmpty())
            manager->removeLogger(removed);
        manager->logTo(logger, "routed", level);
        manager->flushLogFiles();
        QCOMPARE(g_console.contains("routed"), console);
        QCOMPARE(QString::fromUtf8(readFile(uiLog(manager.data()))).count("routed"), fileCopies);
    }

    void logToConsoleAlsoWritesFile()
    {
        QScopedPointer<LogManager> manager(makeManager("Console"));
        manager->logToConsole("to console");
        manager->flushLogFiles();
        QVERIFY(g_console.contains("to console"));
        QVERIFY(readFile(uiLog(manager.data())).contains(": [WARN]to console"));
    }

    void registry()
    {
        QScopedPointer<LogManager> manager(makeManager("Registry"));
        QVERIFY(manager->containsLogger("mainConsole"));
        QVERIFY(manager->containsLogger("file_logger"));
        QVERIFY(!manager->containsLogger("dummy"));
        QVERIFY(!manager->containsLogger("main_logger"));
        QCOMPARE(manager->getLogger("absent")->name(), QString("dummy"));
        QCOMPARE(manager->selectedLogger()->name(), QString("mainConsole"));

        QTextBrowser browser;
        manager->addAndSelectLogger(new TextBrowserLogger("main_logger", &browser));
        QVERIFY(manager->containsLogger("main_logger"));
        QCOMPARE(manager->selectedLogger()->name(), QString("main_logger"));

        // Same name replaces the earlier logger.
        QTextBrowser other;
        manager->addLogger(new TextBrowserLogger("main_logger", &other));
        manager->log("replaced", 2);
        QCoreApplication::processEvents();
        QVERIFY(other.toPlainText().contains("replaced"));
        QVERIFY(!browser.toPlainText().contains("replaced"));

        manager->removeLogger("main_logger");
        QVERIFY(!manager->containsLogger("main_logger"));
        QVERIFY(manager->selectedLogger()->name() != QString("main_logger"));
        manager->removeLogger("mainConsole");
        manager->removeLogger("file_logger");
        manager->removeLogger("dummy");
        QCOMPARE(manager->selectedLogger()->name(), QString("dummy"));
        manager->log("nowhere", 4);
        manager->flushLogFiles();
        QVERIFY(!readFile(uiLog(manager.data())).contains("nowhere"));
        QVERIFY(!g_console.contains("nowhere"));
    }

    void sameLoggerAddedTwiceStaysAlive_data()
    {
        QTest::addColumn<QString>("set");
        QTest::newRow("registered") << "registered";
        QTest::newRow("dongle") << "dongle";
        QTest::newRow("aux") << "aux";
    }

    void sameLoggerAddedTwiceStaysAlive()
    {
        QFETCH(QString, set);
        QScopedPointer<LogManager> manager(makeManager("Twice"));
        QTextBrowser browser;
        auto *logger = new TextBrowserLogger("pane", &browser);
        QPointer<Logger> alive(logger);
        for (int i = 0; i < 2; ++i) {
            if (set == "registered")
                manager->addLogger(logger);
            else if (set == "dongle")
                manager->addDongleLogger(logger);
            else
                manager->addAuxLogger(logger);
        }
        QVERIFY(!alive.isNull());
        if (set == "registered")
            manager->log("still here", 2);
        else if (set == "dongle")
            manager->dongleLog("still here");
        else
            manager->auxLog("still here");
        QCoreApplication::processEvents();
        QCOMPARE(browser.toPlainText().count("still here"), 1);
        manager.reset();
        QVERIFY(alive.isNull());
    }

    // A file that would pass its size continues in a numbered file beside it:
    // every line kept, in order, none cut in two, nothing deleted.
    void logFileContinuesInNumberedFiles_data()
    {
        QTest::addColumn<bool>("dongleText");
        QTest::newRow("UI log") << false;
        QTest::newRow("dongle log") << true;
    }

    void logFileContinuesInNumberedFiles()
    {
        QFETCH(bool, dongleText);
        QScopedPointer<LogManager> manager(makeManager("RollOver"));
        const qint64 bound = 1000;
        manager->setLogFileRollOver(bound);
        QStringList lines;
        for (int i = 0; i < 60; ++i)
            lines << QStringLiteral("line %1 ").arg(i) + QString(40, QLatin1Char('x'));
        // Longer than the bound: a file of its own.
        const QString longLine(1500, QLatin1Char('y'));
        lines.insert(30, longLine);
        for (const QString &line : qAsConst(lines)) {
            if (dongleText)
                manager->dongleLog(line);
            else
                manager->log(line, LogLevel::Info);
        }
        manager->flushLogFiles();

        const QString base = dongleText ? QStringLiteral("dongle_log") : QStringLiteral("UI_log");
        const QString other = dongleText ? QStringLiteral("UI_log.txt") : QStringLiteral("dongle_log.txt");
        QStringList parts;
        QByteArray all;
        for (int part = 1;; ++part) {
            const QString name = part == 1 ? base + QStringLiteral(".txt") : QStringLiteral("%1-%2.txt").arg(base).arg(part);
            const QString path = manager->logDir() + QLatin1Char('/') + name;
            if (!QFileInfo::exists(path))
                break;
            parts << name;
            const QByteArray content = readFile(path);
            QVERIFY2(content.endsWith("\r\n"), qPrintable(name));
            QVERIFY2(QRegularExpression(QStringLiteral("^") + TimePattern).match(QString::fromUtf8(content)).hasMatch(),
                     qPrintable(name));
            if (!content.contains(longLine.toUtf8()))
                QVERIFY2(content.size() <= bound, qPrintable(name));
            all += content;
        }
        QVERIFY2(parts.size() >= 4, qPrintable(parts.join(QLatin1Char(' '))));
        int at = 0;
        for (const QString &line : qAsConst(lines)) {
            const int found = all.indexOf(line.toUtf8(), at);
            QVERIFY2(found >= at, qPrintable(line));
            at = found + line.size();
        }
        QCOMPARE(all.count("line "), 60);
        QStringList expected = parts;
        expected << other;
        expected.sort();
        QCOMPARE(QDir(manager->logDir()).entryList(QDir::Files, QDir::Name), expected);
    }

    // While the data folder's disk has less than 1 GiB free, the log files
    // keep no DEBUG and INFO lines; one line says so and how much is free,
    // and once there is room again they take them again.
    void nearlyFullDiskKeepsDebugAndInfoOutOfTheFiles_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("writtenWhileLow");
        QTest::newRow("DEBUG") << int(LogLevel::Debug) << false;
        QTest::newRow("INFO") << int(LogLevel::Info) << false;
        QTest::newRow("WARN") << int(LogLevel::Warn) << true;
        QTest::newRow("ERROR") << int(LogLevel::Error) << true;
        QTest::newRow("dongle text") << int(LogLevel::Dongle) << true;
    }

    void nearlyFullDiskKeepsDebugAndInfoOutOfTheFiles()
    {
        QFETCH(int, level);
        QFETCH(bool, writtenWhileLow);
        QScopedPointer<LogManager> manager(makeManager("NearlyFull"));
        QTextBrowser browser;
        manager->addLogger(new TextBrowserLogger("main_logger", &browser));
        const bool dongleText = level == LogLevel::Dongle;
        const QString path = dongleText ? dongleLogFile(manager.data()) : uiLog(manager.data());
        const auto write = [&](const QString &text) {
            if (dongleText) {
                manager->dongleLog(text);
            } else {
                manager->log(text, level);
                manager->logUtf8(text.toUtf8() + " as bytes", level);
            }
        };
        write("before");

        FreeDiskSpace disk(300 * MiB);
        disk.set(200 * MiB); // still short: nothing more said
        write("while low");
        if (!dongleText)
            QCOMPARE(manager->writesLevel(level), writtenWhileLow || level >= LogLevel::Info);
        manager->flushLogFiles();
        QCOMPARE(readFile(path).contains("while low"), writtenWhileLow);
        QCOMPARE(readFile(path).contains("while low as bytes"), writtenWhileLow && !dongleText);
        const QString low = LogDiskGuard::lowText(300 * MiB);
        QVERIFY2(low.contains(QStringLiteral("300 MiB free")), qPrintable(low));
        QVERIFY2(low.contains(QDir::toNativeSeparators(Platform::dataFolder())), qPrintable(low));
        QCOMPARE(readFile(uiLog(manager.data())).count(low.toUtf8()), 1);
        QCoreApplication::processEvents();
        QCOMPARE(browser.toPlainText().count(low), 1);

        disk.set(5 * 1024 * MiB);
        write("room again");
        manager->flushLogFiles();
        QVERIFY(readFile(path).contains("before"));
        QVERIFY(readFile(path).contains("room again"));
        QCOMPARE(readFile(uiLog(manager.data())).count(LogDiskGuard::backText(5 * 1024 * MiB).toUtf8()), 1);
    }

    void loggerEquality()
    {
        FileLogger first("same");
        FileLogger second("same");
        FileLogger third("other");
        QVERIFY(first == second);
        QVERIFY(!(first != second));
        QVERIFY(first != third);
        QCOMPARE(first.level(), 1);
        QCOMPARE(first.type(), 3);
    }
};

QTEST_MAIN(TestLogging)
#include "tst_logging.moc"
