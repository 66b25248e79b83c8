#include "ccommanduiwidget.h"
#include "cflatmessage.h"
#include "cgapcmdwidget.h"
#include "cgattwidget.h"
#include "cl2capwidget.h"
#include "clayerwidget.h"
#include "connectionpages.h"
#include "csduwidget.h"
#include "datafolder.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "l2caprig.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "pagewire.h"
#include "simbehaviour_forms.h"
#include "simbehaviour_l2cap.h"
#include "simbehaviour_lists.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QString DongleName = QStringLiteral("TwoConnections");

// The dongle tab with its peers connected, one connection page each.
struct TwoPeers
{
    TwoPeers()
    {
        lists = ListsBehaviour::install(*rig.dongle);
        l2cap = L2capBehaviour::install(*rig.dongle);
        installFormsBehaviour(*rig.dongle);
    }
    ~TwoPeers()
    {
        QDir(Platform::dataFolder() + QLatin1Char('/') + Platform::safeFolderName(DongleName)).removeRecursively();
    }

    // Brings `count` peers in; pages[i] is the page of connection i.
    bool connect(int count)
    {
        if (!rig.start())
            return false;
        for (int condix = 0; condix < count; ++condix) {
            const QByteArray address = FrameBuilder::fromHex("C1 C2 C3 C4 C5 C0") + char(condix);
            if (lists->peerConnects(address.right(6), 0) != condix
                || !QTest::qWaitFor([&] { return rig.countOf<CLayerWidget>() == condix + 1; }))
                return false;
        }
        for (int i = 0; i < rig.tabs()->count(); ++i) {
            if (auto *page = qobject_cast<CLayerWidget *>(rig.tabs()->widget(i)))
                pages[page->condix()] = page;
        }
        return true;
    }

    CL2capWidget *channels(int condix) const { return pages[condix]->findChild<CL2capWidget *>(); }
    CSduWidget *sdu(int condix) const { return channels(condix)->sduWidget(QStringLiteral("64")); }

    // "Create COC" of channel 64 through the page's dialog on every connection, one after the other.
    bool requestChannels(int count)
    {
        ModalAnswerer answerer;
        for (int condix = 0; condix < count; ++condix) {
            answerer.answerWith([](QWidget *dialog) {
                L2capRig::setFormField(dialog, QStringLiteral("LE PSM"), QStringLiteral("128"));
                L2capRig::setFormField(dialog, QStringLiteral("Local CID"), QStringLiteral("64"));
                dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
            });
            channels(condix)->on_toolButtonAdd_clicked();
        }
        return answerer.waitUntilAnswered();
    }
    bool openChannels(int count)
    {
        return requestChannels(count) && QTest::qWaitFor([&] {
                   for (int condix = 0; condix < count; ++condix) {
                       if (!channels(condix)->openChannels().contains(QStringLiteral("64")))
                           return false;
                   }
                   return true;
               });
    }
    void sendSdu(int condix, const QString &bytes)
    {
        sdu(condix)->findChild<QTextEdit *>(QStringLiteral("textEditTX"))->setPlainText(bytes);
        sdu(condix)->findChild<QPushButton *>(QStringLiteral("pushButtonSend"))->click();
    }
    int linesWith(const QString &text) const { return rig.log->texts().filter(text).size(); }
    // The GAP page's form of `name` on that connection, and what its edits show.
    CCommandUiWidget *gapForm(int condix, const QString &name) const
    {
        for (QWidget *widget : pages[condix]->gapWidget()->commandForms()) {
            auto *form = qobject_cast<CCommandUiWidget *>(widget);
            if (form && form->getCmdName() == name)
                return form;
        }
        return nullptr;
    }
    static QStringList shown(const CCommandUiWidget *form)
    {
        QStringList texts;
        for (const QLineEdit *edit : form->findChildren<QLineEdit *>())
            texts << edit->text();
        return texts;
    }
    QToolButton *closeButton(int condix) const
    {
        return qobject_cast<QToolButton *>(
            rig.tabs()->tabBar()->tabButton(rig.tabs()->indexOf(pages[condix]), QTabBar::RightSide));
    }

    DongleTabRig rig{DongleName};
    ListsBehaviour *lists = nullptr;
    L2capBehaviour *l2cap = nullptr;
    CLayerWidget *pages[2] = {};
};

// The texts of the notice boxes open now.
QStringList noticesShown()
{
    QStringList texts;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<CFlatMessage *>(widget) && widget->isVisible())
            texts << ModalAnswerer::describe(widget).text;
    }
    return texts;
}

} // namespace

// Two connections on one dongle, through the dongle tab. The dongle's
// acknowledgements name no connection; each still reaches only the page and
// the request that sent its command.
class TestTwoConnections : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<uint8_t>("uint8_t");
        registerConnectionPages();
    }
    void cleanupTestCase() { PageRegistry::registerMaker<PageKind::Connection>({}); }

    void aRefusalStopsOnlyItsOwnConnection_data();
    void aRefusalStopsOnlyItsOwnConnection();
    void aRefusalNamesItsConnectionAlone_data();
    void aRefusalNamesItsConnectionAlone();
    void aStoppedTransfersLateResultIsNotTheNextOnes();
};

void TestTwoConnections::aRefusalStopsOnlyItsOwnConnection_data()
{
    // Both connections send the command at once; the dongle refuses
    // connection 0's (its index at `indexAt` of the command).
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("indexAt");
    QTest::addColumn<QString>("refusalLine"); // connection 0's, once; none names connection 1

    QTest::newRow("Create COC") << "04@01" << 14
                                << "Connection 0: the dongle refused Creating COC of channel 64 (SDK ERR BUSY).";
    QTest::newRow("Send SDU") << "04@03" << 8
                              << "Channel 64: SDU transfer stopped, the dongle refused Sending SDU on connection 0 "
                                 "(SDK ERR BUSY).";
    QTest::newRow("Local Credits Management")
        << "04@0B" << 8 << "Channel 64: the dongle refused Local Credits Management on connection 0 (SDK ERR BUSY).";
    QTest::newRow("Discover All Attributes")
        << "03@29" << 4
        << "CGattWidget: connection 0: the dongle refused Discover All Attributes (SDK ERR BUSY); the batch ends.";
}

void TestTwoConnections::aRefusalStopsOnlyItsOwnConnection()
{
    QFETCH(QString, command);
    QFETCH(int, indexAt);
    QFETCH(QString, refusalLine);

    TwoPeers peers;
    QVERIFY(peers.connect(2));
    if (command != QLatin1String("04@01"))
        QVERIFY(peers.openChannels(2));
    peers.rig.dongle->refuse(command, ListsBehaviour::AckBusy, SimulatedDongle::Which::byteAt(indexAt, 0));

    if (command == QLatin1String("04@01")) {
        QVERIFY(peers.requestChannels(2));
        // The refused one is free again; the other opens.
        QTRY_VERIFY(peers.channels(1)->openChannels().contains(QStringLiteral("64")));
        QVERIFY(peers.channels(0)->openChannels().isEmpty());
        QVERIFY(peers.channels(0)->pendingChannels().isEmpty());
    } else if (command == QLatin1String("04@03")) {
        peers.sendSdu(0, QStringLiteral("aa"));
        peers.sendSdu(1, QStringLiteral("bb"));
        // Connection 1's SDU went out and its transfer ends as sent.
        QTRY_COMPARE(peers.sdu(1)->findChild<QLabel *>(QStringLiteral("label_sendLength"))->text(),
                     QStringLiteral("1"));
        QVERIFY(!peers.sdu(0)->isSending());
        QVERIFY(!peers.sdu(1)->isSending());
        QCOMPARE(peers.linesWith(QStringLiteral("SDU transfer stopped")), 1);
        QCOMPARE(peers.l2cap->channel(1, 64).delivered, QByteArray::fromHex("bb"));
    } else if (command == QLatin1String("04@0B")) {
        for (int condix : {0, 1}) {
            peers.sdu(condix)->findChild<QRadioButton *>(QStringLiteral("radioButtonMan"))->click();
            peers.sdu(condix)->findChild<QPushButton *>(QStringLiteral("pushButtonSendCredit"))->click();
        }
        QTRY_COMPARE(peers.rig.widget->link()->acknowledgements().waiting(), 0);
    } else {
        for (int condix : {0, 1})
            peers.pages[condix]->gattWidget()->on_toolButton_dicoverAllAttr_clicked();
        const auto discover = [&peers](int condix) {
            return peers.pages[condix]->gattWidget()->findChild<QToolButton *>(
                QStringLiteral("toolButton_dicoverAllAttr"));
        };
        QTRY_VERIFY(discover(0)->isEnabled());
        // Connection 1's discovery still runs: its controls stay with it.
        QTRY_COMPARE(peers.rig.widget->link()->acknowledgements().waiting(), 0);
        QVERIFY(!discover(1)->isEnabled());
        QCOMPARE(peers.linesWith(QStringLiteral("the batch ends.")), 1);
    }
    QTRY_COMPARE(peers.rig.log->count(refusalLine), 1);
    QTest::qWait(100);
    QCOMPARE(peers.rig.log->count(refusalLine), 1);
    QCOMPARE(peers.rig.log->texts().filter(QStringLiteral("refused")).filter(QStringLiteral("onnection 1")).size(), 0);
}

void TestTwoConnections::aRefusalNamesItsConnectionAlone_data()
{
    // Both connections send the command; the dongle refuses connection 0's.
    QTest::addColumn<QString>("command");
    // The GAP form that sends it; empty: the connection tab's close button.
    QTest::addColumn<QString>("form");

    QTest::newRow("Get Peer Version") << "01@4D" << "Get Peer Version";
    QTest::newRow("Get Connection RSSI") << "01@51" << "Get Connection RSSI";
    QTest::newRow("Disconnect") << "01@07" << "";
}

// One refusal line, naming connection 0; connection 1 goes on as on success.
void TestTwoConnections::aRefusalNamesItsConnectionAlone()
{
    QFETCH(QString, command);
    QFETCH(QString, form);

    TwoPeers peers;
    QVERIFY(peers.connect(2));
    // These commands carry the connection index first.
    peers.rig.dongle->refuse(command, ListsBehaviour::AckBusy, SimulatedDongle::Which::byteAt(4, 0));

    if (form.isEmpty()) {
        QPointer<CLayerWidget> refused = peers.pages[0];
        QPointer<CLayerWidget> accepted = peers.pages[1];
        QToolButton *closeRefused = peers.closeButton(0);
        QToolButton *closeAccepted = peers.closeButton(1);
        closeRefused->click();
        closeAccepted->click();
        QTRY_VERIFY(accepted.isNull());
        QTRY_COMPARE(peers.rig.widget->link()->acknowledgements().waiting(), 0);
        QVERIFY(refused);
        QCOMPARE(peers.rig.tabs()->indexOf(refused) >= 0, true);
    } else {
        CCommandUiWidget *forms[2] = {peers.gapForm(0, form), peers.gapForm(1, form)};
        QVERIFY(forms[0] && forms[1]);
        const QStringList before[2] = {TwoPeers::shown(forms[0]), TwoPeers::shown(forms[1])};
        forms[0]->on_btn_command_clicked();
        forms[1]->on_btn_command_clicked();
        QTRY_VERIFY(TwoPeers::shown(forms[1]) != before[1]);
        QTRY_COMPARE(peers.rig.widget->link()->acknowledgements().waiting(), 0);
        QCOMPARE(TwoPeers::shown(forms[0]), before[0]);
    }
    const QString refusalLine = QStringLiteral("Connection 0: the dongle refused %1 (SDK ERR BUSY).")
                                    .arg(PageWire::uplinkNameOfId(QStringLiteral("BB@") + command));
    QTRY_COMPARE(peers.rig.log->count(refusalLine), 1);
    QTest::qWait(100);
    QCOMPARE(peers.rig.log->count(refusalLine), 1);
    QCOMPARE(peers.rig.log->texts().filter(QStringLiteral("refused")).filter(QStringLiteral("onnection 1")).size(), 0);
}

// The dongle holds its "Sending SDU" results: Send aa, Clear, Send bb; then
// aa's result (sent) and bb's (failed) come. bb waits for aa's result, which
// is dropped; bb ends by its own failure, never told finished.
void TestTwoConnections::aStoppedTransfersLateResultIsNotTheNextOnes()
{
    TwoPeers peers;
    QVERIFY(peers.connect(1));
    QVERIFY(peers.openChannels(1));
    const QString sendSdu = QStringLiteral("04@03");
    peers.rig.dongle->withholdResult(sendSdu);
    CSduWidget *sdu = peers.sdu(0);

    peers.sendSdu(0, QStringLiteral("aa"));
    QTRY_COMPARE(peers.rig.dongle->receivedBytesOf(sendSdu).size(), 1);
    sdu->findChild<QPushButton *>(QStringLiteral("pushButtonClear"))->click();
    peers.sendSdu(0, QStringLiteral("bb"));
    QVERIFY(sdu->isSending());

    peers.rig.dongle->sendUplink(L2capBehaviour::sendingSduResult(64, 1, 0, 0));
    QTRY_COMPARE(peers.rig.dongle->receivedBytesOf(sendSdu).size(), 2);
    QCOMPARE(L2capRig::payloadOf(peers.rig.dongle->receivedBytesOf(sendSdu).last()).right(1),
             QByteArray::fromHex("bb"));
    peers.rig.dongle->sendUplink(L2capBehaviour::sendingSduResult(64, 1, 0x05, 0));
    QTRY_VERIFY(!sdu->isSending());
    QTest::qWait(100);

    QCOMPARE(peers.rig.log->count(
                 QStringLiteral("Channel 64: SDU transfer stopped, the dongle reported a send failure.")),
             1);
    QVERIFY2(!noticesShown().contains(QStringLiteral("Send SDU data finished.")),
             "a late result finished the next transfer");
    QCOMPARE(sdu->findChild<QLabel *>(QStringLiteral("label_sendLength"))->text(), QStringLiteral("0"));
}

QTEST_MAIN(TestTwoConnections)
#include "tst_twoconnections.moc"
