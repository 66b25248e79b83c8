#include "cprofiletablemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

// One row as "checkState/id/name" for compact table rows.
QStringList describeRows(const CProfileTableModel &model)
{
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        rows << QString("%1/%2/%3")
                    .arg(model.index(r, 0).data(Qt::CheckStateRole).toInt())
                    .arg(model.index(r, 1).data().toInt())
                    .arg(model.index(r, 2).data().toString());
    }
    return rows;
}

} // namespace

class TestProfileTable : public QObject
{
    Q_OBJECT

private slots:
    void fromBytes_data();
    void fromBytes();
    void writeBack_data();
    void writeBack();
    void checkBoxes();
    void columnsAndHeaders();
    void passesModelTester();
};

void TestProfileTable::fromBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("one enabled") << QByteArray::fromHex("010407414243") << QStringList{"2/7/ABC"};
    QTest::newRow("two records") << QByteArray::fromHex("00020558010309595a")
                               << QStringList{"0/5/X", "2/9/YZ"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("any non-zero enables") << QByteArray::fromHex("800103") << QStringList{"2/3/"};
    QTest::newRow("name stops at zero") << QByteArray::fromHex("0004014100420103024344")
                                        << QStringList{"0/1/A", "2/2/CD"};
    QTest::newRow("utf8 name") << QByteArray::fromHex("010508c3a4c3b6")
                               << QStringList{QString::fromUtf8("2/8/\xc3\xa4\xc3\xb6")};
    // Torn tails never read past the end: the record that does not fit is dropped.
    QTest::newRow("tail of one byte") << QByteArray::fromHex("01020541" "01")
                                      << QStringList{"2/5/A"};
    QTest::newRow("tail of two bytes") << QByteArray::fromHex("01020541" "0105")
                                       << QStringList{"2/5/A"};
    QTest::newRow("length runs past end") << QByteArray::fromHex("01020541" "01100941")
                                          << QStringList{"2/5/A"};
    QTest::newRow("zero length byte") << QByteArray::fromHex("0100" "01020541")
                                      << QStringList{};
}

void TestProfileTable::fromBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);

    CProfileTableModel model;
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.fromByteArray(bytes);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(describeRows(model), rows);
}

// Whatever was read is written back byte for byte.
void TestProfileTable::writeBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("written");

    const QByteArray longName(200, 'n');
    const QByteArray maxName(254, 'm');
    QTest::newRow("one record") << QByteArray::fromHex("010407414243")
                                << QByteArray::fromHex("010407414243");
    QTest::newRow("two records") << QByteArray::fromHex("00020558010309595a")
                                 << QByteArray::fromHex("00020558010309595a");
    QTest::newRow("enabled byte normalised") << QByteArray::fromHex("7f0103")
                                             << QByteArray::fromHex("010103");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("empty name") << QByteArray::fromHex("010109") << QByteArray::fromHex("010109");
    QTest::newRow("200 characters") << QByteArray::fromHex("01c904") + longName
                                    << QByteArray::fromHex("01c904") + longName;
    QTest::newRow("254 bytes") << QByteArray::fromHex("01ff04") + maxName
                               << QByteArray::fromHex("01ff04") + maxName;
    QTest::newRow("utf8 byte exact") << QByteArray::fromHex("010508c3a4c3b6")
                                     << QByteArray::fromHex("010508c3a4c3b6");
    QTest::newRow("bytes after zero kept") << QByteArray::fromHex("0004014100420103024344")
                                           << QByteArray::fromHex("0004014100420103024344");
    QTest::newRow("invalid utf8 kept") << QByteArray::fromHex("010301ff80")
                                       << QByteArray::fromHex("010301ff80");
    QTest::newRow("torn tail dropped") << QByteArray::fromHex("0102054101")
                                       << QByteArray::fromHex("01020541");
}

void TestProfileTable::writeBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, written);

    CProfileTableModel model;
    model.fromByteArray(bytes);
    QCOMPARE(model.toByteArray().toHex(), written.toHex());
}

void TestProfileTable::checkBoxes()
{
    CProfileTableModel model;
    model.fromByteArray(QByteArray::fromHex("010407414243" "00020558"));
    const QModelIndex enabled = model.index(0, 0);
    const QModelIndex disabled = model.index(1, 0);

    // Loaded as enabled: the box shows its state but cannot be changed by the user.
    QCOMPARE(model.flags(enabled), Qt::ItemFlags(Qt::ItemIsUserCheckable));
    QVERIFY(model.flags(disabled) & Qt::ItemIsEnabled);
    QVERIFY(model.flags(disabled) & Qt::ItemIsUserCheckable);
    QVERIFY(model.flags(disabled) & Qt::ItemIsEditable);
    QCOMPARE(model.flags(model.index(1, 2)),
             Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(disabled, Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.toByteArray().toHex(), QByteArray("010407414243010205" "58"));
    // The loaded state still decides the flags until the next load.
    QVERIFY(model.flags(disabled) & Qt::ItemIsEnabled);
    QVERIFY(model.setData(disabled, Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(model.toByteArray().toHex(), QByteArray("010407414243000205" "58"));

    QVERIFY(!model.setData(model.index(1, 2), "Y", Qt::EditRole));
    QVERIFY(!model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!model.setData(disabled, Qt::Checked, Qt::EditRole));
    QVERIFY(!model.setData(QModelIndex(), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(changed.count(), 2);
}

void TestProfileTable::columnsAndHeaders()
{
    CProfileTableModel model;
    model.fromByteArray(QByteArray::fromHex("010407414243"));
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString());
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("ID"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QString("Profile Name"));
    QVERIFY(!model.headerData(1, Qt::Vertical).isValid());
    QCOMPARE(model.headerData(1, Qt::Vertical, Qt::TextAlignmentRole).toInt(), 129);
    QCOMPARE(model.index(0, 2).data(Qt::TextAlignmentRole).toInt(), 129);
    QVERIFY(!model.index(0, 0).data(Qt::DisplayRole).isValid());
    QVERIFY(!model.index(0, 1).data(Qt::CheckStateRole).isValid());
    QVERIFY(!model.index(0, 1).data(Qt::ToolTipRole).isValid());
    QVERIFY(!model.index(5, 1).data().isValid());
    QCOMPARE(model.flags(model.index(5, 1)), Qt::NoItemFlags);
}

void TestProfileTable::passesModelTester()
{
    CProfileTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.fromByteArray(QByteArray::fromHex("010407414243" "00020558"));
    model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole);
    model.fromByteArray(QByteArray());
    model.fromByteArray(QByteArray::fromHex("010109"));
}

QTEST_MAIN(TestProfileTable)
#include "tst_profiletable.moc"
