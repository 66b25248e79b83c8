#include "cflatdialog.h"
#include "cl2capwidget.h"
#include "clayerwidget.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "cutil.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "isochronouspages.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "simbehaviour_iso.h"
#include "simbehaviour_l2cap.h"
#include "simbehaviour_lists.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

// A dongle that repeats a notice or a request faster than anyone can answer:
// a page shows one box of a kind, runs no nested event loop per frame, and
// turns down the repeats that come while one waits for its answer. What the
// guards bound keeps its meaning: a box keeps every outcome it was told, and
// distinct requests of a kind wait their turn.
namespace {

constexpr int Flood = 60;

// "Stop Scan" failed with status 12: its logged frame tells that the frames
// before it were handled.
const QByteArray Marker = FrameBuilder::uplink(0xDD, 0x01, 0x04, QByteArray::fromHex("0C00"));
const QString MarkerText = QStringLiteral("dd010402000c00");

QList<CFlatDialog *> shownDialogs(const QString &title)
{
    QList<CFlatDialog *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<CFlatDialog *>(widget);
        auto *label = dialog ? dialog->findChild<QLabel *>(QStringLiteral("m_lbTitle")) : nullptr;
        if (dialog && dialog->isVisible() && label && label->text() == title)
            shown << dialog;
    }
    return shown;
}

// Watches from a timer, which also runs inside any nested event loop: counts
// the most boxes of the title shown at once, and once `done` holds (or the
// time is up) notes whether the flood was handled in a nested loop and closes
// every box of the title.
struct FloodWatch
{
    QString title;
    std::function<bool()> done;
    int mostShown = 0;
    bool finished = false;
    bool nested = false;
    QTimer timer;

    void run(int timeoutMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        const int outerLevel = QThread::currentThread()->loopLevel();
        QObject::connect(&timer, &QTimer::timeout, [this, &clock, timeoutMs, outerLevel] {
            mostShown = qMax(mostShown, int(shownDialogs(title).size()));
            if (!finished && (done() || clock.elapsed() > timeoutMs)) {
                finished = true;
                nested = QThread::currentThread()->loopLevel() > outerLevel;
            }
            if (finished) {
                for (CFlatDialog *dialog : shownDialogs(title))
                    dialog->reject();
            }
        });
        timer.start(10);
        QVERIFY(QTest::qWaitFor([this] { return finished && shownDialogs(title).isEmpty(); }, timeoutMs + 10000));
        timer.stop();
    }
};

} // namespace

class TestBoxFlood : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerConnectionPages();
        registerIsochronousPages();
    }
    void cleanupTestCase() { PageRegistry::unregisterAll(); }

    void init()
    {
        m_rig = new DongleTabRig(QStringLiteral("FloodDongle"));
        installListsBehaviour(*m_rig->dongle);
        QVERIFY(m_rig->start());
        m_rig->widget->show();
        m_condix = ListsBehaviour::of(*m_rig->dongle)->peerConnects(FrameBuilder::fromHex("C1 C2 C3 C4 C5 C6"), 0);
        QCOMPARE(m_condix, 0);
        QTRY_COMPARE(m_rig->countOf<CLayerWidget>(), 1);
        m_rig->dongle->clearReceived();
        m_rig->log->clear();
    }

    void cleanup()
    {
        delete m_rig;
        m_rig = nullptr;
    }

    void noticeFloodShowsOneBox_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bigReceiver");
        QTest::newRow("MTU exchanged") << FrameBuilder::uplink(0xDD, 0x03, 0x01, QByteArray::fromHex("00001700"))
                                       << QStringLiteral("ATTENTION") << QStringLiteral("Exchange MTU success") << false;
        QTest::newRow("pairing failed") << FrameBuilder::uplink(0xDD, 0x02, 0x04, QByteArray::fromHex("0c00"))
                                        << QStringLiteral("FloodDongle: Pair Result")
                                        << QStringLiteral("Pair failed. Result: FAIL NUM CMP FAIL") << false;
        QTest::newRow("link key")
            << FrameBuilder::uplink(0xDD, 0x02, 0x0A, QByteArray::fromHex("000102030405060708090a0b0c0d0e0f00"))
            << QStringLiteral("FloodDongle Link Value")
            << QStringLiteral("Link value number: 00:01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f") << false;
        QTest::newRow("unknown BIG synchronised")
            << FrameBuilder::uplink(0xDD, 0x06, 0x07, QByteArray::fromHex("00050000000000")) << QStringLiteral("ERROR")
            << QStringLiteral("The returned big ID is wrong in BIG Create Sync command.") << true;
    }

    void noticeFloodShowsOneBox()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, bigReceiver);
        if (bigReceiver)
            m_rig->widget->on_masterBIGSucceed(3);
        m_rig->dongle->sendRaw(frame.repeated(Flood) + Marker);
        FloodWatch watch;
        watch.title = title;
        QString shownText;
        watch.done = [&] {
            if (!m_rig->log->texts().filter(MarkerText).isEmpty()) {
                const QList<CFlatDialog *> shown = shownDialogs(title);
                if (shown.size() == 1)
                    shownText = shown.first()->findChild<QLabel *>(QStringLiteral("m_lbMessage"))->text();
                return true;
            }
            return false;
        };
        watch.run();
        QVERIFY(!watch.nested);
        QCOMPARE(watch.mostShown, 1);
        QCOMPARE(shownText, text + QStringLiteral("\n\nCame %1 more times while this box was open.").arg(Flood - 1));

        // Closed, the next notice opens a box of its own again.
        m_rig->log->clear();
        m_rig->dongle->sendRaw(frame + Marker);
        FloodWatch again;
        again.title = title;
        again.done = [&] { return !m_rig->log->texts().filter(MarkerText).isEmpty() && !shownDialogs(title).isEmpty(); };
        again.run();
        QCOMPARE(again.mostShown, 1);
    }

    void requestFloodAsksOnceAndRefusesTheRest_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("refusalId");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("kind");
        QTest::newRow("encryption request")
            << FrameBuilder::uplink(0xDD, 0x02, 0x06, QByteArray::fromHex("0000")) << QStringLiteral("FloodDongle: Make Pair")
            << QStringLiteral("02@07") << QStringLiteral("AA 02 07 03 00 00 00 00") << QStringLiteral("Pairing request");
        QTest::newRow("number comparison")
            << FrameBuilder::uplink(0xDD, 0x02, 0x06, QByteArray::fromHex("037b00000000"))
            << QStringLiteral("FloodDongle: Number Comparison") << QStringLiteral("02@07")
            << QStringLiteral("AA 02 07 03 00 03 00 00") << QStringLiteral("Pairing request");
        QTest::newRow("channel request")
            << FrameBuilder::uplink(0xDD, 0x04, 0x06, QByteArray::fromHex("800040000002f70000"))
            << QStringLiteral("FloodDongle: COC Connect Request") << QStringLiteral("04@07")
            << QStringLiteral("AA 04 07 0C 00 00 40 00 40 00 FF 00 17 00 17 00 00")
            << QStringLiteral("COC connect request");
        QTest::newRow("parameter update")
            << FrameBuilder::uplink(0xDD, 0x01, 0x3C, QByteArray::fromHex("180028000000f40100"))
            << QStringLiteral("FloodDongle: Update Connection Parameters") << QStringLiteral("01@39")
            << QStringLiteral("AA 01 39 02 00 00 00") << QStringLiteral("Update connection parameters request");
        QTest::newRow("CIS request") << FrameBuilder::uplink(0xDD, 0x06, 0x10, QByteArray::fromHex("0120000203"))
                                     << QStringLiteral("CIS Connection Request") << QStringLiteral("06@06") << QStringLiteral("AA 06 06 02 00 20 00")
                                     << QStringLiteral("CIS request");
    }

    void requestFloodAsksOnceAndRefusesTheRest()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, title);
        QFETCH(QString, refusalId);
        QFETCH(QString, refusal);
        QFETCH(QString, kind);
        m_rig->dongle->sendRaw(frame.repeated(Flood) + Marker);
        const QString refusedLine = kind + QStringLiteral(" refused: the one before is still waiting for an answer.");
        FloodWatch watch;
        watch.title = title;
        int refusals = 0;
        watch.done = [&] {
            refusals = m_rig->dongle->receivedIds().count(refusalId);
            return refusals >= Flood - 1 && !m_rig->log->texts().filter(MarkerText).isEmpty();
        };
        watch.run();
        QCOMPARE(watch.mostShown, 1);
        QCOMPARE(refusals, Flood - 1);
        QCOMPARE(m_rig->log->count(refusedLine), Flood - 1);
        QVERIFY(!m_rig->dongle->receivedFrames().isEmpty());
        for (const auto &sent : m_rig->dongle->receivedFrames()) {
            if (sent.id == refusalId) {
                QCOMPARE(FrameBuilder::toHex(sent.bytes).left(refusal.size()), refusal);
                break;
            }
        }
    }

    void aNoticeBoxKeepsEveryOutcome_data()
    {
        QTest::addColumn<QByteArrayList>("results");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("failedLines");
        const QByteArray failed = FrameBuilder::uplink(0xDD, 0x02, 0x04, QByteArray::fromHex("0500"));
        const QByteArray succeeded = FrameBuilder::uplink(0xDD, 0x02, 0x04, QByteArray::fromHex("0000"));
        const QString failedText = QStringLiteral("Pair failed. Result: FAIL PAIRING NOT SUPPORT");
        QTest::newRow("failed, then succeeded")
            << QByteArrayList{failed, succeeded} << failedText + QStringLiteral("\n\nPair succeeded.") << 1;
        QTest::newRow("succeeded, then failed twice")
            << QByteArrayList{succeeded, failed, failed}
            << QStringLiteral("Pair succeeded.\n\n") + failedText
                   + QStringLiteral("\n\nCame once more while this box was open.")
            << 2;
    }

    void aNoticeBoxKeepsEveryOutcome()
    {
        QFETCH(QByteArrayList, results);
        QFETCH(QString, text);
        QFETCH(int, failedLines);
        const QString title = QStringLiteral("FloodDongle: Pair Result");
        // The first result opens the box; the others come while it is open.
        m_rig->dongle->sendRaw(results.first());
        QTRY_COMPARE(shownDialogs(title).size(), 1);
        for (const QByteArray &result : results.mid(1))
            m_rig->dongle->sendRaw(result);
        m_rig->dongle->sendRaw(Marker);
        QTRY_VERIFY(!m_rig->log->texts().filter(MarkerText).isEmpty());
        const QList<CFlatDialog *> shown = shownDialogs(title);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first()->findChild<QLabel *>(QStringLiteral("m_lbMessage"))->text(), text);
        QCOMPARE(m_rig->log->count(QStringLiteral("Uplink Command Name:Starting Pair Result:FAIL PAIRING NOT SUPPORT")),
                 failedLines);
        shown.first()->reject();
    }

    void distinctRequestsWaitTheirTurn_data() { requestKinds(); }

    void distinctRequestsWaitTheirTurn()
    {
        QFETCH(QString, request);
        const Requests requests = requestsOf(request);
        ModalAnswerer answerer;
        int shownWithTheFirst = 0;
        QStringList asked;
        answerer.answerWith([&](QWidget *first) {
            asked << requests.shownKey(first);
            // The second came while the first was asked, and waits unseen.
            QVERIFY(QTest::qWaitFor([&] { return m_rig->log->count(requests.waits()) == 1; }));
            shownWithTheFirst = visibleDialogs(requests.dialogClass);
            first->findChild<QAbstractButton *>(requests.acceptButton)->click();
        });
        answerer.answerWith([&](QWidget *second) {
            asked << requests.shownKey(second);
            second->findChild<QAbstractButton *>(requests.rejectButton)->click();
        });
        requests.send({0x40, 0x41});
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(answerer.failures().isEmpty());
        QCOMPARE(shownWithTheFirst, 1);
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(0).title, requests.title);
        QCOMPARE(answerer.seen().at(1).title, requests.title);
        QCOMPARE(asked, (QStringList{"64", "65"}));
        QTRY_COMPARE(requests.replies().size(), 2);
        QCOMPARE(requests.replies(), (QList<Reply>{{true, 0x40}, {false, 0x41}}));
        QCOMPARE(m_rig->log->texts().filter(requests.kind + QStringLiteral(" refused")), QStringList());
    }

    void repeatsAndRequestsBeyondTheBoundAreRefused_data() { requestKinds(); }

    void repeatsAndRequestsBeyondTheBoundAreRefused()
    {
        QFETCH(QString, request);
        const Requests requests = requestsOf(request);
        ModalAnswerer answerer;
        QList<Reply> whileAsked;
        QStringList asked;
        answerer.answerWith([&](QWidget *first) {
            asked << requests.shownKey(first);
            // The one asked again, eight others, one of them again, and one more.
            requests.send({0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x41, 0x49});
            QVERIFY(QTest::qWaitFor([&] { return m_rig->log->count(requests.waits()) == 8; }));
            QVERIFY(QTest::qWaitFor([&] { return requests.replies().size() == 3; }));
            whileAsked = requests.replies();
            first->findChild<QAbstractButton *>(QStringLiteral("m_tbClose"))->click();
        });
        for (int waiting = 0; waiting < 8; ++waiting) {
            answerer.answerWith([&](QWidget *next) {
                asked << requests.shownKey(next);
                next->findChild<QAbstractButton *>(QStringLiteral("m_tbClose"))->click();
            });
        }
        requests.send({0x40});
        QVERIFY(answerer.waitUntilAnswered(30000));
        QVERIFY(answerer.failures().isEmpty());
        QCOMPARE(whileAsked, (QList<Reply>{{false, 0x40}, {false, 0x41}, {false, 0x49}}));
        QCOMPARE(m_rig->log->count(requests.kind
                                   + QStringLiteral(" refused: the one before is still waiting for an answer.")),
                 2);
        QCOMPARE(m_rig->log->count(requests.kind + QStringLiteral(" refused: 8 others already wait for an answer.")),
                 1);
        QCOMPARE(asked, (QStringList{"64", "65", "66", "67", "68", "69", "70", "71", "72"}));
        QTest::qWait(200);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void waitingRequestsGoWithTheirDongleOrConnection_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("dropped");
        QTest::newRow("CIS, the dongle resets")
            << QStringLiteral("CIS") << QStringLiteral("The dongle has reset: 1 waiting CIS request(s) dropped.");
        QTest::newRow("channel, the peer disconnects")
            << QStringLiteral("channel")
            << QStringLiteral("Connection 0 has ended: 1 waiting channel request(s) dropped.");
    }

    void waitingRequestsGoWithTheirDongleOrConnection()
    {
        QFETCH(QString, request);
        QFETCH(QString, dropped);
        const Requests requests = requestsOf(request);
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *) {
            QVERIFY(QTest::qWaitFor([&] { return m_rig->log->count(requests.waits()) == 1; }));
            if (request == QLatin1String("CIS"))
                m_rig->dongle->sendResetEvent();
            else
                QVERIFY(ListsBehaviour::of(*m_rig->dongle)->peerDisconnects(quint8(m_condix)));
        });
        requests.send({0x40, 0x41});
        QVERIFY(answerer.waitUntilAnswered());
        QTRY_COMPARE(m_rig->log->count(dropped), 1);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QTest::qWait(300);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(requests.replies(), QList<Reply>());
    }

    void aWaitingChannelRequestGetsItsOwnTimeOut()
    {
        const Requests requests = requestsOf(QStringLiteral("channel"));
        auto *layer = m_rig->widget->findChild<CLayerWidget *>();
        QVERIFY(layer);
        layer->findChild<CL2capWidget *>()->setRequestTimeoutMs(1500);
        ModalAnswerer answerer(10000);
        int leftWhenShown = -1;
        // Nobody answers: the first times out, then the second is shown with its whole time.
        answerer.answerWith([](QWidget *) {});
        answerer.answerWith([&](QWidget *second) {
            for (QTimer *timer : second->findChildren<QTimer *>()) {
                if (timer->isActive() && timer->interval() == 1500)
                    leftWhenShown = timer->remainingTime();
            }
        });
        requests.send({0x40, 0x41});
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(answerer.failures().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(requests.replies().size(), 2, 10000);
        QCOMPARE(requests.replies(), (QList<Reply>{{false, 0x40}, {false, 0x41}}));
        QVERIFY2(leftWhenShown > 750, qPrintable(QString::number(leftWhenShown)));
    }

private:
    // One answer the page sent: accepted or refused, and the CIS handle or peer CID it names.
    using Reply = QPair<bool, quint16>;

    // A kind of request a peer may make several of at once.
    struct Requests
    {
        QString kind;
        QString title;
        QString dialogClass;
        QString acceptButton;
        QString rejectButton;
        std::function<void(const QList<quint16> &)> send;
        std::function<QList<Reply>()> replies;
        std::function<QString(QWidget *dialog)> shownKey;

        // The line of a request that waits its turn.
        QString waits() const { return kind + QStringLiteral(" waits until the one before is answered."); }
    };

    static void requestKinds()
    {
        QTest::addColumn<QString>("request");
        QTest::newRow("CIS") << QStringLiteral("CIS");
        QTest::newRow("channel") << QStringLiteral("channel");
    }

    static int visibleDialogs(const QString &className)
    {
        int visible = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            visible += widget->isVisible() && className == QLatin1String(widget->metaObject()->className());
        return visible;
    }

    // The value a request dialog shows beside the caption `caption`.
    static QString valueBeside(QWidget *dialog, const QString &caption)
    {
        for (QGridLayout *grid : dialog->findChildren<QGridLayout *>()) {
            for (int row = 0; row < grid->rowCount(); ++row) {
                QLayoutItem *title = grid->itemAtPosition(row, 0);
                QLayoutItem *value = grid->itemAtPosition(row, 1);
                auto *label = title ? qobject_cast<QLabel *>(title->widget()) : nullptr;
                if (label && label->text() == caption && value && qobject_cast<QLabel *>(value->widget()))
                    return static_cast<QLabel *>(value->widget())->text();
            }
        }
        return QString();
    }

    Requests requestsOf(const QString &request)
    {
        SimulatedDongle *dongle = m_rig->dongle;
        if (request == QLatin1String("CIS")) {
            IsoBehaviour *iso = IsoBehaviour::install(*dongle);
            const auto send = [iso](const QList<quint16> &handles) {
                QList<IsoBehaviour::CisRequest> list;
                for (quint16 handle : handles)
                    list << IsoBehaviour::CisRequest{0, handle, 1, quint8(handle & 0x0F)};
                iso->requestCises(list);
            };
            const auto replies = [dongle] {
                QList<Reply> sent;
                for (const SimulatedDongle::ReceivedFrame &frame : dongle->receivedFrames()) {
                    if (frame.id == QLatin1String("06@05") || frame.id == QLatin1String("06@06"))
                        sent << Reply{frame.id == QLatin1String("06@05"),
                                      quint16(CUtil::littleEndian(FrameBuilder::payloadOf(frame.bytes).left(2)))};
                }
                return sent;
            };
            const auto shownKey = [](QWidget *dialog) {
                return valueBeside(dialog, QStringLiteral("CIS Connection Handle"));
            };
            return Requests{"CIS request",       "CIS Connection Request", "ReceiveCISSlavePara",
                            "pushButton_accept", "pushButton_reject",     send,
                            replies,             shownKey};
        }
        L2capBehaviour *l2cap = L2capBehaviour::install(*dongle);
        const auto send = [l2cap, condix = quint8(m_condix)](const QList<quint16> &peerCids) {
            QList<L2capBehaviour::Request> list;
            for (quint16 peerCid : peerCids)
                list << L2capBehaviour::Request{0x80, peerCid, 512, 247, 10};
            l2cap->peerRequestsChannels(condix, list);
        };
        const auto replies = [dongle] {
            QList<Reply> sent;
            for (const QByteArray &frame : dongle->receivedBytesOf(QStringLiteral("04@07"))) {
                const QByteArray payload = FrameBuilder::payloadOf(frame);
                sent << Reply{payload.at(0) != 0, quint16(CUtil::littleEndian(payload.mid(1, 2)))};
            }
            return sent;
        };
        const auto shownKey = [](QWidget *dialog) { return valueBeside(dialog, QStringLiteral("Peer CID")); };
        return Requests{"COC connect request", "FloodDongle: COC Connect Request", "CCreateCOCReqDlg",
                        "pushButtonAccept",    "pushButtonReject",                 send,
                        replies,               shownKey};
    }

    DongleTabRig *m_rig = nullptr;
    int m_condix = -1;
};

QTEST_MAIN(TestBoxFlood)
#include "tst_boxflood.moc"
