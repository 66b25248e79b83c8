#include "profilerecordcodec.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records as "enabled/id/name-hex", one string per record, for compact rows.
QStringList describe(const QVector<ProfileRecord> &records)
{
    QStringList described;
    for (const ProfileRecord &record : records)
        described << QStringLiteral("%1/%2/%3").arg(int(record.enabled)).arg(record.id).arg(QString::fromLatin1(record.name.toHex()));
    return described;
}

} // namespace

// The one reader and writer of stored profile lists.
class TestProfileRecordCodec : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void encodeCutsLongNames();
    void storedForms_data();
    void storedForms();
    void enabledIds_data();
    void enabledIds();
    void storedFromAnswer_data();
    void storedFromAnswer();
    void arbitraryBytes();
};

void TestProfileRecordCodec::decode_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<int>("truncatedAt");
    // What encode writes back for the records read.
    QTest::addColumn<QByteArray>("written");

    const QByteArray longName(200, 'n');
    const QByteArray maxName(254, 'm');
    QTest::newRow("one enabled") << QByteArray::fromHex("010407414243") << QStringList{"1/7/414243"} << -1
                                 << QByteArray::fromHex("010407414243");
    QTest::newRow("disabled then enabled") << QByteArray::fromHex("00020558" "010309595a")
                                           << QStringList{"0/5/58", "1/9/595a"} << -1
                                           << QByteArray::fromHex("00020558" "010309595a");
    QTest::newRow("empty") << QByteArray() << QStringList{} << -1 << QByteArray();
    QTest::newRow("empty name") << QByteArray::fromHex("010109") << QStringList{"1/9/"} << -1
                                << QByteArray::fromHex("010109");
    QTest::newRow("200 byte name") << QByteArray::fromHex("01c904") + longName
                                   << QStringList{"1/4/" + QString::fromLatin1(longName.toHex())} << -1
                                   << QByteArray::fromHex("01c904") + longName;
    QTest::newRow("254 byte name") << QByteArray::fromHex("01ff04") + maxName
                                   << QStringList{"1/4/" + QString::fromLatin1(maxName.toHex())} << -1
                                   << QByteArray::fromHex("01ff04") + maxName;
    QTest::newRow("name bytes kept as they are") << QByteArray::fromHex("010501c3a400ff")
                                                 << QStringList{"1/1/c3a400ff"} << -1
                                                 << QByteArray::fromHex("010501c3a400ff");
    // Any non-zero enabled byte means enabled; it is written back as 1.
    QTest::newRow("enabled as 2") << QByteArray::fromHex("020103") << QStringList{"1/3/"} << -1
                                  << QByteArray::fromHex("010103");
    QTest::newRow("enabled as 80 and ff") << QByteArray::fromHex("800103" "ff0104") << QStringList{"1/3/", "1/4/"}
                                          << -1 << QByteArray::fromHex("010103" "010104");
    // A malformed record ends the list; the records before it stay.
    QTest::newRow("tail of one byte") << QByteArray::fromHex("01020541" "01") << QStringList{"1/5/41"} << 4
                                      << QByteArray::fromHex("01020541");
    QTest::newRow("tail of two bytes") << QByteArray::fromHex("01020541" "0105") << QStringList{"1/5/41"} << 4
                                       << QByteArray::fromHex("01020541");
    QTest::newRow("length runs past the end") << QByteArray::fromHex("01020541" "01100941") << QStringList{"1/5/41"}
                                              << 4 << QByteArray::fromHex("01020541");
    QTest::newRow("zero length byte") << QByteArray::fromHex("0100" "01020541") << QStringList{} << 0 << QByteArray();
}

void TestProfileRecordCodec::decode()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, records);
    QFETCH(int, truncatedAt);
    QFETCH(QByteArray, written);
    int cut = -2;
    const QVector<ProfileRecord> read = ProfileRecordCodec::decode(stored, &cut);
    QCOMPARE(describe(read), records);
    QCOMPARE(cut, truncatedAt);
    QCOMPARE(ProfileRecordCodec::encode(read).toHex(), written.toHex());
    // What was written reads back the same, whole.
    QCOMPARE(ProfileRecordCodec::decode(written, &cut), read);
    QCOMPARE(cut, -1);
}

void TestProfileRecordCodec::encodeCutsLongNames()
{
    const QByteArray stored = ProfileRecordCodec::encode({{true, 6, QByteArray(300, 'x')}});
    QCOMPARE(stored.size(), 3 + ProfileRecordCodec::MaxNameBytes);
    QCOMPARE(stored.left(3).toHex(), QByteArray("01ff06"));
}

// The value of the "profile" line of a dongle's group in config.ini, as
// QSettings writes and reads it.
void TestProfileRecordCodec::storedForms_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<bool>("truncated");
    QTest::addColumn<bool>("writtenBack");

    // Lines as earlier versions wrote them, which must read the same.
    QTest::newRow("answer stored, none enabled") << QByteArray(R"(@ByteArray(\0\x3\x1\x41\x42))")
                                                 << QStringList{"0/1/4142"} << false << true;
    QTest::newRow("one of two enabled") << QByteArray(R"(@ByteArray(\x1\x3\x1\x41\x42\0\x4\x2\x43\x44\x45))")
                                        << QStringList{"1/1/4142", "0/2/434445"} << false << true;
    QTest::newRow("UTF-8 name") << QByteArray(R"(@ByteArray(\x1\x5\x1\x41\xc3\xa4\x42))") << QStringList{"1/1/41c3a442"}
                                << false << true;
    QTest::newRow("empty list") << QByteArray("@ByteArray()") << QStringList{} << false << true;
    // Edited by hand.
    QTest::newRow("enabled as 2") << QByteArray(R"(@ByteArray(\x2\x3\x1\x41\x42))") << QStringList{"1/1/4142"} << false
                                  << false;
    QTest::newRow("record cut short") << QByteArray(R"(@ByteArray(\x1\x3\x1\x41\x42\x1\x5))")
                                      << QStringList{"1/1/4142"} << true << false;
    QTest::newRow("bad hex escape") << QByteArray(R"(@ByteArray(\x1\xzz))") << QStringList{} << true << false;
    QTest::newRow("hex text, not a byte array") << QByteArray("0103014142") << QStringList{} << true << false;
    QTest::newRow("unclosed byte array") << QByteArray(R"(@ByteArray(\x1\x3\x1\x41\x42)") << QStringList{} << true
                                         << false;
}

void TestProfileRecordCodec::storedForms()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, records);
    QFETCH(bool, truncated);
    QFETCH(bool, writtenBack);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Dongle]\nprofile=" + line + "\n");
    }
    QByteArray stored;
    {
        QSettings settings(path, QSettings::IniFormat);
        stored = settings.value(QStringLiteral("Dongle/profile")).toByteArray();
    }
    int cut = -2;
    const QVector<ProfileRecord> read = ProfileRecordCodec::decode(stored, &cut);
    QCOMPARE(describe(read), records);
    QCOMPARE(cut >= 0, truncated);

    // Written back, the line is the one earlier versions wrote for the same list.
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Dongle/profile"), ProfileRecordCodec::encode(read));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().contains("profile=" + line + "\n"), writtenBack);
}

void TestProfileRecordCodec::enabledIds_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("ids");
    QTest::addColumn<bool>("truncated");
    QTest::newRow("one of two enabled") << QByteArray::fromHex("0103014142" "000402434445") << QByteArray::fromHex("01")
                                        << false;
    QTest::newRow("both enabled") << QByteArray::fromHex("0103014142" "010402434445") << QByteArray::fromHex("0102")
                                  << false;
    QTest::newRow("enabled as 2 and ff") << QByteArray::fromHex("0203014142" "ff0402434445")
                                         << QByteArray::fromHex("0102") << false;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
    QTest::newRow("record cut short") << QByteArray::fromHex("0103014142" "010502") << QByteArray::fromHex("01") << true;
    QTest::newRow("lone enabled byte") << QByteArray::fromHex("0103014142" "01") << QByteArray::fromHex("01") << true;
    QTest::newRow("zero length record") << QByteArray::fromHex("0100" "0103014142") << QByteArray() << true;
}

void TestProfileRecordCodec::enabledIds()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, ids);
    QFETCH(bool, truncated);
    bool cut = !truncated;
    QCOMPARE(ProfileRecordCodec::enabledIds(stored, &cut), ids);
    QCOMPARE(cut, truncated);
}

void TestProfileRecordCodec::storedFromAnswer_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("truncatedAt");
    QTest::newRow("two records") << QByteArray::fromHex("03014142" "0402434445")
                                 << QByteArray::fromHex("0003014142" "000402434445") << -1;
    QTest::newRow("none") << QByteArray() << QByteArray() << -1;
    QTest::newRow("second cut short") << QByteArray::fromHex("03014142" "0502") << QByteArray::fromHex("0003014142") << 4;
    QTest::newRow("zero length first") << QByteArray::fromHex("00" "03014142") << QByteArray() << 0;
    QTest::newRow("length byte alone") << QByteArray::fromHex("03014142" "02") << QByteArray::fromHex("0003014142") << 4;
    QTest::newRow("255 byte record") << QByteArray::fromHex("ff07") + QByteArray(254, 'z')
                                     << QByteArray::fromHex("00ff07") + QByteArray(254, 'z') << -1;
}

void TestProfileRecordCodec::storedFromAnswer()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, stored);
    QFETCH(int, truncatedAt);
    int cut = -2;
    QCOMPARE(ProfileRecordCodec::storedFromAnswer(payload, &cut).toHex(), stored.toHex());
    QCOMPARE(cut, truncatedAt);
    // What is stored reads back as whole records, none of them enabled.
    bool truncated = true;
    QCOMPARE(ProfileRecordCodec::enabledIds(stored, &truncated), QByteArray());
    QVERIFY(!truncated);
}

// Whatever the bytes, decoding stops inside them and what it read is exactly
// the part before the cut.
void TestProfileRecordCodec::arbitraryBytes()
{
    QRandomGenerator random(34);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(random.bounded(40)), '\0');
        for (char &byte : bytes)
            byte = char(random.bounded(round % 2 ? 256 : 8));
        int cut = -2;
        const QVector<ProfileRecord> read = ProfileRecordCodec::decode(bytes, &cut);
        QVERIFY(cut >= -1 && cut < bytes.size());
        const QByteArray whole = cut < 0 ? bytes : bytes.left(cut);
        QCOMPARE(ProfileRecordCodec::encode(read).size(), whole.size());
        QCOMPARE(ProfileRecordCodec::decode(ProfileRecordCodec::encode(read)), read);
    }
}

QTEST_MAIN(TestProfileRecordCodec)
#include "tst_profilerecordcodec.moc"
