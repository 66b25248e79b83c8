#include "gattrecordcodec.h"

#include <QtTest>

// The GATT page's hand-cut layouts: each record gives a clear result and is
// read only as far as it goes. Records are handed in as copies of exactly
// their size, so a read past the end would show under the address sanitizer.
class TestGattRecordCodec : public QObject
{
    Q_OBJECT

private slots:
    void declarations_data();
    void declarations();
    void entries_data();
    void entries();
    void readValues_data();
    void readValues();
    void securityRequests_data();
    void securityRequests();
    void confirmations_data();
    void confirmations();
};

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A heap copy of exactly the bytes, nothing after them.
QByteArray exact(const QByteArray &bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

} // namespace

void TestGattRecordCodec::declarations_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("handle");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("uuid");

    const int none = GattRecordCodec::NoError;
    const int shortRecord = GattRecordCodec::TooShort;
    const int mismatch = GattRecordCodec::LengthMismatch;
    const int services = GattRecordCodec::ServiceList;
    const int includes = GattRecordCodec::IncludeList;
    const int characteristics = GattRecordCodec::CharacteristicList;
    const int descriptors = GattRecordCodec::DescriptorList;

    // start 0x0001, end 0x0005, UUID 0x1800
    QTest::newRow("service, 16-bit UUID") << services << hex("0100050002" "0018") << none << 1 << 0x2800
                                          << hex("01000500" "0018") << hex("0018");
    QTest::newRow("service, 128-bit UUID")
        << services << hex("1000ff0010" "00112233445566778899aabbccddeeff") << none << 16 << 0x2800
        << hex("1000ff00" "00112233445566778899aabbccddeeff") << hex("00112233445566778899aabbccddeeff");
    QTest::newRow("service, no UUID") << services << hex("0100050000") << none << 1 << 0x2800 << hex("01000500")
                                      << QByteArray();
    QTest::newRow("service, header cut") << services << hex("01000500") << shortRecord << 0 << 0 << QByteArray()
                                         << QByteArray();
    QTest::newRow("service, empty") << services << QByteArray() << shortRecord << 0 << 0 << QByteArray()
                                    << QByteArray();
    QTest::newRow("service, UUID cut short") << services << hex("0100050002" "00") << mismatch << 0 << 0
                                             << QByteArray() << QByteArray();
    QTest::newRow("service, one byte too many") << services << hex("0100050002" "001800") << mismatch << 0 << 0
                                                << QByteArray() << QByteArray();
    QTest::newRow("service, length beyond any record") << services << hex("01000500ff" "0018") << mismatch << 0
                                                       << 0 << QByteArray() << QByteArray();
    // declaration 0x0010, included 0x0020 to 0x0030, UUID 0x180f
    QTest::newRow("include") << includes << hex("10002000300002" "0f18") << none << 0x10 << 0x2802
                             << hex("20003000" "0f18") << hex("0f18");
    QTest::newRow("include, header cut") << includes << hex("100020003000") << shortRecord << 0 << 0
                                         << QByteArray() << QByteArray();
    QTest::newRow("include, odd UUID length") << includes << hex("10002000300003" "0f1800") << none << 0x10
                                              << 0x2802 << hex("20003000" "0f1800") << hex("0f1800");
    // declaration 0x0003, value 0x0004, properties read|notify, UUID 0x2a19:
    // the stored value puts the properties first.
    QTest::newRow("characteristic") << characteristics << hex("030004001202" "192a") << none << 3 << 0x2803
                                    << hex("12" "0400" "192a") << hex("192a");
    QTest::newRow("characteristic, last handle") << characteristics << hex("ffff00000202" "192a") << none
                                                 << 0xffff << 0x2803 << hex("02" "0000" "192a") << hex("192a");
    QTest::newRow("characteristic, UUID cut short") << characteristics << hex("030004001210" "192a") << mismatch
                                                    << 0 << 0 << QByteArray() << QByteArray();
    QTest::newRow("characteristic, header cut") << characteristics << hex("0300040012") << shortRecord << 0 << 0
                                                << QByteArray() << QByteArray();
    QTest::newRow("descriptor") << descriptors << hex("050002" "0229") << none << 5 << 0 << QByteArray()
                                << hex("0229");
    QTest::newRow("descriptor, one-byte UUID") << descriptors << hex("050001" "02") << none << 5 << 0
                                               << QByteArray() << hex("02");
    QTest::newRow("descriptor, header cut") << descriptors << hex("0500") << shortRecord << 0 << 0 << QByteArray()
                                            << QByteArray();
    QTest::newRow("descriptor, oversized") << descriptors << hex("050002" "022900") << mismatch << 0 << 0
                                           << QByteArray() << QByteArray();
}

void TestGattRecordCodec::declarations()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, record);
    QFETCH(int, error);
    QFETCH(int, handle);
    QFETCH(int, type);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, uuid);

    const GattRecordCodec::Declaration declaration =
        GattRecordCodec::declaration(exact(record), GattRecordCodec::ListKind(kind));
    QCOMPARE(int(declaration.error), error);
    QCOMPARE(int(declaration.handle), handle);
    QCOMPARE(int(declaration.type), type);
    QCOMPARE(declaration.value, value);
    QCOMPARE(declaration.uuid, uuid);
}

void TestGattRecordCodec::entries_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("handle");
    QTest::addColumn<QByteArray>("uuid");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QByteArray>("value");

    const QByteArray zeros(14, '\0');
    QTest::newRow("service") << int(GattRecordCodec::ServiceList) << hex("0100050002" "0018") << 1
                             << hex("0028") + zeros << "Primary Service Declaration" << hex("01000500" "0018");
    QTest::newRow("characteristic") << int(GattRecordCodec::CharacteristicList) << hex("030004001202" "192a") << 3
                                    << hex("0328") + zeros << "Characteristic Declaration" << hex("12" "0400" "192a");
    QTest::newRow("16-bit descriptor") << int(GattRecordCodec::DescriptorList) << hex("050002" "0229") << 5
                                       << hex("0229") + zeros << "Client Characteristic Configuration"
                                       << QByteArray();
    QTest::newRow("128-bit descriptor") << int(GattRecordCodec::DescriptorList)
                                        << hex("060010" "00112233445566778899aabbccddeeff") << 6
                                        << hex("00112233445566778899aabbccddeeff") << "" << QByteArray();
}

void TestGattRecordCodec::entries()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, record);
    QFETCH(int, handle);
    QFETCH(QByteArray, uuid);
    QFETCH(QString, description);
    QFETCH(QByteArray, value);

    const AttributeInfo entry =
        GattRecordCodec::entry(GattRecordCodec::declaration(exact(record), GattRecordCodec::ListKind(kind)));
    QCOMPARE(int(entry.valid), 1);
    QCOMPARE(int(entry.handle), handle);
    QCOMPARE(entry.uuid, uuid);
    QCOMPARE(entry.uuidDescription, description);
    QCOMPARE(entry.value, value);
}

void TestGattRecordCodec::readValues_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("handle");
    QTest::addColumn<QByteArray>("value");

    // handle, two bytes not read, value length, value
    QTest::newRow("value") << hex("2a00" "0000" "0300" "010203") << int(GattRecordCodec::NoError) << 42
                           << hex("010203");
    QTest::newRow("empty value") << hex("0500" "ffff" "0000") << int(GattRecordCodec::NoError) << 5 << QByteArray();
    QTest::newRow("odd value length") << hex("0500" "0000" "0100" "ff") << int(GattRecordCodec::NoError) << 5
                                      << hex("ff");
    QTest::newRow("header cut") << hex("0500" "0000" "01") << int(GattRecordCodec::TooShort) << 0 << QByteArray();
    QTest::newRow("empty") << QByteArray() << int(GattRecordCodec::TooShort) << 0 << QByteArray();
    QTest::newRow("value cut short") << hex("0500" "0000" "0400" "0102") << int(GattRecordCodec::LengthMismatch)
                                     << 0 << QByteArray();
    QTest::newRow("value longer than said") << hex("0500" "0000" "0100" "0102")
                                            << int(GattRecordCodec::LengthMismatch) << 0 << QByteArray();
    QTest::newRow("length beyond any record") << hex("0500" "0000" "ffff" "01") << int(GattRecordCodec::LengthMismatch)
                                              << 0 << QByteArray();
}

void TestGattRecordCodec::readValues()
{
    QFETCH(QByteArray, record);
    QFETCH(int, error);
    QFETCH(int, handle);
    QFETCH(QByteArray, value);

    const GattRecordCodec::ReadValue read = GattRecordCodec::readValue(exact(record));
    QCOMPARE(int(read.error), error);
    QCOMPARE(int(read.handle), handle);
    QCOMPARE(read.value, value);
}

void TestGattRecordCodec::securityRequests_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("hasCondix");
    QTest::addColumn<int>("condix");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("role");
    QTest::addColumn<uint>("number");

    const int none = GattRecordCodec::NoError;
    const int shortRequest = GattRecordCodec::TooShort;
    QTest::newRow("encryption") << hex("00" "02") << none << true << 2 << 0 << 0 << 0u;
    QTest::newRow("passkey shown") << hex("01" "01" "00") << none << true << 0 << 1 << 1 << 0u;
    QTest::newRow("passkey entered") << hex("01" "02" "03") << none << true << 3 << 1 << 2 << 0u;
    QTest::newRow("comparison of 123") << hex("03" "7b000000" "01") << none << true << 1 << 3 << 0 << 123u;
    QTest::newRow("comparison, largest number") << hex("03" "ffffffff" "00") << none << true << 0 << 3 << 0
                                                << 0xffffffffu;
    QTest::newRow("longer than its type") << hex("00" "aabb" "04") << none << true << 4 << 0 << 0 << 0u;
    QTest::newRow("unknown type") << hex("07" "05") << none << true << 5 << 7 << 0 << 0u;
    QTest::newRow("empty") << QByteArray() << shortRequest << false << 0 << 0 << 0 << 0u;
    // The last byte is the connection index whatever the length.
    QTest::newRow("index only") << hex("02") << shortRequest << true << 2 << 2 << 0 << 0u;
    QTest::newRow("passkey without role") << hex("01" "00") << shortRequest << true << 0 << 1 << 0 << 0u;
    QTest::newRow("comparison cut short") << hex("03" "7b00" "01") << shortRequest << true << 1 << 3 << 0 << 0u;
}

void TestGattRecordCodec::securityRequests()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, error);
    QFETCH(bool, hasCondix);
    QFETCH(int, condix);
    QFETCH(int, type);
    QFETCH(int, role);
    QFETCH(uint, number);

    const GattRecordCodec::SecurityRequest request = GattRecordCodec::securityRequest(exact(payload));
    QCOMPARE(int(request.error), error);
    QCOMPARE(request.hasCondix, hasCondix);
    QCOMPARE(int(request.condix), condix);
    QCOMPARE(int(request.type), type);
    QCOMPARE(int(request.role), role);
    QCOMPARE(uint(request.number), number);
}

void TestGattRecordCodec::confirmations_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("encryption accepted") << GattRecordCodec::confirmation(GattRecordCodec::Encryption, 1, 2)
                                         << hex("000102");
    QTest::newRow("comparison confirmed") << GattRecordCodec::confirmation(GattRecordCodec::NumericComparison, 1, 0)
                                          << hex("030100");
    QTest::newRow("passkey 123456") << GattRecordCodec::passkeyConfirmation(1, 123456, 3)
                                    << hex("0101" "40e20100" "03");
    QTest::newRow("encryption declined") << GattRecordCodec::declined(GattRecordCodec::Encryption, 1) << hex("000001");
    QTest::newRow("comparison declined") << GattRecordCodec::declined(GattRecordCodec::NumericComparison, 1)
                                         << hex("030001");
    QTest::newRow("passkey declined") << GattRecordCodec::declined(GattRecordCodec::Passkey, 1)
                                      << hex("0100" "00000000" "01");
}

void TestGattRecordCodec::confirmations()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QCOMPARE(payload, expected);
}

QTEST_APPLESS_MAIN(TestGattRecordCodec)
#include "tst_gattrecordcodec.moc"
