#include "ccommand.h"
#include "linkrig.h"
#include "pagewire.h"

#include <QtTest>

#include <memory>

namespace {

// Two pages of one dongle, one per connection, sending the same commands.
struct Page
{
    Page(LinkRig &rig, quint8 condix)
        : wire(&rig.link, &rig.logs, QStringLiteral("page"), condix)
        , context(new QObject)
        , condix(condix)
    {
    }

    PageWire wire;
    std::unique_ptr<QObject> context;
    quint8 condix;
};

// What a request heard: its status, "lost", or nothing yet.
QString outcome(const QByteArray &acknowledgement)
{
    if (acknowledgement.isEmpty())
        return QStringLiteral("lost");
    const std::optional<uchar> status = PageWire::acknowledgement(acknowledgement);
    return status ? QString::number(*status) : QStringLiteral("malformed");
}

int acknowledgementsHeard(const LinkRig &rig)
{
    int heard = 0;
    for (const UplinkRecorder::Entry &entry : rig.uplinks.entries())
        heard += quint8(entry.frame.at(0)) == 0xBB ? 1 : 0;
    return heard;
}

} // namespace

// Acknowledgements name their command, not the connection or the page: the
// link hands each one to the request it answers, by the order the dongle
// answers in, and to nobody else.
class TestAcknowledgements : public QObject
{
    Q_OBJECT

private slots:
    void eachAcknowledgementReachesItsRequest_data();
    void eachAcknowledgementReachesItsRequest();
    void waitingCommandsStayBounded();
};

void TestAcknowledgements::eachAcknowledgementReachesItsRequest_data()
{
    // Steps: "<connection> <command>" claimed; "plain ..." sent without a
    // claim; "gone ..." claimed by a page that goes before the answer.
    QTest::addColumn<QStringList>("steps");
    // "<refuse|drop|hold> <command ID> <connection>": the dongle's fault.
    QTest::addColumn<QString>("fault");
    // Per claimed step, in order.
    QTest::addColumn<QStringList>("outcomes");
    // Acknowledgements handed out on the link's layer signals.
    QTest::addColumn<int>("heard");
    QTest::addColumn<QString>("lostLine");

    QTest::newRow("the first connection's refusal is its own")
        << QStringList{"1 Disconnect", "2 Disconnect"} << "refuse 01@07 1" << QStringList{"6", "0"} << 0 << "";
    QTest::newRow("the second connection's refusal is its own")
        << QStringList{"1 Disconnect", "2 Disconnect"} << "refuse 01@07 2" << QStringList{"0", "6"} << 0 << "";
    QTest::newRow("a lost acknowledgement is told when a later command is answered")
        << QStringList{"1 Disconnect", "1 Get Connection RSSI"} << "drop 01@07 1" << QStringList{"lost", "0"} << 0
        << "No acknowledgement came for Disconnect: the dongle answered Get Connection RSSI, sent after it.";
    QTest::newRow("a held acknowledgement still reaches its request")
        << QStringList{"1 Disconnect", "2 Disconnect"} << "hold 01@07 1" << QStringList{"0", "0"} << 0 << "";
    QTest::newRow("an unclaimed command keeps its place and its acknowledgement goes out")
        << QStringList{"plain 1 Disconnect", "2 Disconnect"} << "refuse 01@07 1" << QStringList{"0"} << 1 << "";
    QTest::newRow("the acknowledgement of a page that went is nobody else's")
        << QStringList{"gone 1 Disconnect", "2 Disconnect"} << "refuse 01@07 1" << QStringList{"0"} << 0 << "";
}

void TestAcknowledgements::eachAcknowledgementReachesItsRequest()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, fault);
    QFETCH(QStringList, outcomes);
    QFETCH(int, heard);
    QFETCH(QString, lostLine);

    LinkRig rig(QStringLiteral("Acknowledgements"), 2);
    QVERIFY(rig.openAndSync());
    // Disconnect and Get Connection RSSI carry the connection index first.
    const QStringList faultParts = fault.split(QLatin1Char(' '));
    const SimulatedDongle::Which which = SimulatedDongle::Which::byteAt(4, quint8(faultParts.at(2).toUInt()));
    if (faultParts.at(0) == QLatin1String("refuse"))
        rig.dongle.refuse(faultParts.at(1), 6, which);
    else if (faultParts.at(0) == QLatin1String("drop"))
        rig.dongle.dropAcknowledgement(faultParts.at(1), which);
    else
        rig.dongle.holdAcknowledgement(faultParts.at(1), which);
    rig.uplinks.clear();

    Page first(rig, 1);
    Page second(rig, 2);
    QStringList heardBy;
    for (const QString &step : steps) {
        QStringList words = step.split(QLatin1Char(' '));
        const QString how = words.first().at(0).isDigit() ? QString() : words.takeFirst();
        Page &page = words.takeFirst() == QLatin1String("1") ? first : second;
        const QString name = words.join(QLatin1Char(' '));
        const PageWire::Values fields{{QStringLiteral("condix"), int(page.condix)}};
        // Queued on the link itself, as the heartbeat does: no page's wire.
        if (how == QLatin1String("plain")) {
            QVERIFY(CCommand::sendMsg(&rig.link, &rig.logs, name, fields, {}));
            continue;
        }
        const int slot = heardBy.size();
        heardBy << QString();
        QVERIFY(page.wire.send(name, fields, {}, PageWire::Answer(page.context.get(), [&heardBy, slot](const QByteArray &frame) {
                                   heardBy[slot] = outcome(frame);
                               })));
        if (how == QLatin1String("gone")) {
            page.context.reset();
            heardBy.removeLast();
        }
    }
    QVERIFY(rig.dongle.waitForFrames(steps.size()));
    if (rig.dongle.isHolding()) {
        QTest::qWait(50);
        QVERIFY(heardBy.filter(QRegularExpression(QStringLiteral("."))).isEmpty());
        rig.dongle.releaseHeld();
    }
    QTRY_COMPARE(heardBy, outcomes);
    QTest::qWait(50);
    QCOMPARE(heardBy, outcomes);
    QCOMPARE(acknowledgementsHeard(rig), heard);
    QCOMPARE(rig.link.acknowledgements().waiting(), 0);
    if (!lostLine.isEmpty())
        QCOMPARE(rig.recorder->count(lostLine), 1);
    else
        QVERIFY(rig.recorder->texts().filter(QStringLiteral("No acknowledgement came")).isEmpty());
}

// A dongle that answers nothing does not make the link keep every command
// it sent.
void TestAcknowledgements::waitingCommandsStayBounded()
{
    LogManager logs(QStringLiteral("Acknowledgements"));
    auto *recorder = new RecordingLogger;
    logs.addLogger(recorder);
    AcknowledgementMatcher matcher(&logs);
    const QByteArray rssi = QByteArray::fromHex("aa01510100");
    const quint64 sent = AcknowledgementMatcher::MaxWaiting + 20;
    // Each command has left by the time the next one is queued.
    for (quint64 number = 1; number <= sent; ++number)
        matcher.queued(number, rssi, number - 1);
    QCOMPARE(matcher.waiting(), AcknowledgementMatcher::MaxWaiting);
    QCOMPARE(recorder->texts().filter(QStringLiteral("The dongle has left more than 1024 commands unanswered")).size(),
             1);
    // The newest are still waited for.
    QVERIFY(!matcher.take(QByteArray::fromHex("bb0151010000"), sent));
    QCOMPARE(matcher.waiting(), AcknowledgementMatcher::MaxWaiting - 1);
}

QTEST_MAIN(TestAcknowledgements)
#include "tst_acknowledgements.moc"
