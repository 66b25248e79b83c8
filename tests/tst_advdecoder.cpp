#include "advdatadecoder.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "recordinglogger.h"

#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kWrongFormat = QStringLiteral("The format of advertisng data is wrong.");

// The tree as lines: depth, column 0 and column 1, walked depth first.
QStringList treeLines(const QTreeWidget &tree)
{
    QStringList lines;
    std::function<void(QTreeWidgetItem *, int)> walk = [&](QTreeWidgetItem *item, int depth) {
        lines << QStringLiteral("%1|%2|%3").arg(depth).arg(item->text(0), item->text(1));
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        walk(tree.topLevelItem(i), 0);
    return lines;
}

bool allExpanded(const QTreeWidget &tree)
{
    bool expanded = true;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *item) {
        if (item->childCount() > 0 && !item->isExpanded())
            expanded = false;
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        walk(tree.topLevelItem(i));
    return expanded;
}

} // namespace

class TestAdvDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void typeNames_data();
    void typeNames();
    void previousDeviceIsCleared();
};

void TestAdvDecoder::decode_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<bool>("logsWrongFormat");

    QTest::newRow("empty") << QString() << QStringList() << true << false;

    QTest::newRow("flags and complete name")
        << "02 01 06 05 09 41 42 44 45"
        << QStringList{"0|Data 0:<<Flags>>|",
                       "1|Lenth of this data|0x02",
                       "1|<<Flags>>|0x01",
                       "2|Flag Data:0x06|0x06",
                       "3|LE Limited Discoverable Mode|OFF",
                       "3|LE General Discoverable Mode|ON",
                       "3|BR/EDR Not Supported|ON",
                       "3|Simultaneous LE and BR/EDR to Same Device Capable (Controller)|OFF",
                       "3|Simultaneous LE and BR/EDR to Same Device Capable (Host)|OFF",
                       "3|Reserved|OFF",
                       "3|Reserved|OFF",
                       "3|Reserved|OFF",
                       "0|Data 1:<<Complete Local Name>>|",
                       "1|Lenth of this data|0x05",
                       "1|<<Complete Local Name>>|0x09",
                       "2|A|0x41",
                       "2|B|0x42",
                       "2|D|0x44",
                       "2|E|0x45"}
        << true << false;

    QTest::newRow("manufacturer data")
        << "03 FF 4C 00"
        << QStringList{"0|Data 0:<<Manufacturer Specific Data>>|", "1|Lenth of this data|0x03",
                       "1|<<Manufacturer Specific Data>>|0xff", "2||0x4c", "2||0x00"}
        << true << false;

    QStringList flagsOnly{"0|Data 0:<<Flags>>|", "1|Lenth of this data|0x02", "1|<<Flags>>|0x01",
                          "2|Flag Data:0x06|0x06"};
    for (const char *bit : {"LE Limited Discoverable Mode|OFF", "LE General Discoverable Mode|ON",
                            "BR/EDR Not Supported|ON",
                            "Simultaneous LE and BR/EDR to Same Device Capable (Controller)|OFF",
                            "Simultaneous LE and BR/EDR to Same Device Capable (Host)|OFF",
                            "Reserved|OFF", "Reserved|OFF", "Reserved|OFF"})
        flagsOnly << QStringLiteral("3|") + QLatin1String(bit);
    QTest::newRow("zeros after the last structure") << "02 01 06 00 00" << flagsOnly << false << true;

    QTest::newRow("structure runs past the end") << "05 09 41 42" << QStringList() << false << true;
    QTest::newRow("last structure one byte short")
        << "02 01 06 03 FF 01"
        << flagsOnly << false << true;
    QTest::newRow("lone length byte") << "01" << QStringList() << false << true;

    QTest::newRow("flags of the wrong length")
        << "03 01 06 00"
        << QStringList{"0|Data 0:<<Flags>>|", "1|Lenth of this data|0x03", "1|<<Flags>>|0x01"}
        << false << false;

    QTest::newRow("type without a name or data")
        << "01 2C"
        << QStringList{"0|Data 0:|", "1|Lenth of this data|0x01", "1||0x2c"} << true << false;

    QTest::newRow("shortened name keeps Latin-1")
        << "03 08 E9 7A"
        << QStringList{"0|Data 0:<<Shortened Local Name>>|", "1|Lenth of this data|0x03",
                       "1|<<Shortened Local Name>>|0x08", QStringLiteral("2|\u00e9|0xe9"), "2|z|0x7a"}
        << true << false;
}

void TestAdvDecoder::decode()
{
    QFETCH(QString, data);
    QFETCH(QStringList, lines);
    QFETCH(bool, complete);
    QFETCH(bool, logsWrongFormat);

    auto *recorder = new RecordingLogger;
    LogManager logs(QStringLiteral("advdecoder-test"));
    logs.addLogger(recorder);

    QTreeWidget tree;
    tree.setColumnCount(2);
    const bool result =
        AdvDataDecoder::decode(&tree, FrameBuilder::fromHex(data), AdvDataDecoder::typeNames(), &logs);
    QCOMPARE(result, complete);
    QCOMPARE(treeLines(tree), lines);
    QCOMPARE(recorder->count(kWrongFormat), logsWrongFormat ? 1 : 0);
    if (logsWrongFormat) {
        const auto line = recorder->lines().constLast();
        QCOMPARE(line.second, 1);
    }
    if (complete)
        QVERIFY(allExpanded(tree));
    else if (tree.topLevelItemCount() > 0)
        QVERIFY(!tree.topLevelItem(0)->isExpanded());
}

void TestAdvDecoder::typeNames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("0x0E") << 0x0E << "<<Simple Pairing Hash C-192>>";
    QTest::newRow("0x0F") << 0x0F << "<<Simple Pairing Randomizer R-192>>";
    QTest::newRow("0x10") << 0x10 << "<<Security Manager TK Value>>";
    QTest::newRow("0x16") << 0x16 << "<<Service Data - 16-bit UUID>>";
    QTest::newRow("0x3D") << 0x3D << "<<3D Information Data>>";
    QTest::newRow("0x0B has none") << 0x0B << QString();
    QTest::newRow("0x13 has none") << 0x13 << QString();
    QTest::newRow("0x2C has none") << 0x2C << QString();
}

void TestAdvDecoder::typeNames()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    const QMap<uchar, QString> names = AdvDataDecoder::typeNames();
    QCOMPARE(names.size(), 42);
    QCOMPARE(names.value(uchar(type)), name);
}

void TestAdvDecoder::previousDeviceIsCleared()
{
    QTreeWidget tree;
    tree.setColumnCount(2);
    AdvDataDecoder::decode(&tree, FrameBuilder::fromHex("02 01 06"), AdvDataDecoder::typeNames(), nullptr);
    QCOMPARE(tree.topLevelItemCount(), 1);
    AdvDataDecoder::decode(&tree, QByteArray(), AdvDataDecoder::typeNames(), nullptr);
    QCOMPARE(tree.topLevelItemCount(), 0);
}

QTEST_MAIN(TestAdvDecoder)
#include "tst_advdecoder.moc"
