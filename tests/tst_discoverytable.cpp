#include "discoverytable.h"
#include "devicestablemodel.h"
#include "logmanager.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {

// A distinct 6-byte address for each number.
QByteArray addressOf(int number)
{
    QByteArray addr(6, char(0x5A));
    addr[0] = char(number & 0xFF);
    addr[1] = char((number >> 8) & 0xFF);
    return addr;
}

DeviceRecord device(const QByteArray &addr, quint8 type = 1, quint8 connected = 0)
{
    DeviceRecord record;
    record.insert(QStringLiteral("device"), QByteArrayLiteral("Peer Device"));
    record.insert(QStringLiteral("addr"), addr);
    record.insert(QStringLiteral("addr_type"), QByteArray(1, char(type)));
    record.insert(QStringLiteral("adv_type"), QByteArray(1, char(0x03)));
    record.insert(QStringLiteral("rssi"), QByteArray(1, char(0xC4)));
    record.insert(QStringLiteral("connected"), QByteArray(1, char(connected)));
    return record;
}

} // namespace

class TestDiscoveryTable : public QObject
{
    Q_OBJECT

private slots:
    void addAndFind_data();
    void addAndFind();
    void updateKeepsTheRow();
    void rowsEmptiedBehindTheTable();
    void evictionAtTheLimit_data();
    void evictionAtTheLimit();
};

void TestDiscoveryTable::addAndFind_data()
{
    QTest::addColumn<QByteArray>("addr");
    QTest::addColumn<quint8>("type");

    QTest::newRow("public") << addressOf(7) << quint8(0);
    QTest::newRow("random") << addressOf(7) << quint8(1);
    QTest::newRow("another address") << addressOf(300) << quint8(1);
    // Sizes the parser never gives are still found, by walking the rows.
    QTest::newRow("short address") << QByteArray::fromHex("0102") << quint8(1);
}

// New devices get a row each; a device is found by its address and type
// together, never by the address alone.
void TestDiscoveryTable::addAndFind()
{
    QFETCH(QByteArray, addr);
    QFETCH(quint8, type);

    DiscoveryTable table(nullptr);
    QAbstractItemModelTester tester(table.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int n = 0; n < 5; ++n)
        QVERIFY(!table.add(device(addressOf(n)), nullptr));
    QCOMPARE(table.find(addr, QByteArray(1, char(type))), -1);
    QVERIFY(!table.add(device(addr, type), nullptr));
    QCOMPARE(table.rows().size(), 6);
    QCOMPARE(table.model()->rowCount(), 6);
    QCOMPARE(table.find(addr, QByteArray(1, char(type))), 5);
    QCOMPARE(table.find(addr, QByteArray(1, char(type ^ 1))), -1);
    for (int n = 0; n < 5; ++n)
        QCOMPARE(table.find(addressOf(n), QByteArray(1, char(1))), n);
}

// A report of a known device changes its row in place.
void TestDiscoveryTable::updateKeepsTheRow()
{
    DiscoveryTable table(nullptr);
    QSignalSpy changed(table.model(), &QAbstractItemModel::dataChanged);
    for (int n = 0; n < 4; ++n)
        table.add(device(addressOf(n)), nullptr);
    const int row = table.find(addressOf(2), QByteArray(1, char(1)));
    QCOMPARE(row, 2);
    DeviceRecord record = table.take(row);
    record.insert(QStringLiteral("rssi"), QByteArray(1, char(0xB0)));
    table.update(row, record);
    QCOMPARE(table.rows().size(), 4);
    QCOMPARE(table.find(addressOf(2), QByteArray(1, char(1))), 2);
    QCOMPARE(table.rows().at(2).value(QStringLiteral("rssi")), QByteArray(1, char(0xB0)));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 2);
}

// The page's reset empties the model alone; the index must not find rows
// that are gone, and new devices start from the top again.
void TestDiscoveryTable::rowsEmptiedBehindTheTable()
{
    DiscoveryTable table(nullptr);
    for (int n = 0; n < 4; ++n)
        table.add(device(addressOf(n)), nullptr);
    table.model()->clear();
    QCOMPARE(table.find(addressOf(3), QByteArray(1, char(1))), -1);
    table.add(device(addressOf(3)), nullptr);
    QCOMPARE(table.find(addressOf(3), QByteArray(1, char(1))), 0);

    table.add(device(addressOf(9)), nullptr);
    table.clear();
    QCOMPARE(table.rows().size(), 0);
    QCOMPARE(table.find(addressOf(9), QByteArray(1, char(1))), -1);
    table.add(device(addressOf(9)), nullptr);
    QCOMPARE(table.find(addressOf(9), QByteArray(1, char(1))), 0);
}

void TestDiscoveryTable::evictionAtTheLimit_data()
{
    QTest::addColumn<QVector<int>>("seenAgain");
    QTest::addColumn<QVector<int>>("connecting"); // 1: connecting, the rest connected
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("searchMatch");
    QTest::addColumn<QVector<int>>("removed");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<int>("searchMatchAfter");

    // A limit of 200 lets two rows go at once.
    QTest::newRow("oldest first") << QVector<int>{} << QVector<int>{} << -1 << -1 << QVector<int>{0, 1} << -1 << -1;
    QTest::newRow("rows seen again stay")
        << QVector<int>{0, 2} << QVector<int>{} << -1 << -1 << QVector<int>{1, 3} << -1 << -1;
    QTest::newRow("connecting and connected devices stay")
        << QVector<int>{} << QVector<int>{0, 1} << -1 << -1 << QVector<int>{2, 3} << -1 << -1;
    QTest::newRow("the current row stays") << QVector<int>{} << QVector<int>{} << 0 << -1 << QVector<int>{1, 2}
                                           << 0 << -1;
    QTest::newRow("the current row moves up") << QVector<int>{} << QVector<int>{} << 50 << -1 << QVector<int>{0, 1}
                                              << 48 << -1;
    QTest::newRow("the search's match moves up") << QVector<int>{} << QVector<int>{} << -1 << 20
                                                 << QVector<int>{0, 1} << -1 << 18;
    QTest::newRow("both between the rows that leave")
        << QVector<int>{0, 1, 3} << QVector<int>{} << 4 << 6 << QVector<int>{2, 5} << 3 << 4;
    QTest::newRow("rows before them all stay")
        << QVector<int>{} << QVector<int>{} << 199 << 198 << QVector<int>{0, 1} << 197 << 196;
}

// A full table lets the devices seen longest ago go before a new one comes;
// the devices the user works with stay, the view's and the search's rows
// follow their devices, and the index finds every row where it now is.
void TestDiscoveryTable::evictionAtTheLimit()
{
    QFETCH(QVector<int>, seenAgain);
    QFETCH(QVector<int>, connecting);
    QFETCH(int, current);
    QFETCH(int, searchMatch);
    QFETCH(QVector<int>, removed);
    QFETCH(int, currentAfter);
    QFETCH(int, searchMatchAfter);

    const int limit = 200;
    DiscoveryTable table(nullptr);
    table.model()->setRowLimit(limit);
    for (int n = 0; n < limit; ++n) {
        const quint8 state = connecting.contains(n) ? quint8(n == 1 ? 1 : 2) : quint8(0);
        DiscoveryTable::HeldRows held;
        QVERIFY(!table.add(device(addressOf(n), 1, state), &held));
    }
    for (const int row : seenAgain)
        table.update(row, table.take(row));
    const QVector<DeviceRecord> before = table.rows();

    DiscoveryTable::HeldRows held;
    held.current = current;
    held.searchMatch = searchMatch;
    QVERIFY(table.add(device(addressOf(limit)), &held));

    QCOMPARE(held.current, currentAfter);
    QCOMPARE(held.searchMatch, searchMatchAfter);
    QCOMPARE(table.rows().size(), limit - removed.size() + 1);
    QCOMPARE(table.model()->rowCount(), table.rows().size());
    const QByteArray type(1, char(1));
    for (int row = 0; row < limit; ++row) {
        const QByteArray addr = before.at(row).value(QStringLiteral("addr"));
        const int now = table.find(addr, type);
        if (removed.contains(row)) {
            QCOMPARE(now, -1);
            continue;
        }
        QVERIFY(now >= 0);
        QCOMPARE(table.rows().at(now).value(QStringLiteral("addr")), addr);
        if (row == current)
            QCOMPARE(now, currentAfter);
        if (row == searchMatch)
            QCOMPARE(now, searchMatchAfter);
    }
    QCOMPARE(table.find(addressOf(limit), type), table.rows().size() - 1);
    // A device that left comes back as a new row.
    if (!removed.isEmpty()) {
        table.add(device(before.at(removed.first()).value(QStringLiteral("addr"))), nullptr);
        QCOMPARE(table.find(before.at(removed.first()).value(QStringLiteral("addr")), type),
                 table.rows().size() - 1);
    }
}

QTEST_MAIN(TestDiscoveryTable)
#include "tst_discoverytable.moc"
