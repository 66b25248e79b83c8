#include "ccommand.h"
#include "cmsg.h"
#include "commandnames.h"
#include "framebuilder.h"
#include "simulateddongle.h"
#include "logmanager.h"
#include "recordedlog.h"

#include <QMetaEnum>
#include <QtTest>

#include <memory>

namespace {

using FieldMap = QMap<QString, QVariant>;
using Lines = QList<QPair<int, QString>>;

FieldMap connectExample()
{
    return {{"interval_min", 24},
            {"interval_max", 40u},
            {"conn_own_addr_type", false},
            {"conn_latency", qlonglong(0)},
            {"supervision_timeout", qulonglong(500)},
            {"filter_policy", 0},
            {"addr", QString("C0A1B2C3D4E5")},
            {"addr_type", 1}};
}

} // namespace

Q_DECLARE_METATYPE(FieldMap)

class TestCommand : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordedLog> m_log;
    LogManager *m_manager = nullptr;
    StampedRecordingLogger *m_recorder = nullptr;

    Lines &lines() { return m_recorder->lines; }

    // The hexadecimal frame of the downlink entry logged by the last send.
    QString loggedRawData() const
    {
        for (const auto &line : m_recorder->lines) {
            const int at = line.second.indexOf("Raw Data: ");
            if (line.second.startsWith("Downlink Command Name: ") && at >= 0)
                return line.second.mid(at + 10).section("\r\n", 0, 0);
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        m_log = std::make_unique<RecordedLog>("CommandTest");
        m_manager = m_log->manager();
        m_recorder = m_log->recorder();
    }

    void cleanupTestCase() { m_log.reset(); }

    void init() { m_recorder->lines.clear(); }

    void frames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FieldMap>("fields");
        QTest::addColumn<FieldMap>("overrides");
        QTest::addColumn<QString>("frame");
        QTest::newRow("reset") << CMD_RESET << FieldMap() << FieldMap() << "aa00010000";
        QTest::newRow("heartbeat") << CMD_HEART_BEAT_DETECT << FieldMap() << FieldMap() << "aa01840000";
        QTest::newRow("connect example") << CMD_CONNECT << connectExample() << FieldMap()
                                         << "aa0105110018002800000000f40100e5d4c3b2a1c001";
        FieldMap overridden = connectExample();
        overridden["addr_type"] = 0;
        QTest::newRow("override wins") << CMD_CONNECT << overridden
                                       << FieldMap{{"addr_type", 1}, {"interval_min", QString("0018")}}
                                       << "aa0105110018002800000000f40100e5d4c3b2a1c001";
        QTest::newRow("odd text gets a leading zero") << "Appearance Set" << FieldMap{{"appearance", QString("123")}}
                                                      << FieldMap() << "aa015d02002301";
        QTest::newRow("negative int sign-extended") << "Appearance Set" << FieldMap{{"appearance", -2}} << FieldMap()
                                                    << "aa015d0200feff";
        QTest::newRow("bool true") << "Appearance Set" << FieldMap{{"appearance", true}} << FieldMap()
                                   << "aa015d02000100";
        FieldMap padded = connectExample();
        padded["addr"] = QByteArray::fromHex("010203");
        QTest::newRow("bytes padded to length") << CMD_CONNECT << padded << FieldMap()
                                                << "aa0105110018002800000000f40100010203000000" "01";
        QTest::newRow("bytes whole for length 0")
            << CMD_WRITE_CHARACTERISTIC_VALUE
            << FieldMap{{"condix", 1}, {"attrible_handle", QString("0003")}, {"value", QByteArray("hello")}}
            << FieldMap() << "aa031a080001030068656c6c6f";
        QTest::newRow("text for length 0") << CMD_WRITE_CHARACTERISTIC_VALUE
                                           << FieldMap{{"condix", 1}, {"attrible_handle", 3}, {"value", QString("abc")}}
                                           << FieldMap() << "aa031a0500010300bc0a";
    }

    void frames()
    {
        QFETCH(QString, name);
        QFETCH(FieldMap, fields);
        QFETCH(FieldMap, overrides);
        QFETCH(QString, frame);
        // Without a link the frame is built and logged, and nothing is sent.
        QVERIFY(!CCommand::sendMsg(nullptr, m_manager, name, fields, overrides));
        QCOMPARE(loggedRawData(), frame);
        for (const auto &line : lines())
            QVERIFY2(line.first != LogLevel::Error, qPrintable(line.second));
    }

    void overTheLink()
    {
        SimulatedDongle dongle;
        QVERIFY(dongle.isValid());
        CMsg link(m_manager);
        QVERIFY(!CCommand::sendMsg(&link, m_manager, CMD_RESET, FieldMap(), FieldMap()));
        QCOMPARE(link.openPort(dongle.portPath()), 0);
        QVERIFY(CCommand::sendMsg(&link, m_manager, CMD_RESET, FieldMap(), FieldMap()));
        QVERIFY(CCommand::sendMsg(&link, m_manager, CMD_CONNECT, connectExample(), FieldMap()));
        // A refused command never reaches the wire.
        FieldMap shifted = connectExample();
        shifted["addr"] = QString("A1B2C3D4E5");
        QVERIFY(!CCommand::sendMsg(&link, m_manager, CMD_CONNECT, shifted, FieldMap()));
        QVERIFY(dongle.waitForFrames(2));
        QTest::qWait(300);
        QCOMPARE(dongle.receivedCount(), 2);
        QCOMPARE(FrameBuilder::toHex(dongle.receivedBytes().at(0)), QString("AA 00 01 00 00 55"));
        QCOMPARE(FrameBuilder::toHex(dongle.receivedBytes().at(1)),
                 QString("AA 01 05 11 00 18 00 28 00 00 00 00 F4 01 00 E5 D4 C3 B2 A1 C0 01 ")
                     + FrameBuilder::toHex(QByteArray(1, char(FrameBuilder::checksum(
                         QByteArray::fromHex("aa0105110018002800000000f40100e5d4c3b2a1c001"))))));
        link.closePort();
        QVERIFY(!CCommand::sendMsg(&link, m_manager, CMD_RESET, FieldMap(), FieldMap()));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FieldMap>("fields");
        QTest::addColumn<Lines>("expected");
        QTest::addColumn<bool>("logged");

        QTest::newRow("unknown command") << "No Such Command" << FieldMap()
                                         << Lines{{1, "CCommand::sendMsg: convert layerId failed."}} << false;
        FieldMap missing = connectExample();
        missing.remove("filter_policy");
        QTest::newRow("missing key") << CMD_CONNECT << missing << Lines{{4, "Send msg:Connect assemble failed."}}
                                     << false;
        QTest::newRow("double") << "Appearance Set" << FieldMap{{"appearance", 1.5}}
                                << Lines{{1, "CCommand::appendFieldValue: the type of the QVariant is wrong."},
                                         {4, "Send msg:Appearance Set assemble failed, can't append field value."}}
                                << false;
        QTest::newRow("short int") << "Appearance Set" << FieldMap{{"appearance", QVariant::fromValue<short>(1)}}
                                   << Lines{{1, "CCommand::appendFieldValue: the type of the QVariant is wrong."},
                                            {4, "Send msg:Appearance Set assemble failed, can't append field value."}}
                                   << false;
        QTest::newRow("invalid value") << "Appearance Set" << FieldMap{{"appearance", QVariant()}}
                                       << Lines{{1, "CCommand::appendFieldValue: the type of the QVariant is wrong."},
                                                {4, "Send msg:Appearance Set assemble failed, can't append field value."}}
                                       << false;
        QTest::newRow("not hexadecimal") << "Appearance Set" << FieldMap{{"appearance", QString("0x12")}}
                                         << Lines{{1, "CCommand::appendFieldValue: convert QString to value failed."},
                                                  {4, "Send msg:Appearance Set assemble failed, can't append field value."}}
                                         << false;
        const Lines lengthWrong{{4, "Send msg:Connect assemble failed, the msg lenth is wrong"}};
        FieldMap longText = connectExample();
        longText["addr_type"] = QString("1234");
        QTest::newRow("last field too long") << CMD_CONNECT << longText << lengthWrong << true;
        FieldMap shifted = connectExample();
        shifted["filter_policy"] = QString("1234");
        shifted["addr"] = QString("A1B2C3D4E5");
        QTest::newRow("middle field shifts the rest") << CMD_CONNECT << shifted << lengthWrong << true;
        QTest::newRow("one-digit handle")
            << CMD_WRITE_CHARACTERISTIC_VALUE
            << FieldMap{{"condix", 1}, {"attrible_handle", QString("3")}, {"value", QByteArray("hello")}}
            << Lines{{4, "Send msg:Write Characteristic Value assemble failed, the msg lenth is wrong"}} << true;
        QTest::newRow("payload over 65535")
            << CMD_WRITE_CHARACTERISTIC_VALUE
            << FieldMap{{"condix", 1}, {"attrible_handle", 3}, {"value", QByteArray(65533, 'x')}}
            << Lines{{4, "Send msg:Write Characteristic Value assemble failed, the msg lenth is wrong"}} << true;
    }

    void failures()
    {
        QFETCH(QString, name);
        QFETCH(FieldMap, fields);
        QFETCH(Lines, expected);
        QFETCH(bool, logged);
        QVERIFY(!CCommand::sendMsg(nullptr, m_manager, name, fields, FieldMap()));
        Lines others;
        for (const auto &line : lines()) {
            if (!line.second.startsWith("Downlink Command Name: "))
                others.append(line);
        }
        QCOMPARE(others, expected);
        // The entry is written before the length check, never before a missing value.
        QCOMPARE(!loggedRawData().isEmpty(), logged);
    }

    void largestPayloadPasses()
    {
        QVERIFY(!CCommand::sendMsg(nullptr, m_manager, CMD_WRITE_CHARACTERISTIC_VALUE,
                                   FieldMap{{"condix", 1}, {"attrible_handle", 3}, {"value", QByteArray(65532, 'x')}},
                                   FieldMap()));
        QVERIFY(loggedRawData().startsWith("aa031affff0103"));
        for (const auto &line : lines())
            QVERIFY2(line.first != LogLevel::Error, qPrintable(line.second));
    }

    void downlinkEntry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FieldMap>("fields");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("entry");
        QTest::newRow("reset") << CMD_RESET << FieldMap() << 2
                               << "Downlink Command Name: Reset\r\nRaw Data: aa00010000\r\nField Data: ";
        QTest::newRow("heartbeat at debug") << CMD_HEART_BEAT_DETECT << FieldMap() << 1
                                            << "Downlink Command Name: Heart Beat Detect\r\nRaw Data: aa01840000\r\n"
                                               "Field Data: ";
        QTest::newRow("connect") << CMD_CONNECT << connectExample() << 2
                                 << "Downlink Command Name: Connect\r\n"
                                    "Raw Data: aa0105110018002800000000f40100e5d4c3b2a1c001\r\n"
                                    "Field Data: interval_min->18:00  interval_max->28:00  conn_own_addr_type->00  "
                                    "conn_latency->00:00  supervision_timeout->f4:01  filter_policy->00  "
                                    "addr->e5:d4:c3:b2:a1:c0  addr_type->01  ";
        QTest::newRow("variable field shows no bytes")
            << CMD_WRITE_CHARACTERISTIC_VALUE
            << FieldMap{{"condix", 1}, {"attrible_handle", QString("0003")}, {"value", QByteArray("hello")}} << 2
            << "Downlink Command Name: Write Characteristic Value\r\nRaw Data: aa031a080001030068656c6c6f\r\n"
               "Field Data: condix->01  attrible_handle->03:00  value->  ";
    }

    void downlinkEntry()
    {
        QFETCH(QString, name);
        QFETCH(FieldMap, fields);
        QFETCH(int, level);
        QFETCH(QString, entry);
        CCommand::sendMsg(nullptr, m_manager, name, fields, FieldMap());
        QCOMPARE(lines(), (Lines{{level, entry}}));
    }

    void logSendFailed()
    {
        CCommand::logSendFailed(m_manager, CMD_RESET);
        CCommand::logSendFailed(m_manager, "5_0_Start Scan");
        QCOMPARE(lines(), (Lines{{4, "send reset message failed"}, {4, "send 5_0_start scan message failed"}}));
    }

    void wellFormed_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<Lines>("expected");
        QTest::newRow("status frame") << QByteArray::fromHex("bb0107010000") << true << Lines();
        QTest::newRow("one byte short") << QByteArray::fromHex("bb01070100") << false << Lines();
        QTest::newRow("one byte long") << QByteArray::fromHex("bb010701000000") << false << Lines();
        QTest::newRow("header only") << QByteArray::fromHex("cc00020000") << true << Lines();
        QTest::newRow("four bytes") << QByteArray::fromHex("bb010701") << false
                                    << Lines{{2, "uplink-msg: 0xbb010701"}, {2, "the length of msg is too short"}};
        QTest::newRow("empty") << QByteArray() << false
                               << Lines{{2, "uplink-msg: 0x"}, {2, "the length of msg is too short"}};
    }

    void wellFormed()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, valid);
        QFETCH(Lines, expected);
        QCOMPARE(CCommand::isInvalidUpLinkMsg(m_manager, frame), valid);
        QCOMPARE(lines(), expected);
    }

    void uplinkId_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("id");
        QTest::newRow("reset event") << QByteArray::fromHex("cc0002010000") << "CC@00@02";
        QTest::newRow("test mode") << QByteArray::fromHex("dd0a05") << "DD@0A@05";
        QTest::newRow("advertising report") << QByteArray::fromHex("dd0102ffff") << "DD@01@02";
        QTest::newRow("letters and digits in both places") << QByteArray::fromHex("bba09f") << "BB@A0@9F";
        QTest::newRow("two bytes") << QByteArray::fromHex("dd01") << "";
        QTest::newRow("empty") << QByteArray() << "";
    }

    void uplinkId()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, id);
        QCOMPARE(CCommand::getUpLinkId(frame), id);
    }

    void parse_data()
    {
        using Fields = QMap<QString, QByteArray>;
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("result");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<Lines>("expected");
        const Fields before{{"kept", "x"}};
        QTest::newRow("disconnect event") << QByteArray::fromHex("dd01080300001305") << 0
                                          << Fields{{"kept", "x"},
                                                    {"status", QByteArray::fromHex("00")},
                                                    {"reason", QByteArray::fromHex("13")},
                                                    {"condix", QByteArray::fromHex("05")}}
                                          << Lines();
        QTest::newRow("variable last field") << QByteArray::fromHex("dd0328060001010300aabb") << 0
                                             << Fields{{"kept", "x"},
                                                       {"condix", QByteArray::fromHex("01")},
                                                       {"type", QByteArray::fromHex("01")},
                                                       {"handle", QByteArray::fromHex("0300")},
                                                       {"value", QByteArray::fromHex("aabb")}}
                                             << Lines();
        QTest::newRow("variable last field empty") << QByteArray::fromHex("dd03280400010103 00") << 0
                                                   << Fields{{"kept", "x"},
                                                             {"condix", QByteArray::fromHex("01")},
                                                             {"type", QByteArray::fromHex("01")},
                                                             {"handle", QByteArray::fromHex("0300")},
                                                             {"value", QByteArray()}}
                                                   << Lines();
        QTest::newRow("cut inside the third field")
            << QByteArray::fromHex("dd031b0400010003") << -1
            << Fields{{"kept", "x"}, {"condix", QByteArray::fromHex("01")}, {"status", QByteArray::fromHex("00")}}
            << Lines{{4, "Parse uplink Command:Write Characteristic Value failed,the file up_link_command.xml is wrong."}};
        QTest::newRow("short of the last field")
            << QByteArray::fromHex("dd0108010000") << -1 << before
            << Lines{{4, "Parse uplink Command:Disconnect failed,the msg length is wrong."}};
        QTest::newRow("header cut") << QByteArray::fromHex("dd0108") << -1 << before
                                    << Lines{{4, "Parse uplink Command:Disconnect failed,the msg length is wrong."}};
        QTest::newRow("no fields") << QByteArray::fromHex("bb0107010000") << 0 << before << Lines();
        QTest::newRow("unknown id") << QByteArray::fromHex("dd01ee0100ff") << 0 << before << Lines();
        QTest::newRow("two bytes") << QByteArray::fromHex("dd01") << 0 << before << Lines();
    }

    void parse()
    {
        using Fields = QMap<QString, QByteArray>;
        QFETCH(QByteArray, frame);
        QFETCH(int, result);
        QFETCH(Fields, fields);
        QFETCH(Lines, expected);
        Fields parsed{{"kept", "x"}};
        QCOMPARE(CCommand::parseUpLinkCmd(m_manager, frame, parsed), result);
        QCOMPARE(parsed, fields);
        QCOMPARE(lines(), expected);
    }

    void uplinkEntries()
    {
        const QByteArray frame = QByteArray::fromHex("dd01080300001305");
        QMap<QString, QByteArray> fields;
        QCOMPARE(CCommand::parseUpLinkCmd(m_manager, frame, fields), 0);
        CCommand::uplinkMsgToLog(m_manager, frame, fields);
        CCommand::uplinkRawMsgToLog(m_manager, frame);
        // Fields in key order, not catalogue order.
        QCOMPARE(lines(), (Lines{{2, "Uplink Command Name: Disconnect\r\nRaw Data: dd01080300001305\r\n"
                                     "Field Data: condix->05  reason->13  status->00  "},
                                 {2, "Uplink Command Name: Disconnect\r\nRaw Data: dd01080300001305"}}));
    }

    void statusLogs_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<Lines>("expected");
        const QByteArray heartbeatBusy = QByteArray::fromHex("bb0184010006");
        const QByteArray heartbeatOk = QByteArray::fromHex("bb0184010000");
        QTest::newRow("SDK failure") << "SDKProc" << heartbeatBusy
                                     << Lines{{1, "[SDKProc] bb0184010006"},
                                              {4, "[SDK Result] Uplink Command Name:Heart Beat Detect Result:SDK ERR BUSY"}};
        QTest::newRow("SDK success silent") << "SDKProc" << heartbeatOk << Lines{{1, "[SDKProc] bb0184010000"}};
        QTest::newRow("last SDK success") << "lastSDKProc" << heartbeatOk
                                          << Lines{{1, "[lastSDKProc] bb0184010000"},
                                                   {2, "[SDK Result] Uplink Command Name:Heart Beat Detect Result:SDK SUCCESS"}};
        QTest::newRow("complete 0x9F") << "completeProc" << QByteArray::fromHex("bb010701009f")
                                       << Lines{{1, "[completeProc] bb010701009f"},
                                                {4, "[Complete Result] Uplink Command Name:Disconnect "
                                                    "Result:BLE LL ERR CONN REJ UNACCEPTABLE BDADDR"}};
        QTest::newRow("complete 0x45") << "completeProc" << QByteArray::fromHex("bb0107010045")
                                       << Lines{{1, "[completeProc] bb0107010045"},
                                                {4, "[Complete Result] Uplink Command Name:Disconnect Result:BLE GAP ERR TIMEOUT"}};
        QTest::newRow("complete without key") << "completeProc" << QByteArray::fromHex("bb0107010020")
                                              << Lines{{1, "[completeProc] bb0107010020"},
                                                       {4, "[Complete Result] Uplink Command Name:Disconnect Result:"}};
        QTest::newRow("complete success silent") << "completeProc" << QByteArray::fromHex("bb0107010000")
                                                 << Lines{{1, "[completeProc] bb0107010000"}};
        QTest::newRow("last complete success") << "lastCompleteProc" << QByteArray::fromHex("bb0107010000")
                                               << Lines{{1, "[lastCompleteProc] bb0107010000"},
                                                        {2, "[Complete Result] Uplink Command Name:Disconnect Result:BLE SUCCESS"}};
        QTest::newRow("unnamed acknowledgement") << "lastCompleteProc" << QByteArray::fromHex("bb0101010000")
                                                 << Lines{{1, "[lastCompleteProc] bb0101010000"},
                                                          {2, "[Complete Result] Uplink Command Name: Result:BLE SUCCESS"}};
        QTest::newRow("five bytes") << "SDKProc" << QByteArray::fromHex("bb01840100")
                                    << Lines{{1, "[SDKProc] bb01840100"}, {1, "internal"}};
        QTest::newRow("seven bytes") << "lastCompleteProc" << QByteArray::fromHex("bb01070200000000")
                                     << Lines{{1, "[lastCompleteProc] bb01070200000000"}, {1, "internal"}};
    }

    void statusLogs()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, frame);
        QFETCH(Lines, expected);
        if (operation == "SDKProc")
            CCommand::SDKProc(m_manager, frame);
        else if (operation == "lastSDKProc")
            CCommand::lastSDKProc(m_manager, frame);
        else if (operation == "completeProc")
            CCommand::completeProc(m_manager, frame);
        else
            CCommand::lastCompleteProc(m_manager, frame);
        QCOMPARE(lines().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(lines().at(i).first, expected.at(i).first);
            if (expected.at(i).second == "internal") {
                const QRegularExpression internal("^FILE:\\.\\\\ccommand LINE:\\d+ FUNCTION:CCommand::" + operation
                                                  + " Internal error\\.$");
                QVERIFY2(internal.match(lines().at(i).second).hasMatch(), qPrintable(lines().at(i).second));
            } else {
                QCOMPARE(lines().at(i).second, expected.at(i).second);
            }
        }
    }

    void statusRspToLog()
    {
        CCommand::statusRspToLog(m_manager, QByteArray::fromHex("dd01080300001305"), 0xCE);
        CCommand::statusRspToLog(m_manager, QByteArray::fromHex("dd01080300001305"), 0x20);
        QCOMPARE(lines(), (Lines{{4, "Uplink Command Name:Disconnect Result:BLE LL ERR CONN FAILED TO BE EST"},
                                 {4, "Uplink Command Name:Disconnect Result:"}}));
    }

    void enumerations_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lastValue");
        QTest::addColumn<QString>("lastKey");
        QTest::newRow("STATUS_RSP") << "STATUS_RSP" << 114 << 0xCE << "BLE_LL_ERR_CONN_FAILED_TO_BE_EST";
        QTest::newRow("SDK_STATUS_RSP") << "SDK_STATUS_RSP" << 31 << 30 << "SDK_ERR_CACHE_NOT_ENABLE";
        QTest::newRow("en_UUID") << "en_UUID" << 306 << 0x2AC9 << "Resolvable_Private_Address_Only";
        QTest::newRow("en_PROPERTYES") << "en_PROPERTYES" << 8 << 0x80 << "Extended_Properties";
        QTest::newRow("en_PAIR_RESULT") << "en_PAIR_RESULT" << 16 << 15 << "ENC_FAIL_LTK_MISSING";
        QTest::newRow("OP_TYPE") << "OP_TYPE" << 2 << 1 << "PEER_RPA";
        QTest::newRow("PEER_ADDR_TYPE") << "PEER_ADDR_TYPE" << 2 << 1 << "RANDOM";
    }

    void enumerations()
    {
        QFETCH(QString, name);
        QFETCH(int, count);
        QFETCH(int, lastValue);
        QFETCH(QString, lastKey);
        const int index = CCommand::staticMetaObject.indexOfEnumerator(name.toLatin1().constData());
        QVERIFY(index >= 0);
        const QMetaEnum meta = CCommand::staticMetaObject.enumerator(index);
        QCOMPARE(meta.keyCount(), count);
        QCOMPARE(meta.value(count - 1), lastValue);
        QCOMPARE(QString(meta.key(count - 1)), lastKey);
        QSet<int> values;
        for (int i = 0; i < meta.keyCount(); ++i)
            values.insert(meta.value(i));
        QCOMPARE(values.size(), count);
    }

    void enumText_data()
    {
        QTest::addColumn<QString>("enumeration");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("sdk busy") << "SDK_STATUS_RSP" << 6 << "SDK ERR BUSY";
        QTest::newRow("att not long") << "STATUS_RSP" << 0x0B << "BLE ATT ERR ATTRIBUTE NOT LONG";
        QTest::newRow("l2cap first") << "STATUS_RSP" << 0x30 << "BLE L2C ERR CONNECTION LOST";
        QTest::newRow("gatt last") << "STATUS_RSP" << 0x56 << "BLE GATT ERR INVALID PERM";
        QTest::newRow("ll first") << "STATUS_RSP" << 0x91 << "BLE LL ERR UNKNOWN HCI COMMAND";
        QTest::newRow("role switch pend") << "STATUS_RSP" << 0xC2 << "BLE LL ERR ROLE SWITCH PEND";
        QTest::newRow("gap in values") << "STATUS_RSP" << 0xC3 << "";
        QTest::newRow("heart rate") << "en_UUID" << 0x180D << "ATT SVC HEART RATE";
        QTest::newRow("battery level") << "en_UUID" << 0x2A19 << "Battery Level";
        QTest::newRow("cccd") << "en_UUID" << 0x2902 << "Client Characteristic Configuration";
        QTest::newRow("pair dhkey") << "en_PAIR_RESULT" << 11 << "FAIL DHKEY CHECK FAIL";
        QTest::newRow("notify") << "en_PROPERTYES" << 0x10 << "Notify";
    }

    void enumText()
    {
        QFETCH(QString, enumeration);
        QFETCH(int, value);
        QFETCH(QString, text);
        QCOMPARE(CCommand::enumText(enumeration.toLatin1().constData(), value), text);
    }

    void values()
    {
        const QMap<QString, QString> decimal = CCommand::fieldsToDecimal(
            {{"handle", QByteArray::fromHex("0300")}, {"big", QByteArray(8, '\xFF')}, {"empty", QByteArray()}});
        QCOMPARE(decimal.value("handle"), QString("3"));
        QCOMPARE(decimal.value("big"), QString("18446744073709551615"));
        QCOMPARE(decimal.value("empty"), QString("0"));

        QCOMPARE(CCommand::uuidBytesToString(QByteArray::fromHex("0018") + QByteArray(14, '\0')), QString("0x1800"));
        QCOMPARE(CCommand::uuidBytesToString(QByteArray::fromHex("0a")), QString("0x000a"));
        QCOMPARE(CCommand::uuidBytesToString(QByteArray(16, '\0')), QString("0x0000"));
        // Trailing zero bytes are dropped before the digits are written.
        QCOMPARE(CCommand::uuidBytesToString(QByteArray::fromHex("fb349b5f80000080001000000f180000")),
                 QString("0x180f00001000800000805f9b34fb"));

        QCOMPARE(CCommand::uuid16ToArray(0x2A19), QByteArray::fromHex("192a") + QByteArray(14, '\0'));
        QCOMPARE(CCommand::isUuid16(QByteArray::fromHex("192a") + QByteArray(14, '\0'), 0x2A19), 0);
        QCOMPARE(CCommand::isUuid16(QByteArray::fromHex("192a"), 0x2A19), -1);
    }
};

QTEST_GUILESS_MAIN(TestCommand)
#include "tst_command.moc"
