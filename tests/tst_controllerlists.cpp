#include "controllerlists.h"
#include "devicelistmodel.h"
#include "deviceperiodiclistmodel.h"
#include "devicerpalistmodel.h"

#include <QtTest>

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
    void take_data();
    void take();
};

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
