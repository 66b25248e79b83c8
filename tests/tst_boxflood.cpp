#include "cflatdialog.h"
#include "clayerwidget.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "isochronouspages.h"
#include "pageregistry.h"
#include "simbehaviour_lists.h"

#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

// A dongle that repeats a notice or a request faster than anyone can answer:
// a page shows one box of a kind, runs no nested event loop per frame, and
// turns down the requests that come while one waits for its answer. A box
// that counts repeats keeps every outcome it was told.
namespace {

constexpr int Flood = 60;

// "Start Scan" refused with status 12: its ERROR line tells that the frames
// before it were handled.
const QByteArray Marker = FrameBuilder::uplink(0xBB, 0x01, 0x03, QByteArray(1, '\x0C'));
const QString MarkerText = QStringLiteral("bb010301000c");

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

private:
    DongleTabRig *m_rig = nullptr;
    int m_condix = -1;
};

QTEST_MAIN(TestBoxFlood)
#include "tst_boxflood.moc"
