#include "framebuilder.h"
#include "logger.h"
#include "logmanager.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "pagewire.h"
#include "placeholderconnectionpage.h"
#include "recordedlog.h"
#include "uplinkdispatcher.h"

#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

// The frame as the link hands it on: the checksum byte is gone.
QByteArray wire(const QString &hex)
{
    return FrameBuilder::fromHex(hex);
}

// Records which of its members the dispatcher called, in order.
class Receiver : public QObject
{
    Q_OBJECT
public:
    explicit Receiver(LogManager *logger)
        : dispatcher(this, logger,
                     {{"BB@01@84", &Receiver::onFirst}, {"dd@05@04", &Receiver::onSecond}})
    {
    }

    void onFirst(const QByteArray &frame) { calls << QStringLiteral("first ") + QString::fromLatin1(frame.toHex()); }
    void onSecond(const QByteArray &frame)
    {
        calls << QStringLiteral("second ") + QString::fromLatin1(frame.toHex());
        if (deleteSelfOnSecond)
            delete this;
    }

    UplinkDispatcher<Receiver> dispatcher;
    QStringList calls;
    bool deleteSelfOnSecond = false;
};

class RecordingAdvertisingPage : public AdvertisingPage
{
    Q_OBJECT
public:
    using AdvertisingPage::AdvertisingPage;
    bool isAdvertising() const override { return true; }
};

} // namespace

class TestPageToolkit : public QObject
{
    Q_OBJECT

    std::unique_ptr<RecordedLog> m_log;

    int linesStartingWith(const QString &head) const { return m_log->recorder()->countStartingWith(head); }

private slots:
    void init() { m_log = std::make_unique<RecordedLog>(QStringLiteral("ToolkitTest")); }
    void cleanup()
    {
        m_log.reset();
        PageRegistry::unregisterAll();
    }

    void dispatcherRoutesByIdAndIgnoresTheRest_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("routed");
        QTest::addColumn<QString>("logHead");

        QTest::newRow("registered") << "BB 01 84 01 00 00" << "first bb0184010000" << true << "";
        QTest::newRow("id registered in lower case") << "DD 05 04 01 00 07" << "second dd0504010007" << true << "";
        QTest::newRow("unknown id") << "BB 01 85 01 00 00" << "" << false << "";
        QTest::newRow("shorter than a header") << "BB 01 84" << "" << false << "the length of msg is too short";
        QTest::newRow("length field says more") << "BB 01 84 02 00 00" << "" << false << "uplink-msg: 0xbb0184020000 dropped";
        QTest::newRow("length field says less") << "BB 01 84 00 00 00" << "" << false << "uplink-msg: 0xbb0184000000 dropped";
    }

    void dispatcherRoutesByIdAndIgnoresTheRest()
    {
        QFETCH(QString, frame);
        QFETCH(QString, call);
        QFETCH(bool, routed);
        QFETCH(QString, logHead);

        Receiver receiver(m_log->manager());
        QCOMPARE(receiver.dispatcher.dispatch(wire(frame)), routed);
        QCOMPARE(receiver.calls, call.isEmpty() ? QStringList() : QStringList{call});
        if (!logHead.isEmpty())
            QCOMPARE(linesStartingWith(logHead), 1);
    }

    void dispatcherKnowsItsIds()
    {
        Receiver receiver(m_log->manager());
        QVERIFY(receiver.dispatcher.handles(QStringLiteral("DD@05@04")));
        QVERIFY(!receiver.dispatcher.handles(QStringLiteral("DD@05@03")));
        QStringList ids = receiver.dispatcher.ids();
        ids.sort();
        QCOMPARE(ids, (QStringList{QStringLiteral("BB@01@84"), QStringLiteral("DD@05@04")}));
    }

    // A row's ID is three hexadecimal bytes; any other text matches no frame,
    // however close it comes to one.
    void dispatcherTakesOnlyWholeIds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("taken");
        QTest::newRow("upper case") << "DD@0A@F5" << true;
        QTest::newRow("lower case") << "dd@0a@f5" << true;
        QTest::newRow("one digit") << "DD@A@F5" << false;
        QTest::newRow("four bytes") << "DD@0A@F5@00" << false;
        QTest::newRow("two bytes") << "DD@0A" << false;
        QTest::newRow("not hexadecimal") << "DD@0G@F5" << false;
        QTest::newRow("sign") << "DD@+A@F5" << false;
        QTest::newRow("empty") << "" << false;
    }

    void dispatcherTakesOnlyWholeIds()
    {
        QFETCH(QString, id);
        QFETCH(bool, taken);
        Receiver receiver(m_log->manager());
        receiver.dispatcher.add(id, &Receiver::onFirst);
        QCOMPARE(receiver.dispatcher.size(), taken ? 3 : 2);
        QCOMPARE(receiver.dispatcher.handles(id), taken);
        QCOMPARE(receiver.dispatcher.dispatch(wire("DD 0A F5 01 00 00")), taken);
    }

    void batchKeepsOrderAndStopsWithItsOwner()
    {
        Receiver receiver(m_log->manager());
        const QList<QByteArray> frames{wire("DD 05 04 01 00 01"), wire("BB 01 84 05 00 00"),
                                       wire("BB 01 84 01 00 02"), wire("DD 05 04 01 00 03")};
        receiver.dispatcher.dispatchAll(frames);
        QCOMPARE(receiver.calls, (QStringList{"second dd0504010001", "first bb0184010002", "second dd0504010003"}));

        // A handler whose page goes under it (a modal dialog in which the
        // tab was closed): the frames after it are not delivered to freed memory.
        QPointer<Receiver> doomed = new Receiver(m_log->manager());
        doomed->deleteSelfOnSecond = true;
        const QList<QByteArray> rest{wire("BB 01 84 01 00 00"), wire("DD 05 04 01 00 01"), wire("BB 01 84 01 00 00")};
        doomed->dispatcher.dispatchAll(rest);
        QVERIFY(doomed.isNull());
    }

    void statusCheckParsesLogsAndJudges_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("statusField");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("messageLines");
        QTest::addColumn<int>("internalErrors");
        QTest::addColumn<int>("failureLines");

        // "Channel Map Set" result: one status field at the first payload byte.
        QTest::newRow("success") << "DD 01 6A 01 00 00" << "status" << int(PageWire::Succeeded) << 1 << 0 << 0;
        QTest::newRow("failure") << "DD 01 6A 01 00 45" << "status" << int(PageWire::Failed) << 1 << 0 << 1;
        QTest::newRow("byte after the status") << "DD 01 6A 02 00 00 01" << "status" << int(PageWire::Succeeded)
                                               << 1 << 0 << 0;
        QTest::newRow("no status byte") << "DD 01 6A 00 00" << "status" << int(PageWire::Unparsed) << 0 << 0 << 0;
        QTest::newRow("no such field") << "DD 01 6A 01 00 00" << "result" << int(PageWire::Malformed) << 1 << 1
                                       << 0;
        // "Connect" result: the status is followed by the other fields.
        QTest::newRow("status among fields")
            << "DD 01 06 12 00 00 01 00 28 00 00 00 C8 00 00 00 01 02 03 04 05 06 00"
            << "status" << int(PageWire::Succeeded) << 1 << 0 << 0;
        QTest::newRow("two-byte field as status")
            << "DD 01 06 12 00 00 01 00 28 00 00 00 C8 00 00 00 01 02 03 04 05 06 00"
            << "con_interval" << int(PageWire::Malformed) << 1 << 1 << 0;
    }

    void statusCheckParsesLogsAndJudges()
    {
        QFETCH(QString, frame);
        QFETCH(QString, statusField);
        QFETCH(int, result);
        QFETCH(int, messageLines);
        QFETCH(int, internalErrors);
        QFETCH(int, failureLines);

        const PageWire page(nullptr, m_log->manager(), QStringLiteral(".\\toolkittest"));
        PageWire::Fields fields;
        QCOMPARE(int(page.check(wire(frame), 42, QStringLiteral("Test::handler"), &fields,
                                PageWire::Form().status(statusField))),
                 result);
        QCOMPARE(m_log->recorder()->count(
                     QStringLiteral("FILE:.\\toolkittest LINE:42 FUNCTION:Test::handler Internal error."), LogLevel::Debug),
                 internalErrors);
        const int messages = linesStartingWith(QStringLiteral("Uplink Command Name: "));
        QCOMPARE(messages, messageLines);
        QCOMPARE(linesStartingWith(QStringLiteral("Uplink Command Name:")) - messages, failureLines);
    }

    void quietCheckLeavesTheFailureToTheCaller()
    {
        const PageWire page(nullptr, m_log->manager(), QStringLiteral(".\\toolkittest"));
        QCOMPARE(page.check(wire("DD 01 6A 01 00 45"), 1, QStringLiteral("f"), nullptr, PageWire::Form().quietFailure()),
                 PageWire::Failed);
        QCOMPARE(linesStartingWith(QStringLiteral("Uplink Command Name:Channel Map Set Result:")), 0);
    }

    void statusCheckStopsAtAFrameTheCatalogueRejects()
    {
        const PageWire page(nullptr, m_log->manager(), QStringLiteral(".\\toolkittest"));
        // "Connect" result: its last field lies beyond this frame.
        QCOMPARE(page.check(wire("DD 01 06 01 00 00"), 1, QStringLiteral("f")), PageWire::Unparsed);
        QCOMPARE(linesStartingWith(QStringLiteral("Parse uplink Command:")), 1);
        QCOMPARE(linesStartingWith(QStringLiteral("FILE:")), 0);
    }

    void acknowledgementAndPayloadBytes_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("acknowledgement");
        QTest::addColumn<int>("firstPayloadByte");

        QTest::newRow("one byte") << "BB 01 84 01 00 07" << 7 << 7;
        QTest::newRow("no payload") << "BB 01 84 00 00" << -1 << -1;
        QTest::newRow("two bytes") << "BB 01 84 02 00 00 09" << -1 << 0;
        QTest::newRow("not even a header") << "BB 01" << -1 << -1;
    }

    void acknowledgementAndPayloadBytes()
    {
        QFETCH(QString, frame);
        QFETCH(int, acknowledgement);
        QFETCH(int, firstPayloadByte);
        const auto ack = PageWire::acknowledgement(wire(frame));
        const auto first = PageWire::firstPayloadByte(wire(frame));
        QCOMPARE(ack ? int(*ack) : -1, acknowledgement);
        QCOMPARE(first ? int(*first) : -1, firstPayloadByte);
    }

    void registryFallsBackWhereTheTabNeedsAPage()
    {
        QWidget parent;
        const QString name = QStringLiteral("Dongle1");
        PageContext context;
        context.logger = m_log->manager();
        context.dongleName = &name;
        context.parent = &parent;

        QVERIFY(!PageRegistry::has(PageKind::Connection));
        ConnectionPageArgs args;
        args.condix = 4;
        args.peerAddress = QStringLiteral("11:22:33:44:55:66");
        ConnectionPage *page = PageRegistry::create<PageKind::Connection>(context, args);
        QVERIFY(qobject_cast<PlaceholderConnectionPage *>(page));
        QCOMPARE(page->condix(), uint8_t(4));
        QCOMPARE(page->parentWidget(), &parent);

        AdvertisingPage *advertising = PageRegistry::create<PageKind::Advertising>(context);
        QVERIFY(advertising);
        QVERIFY(!advertising->isAdvertising());

        QVERIFY(!PageRegistry::create<PageKind::PsmDialog>(context));
        QVERIFY(!PageRegistry::create<PageKind::CigCisCentral>(context));
        QVERIFY(!PageRegistry::create<PageKind::CisPeripheral>(context, CisPageArgs()));
        QVERIFY(!PageRegistry::create<PageKind::CisRequestDialog>(context, CisPageArgs()));
        QVERIFY(!PageRegistry::create<PageKind::BigReceiver>(context, BigReceiverArgs()));
        QVERIFY(!PageRegistry::create<PageKind::BigBroadcaster>(context, BigBroadcasterArgs()));
        QVERIFY(!PageRegistry::create<PageKind::LcpTest>(context));
        QVERIFY(!PageRegistry::create<PageKind::IdtTest>(context));
        QVERIFY(!PageRegistry::create<PageKind::FirmwareDownloader>(context));
        QVERIFY(!PageRegistry::create<PageKind::CalibrationDialog>(context));
    }

    void registeredMakerSeesContextAndRenamedDongle()
    {
        QString name = QStringLiteral("Dongle1");
        PageContext context;
        context.logger = m_log->manager();
        context.dongleName = &name;

        const QString *seenName = nullptr;
        PageRegistry::registerMaker<PageKind::Advertising>(
            [&seenName](const PageContext &given, const NoPageArgs &) -> AdvertisingPage * {
                seenName = given.dongleName;
                return new RecordingAdvertisingPage(given.parent);
            });
        QVERIFY(PageRegistry::has(PageKind::Advertising));
        QVERIFY(!PageRegistry::has(PageKind::Connection));
        std::unique_ptr<AdvertisingPage> page(PageRegistry::create<PageKind::Advertising>(context));
        QVERIFY(page->isAdvertising());
        name = QStringLiteral("Renamed");
        QVERIFY(seenName);
        QCOMPARE(*seenName, QStringLiteral("Renamed"));

        // A maker that declines gives the fallback, never null.
        PageRegistry::registerMaker<PageKind::Connection>(
            [](const PageContext &, const ConnectionPageArgs &) -> ConnectionPage * { return nullptr; });
        std::unique_ptr<ConnectionPage> connection(
            PageRegistry::create<PageKind::Connection>(context, ConnectionPageArgs()));
        QVERIFY(qobject_cast<PlaceholderConnectionPage *>(connection.get()));

        PageRegistry::registerMaker<PageKind::Advertising>({});
        QVERIFY(!PageRegistry::has(PageKind::Advertising));
    }
};

QTEST_MAIN(TestPageToolkit)
#include "tst_pagetoolkit.moc"
