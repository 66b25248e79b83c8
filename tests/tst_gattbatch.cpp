#include "framebuilder.h"
#include "gattbatch.h"

#include <QtTest>

// A GATT page's batch: acknowledgements carry no connection index, so the
// batch takes only its own command's, and only as many as it sent; a batch
// nothing is heard of ends through its watchdog, and only a running one.
class TestGattBatch : public QObject
{
    Q_OBJECT

private slots:
    void acknowledgements_data();
    void acknowledgements();
    void silence_data();
    void silence();
};

namespace {

const QString ReadLong = QStringLiteral("Read Long Characteristic Value"); // 03@12
const QString DiscoverAll = QStringLiteral("Discover All Attributes");     // 03@29

// As the link hands frames on: no checksum.
QByteArray ackOfReadLong(quint8 status = 0)
{
    return FrameBuilder::frame(0xBB, 0x03, 0x12, QByteArray(1, char(status)));
}

} // namespace

void TestGattBatch::acknowledgements_data()
{
    QTest::addColumn<int>("requests");               // of "Read Long Characteristic Value"
    QTest::addColumn<bool>("running");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QList<int>>("taken");           // status taken per frame, -1 for none

    const QByteArray other = FrameBuilder::frame(0xBB, 0x03, 0x29, QByteArray(1, '\0'));
    QTest::newRow("as many as sent") << 2 << true
                                     << QList<QByteArray>{ackOfReadLong(), ackOfReadLong(), ackOfReadLong()}
                                     << QList<int>{0, 0, -1};
    QTest::newRow("a refusal gives its status") << 1 << true << QList<QByteArray>{ackOfReadLong(0x06)}
                                                << QList<int>{6};
    QTest::newRow("another command's is not the batch's") << 1 << true << QList<QByteArray>{other, ackOfReadLong()}
                                                          << QList<int>{-1, 0};
    QTest::newRow("a result is not an acknowledgement")
        << 1 << true << QList<QByteArray>{FrameBuilder::frame(0xDD, 0x03, 0x12, QByteArray::fromHex("00")),
                                          ackOfReadLong()}
        << QList<int>{-1, 0};
    QTest::newRow("an acknowledgement of more than one byte reads as success")
        << 1 << true << QList<QByteArray>{FrameBuilder::frame(0xBB, 0x03, 0x12, QByteArray::fromHex("0506"))}
        << QList<int>{0};
    QTest::newRow("nothing sent, nothing taken") << 0 << true << QList<QByteArray>{ackOfReadLong()}
                                                 << QList<int>{-1};
    QTest::newRow("no batch running") << 1 << false << QList<QByteArray>{ackOfReadLong()} << QList<int>{-1};
}

void TestGattBatch::acknowledgements()
{
    QFETCH(int, requests);
    QFETCH(bool, running);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QList<int>, taken);

    GattBatch batch(10000, [] {});
    batch.begin(GattBatch::Reads);
    for (int i = 0; i < requests; ++i)
        batch.requestSent(ReadLong);
    if (!running)
        batch.finish();
    QCOMPARE(batch.isRunning(), running);
    for (int i = 0; i < frames.size(); ++i) {
        const std::optional<quint8> status = batch.takeAcknowledgement(frames.at(i));
        QCOMPARE(status ? int(*status) : -1, taken.at(i));
    }
}

void TestGattBatch::silence_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("silences");

    QTest::newRow("nothing heard") << "" << 1;
    QTest::newRow("finished before") << "finish" << 0;
    QTest::newRow("continued as another kind") << "continue" << 1;
}

void TestGattBatch::silence()
{
    QFETCH(QString, how);
    QFETCH(int, silences);

    int silent = 0;
    GattBatch batch(50, [&silent] { ++silent; });
    batch.begin(GattBatch::Writes);
    batch.requestSent(DiscoverAll);
    QCOMPARE(batch.command(), DiscoverAll);
    if (how == QLatin1String("finish"))
        batch.finish();
    else if (how == QLatin1String("continue"))
        batch.continueAs(GattBatch::Reads);
    QTest::qWait(250);
    QCOMPARE(silent, silences);
    // The watchdog is single-shot: a batch left running is told once.
    QTest::qWait(150);
    QCOMPARE(silent, silences);
}

QTEST_MAIN(TestGattBatch)
#include "tst_gattbatch.moc"
