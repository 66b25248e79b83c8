#include "cmsg.h"
#include "framebuilder.h"
#include "linepacer.h"
#include "linkrig.h"
#include "logmanager.h"
#include "recordinglogger.h"
#include "serialport.h"
#include "serialportthread.h"
#include "simulateddongle.h"
#include "uplinkrecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

struct Rig : LinkRig
{
    explicit Rig(int sendIntervalMs = CMsg::DefaultSendIntervalMs)
        : LinkRig(QStringLiteral("serial-test"), sendIntervalMs)
    {
    }
};

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size();
}

int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::NoDotAndDotDot | QDir::Dirs).size();
}

} // namespace

class TestSerial : public QObject
{
    Q_OBJECT

private:
    // The reader thread's entry under /proc/self/task, by its name.
    static QString readerTask()
    {
        const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &task : tasks) {
            QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "SerialPortThrea")
                return task;
        }
        return QString();
    }

    // How often the thread went to sleep and was woken.
    static qint64 wakeUps(const QString &task)
    {
        QFile status(QStringLiteral("/proc/self/task/%1/status").arg(task));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                return line.mid(24).trimmed().toLongLong();
        }
        return -1;
    }

private slots:
    void openLogsBeginAndFinish()
    {
        Rig rig;
        QCOMPARE(rig.link.openPort(rig.dongle.portPath()), 0);
        QVERIFY(rig.link.isOpen());
        QCOMPARE(rig.link.getPortName(), rig.dongle.portPath());
        QCOMPARE(rig.recorder->texts(), QStringList({"open port begin", "open port finish"}));
        QCOMPARE(rig.recorder->lines().at(0).second, 1);

        rig.link.closePort();
        QVERIFY(!rig.link.isOpen());
        QVERIFY(rig.link.getPortName().isEmpty());
    }

    void openingTwiceIsRefusedAndLeavesThePortAlone()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.recorder->clear();
        QCOMPARE(rig.link.openPort(QStringLiteral("/dev/elsewhere")), -1);
        QCOMPARE(rig.recorder->texts(), QStringList{"CMsg::openPort, serial port has already been opened."});
        QCOMPARE(rig.link.getPortName(), rig.dongle.portPath());

        QCOMPARE(rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00")), 0);
        QVERIFY(rig.dongle.waitForFrames(1));
    }

    void secondLinkOnTheSamePortFails()
    {
        Rig rig;
        QVERIFY(rig.open());
        LogManager otherLogs(QStringLiteral("serial-test-2"));
        auto *otherRecorder = new RecordingLogger;
        otherLogs.addLogger(otherRecorder);
        CMsg other(&otherLogs);
        QCOMPARE(other.openPort(rig.dongle.portPath()), -1);
        QVERIFY(!other.isOpen());
        QCOMPARE(otherRecorder->texts(), QStringList({"open port begin", "Create File Error"}));
        QCOMPARE(otherRecorder->lines().last().second, 4);

        // the first link still owns and uses the port
        QCOMPARE(rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00")), 0);
        QVERIFY(rig.dongle.waitForFrames(1));

        // and once it lets go, the other one gets it
        rig.link.closePort();
        QCOMPARE(other.openPort(rig.dongle.portPath()), 0);
    }

    void failedOpenKeepsTheName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing path") << "/dev/vantora-no-such-port" << "Create File Error";
        QTest::newRow("missing name under /dev") << "ttyVantoraNoSuchPort" << "Create File Error";
        QTest::newRow("not a terminal") << "/dev/null" << "Get Comm State Error";
    }

    void failedOpenKeepsTheName()
    {
        QFETCH(QString, name);
        QFETCH(QString, error);
        Rig rig;
        QCOMPARE(rig.link.openPort(name), -1);
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(rig.link.getPortName(), name);
        QCOMPARE(rig.recorder->texts(), QStringList({"open port begin", error}));
        QCOMPARE(rig.recorder->lines().last().second, 4);
        QCOMPARE(rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00")), -1);
    }

    void portNameWithoutSlashIsUnderDev()
    {
        QCOMPARE(Platform::SerialPort::devicePath("ttyUSB0"), QString("/dev/ttyUSB0"));
        QCOMPARE(Platform::SerialPort::devicePath("/dev/pts/3"), QString("/dev/pts/3"));
    }

    void framesLeaveOnePerTickInOrder()
    {
        Rig rig;
        const qint64 openedAt = rig.dongle.elapsedMs();
        QVERIFY(rig.open());
        const QList<QByteArray> frames = {FrameBuilder::fromHex("AA 01 84 00 00"),
                                          FrameBuilder::fromHex("AA 00 01 00 00"),
                                          FrameBuilder::fromHex("AA 03 0E 02 00 01 00")};
        for (const QByteArray &frame : frames)
            QCOMPARE(rig.link.sendMsg(frame), 0);
        const qint64 queuedAt = rig.dongle.elapsedMs();

        QVERIFY(rig.dongle.waitForFrames(3, 3000));
        const auto received = rig.dongle.receivedFrames();
        QCOMPARE(received.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(received.at(i).bytes, FrameBuilder::withChecksum(frames.at(i)));

        // Only lower bounds, which load cannot break: a late tick may bring the
        // next one closer, but ticks are scheduled at least an interval apart
        // (less the coarse timer's 5 %). Queued before the first tick, the
        // three frames need the first three ticks.
        const qint64 third = received.at(2).atMs;
        if (queuedAt - openedAt < 80)
            QVERIFY2(third - openedAt >= 270, qPrintable(QString::number(third - openedAt)));
        else
            QVERIFY2(third - queuedAt >= 90, qPrintable(QString::number(third - queuedAt)));
    }

    void eachTickSendsOneFrame_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::newRow("checksummed frames") << false;
        QTest::newRow("raw frames") << true;
    }

    void eachTickSendsOneFrame()
    {
        QFETCH(bool, raw);
        // The timer never fires within the test: every tick is one call.
        Rig rig(3600 * 1000);
        QVERIFY(rig.open());
        QList<QByteArray> sent;
        for (int i = 0; i < 3; ++i) {
            const QByteArray frame = FrameBuilder::frame(0xAA, 0x01, quint8(0x20 + i));
            if (raw) {
                const QByteArray boot = FrameBuilder::bootFrame(quint16(0x20 + i), frame);
                rig.link.sendRawMsg(boot);
                sent.append(boot);
            } else {
                QCOMPARE(rig.link.sendMsg(frame), 0);
                sent.append(FrameBuilder::withChecksum(frame));
            }
        }
        QTest::qWait(150);
        QCOMPARE(rig.dongle.receivedCount(), 0);
        for (int tick = 1; tick <= 3; ++tick) {
            rig.link.onSendTimer();
            QVERIFY(rig.dongle.waitForFrames(tick));
            QTest::qWait(50);  // nothing else follows on this tick
            QCOMPARE(rig.dongle.receivedCount(), tick);
        }
        QCOMPARE(rig.dongle.receivedBytes(), sent);
        rig.link.onSendTimer();  // an empty queue sends nothing
        QTest::qWait(50);
        QCOMPARE(rig.dongle.receivedCount(), 3);
    }

    void sendIntervalIsAParameter()
    {
        Rig rig(20);
        QCOMPARE(rig.link.sendInterval(), 20);
        QVERIFY(rig.open());
        const qint64 queuedAt = rig.dongle.elapsedMs();
        for (int i = 0; i < 10; ++i)
            rig.link.sendMsg(FrameBuilder::frame(0xAA, 0x01, 0x84));
        QVERIFY(rig.dongle.waitForFrames(10, 3000));
        // Ten frames take ten ticks; late ticks may crowd the next ones, but
        // the tenth cannot come before the eighth interval after queueing.
        const qint64 tenthAfter = rig.dongle.receivedFrames().at(9).atMs - queuedAt;
        QVERIFY2(tenthAfter >= 8 * 20 - 15, qPrintable(QString::number(tenthAfter)));

        rig.link.setSendInterval(3600 * 1000);
        QCOMPARE(rig.link.sendInterval(), 3600 * 1000);
        rig.link.sendMsg(FrameBuilder::frame(0xAA, 0x01, 0x84));
        QTest::qWait(200);
        QCOMPARE(rig.dongle.receivedCount(), 10);
    }

    void framesQueuedAtCloseAreDropped()
    {
        Rig rig;
        QVERIFY(rig.open());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rig.link.sendMsg(FrameBuilder::frame(0xAA, 0x01, quint8(0x10 + i))), 0);
        rig.link.closePort();
        QVERIFY(rig.open());
        QTest::qWait(350);
        QCOMPARE(rig.dongle.receivedCount(), 0);

        QCOMPARE(rig.link.sendMsg(FrameBuilder::frame(0xAA, 0x01, 0x84)), 0);
        QVERIFY(rig.dongle.waitForFrames(1));
        QCOMPARE(rig.dongle.receivedIds(), QStringList{"01@84"});
    }

    void checksumIsAppended()
    {
        Rig rig;
        QVERIFY(rig.open());
        QCOMPARE(rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00")), 0);
        QVERIFY(rig.dongle.waitForFrames(1));
        QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().first()), QString("AA 01 84 00 00 D1"));

        char checksum = 0;
        QCOMPARE(int(rig.link.generateCheckSum(FrameBuilder::fromHex("AA 00 00 00 00"), &checksum)), 0);
        QCOMPARE(quint8(checksum), quint8(0x56));
    }

    void shortFrameIsRefused()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.recorder->clear();
        QCOMPARE(rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00")), -1);
        QCOMPARE(rig.recorder->texts(), QStringList({"CMsg::generateCheckSum:the lenth of msg is smaller than HEADER_LENTH",
                                                     "CMsg::sendMsg: generateCheckSum failed."}));
        QCOMPARE(rig.recorder->lines().at(0).second, 1);
        QCOMPARE(rig.recorder->lines().at(1).second, 1);
        QTest::qWait(250);
        QCOMPARE(rig.dongle.receivedCount(), 0);
    }

    void closedLinkRefusesFrames()
    {
        Rig rig;
        QCOMPARE(rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00")), -1);
        QCOMPARE(rig.recorder->texts(), QStringList{"CMsg::sendMsg: port has been closed."});
        rig.recorder->clear();
        rig.link.sendRawMsg(FrameBuilder::bootFrame(0x23));
        QVERIFY(rig.recorder->texts().isEmpty());
        rig.link.closePort();
        QCOMPARE(rig.recorder->texts().size(), 1);  // closing a closed link says so
    }

    void rawFramesGoOutUnchanged()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.recorder->clear();
        const QByteArray frame = FrameBuilder::bootFrame(0x24, QByteArray(1031, '\x5A'));
        rig.link.sendRawMsg(frame);
        QVERIFY(rig.dongle.waitForFrames(1));
        QCOMPARE(rig.dongle.receivedBytes().first(), frame);
        QVERIFY(rig.recorder->texts().isEmpty());
    }

    void aFrameTakenInPartIsFinishedBeforeTheNext()
    {
        Rig rig(5);
        QVERIFY(rig.open());
        rig.dongle.setReading(false);
        QList<QByteArray> sent;
        for (int i = 0; i < 40; ++i) {
            const QByteArray payload(5000, char('a' + i % 26));
            const QByteArray frame = FrameBuilder::frame(0xAA, 0x04, 0x03, payload);
            QCOMPARE(rig.link.sendMsg(frame), 0);
            sent.append(FrameBuilder::withChecksum(frame));
        }
        // 200 kB cannot fit the pseudo-terminal: writes are taken in part
        QTest::qWait(400);
        rig.dongle.setReading(true);
        QVERIFY(rig.dongle.waitForFrames(40, 10000));
        QCOMPARE(rig.dongle.receivedBytes(), sent);
        QCOMPARE(rig.dongle.badChecksumCount(), 0);
        QVERIFY(rig.dongle.discardedBytes().isEmpty());
        QVERIFY(!rig.recorder->texts().contains("Send msg by serial port failed."));
    }

    void nothingIsDeliveredBeforeTheResetEvent()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.dongle.sendRaw(FrameBuilder::status(0x01, 0x84));
        rig.dongle.sendRaw(FrameBuilder::uplink(0xDD, 0x01, 0x02, "abc"));
        QTest::qWait(200);
        QCOMPARE(rig.uplinks.count(), 0);

        // "Reset": its status comes before the event and is dropped with the rest
        rig.link.sendMsg(FrameBuilder::fromHex("AA 00 01 00 00"));
        QVERIFY(rig.uplinks.waitFor(1));
        rig.dongle.sendRaw(FrameBuilder::uplink(0xDD, 0x01, 0x02, "abc") + FrameBuilder::uplink(0xDD, 0x03, 0x28, "x"));
        QVERIFY(rig.uplinks.waitFor(3));
        QCOMPARE(rig.uplinks.lines(), QStringList({"sig_rcvCommonMsg cc0002010000", "sig_rcvGapMsg dd01020300616263",
                                                   "sig_rcvGattMsg dd0328010078"}));
        // the event's own checksum byte is no frame start
        QTRY_COMPARE(rig.recorder->count("The fix header of the uplink msg is 0x31,it should be 0xBB or 0xCC or 0xDD or 0xFF"), 1);
    }

    void synchronisationHappensOncePerLink()
    {
        Rig rig;
        QVERIFY(rig.openAndSync());
        QCOMPARE(rig.link.portThread()->parseState(), int(UplinkFramer::FrameStart));
        rig.link.closePort();
        QVERIFY(rig.open());
        rig.dongle.sendRaw(FrameBuilder::status(0x01, 0x84));
        QVERIFY(rig.uplinks.waitFor(2));
        QCOMPARE(rig.uplinks.lines().last(), QString("sig_rcvGapMsg bb0184010000"));
    }

    void framesReachTheSignalOfTheirLayer_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, const QByteArray &wire, const QStringList &expected) {
            QTest::newRow(name) << wire << expected;
        };
        row("layer 0", FrameBuilder::status(0x00, 0x03), {"sig_rcvCommonMsg"});
        row("layer 1", FrameBuilder::status(0x01, 0x84), {"sig_rcvGapMsg"});
        row("layer 2", FrameBuilder::status(0x02, 0x01), {"sig_rcvSmMsg"});
        row("layer 3", FrameBuilder::uplink(0xDD, 0x03, 0x28, "value"), {"sig_rcvGattMsg"});
        row("layer 4", FrameBuilder::status(0x04, 0x0D), {"sig_rcvL2capMsg"});
        row("layer 5", FrameBuilder::status(0x05, 0x01), {"sig_rcvRfuMsg"});
        row("layer 6", FrameBuilder::uplink(0xDD, 0x06, 0x0F, "iso"), {"sig_rcvBIGCIGMsg", "sig_rcvRfuMsg"});
        row("layer 7", FrameBuilder::status(0x07, 0x01), {"sig_rcvRfuMsg"});
        row("layer 8", FrameBuilder::status(0x08, 0x01), {"sig_rcvRfuMsg"});
        row("layer 9", FrameBuilder::status(0x09, 0x01), {"sig_rcvLCPMsg"});
        row("layer 10", FrameBuilder::status(0x0A, 0x01), {"sig_rcvIDTMsg"});
        row("layer 11", FrameBuilder::status(0x0B, 0x01), {"sig_rcvRfuMsg"});
        row("layer 0x80", FrameBuilder::status(0x80, 0x01), {"sig_rcvRfuMsg"});
        row("layer 0xFF", FrameBuilder::status(0xFF, 0x01), {"sig_rcvRfuMsg"});
        row("reset event later on", FrameBuilder::resetEvent(), {"sig_rcvCommonMsg"});
        row("dongle log, layer 1", FrameBuilder::dongleLog("hello", 0x01), {"sig_rcvDongleLog"});
        row("dongle log, layer 6", FrameBuilder::dongleLog("hello", 0x06), {"sig_rcvDongleLog"});
        row("boot loader", FrameBuilder::bootFrame(0x23, QByteArray(1, 1)), {"sig_rcvDownLoadMsg"});
    }

    void framesReachTheSignalOfTheirLayer()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QStringList, expected);
        Rig rig;
        QVERIFY(rig.openAndSync());
        rig.uplinks.clear();
        rig.dongle.sendRaw(wire);
        QVERIFY(rig.uplinks.waitFor(expected.size()));
        QTest::qWait(50);
        const QByteArray emitted = wire.startsWith("QK") ? wire : FrameBuilder::withoutChecksum(wire);
        QCOMPARE(rig.uplinks.signalsOf(emitted), expected);
        QCOMPARE(rig.uplinks.count(), expected.size());
    }

    void framesKeepTheirOrderAcrossSignals()
    {
        Rig rig;
        QVERIFY(rig.openAndSync());
        rig.uplinks.clear();
        QByteArray burst;
        QStringList expected;
        for (int i = 0; i < 300; ++i) {
            const quint8 layer = quint8(i % 5);
            const QByteArray frame = FrameBuilder::frame(0xDD, layer, quint8(i), QByteArray::number(i));
            burst += FrameBuilder::withChecksum(frame);
            expected.append(QString::fromLatin1(frame.toHex()));
        }
        rig.dongle.sendRaw(burst);
        QVERIFY(rig.uplinks.waitFor(300));
        QStringList got;
        for (const auto &entry : rig.uplinks.entries())
            got.append(QString::fromLatin1(entry.frame.toHex()));
        QCOMPARE(got, expected);
    }

    void closeRightAfterOpenReturns()
    {
        Rig rig;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i) {
            QVERIFY(rig.open());
            rig.link.closePort();
        }
        // each close waits one poll pass at most; a lost stop request would hang here
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!rig.link.portThread()->isRunning());
    }

    // A quiet line costs nothing: the reader sleeps until bytes come or the
    // link closes, instead of looking every few milliseconds; and a frame
    // that stopped half-way is still given up, by its own deadline.
    void quietReaderSleeps()
    {
        Rig rig;
        rig.link.portThread()->setStallGrace(50);
        QVERIFY(rig.openAndSync());
        const QString task = readerTask();
        QVERIFY(!task.isEmpty());
        QTest::qWait(100);
        const qint64 before = wakeUps(task);
        QTest::qWait(500);
        const qint64 during = wakeUps(task) - before;
        QVERIFY2(during < 10, qPrintable(QStringLiteral("%1 wake-ups in 500 ms").arg(during)));

        // Half a frame, then silence: no byte comes to wake the reader.
        const int uplinksBefore = rig.uplinks.count();
        rig.dongle.sendRaw(FrameBuilder::fromHex("DD 01 02 0A 00 11 22"));
        QTRY_VERIFY2_WITH_TIMEOUT(rig.recorder->texts().contains(
                                      QStringLiteral("The uplink msg's length is wrong.Throw the head is 0xdd.")),
                                  qPrintable(rig.recorder->texts().join(QStringLiteral(" / "))), 5000);
        QCOMPARE(rig.uplinks.count(), uplinksBefore);
        rig.link.closePort();
        QVERIFY(!rig.link.portThread()->isRunning());
    }

    // At the line's pace bytes come a few at a time; the reader gathers them
    // into batches of several frames instead of waking for each few bytes,
    // and every frame still arrives whole and in order.
    void linePaceIsReadInBatches()
    {
        Rig rig;
        QVERIFY(rig.openAndSync());
        const QString task = readerTask();
        QVERIFY(!task.isEmpty());
        QList<QByteArray> frames;
        for (int i = 0; i < 200; ++i)
            frames << FrameBuilder::frame(0xDD, 0x01, 0x02, QByteArray(44, char(i)));
        const int before = rig.uplinks.count();
        const qint64 wakeUpsBefore = wakeUps(task);
        // One write per frame, each when the line would have carried it.
        std::thread writer([&frames, fd = rig.dongle.masterFd()] {
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < frames.size(); ++i) {
                const QByteArray bytes = FrameBuilder::withChecksum(frames.at(i));
                const qint64 dueNs = qint64(i) * bytes.size() * 1000000000LL / LinePacer::SerialLineRate;
                if (dueNs > clock.nsecsElapsed())
                    QThread::usleep(ulong((dueNs - clock.nsecsElapsed()) / 1000));
                if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
                    return;
            }
        });
        const bool arrived = rig.uplinks.waitFor(before + frames.size(), 10000);
        writer.join();
        QVERIFY(arrived);
        const qint64 during = wakeUps(task) - wakeUpsBefore;
        QVERIFY2(during < frames.size() / 4,
                 qPrintable(QStringLiteral("%1 wake-ups for %2 frames").arg(during).arg(frames.size())));
        for (int i = 0; i < frames.size(); ++i)
            QCOMPARE(rig.uplinks.entries().at(before + i).frame, frames.at(i));

        // Closing in the middle of a stream ends the gathering wait.
        rig.dongle.setLineRate(true);
        rig.dongle.sendUplinks(frames);
        QVERIFY(rig.uplinks.waitFor(before + frames.size() + 10, 10000));
        rig.link.closePort();
        QVERIFY(!rig.link.portThread()->isRunning());
    }

    void vanishedDeviceReportsTheReadErrorOnce()
    {
        Rig rig;
        QVERIFY(rig.openAndSync());
        rig.dongle.sendRaw(FrameBuilder::fromHex("DD 01 02 0A 00 11 22"));  // half a frame
        QTest::qWait(50);
        rig.dongle.vanish();
        // In this system's words: the device and the errno text.
        const QString readFailed = QStringLiteral("Reading %1 failed: read: the device hung up").arg(rig.dongle.portPath());
        QTRY_COMPARE(rig.recorder->count(readFailed), 1);
        QTest::qWait(300);
        QCOMPARE(rig.recorder->count(readFailed), 1);
        QCOMPARE(rig.uplinks.count(), 1);

        // writes to the vanished device fail and are reported, the queue goes on
        rig.recorder->clear();
        rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00"));
        QTRY_VERIFY(rig.recorder->texts().contains("Send msg by serial port failed."));
        const QStringList lines = rig.recorder->texts();
        const QString writeFailed = lines.at(lines.indexOf(QStringLiteral("Send msg by serial port failed.")) - 1);
        QCOMPARE(writeFailed, QStringLiteral("Writing to %1 failed: write: %2")
                                  .arg(rig.dongle.portPath(), QString::fromLocal8Bit(strerror(EIO))));

        rig.link.closePort();
        QVERIFY(!rig.link.portThread()->isRunning());
        QCOMPARE(rig.link.openPort(rig.dongle.portPath()), -1);
    }

    void openAndCloseLeaveNothingBehind()
    {
        Rig rig;
        QVERIFY(rig.open());  // the first opening may set up lasting things (thread pools, buffers)
        rig.link.closePort();
        const int descriptors = openDescriptors();
        const int threads = threadCount();
        for (int i = 0; i < 100; ++i) {
            QVERIFY(rig.open());
            rig.link.sendMsg(FrameBuilder::fromHex("AA 01 84 00 00"));
            rig.link.closePort();
        }
        // other threads of the process may end meanwhile, none may stay behind
        QVERIFY2(openDescriptors() <= descriptors, qPrintable(QString::number(openDescriptors())));
        QTRY_VERIFY2(threadCount() <= threads, qPrintable(QString::number(threadCount())));
    }

    void destroyingAnOpenLinkClosesIt()
    {
        SimulatedDongle dongle;
        const int threads = threadCount();
        {
            LogManager logs(QStringLiteral("serial-test"));
            CMsg link(&logs);
            QCOMPARE(link.openPort(dongle.portPath()), 0);
        }
        QTRY_VERIFY(threadCount() <= threads);
        LogManager logs(QStringLiteral("serial-test"));
        CMsg again(&logs);
        QCOMPARE(again.openPort(dongle.portPath()), 0);
    }
};

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
