#include "advertisingdata.h"
#include "devicelistcodec.h"
#include "devicesettingscodec.h"

#include <QtTest>

Q_DECLARE_METATYPE(QVector<DeviceListEntry>)

// The codecs of the frames and records the catalogue does not lay out.
class TestCodecs : public QObject
{
    Q_OBJECT

private slots:
    void deviceNameFrame_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("AB") << "4241" << QByteArray::fromHex("aa015903000241" "42");
        QTest::newRow("empty") << "" << QByteArray::fromHex("aa0159010000");
        QTest::newRow("byte under 0x10") << "0a41" << QByteArray::fromHex("aa015903000241" "0a");
        QTest::newRow("upper-case digits") << "4A4B" << QByteArray::fromHex("aa01590300024b" "4a");
        QTest::newRow("odd digit count") << "424" << QByteArray();
        QTest::newRow("not hex") << "zz41" << QByteArray();
        QTest::newRow("255 bytes") << QString(510, QLatin1Char('1'))
                                   << (QByteArray::fromHex("aa015900" "01ff") + QByteArray(255, '\x11'));
        QTest::newRow("256 bytes") << QString(512, QLatin1Char('1')) << QByteArray();
    }

    void deviceNameFrame()
    {
        QFETCH(QString, stored);
        QFETCH(QByteArray, frame);
        QString why;
        QCOMPARE(DeviceSettingsCodec::deviceNameSetFrame(stored, 0x01, 0x59, &why), frame);
        QCOMPARE(why.isEmpty(), !frame.isEmpty());
    }

    void storedNameRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("stored");
        QTest::newRow("AB") << QByteArray("AB") << "4241";
        QTest::newRow("control byte") << QByteArray("\x01Z", 2) << "5a01";
        QTest::newRow("UTF-8") << QString::fromUtf8("é").toUtf8() << "a9c3";
        QTest::newRow("high bytes") << QByteArray("\xff\x80", 2) << "80ff";
        QTest::newRow("empty") << QByteArray() << "";
    }

    void storedNameRoundTrip()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, stored);
        QCOMPARE(DeviceSettingsCodec::storedDeviceName(name), stored);
        const QByteArray frame = DeviceSettingsCodec::deviceNameSetFrame(stored, 0x01, 0x59);
        QCOMPARE(frame.mid(6), name);
        QCOMPARE(uchar(frame.at(5)), uchar(name.size()));
    }

    void nameFromAnswer_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("two bytes") << QByteArray::fromHex("024142") << true << QByteArray("AB");
        QTest::newRow("empty name") << QByteArray::fromHex("00") << true << QByteArray();
        QTest::newRow("no payload") << QByteArray() << false << QByteArray();
        QTest::newRow("length says more") << QByteArray::fromHex("034142") << false << QByteArray();
        QTest::newRow("length says less") << QByteArray::fromHex("01414243") << false << QByteArray();
    }

    void nameFromAnswer()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, ok);
        QFETCH(QByteArray, name);
        QByteArray found("untouched");
        QCOMPARE(DeviceSettingsCodec::nameFromAnswer(payload, &found), ok);
        QCOMPARE(found, ok ? name : QByteArray("untouched"));
    }

    void addressAndPeriodicRecords_data()
    {
        QTest::addColumn<bool>("periodic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QVector<DeviceListEntry>>("entries");

        const QByteArray first = QByteArray::fromHex("c1c2c3c4c5c6");
        const QByteArray second = QByteArray::fromHex("010203040506");
        QTest::newRow("empty list") << false << QByteArray() << true << QVector<DeviceListEntry>();
        QTest::newRow("two addresses") << false << QByteArray::fromHex("c1c2c3c4c5c6" "00" "010203040506" "01") << true
                                       << QVector<DeviceListEntry>{{first, QByteArray(1, 0), {}},
                                                                   {second, QByteArray(1, 1), {}}};
        QTest::newRow("address one byte short") << false << QByteArray::fromHex("c1c2c3c4c5c6") << false
                                                << QVector<DeviceListEntry>();
        QTest::newRow("address one byte long") << false << QByteArray::fromHex("c1c2c3c4c5c6" "00" "07") << false
                                               << QVector<DeviceListEntry>();
        QTest::newRow("periodic advertiser") << true << QByteArray::fromHex("c1c2c3c4c5c6" "01" "0f") << true
                                             << QVector<DeviceListEntry>{{first, QByteArray(1, 1), QByteArray(1, 0x0f)}};
        QTest::newRow("address records read as periodic") << true << QByteArray::fromHex("c1c2c3c4c5c6" "00") << false
                                                          << QVector<DeviceListEntry>();
    }

    void addressAndPeriodicRecords()
    {
        QFETCH(bool, periodic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, whole);
        QFETCH(QVector<DeviceListEntry>, entries);
        QVector<DeviceListEntry> found{{QByteArray("stale"), {}, {}}};
        const bool ok = periodic ? DeviceListCodec::periodicRecords(payload, &found)
                                 : DeviceListCodec::addressRecords(payload, &found);
        QCOMPARE(ok, whole);
        if (whole)
            QCOMPARE(found, entries);
    }

    void resolvingRecords()
    {
        const QByteArray peerIrk = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
        const QByteArray localIrk = QByteArray::fromHex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
        const QByteArray record = QByteArray::fromHex("c1c2c3c4c5c6" "01" "01") + peerIrk + localIrk;
        QCOMPARE(record.size(), int(DeviceListCodec::ResolvingRecordSize));

        QVector<DeviceRpaEntry> entries;
        QVERIFY(DeviceListCodec::resolvingRecords(record + record, &entries));
        QCOMPARE(entries.size(), 2);
        const DeviceRpaEntry expected{QByteArray::fromHex("c1c2c3c4c5c6"), QByteArray(1, 1), QByteArray(1, 1), peerIrk,
                                      localIrk};
        QVERIFY(entries.at(0) == expected);
        QVERIFY(entries.at(1) == expected);
        QVERIFY(!DeviceListCodec::resolvingRecords(record.left(39), &entries));
        QVERIFY(entries.isEmpty());
    }

    void advertisingStructures_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("layout"); // offset:length:type of each structure
        QTest::addColumn<QByteArray>("name");

        QTest::newRow("flags and complete name") << QByteArray::fromHex("020106" "03094142") << true
                                                 << "0:2:01 3:3:09" << QByteArray("AB");
        QTest::newRow("complete after shortened") << QByteArray::fromHex("03084142" "0309585a") << true
                                                  << "0:3:08 4:3:09" << QByteArray("XZ");
        QTest::newRow("shortened after complete") << QByteArray::fromHex("0309585a" "03084142") << true
                                                  << "0:3:09 4:3:08" << QByteArray("XZ");
        QTest::newRow("only shortened") << QByteArray::fromHex("03084142") << true << "0:3:08" << QByteArray("AB");
        QTest::newRow("name without a byte") << QByteArray::fromHex("0109") << true << "0:1:09" << QByteArray();
        QTest::newRow("zero length structure") << QByteArray::fromHex("00" "03094142") << true << "0:0:00 1:3:09"
                                               << QByteArray("AB");
        QTest::newRow("last structure overruns") << QByteArray::fromHex("03094142" "0509") << false << "0:3:09"
                                                 << QByteArray("AB");
        QTest::newRow("length byte at the end") << QByteArray::fromHex("03") << false << "" << QByteArray();
        QTest::newRow("empty") << QByteArray() << true << "" << QByteArray();
    }

    void advertisingStructures()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, whole);
        QFETCH(QString, layout);
        QFETCH(QByteArray, name);
        QVector<AdStructure> structures;
        QCOMPARE(AdvertisingData::split(data, &structures), whole);
        QStringList found;
        for (const AdStructure &structure : structures) {
            found << QStringLiteral("%1:%2:%3").arg(structure.offset).arg(structure.length).arg(structure.type, 2, 16,
                                                                                                   QLatin1Char('0'));
            QCOMPARE(structure.data, data.mid(structure.offset + 2, qMax(0, structure.length - 1)));
        }
        QCOMPARE(found.join(QLatin1Char(' ')), layout);
        QCOMPARE(AdvertisingData::localName(structures), name);
    }
};

QTEST_MAIN(TestCodecs)
#include "tst_codecs.moc"
