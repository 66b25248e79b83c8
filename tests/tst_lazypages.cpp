#include "advertisingpages.h"
#include "advertisingwidget.h"
#include "ccommanduiwidget.h"
#include "cgapcmdwidget.h"
#include "cgattcmddlg.h"
#include "cgattwidget.h"
#include "clayerwidget.h"
#include "clogwidget.h"
#include "connectionpages.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "lazypane.h"
#include "logswtich.h"
#include "pageregistry.h"
#include "recordinglogger.h"
#include "searchbox.h"
#include "simbehaviour_lists.h"

#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

// Pages a user has not looked at yet are built when first shown, with the
// names and contents they always had; tabs after the first do not build the
// settings screen again for its defaults.
class TestLazyPages : public QObject
{
    Q_OBJECT

    std::unique_ptr<DongleTabRig> m_rig;

private slots:
    void initTestCase()
    {
        registerConnectionPages();
        registerAdvertisingPages();
    }
    void cleanupTestCase() { PageRegistry::unregisterAll(); }

    void init()
    {
        m_rig = std::make_unique<DongleTabRig>(QStringLiteral("LazyDongle"));
        installListsBehaviour(*m_rig->dongle);
        m_rig->widget->resize(1400, 900);
        m_rig->widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_rig->widget));
    }

    void cleanup() { m_rig.reset(); }

    void advertisingPageIsBuiltWhenItsTabIsFirstShown()
    {
        QTabWidget *tabs = m_rig->tabs();
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!m_rig->widget->findChild<advertisingWidget *>());

        QCOMPARE(tabs->tabText(1), QStringLiteral("Slave"));
        tabs->setCurrentIndex(1);
        auto *page = m_rig->widget->findChild<advertisingWidget *>();
        QVERIFY(page);
        QVERIFY(tabs->widget(1)->isAncestorOf(page));
        QVERIFY(page->isVisible());
        QCOMPARE(page->objectName(), QStringLiteral("advertising"));

        // Once built it stays, whichever tab is shown.
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(1);
        QCOMPARE(m_rig->widget->findChildren<advertisingWidget *>().size(), 1);
    }

    // The scanning page's advertising and scan response panes wait for
    // their tabs; the log switches and the search box for their buttons.
    void scanningPagePanesWaitUntilAskedFor()
    {
        QWidget *tab = m_rig->widget;
        QVERIFY(!tab->findChild<QTreeWidget *>(QStringLiteral("treeWidget_advertising")));
        QVERIFY(!tab->findChild<QTreeWidget *>(QStringLiteral("treeWidget_scanRsp")));
        QVERIFY(!tab->findChild<LogSwtich *>());
        QVERIFY(!tab->findChild<SearchBox *>());

        auto *deviceTabs = tab->findChild<QTabWidget *>(QStringLiteral("tabWidget_device"));
        QCOMPARE(deviceTabs->tabText(0), QStringLiteral("Advertising Data"));
        deviceTabs->setCurrentIndex(0);
        auto *tree = tab->findChild<QTreeWidget *>(QStringLiteral("treeWidget_advertising"));
        QVERIFY(tree);
        QVERIFY(tree->isVisible());
        QVERIFY(!tab->findChild<QTreeWidget *>(QStringLiteral("treeWidget_scanRsp")));
    }

    // The dongle log's pane is made when its tab is first shown, with what
    // the dongle said before.
    void dongleLogPaneShowsWhatCameBefore()
    {
        auto *lines = new RecordingLogger(QStringLiteral("dongle_recorder"), 0);
        m_rig->widget->logManager()->addDongleLogger(lines);
        QVERIFY(m_rig->start());
        m_rig->dongle->sendDongleLog("early words");
        QTRY_VERIFY(lines->texts().contains(QStringLiteral("early words")));

        auto *logTabs = m_rig->widget->findChild<QTabWidget *>(QStringLiteral("tabWidget_log"));
        QWidget *dongleTab = m_rig->widget->findChild<QWidget *>(QStringLiteral("tab_dongleLog"));
        QCOMPARE(logTabs->tabText(logTabs->indexOf(dongleTab)), QStringLiteral("Dongle Log"));
        QVERIFY(!dongleTab->findChild<CLogWidget *>());

        logTabs->setCurrentWidget(dongleTab);
        auto *pane = dongleTab->findChild<CLogWidget *>();
        QVERIFY(pane);
        QVERIFY(pane->isVisible());
        QCOMPARE(pane->m_label_title->text(), QStringLiteral("Dongle Log"));
        QTRY_VERIFY(pane->getTextBrowser()->toPlainText().contains(QStringLiteral("early words")));
        m_rig->dongle->sendDongleLog("later words");
        QTRY_VERIFY(pane->getTextBrowser()->toPlainText().contains(QStringLiteral("later words")));
    }

    // A pane made in a tab already showing keeps the place the tab gave it
    // (a form resizes what it is set up on), and its widgets show at once;
    // it is made once.
    void lazyPaneKeepsItsPlace()
    {
        QTabWidget holder;
        holder.addTab(new QLabel(QStringLiteral("first")), QStringLiteral("first"));
        int made = 0;
        auto *pane = new QWidget;
        LazyPane *lazy = LazyPane::attach(pane, [&made](QWidget *self) {
            ++made;
            self->resize(5, 5);
            (new QVBoxLayout(self))->addWidget(new QLabel(QStringLiteral("made"), self));
        });
        holder.addTab(pane, QStringLiteral("lazy"));
        holder.resize(300, 200);
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        QVERIFY(!lazy->isBuilt());

        holder.setCurrentIndex(1);
        QCOMPARE(made, 1);
        QVERIFY(lazy->isBuilt());
        QCOMPARE(pane->geometry(), holder.widget(0)->geometry());
        QVERIFY(pane->findChild<QLabel *>()->isVisible());
        holder.setCurrentIndex(0);
        holder.setCurrentIndex(1);
        lazy->build();
        QCOMPARE(made, 1);
    }

    // Later tabs take the defaults the first tab read from the settings
    // description, each its own copy.
    void laterTabsStartFromTheSameDefaults()
    {
        QMap<QString, QVariant> *first = m_rig->widget->settingsMap();
        QVERIFY(first->size() > 10);
        MainDongleWidget second(QStringLiteral("LazyDongle2"));
        QVERIFY(second.isOperational());
        QCOMPARE(*second.settingsMap(), *first);
        second.settingsMap()->insert(QStringLiteral("device_name"), QStringLiteral("0x6948"));
        QVERIFY(first->value(QStringLiteral("device_name")) != QVariant(QStringLiteral("0x6948")));
        MainDongleWidget third(QStringLiteral("LazyDongle3"));
        QCOMPARE(*third.settingsMap(), *first);
    }

    void connectionPageBuildsItsConsoleAndFormsWhenShown()
    {
        QVERIFY(m_rig->start());
        ListsBehaviour::of(*m_rig->dongle)->peerConnects(FrameBuilder::fromHex("C1 C2 C3 C4 C5 C6"), 1);
        QTRY_COMPARE(m_rig->countOf<CLayerWidget>(), 1);
        auto *page = qobject_cast<CLayerWidget *>(m_rig->tabs()->currentWidget());
        QVERIFY(page);
        QVERIFY(page->isVisible());

        // The GATT tab shows first: the console and the GAP forms wait.
        QCOMPARE(page->tabWidget()->currentIndex(), 0);
        QVERIFY(!page->findChild<CGattCmdDlg *>());
        QVERIFY(!page->findChild<CCommandUiWidget *>());

        auto *gattTabs = page->gattWidget()->findChild<QTabWidget *>(QStringLiteral("gattTabWidget"));
        QCOMPARE(gattTabs->tabText(1), QStringLiteral("Send Commands"));
        gattTabs->setCurrentIndex(1);
        auto *console = page->findChild<CGattCmdDlg *>();
        QVERIFY(console);
        QVERIFY(console->isVisible());
        QCOMPARE(console->objectName(), QStringLiteral("CGattCmdDlg"));

        page->tabWidget()->setCurrentIndex(1);
        auto *gap = page->findChild<CGapCmdWidget *>();
        QVERIFY(gap->isVisible());
        const QList<CCommandUiWidget *> forms = gap->findChildren<CCommandUiWidget *>();
        QVERIFY(!forms.isEmpty());
        QCOMPARE(forms.size(), CCommandUiWidget::groupForms(QStringLiteral("GAP"), nullptr).size());
        for (CCommandUiWidget *form : forms)
            QVERIFY(form->isVisible());
    }
};

QTEST_MAIN(TestLazyPages)
#include "tst_lazypages.moc"
