#include "ccommand.h"
#include "cutil.h"
#include "devicerecord.h"
#include "logmanager.h"
#include "recordinglogger.h"
#include "simbehaviour_scan.h"

#include <QtTest>

namespace {

QByteArray sampleReport(quint8 classification = 0)
{
    SimAdvertiser a;
    a.addr = QByteArray::fromHex("112233445566");
    a.addrType = 1;
    return ScanBehaviour::reportFrame(a, classification, QByteArray::fromHex("0201060709416c706861"));
}

QByteArray withOpcode(QByteArray frame, quint8 opcode)
{
    frame[2] = char(opcode);
    return frame;
}

// The field line as the scan log wrote it from a parsed map.
QString mapFieldLine(const QMap<QString, QByteArray> &fields)
{
    QString line;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        line += it.key() + QStringLiteral("->");
        CUtil::appendHex(line, it.value(), ':');
        line += QStringLiteral("  ");
    }
    return line;
}

} // namespace

class TestDeviceRecord : public QObject
{
    Q_OBJECT

private slots:
    void layoutReadsWhatTheParserReads_data();
    void layoutReadsWhatTheParserReads();
    void recordBehavesAsItsFieldMap();
};

void TestDeviceRecord::layoutReadsWhatTheParserReads_data()
{
    QTest::addColumn<QByteArray>("frame");
    const QByteArray report = sampleReport();
    QTest::newRow("advertising report") << report;
    QTest::newRow("scan response") << sampleReport(2);
    QTest::newRow("no data after the fixed fields") << report.left(report.size() - 10);
    QTest::newRow("one byte short of the last field") << report.left(report.size() - 13);
    QTest::newRow("cut inside the fixed fields") << report.left(10);
    QTest::newRow("header only") << report.left(3);
    QTest::newRow("scan start result") << withOpcode(report.left(7), 0xF0);
    QTest::newRow("unknown uplink") << withOpcode(report, 0x77);
}

// Same fields, same bytes, same log lines and the same field line as the
// catalogue's own parser.
void TestDeviceRecord::layoutReadsWhatTheParserReads()
{
    QFETCH(QByteArray, frame);
    auto *parserLog = new RecordingLogger;
    LogManager parserLogs(QStringLiteral("parser"));
    parserLogs.addLogger(parserLog);
    auto *layoutLog = new RecordingLogger;
    LogManager layoutLogs(QStringLiteral("layout"));
    layoutLogs.addLogger(layoutLog);

    QMap<QString, QByteArray> parsed;
    const int result = CCommand::parseUpLinkCmd(&parserLogs, frame, parsed);
    const ReportLayout *layout = ReportLayout::of(frame);
    QCOMPARE(ReportLayout::of(frame), layout);
    const ReportLayout::Check check = layout->check(&layoutLogs, frame);

    QCOMPARE(layoutLog->lines(), parserLog->lines());
    QCOMPARE(check == ReportLayout::Check::Failed, result != 0);
    if (result != 0)
        return;
    QCOMPARE(check == ReportLayout::Check::NoFields, parsed.isEmpty());
    QCOMPARE(layout->fields().size(), parsed.size());
    for (auto it = parsed.cbegin(); it != parsed.cend(); ++it) {
        const int field = layout->indexOf(it.key());
        QVERIFY2(field >= 0, qPrintable(it.key()));
        QCOMPARE(layout->value(frame, field), it.value());
        QCOMPARE(layout->raw(frame, field), it.value());
    }
    QByteArray line;
    layout->appendFieldLine(line, frame);
    QCOMPARE(QString::fromUtf8(line), mapFieldLine(parsed));
}

// Every read and write by key gives what the same steps on a field map give,
// whether the key lives in the report's block, a slot of its own or neither.
void TestDeviceRecord::recordBehavesAsItsFieldMap()
{
    const QByteArray frame = sampleReport();
    const ReportLayout *layout = ReportLayout::of(frame);
    const int adField = layout->indexOf(QStringLiteral("adv_data_response_data"));
    QVERIFY(adField >= 0);

    QMap<QString, QByteArray> map;
    CCommand::parseUpLinkCmd(nullptr, frame, map);
    map.remove(QStringLiteral("adv_data_response_data"));
    DeviceRecord record = DeviceRecord::fromReport(layout, frame, adField);
    QCOMPARE(record.toMap(), map);

    const auto step = [&](const QString &key, const QByteArray *bytes) {
        if (bytes) {
            map.insert(key, *bytes);
            record.insert(key, *bytes);
        } else {
            map.remove(key);
            record.remove(key);
        }
        QCOMPARE(record.toMap(), map);
        QCOMPARE(record.size(), map.size());
        for (const QString &k : map.keys() + QStringList{key}) {
            QCOMPARE(record.value(k), map.value(k));
            QCOMPARE(record.contains(k), map.contains(k));
            QVERIFY(record.holds(k, map.value(k)) == map.contains(k));
        }
    };
    const QByteArray one(1, char(2));
    const QByteArray two = QByteArray::fromHex("0102");
    const QByteArray empty;
    step(QStringLiteral("connected"), &one);
    step(QStringLiteral("connected"), &two); // not one byte: kept aside
    step(QStringLiteral("connected"), &one);
    step(QStringLiteral("adv_type"), &two);  // not its field's size
    step(QStringLiteral("adv_type"), &one);
    step(QStringLiteral("rssi"), nullptr);
    step(QStringLiteral("rssi"), &one);
    step(QStringLiteral("device"), &empty);
    step(QStringLiteral("response_data"), &two);
    step(QStringLiteral("condix"), &one);
    step(QStringLiteral("condix"), nullptr);
    step(QStringLiteral("device"), nullptr);

    // Copies are values: changing one leaves the other.
    const DeviceRecord copy = record;
    record.insert(QStringLiteral("addr"), QByteArray(6, '\x7f'));
    QCOMPARE(copy.toMap(), map);
    QVERIFY(copy != record);
    QCOMPARE(DeviceRecord::fromMap(map), copy);

    // A later report of the device writes its fields over the block, the
    // skipped ones stay.
    const QByteArray response = sampleReport(2);
    record.mergeReport(layout, response, adField, layout->indexOf(QStringLiteral("adv_type")));
    QCOMPARE(record.value(QStringLiteral("addr")), QByteArray::fromHex("112233445566"));
    QCOMPARE(record.value(QStringLiteral("adv_type")), one);
    QCOMPARE(record.value(QStringLiteral("adv_classification")), QByteArray(1, char(2)));
}

QTEST_MAIN(TestDeviceRecord)
#include "tst_devicerecord.moc"
