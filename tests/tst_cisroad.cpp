#include "ccigciswidget.h"
#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "datafolder.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "isochronouspages.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "recordinglogger.h"
#include "simbehaviour_app.h"
#include "simbehaviour_iso.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"
#include "slaveciswidget.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

cigParameter oneCig()
{
    cigParameter cig;
    cig.cigId = "1";
    cig.sduIntervalM2S = cig.sduIntervalS2M = "10000";
    cig.transportLatencyM2S = cig.transportLatencyS2M = "10";
    cig.sca = cig.packing = cig.framing = "0";
    return cig;
}

cisParameter oneCis()
{
    cisParameter cis;
    cis.cisId = "0";
    cis.maxSduM2S = cis.maxSduS2M = "100";
    cis.phyM2S = cis.phyS2M = "2";
    cis.rtnM2S = cis.rtnS2M = "1";
    return cis;
}

} // namespace

// The dongle tab's CIG/CIS entries: the central page opened from the scanning
// page and closed by its tab button, the peripheral road from a peer's request
// to the stream's tab and back.
class TestCisRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerIsochronousPages();
    }
    void cleanupTestCase()
    {
        PageRegistry::unregisterAll();
        QDir(Platform::dataFolder() + QStringLiteral("/CisRoad")).removeRecursively();
    }

    void init()
    {
        m_rig.reset(new DongleTabRig(QStringLiteral("CisRoad")));
        m_iso = IsoBehaviour::install(*m_rig->dongle);
        QVERIFY(m_rig->start());
        m_widget = m_rig->widget;
        m_dongle = m_rig->dongle;
    }
    void cleanup()
    {
        m_rig.reset();
    }

    void peripheralRoad()
    {
        ModalAnswerer answerer;
        answerer.click("pushButton_accept");
        m_iso->requestCis(1, 0x20, 2, 3);
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(answerer.failures().isEmpty());
        QVERIFY(waitForSent("06@05"));
        QCOMPARE(FrameBuilder::payloadOf(framesOf("06@05").first()), QByteArray::fromHex("2000"));
        QTRY_COMPARE_WITH_TIMEOUT(slaveTabs(), 1, 5000);
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("Slave CIG and CIS"));

        // One page per handle: a repeated result opens nothing more.
        m_dongle->sendUplink(IsoBehaviour::cisEstablished(0, 0x20));
        QTest::qWait(100);
        QCOMPARE(slaveTabs(), 1);

        // The tab's button asks for the disconnection; the tab stays until it comes.
        auto *page = qobject_cast<SlaveCISWidget *>(tabs()->currentWidget());
        QVERIFY(page);
        QPointer<SlaveCISWidget> guarded(page);
        auto *button = qobject_cast<QToolButton *>(tabs()->tabBar()->tabButton(tabs()->currentIndex(),
                                                                                 QTabBar::RightSide));
        QVERIFY(button);
        QCOMPARE(button->toolTip(), QStringLiteral("Disconnect"));
        button->click();
        QVERIFY(waitForSent("06@0D"));
        QCOMPARE(FrameBuilder::payloadOf(framesOf("06@0D").first()), QByteArray::fromHex("2000"));
        QTRY_COMPARE_WITH_TIMEOUT(slaveTabs(), 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!guarded, 5000);
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("Slave"));
    }

    void rejectedOrUnansweredRequestsOpenNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("sent");
        QTest::newRow("reject") << "pushButton_reject" << "06@06";
        QTest::newRow("title bar") << ModalAnswerer::CloseButton << QString();
    }
    void rejectedOrUnansweredRequestsOpenNothing()
    {
        QFETCH(QString, button);
        QFETCH(QString, sent);
        ModalAnswerer answerer;
        answerer.click(button);
        m_iso->requestCis(0, 0x30, 1, 1);
        QVERIFY(answerer.waitUntilAnswered());
        if (!sent.isEmpty()) {
            QVERIFY(waitForSent(sent));
            QCOMPARE(FrameBuilder::payloadOf(framesOf(sent).first()), QByteArray::fromHex("3000"));
        }
        // A result under that handle now belongs to the central side.
        m_dongle->sendUplink(IsoBehaviour::cisEstablished(0, 0x30));
        QTest::qWait(100);
        QCOMPARE(slaveTabs(), 0);
    }

    void anOverlappingRequestWaitsForTheFirst()
    {
        // A second stream's request while the first one's dialog waits is not
        // refused: it is asked once the first is answered, and each accepted
        // stream gets its page.
        ModalAnswerer answerer;
        bool waitedWhileOpen = false;
        answerer.answerWith([this, &waitedWhileOpen](QWidget *first) {
            m_iso->requestCis(0, 0x41, 1, 2);
            waitedWhileOpen = QTest::qWaitFor([this] {
                return m_rig->log->count(QStringLiteral("CIS request waits until the one before is answered.")) == 1;
            }) && framesOf("06@06").isEmpty();
            first->findChild<QPushButton *>("pushButton_accept")->click();
        });
        answerer.click("pushButton_accept");
        m_iso->requestCis(0, 0x40, 1, 1);
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(answerer.failures().isEmpty());
        QVERIFY(waitedWhileOpen);
        QTRY_COMPARE_WITH_TIMEOUT(slaveTabs(), 2, 5000);
        QCOMPARE(framesOf("06@05").size(), 2);
        QCOMPARE(FrameBuilder::payloadOf(framesOf("06@05").at(0)), QByteArray::fromHex("4000"));
        QCOMPARE(FrameBuilder::payloadOf(framesOf("06@05").at(1)), QByteArray::fromHex("4100"));
        QList<quint64> handles;
        for (int i = 0; i < tabs()->count(); ++i) {
            if (auto *page = qobject_cast<SlaveCISWidget *>(tabs()->widget(i)))
                handles << page->cisHandle();
        }
        std::sort(handles.begin(), handles.end());
        QCOMPARE(handles, (QList<quint64>{0x40, 0x41}));
    }

    void resetClosesTheRequestAndThePages()
    {
        // A page with a stream, then a request still open when the dongle resets.
        ModalAnswerer accept;
        accept.click("pushButton_accept");
        m_iso->requestCis(0, 0x50, 1, 1);
        QVERIFY(accept.waitUntilAnswered());
        QTRY_COMPARE_WITH_TIMEOUT(slaveTabs(), 1, 5000);

        ModalAnswerer resetInside;
        resetInside.answerWith([this](QWidget *) { m_dongle->sendResetEvent(); });
        m_iso->requestCis(0, 0x51, 1, 1);
        QVERIFY(resetInside.waitUntilAnswered());
        QTRY_COMPARE_WITH_TIMEOUT(slaveTabs(), 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
        m_dongle->sendUplink(IsoBehaviour::cisEstablished(0, 0x51));
        QTest::qWait(100);
        QCOMPARE(slaveTabs(), 0);
    }

    void centralPageOpensOnceAndRefusesToCloseWhileSet()
    {
        CConnectionWidget *scanning = m_widget->connectionWidget();
        QVERIFY(!scanning->findChild<QToolButton *>("buttonCIGCIS")->isHidden());
        scanning->on_buttonCIGCIS_clicked();
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("Master CIG and CIS"));
        QCOMPARE(tabs()->tabText(tabs()->currentIndex() + 1), QStringLiteral("Slave"));
        auto *page = qobject_cast<CCigCisWidget *>(tabs()->currentWidget());
        QVERIFY(page);
        tabs()->setCurrentIndex(0);
        scanning->on_buttonCIGCIS_clicked();
        QCOMPARE(tabs()->currentWidget(), page);
        QCOMPARE(countOf<CCigCisWidget>(), 1);

        page->on_getCigPara(oneCig());
        page->on_getCisPara(oneCis());
        page->on_toolButton_setCIG_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(!page->canClose(), 5000);

        auto *button = qobject_cast<QToolButton *>(tabs()->tabBar()->tabButton(tabs()->indexOf(page),
                                                                                 QTabBar::RightSide));
        QVERIFY(button);
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        button->click();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text, QStringLiteral("Please remove CIG before close the CIS and CIS table."));
        QCOMPARE(countOf<CCigCisWidget>(), 1);

        page->on_toolButton_removeCIG_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(page->canClose(), 5000);
        QPointer<CCigCisWidget> guarded(page);
        button->click();
        QCOMPARE(countOf<CCigCisWidget>(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!guarded, 5000);
        QVERIFY(!scanning->isCigCisOpened());
    }

    void resetDuringACentralDialogRemovesThePageSafely()
    {
        m_widget->connectionWidget()->on_buttonCIGCIS_clicked();
        QPointer<CCigCisWidget> page = qobject_cast<CCigCisWidget *>(tabs()->currentWidget());
        QVERIFY(page);
        ModalAnswerer answerer;
        answerer.answerWith([this](QWidget *) { m_dongle->sendResetEvent(); });
        page->on_toolButton_AddCIG_clicked();
        QVERIFY(answerer.waitUntilAnswered());
        QTRY_VERIFY_WITH_TIMEOUT(!page, 5000);
        QVERIFY(!m_widget->connectionWidget()->isCigCisOpened());
    }

private:
    QTabWidget *tabs() const { return m_rig->tabs(); }
    template <typename Page>
    int countOf() const
    {
        return m_rig->countOf<Page>();
    }
    int slaveTabs() const { return countOf<SlaveCISWidget>(); }
    QList<QByteArray> framesOf(const QString &id) const { return m_dongle->receivedBytesOf(id); }
    bool waitForSent(const QString &id)
    {
        return QTest::qWaitFor([&] { return !framesOf(id).isEmpty(); }, 5000);
    }

    std::unique_ptr<DongleTabRig> m_rig;
    SimulatedDongle *m_dongle = nullptr;
    IsoBehaviour *m_iso = nullptr;
    MainDongleWidget *m_widget = nullptr;
};

QTEST_MAIN(TestCisRoad)
#include "tst_cisroad.moc"
