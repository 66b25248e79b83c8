#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "portwatcher.h"
#include "simulateddongle.h"

using Platform::PortWatcher;

class TestPortWatcher : public QObject
{
    Q_OBJECT

private slots:
    void init() { qunsetenv("VANTORA_EXTRA_PORTS"); }
    void cleanup() { qunsetenv("VANTORA_EXTRA_PORTS"); }

    void portArrivesAndLeaves_data();
    void portArrivesAndLeaves();
    void knownPortIsNotReportedAgain();
    void rescanWithoutChangeIsQuiet();
};

void TestPortWatcher::portArrivesAndLeaves_data()
{
    QTest::addColumn<int>("mode");
    // Whether VANTORA_EXTRA_PORTS is set before the watcher is made.
    QTest::addColumn<bool>("extraPortsAtStart");
    QTest::newRow("polling") << int(PortWatcher::Mode::Polling) << true;
    // With udev, the extra ports are still polled: pseudo-terminals raise no udev events.
    QTest::newRow("automatic") << int(PortWatcher::Mode::Automatic) << true;
    // Without the udev daemon no udev event ever comes: the watcher must poll
    // whatever the environment said at its start.
    QTest::newRow("automatic, no udev daemon") << int(PortWatcher::Mode::Automatic) << false;
}

void TestPortWatcher::portArrivesAndLeaves()
{
    QFETCH(int, mode);
    QFETCH(bool, extraPortsAtStart);
    if (!extraPortsAtStart && QFileInfo::exists(QStringLiteral("/run/udev/control")))
        QSKIP("the udev daemon runs here");
    // The variable is set before the watcher exists, so the automatic watcher polls too.
    if (extraPortsAtStart)
        qputenv("VANTORA_EXTRA_PORTS", "/nonexistent/vantora-port");
    PortWatcher watcher(PortWatcher::Mode(mode), 50);
    if (!extraPortsAtStart)
        QVERIFY(!watcher.usesUdev());
    QSignalSpy arrived(&watcher, &PortWatcher::arrived);
    QSignalSpy removed(&watcher, &PortWatcher::removed);

    auto *dongle = new SimulatedDongle;
    QVERIFY(dongle->isValid());
    // Pseudo-terminal numbers are reused at once by other processes (tests running in
    // parallel), so the port is watched under a name of its own that only this test removes.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("ttyVantoraTest"));
    QVERIFY(QFile::link(dongle->portPath(), path));
    qputenv("VANTORA_EXTRA_PORTS", path.toLocal8Bit());

    QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 1, 5000);
    QCOMPARE(arrived.first().first().toString(), path);
    QVERIFY(watcher.knownPorts().contains(path));
    QCOMPARE(removed.count(), 0);

    QVERIFY(QFile::remove(path)); // the port goes away
    delete dongle;
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, 5000);
    QCOMPARE(removed.first().first().toString(), path);
    QCOMPARE(arrived.count(), 1);
    QVERIFY(!watcher.knownPorts().contains(path));
}

void TestPortWatcher::knownPortIsNotReportedAgain()
{
    SimulatedDongle dongle;
    qputenv("VANTORA_EXTRA_PORTS", dongle.portPath().toLocal8Bit());
    PortWatcher watcher(PortWatcher::Mode::Polling, 20);
    QSignalSpy arrived(&watcher, &PortWatcher::arrived);
    QVERIFY(watcher.knownPorts().contains(dongle.portPath()));
    QTest::qWait(150);
    QCOMPARE(arrived.count(), 0);
}

void TestPortWatcher::rescanWithoutChangeIsQuiet()
{
    PortWatcher watcher(PortWatcher::Mode::Polling, 100000);
    QSignalSpy arrived(&watcher, &PortWatcher::arrived);
    QSignalSpy removed(&watcher, &PortWatcher::removed);
    const QStringList before = watcher.knownPorts();
    watcher.rescan();
    QCOMPARE(watcher.knownPorts(), before);
    QCOMPARE(arrived.count() + removed.count(), 0);
}

QTEST_MAIN(TestPortWatcher)
#include "tst_portwatcher.moc"
