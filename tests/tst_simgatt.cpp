#include "ccommand.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "simbehaviour_gatt.h"

#include <QtTest>

// The simulated dongle's GATT database answers the client's commands in the
// layouts the GATT page reads: an acknowledgement, then the result.
class TestSimGatt : public QObject
{
    Q_OBJECT

    using Fields = QMap<QString, QVariant>;

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QString>("result");

        auto handles = [](int start, int end) {
            return Fields{{QStringLiteral("start_handle"), start}, {QStringLiteral("end_handle"), end}};
        };
        auto handle = [](int value) { return Fields{{QStringLiteral("attrible_handle"), value}}; };

        QTest::newRow("mtu") << "Exchange GATT MTU" << Fields() << "DD 03 01 04 00 02 00 F7 00";
        QTest::newRow("all services")
            << "Discover All Primary Services" << Fields()
            << "DD 03 03 27 00 02 00 03 00 01 00 05 00 02 00 18 06 00 0A 00 02 0F 18 0B 00 0F 00 10 "
               "F0 E7 DE D5 CC C3 BA B1 A8 9F 96 8D 84 7B 72 69";
        QTest::newRow("services by uuid")
            << "Discover Primary Services by UUID" << Fields{{QStringLiteral("service_uuid"), QStringLiteral("180F")}}
            << "DD 03 05 0B 00 02 00 01 00 06 00 0A 00 02 0F 18";
        QTest::newRow("includes") << "Find Include Service" << handles(1, 0xFFFF)
                                  << "DD 03 07 0D 00 02 00 01 00 07 00 01 00 05 00 02 00 18";
        QTest::newRow("characteristics in a range")
            << "Discover All Characteristics" << handles(6, 10) << "DD 03 09 0C 00 02 00 01 00 08 00 09 00 12 02 19 2A";
        QTest::newRow("nothing in the range")
            << "Discover All Characteristics" << handles(1, 1) << "DD 03 09 04 00 02 0A 00 00";
        QTest::newRow("descriptors") << "Discover All Characteristic Descriptors" << handles(6, 15)
                                     << "DD 03 0D 13 00 02 00 03 00 0A 00 02 02 29 0E 00 02 02 29 0F 00 02 01 29";
        QTest::newRow("read") << "Read Characteristic Value" << handle(3)
                              << "DD 03 0F 12 00 02 00 01 00 03 00 00 00 08 00 53 69 6D 20 50 65 65 72";
        QTest::newRow("read long from an offset")
            << "Read Long Characteristic Value"
            << Fields{{QStringLiteral("attrible_handle"), 3}, {QStringLiteral("offset"), 4}}
            << "DD 03 13 0E 00 02 00 01 00 03 00 04 00 04 00 50 65 65 72";
        QTest::newRow("read past the end")
            << "Read Long Characteristic Value"
            << Fields{{QStringLiteral("attrible_handle"), 3}, {QStringLiteral("offset"), 9}}
            << "DD 03 13 04 00 02 07 00 00";
        QTest::newRow("read an unknown handle") << "Read Characteristic Value" << handle(0x40)
                                                << "DD 03 0F 04 00 02 01 00 00";
        QTest::newRow("read a descriptor") << "Read Characteristic Descriptor" << handle(10)
                                           << "DD 03 21 0C 00 02 00 01 00 0A 00 00 00 02 00 00 00";
        QTest::newRow("write") << "Write Characteristic Value"
                               << Fields{{QStringLiteral("attrible_handle"), 3}, {QStringLiteral("value"), "41"}}
                               << "DD 03 1B 04 00 02 00 03 00";
        QTest::newRow("write without permission")
            << "Write Characteristic Value" << Fields{{QStringLiteral("attrible_handle"), 5}, {QStringLiteral("value"), "41"}}
            << "DD 03 1B 04 00 02 03 05 00";
    }

    void answers()
    {
        QFETCH(QString, command);
        QFETCH(Fields, fields);
        QFETCH(QString, result);
        LinkRig rig(QStringLiteral("simgatt"), 5);
        GattBehaviour::install(rig.dongle);
        QVERIFY(rig.openAndSync());
        fields.insert(QStringLiteral("condix"), 2);
        QVERIFY(CCommand::sendMsg(&rig.link, &rig.logs, command, fields, {}));
        QVERIFY(rig.uplinks.waitFor(3));
        QCOMPARE(rig.uplinks.entries().at(1).frame, SimulatedDongle::acknowledgement(rig.dongle.receivedBytes().last()));
        QCOMPARE(FrameBuilder::toHex(rig.uplinks.entries().at(2).frame), result);
    }

    // A write lands in the database: the next read gives it back.
    void writesAreReadBack()
    {
        LinkRig rig(QStringLiteral("simgatt"), 5);
        GattBehaviour *gatt = GattBehaviour::install(rig.dongle);
        QVERIFY(rig.openAndSync());
        QVERIFY(CCommand::sendMsg(&rig.link, &rig.logs, QStringLiteral("Write Characteristic Descriptor"),
                                  {{QStringLiteral("condix"), 1}, {QStringLiteral("attrible_handle"), 10},
                                   {QStringLiteral("value"), QStringLiteral("0100")}},
                                  {}));
        QVERIFY(rig.uplinks.waitFor(3));
        QCOMPARE(gatt->database(1).find(10)->value, QByteArray::fromHex("0001"));
        QCOMPARE(gatt->database(2).find(10)->value, QByteArray::fromHex("0000"));
    }

    void discoveryOfAllAttributes()
    {
        LinkRig rig(QStringLiteral("simgatt"), 5);
        GattBehaviour *gatt = GattBehaviour::install(rig.dongle);
        GattDatabase database;
        database.addService(GattDatabase::uuid16(0x180D));
        database.addCharacteristic(GattDatabase::uuid16(0x2A37), 0x10);
        database.addDescriptor(GattDatabase::uuid16(0x2902));
        database.setLastServiceEnd(0xFFFF);
        gatt->setDatabase(4, database);
        QVERIFY(rig.openAndSync());
        QVERIFY(CCommand::sendMsg(&rig.link, &rig.logs, QStringLiteral("Discover All Attributes"),
                                  {{QStringLiteral("condix"), 4}}, {}));
        QVERIFY(rig.uplinks.waitFor(6));
        QStringList frames;
        for (int i = 1; i < rig.uplinks.count(); ++i)
            frames << FrameBuilder::toHex(rig.uplinks.entries().at(i).frame);
        QCOMPARE(frames, (QStringList{QStringLiteral("BB 03 29 01 00 00"),
                                      QStringLiteral("DD 03 30 07 00 04 01 00 FF FF 0D 18"),
                                      QStringLiteral("DD 03 32 08 00 04 02 00 10 03 00 37 2A"),
                                      QStringLiteral("DD 03 33 05 00 04 04 00 02 29"),
                                      QStringLiteral("DD 03 34 02 00 04 00")}));
    }

    void generatedDatabasesHaveTheirSize()
    {
        const GattDatabase database = GattDatabase::generated(5000);
        QCOMPARE(database.size(), 5000);
        const QList<GattDatabase::Attribute> attributes = database.attributes();
        QCOMPARE(attributes.last().handle, quint16(5000));
        QCOMPARE(GattBehaviour::discoveryEvents(0, database).size(), 4001);
    }
};

QTEST_MAIN(TestSimGatt)
#include "tst_simgatt.moc"
