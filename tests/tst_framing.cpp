#include "cmsg.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "logmanager.h"
#include "recordinglogger.h"
#include "serialportthread.h"
#include "simulateddongle.h"
#include "uplinkframer.h"
#include "uplinkrecorder.h"

#include <QRandomGenerator>
#include <QtTest>

// Bad input on the uplink, fed through a real pseudo-terminal into the reader.
namespace {

struct Rig : LinkRig
{
    Rig()
        : LinkRig(QStringLiteral("framing-test"))
    {
    }

    // Synchronised, with the reset event and its log lines already forgotten.
    bool openAndSync()
    {
        if (!LinkRig::openAndSync())
            return false;
        uplinks.clear();
        recorder->clear();
        return true;
    }
};

QString fixHeader(const char *hexByte)
{
    return QStringLiteral("The fix header of the uplink msg is 0x%1,it should be 0xBB or 0xCC or 0xDD or 0xFF")
        .arg(QLatin1String(hexByte));
}

QString lengthWrong(const char *hexByte)
{
    return QStringLiteral("The uplink msg's length is wrong.Throw the head is 0x%1.").arg(QLatin1String(hexByte));
}

const QString checksumFailed = QStringLiteral("The msg check checksum failed.");

// status of "Heart Beat Detect", layer 1
const QByteArray good = FrameBuilder::status(0x01, 0x84);
const QString goodOut = QStringLiteral("sig_rcvGapMsg bb0184010000");
// an event with fields, layer 1
const QByteArray other = FrameBuilder::uplink(0xDD, 0x01, 0x02, FrameBuilder::fromHex("01 02 03"));
const QString otherOut = QStringLiteral("sig_rcvGapMsg dd010203000102" "03");

// The framer's output when it is fed without a port.
struct FrameCollector : UplinkFramer::Listener
{
    QList<QByteArray> frames;
    QStringList lines;
    void uplinkFrame(UplinkFramer::Route, const QByteArray &frame) override { frames.append(frame); }
    void framingLog(const QString &text, int) override { lines.append(text); }
};

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void badInput_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");  // sent with a pause between
        QTest::addColumn<bool>("vanish");              // the device goes after the chunks
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QStringList>("logLines");
        QTest::addColumn<int>("pauseMs");   // between the chunks
        QTest::addColumn<int>("withinMs");  // the frames arrive this soon after the last chunk; 0: no limit
        const auto hex = [](const char *text) { return FrameBuilder::fromHex(QLatin1String(text)); };

        QTest::newRow("leading garbage")
            << QList<QByteArray>{hex("00 13 7E") + good} << false << QStringList{goodOut}
            << QStringList{fixHeader("00"), fixHeader("13"), fixHeader("7e")} << 150 << 0;

        // AA is no uplink start; the BB opens a header whose length is absurd
        QTest::newRow("stray AA and BB inside garbage")
            << QList<QByteArray>{hex("01 AA BB 02") + good} << false << QStringList{goodOut}
            << QStringList{fixHeader("01"), fixHeader("aa"), lengthWrong("bb"), fixHeader("02")} << 150 << 0;

        QTest::newRow("many frames in one read")
            << QList<QByteArray>{good + other + good + other + good} << false
            << QStringList{goodOut, otherOut, goodOut, otherOut, goodOut} << QStringList() << 150 << 0;

        QTest::newRow("bad checksum")
            << QList<QByteArray>{hex("BB 01 84 01 00 00 C0") + other} << false << QStringList{otherOut}
            << QStringList{checksumFailed, "Raw Data: bb0184010000", fixHeader("01"), fixHeader("84"),
                           fixHeader("01"), fixHeader("00"), fixHeader("00"), fixHeader("c0")} << 150 << 0;

        QTest::newRow("length over the limit")
            << QList<QByteArray>{hex("BB 01 84 89 13") + good} << false << QStringList{goodOut}
            << QStringList{lengthWrong("bb"), fixHeader("01"), fixHeader("84"), fixHeader("89"), fixHeader("13")} << 150 << 0;

        const QByteArray longest = FrameBuilder::uplink(0xDD, 0x03, 0x28, QByteArray(5000, '\x42'));
        QTest::newRow("length at the limit")
            << QList<QByteArray>{longest} << false
            << QStringList{"sig_rcvGattMsg " + QString::fromLatin1(FrameBuilder::withoutChecksum(longest).toHex())}
            << QStringList() << 150 << 0;

        // The cut-off frame waits for its ten payload bytes; the good frame
        // comes soon enough to complete them, the checksum fails and the reader
        // walks on byte by byte until it finds both good frames.
        QTest::newRow("truncated frame completed by the next frame")
            << QList<QByteArray>{hex("DD 01 02 0A 00 11 22 33"), good, other} << false
            << QStringList{goodOut, otherOut}
            << QStringList{checksumFailed, "Raw Data: dd01020a00112233bb0184010000bf", fixHeader("01"), fixHeader("02"),
                           fixHeader("0a"), fixHeader("00"), fixHeader("11"), fixHeader("22"), fixHeader("33")} << 20 << 0;

        // After a silence the cut-off frame is given up before the good frames come.
        QTest::newRow("truncated frame, silence, good frames")
            << QList<QByteArray>{hex("DD 01 02 0A 00 11 22 33"), good, other} << false
            << QStringList{goodOut, otherOut}
            << QStringList{lengthWrong("dd"), fixHeader("01"), fixHeader("02"), fixHeader("0a"), fixHeader("00"),
                           fixHeader("11"), fixHeader("22"), fixHeader("33")} << 150 << 0;

        // Line noise that looks like a header of 4,000 bytes: an idle dongle
        // would take minutes to send that many, so the header is given up soon
        // after the line goes quiet and the frame behind it is found.
        QTest::newRow("header announcing bytes that never come")
            << QList<QByteArray>{hex("DD 01 02 A0 0F"), good} << false << QStringList{goodOut}
            << QStringList{lengthWrong("dd"), fixHeader("01"), fixHeader("02"), fixHeader("a0"), fixHeader("0f")}
            << 100 << 700;

        // A slow sender is no stall: each byte restarts the wait.
        QList<QByteArray> trickle;
        const QByteArray slow = FrameBuilder::uplink(0xDD, 0x03, 0x28, QByteArray(30, '\x5A'));
        for (int i = 0; i < slow.size(); ++i)
            trickle.append(slow.mid(i, 1));
        QTest::newRow("frame sent one byte every 5 ms")
            << trickle << false
            << QStringList{"sig_rcvGattMsg " + QString::fromLatin1(FrameBuilder::withoutChecksum(slow).toHex())}
            << QStringList() << 5 << 0;

        QTest::newRow("false start hides a true frame")
            << QList<QByteArray>{hex("CC 05 06 02 00") + good + other} << false << QStringList{goodOut, otherOut}
            << QStringList{checksumFailed, "Raw Data: cc05060200bb01", fixHeader("05"), fixHeader("06"),
                           fixHeader("02"), fixHeader("00")} << 150 << 0;

        QTest::newRow("unknown layer")
            << QList<QByteArray>{FrameBuilder::status(0x0C, 0x01)} << false
            << QStringList{"sig_rcvRfuMsg bb0c01010000"} << QStringList() << 150 << 0;

        const QByteArray boot = FrameBuilder::bootFrame(0x23, QByteArray(1, 1));
        QTest::newRow("boot-loader frame, whole with its sum")
            << QList<QByteArray>{boot} << false << QStringList{"sig_rcvDownLoadMsg " + QString::fromLatin1(boot.toHex())}
            << QStringList() << 150 << 0;

        QTest::newRow("boot-loader frame with a bad sum is handed on")
            << QList<QByteArray>{hex("51 4B 23 00 01 00 01 00 00")} << false
            << QStringList{"sig_rcvDownLoadMsg 514b230001000100" "00"} << QStringList() << 150 << 0;

        QTest::newRow("boot-loader length over the limit")
            << QList<QByteArray>{hex("51 4B 23 00 89 13") + good} << false << QStringList{goodOut}
            << QStringList{lengthWrong("51"), fixHeader("4b"), fixHeader("23"), fixHeader("00"), fixHeader("89"),
                           fixHeader("13")} << 150 << 0;

        QTest::newRow("dongle log frame")
            << QList<QByteArray>{FrameBuilder::dongleLog("hello", 0x03)} << false
            << QStringList{"sig_rcvDongleLog ff03000500" + QString::fromLatin1(QByteArray("hello").toHex())}
            << QStringList() << 150 << 0;

        // once in step, the event with its checksum is an ordinary frame
        QTest::newRow("reset event later on")
            << QList<QByteArray>{FrameBuilder::resetEvent() + good} << false
            << QStringList{"sig_rcvCommonMsg cc0002010000", goodOut} << QStringList() << 150 << 0;

        QTest::newRow("a lone byte waits for the next")
            << QList<QByteArray>{good.left(1), good.mid(1)} << false << QStringList{goodOut} << QStringList() << 20 << 0;

        QTest::newRow("a lone byte is given up after a silence")
            << QList<QByteArray>{good.left(1), good.mid(1)} << false << QStringList()
            << QStringList{lengthWrong("bb"), fixHeader("01"), fixHeader("84"), fixHeader("01"), fixHeader("00"),
                           fixHeader("00"), fixHeader("bf")} << 150 << 0;

        QTest::newRow("device vanishing mid-frame")
            << QList<QByteArray>{hex("DD 01 02 0A 00 11 22")} << true << QStringList()
            << QStringList{"Reading %port failed: %reason"} << 150 << 0;
    }

    void badInput()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(bool, vanish);
        QFETCH(QStringList, frames);
        QFETCH(QStringList, logLines);
        QFETCH(int, pauseMs);
        QFETCH(int, withinMs);

        Rig rig;
        // A read failure names the device and the system's reason.
        logLines.replaceInStrings(QStringLiteral("%port"), rig.dongle.portPath());
        logLines.replaceInStrings(QStringLiteral("%reason"), QStringLiteral("read: the device hung up"));
        QVERIFY(rig.openAndSync());
        for (int i = 0; i < chunks.size(); ++i) {
            if (i > 0)
                QTest::qWait(pauseMs);
            rig.dongle.sendRaw(chunks.at(i));
        }
        QElapsedTimer sinceLastChunk;
        sinceLastChunk.start();
        if (vanish) {
            // Before the cut-off frame would be given up.
            QTest::qWait(20);
            rig.dongle.vanish();
        }
        QTRY_VERIFY_WITH_TIMEOUT(rig.uplinks.count() >= frames.size() && rig.recorder->texts().size() >= logLines.size(),
                                 5000);
        if (withinMs > 0)
            QVERIFY2(sinceLastChunk.elapsed() <= withinMs, qPrintable(QString::number(sinceLastChunk.elapsed())));
        QTest::qWait(150);  // and nothing more comes
        QCOMPARE(rig.uplinks.lines(), frames);
        QCOMPARE(rig.recorder->texts(), logLines);
        for (const auto &line : rig.recorder->lines()) {
            const int expectedLevel = line.first.startsWith("Reading ") ? 4 : 1;
            QCOMPARE(line.second, expectedLevel);
        }
        rig.link.closePort();
        QVERIFY(!rig.link.portThread()->isRunning());
    }

    void frameSplitAtEveryOffset()
    {
        Rig rig;
        // The pauses here are the test's own, and a busy machine stretches
        // them; this is about pieces, not about silence.
        rig.link.portThread()->setStallGrace(10000);
        QVERIFY(rig.openAndSync());
        const QByteArray frame = FrameBuilder::uplink(0xDD, 0x04, 0x0A, FrameBuilder::fromHex("00 01 02 03 04 05 06 07 08 09 0A 0B"));
        for (int offset = 1; offset < frame.size(); ++offset) {
            rig.dongle.sendRaw(frame.left(offset));
            QTest::qWait(20);
            QCOMPARE(rig.uplinks.count(), offset - 1);
            rig.dongle.sendRaw(frame.mid(offset));
            QVERIFY(rig.uplinks.waitFor(offset));
        }
        for (const auto &entry : rig.uplinks.entries())
            QCOMPARE(entry.frame, FrameBuilder::withoutChecksum(frame));
        QVERIFY(rig.recorder->texts().isEmpty());
    }

    void streamCutAtRandomKeepsEveryFrame()
    {
        Rig rig;
        QVERIFY(rig.openAndSync());
        QRandomGenerator random(20261209);
        QByteArray stream;
        QStringList expected;
        for (int i = 0; i < 400; ++i) {
            const QByteArray payload(int(random.bounded(0, 300)), char(i));
            const QByteArray frame = FrameBuilder::frame(0xDD, quint8(i % 5), quint8(i), payload);
            stream += FrameBuilder::withChecksum(frame);
            expected.append(QString::fromLatin1(frame.toHex()));
        }
        for (int at = 0; at < stream.size();) {
            const int piece = int(random.bounded(1, 700));
            rig.dongle.sendRaw(stream.mid(at, piece));
            at += piece;
            if (random.bounded(4) == 0)
                QTest::qWait(1);
        }
        QVERIFY(rig.uplinks.waitFor(400, 10000));
        QStringList got;
        for (const auto &entry : rig.uplinks.entries())
            got.append(QString::fromLatin1(entry.frame.toHex()));
        QCOMPARE(got, expected);
        QVERIFY(rig.recorder->texts().isEmpty());
    }

    // The framer by itself, with a clock of its own: when a started frame is given up.
    void stallDeadline_data()
    {
        QTest::addColumn<QByteArray>("first");   // at 0 ms
        QTest::addColumn<QByteArray>("second");  // at 200 ms, if any
        QTest::addColumn<qint64>("deadline");
        // 4001 bytes missing: twice their line time is 173.6 ms
        QTest::newRow("header of 4000 bytes") << FrameBuilder::fromHex("DD 01 02 A0 0F") << QByteArray() << qint64(100 + 174);
        QTest::newRow("late bytes restart the wait")
            << FrameBuilder::fromHex("DD 01 02 A0 0F") << QByteArray(1000, '\x11') << qint64(200 + 100 + 131);
        QTest::newRow("header cut short") << FrameBuilder::fromHex("BB 01") << QByteArray() << qint64(100 + 1);
        QTest::newRow("boot-loader header of 5000 bytes")
            << FrameBuilder::fromHex("51 4B 23 00 88 13") << QByteArray() << qint64(100 + 218);
    }

    void stallDeadline()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(qint64, deadline);
        FrameCollector collect;
        UplinkFramer framer(&collect);
        framer.parse(FrameBuilder::fromHex("CC 00 02 01 00 00") + first, 0);
        if (!second.isEmpty())
            framer.parse(second, 200);
        QCOMPARE(framer.stallDeadline(), deadline);
        const qint64 queued = framer.queuedBytes();

        framer.timePassed(deadline - 1);
        QCOMPARE(framer.queuedBytes(), queued);
        QVERIFY(collect.lines.isEmpty());

        framer.timePassed(deadline);
        QCOMPARE(framer.queuedBytes(), qint64(0));
        QCOMPARE(framer.stallDeadline(), qint64(-1));
        // Every byte is given up; the first ones get a line each, the rest are counted.
        const int detailed = int(qMin<qint64>(queued, UplinkFramer::DetailedLinesPerStretch));
        QCOMPARE(collect.lines.size(), detailed);
        QCOMPARE(collect.lines.first(), lengthWrong(first.toHex().left(2).constData()));
        QCOMPARE(collect.frames.size(), 1);  // the reset event only

        // bytes that come after a stall start afresh, and end the run of skipped ones
        framer.parse(good, deadline + 1000);
        QCOMPARE(collect.frames.size(), 2);
        if (queued > detailed) {
            QCOMPARE(collect.lines.size(), detailed + 1);
            QVERIFY2(collect.lines.last().startsWith(QStringLiteral("Skipped %1 bytes").arg(queued - detailed)),
                     qPrintable(collect.lines.last()));
        }
    }

    // A dropped frame is shown cut, with its whole length; the bytes after it
    // get lines of their own up to a bound, then one line per run.
    void longNoiseIsLoggedBounded()
    {
        FrameCollector collect;
        UplinkFramer framer(&collect);
        const QByteArray header = FrameBuilder::fromHex("DD 01 02 2C 01");
        const QByteArray frame = header + QByteArray(300, '\x42');
        framer.parse(FrameBuilder::fromHex("CC 00 02 01 00 00") + frame + '\x00', 0);
        QVERIFY(collect.lines.size() >= 2);
        QCOMPARE(collect.lines.at(0), checksumFailed);
        QCOMPARE(collect.lines.at(1),
                 "Raw Data: " + QString::fromLatin1(frame.left(UplinkFramer::RawDataShownBytes).toHex()) + "... (305 bytes)");
        QCOMPARE(collect.lines.size(), UplinkFramer::DetailedLinesPerStretch + 1);
        framer.flushSkipped();
        // The last byte waits for a second one to be judged with.
        const int skipped = frame.size() - UplinkFramer::DetailedLinesPerStretch;
        QCOMPARE(collect.lines.last(), QStringLiteral("Skipped %1 bytes that start no uplink msg, the first: 42 42 42 42 42 "
                                                      "42 42 42 42 42 42 42 42 42 42 42").arg(skipped));
        framer.flushSkipped();
        QCOMPARE(collect.lines.size(), UplinkFramer::DetailedLinesPerStretch + 2);
    }

    // A reader that was held up reads late what came in time: no stall.
    void bytesReadLateAreNoSilence()
    {
        FrameCollector collect;
        UplinkFramer framer(&collect);
        framer.parse(FrameBuilder::fromHex("CC 00 02 01 00 00") + good.left(2), 0);
        framer.parse(good.mid(2), 5000);
        QCOMPARE(collect.frames.size(), 2);
        QCOMPARE(collect.frames.last(), FrameBuilder::withoutChecksum(good));
        QVERIFY(collect.lines.isEmpty());
    }

    // The framer by itself, for what needs no port: the wait for the reset event.
    void waitsForTheResetEvent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("state");
        QTest::newRow("noise then the event") << FrameBuilder::fromHex("00 11 CC 00 02 01 00 00") << 1 << int(UplinkFramer::FrameStart);
        QTest::newRow("frames before the event are dropped") << good + other << 0 << int(UplinkFramer::WaitReset);
        QTest::newRow("event with a wrong byte") << FrameBuilder::fromHex("CC 00 02 01 00 01") << 0 << int(UplinkFramer::WaitReset);
        QTest::newRow("event in the middle") << good + FrameBuilder::fromHex("CC 00 02 01 00 00") + good << 2 << int(UplinkFramer::FrameStart);
    }

    void waitsForTheResetEvent()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, frames);
        QFETCH(int, state);
        FrameCollector collect;
        UplinkFramer framer(&collect);
        framer.parse(bytes, 0);
        QCOMPARE(collect.frames.size(), frames);
        QCOMPARE(int(framer.state()), state);
        if (frames > 0)
            QCOMPARE(collect.frames.first(), FrameBuilder::fromHex("CC 00 02 01 00 00"));
        if (state == UplinkFramer::WaitReset)
            QVERIFY(collect.lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
