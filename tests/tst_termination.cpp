#include "terminationwatcher.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

// SIGTERM, SIGINT and SIGHUP close the program as its close button does.
class TestTermination : public QObject
{
    Q_OBJECT

private:
    static void signalRows()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    static QString readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static QString findLog(const QString &folder)
    {
        QDirIterator it(folder + "/Log", {"UI_log.txt"}, QDir::Files, QDirIterator::Subdirectories);
        return it.hasNext() ? it.next() : QString();
    }

private slots:
    // In this process: the signal becomes a Qt signal and the process lives on.
    void signalArrivesInTheEventLoop_data() { signalRows(); }

    void signalArrivesInTheEventLoop()
    {
        QFETCH(int, signalNumber);
        struct sigaction before = {};
        sigaction(signalNumber, nullptr, &before);
        {
            Platform::TerminationWatcher watcher;
            QVERIFY(watcher.isActive());
            QVERIFY(!watcher.terminationRequested());
            QSignalSpy spy(&watcher, &Platform::TerminationWatcher::sig_terminationRequested);
            ::raise(signalNumber);
            QVERIFY(spy.wait(2000));
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.first().first().toInt(), signalNumber);
            QVERIFY(watcher.terminationRequested());

            // Only one watcher per process.
            Platform::TerminationWatcher second;
            QVERIFY(!second.isActive());
        }
        struct sigaction after = {};
        sigaction(signalNumber, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }

    // The real program, started as a child in a folder of its own so that its
    // logs and config.ini land there.
    void programClosesCleanly_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("firstRun");  // the naming dialog is up, else the selection dialog
        QTest::newRow("SIGTERM, first run") << int(SIGTERM) << true;
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    }

    void programClosesCleanly()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, firstRun);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString program = folder.filePath("vantora");
        QVERIFY(QFile::copy(QStringLiteral(VANTORA_PROGRAM), program));
        const QString config = folder.filePath("config.ini");
        if (!firstRun) {
            QFile file(config);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Bench]\nTabWidgetNumber=0\n");
        }

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("VANTORA_EXTRA_PORTS");
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(folder.path());
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(program, QStringList());
        QVERIFY(child.waitForStarted());
        // The log file exists once the window is built; let the first dialog come up.
        QTRY_VERIFY_WITH_TIMEOUT(!findLog(folder.path()).isEmpty(), 20000);
        QTest::qWait(300);
        QCOMPARE(::kill(pid_t(child.processId()), signalNumber), 0);

        QVERIFY(child.waitForFinished(20000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit, output.constData());
        QCOMPARE(child.exitCode(), 0);
        const QString expected = QStringLiteral("[INFO]Closing: %1 received.")
                                     .arg(Platform::TerminationWatcher::signalName(signalNumber));
        QVERIFY2(readFile(findLog(folder.path())).contains(expected), qPrintable(readFile(findLog(folder.path()))));
        const QString written = readFile(config);
        QVERIFY2(written.startsWith(firstRun ? "[Dongle1]" : "[Bench]"), qPrintable(written));
        // Whole, with the dongle's settings and not just what was there before.
        QVERIFY2(written.contains("\nmax_mtu="), qPrintable(written));
    }
};

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"
