#include "cheartbeat.h"
#include "cmsg.h"
#include "ctestmodepage.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"
#include "testmodepages.h"

#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWaitMs = 20000;

// The test-mode frames the dongle received, by ID.
QStringList testModeIds(const SimulatedDongle &dongle)
{
    QStringList ids;
    for (const QString &id : dongle.receivedIds()) {
        if (id.startsWith(QLatin1String("09@")) || id.startsWith(QLatin1String("0A@")))
            ids << id;
    }
    return ids;
}

} // namespace

// A dongle tab closed, or the program quit, while a radio test mode runs: the
// mode's stop commands reach the dongle before its port closes.
class TestDongleClose : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stopFramesLeaveBeforeThePortCloses_data();
    void stopFramesLeaveBeforeThePortCloses();

private:
    QTemporaryDir *m_folder = nullptr;
    QString m_previousFolder;
};

void TestDongleClose::initTestCase()
{
    registerTestModePages();
}

void TestDongleClose::init()
{
    m_previousFolder = QDir::currentPath();
    m_folder = new QTemporaryDir;
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir::setCurrent(m_folder->path()));
    QSettings settings(QStringLiteral("config.ini"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Kept/TabWidgetNumber"), 0);
    settings.setValue(QStringLiteral("Tested/TabWidgetNumber"), 1);
    settings.sync();
}

void TestDongleClose::cleanup()
{
    QDir::setCurrent(m_previousFolder);
    delete m_folder;
    m_folder = nullptr;
}

void TestDongleClose::stopFramesLeaveBeforeThePortCloses_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<bool>("quit"); // else the tab is deleted
    QTest::addColumn<QStringList>("expected");
    const QStringList lcp{"09@07", "09@06", "09@02"};
    const QStringList idt{"0A@07", "0A@06", "0A@02"};
    QTest::newRow("LCP, tab deleted") << QStringList{"lcp"} << false << lcp;
    QTest::newRow("IDT, tab deleted") << QStringList{"idt"} << false << idt;
    QTest::newRow("LCP and IDT, tab deleted") << QStringList{"lcp", "idt"} << false << lcp + idt;
    QTest::newRow("LCP and IDT, program quits") << QStringList{"lcp", "idt"} << true << lcp + idt;
}

void TestDongleClose::stopFramesLeaveBeforeThePortCloses()
{
    QFETCH(QStringList, pages);
    QFETCH(bool, quit);
    QFETCH(QStringList, expected);
    SimulatedDongle dongle;
    QVERIFY(dongle.isValid());
    installLinkBehaviour(dongle);
    installAppBehaviour(dongle);

    auto window = std::make_unique<MainWindow>();
    window->show();
    QCOMPARE(window->dongles().size(), 2);
    MainDongleWidget *tested = window->dongles().at(1).first;
    auto *dongleTabs = window->findChild<QTabWidget *>(QStringLiteral("m_tabDongleWidget"));
    dongleTabs->setCurrentWidget(tested);
    QVERIFY(tested->isInitialized());
    tested->heartBeat()->setInterval(60000);
    // The program's own send tick: one frame per 100 ms.
    QCOMPARE(tested->link()->sendInterval(), CMsg::DefaultSendIntervalMs);
    QCOMPARE(tested->link()->openPort(dongle.portPath()), 0);
    tested->onConnectionStatusChanged(true);
    QTRY_COMPARE_WITH_TIMEOUT(tested->deviceType(), 1, kWaitMs);

    for (const QString &page : pages) {
        const bool lcp = page == QLatin1String("lcp");
        tested->findChild<QToolButton *>(lcp ? QStringLiteral("toolButton_lcp") : QStringLiteral("toolButton_idt"))
            ->click();
        auto *testPage = qobject_cast<CTestModePage *>(tested->pageTabWidget()->currentWidget());
        QVERIFY(testPage);
        testPage->findChild<QPushButton *>(lcp ? QStringLiteral("btn_startlcp") : QStringLiteral("btn_startidt"))
            ->click();
        QVERIFY(testPage->isModeRunning());
        const QString started = lcp ? QStringLiteral("09@01") : QStringLiteral("0A@01");
        QTRY_VERIFY_WITH_TIMEOUT(dongle.receivedIds().contains(started), kWaitMs);
    }
    QTest::qWait(150);
    dongle.clearReceived();

    // The window goes on answering while the frames leave.
    bool answered = false;
    QTimer::singleShot(50, [&answered] { answered = true; });
    const QPointer<MainDongleWidget> guard(tested);
    if (quit) {
        window.reset();
    } else {
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("buttonYes"));
        window->on_deleteDongleTab(dongleTabs->indexOf(tested));
        QVERIFY(answerer.allAnswered());
        QCOMPARE(window->dongles().size(), 1);
        QVERIFY(!tested->link()->isOpen());
    }
    QTRY_COMPARE_WITH_TIMEOUT(testModeIds(dongle), expected, kWaitMs);
    QVERIFY(answered);
    QTRY_VERIFY_WITH_TIMEOUT(!guard, kWaitMs);
}

QTEST_MAIN(TestDongleClose)
#include "tst_dongleclose.moc"
