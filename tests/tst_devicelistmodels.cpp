#include "devicelistmodel.h"
#include "deviceperiodiclistmodel.h"
#include "devicerpalistmodel.h"
#include "framebuilder.h"
#include "logmanager.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include <memory>

namespace {

// Keeps every line the models log, with its level.
class RecordingLog : public LogManager
{
public:
    RecordingLog() : LogManager(QStringLiteral("listmodels")) {}
    void log(const QString &text, int level) override { lines << QStringLiteral("%1 %2").arg(level).arg(text); }
    QStringList lines;
};

enum Kind { WhiteOrBond, Periodic, Resolving };

QByteArray hex(const QString &text)
{
    return FrameBuilder::fromHex(text);
}

QByteArray sized(int size, char fill = '\x5A')
{
    return QByteArray(size, fill);
}

// The three models behind one face, so that one table of cases serves all.
struct AnyListModel
{
    AnyListModel(Kind kind, LogManager *logger) : kind(kind)
    {
        switch (kind) {
        case WhiteOrBond:
            list.reset(new DeviceListModel(logger));
            break;
        case Periodic:
            periodic.reset(new DevicePeriodicListModel(logger));
            break;
        case Resolving:
            rpa.reset(new DeviceRpaListModel(logger));
            break;
        }
        tester.reset(new QAbstractItemModelTester(model(), QAbstractItemModelTester::FailureReportingMode::QtTest));
    }

    QAbstractItemModel *model() const
    {
        return list ? static_cast<QAbstractItemModel *>(list.get())
                    : periodic ? static_cast<QAbstractItemModel *>(periodic.get())
                               : static_cast<QAbstractItemModel *>(rpa.get());
    }

    // Fields in record order: address, type, SID (or privacy mode, peer IRK, local IRK).
    int add(const QList<QByteArray> &fields)
    {
        if (list)
            return list->addDevice(DeviceListEntry{fields.value(0), fields.value(1), fields.value(2)});
        if (periodic)
            return periodic->addDevice(DeviceListEntry{fields.value(0), fields.value(1), fields.value(2)});
        return rpa->addDevice(
            DeviceRpaEntry{fields.value(0), fields.value(1), fields.value(2), fields.value(3), fields.value(4)});
    }

    int remove(const QList<QByteArray> &fields)
    {
        const DeviceListEntry entry{fields.value(0), fields.value(1), fields.value(2)};
        return list ? list->removeDevice(entry) : periodic->removeDevice(entry);
    }

    void clear()
    {
        if (list)
            list->clear();
        else if (periodic)
            periodic->clear();
        else
            rpa->clear();
    }

    Kind kind;
    std::unique_ptr<DeviceListModel> list;
    std::unique_ptr<DevicePeriodicListModel> periodic;
    std::unique_ptr<DeviceRpaListModel> rpa;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

QList<QByteArray> goodFields(Kind kind)
{
    switch (kind) {
    case WhiteOrBond:
        return {hex("11 22 33 44 55 66"), hex("01")};
    case Periodic:
        return {hex("11 22 33 44 55 66"), hex("01"), hex("05")};
    case Resolving:
        break;
    }
    return {hex("11 22 33 44 55 66"), hex("01"), hex("00"), sized(16, 1), sized(16, 2)};
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestDeviceListModels : public QObject
{
    Q_OBJECT

private slots:
    void shape_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("white or bond list") << WhiteOrBond << QStringList{"Device Address", "Address Type"};
        QTest::newRow("periodic advertiser list")
            << Periodic << QStringList{"Device Address", "Address Type", "Adv Sid"};
        QTest::newRow("resolving list")
            << Resolving << QStringList{"Peer Addr", "Peer Addr Type", "Privacy Mode", "Peer irk", "Local irk"};
    }

    void shape()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, titles);
        RecordingLog log;
        AnyListModel any(kind, &log);
        QAbstractItemModel *model = any.model();

        QCOMPARE(model->columnCount(), titles.size());
        QCOMPARE(model->rowCount(), 0);
        for (int section = 0; section < titles.size(); ++section)
            QCOMPARE(model->headerData(section, Qt::Horizontal).toString(), titles.at(section));
        QVERIFY(log.lines.isEmpty());

        // A section beyond the titles has none and says so.
        QVERIFY(!model->headerData(titles.size(), Qt::Horizontal).isValid());
        QCOMPARE(log.lines, QStringList{"1 Device list error."});
        QVERIFY(!model->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

        QCOMPARE(any.add(goodFields(kind)), 0);
        QCOMPARE(any.add(goodFields(kind)), 0);
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
        QCOMPARE(model->headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
        QVERIFY(!model->headerData(1, Qt::Vertical, Qt::DecorationRole).isValid());

        for (int column = 0; column < titles.size(); ++column) {
            const QModelIndex cell = model->index(1, column);
            QCOMPARE(cell.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
            QVERIFY(!cell.data(Qt::ToolTipRole).isValid());
            QVERIFY(!cell.data(Qt::EditRole).isValid());
            QVERIFY(model->flags(cell).testFlag(Qt::ItemIsSelectable));
            QVERIFY(model->flags(cell).testFlag(Qt::ItemIsEnabled));
            QVERIFY(!model->flags(cell).testFlag(Qt::ItemIsEditable));
            // Edits are accepted and ignored.
            const QVariant before = cell.data();
            QVERIFY(model->setData(cell, QStringLiteral("edited")));
            QCOMPARE(cell.data(), before);
        }
        QVERIFY(!model->index(2, 0).data().isValid());
        QVERIFY(!QModelIndex().data(Qt::TextAlignmentRole).isValid());
    }

    void adding_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<int>("result");

        QTest::newRow("list: address and type") << WhiteOrBond << QList<int>{6, 1} << 0;
        QTest::newRow("list: short address") << WhiteOrBond << QList<int>{5, 1} << -1;
        QTest::newRow("list: long address") << WhiteOrBond << QList<int>{7, 1} << -1;
        QTest::newRow("list: no type") << WhiteOrBond << QList<int>{6, 0} << -1;
        QTest::newRow("list: two type bytes") << WhiteOrBond << QList<int>{6, 2} << -1;
        // The SID is not the white list's business when adding.
        QTest::newRow("list: with a SID") << WhiteOrBond << QList<int>{6, 1, 1} << 0;
        QTest::newRow("periodic: all three") << Periodic << QList<int>{6, 1, 1} << 0;
        QTest::newRow("periodic: no SID") << Periodic << QList<int>{6, 1, 0} << -1;
        QTest::newRow("periodic: short address") << Periodic << QList<int>{5, 1, 1} << -1;
        QTest::newRow("periodic: two SID bytes") << Periodic << QList<int>{6, 1, 2} << -1;
        QTest::newRow("resolving: all five") << Resolving << QList<int>{6, 1, 1, 16, 16} << 0;
        QTest::newRow("resolving: short peer IRK") << Resolving << QList<int>{6, 1, 1, 15, 16} << -1;
        QTest::newRow("resolving: long local IRK") << Resolving << QList<int>{6, 1, 1, 16, 17} << -1;
        QTest::newRow("resolving: no privacy mode") << Resolving << QList<int>{6, 1, 0, 16, 16} << -1;
        QTest::newRow("resolving: seven-byte address") << Resolving << QList<int>{7, 1, 1, 16, 16} << -1;
    }

    void adding()
    {
        QFETCH(Kind, kind);
        QFETCH(QList<int>, sizes);
        QFETCH(int, result);
        RecordingLog log;
        AnyListModel any(kind, &log);
        QSignalSpy resets(any.model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserts(any.model(), &QAbstractItemModel::rowsInserted);

        QList<QByteArray> fields;
        for (int size : sizes)
            fields << sized(size);
        QCOMPARE(any.add(fields), result);
        QCOMPARE(any.model()->rowCount(), result == 0 ? 1 : 0);
        QCOMPARE(resets.count(), result == 0 ? 1 : 0);
        QCOMPARE(inserts.count(), 0);
        QVERIFY(log.lines.isEmpty());
    }

    void display_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");

        QTest::newRow("list address") << WhiteOrBond << QStringList{"01 02 03 04 05 C0", "00"} << 0
                                      << "c0:05:04:03:02:01";
        QTest::newRow("list public") << WhiteOrBond << QStringList{"01 02 03 04 05 C0", "00"} << 1 << "Public";
        QTest::newRow("list random") << WhiteOrBond << QStringList{"01 02 03 04 05 C0", "01"} << 1 << "Random";
        QTest::newRow("list other type") << WhiteOrBond << QStringList{"01 02 03 04 05 C0", "02"} << 1 << "";
        QTest::newRow("periodic address") << Periodic << QStringList{"11 22 33 44 55 66", "01", "05"} << 0
                                          << "66:55:44:33:22:11";
        QTest::newRow("periodic public") << Periodic << QStringList{"11 22 33 44 55 66", "00", "05"} << 1
                                         << "public";
        QTest::newRow("periodic random") << Periodic << QStringList{"11 22 33 44 55 66", "01", "05"} << 1
                                         << "random";
        QTest::newRow("periodic SID") << Periodic << QStringList{"11 22 33 44 55 66", "01", "0F"} << 2 << "15";
        QTest::newRow("periodic SID high") << Periodic << QStringList{"11 22 33 44 55 66", "01", "FF"} << 2
                                           << "255";
        const QString irk = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F";
        const QStringList rpa{"A1 A2 A3 A4 A5 A6", "01", "00", irk, "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF"};
        QTest::newRow("resolving address") << Resolving << rpa << 0 << "a6:a5:a4:a3:a2:a1";
        QTest::newRow("resolving random") << Resolving << rpa << 1 << "random";
        QTest::newRow("resolving network") << Resolving << rpa << 2 << "network";
        QTest::newRow("resolving peer irk")
            << Resolving << rpa << 3 << "0f:0e:0d:0c:0b:0a:09:08:07:06:05:04:03:02:01:00";
        QTest::newRow("resolving local irk")
            << Resolving << rpa << 4 << "ff:fe:fd:fc:fb:fa:f9:f8:f7:f6:f5:f4:f3:f2:f1:f0";
        QStringList device = rpa;
        device[2] = "01";
        QTest::newRow("resolving device") << Resolving << device << 2 << "device";
        device[2] = "07";
        QTest::newRow("resolving other mode") << Resolving << device << 2 << "";
        device[1] = "00";
        QTest::newRow("resolving public") << Resolving << device << 1 << "public";
    }

    void display()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, fields);
        QFETCH(int, column);
        QFETCH(QString, text);
        RecordingLog log;
        AnyListModel any(kind, &log);
        QList<QByteArray> bytes;
        for (const QString &field : fields)
            bytes << hex(field);
        QCOMPARE(any.add(bytes), 0);
        QCOMPARE(any.model()->index(0, column).data().toString(), text);
        QCOMPARE(any.model()->index(0, column).data().toString().size(), text.size());
        QVERIFY(log.lines.isEmpty());
    }

    // Adding refuses wrong sizes, so they are written into the entries directly.
    void wrongSizesRenderEmptyWithTheirMessage()
    {
        RecordingLog log;
        DeviceRpaListModel model(&log);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.addDevice(DeviceRpaEntry{sized(6), hex("01"), hex("00"), sized(16), sized(16)}), 0);
        auto &entries = const_cast<QVector<DeviceRpaEntry> &>(model.devices());
        entries[0] = DeviceRpaEntry{sized(5), sized(2), sized(0), sized(15), sized(17)};
        log.lines.clear();
        for (int column = 0; column < 5; ++column)
            QCOMPARE(model.index(0, column).data().toString(), QString());
        QCOMPARE(log.lines, (QStringList{"1 Bluetooth PeerAddress's format is wrong.",
                                         "1 Bluetooth Peer Addr Type format is wrong.",
                                         "1 Bluetooth Privacy Mode format is wrong."}));

        DeviceListModel list(&log);
        QCOMPARE(list.addDevice(DeviceListEntry{sized(6), hex("00"), QByteArray()}), 0);
        const_cast<QVector<DeviceListEntry> &>(list.devices())[0] = DeviceListEntry{sized(4), sized(3), QByteArray()};
        log.lines.clear();
        QCOMPARE(list.index(0, 0).data().toString(), QString());
        QCOMPARE(list.index(0, 1).data().toString(), QString());
        QCOMPARE(log.lines, (QStringList{"1 Bluetooth Address's format is wrong.",
                                         "1 Bluetooth addr type format is wrong."}));

        DevicePeriodicListModel periodic(&log);
        QCOMPARE(periodic.addDevice(DeviceListEntry{sized(6), hex("00"), hex("01")}), 0);
        const_cast<QVector<DeviceListEntry> &>(periodic.devices())[0] = DeviceListEntry{sized(7), sized(0), sized(2)};
        log.lines.clear();
        for (int column = 0; column < 3; ++column)
            QCOMPARE(periodic.index(0, column).data().toString(), QString());
        QCOMPARE(log.lines, (QStringList{"1 Bluetooth Address's format is wrong.",
                                         "1 Bluetooth addr type format is wrong.",
                                         "1 Bluetooth adv type format is wrong."}));
    }

    void removing_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("white or bond list") << WhiteOrBond;
        QTest::newRow("periodic advertiser list") << Periodic;
    }

    void removing()
    {
        QFETCH(Kind, kind);
        RecordingLog log;
        AnyListModel any(kind, &log);
        const QList<QByteArray> entry = goodFields(kind);
        QList<QByteArray> other = entry;
        other[0] = hex("AA BB CC DD EE FF");

        QCOMPARE(any.remove(entry), -1);
        QCOMPARE(any.add(entry), 0);
        QCOMPARE(any.add(other), 0);
        QCOMPARE(any.add(entry), 0);
        QCOMPARE(any.model()->rowCount(), 3);

        QSignalSpy resets(any.model(), &QAbstractItemModel::modelReset);
        QCOMPARE(any.remove(entry), 0);
        QCOMPARE(resets.count(), 1);
        // Only the first of two equal entries goes; the order of the rest stays.
        QCOMPARE(any.model()->rowCount(), 2);
        QCOMPARE(any.model()->index(0, 0).data().toString(), QStringLiteral("ff:ee:dd:cc:bb:aa"));
        QCOMPARE(any.model()->index(1, 0).data().toString(), QStringLiteral("66:55:44:33:22:11"));

        // Every field must match, the SID included.
        QList<QByteArray> differentSid = entry;
        if (differentSid.size() < 3)
            differentSid << QByteArray();
        differentSid[2] = kind == WhiteOrBond ? hex("05") : hex("06");
        QCOMPARE(any.remove(differentSid), -1);
        QList<QByteArray> differentType = entry;
        differentType[1] = hex("00");
        QCOMPARE(any.remove(differentType), -1);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(any.model()->rowCount(), 2);
    }

    void whiteListEntryWithSidIsAnotherEntry()
    {
        DeviceListModel model(nullptr);
        QCOMPARE(model.addDevice(DeviceListEntry{hex("11 22 33 44 55 66"), hex("00"), hex("01")}), 0);
        QCOMPARE(model.removeDevice(DeviceListEntry{hex("11 22 33 44 55 66"), hex("00"), QByteArray()}), -1);
        QCOMPARE(model.removeDevice(DeviceListEntry{hex("11 22 33 44 55 66"), hex("00"), hex("01")}), 0);
        QCOMPARE(model.deviceCount(), 0);
    }

    void clearing_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("white or bond list") << WhiteOrBond;
        QTest::newRow("periodic advertiser list") << Periodic;
        QTest::newRow("resolving list") << Resolving;
    }

    void clearing()
    {
        QFETCH(Kind, kind);
        AnyListModel any(kind, nullptr);
        QSignalSpy resets(any.model(), &QAbstractItemModel::modelReset);
        // An empty list still tells its views.
        any.clear();
        QCOMPARE(resets.count(), 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(any.add(goodFields(kind)), 0);
        any.clear();
        QCOMPARE(resets.count(), 6);
        QCOMPARE(any.model()->rowCount(), 0);
        QCOMPARE(any.add(goodFields(kind)), 0);
        QCOMPARE(any.model()->rowCount(), 1);
    }

    void countsAndEntriesFollowTheList()
    {
        DeviceListModel white(nullptr);
        DevicePeriodicListModel periodic(nullptr);
        DeviceRpaListModel rpa(nullptr);
        for (int i = 0; i < 10; ++i) {
            const QByteArray addr = hex("00 00 00 00 00 C0").replace(0, 1, QByteArray(1, char(i)));
            QCOMPARE(white.addDevice(DeviceListEntry{addr, hex("01"), QByteArray()}), 0);
            QCOMPARE(periodic.addDevice(DeviceListEntry{addr, hex("00"), QByteArray(1, char(i))}), 0);
            QCOMPARE(rpa.addDevice(DeviceRpaEntry{addr, hex("00"), hex("01"), sized(16), sized(16)}), 0);
        }
        QCOMPARE(white.deviceCount(), 10);
        QCOMPARE(periodic.deviceCount(), 10);
        QCOMPARE(rpa.devices().size(), 10);
        QCOMPARE(white.devices().at(3).addr, hex("03 00 00 00 00 C0"));
        QCOMPARE(periodic.devices().at(7).advSid, hex("07"));
        QCOMPARE(rpa.devices().at(9).privacyMode, hex("01"));
        QCOMPARE(white.index(9, 0).data().toString(), QStringLiteral("c0:00:00:00:00:09"));
    }

    void aResolvingEntryIsAlsoAnRpaListEntry()
    {
        const RpaListEntry entry{hex("01 02 03 04 05 06"), hex("00"), hex("00"), sized(16), sized(16)};
        DeviceRpaListModel model(nullptr);
        QCOMPARE(model.addDevice(entry), 0);
        QVERIFY(model.devices().first() == entry);
    }
};

QTEST_MAIN(TestDeviceListModels)
#include "tst_devicelistmodels.moc"
