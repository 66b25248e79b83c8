#include "framebuilder.h"
#include "linepacer.h"
#include "linkrig.h"

#include <QElapsedTimer>
#include <QtTest/QtTest>

// The simulated dongle's line-rate mode must not be faster than the serial
// line in either direction (it may be slower on a loaded machine).
class TestLineRate : public QObject
{
    Q_OBJECT

private slots:
    void uplinkBytesTakeTheirWireTime();
    void downlinkFramesAreHandledAfterTheirWireTime();
    void pacerGivesNoMoreThanTheRate();
};

void TestLineRate::uplinkBytesTakeTheirWireTime()
{
    LinkRig rig(QStringLiteral("line-rate"), 5);
    QVERIFY(rig.openAndSync());
    rig.dongle.setLineRate(true);
    const QByteArray log(1000, 'x');
    QElapsedTimer clock;
    clock.start();
    const int before = rig.uplinks.count();
    for (int i = 0; i < 4; ++i)
        rig.dongle.sendDongleLog(log);
    QVERIFY(rig.uplinks.waitFor(before + 4, 10000));
    const qint64 wireMs = 4 * (log.size() + 6) * 1000 / LinePacer::SerialLineRate;
    QVERIFY2(clock.elapsed() >= wireMs * 9 / 10, qPrintable(QString::number(clock.elapsed())));
    // Everything arrived, in order and whole.
    for (int i = 0; i < 4; ++i)
        QCOMPARE(rig.uplinks.entries().at(before + i).frame.mid(5), log);
}

void TestLineRate::downlinkFramesAreHandledAfterTheirWireTime()
{
    LinkRig rig(QStringLiteral("line-rate"), 5);
    QVERIFY(rig.openAndSync());
    rig.dongle.setLineRate(true);
    rig.dongle.clearReceived();
    const QByteArray payload(2300, 'y');
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(rig.link.sendMsg(FrameBuilder::frame(0xAA, 0x04, 0x03, payload)), 0);
    QVERIFY(rig.dongle.waitForFrames(1, 10000));
    QVERIFY(clock.elapsed() >= (payload.size() + 6) * 1000 / LinePacer::SerialLineRate * 9 / 10);
    QCOMPARE(rig.dongle.receivedFrames().first().bytes.mid(5, payload.size()), payload);
}

void TestLineRate::pacerGivesNoMoreThanTheRate()
{
    LinePacer pacer(10000, 50);
    QElapsedTimer clock;
    clock.start();
    qint64 taken = 0;
    while (clock.elapsed() < 200)
        taken += pacer.take(1000);
    // 200 ms at 10000 B/s, plus at most one burst.
    QVERIFY2(taken <= 2000 + 50 + 10, qPrintable(QString::number(taken)));
    QVERIFY(taken >= 1500);
}

QTEST_MAIN(TestLineRate)
#include "tst_linerate.moc"
