#include "uplinkmsghalftablemodel.h"
#include "uplinkmsgtablemodel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QIcon>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {
using Items = QVector<QPair<QString, bool>>;

Items makeItems(int count, quint64 mask)
{
    Items items;
    for (int i = 0; i < count; ++i)
        items.append({QStringLiteral("bit %1").arg(i), ((mask >> i) & 1) != 0});
    return items;
}

bool hasIcon(const QVariant &value)
{
    return value.isValid() && value.canConvert<QIcon>();
}
}

class TestBitMaskModels : public QObject
{
    Q_OBJECT

private slots:
    void twoBitRows_data();
    void twoBitRows();
    void twoBitCells();
    void oneBitRows_data();
    void oneBitRows();
    void oneBitCells();
    void headersWithoutItems();
    void invalidQueriesAreEmpty();
    void setItemsNeedsRefreshForTheView();
    void refreshResetsOnce();
    void passModelTester();
};

void TestBitMaskModels::twoBitRows_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("rows");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("two") << 2 << 1;
    QTest::newRow("peer features") << 17 << 9;
    QTest::newRow("channel map") << 37 << 19;
}

void TestBitMaskModels::twoBitRows()
{
    QFETCH(int, items);
    QFETCH(int, rows);
    uplinkMsgTableModel model(QStringLiteral("Features"));
    model.setItems(makeItems(items, 0));
    model.refresh();
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(model.columnCount(), 4);
}

void TestBitMaskModels::twoBitCells()
{
    uplinkMsgTableModel model(QStringLiteral("Features"));
    // bits 0, 3 and 16 set
    model.setItems(makeItems(17, 0x10009));
    model.refresh();

    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("bit 0"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("bit 1"));
    QVERIFY(hasIcon(model.data(model.index(0, 1), Qt::DecorationRole)));
    QVERIFY(!model.data(model.index(0, 3), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(1, 1), Qt::DecorationRole).isValid());
    QVERIFY(hasIcon(model.data(model.index(1, 3), Qt::DecorationRole)));

    // The odd last item sits alone in the last row.
    QCOMPARE(model.data(model.index(8, 0)).toString(), QStringLiteral("bit 16"));
    QVERIFY(hasIcon(model.data(model.index(8, 1), Qt::DecorationRole)));
    QVERIFY(!model.data(model.index(8, 2)).isValid());
    QVERIFY(!model.data(model.index(8, 3), Qt::DecorationRole).isValid());

    // Text is never in icon columns and icons never in text columns.
    QVERIFY(!model.data(model.index(0, 1)).isValid());
    QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isValid());

    for (int column = 0; column < 4; ++column)
        QCOMPARE(model.data(model.index(8, column), Qt::TextAlignmentRole).toInt(), 129);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEnabled);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
}

void TestBitMaskModels::oneBitRows_data()
{
    QTest::addColumn<int>("items");
    QTest::newRow("empty") << 0;
    QTest::newRow("phy set") << 3;
    QTest::newRow("many") << 20;
}

void TestBitMaskModels::oneBitRows()
{
    QFETCH(int, items);
    uplinkMsgHalfTableModel model(QStringLiteral("LE PHY"));
    model.setItems(makeItems(items, 0));
    model.refresh();
    QCOMPARE(model.rowCount(), items);
    QCOMPARE(model.columnCount(), 2);
}

void TestBitMaskModels::oneBitCells()
{
    uplinkMsgHalfTableModel model(QStringLiteral("LE PHY for data transmission"));
    model.setItems(makeItems(3, 0x2));
    model.refresh();
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("bit 1"));
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    QVERIFY(hasIcon(model.data(model.index(1, 1), Qt::DecorationRole)));
    QVERIFY(!model.data(model.index(2, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(1, 1)).isValid());
    QCOMPARE(model.data(model.index(2, 0), Qt::TextAlignmentRole).toInt(), 129);
    QCOMPARE(model.title(), QStringLiteral("LE PHY for data transmission"));
}

void TestBitMaskModels::headersWithoutItems()
{
    uplinkMsgTableModel full(QStringLiteral("Channel Map"));
    QCOMPARE(full.rowCount(), 0);
    QCOMPARE(full.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Channel Map"));
    QCOMPARE(full.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Enable"));
    QCOMPARE(full.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Channel Map"));
    QCOMPARE(full.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Enable"));
    QVERIFY(!full.headerData(4, Qt::Horizontal).isValid());
    QVERIFY(!full.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!full.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());

    uplinkMsgHalfTableModel half(QStringLiteral("PHY"));
    QCOMPARE(half.rowCount(), 0);
    QCOMPARE(half.headerData(0, Qt::Horizontal).toString(), QStringLiteral("PHY"));
    QCOMPARE(half.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Enable"));
    QVERIFY(!half.headerData(2, Qt::Horizontal).isValid());
}

void TestBitMaskModels::invalidQueriesAreEmpty()
{
    uplinkMsgTableModel full(QStringLiteral("F"));
    full.setItems(makeItems(4, 0xF));
    full.refresh();
    QVERIFY(!full.data(QModelIndex()).isValid());
    QVERIFY(!full.data(full.index(0, 0), Qt::ToolTipRole).isValid());
    QVERIFY(!full.data(full.index(5, 0)).isValid());

    uplinkMsgHalfTableModel half(QStringLiteral("H"));
    half.setItems(makeItems(2, 0x3));
    half.refresh();
    QVERIFY(!half.data(QModelIndex()).isValid());
    QVERIFY(!half.data(half.index(0, 0), Qt::EditRole).isValid());
}

void TestBitMaskModels::setItemsNeedsRefreshForTheView()
{
    uplinkMsgTableModel model(QStringLiteral("Features"));
    model.setItems(makeItems(4, 0));
    model.refresh();
    QTableView view;
    view.setModel(&model);
    QCOMPARE(view.model()->rowCount(), 2);

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setItems(makeItems(8, 0xFF));
    QCOMPARE(reset.count(), 0);
    model.refresh();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(view.verticalHeader()->count(), 4);
}

void TestBitMaskModels::refreshResetsOnce()
{
    uplinkMsgHalfTableModel model(QStringLiteral("PHY"));
    QSignalSpy about(&model, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setItems(makeItems(3, 0x5));
    model.refresh();
    QCOMPARE(about.count(), 1);
    QCOMPARE(reset.count(), 1);
}

void TestBitMaskModels::passModelTester()
{
    uplinkMsgTableModel full(QStringLiteral("Features"));
    QAbstractItemModelTester fullTester(&full, QAbstractItemModelTester::FailureReportingMode::QtTest);
    uplinkMsgHalfTableModel half(QStringLiteral("PHY"));
    QAbstractItemModelTester halfTester(&half, QAbstractItemModelTester::FailureReportingMode::QtTest);

    for (int count : {0, 1, 17, 2, 37, 0}) {
        full.setItems(makeItems(count, 0x155555555ULL));
        full.refresh();
        half.setItems(makeItems(count, 0xAAAAAAAAULL));
        half.refresh();
    }
}

QTEST_MAIN(TestBitMaskModels)
#include "tst_bitmaskmodels.moc"
