#include "sdusender.h"

#include <QtTest/QtTest>

class TestSduSender : public QObject
{
    Q_OBJECT

private slots:
    void cutting_data();
    void cutting();
    void onlyTheReportedHeadLeaves();
    void creditHoldResendsTheHeadOnce();
    void clearDropsQueueAndHold();
    void creditFormulas_data();
    void creditFormulas();
    void automaticReturnWaitsForItsResult();
};

void TestSduSender::cutting_data()
{
    QTest::addColumn<quint32>("mtu");
    QTest::addColumn<int>("dataLength");
    QTest::addColumn<QList<int>>("lengths");

    QTest::newRow("three bytes, MTU 2") << 2u << 3 << QList<int>{2, 1};
    QTest::newRow("exactly twice the MTU") << 4u << 8 << QList<int>{4, 4};
    QTest::newRow("less than the MTU") << 23u << 5 << QList<int>{5};
    QTest::newRow("empty data") << 23u << 0 << QList<int>{};
    QTest::newRow("MTU 0 cuts nothing") << 0u << 10 << QList<int>{};
    QTest::newRow("MTU above a frame's room") << 65535u << 65535 << QList<int>{65530, 5};
}

void TestSduSender::cutting()
{
    QFETCH(quint32, mtu);
    QFETCH(int, dataLength);
    QFETCH(QList<int>, lengths);

    QByteArray data(dataLength, '\0');
    for (int i = 0; i < dataLength; ++i)
        data[i] = char(i);
    SduSender sender;
    sender.setPeerMtu(mtu);
    QCOMPARE(sender.enqueue(data), lengths.size());
    QCOMPARE(sender.queuedCount(), lengths.size());

    QByteArray joined;
    for (int length : lengths) {
        QCOMPARE(sender.head().size(), length);
        joined += sender.head();
        QCOMPARE(sender.headSent(), length);
    }
    QVERIFY(sender.isEmpty());
    QCOMPARE(joined, lengths.isEmpty() ? QByteArray() : data);
}

void TestSduSender::onlyTheReportedHeadLeaves()
{
    SduSender sender;
    sender.setPeerMtu(2);
    sender.enqueue(QByteArray::fromHex("010203"));
    // A second transfer queues behind the first.
    sender.enqueue(QByteArray::fromHex("04"));
    QCOMPARE(sender.head(), QByteArray::fromHex("0102"));
    QCOMPARE(sender.queuedBytes(), qint64(4));
    QCOMPARE(sender.headSent(), 2);
    QCOMPARE(sender.head(), QByteArray::fromHex("03"));
    QCOMPARE(sender.headSent(), 1);
    QCOMPARE(sender.headSent(), 1);
    QCOMPARE(sender.headSent(), -1);
}

void TestSduSender::creditHoldResendsTheHeadOnce()
{
    SduSender sender;
    sender.setPeerMtu(8);
    QVERIFY(!sender.resumeAfterCredit()); // a grant without a hold does nothing
    sender.enqueue(QByteArray(12, 'x'));
    sender.holdForCredit();
    QVERIFY(sender.isHeldForCredit());
    QCOMPARE(sender.head().size(), 8);
    QVERIFY(sender.resumeAfterCredit());
    QVERIFY(!sender.isHeldForCredit());
    QVERIFY(!sender.resumeAfterCredit());
    QCOMPARE(sender.queuedCount(), 2);

    // A hold with nothing queued stays, and nothing is resent.
    SduSender idle;
    idle.holdForCredit();
    QVERIFY(!idle.resumeAfterCredit());
    QVERIFY(idle.isHeldForCredit());
}

void TestSduSender::clearDropsQueueAndHold()
{
    SduSender sender;
    sender.setPeerMtu(1);
    sender.enqueue(QByteArray(5, 'x'));
    sender.holdForCredit();
    sender.clear();
    QVERIFY(sender.isEmpty());
    QVERIFY(!sender.isHeldForCredit());
    QCOMPARE(sender.enqueue(QByteArray(1, 'y')), 1);
    QCOMPARE(sender.head(), QByteArray(1, 'y'));
}

void TestSduSender::creditFormulas_data()
{
    QTest::addColumn<quint32>("granted");
    QTest::addColumn<quint32>("mtu");
    QTest::addColumn<quint32>("mps");
    QTest::addColumn<quint32>("minimum");
    QTest::addColumn<quint32>("initial");

    QTest::newRow("23/23, 255 granted") << 255u << 23u << 23u << 3u << 255u;
    QTest::newRow("23/23, none granted") << 0u << 23u << 23u << 3u << 3u;
    QTest::newRow("2048/23, 10 granted") << 10u << 2048u << 23u << 91u << 91u;
    QTest::newRow("247/64, 10 granted") << 10u << 247u << 64u << 5u << 10u;
    QTest::newRow("MPS 0") << 7u << 23u << 0u << 0u << 7u;
}

void TestSduSender::creditFormulas()
{
    QFETCH(quint32, granted);
    QFETCH(quint32, mtu);
    QFETCH(quint32, mps);
    QFETCH(quint32, minimum);
    QFETCH(quint32, initial);
    QCOMPARE(CreditReturn::minimumCredits(mtu, mps), minimum);
    QCOMPARE(CreditReturn::initialCredits(granted, mtu, mps), initial);
}

void TestSduSender::automaticReturnWaitsForItsResult()
{
    CreditReturn credits;
    QCOMPARE(CreditReturn::creditsToReturn(10, 4), 4u);
    QCOMPARE(CreditReturn::creditsToReturn(3, 4), 3u);
    QVERIFY(!credits.isDue(5, 5));
    QVERIFY(credits.isDue(3, 5));
    // A return the link refused is not sent(): the next SDU tries again.
    QVERIFY(credits.isDue(2, 5));
    credits.sent();
    QVERIFY(!credits.isDue(1, 5));
    // Any result, good or bad, ends the wait.
    credits.resultArrived();
    QVERIFY(credits.isDue(1, 5));
}

QTEST_APPLESS_MAIN(TestSduSender)
#include "tst_sdusender.moc"
