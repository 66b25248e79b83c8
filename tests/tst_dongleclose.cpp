#include "advertisingpages.h"
#include "advrig.h"
#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "ctestmodepage.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "pageinterfaces.h"
#include "simbehaviour_adv.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"
#include "testmodepages.h"

#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWaitMs = 20000;

// The stop commands the dongle received, by ID; a sync or advertising set
// stop with the index it names.
QStringList stopFrames(const SimulatedDongle &dongle)
{
    QStringList frames;
    for (const SimulatedDongle::ReceivedFrame &frame : dongle.receivedFrames()) {
        const QString &id = frame.id;
        if (id == QLatin1String("01@22") || id == QLatin1String("01@29"))
            frames << id + QLatin1Char(' ') + QString::number(quint8(frame.bytes.at(5)));
        else if (id == QLatin1String("01@03") || id.startsWith(QLatin1String("09@"))
                 || id.startsWith(QLatin1String("0A@")))
            frames << id;
    }
    return frames;
}

} // namespace

// A dongle tab closed, or the program quit, while the dongle scans, keeps a
// periodic sync, advertises or runs a radio test mode: the stop commands of
// all that reach the dongle before its port closes.
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
    registerAdvertisingPages();
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
    // What the tab starts: "lcp", "idt", "scan", "sync" (through the periodic
    // advertiser list, while scanning), "legacy 2" and "extended 0"
    // (advertising sets by index); "unconfirmed scan" and "unconfirmed
    // legacy 1" start with the dongle's result withheld.
    QTest::addColumn<QStringList>("started");
    QTest::addColumn<bool>("quit"); // else the tab is deleted
    QTest::addColumn<QStringList>("expected");
    const QStringList lcp{"09@07", "09@06", "09@02"};
    const QStringList idt{"0A@07", "0A@06", "0A@02"};
    QTest::newRow("LCP, tab deleted") << QStringList{"lcp"} << false << lcp;
    QTest::newRow("IDT, tab deleted") << QStringList{"idt"} << false << idt;
    QTest::newRow("LCP and IDT, tab deleted") << QStringList{"lcp", "idt"} << false << lcp + idt;
    QTest::newRow("LCP and IDT, program quits") << QStringList{"lcp", "idt"} << true << lcp + idt;
    QTest::newRow("scan, tab deleted") << QStringList{"scan"} << false << QStringList{"01@03"};
    QTest::newRow("scan not yet confirmed, program quits")
        << QStringList{"unconfirmed scan"} << true << QStringList{"01@03"};
    QTest::newRow("scan and periodic sync, program quits")
        << QStringList{"scan", "sync"} << true << QStringList{"01@03", "01@22 0"};
    QTest::newRow("two advertising sets, tab deleted")
        << QStringList{"legacy 2", "extended 0"} << false << QStringList{"01@29 0", "01@29 2"};
    QTest::newRow("advertising set whose start is not yet confirmed, program quits")
        << QStringList{"unconfirmed legacy 1"} << true << QStringList{"01@29 1"};
    // More stop commands than the eight send ticks the test modes alone need.
    QTest::newRow("all of it, tab deleted")
        << QStringList{"scan", "sync", "legacy 2", "extended 0", "lcp", "idt"} << false
        << QStringList{"01@03", "01@22 0", "01@29 0", "01@29 2"} + lcp + idt;
}

void TestDongleClose::stopFramesLeaveBeforeThePortCloses()
{
    QFETCH(QStringList, started);
    QFETCH(bool, quit);
    QFETCH(QStringList, expected);
    SimulatedDongle dongle;
    QVERIFY(dongle.isValid());
    installLinkBehaviour(dongle);
    installAppBehaviour(dongle);
    ScanBehaviour *scan = installScanBehaviour(dongle);
    AdvertisingBehaviour *adv = AdvertisingBehaviour::install(dongle);

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

    CConnectionWidget *scanning = tested->connectionWidget();
    for (const QString &what : started) {
        if (what == QLatin1String("lcp") || what == QLatin1String("idt")) {
            const bool lcp = what == QLatin1String("lcp");
            tested->findChild<QToolButton *>(lcp ? QStringLiteral("toolButton_lcp") : QStringLiteral("toolButton_idt"))
                ->click();
            auto *testPage = qobject_cast<CTestModePage *>(tested->pageTabWidget()->currentWidget());
            QVERIFY(testPage);
            testPage->findChild<QPushButton *>(lcp ? QStringLiteral("btn_startlcp") : QStringLiteral("btn_startidt"))
                ->click();
            QVERIFY(testPage->isModeRunning());
            const QString mode = lcp ? QStringLiteral("09@01") : QStringLiteral("0A@01");
            QTRY_VERIFY_WITH_TIMEOUT(dongle.receivedIds().contains(mode), kWaitMs);
        } else if (what.endsWith(QLatin1String("scan"))) {
            const bool unconfirmed = what.startsWith(QLatin1String("unconfirmed"));
            if (unconfirmed)
                dongle.withholdResult(QStringLiteral("01@3D"));
            // Syncs through the periodic advertiser list.
            tested->settingsMap()->insert(QStringLiteral("type"), 1);
            tested->pageTabWidget()->setCurrentIndex(0);
            scanning->findChild<QToolButton *>(QStringLiteral("buttonScan"))->click();
            QTRY_VERIFY_WITH_TIMEOUT(scan->isScanning(), kWaitMs);
            if (!unconfirmed)
                QTRY_VERIFY_WITH_TIMEOUT(scanning->isScanning(), kWaitMs);
        } else if (what == QLatin1String("sync")) {
            ModalAnswerer answerer;
            answerer.click(QStringLiteral("m_pbOk"));
            scanning->findChild<QToolButton *>(QStringLiteral("buttonSync"))->click();
            QVERIFY(answerer.waitUntilAnswered(kWaitMs));
            QCOMPARE(scan->syncs(), QVector<quint8>{0});
        } else {
            // An advertising set: its type, its index, and whether the dongle
            // says that it started.
            const QStringList words = what.split(QLatin1Char(' '));
            const bool unconfirmed = words.first() == QLatin1String("unconfirmed");
            const QString type = words.at(words.size() - 2) == QLatin1String("legacy")
                                     ? QStringLiteral("Legacy Advertising")
                                     : QStringLiteral("Extended Advertising");
            const int index = words.last().toInt();
            if (unconfirmed)
                dongle.withholdResult(QStringLiteral("01@27"));
            tested->pageTabWidget()->setCurrentIndex(1);
            AdvertisingPage *page = tested->advertisingPage();
            const int row = AdvPageDriver::table(page)->model()->rowCount();
            AdvPageDriver::startSet(page, type, index, row);
            QTRY_VERIFY_WITH_TIMEOUT(adv->isAdvertising(index), kWaitMs);
            if (!unconfirmed)
                QTRY_VERIFY_WITH_TIMEOUT(AdvPageDriver::rowAdvertising(page, row), kWaitMs);
        }
    }
    QTest::qWait(150);
    dongle.clearReceived();

    // The window goes on answering while the frames leave.
    bool answered = false;
    const auto expectAnswer = [&answered] { QTimer::singleShot(0, [&answered] { answered = true; }); };
    const QPointer<MainDongleWidget> guard(tested);
    if (quit) {
        expectAnswer();
        window.reset();
    } else {
        ModalAnswerer answerer;
        answerer.answerWith([&expectAnswer](QWidget *question) {
            expectAnswer();
            question->findChild<QPushButton *>(QStringLiteral("buttonYes"))->click();
        });
        window->on_deleteDongleTab(dongleTabs->indexOf(tested));
        QVERIFY(answerer.allAnswered());
        QCOMPARE(window->dongles().size(), 1);
        QVERIFY(!tested->link()->isOpen());
    }
    QVERIFY(answered);
    QTRY_COMPARE_WITH_TIMEOUT(stopFrames(dongle), expected, kWaitMs);
    // The dongle is left as the tab found it.
    QVERIFY(!scan->isScanning());
    QVERIFY(scan->syncs().isEmpty());
    QCOMPARE(adv->advertisingCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!guard, kWaitMs);
}

QTEST_MAIN(TestDongleClose)
#include "tst_dongleclose.moc"
