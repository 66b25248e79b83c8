#include "advertisingpages.h"
#include "advertisingwidget.h"
#include "advrig.h"
#include "cadvbasewidget.h"
#include "cadvlegacywidget.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "framebuilder.h"
#include "isochronouspages.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "modalanswerer.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "recordinglogger.h"
#include "simbehaviour_adv.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"
#include "slavebigwidget.h"

#include <QApplication>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

// The advertising page inside a dongle tab: created through the page
// registry, reset with the dongle, counted as busy while a set advertises.

namespace {

const QString kHeartBeat = QStringLiteral("01@84");
constexpr int kAnswerWaitMs = 20000;
const QStringList kStaticCommands{"04@11", "01@41", "01@65", "01@45", "01@59", "01@5D",
                                  "01@61", "01@67", "01@6B", "01@6D", "05@03", "02@09"};

// A broadcaster BIG page that only remembers what the tab told it.
class RecordingBigPage : public BigBroadcasterPage
{
public:
    using BigBroadcasterPage::BigBroadcasterPage;
    void setAdvertisingSetText(const QString &text) override { setText = text; }
    bool canClose() const override { return closable; }
    QString setText;
    bool closable = false;
};

} // namespace

class TestAdvDongle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void pageOnSlaveTab();
    void resetEventEmptiesListAndSendsNothing();
    void settingsRefusedWhileAdvertising_data();
    void settingsRefusedWhileAdvertising();
    void resetInsideRefusalBox_data();
    void resetInsideRefusalBox();
    void createBigOpensBroadcasterTab();
    void createBigButtonOpensBroadcasterPage();
    void createBigWithoutBroadcasterPage();
    void aStartStepWithoutAnswerEnds_data();
    void aStartStepWithoutAnswerEnds();

private:
    void openDongle();
    advertisingWidget *page() const { return qobject_cast<advertisingWidget *>(m_widget->advertisingPage()); }
    // Adds a set and starts it; true once the page shows it advertising.
    bool startSet(const QString &type, int index, int row);
    QStringList sentIds() const;

    SimulatedDongle *m_dongle = nullptr;
    AdvertisingBehaviour *m_adv = nullptr;
    MainDongleWidget *m_widget = nullptr;
    RecordingLogger *m_log = nullptr;
};

void TestAdvDongle::initTestCase()
{
    // The broadcaster's tab is hosted as its layer says; each test chooses its page.
    registerIsochronousPages();
    PageRegistry::unregisterAll();
    registerAdvertisingPages();
}

void TestAdvDongle::cleanupTestCase()
{
    PageRegistry::unregisterAll();
}

void TestAdvDongle::init()
{
    m_dongle = new SimulatedDongle;
    QVERIFY(m_dongle->isValid());
    installLinkBehaviour(*m_dongle);
    installAppBehaviour(*m_dongle);
    m_adv = AdvertisingBehaviour::install(*m_dongle);
    m_widget = new MainDongleWidget(QStringLiteral("TestDongle"));
    QVERIFY(m_widget->isOperational());
    m_log = new RecordingLogger(QStringLiteral("recorder"), 0);
    m_widget->logManager()->addLogger(m_log);
    m_widget->initWidgets();
    m_widget->heartBeat()->setInterval(60000);
    m_widget->link()->setSendInterval(5);
    m_widget->resize(1400, 900);
    m_widget->show();
    m_widget->pageTabWidget()->setCurrentIndex(1);
}

void TestAdvDongle::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
    delete m_dongle;
    m_dongle = nullptr;
}

QStringList TestAdvDongle::sentIds() const
{
    QStringList ids = m_dongle->receivedIds();
    ids.removeAll(kHeartBeat);
    return ids;
}

void TestAdvDongle::openDongle()
{
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, kAnswerWaitMs);
    QTest::qWait(100);
    m_dongle->clearReceived();
    m_widget->pageTabWidget()->setCurrentIndex(1);
}

bool TestAdvDongle::startSet(const QString &type, int index, int row)
{
    AdvPageDriver::startSet(page(), type, index, row);
    return LinkRig::waitUntil([&] { return AdvPageDriver::rowAdvertising(page(), row); }, kAnswerWaitMs);
}

void TestAdvDongle::pageOnSlaveTab()
{
    QVERIFY(page());
    QCOMPARE(m_widget->pageTabWidget()->tabText(1), QStringLiteral("Slave"));
    QVERIFY(m_widget->pageTabWidget()->widget(1)->isAncestorOf(page()));
}

void TestAdvDongle::resetEventEmptiesListAndSendsNothing()
{
    openDongle();
    QVERIFY(startSet(QStringLiteral("Legacy Advertising"), 2, 0));
    QVERIFY(startSet(QStringLiteral("Extended Advertising"), 0, 1));
    QVERIFY(m_widget->isBusy());
    m_dongle->clearReceived();
    m_dongle->sendResetEvent();
    QTRY_COMPARE_WITH_TIMEOUT(AdvPageDriver::table(page())->model()->rowCount(), 0, kAnswerWaitMs);
    QVERIFY(!page()->isAdvertising());
    QVERIFY(!m_widget->isBusy());
    QTest::qWait(100);
    // The tab asks its questions again after a reset; the page sends nothing.
    for (const QString &id : sentIds())
        QVERIFY2(!id.startsWith(QLatin1String("01@2")) && !id.startsWith(QLatin1String("01@3")), qPrintable(id));
    m_widget->pageTabWidget()->setCurrentIndex(1);
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(AdvPageDriver::shownForm(page())));
}

void TestAdvDongle::settingsRefusedWhileAdvertising_data()
{
    QTest::addColumn<bool>("advertising");
    QTest::newRow("a set advertises") << true;
    QTest::newRow("its set stopped") << false;
}

void TestAdvDongle::settingsRefusedWhileAdvertising()
{
    QFETCH(bool, advertising);

    openDongle();
    QVERIFY(startSet(QStringLiteral("Periodic Advertising"), 1, 0));
    if (!advertising) {
        page()->findChild<QToolButton *>(QStringLiteral("btnStartAdv"))->click();
        QVERIFY(LinkRig::waitUntil([&] { return !page()->isAdvertising(); }, kAnswerWaitMs));
    }
    QCOMPARE(m_widget->isBusy(), advertising);
    m_dongle->clearReceived();

    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *dialog) {
        // Pressed once this answer has returned: the refusal is a modal box of its own.
        QTimer::singleShot(0, dialog->findChild<QPushButton *>(QStringLiteral("pb_setAll")), &QPushButton::click);
    });
    if (advertising) {
        answerer.click(QStringLiteral("m_pbOk"));
        answerer.click(ModalAnswerer::Reject);
    }
    m_widget->on_toolButton_configureSettings_clicked();
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(answerer.failures().isEmpty());
    if (advertising) {
        QCOMPARE(answerer.seen().size(), 3);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("error"));
        QCOMPARE(answerer.seen().at(1).text, QStringLiteral("cannot set params when air action is on"));
        QTest::qWait(100);
        for (const QString &id : kStaticCommands)
            QVERIFY2(!sentIds().contains(id), qPrintable(id));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(sentIds().contains(kStaticCommands.first()), kAnswerWaitMs);
    }
}

void TestAdvDongle::resetInsideRefusalBox_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("logLine");
    // The form's own check, the form's data check after the parameters were
    // acknowledged, and the dongle's refusal of a step.
    QTest::newRow("form check") << QStringList{} << QString()
                                << QStringLiteral("Legacy Advertising Parameters Setting Error");
    QTest::newRow("data is wrong") << QStringList{"adv:Custom AD type=4646"} << QString()
                                   << QStringLiteral("Advertising data is wrong.");
    QTest::newRow("dongle refuses") << QStringList{"adv:Complete Local Name=abc"} << QStringLiteral("01@23")
                                    << QStringLiteral("[SDK Result] Uplink Command Name:Legacy Advertising Parameter "
                                                      "Set Result:SDK ERR DISALLOWED");
}

void TestAdvDongle::resetInsideRefusalBox()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, refused);
    QFETCH(QString, logLine);

    openDongle();
    if (!refused.isEmpty())
        m_dongle->refuse(refused, AdvertisingBehaviour::AckDisallowed);
    AdvPageDriver::addSet(page(), QStringLiteral("Legacy Advertising"), 0);
    QPointer<CAdvBaseWidget> form = AdvPageDriver::shownForm(page());
    AdvForms::apply(form, settings);
    QTableView *table = AdvPageDriver::table(page());

    // The dongle resets while the box is open: the set and its form go.
    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *box) {
        QPointer<QWidget> open(box);
        m_dongle->sendResetEvent();
        QVERIFY(QTest::qWaitFor([&] { return table->model()->rowCount() == 0 && !form; }, kAnswerWaitMs));
        if (open)
            open->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
    });
    AdvPageDriver::press(page(), 0);
    page()->findChild<QToolButton *>(QStringLiteral("btnStartAdv"))->click();
    QVERIFY(answerer.waitUntilAnswered(kAnswerWaitMs));
    QVERIFY2(answerer.failures().isEmpty(), qPrintable(answerer.failures().join(' ')));
    QVERIFY(!form);
    QVERIFY(m_log->lines().contains(qMakePair(logLine, 4)));
    QVERIFY(!page()->findChild<QToolButton *>(QStringLiteral("btnStartAdv"))->isEnabled());
    m_widget->pageTabWidget()->setCurrentIndex(1);
    QVERIFY(!AdvPageDriver::shownForm(page())->isEnabled());

    // The page goes on as after any reset.
    m_dongle->clearFaults();
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, kAnswerWaitMs);
    QVERIFY(startSet(QStringLiteral("Extended Advertising"), 1, 0));
}

void TestAdvDongle::createBigOpensBroadcasterTab()
{
    QList<QPointer<RecordingBigPage>> made;
    PageRegistry::registerMaker<PageKind::BigBroadcaster>(
        [&made](const PageContext &context, const BigBroadcasterArgs &) -> BigBroadcasterPage * {
            auto *big = new RecordingBigPage(context.parent);
            made << big;
            return big;
        });
    openDongle();
    QVERIFY(startSet(QStringLiteral("Periodic Advertising"), 3, 0));
    AdvPageDriver::press(page(), 0);
    auto *createBig = page()->findChild<QToolButton *>(QStringLiteral("btnConnAdvBIG"));
    QVERIFY(createBig->isEnabled());
    createBig->click();

    QTabWidget *tabs = m_widget->pageTabWidget();
    QCOMPARE(made.size(), 1);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(2), QStringLiteral("BIG  "));
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(made.first()->setText, QStringLiteral("3"));

    // A second request reuses the tab.
    tabs->setCurrentIndex(1);
    emit page()->sig_slaveBIGSucceed(4);
    QCOMPARE(made.size(), 1);
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(made.first()->setText, QStringLiteral("4"));

    auto *close = qobject_cast<QToolButton *>(tabs->tabBar()->tabButton(2, QTabBar::RightSide));
    QVERIFY(close);
    QCOMPARE(close->toolTip(), QStringLiteral("Disconnect"));
    {
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        close->click();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text, QStringLiteral("Please terminate BIG before close the BIG and BIS table."));
    }
    QCOMPARE(tabs->count(), 3);
    made.first()->closable = true;
    close->click();
    QCOMPARE(tabs->count(), 2);
    QTRY_VERIFY(made.first().isNull());
    PageRegistry::registerMaker<PageKind::BigBroadcaster>({});
}

void TestAdvDongle::createBigButtonOpensBroadcasterPage()
{
    PageRegistry::registerMaker<PageKind::BigBroadcaster>(
        [](const PageContext &context, const BigBroadcasterArgs &) -> BigBroadcasterPage * {
            return new SlaveBIGWidget(context.link, context.logger, context.settings, QStringLiteral("TestDongle"),
                                      context.parent);
        });
    const auto unregister = qScopeGuard([] { PageRegistry::registerMaker<PageKind::BigBroadcaster>({}); });
    openDongle();
    QVERIFY(startSet(QStringLiteral("Extended Advertising"), 0, 0));
    QVERIFY(startSet(QStringLiteral("Periodic Advertising"), 2, 1));
    auto *createBig = page()->findChild<QToolButton *>(QStringLiteral("btnConnAdvBIG"));
    // The user sees the button on the page; it opens the page for the advertising periodic set.
    QVERIFY(createBig->isVisible());
    QVERIFY(createBig->isEnabled());
    QTest::mouseClick(createBig, Qt::LeftButton);

    QTabWidget *tabs = m_widget->pageTabWidget();
    auto *big = qobject_cast<SlaveBIGWidget *>(tabs->currentWidget());
    QVERIFY(big);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("BIG  "));
    QCOMPARE(big->advIndex, QStringLiteral("2"));

    // A set that does not advertise periodically gives no way in.
    tabs->setCurrentIndex(1);
    QTest::keyClick(AdvPageDriver::table(page()), Qt::Key_Up);
    QVERIFY(!createBig->isEnabled());
}

void TestAdvDongle::createBigWithoutBroadcasterPage()
{
    emit page()->sig_slaveBIGSucceed(1);
    QCOMPARE(m_widget->pageTabWidget()->count(), 2);
    QVERIFY(m_log->lines().contains(qMakePair(QStringLiteral("Create BIG and BIS tab failed. "), 4)));
}

void TestAdvDongle::aStartStepWithoutAnswerEnds_data()
{
    QTest::addColumn<QString>("fault");     // of the first "Legacy Advertising Parameter Set" acknowledgement
    QTest::addColumn<int>("heartBeatMs");   // the heartbeat's answers follow the lost one
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("startsAgain");

    QTest::newRow("never answered")
        << "drop" << 60000 << "the dongle did not answer Legacy Advertising Parameter Set within 1.5 s" << false;
    QTest::newRow("lost, a later answer tells")
        << "drop" << 100 << "the answer to Legacy Advertising Parameter Set was lost" << true;
    QTest::newRow("answered after the time-out")
        << "hold" << 60000 << "the dongle did not answer Legacy Advertising Parameter Set within 1.5 s" << true;
}

// Two legacy sets; set 0 starts and the dongle loses or holds the answer to
// its first step. The start ends in a bounded time: its Status cell and one
// box say so, and Start is usable again on both rows. An answer that comes
// after that changes nothing.
void TestAdvDongle::aStartStepWithoutAnswerEnds()
{
    QFETCH(QString, fault);
    QFETCH(int, heartBeatMs);
    QFETCH(QString, reason);
    QFETCH(bool, startsAgain);

    openDongle();
    page()->setStartStepTimeoutMs(1500);
    for (int index : {0, 1}) {
        AdvPageDriver::addSet(page(), QStringLiteral("Legacy Advertising"), index);
        AdvForms::apply(AdvPageDriver::shownForm(page()), {QStringLiteral("adv:Complete Local Name=abc")});
    }
    const SimulatedDongle::Which first = SimulatedDongle::Which::first(1);
    if (fault == QLatin1String("drop"))
        m_dongle->dropAcknowledgement(QStringLiteral("01@23"), first);
    else
        m_dongle->holdAcknowledgement(QStringLiteral("01@23"), first);
    m_widget->heartBeat()->setInterval(heartBeatMs);
    QToolButton *start = page()->findChild<QToolButton *>(QStringLiteral("btnStartAdv"));

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    AdvPageDriver::press(page(), 0);
    start->click();
    QVERIFY(!start->isEnabled());
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text,
             QStringLiteral("Advertising set 0 did not start: %1 (no answer).").arg(reason));
    QAbstractItemModel *sets = AdvPageDriver::table(page())->model();
    QCOMPARE(sets->index(0, 2).data().toString(), QStringLiteral("Not started: no answer"));
    QVERIFY(start->isEnabled());
    AdvPageDriver::press(page(), 1);
    QVERIFY(start->isEnabled());

    if (m_dongle->isHolding()) {
        // The answer comes late: nothing goes on from it.
        m_dongle->releaseHeld();
        QTest::qWait(300);
        QVERIFY(!sentIds().contains(QStringLiteral("01@25")));
        QCOMPARE(sets->index(0, 2).data().toString(), QStringLiteral("Not started: no answer"));
        QVERIFY(!QApplication::activeModalWidget());
    }
    if (startsAgain) {
        AdvPageDriver::press(page(), 0);
        start->click();
        QVERIFY(LinkRig::waitUntil([&] { return AdvPageDriver::rowAdvertising(page(), 0); }, kAnswerWaitMs));
    }
}

QTEST_MAIN(TestAdvDongle)
#include "tst_advdongle.moc"
