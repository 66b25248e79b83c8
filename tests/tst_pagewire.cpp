#include "ccommand.h"
#include "cmsg.h"
#include "commandnames.h"
#include "cutil.h"
#include "framebuilder.h"
#include "logger.h"
#include "logmanager.h"
#include "pagewire.h"
#include "recordedlog.h"
#include "simulateddongle.h"

#include <QtTest>

#include <memory>

namespace {

QByteArray wire(const QString &hex)
{
    return FrameBuilder::fromHex(hex);
}

} // namespace

class TestPageWire : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordedLog> m_log;

    StampedRecordingLogger *recorder() const { return m_log->recorder(); }
    int startingWith(const QString &head) const { return recorder()->countStartingWith(head); }

private slots:
    void initTestCase() { m_log = std::make_unique<RecordedLog>("PageWireTest"); }
    void cleanupTestCase() { m_log.reset(); }
    void init() { recorder()->lines.clear(); }

    // "Disconnect" result: status, reason, condix.
    void checkJudgesParsesAndPicksTheConnection_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("condix"); // -1: a page of the whole dongle
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("messageLines");
        QTest::addColumn<int>("internalErrors");
        QTest::addColumn<int>("failureLines");

        QTest::newRow("dongle page, success") << "DD 01 08 03 00 00 13 02" << -1 << "" << int(PageWire::Succeeded) << 1
                                              << 0 << 0;
        QTest::newRow("own connection, success") << "DD 01 08 03 00 00 13 02" << 2 << "" << int(PageWire::Succeeded)
                                                 << 1 << 0 << 0;
        QTest::newRow("own connection, failure") << "DD 01 08 03 00 45 13 02" << 2 << "" << int(PageWire::Failed) << 1
                                                 << 0 << 1;
        QTest::newRow("another connection: silent") << "DD 01 08 03 00 45 13 03" << 2 << ""
                                                    << int(PageWire::NotOurs) << 0 << 0 << 0;
        QTest::newRow("any connection") << "DD 01 08 03 00 00 13 03" << 2 << "any" << int(PageWire::Succeeded) << 1
                                        << 0 << 0;
        QTest::newRow("quiet failure") << "DD 01 08 03 00 45 13 02" << 2 << "quiet" << int(PageWire::Failed) << 1
                                       << 0 << 0;
        QTest::newRow("no status") << "DD 01 08 03 00 45 13 02" << 2 << "nostatus" << int(PageWire::Succeeded) << 1
                                   << 0 << 0;
        QTest::newRow("index field missing") << "DD 01 08 03 00 00 13 02" << 2 << "index=nosuch"
                                             << int(PageWire::Malformed) << 1 << 1 << 0;
        QTest::newRow("status field missing") << "DD 01 08 03 00 00 13 02" << 2 << "status=nosuch"
                                              << int(PageWire::Malformed) << 1 << 1 << 0;
        QTest::newRow("reason as status") << "DD 01 08 03 00 00 13 02" << 2 << "status=reason"
                                          << int(PageWire::Failed) << 1 << 0 << 1;
        QTest::newRow("catalogue rejects") << "DD 01 08 01 00 00" << 2 << "" << int(PageWire::Unparsed) << 0 << 0
                                           << 0;
    }

    void checkJudgesParsesAndPicksTheConnection()
    {
        QFETCH(QString, frame);
        QFETCH(int, condix);
        QFETCH(QString, form);
        QFETCH(int, result);
        QFETCH(int, messageLines);
        QFETCH(int, internalErrors);
        QFETCH(int, failureLines);

        const PageWire page = condix < 0 ? PageWire(nullptr, m_log->manager(), QStringLiteral(".\\wiretest"))
                                         : PageWire(nullptr, m_log->manager(), QStringLiteral(".\\wiretest"),
                                                    quint8(condix));
        PageWire::Form expected;
        if (form == QLatin1String("any"))
            expected.anyConnection();
        else if (form == QLatin1String("quiet"))
            expected.quietFailure();
        else if (form == QLatin1String("nostatus"))
            expected.noStatus();
        else if (form.startsWith(QLatin1String("index=")))
            expected.index(form.mid(6));
        else if (form.startsWith(QLatin1String("status=")))
            expected.status(form.mid(7));

        PageWire::Fields fields;
        QCOMPARE(int(page.check(wire(frame), 42, QStringLiteral("Test::handler"), &fields, expected)), result);
        QCOMPARE(recorder()->count(QStringLiteral("FILE:.\\wiretest LINE:42 FUNCTION:Test::handler Internal error."),
                                   LogLevel::Debug),
                 internalErrors);
        const int messages = startingWith(QStringLiteral("Uplink Command Name: "));
        QCOMPARE(messages, messageLines);
        QCOMPARE(startingWith(QStringLiteral("Uplink Command Name:Disconnect Result:")), failureLines);
    }

    void completeResultFormNamesTheCommand()
    {
        const PageWire page(nullptr, m_log->manager(), QStringLiteral(".\\wiretest"), 2);
        QCOMPARE(page.check(wire("DD 01 08 03 00 45 13 02"), 1, QStringLiteral("f"), nullptr,
                            PageWire::Form().completeResult()),
                 PageWire::Failed);
        QCOMPARE(recorder()->count(QStringLiteral("[Complete Result] Uplink Command Name:Disconnect Result:")
                                       + CCommand::enumText("STATUS_RSP", 0x45),
                                   LogLevel::Error),
                 1);
    }

    void secondStatusOfAParsedFrame()
    {
        const PageWire page(nullptr, m_log->manager(), QStringLiteral(".\\wiretest"), 2);
        PageWire::Fields fields;
        QCOMPARE(page.check(wire("DD 01 08 03 00 00 13 02"), 1, QStringLiteral("f"), &fields), PageWire::Succeeded);
        QCOMPARE(page.checkStatus(wire("DD 01 08 03 00 00 13 02"), fields, QStringLiteral("reason"), 7,
                                  QStringLiteral("f")),
                 PageWire::Failed);
        QCOMPARE(page.checkStatus(wire("DD 01 08 03 00 00 13 02"), fields, QStringLiteral("nosuch"), 7,
                                  QStringLiteral("f")),
                 PageWire::Malformed);
        QCOMPARE(startingWith(QStringLiteral("FILE:.\\wiretest LINE:7 ")), 1);
    }

    void sendsByNameAndByHandOverTheLink()
    {
        SimulatedDongle dongle;
        QVERIFY(dongle.isValid());
        CMsg link(m_log->manager());
        QCOMPARE(link.openPort(dongle.portPath()), 0);
        const PageWire page(&link, m_log->manager(), QStringLiteral(".\\wiretest"));

        QVERIFY(page.send(QString::fromLatin1(CMD_RESET)));
        QVERIFY(page.sendFrame(QStringLiteral("By Hand"), 0x02, 0x07, QByteArray::fromHex("0100")));
        QVERIFY(dongle.waitForFrames(2));
        QCOMPARE(FrameBuilder::toHex(dongle.receivedBytes().at(0)), QString("AA 00 01 00 00 55"));
        QVERIFY(FrameBuilder::toHex(dongle.receivedBytes().at(1)).startsWith(QString("AA 02 07 02 00 01 00")));
        QCOMPARE(recorder()->count(QStringLiteral("Downlink Command Name: By Hand\r\nRaw Data: aa020702000100\r\n"
                                                  "Field Data: "),
                                   LogLevel::Info),
                 1);

        // A name the catalogue does not know, and a closed port: both refused and told.
        QVERIFY(!page.send(QStringLiteral("No Such Command")));
        QCOMPARE(recorder()->count(QStringLiteral("send no such command message failed"), LogLevel::Error), 1);
        link.closePort();
        QVERIFY(!page.sendFrame(QStringLiteral("By Hand"), 0x02, 0x07, QByteArray()));
        QCOMPARE(recorder()->count(QStringLiteral("send by hand message failed"), LogLevel::Error), 1);
    }

    void nothingIsSentForAnEndedConnection()
    {
        SimulatedDongle dongle;
        QVERIFY(dongle.isValid());
        CMsg link(m_log->manager());
        QCOMPARE(link.openPort(dongle.portPath()), 0);
        PageWire page(&link, m_log->manager(), QStringLiteral(".\\wiretest"), 3);
        const PageWire part(page, QStringLiteral(".\\parttest"));
        const PageWire other(&link, m_log->manager(), QStringLiteral(".\\wiretest"), 4);

        page.endConnection();
        QVERIFY(part.connectionEnded());
        QVERIFY(!other.connectionEnded());
        QVERIFY(!page.send(QString::fromLatin1(CMD_RESET)));
        QVERIFY(!part.sendFrame(QStringLiteral("By Hand"), 0x02, 0x07, QByteArray()));
        QCOMPARE(recorder()->count(QStringLiteral("Reset not sent: connection 3 has ended."), LogLevel::Warn), 1);
        QCOMPARE(recorder()->count(QStringLiteral("By Hand not sent: connection 3 has ended."), LogLevel::Warn), 1);
        QCOMPARE(startingWith(QStringLiteral("Downlink Command Name: ")), 0);
        // Another connection's page still sends.
        QVERIFY(other.send(QString::fromLatin1(CMD_RESET)));
        QVERIFY(dongle.waitForFrames(1));
        QTest::qWait(250);
        QCOMPARE(dongle.receivedCount(), 1);
    }

    void uplinkNameFromTheCatalogue()
    {
        QCOMPARE(PageWire::uplinkName(wire("DD 01 08 03 00 00 13 02")), QStringLiteral("Disconnect"));
        QCOMPARE(PageWire::uplinkName(wire("DD 7F 7F 00 00")), QString());
        QCOMPARE(PageWire::uplinkName(QByteArray()), QString());
    }

    void hexTextToBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("asSent");
        QTest::addColumn<QByteArray>("reversed");
        QTest::addColumn<QByteArray>("pairsOnly");

        QTest::newRow("pairs") << "0a1B2c" << QByteArray::fromHex("0a1b2c") << QByteArray::fromHex("2c1b0a")
                               << QByteArray::fromHex("0a1b2c");
        QTest::newRow("separators skipped") << "c1:c2 c3-c4" << QByteArray::fromHex("c1c2c3c4")
                                            << QByteArray::fromHex("c4c3c2c1") << QByteArray::fromHex("c1c2c3c4");
        QTest::newRow("odd count") << "abc" << QByteArray::fromHex("0abc") << QByteArray::fromHex("bc0a")
                                   << QByteArray::fromHex("ab");
        QTest::newRow("no digits") << "xyz" << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("empty") << "" << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("non-latin skipped") << QString::fromUtf8("1\xc3\xa9" "2") << QByteArray::fromHex("12")
                                           << QByteArray::fromHex("12") << QByteArray::fromHex("12");
    }

    void hexTextToBytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, asSent);
        QFETCH(QByteArray, reversed);
        QFETCH(QByteArray, pairsOnly);
        QCOMPARE(CUtil::hexBytes(text), asSent);
        QCOMPARE(CUtil::hexBytes(text, CUtil::Reversed), reversed);
        QCOMPARE(CUtil::hexPairBytes(text), pairsOnly);
        // Back to text and again: nothing lost.
        QCOMPARE(CUtil::hexBytes(CUtil::hexText(asSent)), asSent);
    }

    void hexPairTexts()
    {
        QCOMPARE(CUtil::hexPairText(QStringLiteral("A1b2C3")), QStringLiteral("A1b2C3"));
        QCOMPARE(CUtil::hexPairText(QStringLiteral("A1b2C3"), CUtil::Reversed), QStringLiteral("C3b2A1"));
        QCOMPARE(CUtil::hexPairText(QStringLiteral("a1b2c3"), CUtil::AsSent, ':'), QStringLiteral("a1:b2:c3"));
        QCOMPARE(CUtil::hexPairText(QStringLiteral("a1b2c"), CUtil::Reversed, ':'), QStringLiteral("b2:a1"));
        QCOMPARE(CUtil::hexPairs(QStringLiteral("a1b2")), QStringList({QStringLiteral("a1"), QStringLiteral("b2")}));
        QCOMPARE(CUtil::hexPairText(QString()), QString());
    }
};

QTEST_MAIN(TestPageWire)
#include "tst_pagewire.moc"
