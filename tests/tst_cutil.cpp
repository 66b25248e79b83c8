#include "cutil.h"

#include <QtTest>

class TestCUtil : public QObject
{
    Q_OBJECT

private slots:
    void arrayToValue_data()
    {
        QTest::addColumn<int>("endian");
        QTest::addColumn<QByteArray>("array");
        QTest::addColumn<int>("result");
        QTest::addColumn<quint64>("value");
        // The output starts as a marker so an untouched output is visible.
        QTest::newRow("little") << 0 << QByteArray::fromHex("3412") << 0 << quint64(0x1234);
        QTest::newRow("big") << 1 << QByteArray::fromHex("3412") << 0 << quint64(0x3412);
        QTest::newRow("nine bytes untouched") << 0 << QByteArray(9, '\x01') << -1 << quint64(0xABCD);
        QTest::newRow("eight FF") << 0 << QByteArray(8, '\xFF') << 0 << std::numeric_limits<quint64>::max();
        QTest::newRow("eight FF big") << 1 << QByteArray(8, '\xFF') << 0 << std::numeric_limits<quint64>::max();
        QTest::newRow("empty") << 0 << QByteArray() << 0 << quint64(0);
        QTest::newRow("bad selector zeroes") << 2 << QByteArray::fromHex("01") << -1 << quint64(0);
        QTest::newRow("high byte little") << 0 << QByteArray::fromHex("0000000000000080") << 0
                                          << quint64(0x8000000000000000ULL);
        QTest::newRow("three bytes big") << 1 << QByteArray::fromHex("010203") << 0 << quint64(0x010203);
    }

    void arrayToValue()
    {
        QFETCH(int, endian);
        QFETCH(QByteArray, array);
        QFETCH(int, result);
        QFETCH(quint64, value);
        quint64 output = 0xABCD;
        QCOMPARE(CUtil::arrayToValue(endian, array, &output), result);
        QCOMPARE(output, value);
    }

    void valueToArray_data()
    {
        QTest::addColumn<int>("endian");
        QTest::addColumn<quint64>("value");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("little 3") << 0 << quint64(0x1234) << 3 << QByteArray::fromHex("341200");
        QTest::newRow("big 3") << 1 << quint64(0x1234) << 3 << QByteArray::fromHex("001234");
        QTest::newRow("length 0") << 0 << quint64(0x1234) << 0 << QByteArray();
        QTest::newRow("bad selector") << 2 << quint64(0x1234) << 3 << QByteArray();
        QTest::newRow("cut") << 0 << quint64(0x123456) << 2 << QByteArray::fromHex("5634");
        QTest::newRow("beyond eighth zero") << 0 << std::numeric_limits<quint64>::max() << 10
                                            << QByteArray::fromHex("ffffffffffffffff0000");
        QTest::newRow("beyond eighth zero big") << 1 << std::numeric_limits<quint64>::max() << 10
                                                << QByteArray::fromHex("0000ffffffffffffffff");
    }

    void valueToArray()
    {
        QFETCH(int, endian);
        QFETCH(quint64, value);
        QFETCH(int, length);
        QFETCH(QByteArray, expected);
        QCOMPARE(CUtil::valueToArray(endian, value, length), expected);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("endian");
        QTest::newRow("little") << 0;
        QTest::newRow("big") << 1;
    }

    void roundTrip()
    {
        QFETCH(int, endian);
        const quint64 value = 0x0102030405060708ULL;
        quint64 back = 0;
        QCOMPARE(CUtil::arrayToValue(endian, CUtil::valueToArray(endian, value, 8), &back), 0);
        QCOMPARE(back, value);
    }

    void fitArray_data()
    {
        QTest::addColumn<QByteArray>("array");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("cut") << QByteArray::fromHex("010203") << 2 << QByteArray::fromHex("0102");
        QTest::newRow("pad") << QByteArray::fromHex("010203") << 5 << QByteArray::fromHex("0102030000");
        QTest::newRow("same") << QByteArray::fromHex("010203") << 3 << QByteArray::fromHex("010203");
        QTest::newRow("zero") << QByteArray::fromHex("010203") << 0 << QByteArray();
        QTest::newRow("empty padded") << QByteArray() << 2 << QByteArray::fromHex("0000");
    }

    void fitArray()
    {
        QFETCH(QByteArray, array);
        QFETCH(int, length);
        QFETCH(QByteArray, expected);
        QCOMPARE(CUtil::fitArray(array, length), expected);
    }

    void byteAraryToShort_data()
    {
        QTest::addColumn<QByteArray>("array");
        QTest::addColumn<int>("endian");
        QTest::addColumn<int>("expected");
        QTest::newRow("little") << QByteArray::fromHex("3412") << 0 << 0x1234;
        QTest::newRow("first two only") << QByteArray::fromHex("341256") << 0 << 0x1234;
        QTest::newRow("short") << QByteArray::fromHex("34") << 0 << 0;
        QTest::newRow("empty") << QByteArray() << 0 << 0;
        QTest::newRow("other selector") << QByteArray::fromHex("3412") << 1 << 0;
        QTest::newRow("high bytes unsigned") << QByteArray::fromHex("ffff") << 0 << 0xFFFF;
    }

    void byteAraryToShort()
    {
        QFETCH(QByteArray, array);
        QFETCH(int, endian);
        QFETCH(int, expected);
        QCOMPARE(int(CUtil::byteAraryToShort(array, endian)), expected);
    }

    void cmpArray_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("expected");
        QTest::newRow("both empty") << QByteArray() << QByteArray() << 0;
        QTest::newRow("size differs") << QByteArray::fromHex("01") << QByteArray::fromHex("0100") << -1;
        QTest::newRow("equal") << QByteArray::fromHex("a1b2") << QByteArray::fromHex("a1b2") << 0;
        QTest::newRow("last byte differs") << QByteArray::fromHex("a1b2") << QByteArray::fromHex("a1b3") << -1;
    }

    void cmpArray()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, expected);
        QCOMPARE(CUtil::cmpArray(first, second), expected);
    }

    void reverseString_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unit 1") << "abc" << 1 << "cba";
        QTest::newRow("unit 2") << "A1B2" << 2 << "1A2B";
        QTest::newRow("empty") << "" << 2 << "";
        QTest::newRow("unit 3") << "abcdef" << 3 << "cbafed";
        QTest::newRow("not a multiple") << "abc" << 2 << "CUtil::reverseString";
    }

    void reverseString()
    {
        QFETCH(QString, text);
        QFETCH(int, unit);
        QFETCH(QString, expected);
        QCOMPARE(CUtil::reverseString(text, unit), expected);
    }

    void reverseByteOrder()
    {
        // Two and then one: hexadecimal byte text from one byte order into the other.
        QCOMPARE(CUtil::reverseString(CUtil::reverseString("0A1B2C", 2), 1), QString("2C1B0A"));
    }

    void byteText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("asSent");
        QTest::addColumn<QString>("reversed");
        QTest::addColumn<QString>("colonAsSent");
        QTest::addColumn<QString>("colonReversed");
        QTest::newRow("none") << QByteArray() << "" << "" << "" << "";
        QTest::newRow("one byte") << QByteArray::fromHex("0a") << "0a" << "0a" << "0a" << "0a";
        QTest::newRow("address") << QByteArray::fromHex("c1c2c3c4c5c6") << "c1c2c3c4c5c6" << "c6c5c4c3c2c1"
                                 << "c1:c2:c3:c4:c5:c6" << "c6:c5:c4:c3:c2:c1";
        QTest::newRow("zero and high bytes") << QByteArray::fromHex("00ff80") << "00ff80" << "80ff00" << "00:ff:80"
                                             << "80:ff:00";
    }

    void byteText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, asSent);
        QFETCH(QString, reversed);
        QFETCH(QString, colonAsSent);
        QFETCH(QString, colonReversed);
        QCOMPARE(CUtil::hexText(bytes), asSent);
        QCOMPARE(CUtil::hexText(bytes, CUtil::Reversed), reversed);
        QCOMPARE(CUtil::colonHex(bytes), colonAsSent);
        QCOMPARE(CUtil::colonHex(bytes, CUtil::Reversed), colonReversed);
        QCOMPARE(CUtil::hexText(bytes, CUtil::Reversed, ' ').count(QLatin1Char(' ')), qMax(0, bytes.size() - 1));
        // Appended in place, after text already there.
        QString appended = QStringLiteral("x=");
        CUtil::appendHex(appended, bytes);
        QCOMPARE(appended, QStringLiteral("x=") + asSent);
        appended = QStringLiteral("x=");
        CUtil::appendHex(appended, bytes, ':');
        QCOMPARE(appended, QStringLiteral("x=") + colonAsSent);
        QByteArray appendedBytes("x=");
        CUtil::appendHex(appendedBytes, bytes.constData(), bytes.size(), ':');
        QCOMPARE(QString::fromLatin1(appendedBytes), QStringLiteral("x=") + colonAsSent);
        // The reversed text is what the two-step string reversal gives.
        QCOMPARE(CUtil::hexText(bytes, CUtil::Reversed), CUtil::reverseString(CUtil::reverseString(asSent, 2), 1));
    }

    void littleEndian_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint64>("expected");
        QTest::newRow("none") << QByteArray() << quint64(0);
        QTest::newRow("one") << QByteArray::fromHex("7f") << quint64(0x7f);
        QTest::newRow("two") << QByteArray::fromHex("c103") << quint64(0x03c1);
        QTest::newRow("eight") << QByteArray::fromHex("0102030405060780") << quint64(0x8007060504030201ULL);
        QTest::newRow("nine is no number") << QByteArray::fromHex("010203040506070809") << quint64(0);
    }

    void littleEndian()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint64, expected);
        QCOMPARE(CUtil::littleEndian(bytes), expected);
    }

    void littleEndianList_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("width");
        QTest::addColumn<QVector<quint64>>("expected");
        QTest::newRow("two handles") << QByteArray::fromHex("01000201") << 2 << QVector<quint64>{0x0001, 0x0102};
        QTest::newRow("partial last left out") << QByteArray::fromHex("010002") << 2 << QVector<quint64>{0x0001};
        QTest::newRow("none") << QByteArray() << 2 << QVector<quint64>();
        QTest::newRow("bytes") << QByteArray::fromHex("0aff") << 1 << QVector<quint64>{0x0a, 0xff};
        QTest::newRow("width zero") << QByteArray::fromHex("0aff") << 0 << QVector<quint64>();
        QTest::newRow("width nine") << QByteArray(18, '\1') << 9 << QVector<quint64>();
    }

    void littleEndianList()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, width);
        QFETCH(QVector<quint64>, expected);
        QCOMPARE(CUtil::littleEndianList(bytes, width), expected);
    }

    void findNameToUiElement_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("firstKey");
        QTest::newRow("first of two with the name") << "Connect" << 0 << "interval_min";
        QTest::newRow("other") << "Reset" << 0 << "";
        QTest::newRow("case-sensitive") << "connect" << -1 << "untouched";
        QTest::newRow("absent") << "Nothing" << -1 << "untouched";
    }

    void findNameToUiElement()
    {
        QFETCH(QString, name);
        QFETCH(int, result);
        QFETCH(QString, firstKey);
        UiFieldInfo first;
        first.key = "interval_min";
        UiFieldInfo second;
        second.key = "second_copy";
        const QVector<UiComponentFields> components{{"Reset", {}}, {"Connect", {first}}, {"Connect", {second}}};
        UiFieldInfo marker;
        marker.key = "untouched";
        UiComponentFields output{"output", {marker}};
        QCOMPARE(CUtil::findNameToUiElement(components, name, &output), result);
        QCOMPARE(output.fields.isEmpty() ? QString() : output.fields.first().key, firstKey);
        if (result == 0)
            QCOMPARE(output.name, name);
    }

    void random_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("0..2") << 0 << 2;
        QTest::newRow("negative") << -5 << 5;
        QTest::newRow("wide") << 0 << std::numeric_limits<int>::max();
    }

    void random()
    {
        QFETCH(int, lower);
        QFETCH(int, upper);
        for (int i = 0; i < 200; ++i) {
            const int value = CUtil::random(lower, upper);
            QVERIFY2(value >= lower && value < upper, qPrintable(QString::number(value)));
        }
    }

    void randomBothValuesAppear()
    {
        QSet<int> seen;
        for (int i = 0; i < 500 && seen.size() < 2; ++i)
            seen.insert(CUtil::random(0, 2));
        QCOMPARE(seen, (QSet<int>{0, 1}));
    }

    void randomReversedBounds()
    {
        QCOMPARE(CUtil::random(6, 5), -1);
    }

    void sharedBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("shared");
        QTest::newRow("one byte") << QByteArray::fromHex("c4") << true;
        QTest::newRow("zero byte") << QByteArray(1, '\0') << true;
        QTest::newRow("two zeros") << QByteArray(2, '\0') << true;
        QTest::newRow("eight zeros") << QByteArray(8, '\0') << true;
        QTest::newRow("nine zeros") << QByteArray(9, '\0') << false;
        QTest::newRow("two bytes") << QByteArray::fromHex("0100") << false;
        QTest::newRow("address") << QByteArray::fromHex("010203040506") << false;
        QTest::newRow("none") << QByteArray() << true;
    }

    // Equal bytes either way; shared ones are one copy, and writing to a
    // holder's copy leaves the others alone.
    void sharedBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, shared);
        QByteArray first = CUtil::sharedBytes(bytes.constData(), bytes.size());
        const QByteArray second = CUtil::sharedBytes(bytes.constData(), bytes.size());
        QCOMPARE(first, bytes);
        QCOMPARE(second, bytes);
        QCOMPARE(first.isSharedWith(second) && !bytes.isEmpty(), shared && !bytes.isEmpty());
        if (!first.isEmpty()) {
            first[0] = char(first.at(0) + 1);
            QCOMPARE(second, bytes);
            QCOMPARE(CUtil::sharedBytes(bytes.constData(), bytes.size()), bytes);
        }
    }
};

QTEST_GUILESS_MAIN(TestCUtil)
#include "tst_cutil.moc"
