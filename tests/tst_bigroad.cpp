#include "cconnectionwidget.h"
#include "datafolder.h"
#include "dongletabrig.h"
#include "isochronouspages.h"
#include "maindonglewidget.h"
#include "masterbigwidget.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "simbehaviour_big.h"
#include "simbehaviour_iso.h"
#include "simulateddongle.h"
#include "slavebigwidget.h"

#include <QDir>
#include <QPointer>
#include <QTabBar>
#include <QTableView>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <memory>

// The dongle tab's BIG entries: the receiver page opened from the scanning
// page's button and the broadcaster page from the advertising page's request,
// each closed by its tab button only while it holds no BIG in the controller.
class TestBigRoad : public QObject
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
        QDir(Platform::dataFolder() + QStringLiteral("/BigRoad")).removeRecursively();
    }

    void init()
    {
        m_rig.reset(new DongleTabRig(QStringLiteral("BigRoad")));
        IsoBehaviour::install(*m_rig->dongle);
        BigBehaviour::install(*m_rig->dongle);
        QVERIFY(m_rig->start());
        m_widget = m_rig->widget;
        m_dongle = m_rig->dongle;
    }
    void cleanup()
    {
        m_rig.reset();
    }

    void receiverTabOpensOnceAndRefusesToCloseWhileSynchronised()
    {
        QVERIFY(!m_widget->connectionWidget()->findChild<QToolButton *>("buttonMasterBIG")->isHidden());
        m_widget->on_masterBIGSucceed(5);
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("BIG And BIS  "));
        QCOMPARE(tabs()->tabText(tabs()->currentIndex() + 1), QStringLiteral("Slave"));
        auto *page = qobject_cast<MasterBIGWidget *>(tabs()->currentWidget());
        QVERIFY(page);
        QCOMPARE(page->syncHandle, quint16(5));

        // A second request only changes the sync handle of the page there is.
        tabs()->setCurrentIndex(0);
        m_widget->on_masterBIGSucceed(9);
        QCOMPARE(tabs()->currentWidget(), page);
        QCOMPARE(page->syncHandle, quint16(9));
        QCOMPARE(countOf<MasterBIGWidget>(), 1);

        bigParameter big;
        big.bigId = "0";
        big.mse = "3";
        big.bigSyncTimeout = "5000";
        big.encryption = "0";
        big.broadcastCode = QString(32, QLatin1Char('0'));
        page->on_rcvBIGPara(big);
        auto *view = page->findChild<QTableView *>("tableView_BIG");
        view->setCurrentIndex(page->bigModel()->index(0, 0));
        page->on_BIGTableView_changed(page->bigModel()->index(0, 0));
        bisParameter bis;
        bis.bisId = "1";
        page->on_rcvBISPara(bis);
        page->on_toolButton_createBIG_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(!page->canClose(), 5000);

        clickCloseExpecting(page, QStringLiteral("Please terminate BIG before close the BIG and BIS table."));
        QCOMPARE(countOf<MasterBIGWidget>(), 1);

        view->setCurrentIndex(page->bigModel()->index(0, 0));
        page->on_toolButton_terminateBIG_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(page->canClose(), 5000);
        QPointer<MasterBIGWidget> guarded(page);
        closeButtonOf(page)->click();
        QCOMPARE(countOf<MasterBIGWidget>(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!guarded, 5000);
    }

    void broadcasterTabClosesOnlyWithoutACreatedBig()
    {
        m_widget->on_slaveBIGSucceed(2);
        auto *page = qobject_cast<SlaveBIGWidget *>(tabs()->currentWidget());
        QVERIFY(page);
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("BIG  "));
        QCOMPARE(page->advIndex, QStringLiteral("2"));
        slaveBigPara big;
        big.bigId = "0";
        big.numBis = "1";
        page->on_rcvBIGPara(big);
        m_dongle->sendUplink(BigBehaviour::createBigResult(0, 0, {0x10}));
        QTRY_VERIFY_WITH_TIMEOUT(!page->canClose(), 5000);
        clickCloseExpecting(page, QStringLiteral("Please terminate BIG before close the BIG and BIS table."));
        QCOMPARE(countOf<SlaveBIGWidget>(), 1);
        m_dongle->sendUplink(BigBehaviour::terminateBigResult(0x16, 0));
        QTRY_VERIFY_WITH_TIMEOUT(page->canClose(), 5000);
        closeButtonOf(page)->click();
        QCOMPARE(countOf<SlaveBIGWidget>(), 0);
    }

    void resetClosesBothPagesWithoutAsking()
    {
        m_widget->on_masterBIGSucceed(1);
        m_widget->on_slaveBIGSucceed(1);
        QPointer<QWidget> receiver = tabs()->widget(tabs()->count() - 1);
        QCOMPARE(countOf<MasterBIGWidget>() + countOf<SlaveBIGWidget>(), 2);
        m_dongle->sendResetEvent();
        QTRY_COMPARE_WITH_TIMEOUT(countOf<MasterBIGWidget>() + countOf<SlaveBIGWidget>(), 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!receiver, 5000);
    }

private:
    QTabWidget *tabs() const { return m_rig->tabs(); }
    template <typename Page>
    int countOf() const
    {
        return m_rig->countOf<Page>();
    }
    QToolButton *closeButtonOf(QWidget *page) const
    {
        return qobject_cast<QToolButton *>(tabs()->tabBar()->tabButton(tabs()->indexOf(page), QTabBar::RightSide));
    }
    void clickCloseExpecting(QWidget *page, const QString &text)
    {
        QToolButton *button = closeButtonOf(page);
        QVERIFY(button);
        QCOMPARE(button->toolTip(), QStringLiteral("Disconnect"));
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        button->click();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text, text);
    }

    std::unique_ptr<DongleTabRig> m_rig;
    SimulatedDongle *m_dongle = nullptr;
    MainDongleWidget *m_widget = nullptr;
};

QTEST_MAIN(TestBigRoad)
#include "tst_bigroad.moc"
