#include "crashhandler.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <thread>
#include <vector>
#include <atomic>

namespace {

const char kChildVariable[] = "VANTORA_CRASH_CHILD";
const char kFallbackVariable[] = "VANTORA_CRASH_FALLBACK";
volatile int g_neverReached = -1;

constexpr int kNoPtrace = 77;

// Makes a helper process trace this one, the way a debugger does; exits with
// kNoPtrace when the system does not allow it.
void attachTracer()
{
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    int ready[2];
    if (pipe(ready) != 0)
        std::_Exit(kNoPtrace);
    const pid_t traced = getpid();
    const pid_t helper = fork();
    if (helper == 0) {
        const char answer = ptrace(PTRACE_SEIZE, traced, nullptr, nullptr) == 0 ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1 || answer != 'y')
            _exit(0);
        for (;;) {
            int status = 0;
            if (waitpid(traced, &status, __WALL) < 0 || WIFEXITED(status) || WIFSIGNALED(status))
                _exit(0);
            if (WIFSTOPPED(status))
                ptrace(PTRACE_CONT, traced, nullptr, reinterpret_cast<void *>(long(WSTOPSIG(status))));
        }
    }
    char answer = 'n';
    if (helper < 0 || read(ready[0], &answer, 1) != 1 || answer != 'y')
        std::_Exit(kNoPtrace);
}

// The faults are on purpose: the undefined-behaviour checker must let them reach our handler
// unreported, or its lines on standard error mix with the handler's.
__attribute__((noinline, no_sanitize("undefined"))) void storeThroughNull(int value)
{
    volatile int *nowhere = nullptr;
    *nowhere = value;
}

__attribute__((noinline, no_sanitize("undefined"))) int divideByZero()
{
    volatile int zero = 0;
    volatile int dividend = 7;
    return dividend / zero;
}

int overflowStack(volatile int depth)
{
    volatile char pad[4096];
    pad[0] = char(depth);
    if (depth == g_neverReached)
        return 0;
    return overflowStack(depth + 1) + pad[0];
}

// Runs in the child process: install the handler, then die the asked way.
[[noreturn]] void crashAs(const QByteArray &how)
{
    Platform::installCrashHandler();
    Platform::setCrashReportFallbackFolder(std::getenv(kFallbackVariable));
    if (how == "segv") {
        storeThroughNull(1);
    } else if (how == "abort") {
        std::abort();
    } else if (how == "fpe") {
        divideByZero();
    } else if (how == "ill") {
        __builtin_trap();
    } else if (how == "bus") {
        std::raise(SIGBUS);
    } else if (how == "thread") {
        std::thread worker([] {
            storeThroughNull(2);
        });
        worker.join();
    } else if (how == "threads") {
        // Several threads fault at the same moment; the report must still be whole.
        static std::atomic<bool> go{false};
        std::vector<std::thread> workers;
        for (int i = 0; i < 4; ++i) {
            workers.emplace_back([] {
                while (!go.load()) {
                }
                storeThroughNull(4);
            });
        }
        go.store(true);
        for (std::thread &worker : workers)
            worker.join();
    } else if (how == "thread overflow") {
        std::thread worker([] {
            Platform::installCrashStackForThisThread();
            overflowStack(0);
        });
        worker.join();
    } else if (how == "traced") {
        attachTracer();
        storeThroughNull(3);
    } else if (how == "overflow") {
        overflowStack(0);
    } else if (how == "folder gone") {
        // The working directory vanishes: no file can be made in it.
        char folder[4096];
        if (::getcwd(folder, sizeof folder) && ::rmdir(folder) == 0) {
            storeThroughNull(5);
        }
    } else if (how == "wait") {
        ::write(STDOUT_FILENO, "ready\n", 6);
        for (;;)
            ::pause();
    }
    std::_Exit(0);
}

// Runs this test program again in folder; the environment tells it what to do.
void startChild(QProcess &child, const QString &folder, const QString &how)
{
    child.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildVariable), how);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
}

} // namespace

class TestCrashHandler : public QObject
{
    Q_OBJECT
private slots:
    void faultLeavesOneReport_data();
    void faultLeavesOneReport();
    void nothingUnderDebugger();
    void reportGoesToFallbackFolder();
    void signalFromAnotherProcessSaysSo();
    void fileNameFormat_data();
    void fileNameFormat();
};

void TestCrashHandler::faultLeavesOneReport_data()
{
    QTest::addColumn<QByteArray>("how");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("signalName");
    QTest::newRow("null pointer") << QByteArray("segv") << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("abort") << QByteArray("abort") << int(SIGABRT) << "SIGABRT";
    QTest::newRow("division by zero") << QByteArray("fpe") << int(SIGFPE) << "SIGFPE";
    QTest::newRow("illegal instruction") << QByteArray("ill") << int(SIGILL) << "SIGILL";
    QTest::newRow("bus error") << QByteArray("bus") << int(SIGBUS) << "SIGBUS";
    QTest::newRow("fault in another thread") << QByteArray("thread") << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("stack overflow") << QByteArray("overflow") << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("several threads fault at once") << QByteArray("threads") << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("stack overflow in another thread") << QByteArray("thread overflow") << int(SIGSEGV) << "SIGSEGV";
}

void TestCrashHandler::faultLeavesOneReport()
{
    QFETCH(QByteArray, how);
    QFETCH(int, signal);
    QFETCH(QString, signalName);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess child;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    startChild(child, folder.path(), QString::fromLatin1(how));
    QVERIFY(child.waitForFinished(30000));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(child.exitCode(), signal);

    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString name = files.first();
    const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}-\\d{2}-\\d{2}-\\d{2}-\\d{3}\\.dmp$"));
    QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));

    // The name is the local time of the crash.
    const QDateTime stamp = QDateTime::fromString(name.left(23), QStringLiteral("yyyy-MM-dd-hh-mm-ss-zzz"));
    QVERIFY(stamp.isValid());
    QVERIFY2(stamp >= before && stamp <= after, qPrintable(stamp.toString(Qt::ISODateWithMs)));

    QFile report(folder.filePath(name));
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(report.readAll());
    QVERIFY2(text.contains(QStringLiteral("signal: %1 (%2)").arg(signal).arg(signalName)), qPrintable(text));
    QVERIFY(text.contains(QLatin1String("fault address: 0x")));
    QVERIFY(text.contains(QLatin1String("thread: ")));
    QVERIFY(text.contains(QLatin1String("backtrace:\n")));
    // At least one frame line follows the backtrace header.
    QVERIFY(text.section(QLatin1String("backtrace:\n"), 1).count(QLatin1Char('\n')) >= 1);
    QVERIFY2(text.endsWith(QLatin1String("end of report\n")), qPrintable(text));
}

void TestCrashHandler::reportGoesToFallbackFolder()
{
    QTemporaryDir parent;
    QTemporaryDir fallback;
    QVERIFY(parent.isValid() && fallback.isValid());
    const QString folder = parent.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkdir(folder));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFallbackVariable), fallback.path());
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(folder);
    environment.insert(QString::fromLatin1(kChildVariable), QStringLiteral("folder gone"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(child.exitCode(), int(SIGSEGV));

    const QStringList files = QDir(fallback.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString report = fallback.filePath(files.first());
    const QString standardError = QString::fromLocal8Bit(child.readAllStandardError());
    QCOMPARE(standardError.count(QLatin1Char('\n')), 1);
    QVERIFY2(standardError.contains(QStringLiteral("the crash report is ") + report), qPrintable(standardError));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY(text.endsWith(QLatin1String("end of report\n")));
    // Our own frames are named: the test program exports its symbols.
    QVERIFY2(text.contains(QLatin1String("(main+")), qPrintable(text));
}

void TestCrashHandler::signalFromAnotherProcessSaysSo()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess child;
    startChild(child, folder.path(), QStringLiteral("wait"));
    QVERIFY(child.waitForReadyRead(30000));
    QVERIFY(child.readAllStandardOutput().contains("ready"));
    QCOMPARE(::kill(pid_t(child.processId()), SIGSEGV), 0);
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile file(folder.filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY2(text.contains(QStringLiteral("sent by process %1\n").arg(::getpid())), qPrintable(text));
    QVERIFY(!text.contains(QLatin1String("fault address")));
    QVERIFY(QString::fromLocal8Bit(child.readAllStandardError()).contains(QLatin1String("in the working directory")));
}

void TestCrashHandler::nothingUnderDebugger()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess child;
    startChild(child, folder.path(), QStringLiteral("traced"));
    QVERIFY(child.waitForFinished(30000));
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == kNoPtrace)
        QSKIP("tracing is not allowed here");
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(child.exitCode(), int(SIGSEGV));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
}

void TestCrashHandler::fileNameFormat_data()
{
    QTest::addColumn<qlonglong>("seconds");
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");
    QTest::newRow("epoch") << qlonglong(0) << 0 << 0 << "1970-01-01-00-00-00-000.dmp";
    QTest::newRow("example") << qlonglong(1709820309) << 42 << 0 << "2024-03-07-14-05-09-042.dmp";
    QTest::newRow("leap day") << qlonglong(1709208000) << 999 << 0 << "2024-02-29-12-00-00-999.dmp";
    QTest::newRow("offset crosses midnight") << qlonglong(1704066600) << 5 << 3600 << "2024-01-01-00-50-00-005.dmp";
    QTest::newRow("negative offset crosses year") << qlonglong(1704067200) << 0 << -3600 << "2023-12-31-23-00-00-000.dmp";
}

void TestCrashHandler::fileNameFormat()
{
    QFETCH(qlonglong, seconds);
    QFETCH(int, milliseconds);
    QFETCH(int, offset);
    QFETCH(QString, expected);
    char name[32];
    Platform::formatCrashFileName(seconds, milliseconds, offset, name);
    QCOMPARE(QString::fromLatin1(name), expected);
}

int main(int argc, char **argv)
{
    const QByteArray how = qgetenv(kChildVariable);
    if (!how.isEmpty())
        crashAs(how);
    QCoreApplication app(argc, argv);
    TestCrashHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashhandler.moc"
