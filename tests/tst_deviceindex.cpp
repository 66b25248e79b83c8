#include "deviceindex.h"

#include <QtTest>

namespace {

// Keys alike in all but a few bits, as the addresses of one maker are.
quint64 keyOf(int n)
{
    return (quint64(n % 3) << 48) | (quint64(n / 3) << 8) | 0xC0;
}

} // namespace

class TestDeviceIndex : public QObject
{
    Q_OBJECT

private slots:
    void findsEveryRow_data();
    void findsEveryRow();
    void removedRowsMoveTheOthersUp();
};

void TestDeviceIndex::findsEveryRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("unkeyedEvery"); // 0: none

    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("one") << 1 << 0;
    QTest::newRow("growing past many sizes") << 20000 << 0;
    QTest::newRow("rows without a key") << 3000 << 7;
}

void TestDeviceIndex::findsEveryRow()
{
    QFETCH(int, rows);
    QFETCH(int, unkeyedEvery);

    DeviceIndex index;
    QCOMPARE(index.find(keyOf(0)), -1);
    for (int row = 0; row < rows; ++row) {
        if (unkeyedEvery && row % unkeyedEvery == 0)
            index.appendUnkeyed();
        else
            index.append(keyOf(row));
    }
    QCOMPARE(index.size(), rows);
    for (int row = 0; row < rows; ++row)
        QCOMPARE(index.find(keyOf(row)), unkeyedEvery && row % unkeyedEvery == 0 ? -1 : row);
    QCOMPARE(index.find(keyOf(rows)), -1);
    QCOMPARE(index.find(~quint64(0)), -1);

    index.clear();
    QCOMPARE(index.size(), 0);
    QCOMPARE(index.find(keyOf(0)), -1);
    index.reserve(rows);
    index.append(keyOf(5));
    QCOMPARE(index.find(keyOf(5)), 0);
}

void TestDeviceIndex::removedRowsMoveTheOthersUp()
{
    DeviceIndex index;
    for (int row = 0; row < 1000; ++row)
        index.append(keyOf(row));
    const QVector<int> removed{0, 1, 2, 500, 998};
    index.removeRows(removed);
    QCOMPARE(index.size(), 995);
    int expected = 0;
    for (int row = 0; row < 1000; ++row) {
        if (removed.contains(row)) {
            QCOMPARE(index.find(keyOf(row)), -1);
            continue;
        }
        QCOMPARE(index.find(keyOf(row)), expected++);
    }
    index.append(keyOf(0));
    QCOMPARE(index.find(keyOf(0)), 995);
}

QTEST_MAIN(TestDeviceIndex)
#include "tst_deviceindex.moc"
