#include "gattbatch.h"

#include <QtTest>

// A GATT page's batch: a batch nothing is heard of ends through its
// watchdog, and only a running one.
class TestGattBatch : public QObject
{
    Q_OBJECT

private slots:
    void silence_data();
    void silence();
};

namespace {

const QString DiscoverAll = QStringLiteral("Discover All Attributes"); // 03@29

} // namespace

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
