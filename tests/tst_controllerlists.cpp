#include "controllerlists.h"
#include "devicelistmodel.h"
#include "deviceperiodiclistmodel.h"
#include "devicerpalistmodel.h"

#include <QtTest>

Q_DECLARE_METATYPE(ControllerLists::Pending)
Q_DECLARE_METATYPE(ControllerLists::List)

namespace {

DeviceListEntry entry(int n, bool periodic = false)
{
    DeviceListEntry e;
    e.addr = QByteArray(6, char(0x10 + n));
    e.addrType = QByteArray(1, char(n % 2));
    if (periodic)
        e.advSid = QByteArray(1, char(n));
    return e;
}

bool periodicKind(ControllerLists::Pending kind)
{
    return kind == ControllerLists::AddPeriodic || kind == ControllerLists::DeletePeriodic;
}

// The entries of the list a request changes.
int countOf(const ControllerLists &lists, ControllerLists::Pending kind)
{
    switch (kind) {
    case ControllerLists::AddWhite:
    case ControllerLists::DeleteWhite:
        return lists.whiteList()->deviceCount();
    case ControllerLists::DeleteBond:
        return lists.bondList()->deviceCount();
    case ControllerLists::AddPeriodic:
    case ControllerLists::DeletePeriodic:
        return lists.periodicList()->deviceCount();
    }
    return -1;
}

// Records as the get-list answers carry them.
QByteArray records(ControllerLists::List list, int count)
{
    QByteArray payload;
    for (int n = 0; n < count; ++n) {
        const DeviceListEntry e = entry(n, list == ControllerLists::PeriodicList);
        if (list == ControllerLists::ResolvingList)
            payload += e.addr + e.addrType + QByteArray(1, char(0)) + QByteArray(16, char(n)) + QByteArray(16, char(n));
        else
            payload += e.addr + e.addrType + e.advSid;
    }
    return payload;
}

int countOf(const ControllerLists &lists, ControllerLists::List list)
{
    switch (list) {
    case ControllerLists::WhiteList:
        return lists.whiteList()->deviceCount();
    case ControllerLists::BondList:
        return lists.bondList()->deviceCount();
    case ControllerLists::PeriodicList:
        return lists.periodicList()->deviceCount();
    case ControllerLists::ResolvingList:
        return lists.resolvingList()->devices().size();
    }
    return -1;
}

} // namespace

class TestControllerLists : public QObject
{
    Q_OBJECT

private slots:
    void answer_data();
    void answer();
    void answersGoToTheOldestRequest();
    void take_data();
    void take();
};

void TestControllerLists::answer_data()
{
    QTest::addColumn<ControllerLists::Pending>("kind");
    QTest::addColumn<int>("listed");   // entries the list holds first (the request's own among them)
    QTest::addColumn<bool>("expected"); // a request is waiting
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("count");

    QTest::newRow("white add accepted") << ControllerLists::AddWhite << 0 << true << 0 << true << 1;
    QTest::newRow("white add refused") << ControllerLists::AddWhite << 0 << true << 0x12 << true << 0;
    QTest::newRow("white delete accepted") << ControllerLists::DeleteWhite << 2 << true << 0 << true << 1;
    QTest::newRow("white delete of an entry it lacks") << ControllerLists::DeleteWhite << 0 << true << 0 << false << 0;
    QTest::newRow("bond delete accepted") << ControllerLists::DeleteBond << 1 << true << 0 << true << 0;
    QTest::newRow("bond delete refused") << ControllerLists::DeleteBond << 1 << true << 0x0C << true << 1;
    QTest::newRow("periodic add accepted") << ControllerLists::AddPeriodic << 0 << true << 0 << true << 1;
    QTest::newRow("periodic delete accepted") << ControllerLists::DeletePeriodic << 1 << true << 0 << true << 0;
    QTest::newRow("a status nobody asked for") << ControllerLists::AddWhite << 0 << false << 0 << false << 0;
}

// An accepted status changes the list with the request's entry, a refused
// one leaves it; a change the list cannot make is reported.
void TestControllerLists::answer()
{
    QFETCH(ControllerLists::Pending, kind);
    QFETCH(int, listed);
    QFETCH(bool, expected);
    QFETCH(int, status);
    QFETCH(bool, taken);
    QFETCH(int, count);

    ControllerLists lists(nullptr);
    const bool periodic = periodicKind(kind);
    const ControllerLists::List list = kind == ControllerLists::DeleteBond ? ControllerLists::BondList
        : periodic                                                          ? ControllerLists::PeriodicList
                                                                            : ControllerLists::WhiteList;
    QVERIFY(lists.take(list, records(list, listed)));
    if (expected)
        lists.expect(kind, entry(0, periodic));
    QCOMPARE(lists.answer(kind, uchar(status)), taken);
    QCOMPARE(countOf(lists, kind), count);
}

// Each status answers the oldest request of its kind, refused or not.
void TestControllerLists::answersGoToTheOldestRequest()
{
    ControllerLists lists(nullptr);
    lists.expect(ControllerLists::AddWhite, entry(1));
    lists.expect(ControllerLists::AddPeriodic, entry(3, true));
    lists.expect(ControllerLists::AddWhite, entry(2));
    QVERIFY(lists.answer(ControllerLists::AddWhite, 0x07));
    QVERIFY(lists.answer(ControllerLists::AddWhite, 0));
    QCOMPARE(lists.whiteList()->devices(), QVector<DeviceListEntry>{entry(2)});
    QCOMPARE(lists.periodicList()->deviceCount(), 0);

    // Forgotten requests (the dongle was reset) take no later status.
    lists.expect(ControllerLists::AddWhite, entry(4));
    lists.forgetPending();
    QVERIFY(!lists.answer(ControllerLists::AddWhite, 0));
    QCOMPARE(lists.whiteList()->deviceCount(), 1);
}

void TestControllerLists::take_data()
{
    QTest::addColumn<ControllerLists::List>("list");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<int>("count");

    for (const ControllerLists::List list : {ControllerLists::WhiteList, ControllerLists::BondList,
                                             ControllerLists::PeriodicList, ControllerLists::ResolvingList}) {
        const QByteArray name = QByteArray::number(int(list));
        QTest::newRow(name + ": three") << list << records(list, 3) << true << 3;
        QTest::newRow(name + ": empty") << list << QByteArray() << true << 0;
        // The list the user sees stays as it was.
        QTest::newRow(name + ": a cut record") << list << records(list, 2).chopped(1) << false << 1;
    }
}

// A get-list answer replaces the list; one that does not read whole keeps it.
void TestControllerLists::take()
{
    QFETCH(ControllerLists::List, list);
    QFETCH(QByteArray, payload);
    QFETCH(bool, whole);
    QFETCH(int, count);

    ControllerLists lists(nullptr);
    QVERIFY(lists.take(list, records(list, 1)));
    QCOMPARE(lists.take(list, payload), whole);
    QCOMPARE(countOf(lists, list), count);
    lists.clear(list);
    QCOMPARE(countOf(lists, list), 0);
}

QTEST_MAIN(TestControllerLists)
#include "tst_controllerlists.moc"
