#include "cl2capwidget.h"
#include "clayerwidget.h"
#include "csduwidget.h"
#include "l2caprig.h"
#include "connectionpages.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "simbehaviour_l2cap.h"
#include "simbehaviour_lists.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QPointer>
#include <QtTest>

namespace {

// Brings the peer in and gives the connection page the dongle tab opens for
// it; null when the dongle chose another index or no page came.
CLayerWidget *connectPeer(DongleTabRig &rig, ListsBehaviour *lists, int expectedCondix)
{
    if (lists->peerConnects(FrameBuilder::fromHex("C1 C2 C3 C4 C5 C6"), 1) != expectedCondix)
        return nullptr;
    if (!QTest::qWaitFor([&rig] { return rig.countOf<CLayerWidget>() == 1; }))
        return nullptr;
    for (int i = 0; i < rig.tabs()->count(); ++i) {
        if (auto *page = qobject_cast<CLayerWidget *>(rig.tabs()->widget(i)))
            return page;
    }
    return nullptr;
}

} // namespace

// A connection that ends while one of its pages asks the user something: the
// dongle tab closes the page through its own paths (the peer's disconnection,
// the dongle's reset), and nothing is answered for the connection that is gone.
class TestConnectionEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<uint8_t>("uint8_t");
        registerConnectionPages();
    }
    void cleanupTestCase() { PageRegistry::registerMaker<PageKind::Connection>({}); }

    void dialogsOfAnEndedConnectionAnswerNothing_data();
    void dialogsOfAnEndedConnectionAnswerNothing();
    void requestsReadBehindTheEndAnswerNothing_data();
    void requestsReadBehindTheEndAnswerNothing();
    void aTransferGoesNoFurtherThanItsConnection();
};

void TestConnectionEnd::dialogsOfAnEndedConnectionAnswerNothing_data()
{
    // The peer's request: its result ID and payload without the trailing connection index.
    QTest::addColumn<int>("layer");
    QTest::addColumn<int>("opcode");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("reply"); // the downlink that would answer it
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("reset");    // the dongle resets instead of the peer leaving

    for (bool reset : {false, true}) {
        const char *how = reset ? "dongle resets" : "peer disconnects";
        QTest::addRow("number comparison, %s", how)
            << 0x02 << 0x06 << QByteArray::fromHex("037b000000") << "02@07" << "EndDongle: Number Comparison" << reset;
        QTest::addRow("passkey entry, %s", how)
            << 0x02 << 0x06 << QByteArray::fromHex("0102") << "02@07" << "EndDongle: Input Passkey" << reset;
        QTest::addRow("encryption request, %s", how)
            << 0x02 << 0x06 << QByteArray::fromHex("00") << "02@07" << "EndDongle: Make Pair" << reset;
        // interval 24 to 40, latency 0, timeout 500
        QTest::addRow("parameter update, %s", how) << 0x01 << 0x3C << QByteArray::fromHex("180028000000f401")
                                                   << "01@39" << "EndDongle: Update Connection Parameters" << reset;
        // PSM 128, peer CID 64, MTU 512, MPS 247
        QTest::addRow("channel request, %s", how) << 0x04 << 0x06 << QByteArray::fromHex("800040000002f700")
                                                  << "04@07" << "EndDongle: COC Connect Request" << reset;
    }
}

void TestConnectionEnd::dialogsOfAnEndedConnectionAnswerNothing()
{
    QFETCH(int, layer);
    QFETCH(int, opcode);
    QFETCH(QByteArray, payload);
    QFETCH(QString, reply);
    QFETCH(QString, title);
    QFETCH(bool, reset);

    DongleTabRig rig(QStringLiteral("EndDongle"));
    ListsBehaviour *lists = ListsBehaviour::install(*rig.dongle);
    QVERIFY(rig.start());
    const int condix = 0;
    QPointer<CLayerWidget> page = connectPeer(rig, lists, condix);
    QVERIFY(page);

    // The connection ends while the dialog waits for the user.
    ModalAnswerer answerer;
    QPointer<QWidget> open;
    answerer.answerWith([&](QWidget *dialog) {
        open = dialog;
        rig.dongle->clearReceived();
        if (reset)
            rig.dongle->sendResetEvent();
        else
            lists->peerDisconnects(quint8(condix));
    });
    rig.dongle->sendUplink(FrameBuilder::frame(0xDD, quint8(layer), quint8(opcode), payload + char(condix)));
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, title);
    QTRY_VERIFY(page.isNull());
    QTRY_VERIFY(open.isNull());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(rig.countOf<CLayerWidget>(), 0);

    // Long enough for a reply to cross the link at its pace.
    QTest::qWait(300);
    QVERIFY2(rig.dongle->receivedBytesOf(reply).isEmpty(), "a reply went out for a connection that is gone");
    QCOMPARE(rig.log->count(QStringLiteral("Connection 0 has ended: \"") + title
                            + QStringLiteral("\" closed without an answer.")),
             1);
}

void TestConnectionEnd::requestsReadBehindTheEndAnswerNothing_data()
{
    // The peer's request: its result ID and payload without the trailing connection index.
    QTest::addColumn<int>("layer");
    QTest::addColumn<int>("opcode");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("reply");   // the downlink that would answer it
    QTest::addColumn<QString>("command"); // its name in the log
    QTest::addColumn<QString>("accept");  // the dialog's button that answers
    QTest::addColumn<QString>("typed");   // typed into the dialog's edit first, if not empty

    QTest::newRow("number comparison") << 0x02 << 0x06 << QByteArray::fromHex("037b000000") << "02@07"
                                       << "Sending Confirm Information" << "btn_Yes" << "";
    QTest::newRow("passkey entry") << 0x02 << 0x06 << QByteArray::fromHex("0102") << "02@07"
                                   << "Sending Confirm Information" << "btn_Yes" << "123456";
    QTest::newRow("encryption request") << 0x02 << 0x06 << QByteArray::fromHex("00") << "02@07"
                                        << "Sending Confirm Information" << "m_pbYes" << "";
    // interval 24 to 40, latency 0, timeout 500
    QTest::newRow("parameter update") << 0x01 << 0x3C << QByteArray::fromHex("180028000000f401") << "01@39"
                                      << "Update Connection Parameters Reply" << "pushButtonAccept" << "";
    // PSM 128, peer CID 64, MTU 512, MPS 247
    QTest::newRow("channel request") << 0x04 << 0x06 << QByteArray::fromHex("800040000002f700") << "04@07"
                                     << "Accept Create COC Request" << "pushButtonAccept" << "";
}

// The peer's request is read in the same chunk as its disconnection: the
// page, closed but not yet deleted, still takes it and asks the user, and the
// user's answer must not go out for the connection that is gone.
void TestConnectionEnd::requestsReadBehindTheEndAnswerNothing()
{
    QFETCH(int, layer);
    QFETCH(int, opcode);
    QFETCH(QByteArray, payload);
    QFETCH(QString, reply);
    QFETCH(QString, command);
    QFETCH(QString, accept);
    QFETCH(QString, typed);

    DongleTabRig rig(QStringLiteral("EndDongle"));
    ListsBehaviour *lists = ListsBehaviour::install(*rig.dongle);
    QVERIFY(rig.start());
    const int condix = 0;
    QPointer<CLayerWidget> page = connectPeer(rig, lists, condix);
    QVERIFY(page);

    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *dialog) {
        if (!typed.isEmpty())
            dialog->findChild<QLineEdit *>()->setText(typed);
        dialog->findChild<QAbstractButton *>(accept)->click();
    });
    rig.dongle->clearReceived();
    const QByteArray ended =
        ListsBehaviour::disconnectionEvent(0, quint8(condix), ListsBehaviour::ReasonRemoteUser);
    const QByteArray request = FrameBuilder::frame(0xDD, quint8(layer), quint8(opcode), payload + char(condix));
    // One write: both frames reach the dongle tab before it gets back to its event loop.
    rig.dongle->sendRaw(FrameBuilder::withChecksum(ended) + FrameBuilder::withChecksum(request));
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.failures(), QStringList());
    QTRY_VERIFY(page.isNull());
    QVERIFY(!QApplication::activeModalWidget());

    // Long enough for a reply to cross the link at its pace.
    QTest::qWait(300);
    QVERIFY2(rig.dongle->receivedBytesOf(reply).isEmpty(), "a reply went out for a connection that is gone");
    QCOMPARE(rig.log->count(command + QStringLiteral(" not sent: connection 0 has ended.")), 1);
}

// An SDU transfer under way when the peer leaves: the result of the SDU in
// flight, read behind the disconnection, must not send the next one.
void TestConnectionEnd::aTransferGoesNoFurtherThanItsConnection()
{
    const QString sendSdu = QStringLiteral("04@03");
    DongleTabRig rig(QStringLiteral("EndDongle"));
    ListsBehaviour *lists = ListsBehaviour::install(*rig.dongle);
    L2capBehaviour *l2cap = L2capBehaviour::install(*rig.dongle);
    // 4-byte SDUs of one K-frame each.
    l2cap->setChannelPlan({4, 23, 10, 0});
    QVERIFY(rig.start());
    const int condix = 0;
    CLayerWidget *page = connectPeer(rig, lists, condix);
    QVERIFY(page);
    QPointer<CL2capWidget> channels = page->findChild<CL2capWidget *>();
    QVERIFY(channels);

    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *dialog) {
        QVERIFY(L2capRig::setFormField(dialog, QStringLiteral("LE PSM"), QStringLiteral("128")));
        QVERIFY(L2capRig::setFormField(dialog, QStringLiteral("Local CID"), QStringLiteral("64")));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
    });
    channels->on_toolButtonAdd_clicked();
    QVERIFY(answerer.waitUntilAnswered());
    QTRY_VERIFY(channels->openChannels().contains(QStringLiteral("64")));
    CSduWidget *sdu = channels->sduWidget(QStringLiteral("64"));

    // Three SDUs; the first one's result is held back by the dongle.
    rig.dongle->withholdResult(sendSdu);
    sdu->findChild<QTextEdit *>(QStringLiteral("textEditTX"))->setPlainText(QStringLiteral("0102030405060708090a0b0c"));
    sdu->findChild<QPushButton *>(QStringLiteral("pushButtonSend"))->click();
    QTRY_COMPARE(rig.dongle->receivedBytesOf(sendSdu).size(), 1);
    QTRY_COMPARE(rig.widget->link()->acknowledgements().waiting(), 0);

    rig.dongle->clearReceived();
    const QByteArray ended =
        ListsBehaviour::disconnectionEvent(0, quint8(condix), ListsBehaviour::ReasonRemoteUser);
    const QByteArray result = L2capBehaviour::sendingSduResult(64, 1, 0, quint8(condix));
    // One write: both frames reach the dongle tab before it gets back to its event loop.
    rig.dongle->sendRaw(FrameBuilder::withChecksum(ended) + FrameBuilder::withChecksum(result));
    QTRY_VERIFY(channels.isNull());

    QTest::qWait(300);
    QVERIFY2(rig.dongle->receivedBytesOf(sendSdu).isEmpty(), "an SDU went out for a connection that is gone");
    QCOMPARE(rig.log->count(QStringLiteral("Send SDU not sent: connection 0 has ended.")), 1);
}

QTEST_MAIN(TestConnectionEnd)
#include "tst_connectionend.moc"
