#include "cconnectionwidget.h"
#include "dongletabrig.h"
#include "isochronouspages.h"
#include "maindonglewidget.h"
#include "modalanswerer.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "pagetabs.h"
#include "recordinglogger.h"
#include "testmodepages.h"

#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <type_traits>

namespace {

// What a stand-in page was asked by its tab.
struct StandInState
{
    virtual ~StandInState() = default;
    int closeAsks = 0;
    int modeStops = 0;
    bool busy = false;
};

class StandInConnection : public ConnectionPage, public StandInState
{
public:
    StandInConnection(uint8_t condix, uint8_t role) : m_condix(condix), m_role(role) {}
    uint8_t condix() const override { return m_condix; }
    uint8_t role() const override { return m_role; }
    QString peerAddress() const override { return QStringLiteral("aa:bb:cc:dd:ee:ff"); }
    void disconnect() override { ++closeAsks; }

private:
    uint8_t m_condix;
    uint8_t m_role;
};

class StandInCigCis : public CigCisPage, public StandInState
{
public:
    using CigCisPage::CigCisPage;
    bool canClose() const override { return !busy; }
};

class StandInBigReceiver : public BigReceiverPage, public StandInState
{
public:
    using BigReceiverPage::BigReceiverPage;
    void setSyncValue(quint16) override {}
    bool canClose() const override { return !busy; }
};

class StandInBigBroadcaster : public BigBroadcasterPage, public StandInState
{
public:
    using BigBroadcasterPage::BigBroadcasterPage;
    void setAdvertisingSetText(const QString &) override {}
    bool canClose() const override { return !busy; }
};

class StandInCisPeripheral : public CisPeripheralPage, public StandInState
{
public:
    using CisPeripheralPage::CisPeripheralPage;
    quint64 cisHandle() const override { return 0x21; }
    void onSlaveDisconnect() override { ++closeAsks; }
};

class StandInTestMode : public TestModePage, public StandInState
{
public:
    using TestModePage::TestModePage;
    void stopMode() override { ++modeStops; }
    void onRcvMsg(QByteArray) override {}
};

// How the close button of a kind's tab behaves.
enum class Close { AsksPage, RefusesWhileBusy, StopsMode };

template <typename T>
bool derivesFromDynamicPage()
{
    return std::is_base_of<DynamicPage, T>::value;
}

} // namespace

Q_DECLARE_METATYPE(Close)

// The dongle tab hosts every kind of page from one table: each kind opened
// through the tab's own announcement, placed, given its close button, closed
// its way, and closed or kept by a reset.
class TestPageTabs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void everyTabKindHasItsRow();
    void hostedKinds_data();
    void hostedKinds();
    void resetClosesAllButTestPages();
    void refusedResetIsLogged();

private:
    DynamicPage *open(const QString &kind);
    QTabWidget *tabs() const { return m_rig->tabs(); }

    std::unique_ptr<DongleTabRig> m_rig;
};

void TestPageTabs::initTestCase()
{
    // The layers' hosting rows, with stand-in pages.
    registerIsochronousPages();
    registerTestModePages();
    PageRegistry::unregisterAll();
    PageRegistry::registerMaker<PageKind::CigCisCentral>(
        [](const PageContext &context, const CigCisArgs &) -> CigCisPage * { return new StandInCigCis(context.parent); });
    PageRegistry::registerMaker<PageKind::BigReceiver>(
        [](const PageContext &context, const BigReceiverArgs &) -> BigReceiverPage * {
            return new StandInBigReceiver(context.parent);
        });
    PageRegistry::registerMaker<PageKind::BigBroadcaster>(
        [](const PageContext &context, const BigBroadcasterArgs &) -> BigBroadcasterPage * {
            return new StandInBigBroadcaster(context.parent);
        });
    PageRegistry::registerMaker<PageKind::CisPeripheral>(
        [](const PageContext &context, const CisPageArgs &) -> CisPeripheralPage * {
            return new StandInCisPeripheral(context.parent);
        });
    PageRegistry::registerMaker<PageKind::LcpTest>(
        [](const PageContext &context, const NoPageArgs &) -> TestModePage * { return new StandInTestMode(context.parent); });
    PageRegistry::registerMaker<PageKind::IdtTest>(
        [](const PageContext &context, const NoPageArgs &) -> TestModePage * { return new StandInTestMode(context.parent); });
}

void TestPageTabs::cleanupTestCase()
{
    PageRegistry::unregisterAll();
}

void TestPageTabs::init()
{
    m_rig.reset(new DongleTabRig(QStringLiteral("PageTabs")));
    QVERIFY(m_rig->start());
}

void TestPageTabs::cleanup()
{
    m_rig.reset();
}

DynamicPage *TestPageTabs::open(const QString &kind)
{
    MainDongleWidget *tab = m_rig->widget;
    if (kind == QLatin1String("central connection") || kind == QLatin1String("peripheral connection")) {
        const uint8_t role = kind.startsWith(QLatin1String("central")) ? 0 : 1;
        auto *page = new StandInConnection(role + 1, role);
        tab->on_connectSuccess(role, page->peerAddress(), page);
        return page;
    }
    if (kind == QLatin1String("CIG"))
        tab->connectionWidget()->on_buttonCIGCIS_clicked();
    else if (kind == QLatin1String("BIG receiver"))
        tab->on_masterBIGSucceed(3);
    else if (kind == QLatin1String("BIG broadcaster"))
        tab->on_slaveBIGSucceed(1);
    else if (kind == QLatin1String("CIS peripheral"))
        tab->openSlaveCisPage({{QStringLiteral("cis_connection_handle"), QByteArray("\x21\x00", 2)}});
    else if (kind == QLatin1String("LCP"))
        tab->on_toolButton_lcp_clicked();
    else if (kind == QLatin1String("IDT"))
        tab->on_toolButton_idt_clicked();
    return qobject_cast<DynamicPage *>(tabs()->currentWidget());
}

void TestPageTabs::everyTabKindHasItsRow()
{
    // A kind the tab shows as a page without a row would not be placed.
#define CHECK_KIND(kind, interfaceType, argsType)                                               \
    if (derivesFromDynamicPage<interfaceType>())                                                \
        QVERIFY2(PageTabs::hosted(PageKind::kind), #kind " is a page the tab hosts, but has no row");
    VANTORA_PAGE_KINDS(CHECK_KIND)
#undef CHECK_KIND
}

void TestPageTabs::hostedKinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("beforeSlave");
    QTest::addColumn<QString>("closeTip");
    QTest::addColumn<Close>("close");
    QTest::addColumn<QString>("refusal");

    const QString bigRefusal = QStringLiteral("Please terminate BIG before close the BIG and BIS table.");
    QTest::newRow("central connection") << "central connection" << "Peer Address: aa:bb:cc:dd:ee:ff" << true
                                        << "Disconnect" << Close::AsksPage << QString();
    QTest::newRow("peripheral connection") << "peripheral connection" << "Peer Address: aa:bb:cc:dd:ee:ff" << false
                                           << "Disconnect" << Close::AsksPage << QString();
    QTest::newRow("CIG") << "CIG" << "Master CIG and CIS" << true << "Disconnect" << Close::RefusesWhileBusy
                         << "Please remove CIG before close the CIS and CIS table.";
    QTest::newRow("BIG receiver") << "BIG receiver" << "BIG And BIS  " << true << "Disconnect"
                                  << Close::RefusesWhileBusy << bigRefusal;
    QTest::newRow("BIG broadcaster") << "BIG broadcaster" << "BIG  " << false << "Disconnect"
                                     << Close::RefusesWhileBusy << bigRefusal;
    QTest::newRow("CIS peripheral") << "CIS peripheral" << "Slave CIG and CIS" << false << "Disconnect"
                                    << Close::AsksPage << QString();
    QTest::newRow("LCP") << "LCP" << "LCP       " << false << "close LCP" << Close::StopsMode << QString();
    QTest::newRow("IDT") << "IDT" << "IDT       " << false << "close IDT" << Close::StopsMode << QString();
}

void TestPageTabs::hostedKinds()
{
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(bool, beforeSlave);
    QFETCH(QString, closeTip);
    QFETCH(Close, close);
    QFETCH(QString, refusal);

    QPointer<DynamicPage> page = open(kind);
    QVERIFY(page);
    auto *state = dynamic_cast<StandInState *>(page.data());
    QVERIFY(state);
    const int index = tabs()->indexOf(page);
    QCOMPARE(tabs()->currentIndex(), index);
    QCOMPARE(tabs()->tabText(index), title);
    const int slave = tabs()->indexOf(tabs()->findChild<QWidget *>(QStringLiteral("tabSlave")));
    QCOMPARE(index < slave, beforeSlave);

    // Every hosted page can bring its dongle tab to the front.
    QSignalSpy shown(m_rig->widget, &MainDongleWidget::showThisDongleTab);
    emit page->sig_showDongleTab(QStringLiteral("PageTabs"));
    QCOMPARE(shown.count(), 1);

    auto *button = qobject_cast<QToolButton *>(tabs()->tabBar()->tabButton(index, QTabBar::RightSide));
    QVERIFY(button);
    QCOMPARE(button->toolTip(), closeTip);
    switch (close) {
    case Close::AsksPage:
        // The tab goes when the dongle reports the link gone.
        button->click();
        QCOMPARE(state->closeAsks, 1);
        QCOMPARE(tabs()->indexOf(page), index);
        break;
    case Close::RefusesWhileBusy: {
        state->busy = true;
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        button->click();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text, refusal);
        QCOMPARE(tabs()->indexOf(page), index);
        state->busy = false;
        button->click();
        QCOMPARE(tabs()->indexOf(page), -1);
        QTRY_VERIFY(!page);
        break;
    }
    case Close::StopsMode:
        button->click();
        QCOMPARE(state->modeStops, 1);
        QCOMPARE(tabs()->indexOf(page), -1);
        QCOMPARE(tabs()->currentIndex(), 0);
        QTRY_VERIFY(!page);
        break;
    }
    QVERIFY2(!m_rig->log->texts().contains(QStringLiteral("Close tab failed.")),
             qPrintable(m_rig->log->texts().join(QLatin1Char('\n'))));
}

void TestPageTabs::resetClosesAllButTestPages()
{
    const QStringList kinds{"central connection", "peripheral connection", "CIG", "BIG receiver",
                            "BIG broadcaster", "CIS peripheral", "LCP", "IDT"};
    QList<QPointer<DynamicPage>> pages;
    for (const QString &kind : kinds)
        pages << open(kind);
    QCOMPARE(tabs()->count(), 2 + kinds.size());

    m_rig->dongle->sendResetEvent();
    QTRY_COMPARE(tabs()->count(), 4);
    QCOMPARE(tabs()->currentIndex(), 0);
    QTRY_VERIFY(!pages.at(0) && !pages.at(5));
    QVERIFY(tabs()->indexOf(pages.at(6)) >= 0);
    QVERIFY(tabs()->indexOf(pages.at(7)) >= 0);

    // The scanning page may open a central CIG page again.
    QPointer<DynamicPage> cig = open(QStringLiteral("CIG"));
    QVERIFY(qobject_cast<CigCisPage *>(cig));

    // Closing the dongle's tab stops the running test modes on the way.
    m_rig->widget->closeTestPages();
    QCOMPARE(tabs()->count(), 3);
}

void TestPageTabs::refusedResetIsLogged()
{
    m_rig->widget->link()->closePort();
    m_rig->log->clear();
    m_rig->widget->on_toolButton_reset_clicked();
    QVERIFY2(m_rig->log->texts().contains(QStringLiteral("send reset message failed")),
             qPrintable(m_rig->log->texts().join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestPageTabs)
#include "tst_pagetabs.moc"
