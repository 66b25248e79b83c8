#include "ccfgfileparse.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "recordedlog.h"
#include "serialportthread.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"

#include <QSignalSpy>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <thread>

#include <unistd.h>

namespace {

const QString DeadLine = QStringLiteral("system busy or firmware dead");
const QString HeartBeatFrame = QStringLiteral("AA 01 84 00 00 D1");
const QString HeartBeatEntry = QStringLiteral("Downlink Command Name: Heart Beat Detect\r\n");
const QString GoodAnswerLine = QStringLiteral("[SDKProc] bb0184010000");

// Short timings; the link ticks fast so that it never paces the heartbeat.
constexpr int IntervalMs = 100;
constexpr int ThresholdMs = 600;
// Where a test needs the dongle to stay alive, or several beats to happen,
// through the machine's load.
constexpr int RoomyThresholdMs = 1500;

// The heartbeat's own timer: each of its ticks must send exactly one frame.
QTimer *tickTimer(CHeartBeat &heartBeat)
{
    return heartBeat.findChild<QTimer *>();
}

} // namespace

class TestHeartBeat : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordedLog> m_log;
    LogManager *m_manager = nullptr;
    StampedRecordingLogger *m_recorder = nullptr;
    std::unique_ptr<SimulatedDongle> m_dongle;
    std::unique_ptr<CMsg> m_link;

private slots:
    void initTestCase()
    {
        m_log = std::make_unique<RecordedLog>("HeartBeatTest");
        m_manager = m_log->manager();
        m_recorder = m_log->recorder();
        // The program has read the command catalogue long before a heartbeat starts; read lazily
        // by the first beat, it would stall the event loop past the dead threshold on a slow build.
        CCfgFileParse::instance();
    }

    void cleanupTestCase() { m_log.reset(); }

    void init()
    {
        m_recorder->clear();
        m_dongle = std::make_unique<SimulatedDongle>();
        QVERIFY(m_dongle->isValid());
        installLinkBehaviour(*m_dongle);
        m_link = std::make_unique<CMsg>(m_manager, nullptr, 10);
        QCOMPARE(m_link->openPort(m_dongle->portPath()), 0);
        // The reader hands out nothing before the dongle's reset event.
        m_dongle->sendResetEvent();
    }

    void cleanup()
    {
        m_link.reset();
        m_dongle.reset();
    }

    void defaults()
    {
        CHeartBeat heartBeat(m_link.get(), m_manager);
        QCOMPARE(heartBeat.interval(), 1000);
        QCOMPARE(heartBeat.deadThreshold(), 20000);
        QVERIFY(!heartBeat.isRunning());
    }

    void sendsEveryInterval()
    {
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, ThresholdMs);
        QElapsedTimer sinceStart;
        sinceStart.start();
        heartBeat.start();
        QVERIFY(m_dongle->waitForFrames(5));
        // Arrival gaps depend on the machine's load; what must hold is that the heartbeat never
        // runs ahead of its interval: five beats take at least four intervals.
        QVERIFY2(sinceStart.elapsed() >= 4 * IntervalMs, qPrintable(QString::number(sinceStart.elapsed())));
        const auto frames = m_dongle->receivedFrames();
        for (int i = 0; i < frames.size(); ++i)
            QCOMPARE(FrameBuilder::toHex(frames.at(i).bytes), HeartBeatFrame);
        // The entry of each heartbeat is logged at DEBUG.
        QVERIFY(m_recorder->count("Downlink Command Name: Heart Beat Detect\r\nRaw Data: aa01840000\r\nField Data: ",
                                  LogLevel::Debug)
                >= 5);
    }

    void answeredDongleStaysAlive()
    {
        // Roomy, so a stalled event loop on a loaded machine is not taken for a dead dongle.
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, RoomyThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        heartBeat.start();
        QVERIFY(!dead.wait(RoomyThresholdMs * 3));
        QVERIFY(heartBeat.isRunning());
        QCOMPARE(m_recorder->count(DeadLine), 0);
        QVERIFY(m_dongle->receivedCount() >= 10);
    }

    void silentDongleDiesOnce()
    {
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, ThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        heartBeat.start();
        QVERIFY(m_dongle->waitForFrames(3));
        LinkBehaviour::setHeartbeatAnswer(*m_dongle, -1);
        QVERIFY(dead.wait(ThresholdMs * 5));
        // Declared dead no sooner than the threshold after the last good answer, whatever the load.
        const qint64 lastAnswer = m_recorder->lastStamp(GoodAnswerLine);
        QVERIFY(lastAnswer >= 0);
        QVERIFY2(m_recorder->lastStamp(DeadLine) - lastAnswer >= ThresholdMs,
                 qPrintable(QString::number(m_recorder->lastStamp(DeadLine) - lastAnswer)));
        QCOMPARE(m_recorder->count(DeadLine, LogLevel::Debug), 1);
        QVERIFY(!heartBeat.isRunning());

        // Nothing more is sent or declared after death.
        QTest::qWait(IntervalMs * 4);
        const int sent = m_dongle->receivedCount();
        QTest::qWait(IntervalMs * 4);
        QCOMPARE(m_dongle->receivedCount(), sent);
        QCOMPARE(dead.count(), 1);
        QCOMPARE(m_recorder->count(DeadLine), 1);

        // Started again, it sends one heartbeat per tick of its interval.
        m_dongle->clearReceived();
        m_recorder->clear();
        QSignalSpy ticks(tickTimer(heartBeat), &QTimer::timeout);
        heartBeat.start();
        QVERIFY(m_dongle->waitForFrames(3));
        heartBeat.stop();
        QCOMPARE(m_recorder->countStartingWith(HeartBeatEntry), ticks.count());
        QVERIFY(m_dongle->waitForFrames(ticks.count()));
        QCOMPARE(m_dongle->receivedCount(), ticks.count());
    }

    void errorStatusIsNotLife()
    {
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, RoomyThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        LinkBehaviour::setHeartbeatAnswer(*m_dongle, 6);
        heartBeat.start();
        QVERIFY(dead.wait(RoomyThresholdMs * 5));
        QVERIFY(m_recorder->count("[SDK Result] Uplink Command Name:Heart Beat Detect Result:SDK ERR BUSY",
                                  LogLevel::Error)
                >= 2);
        QCOMPARE(m_recorder->count(DeadLine), 1);
    }

    void malformedAnswersAreNotLife_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("five bytes") << QByteArray::fromHex("bb01840100");
        QTest::newRow("seven bytes") << QByteArray::fromHex("bb0184020000 00");
        QTest::newRow("other opcode") << QByteArray::fromHex("bb0185010000");
        QTest::newRow("other type") << QByteArray::fromHex("dd0184010000");
    }

    void malformedAnswersAreNotLife()
    {
        QFETCH(QByteArray, answer);
        LinkBehaviour::setHeartbeatAnswer(*m_dongle, -1);
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, ThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        connect(m_dongle.get(), &SimulatedDongle::frameReceived, &heartBeat,
                [&heartBeat, answer] { heartBeat.onRcvMsg(answer); });
        heartBeat.start();
        QVERIFY(dead.wait(ThresholdMs * 5));
    }

    void restartResetsTheCountWithoutASecondConnection()
    {
        LinkBehaviour::setHeartbeatAnswer(*m_dongle, -1);
        CHeartBeat heartBeat(m_link.get(), m_manager, 400, nullptr, RoomyThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        QSignalSpy ticks(tickTimer(heartBeat), &QTimer::timeout);
        heartBeat.start();
        heartBeat.start();
        QVERIFY(m_dongle->waitForFrames(1));
        // A doubled connection would send a second frame on the same tick.
        QCOMPARE(m_recorder->countStartingWith(HeartBeatEntry), ticks.count());
        QVERIFY(m_dongle->waitForFrames(ticks.count()));
        QCOMPARE(m_dongle->receivedCount(), ticks.count());

        // Restarting before the threshold keeps the silent dongle alive a while longer.
        QTest::qWait(RoomyThresholdMs / 5);
        QVERIFY(dead.isEmpty());
        heartBeat.start();
        QElapsedTimer sinceRestart;
        sinceRestart.start();
        QVERIFY(dead.wait(RoomyThresholdMs * 5));
        QVERIFY(sinceRestart.elapsed() >= RoomyThresholdMs - 50);
        QCOMPARE(m_recorder->countStartingWith(HeartBeatEntry), ticks.count() - 1);
    }

    void stopWhileIdleDoesNothing()
    {
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, ThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        heartBeat.stop();
        QVERIFY(!heartBeat.isRunning());
        heartBeat.start();
        heartBeat.stop();
        heartBeat.stop();
        QTest::qWait(IntervalMs * 3);
        QCOMPARE(m_dongle->receivedCount(), 0);
        QCOMPARE(dead.count(), 0);
    }

    // The answers came, but the window was stuck and dropped them as stale:
    // the dongle is judged by when they came off the port.
    void answersDroppedByABusyWindowStillCount()
    {
        constexpr int Threshold = 3000;
        m_link->portThread()->setBacklogLimits(SerialPortThread::DefaultBacklogBytes, 300);
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, Threshold);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        heartBeat.start();
        QVERIFY(m_dongle->waitForFrames(2));

        // From here the dongle answers only from its own thread, for 2.9 s of
        // the 4 s that the window sleeps: every answer is stale by then.
        LinkBehaviour::setHeartbeatAnswer(*m_dongle, -1);
        const QByteArray answer = FrameBuilder::withChecksum(QByteArray::fromHex("bb0184010000"));
        const int master = m_dongle->masterFd();
        std::thread dongle([master, answer] {
            for (int i = 0; i < 30; ++i) {
                if (::write(master, answer.constData(), size_t(answer.size())) != answer.size())
                    return;
                QThread::msleep(IntervalMs);
            }
        });
        QElapsedTimer sinceLastAnswer;
        QThread::msleep(2900);
        sinceLastAnswer.start();
        QThread::msleep(1100);
        dongle.join();

        // Judged by what the window handled, the dongle fell silent 4 s ago.
        QVERIFY(!dead.wait(600));
        // The answers were indeed never handled.
        QVERIFY(m_recorder->countStartingWith(QStringLiteral("The program fell behind the dongle and dropped")) >= 1);
        // Silent from now on, it dies a threshold after its last answer came.
        QVERIFY(dead.wait(Threshold * 3));
        QVERIFY2(sinceLastAnswer.elapsed() >= Threshold - 200, qPrintable(QString::number(sinceLastAnswer.elapsed())));
    }

    void closedPortLogsEachFailedSend()
    {
        m_link->closePort();
        CHeartBeat heartBeat(m_link.get(), m_manager, IntervalMs, nullptr, RoomyThresholdMs);
        QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
        heartBeat.start();
        QVERIFY(dead.wait(RoomyThresholdMs * 5));
        QVERIFY(m_recorder->count("send heart beat detect message failed", LogLevel::Error) >= 2);
    }
};

QTEST_GUILESS_MAIN(TestHeartBeat)
#include "tst_heartbeat.moc"
