#include "devicestablemodel.h"
#include "devicestableview.h"
#include "logmanager.h"
#include "recordinglogger.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QIcon>
#include <QSignalSpy>
#include <QtTest>

namespace {

using Record = DevicesTableModel::Record;

// A distinct address for each number.
QByteArray numberedAddress(int number)
{
    QByteArray addr(6, '\0');
    for (int i = 0; i < 4; ++i)
        addr[i] = char((number >> (8 * i)) & 0xFF);
    return addr;
}

Record device(const QByteArray &addrHex, quint8 type = 0)
{
    Record record;
    record.insert(QStringLiteral("device"), QByteArrayLiteral("Peer Device"));
    record.insert(QStringLiteral("addr"), QByteArray::fromHex(addrHex));
    record.insert(QStringLiteral("addr_type"), QByteArray(1, char(type)));
    record.insert(QStringLiteral("rssi"), QByteArray(1, char(0xC4)));
    record.insert(QStringLiteral("adv_type"), QByteArray(1, char(0x03)));
    record.insert(QStringLiteral("phy_prim"), QByteArray(1, char(1)));
    record.insert(QStringLiteral("phy_second"), QByteArray(1, char(0x0C)));
    record.insert(QStringLiteral("adv_classification"), QByteArray(1, char(1)));
    record.insert(QStringLiteral("connected"), QByteArray(1, char(0)));
    return record;
}

// The region of every paint event of a widget.
class PaintRecorder : public QObject
{
public:
    QVector<QRegion> regions;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            regions.append(static_cast<QPaintEvent *>(event)->region());
        return QObject::eventFilter(watched, event);
    }
};

int columnOf(const DevicesTableModel &model, const QString &key)
{
    for (int i = 0; i < model.columns().size(); ++i) {
        if (model.columns().at(i).key == key)
            return i;
    }
    return -1;
}

} // namespace

class TestDevicesTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void columnsFromFormDescription();
    void cellText_data();
    void cellText();
    void missingKeyGivesEmptyCell();
    void connectedIcon_data();
    void connectedIcon();
    void rowsThroughTheModel();
    void passGathersRowsAndChanges();
    void passesAnnounceAtDisplayRate();
    void makeRoomRemovesRowsSeenLongestAgo_data();
    void makeRoomRemovesRowsSeenLongestAgo();
    void overflowIsLoggedOncePerEpisode();
    void viewRepaintsOnlyChangedRowsInSight_data();
    void viewRepaintsOnlyChangedRowsInSight();
    void updateOutOfRange_data();
    void updateOutOfRange();
    void highlight();
    void alignmentAndHeaders();

private:
    LogManager *m_logs = nullptr;
    RecordingLogger *m_recorder = nullptr;
    QVector<Record> m_rows;
    DevicesTableModel *m_model = nullptr;
    QAbstractItemModelTester *m_tester = nullptr;
};

void TestDevicesTable::init()
{
    m_logs = new LogManager(QStringLiteral("devicestable-test"));
    m_recorder = new RecordingLogger;
    m_logs->addLogger(m_recorder);
    m_rows.clear();
    m_model = new DevicesTableModel(m_logs);
    m_model->setItems(&m_rows);
    m_tester = new QAbstractItemModelTester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestDevicesTable::cleanup()
{
    delete m_tester;
    delete m_model;
    delete m_logs;
}

void TestDevicesTable::columnsFromFormDescription()
{
    const QStringList keys{"device", "addr", "addr_type", "rssi", "adv_type",
                           "phy_prim", "phy_second", "adv_classification", "connected"};
    QCOMPARE(m_model->columnCount(), keys.size());
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(m_model->columns().at(i).key, keys.at(i));
    QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Device"));
    QCOMPARE(m_model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("RSSI(dBm)"));
}

void TestDevicesTable::cellText_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVariant>("shown");

    QTest::newRow("address reversed") << "addr" << QByteArray::fromHex("112233445566")
                                      << QVariant(QStringLiteral("66:55:44:33:22:11"));
    QTest::newRow("address of five bytes") << "addr" << QByteArray::fromHex("1122334455") << QVariant();
    QTest::newRow("address type random") << "addr_type" << QByteArray(1, char(1)) << QVariant("Random");
    QTest::newRow("address type static identity") << "addr_type" << QByteArray(1, char(3))
                                                  << QVariant("Static(identity)");
    QTest::newRow("enum byte 0x80 matches nothing") << "addr_type" << QByteArray(1, char(0x80))
                                                    << QVariant(QString());
    QTest::newRow("rssi 0xC4") << "rssi" << QByteArray(1, char(0xC4)) << QVariant(-60);
    QTest::newRow("rssi 0x00") << "rssi" << QByteArray(1, char(0)) << QVariant(0);
    QTest::newRow("rssi 0xFF") << "rssi" << QByteArray(1, char(0xFF)) << QVariant(-1);
    QTest::newRow("adv type 0") << "adv_type" << QByteArray(1, char(0)) << QVariant(QString());
    QTest::newRow("adv type 0x03") << "adv_type" << QByteArray(1, char(3))
                                   << QVariant("Report Is Complete | Connectable");
    QTest::newRow("adv type 0x1F") << "adv_type" << QByteArray(1, char(0x1F))
                                   << QVariant("Report Is Complete | Connectable | Scannable | Directed | Syncable");
    QTest::newRow("legacy secondary phy") << "phy_second" << QByteArray(1, char(0x0C)) << QVariant("N/A");
    QTest::newRow("periodic classification") << "adv_classification" << QByteArray(1, char(4))
                                             << QVariant("Periodic");
    QTest::newRow("name up to a zero") << "device" << QByteArray("Tag\0xyz", 7) << QVariant("Tag");
    QTest::newRow("connected has no text") << "connected" << QByteArray(1, char(2)) << QVariant();
}

void TestDevicesTable::cellText()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, bytes);
    QFETCH(QVariant, shown);
    Record record = device("010203040506");
    record.insert(key, bytes);
    m_model->addItem(record);
    const QModelIndex index = m_model->index(0, columnOf(*m_model, key));
    QVERIFY(index.isValid());
    QCOMPARE(m_model->data(index, Qt::DisplayRole), shown);
    QCOMPARE(m_model->data(index, Qt::ToolTipRole), shown);
    if (key == QLatin1String("addr") && bytes.size() != 6)
        QVERIFY(m_recorder->count(QStringLiteral("Bluetooth Address's format is wrong.")) >= 1);
}

void TestDevicesTable::missingKeyGivesEmptyCell()
{
    Record record = device("010203040506");
    record.remove(QStringLiteral("rssi"));
    record.insert(QStringLiteral("connected"), QByteArray());
    m_model->addItem(record);
    const QModelIndex rssi = m_model->index(0, columnOf(*m_model, QStringLiteral("rssi")));
    QVERIFY(!m_model->data(rssi, Qt::DisplayRole).isValid());
    QVERIFY(!m_model->data(rssi, Qt::DecorationRole).isValid());
    QCOMPARE(m_model->data(rssi, Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));

    const QModelIndex connected = m_model->index(0, columnOf(*m_model, QStringLiteral("connected")));
    QVERIFY(!m_model->data(connected, Qt::DecorationRole).isValid());
    QCOMPARE(m_recorder->count(QStringLiteral("DevicesTableModel::data: connected field is wrong.")), 1);
}

void TestDevicesTable::connectedIcon_data()
{
    QTest::addColumn<int>("connected");
    QTest::addColumn<bool>("icon");
    QTest::newRow("not connected") << 0 << false;
    QTest::newRow("connecting") << 1 << false;
    QTest::newRow("connected") << 2 << true;
}

void TestDevicesTable::connectedIcon()
{
    QFETCH(int, connected);
    QFETCH(bool, icon);
    Record record = device("010203040506");
    record.insert(QStringLiteral("connected"), QByteArray(1, char(connected)));
    m_model->addItem(record);
    const QModelIndex index = m_model->index(0, columnOf(*m_model, QStringLiteral("connected")));
    QCOMPARE(m_model->data(index, Qt::DecorationRole).canConvert<QIcon>(), icon);
    QVERIFY(!m_model->data(index, Qt::DisplayRole).isValid());
}

void TestDevicesTable::rowsThroughTheModel()
{
    QSignalSpy inserted(m_model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(m_model, &QAbstractItemModel::modelReset);

    m_model->addItem(device("010203040506"));
    m_model->addItem(device("010203040506", 1));
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(m_rows.size(), 2);
    QCOMPARE(m_model->rowCount(), 2);

    Record renamed = device("010203040506", 1);
    renamed.insert(QStringLiteral("device"), QByteArrayLiteral("Sensor"));
    m_model->updateItem(1, renamed);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), m_model->index(1, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), m_model->index(1, m_model->columnCount() - 1));
    QCOMPARE(m_model->data(m_model->index(1, 0)).toString(), QStringLiteral("Sensor"));
    QCOMPARE(m_model->headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));

    m_model->clear();
    QCOMPARE(reset.count(), 1);
    QVERIFY(m_rows.isEmpty());
    QCOMPARE(m_model->rowCount(), 0);
}

// A pass of reports: the new rows come as one insertion, the changed rows
// as one change per run of adjacent rows, and nothing is announced before
// the pass ends (the tester checks the model stays consistent meanwhile).
// The rows added just before announced at once, so this pass waits for the
// display interval.
void TestDevicesTable::passGathersRowsAndChanges()
{
    for (int i = 0; i < 6; ++i)
        m_model->addItem(device(QByteArray("0102030405") + QByteArray::number(10 + i)));
    QSignalSpy inserted(m_model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);

    m_model->beginPass();
    for (int i = 0; i < 3; ++i)
        m_model->addItem(device(QByteArray("0a0b0c0d0e") + QByteArray::number(10 + i)));
    Record renamed = device("010203040510");
    renamed.insert(QStringLiteral("device"), QByteArrayLiteral("Sensor"));
    for (const int row : {4, 0, 1, 0, 5, 7})
        m_model->updateItem(row, renamed);
    QCOMPARE(m_model->rowCount(), 6);
    QCOMPARE(inserted.count() + changed.count(), 0);
    m_model->endPass();

    QTRY_COMPARE(m_model->rowCount(), 9);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 6);
    QCOMPARE(inserted.at(0).at(2).toInt(), 8);
    const int lastColumn = m_model->columnCount() - 1;
    // Row 7 was new in this pass: its insertion shows its latest record.
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), m_model->index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), m_model->index(1, lastColumn));
    QCOMPARE(changed.at(1).at(0).toModelIndex(), m_model->index(4, 0));
    QCOMPARE(changed.at(1).at(1).toModelIndex(), m_model->index(5, lastColumn));
    QCOMPARE(m_model->data(m_model->index(7, 0)).toString(), QStringLiteral("Sensor"));

    // Outside a pass every call is announced at once, as before.
    m_model->addItem(device("0f0f0f0f0f0f"));
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(m_model->rowCount(), 10);
}

// Passes come faster than anyone reads: the first is shown at once, the
// ones within the display interval after it wait and are then shown
// together, as one insertion and one change per run.
void TestDevicesTable::passesAnnounceAtDisplayRate()
{
    m_model->setDisplayIntervalMs(200);
    m_model->addItem(device("010203040510"));
    m_model->addItem(device("010203040511"));
    QTest::qWait(250);
    QSignalSpy inserted(m_model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);

    m_model->beginPass();
    m_model->addItem(device("0a0b0c0d0e00"));
    m_model->endPass();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(m_model->rowCount(), 3);

    Record renamed = device("010203040511");
    renamed.insert(QStringLiteral("device"), QByteArrayLiteral("Sensor"));
    for (int i = 1; i <= 10; ++i) {
        m_model->beginPass();
        m_model->addItem(device(QByteArray("0a0b0c0d0e") + QByteArray::number(10 + i)));
        m_model->updateItem(i % 2, renamed);
        m_model->endPass();
        QCoreApplication::processEvents();
    }
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(changed.count(), 0);
    QVERIFY(m_model->hasPendingChanges());

    QTRY_VERIFY(!m_model->hasPendingChanges());
    QCOMPARE(m_model->rowCount(), 13);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 3);
    QCOMPARE(inserted.at(1).at(2).toInt(), 12);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), m_model->index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), m_model->index(1, m_model->columnCount() - 1));

    // Whoever needs the rows now (a search) need not wait.
    m_model->beginPass();
    m_model->addItem(device("0f0f0f0f0f0f"));
    m_model->endPass();
    QVERIFY(m_model->hasPendingChanges());
    m_model->announceNow();
    QCOMPARE(m_model->rowCount(), 14);
    QCOMPARE(inserted.count(), 3);
}

void TestDevicesTable::makeRoomRemovesRowsSeenLongestAgo_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QVector<int>>("seenAgain");
    QTest::addColumn<int>("highlighted");
    QTest::addColumn<QVector<int>>("kept");
    QTest::addColumn<QVector<int>>("removed");
    QTest::addColumn<bool>("reset");

    QTest::newRow("oldest first") << 200 << QVector<int>{} << -1 << QVector<int>{} << QVector<int>{0, 1} << false;
    QTest::newRow("a new report keeps a row") << 200 << QVector<int>{0, 2} << -1 << QVector<int>{}
                                              << QVector<int>{1, 3} << false;
    QTest::newRow("highlighted and held rows stay")
        << 200 << QVector<int>{} << 0 << QVector<int>{1, 2} << QVector<int>{3, 4} << false;
    QTest::newRow("highlight moves up") << 200 << QVector<int>{0, 1} << 10 << QVector<int>{} << QVector<int>{2, 3}
                                        << false;
    QVector<int> odd;
    QVector<int> even;
    for (int row = 0; row < 40; row += 2) {
        even.append(row);
        odd.append(row + 1);
    }
    QTest::newRow("scattered rows in one reset") << 2000 << odd << 100 << QVector<int>{} << even << true;
    QTest::newRow("nothing can go") << 200 << QVector<int>{} << 0 << QVector<int>{-1} << QVector<int>{} << false;
}

// A full table drops the rows whose last report is oldest; the highlighted
// row and the rows the page holds on to stay, and the highlight follows its
// row. The tester checks every step for consistency.
void TestDevicesTable::makeRoomRemovesRowsSeenLongestAgo()
{
    QFETCH(int, limit);
    QFETCH(QVector<int>, seenAgain);
    QFETCH(int, highlighted);
    QFETCH(QVector<int>, kept);
    QFETCH(QVector<int>, removed);
    QFETCH(bool, reset);

    m_model->setRowLimit(limit);
    QCOMPARE(m_model->rowLimit(), limit);
    QVERIFY(m_model->makeRoom(nullptr).isEmpty());
    // In one pass, so the tester checks one insertion rather than thousands.
    m_model->beginPass();
    for (int i = 0; i < limit; ++i) {
        Record record = device("000000000000");
        record.insert(QStringLiteral("addr"), numberedAddress(i));
        m_model->addItem(record);
    }
    m_model->announceNow();
    for (const int row : seenAgain)
        m_model->updateItem(row, m_rows.at(row));
    m_model->endPass();
    m_model->announceNow();
    if (highlighted >= 0)
        m_model->setCurrentIndex(m_model->index(highlighted, 1));
    const QVector<Record> before = m_rows;

    QSignalSpy removals(m_model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(m_model, &QAbstractItemModel::modelReset);
    const bool holdAll = kept == QVector<int>{-1};
    const QVector<int> gone = m_model->makeRoom([&](int row) { return holdAll || kept.contains(row); });

    QCOMPARE(gone, removed);
    QCOMPARE(m_rows.size(), limit - removed.size());
    QCOMPARE(m_model->rowCount(), m_rows.size());
    QCOMPARE(resets.count(), reset ? 1 : 0);
    if (!reset && !removed.isEmpty())
        QVERIFY(removals.count() >= 1);
    int next = 0;
    for (int row = 0; row < before.size(); ++row) {
        if (removed.contains(row))
            continue;
        QCOMPARE(m_rows.at(next++).value(QStringLiteral("addr")), before.at(row).value(QStringLiteral("addr")));
    }
    if (highlighted >= 0) {
        const QModelIndex current = m_model->currentIndex();
        QVERIFY(current.isValid());
        QCOMPARE(current.column(), 1);
        QCOMPARE(m_rows.at(current.row()).value(QStringLiteral("addr")),
                 before.at(highlighted).value(QStringLiteral("addr")));
        QCOMPARE(m_model->data(current, Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 0, 255));
    }
}

// One warning when the table starts to overflow, not one per new device.
void TestDevicesTable::overflowIsLoggedOncePerEpisode()
{
    m_model->setRowLimit(300);
    m_model->beginPass();
    for (int i = 0; i < 320; ++i) {
        m_model->makeRoom(nullptr);
        Record record = device("000000000000");
        record.insert(QStringLiteral("addr"), numberedAddress(i));
        m_model->addItem(record);
    }
    m_model->endPass();
    m_model->announceNow();
    QVERIFY(m_rows.size() <= 300);
    QCOMPARE(m_rows.first().value(QStringLiteral("addr")), numberedAddress(21));
    const QString line = QStringLiteral("The discovery table keeps at most 300 devices: 3 seen longest ago left it.");
    QCOMPARE(m_recorder->count(line), 1);
    QCOMPARE(m_recorder->lines().size(), 1);
    QCOMPARE(m_recorder->lines().constLast().second, int(LogLevel::Warn));
}

void TestDevicesTable::viewRepaintsOnlyChangedRowsInSight_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("firstPainted"); // -1: no paint
    QTest::addColumn<int>("lastPainted");

    QTest::newRow("one row in sight") << 2 << 2 << 2 << 2;
    QTest::newRow("one row out of sight") << 150 << 150 << -1 << -1;
    QTest::newRow("run out of sight") << 100 << 180 << -1 << -1;
    QTest::newRow("run into sight") << 3 << 150 << 3 << -2; // -2: the last row in sight
}

// With thousands of devices most changes are out of sight: they cost no
// paint, and a run of rows repaints only its part that can be seen.
void TestDevicesTable::viewRepaintsOnlyChangedRowsInSight()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, firstPainted);
    QFETCH(int, lastPainted);

    m_model->beginPass();
    for (int i = 0; i < 200; ++i) {
        Record record = device("000000000000");
        record.insert(QStringLiteral("addr"), numberedAddress(i));
        m_model->addItem(record);
    }
    m_model->endPass();
    m_model->announceNow();
    DevicesTableView view;
    view.setModel(m_model);
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int lastInSight = view.rowAt(view.viewport()->rect().bottom());
    QVERIFY(lastInSight > 3 && lastInSight < 100);
    PaintRecorder paints;
    view.viewport()->installEventFilter(&paints);
    QTest::qWait(50);
    paints.regions.clear();

    m_model->beginPass();
    for (int row = first; row <= last; ++row)
        m_model->updateItem(row, m_rows.at(row));
    m_model->endPass();
    m_model->announceNow();
    QTest::qWait(50);

    if (firstPainted < 0) {
        QVERIFY(paints.regions.isEmpty());
        return;
    }
    if (lastPainted == -2)
        lastPainted = lastInSight;
    QVERIFY(!paints.regions.isEmpty());
    QRegion painted;
    for (const QRegion &region : qAsConst(paints.regions))
        painted += region;
    const QRect bounds = painted.boundingRect();
    QCOMPARE(bounds.top(), view.rowViewportPosition(firstPainted));
    QCOMPARE(bounds.bottom(), qMin(view.viewport()->rect().bottom(),
                                   view.rowViewportPosition(lastPainted) + view.rowHeight(lastPainted) - 1));
}

void TestDevicesTable::updateOutOfRange_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("-1") << -1;
    QTest::newRow("row count") << 1;
}

void TestDevicesTable::updateOutOfRange()
{
    QFETCH(int, row);
    m_model->addItem(device("010203040506"));
    QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);
    m_model->updateItem(row, device("0a0b0c0d0e0f"));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(m_rows.size(), 1);
    QCOMPARE(m_rows.at(0).value(QStringLiteral("addr")), QByteArray::fromHex("010203040506"));
    QCOMPARE(m_recorder->count(QStringLiteral("Update item failed.")), 1);
    QCOMPARE(m_recorder->lines().constLast().second, 4);
}

void TestDevicesTable::highlight()
{
    m_model->addItem(device("010203040506"));
    m_model->addItem(device("0a0b0c0d0e0f"));
    QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);
    const QModelIndex cell = m_model->index(1, 2);
    m_model->setCurrentIndex(cell);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_model->data(cell, Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 0, 255));
    QVERIFY(!m_model->data(m_model->index(1, 1), Qt::BackgroundRole).isValid());

    m_model->setCurrentIndex(QModelIndex());
    QVERIFY(!m_model->data(cell, Qt::BackgroundRole).isValid());
}

void TestDevicesTable::alignmentAndHeaders()
{
    m_model->addItem(device("010203040506"));
    QCOMPARE(m_model->data(m_model->index(0, 0), Qt::TextAlignmentRole).toInt(), 0x81);
    QVERIFY(!m_model->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!m_model->data(QModelIndex()).isValid());
    QVERIFY(m_model->setData(m_model->index(0, 0), QStringLiteral("x")));
    QCOMPARE(m_model->data(m_model->index(0, 0)).toString(), QStringLiteral("Peer Device"));
}

QTEST_MAIN(TestDevicesTable)
#include "tst_devicestable.moc"
