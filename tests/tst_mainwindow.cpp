#include "cconfigdonglenamedialog.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "filesizelimit.h"
#include "csetting.h"
#include "csettingdialog.h"
#include "cdongletabwidget.h"
#include "confirmdeletedialog.h"
#include "datafolder.h"
#include "freediskspace.h"
#include "logdiskguard.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "mytabstyle.h"
#include "recordinglogger.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"
#include "widgetresources.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {

// Writes a config.ini in the current folder with one group per entry.
void writeConfig(const QList<QPair<QString, QVariantMap>> &groups)
{
    QSettings settings(QStringLiteral("config.ini"), QSettings::IniFormat);
    settings.clear();
    for (const auto &group : groups) {
        settings.beginGroup(group.first);
        for (auto it = group.second.cbegin(); it != group.second.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.endGroup();
    }
    settings.sync();
}

void writeRawConfig(const QByteArray &content)
{
    QFile file(QStringLiteral("config.ini"));
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

QStringList storedGroups()
{
    QSettings settings(QStringLiteral("config.ini"), QSettings::IniFormat);
    return settings.childGroups();
}

// The copies of config.ini kept aside, oldest name first.
QStringList setAsideCopies()
{
    return QDir().entryList({QStringLiteral("config.ini.*.bad")}, QDir::Files, QDir::Name);
}

QVariantMap numbered(int number)
{
    return QVariantMap{{QStringLiteral("TabWidgetNumber"), number}};
}

QStringList tabTexts(MainWindow &window)
{
    auto *tabs = window.findChild<CDongleTabWidget *>(QStringLiteral("m_tabDongleWidget"));
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    return texts;
}

CDongleTabWidget *tabWidget(MainWindow &window)
{
    return window.findChild<CDongleTabWidget *>(QStringLiteral("m_tabDongleWidget"));
}

// Accepts the naming dialog that `ask` brings up; the name it proposed, or
// nothing when no dialog came.
QString acceptNamingDialog(const std::function<void()> &ask)
{
    QString proposed;
    ModalAnswerer answerer;
    answerer.answerWith([&proposed](QWidget *modal) {
        proposed = modal->findChild<QLineEdit *>(QStringLiteral("LE_dongleName"))->text();
        modal->findChild<QPushButton *>(QStringLiteral("PB_Config"))->click();
    });
    ask();
    return answerer.allAnswered() ? proposed : QString();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstRunProposesDongle1();
    void firstRunNaming_data();
    void firstRunNaming();
    void laterRunAsksNoName();
    void tabsFollowStoredNumbers_data();
    void tabsFollowStoredNumbers();
    void configRoundTrip();
    void closedTabGroupIsDropped();
    void groupsPastTheFifthAreKept();
    void sixthTabRefused();
    void lastTabCloseRefusedBeforeTheQuestion();
    void cancelledCloseKeepsTab();
    void addTabProposesLowestFreeName();
    void unwritableConfigIsTold();
    void configWrittenOnChange();
    void configOnAFullDiskKeepsTheOldFile();
    void appliedSettingsAreOnDiskAtOnce();
    void badGroupsAreSkipped_data();
    void badGroupsAreSkipped();
    void unusableConfigIsSetAside_data();
    void unusableConfigIsSetAside();
    void setAsideCopiesAreNeverReplaced();
    void nearlyFullDiskIsToldOnce();
    void configIsNeverWrittenThroughALink_data();
    void configIsNeverWrittenThroughALink();
    void portNoticesReachEveryTab();
    void portsAreWatchedOnceTheWindowShows();
    void titleBarDoubleClickMaximises();

    void namingDialog_data();
    void namingDialog();
    void confirmDialogSignals_data();
    void confirmDialogSignals();
    void tabStyle_data();
    void tabStyle();

private:
    QTemporaryDir *m_folder = nullptr;
    QString m_previousFolder;
};

void TestMainWindow::init()
{
    m_previousFolder = QDir::currentPath();
    m_folder = new QTemporaryDir;
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir::setCurrent(m_folder->path()));
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(m_previousFolder);
    delete m_folder;
    m_folder = nullptr;
}

void TestMainWindow::firstRunProposesDongle1()
{
    MainWindow window;
    QCOMPARE(tabTexts(window), QStringList{QStringLiteral("Dongle1")});
    QVERIFY(window.dongles().isEmpty());
    QVERIFY(window.firstDongleWidget());
    QVERIFY(window.firstDongleWidget()->isInitialized());
    QCOMPARE(window.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(window.size(), QSize(1280, 720));

    // The naming dialog is made when it is asked, with the proposed name.
    QVERIFY(!window.nameDialog());
    QCOMPARE(acceptNamingDialog([&window] { window.configureFirstDongle(); }), QStringLiteral("Dongle1"));
    QCOMPARE(tabTexts(window), QStringList{QStringLiteral("Dongle1")});
}

void TestMainWindow::firstRunNaming_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expected");
    QTest::newRow("accepted") << "Lab A" << false << "Lab A";
    QTest::newRow("cancelled keeps the typed text") << "Bench" << true << "Bench";
    QTest::newRow("emptied and cancelled") << "" << true << "Dongle1";
    QTest::newRow("dot dot cancelled") << ".." << true << "Dongle1";
    QTest::newRow("slash cancelled") << "a/b" << true << "Dongle1";
    QTest::newRow("too long cancelled") << QString(201, QLatin1Char('x')) << true << "Dongle1";
}

void TestMainWindow::firstRunNaming()
{
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    QFETCH(QString, expected);

    MainWindow window;
    ModalAnswerer answerer;
    answerer.answerWith([typed, cancel](QWidget *modal) {
        modal->findChild<QLineEdit *>(QStringLiteral("LE_dongleName"))->setText(typed);
        const QString button = cancel ? QStringLiteral("PB_Cancle") : QStringLiteral("PB_Config");
        modal->findChild<QPushButton *>(button)->click();
    });
    window.configureFirstDongle();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(tabTexts(window), QStringList{expected});
    QCOMPARE(window.dongles().size(), 1);
    QCOMPARE(window.dongles().first().second, expected);
    QCOMPARE(window.firstDongleWidget()->dongleName(), expected);
    // Named: on disk at once.
    QCOMPARE(storedGroups(), QStringList{expected});
}

void TestMainWindow::laterRunAsksNoName()
{
    writeConfig({{"Stored", numbered(0)}});
    MainWindow window;
    // Should a naming dialog come up, this answer closes it and the test sees it.
    ModalAnswerer answerer(2000);
    answerer.click(QStringLiteral("PB_Cancle"));
    window.configureFirstDongle();
    QVERIFY(!answerer.allAnswered());
    QCOMPARE(tabTexts(window), QStringList{"Stored"});
    QCOMPARE(window.dongles().size(), 1);
}

void TestMainWindow::tabsFollowStoredNumbers_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("2 0 1") << QStringList{"Alpha", "Beta", "Gamma"} << QList<int>{2, 0, 1}
                           << QStringList{"Beta", "Gamma", "Alpha"};
    QTest::newRow("in order") << QStringList{"A", "B"} << QList<int>{0, 1} << QStringList{"A", "B"};
    // Hand-edited numbers: out of range and repeated ones keep their relative order.
    QTest::newRow("out of range") << QStringList{"A", "B", "C"} << QList<int>{7, 0, 1}
                                  << QStringList{"B", "C", "A"};
    QTest::newRow("repeated") << QStringList{"A", "B", "C"} << QList<int>{1, 1, 0}
                              << QStringList{"C", "A", "B"};
    QTest::newRow("negative last") << QStringList{"A", "B"} << QList<int>{-3, 0} << QStringList{"B", "A"};
}

void TestMainWindow::tabsFollowStoredNumbers()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, numbers);
    QFETCH(QStringList, expected);
    QList<QPair<QString, QVariantMap>> groups;
    for (int i = 0; i < names.size(); ++i)
        groups.append({names.at(i), numbered(numbers.at(i))});
    writeConfig(groups);

    MainWindow window;
    QCOMPARE(tabTexts(window), expected);
    QStringList listed;
    for (const auto &entry : window.dongles())
        listed << entry.second;
    QCOMPARE(listed, expected);
    QCOMPARE(window.firstDongleWidget()->dongleName(), expected.first());
    QVERIFY(window.firstDongleWidget()->isInitialized());
    QVERIFY(!window.nameDialog());
}

void TestMainWindow::configRoundTrip()
{
    QVariantMap beta = numbered(0);
    beta.insert(QStringLiteral("scan_interval"), QPoint(5, 0));
    beta.insert(QStringLiteral("device_name"), QStringLiteral("4241"));
    writeConfig({{QStringLiteral("Alpha"), numbered(1)}, {QStringLiteral("Beta"), beta}});

    {
        MainWindow window;
        QCOMPARE(tabTexts(window), (QStringList{"Beta", "Alpha"}));
        MainDongleWidget *first = window.firstDongleWidget();
        QMap<QString, QVariant> *values = first->settingsMap();
        QCOMPARE(values->value(QStringLiteral("scan_interval")).userType(), int(QMetaType::UInt));
        QCOMPARE(values->value(QStringLiteral("scan_interval")).toUInt(), 5u);
        QCOMPARE(values->value(QStringLiteral("device_name")).toString(), QStringLiteral("4241"));
        values->insert(QStringLiteral("big"), QVariant(uint(4294967295u)));
        values->insert(QStringLiteral("profile"), QByteArray("\x00\x03\x01\x41\x42", 5));
    }

    QSettings stored(QStringLiteral("config.ini"), QSettings::IniFormat);
    QCOMPARE(stored.childGroups(), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(stored.value(QStringLiteral("Beta/TabWidgetNumber")).toInt(), 0);
    QCOMPARE(stored.value(QStringLiteral("Alpha/TabWidgetNumber")).toInt(), 1);
    QCOMPARE(stored.value(QStringLiteral("Beta/big")).toPoint(), QPoint(-1, 0));
    QCOMPARE(stored.value(QStringLiteral("Beta/scan_interval")).toPoint(), QPoint(5, 0));
    QFile raw(QStringLiteral("config.ini"));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(raw.readAll().contains("big=@Point(-1 0)"));

    MainWindow again;
    QCOMPARE(tabTexts(again), (QStringList{"Beta", "Alpha"}));
    const QVariant big = again.firstDongleWidget()->settingsMap()->value(QStringLiteral("big"));
    QCOMPARE(big.userType(), int(QMetaType::UInt));
    QCOMPARE(big.toUInt(), 4294967295u);
    QCOMPARE(again.firstDongleWidget()->settingsMap()->value(QStringLiteral("profile")).toByteArray(),
             QByteArray("\x00\x03\x01\x41\x42", 5));
}

void TestMainWindow::closedTabGroupIsDropped()
{
    writeConfig({{"A", numbered(0)}, {"B", numbered(1)}, {"C", numbered(2)}});
    {
        MainWindow window;
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("buttonYes"));
        window.on_deleteDongleTab(1);
        QVERIFY(answerer.allAnswered());
        QCOMPARE(tabTexts(window), (QStringList{"A", "C"}));
        QCOMPARE(window.dongles().size(), 2);
    }
    QSettings stored(QStringLiteral("config.ini"), QSettings::IniFormat);
    QCOMPARE(stored.childGroups(), (QStringList{"A", "C"}));
    QCOMPARE(stored.value(QStringLiteral("A/TabWidgetNumber")).toInt(), 0);
    QCOMPARE(stored.value(QStringLiteral("C/TabWidgetNumber")).toInt(), 1);
}

void TestMainWindow::groupsPastTheFifthAreKept()
{
    // A hand-edited file with seven groups: five tabs, and nothing of the
    // other two is lost when the file is written again.
    QList<QPair<QString, QVariantMap>> groups;
    for (int i = 0; i < 7; ++i) {
        QVariantMap values = numbered(i);
        values.insert(QStringLiteral("scan_interval"), QPoint(10 + i, 0));
        groups.append({QStringLiteral("D%1").arg(i), values});
    }
    writeConfig(groups);
    {
        MainWindow window;
        QCOMPARE(tabTexts(window), (QStringList{"D0", "D1", "D2", "D3", "D4"}));
        // Told where the user looks, not only on the error output.
        const QString report = window.configReport();
        QVERIFY2(report.contains(QStringLiteral("\"D5\", \"D6\" are kept in the file but not shown"))
                     && !report.contains(QStringLiteral("skipped")),
                 qPrintable(report));
    }
    QSettings stored(QStringLiteral("config.ini"), QSettings::IniFormat);
    QCOMPARE(stored.childGroups().size(), 7);
    for (int i = 0; i < 7; ++i) {
        const QString group = QStringLiteral("D%1/").arg(i);
        QCOMPARE(stored.value(group + QStringLiteral("TabWidgetNumber")).toInt(), i);
        QCOMPARE(stored.value(group + QStringLiteral("scan_interval")).toPoint(), QPoint(10 + i, 0));
    }
}

void TestMainWindow::sixthTabRefused()
{
    writeConfig({{"A", numbered(0)}, {"B", numbered(1)}, {"C", numbered(2)}, {"D", numbered(3)}, {"E", numbered(4)}});
    MainWindow window;
    QCOMPARE(tabWidget(window)->count(), 5);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("Ok"));
    QSignalSpy added(tabWidget(window), &CDongleTabWidget::addDongleTab);
    tabWidget(window)->addButton()->click();
    QCOMPARE(added.count(), 1);
    QVERIFY(answerer.allAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("error"));
    QCOMPARE(answerer.seen().first().text, QStringLiteral("widget numbers should < 5"));
    QCOMPARE(tabWidget(window)->count(), 5);
    QCOMPARE(window.dongles().size(), 5);
}

void TestMainWindow::lastTabCloseRefusedBeforeTheQuestion()
{
    writeConfig({{"Only", numbered(0)}});
    MainWindow window;
    window.show();
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    // The tab's own close button, as the user closes it.
    QTabBar *bar = tabWidget(window)->tabBar();
    auto *close = qobject_cast<QAbstractButton *>(bar->tabButton(0, QTabBar::RightSide));
    QVERIFY(close);
    close->click();
    QVERIFY(answerer.allAnswered());
    // Refused in a box of its own; the confirmation never comes up.
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().className, QStringLiteral("CFlatMessage"));
    QCOMPARE(answerer.seen().first().title, QStringLiteral("error"));
    QVERIFY(answerer.seen().first().text.contains(QStringLiteral("last dongle tab cannot be closed")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(tabTexts(window), QStringList{"Only"});
    QCOMPARE(window.dongles().size(), 1);
}

void TestMainWindow::cancelledCloseKeepsTab()
{
    writeConfig({{"A", numbered(0)}, {"B", numbered(1)}});
    MainWindow window;
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("buttonNo"));
    answerer.click(ModalAnswerer::CloseButton);
    window.on_deleteDongleTab(1);
    window.on_deleteDongleTab(1);
    QVERIFY(answerer.allAnswered());
    QCOMPARE(tabTexts(window), (QStringList{"A", "B"}));
}

void TestMainWindow::addTabProposesLowestFreeName()
{
    writeConfig({{"Dongle1", numbered(0)}, {"Dongle3", numbered(1)}});
    MainWindow window;
    QCOMPARE(window.nextDongleName(), QStringLiteral("Dongle2"));

    QCOMPARE(acceptNamingDialog([&window] { window.on_addDongleTab(); }), QStringLiteral("Dongle2"));
    QCOMPARE(tabTexts(window), (QStringList{"Dongle1", "Dongle3", "Dongle2"}));
    QCOMPARE(tabWidget(window)->currentIndex(), 2);
    QCOMPARE(window.dongles().last().second, QStringLiteral("Dongle2"));
    // Shown for the first time, so its pages were built.
    QVERIFY(window.dongles().last().first->isInitialized());

    // Cancelled: nothing is added. The dialog is reused, so a fresh answerer.
    ModalAnswerer second;
    second.click(QStringLiteral("PB_Cancle"));
    window.on_addDongleTab();
    QVERIFY(second.allAnswered());
    QCOMPARE(tabWidget(window)->count(), 3);
}

void TestMainWindow::unwritableConfigIsTold()
{
    writeConfig({{"A", numbered(0)}});
    MainWindow window;
    auto *recorder = new RecordingLogger;
    window.firstDongleWidget()->logManager()->addLogger(recorder);
    // The file's place is taken by a folder, so the new file cannot replace it.
    QVERIFY(QFile::remove(QStringLiteral("config.ini")));
    QVERIFY(QDir().mkdir(QStringLiteral("config.ini")));
    const auto addTab = [&window](const QString &name) {
        ModalAnswerer adding;
        adding.answerWith([name](QWidget *modal) {
            modal->findChild<QLineEdit *>(QStringLiteral("LE_dongleName"))->setText(name);
            modal->findChild<QPushButton *>(QStringLiteral("PB_Config"))->click();
        });
        adding.click(QStringLiteral("m_pbOk"));
        window.on_addDongleTab();
        adding.waitUntilAnswered(1000);
        return adding.seen();
    };

    // The first failure is told where the user looks: what failed and what to do.
    QList<ModalAnswerer::Seen> seen = addTab(QStringLiteral("B"));
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(1).title, QStringLiteral("error"));
    const QString text = seen.at(1).text;
    QVERIFY2(text.contains(QDir::current().absoluteFilePath(QStringLiteral("config.ini")))
                 && text.contains(QStringLiteral("lost when the program ends"))
                 && text.contains(QStringLiteral("Make it writable")),
             qPrintable(text));
    QVERIFY(QFileInfo(QStringLiteral("config.ini")).isDir());
    // And in the log, at ERROR.
    int logged = 0;
    for (const auto &line : recorder->lines()) {
        if (line.first.startsWith(QStringLiteral("The settings could not be saved"))) {
            ++logged;
            QCOMPARE(line.second, LogLevel::Error);
            QVERIFY(text.startsWith(line.first));
        }
    }
    QCOMPARE(logged, 1);

    // While it keeps failing, no box per change.
    QCOMPARE(addTab(QStringLiteral("C")).size(), 1);

    // Once it can be written again, it is, and a later failure is told again.
    QVERIFY(QDir().rmdir(QStringLiteral("config.ini")));
    QVERIFY(window.saveConfig());
    QCOMPARE(storedGroups(), (QStringList{"A", "B", "C"}));
    QVERIFY(QFile::remove(QStringLiteral("config.ini")));
    QVERIFY(QDir().mkdir(QStringLiteral("config.ini")));
    QCOMPARE(addTab(QStringLiteral("D")).size(), 2);
    QVERIFY(QDir().rmdir(QStringLiteral("config.ini")));
}

// However many dongles log, one box says that the log files keep no DEBUG
// and INFO lines and how much is free; each dongle's log says it once.
void TestMainWindow::nearlyFullDiskIsToldOnce()
{
    writeConfig({{"A", numbered(0)}, {"B", numbered(1)}});
    MainWindow window;
    QList<RecordingLogger *> recorders;
    for (MainDongleWidget *dongle : window.findChildren<MainDongleWidget *>()) {
        recorders << new RecordingLogger;
        dongle->logManager()->addLogger(recorders.last());
    }
    QCOMPARE(recorders.size(), 2);
    const qint64 mebibyte = FreeDiskSpace::MiB;
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    FreeDiskSpace disk(700 * mebibyte);
    disk.set(600 * mebibyte);
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("Disk space"));
    const QString text = answerer.seen().first().text;
    QVERIFY2(text.contains(QStringLiteral("700 MiB free")), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(Platform::dataFolder())), qPrintable(text));
    for (RecordingLogger *recorder : qAsConst(recorders)) {
        QCOMPARE(recorder->count(text), 1);
        QCOMPARE(recorder->lines().at(recorder->texts().indexOf(text)).second, LogLevel::Warn);
    }

    // Room again: a line in each log, no box.
    disk.set(2048 * mebibyte);
    QVERIFY(!ModalAnswerer::waitForModal(300));
    for (RecordingLogger *recorder : qAsConst(recorders))
        QCOMPARE(recorder->count(LogDiskGuard::backText(2048 * mebibyte)), 1);
}

void TestMainWindow::configWrittenOnChange()
{
    writeConfig({{"A", numbered(0)}, {"B", numbered(1)}});
    MainWindow window;
    const auto stored = [] {
        QSettings settings(QStringLiteral("config.ini"), QSettings::IniFormat);
        return settings.childGroups();
    };

    ModalAnswerer adding;
    adding.answerWith([](QWidget *modal) {
        modal->findChild<QLineEdit *>(QStringLiteral("LE_dongleName"))->setText(QStringLiteral("C"));
        modal->findChild<QPushButton *>(QStringLiteral("PB_Config"))->click();
    });
    window.on_addDongleTab();
    QVERIFY(adding.allAnswered());
    // On disk while the window lives: a kill now loses nothing.
    QCOMPARE(stored(), (QStringList{"A", "B", "C"}));

    ModalAnswerer closing;
    closing.click(QStringLiteral("buttonYes"));
    window.on_deleteDongleTab(0);
    QVERIFY(closing.allAnswered());
    QCOMPARE(stored(), (QStringList{"B", "C"}));
}

void TestMainWindow::configOnAFullDiskKeepsTheOldFile()
{
    writeConfig({{"A", numbered(0)}});
    MainWindow window;
    QVERIFY(window.saveConfig());
    QFile stored(QStringLiteral("config.ini"));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray before = stored.readAll();
    stored.close();
    // The settings of one dongle already take more than the room left.
    QVERIFY(before.size() > 1024);

    auto limit = std::make_unique<FileSizeLimit>(1024);
    QVERIFY(limit->isSet());
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *modal) {
        modal->findChild<QLineEdit *>(QStringLiteral("LE_dongleName"))->setText(QStringLiteral("B"));
        modal->findChild<QPushButton *>(QStringLiteral("PB_Config"))->click();
    });
    QString told;
    answerer.answerWith([&](QWidget *box) {
        limit.reset();
        told = ModalAnswerer::describe(box).text;
        box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
    });
    window.on_addDongleTab();
    limit.reset();
    QVERIFY(answerer.allAnswered());
    QVERIFY2(told.contains(QStringLiteral("could not be saved")), qPrintable(told));
    // The earlier file is whole, and no scratch file is left beside it.
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), before);
    stored.close();
    QCOMPARE(QDir().entryList({QStringLiteral("config.ini*")}, QDir::Files), QStringList{"config.ini"});

    // With room again, the next write has both dongles.
    QVERIFY(window.saveConfig());
    QCOMPARE(storedGroups(), (QStringList{"A", "B"}));
}

void TestMainWindow::appliedSettingsAreOnDiskAtOnce()
{
    writeConfig({{"A", numbered(0)}});
    SimulatedDongle dongle;
    installLinkBehaviour(dongle);
    installAppBehaviour(dongle);
    MainWindow window;
    MainDongleWidget *tab = window.firstDongleWidget();
    tab->heartBeat()->setInterval(60000);
    tab->link()->setSendInterval(2);
    QCOMPARE(tab->link()->openPort(dongle.portPath()), 0);
    tab->onConnectionStatusChanged(true);
    QVERIFY(QTest::qWaitFor([tab] { return tab->deviceType() == 1; }, 20000));

    // Set All in the settings screen, with one value changed.
    QVariant applied;
    ModalAnswerer answerer;
    answerer.answerWith([&applied](QWidget *modal) {
        auto *dialog = qobject_cast<CSettingDialog *>(modal);
        QVERIFY(dialog);
        CSetting *mtu = dialog->setting(QStringLiteral("max_mtu"));
        QVERIFY(mtu);
        mtu->setValue(QStringLiteral("100"));
        applied = mtu->value();
        dialog->findChild<QPushButton *>(QStringLiteral("pb_setAll"))->click();
    });
    tab->findChild<QToolButton *>(QStringLiteral("toolButton_configureSettings"))->click();
    QVERIFY(answerer.allAnswered());
    QVERIFY(applied.isValid());
    QCOMPARE(tab->settingsMap()->value(QStringLiteral("max_mtu")), applied);

    // On disk while the window lives: a kill now loses nothing.
    QSettings stored(QStringLiteral("config.ini"), QSettings::IniFormat);
    QVariant onDisk = stored.value(QStringLiteral("A/max_mtu"));
    if (onDisk.userType() == QMetaType::QPoint)
        onDisk = QVariant(uint(onDisk.toPoint().x()));
    QCOMPARE(onDisk, applied);
    QCOMPARE(stored.value(QStringLiteral("A/TabWidgetNumber")).toInt(), 0);
    tab->link()->closePort();
}

void TestMainWindow::badGroupsAreSkipped_data()
{
    QTest::addColumn<QByteArray>("bad");       // groups between the two good ones
    QTest::addColumn<QStringList>("named");    // how the report names what was skipped
    const QByteArray number("TabWidgetNumber=1\n");
    QTest::newRow("path separator") << "[lab/1]\n" + number << QStringList{"\"lab/1\" (it holds \"/\""};
    QTest::newRow("backslash") << "[lab\\2]\n" + number << QStringList{"\"lab/2\" (it holds \"/\""};
    QTest::newRow("10,000 characters") << "[" + QByteArray(10000, 'x') + "]\n" + number
                                       << QStringList{"\"" + QString(40, QLatin1Char('x')) + QChar(0x2026)
                                                      + "\" (it is longer than 200 bytes)"};
    QTest::newRow("markup") << "[<img src=x>]\n" + number << QStringList{"\"<img src=x>\" (it holds \"<\""};
    QTest::newRow("markup with a slash") << "[<b>bold</b>]\n" + number << QStringList{"\"<b>bold</b>\""};
    QTest::newRow("control character") << "[bell\x07ring]\n" + number
                                       << QStringList{"\"bell\\x07ring\" (it holds a control character)"};
    QTest::newRow("values outside any dongle") << QByteArray("junk=1\n") << QStringList{"outside any dongle (\"junk\")"};
    QTest::newRow("a line that cannot be parsed") << QByteArray("[broken\n") << QStringList{"cannot be parsed"};
    QTest::newRow("a line without \"=\"") << QByteArray("no equals sign here\n") << QStringList{"cannot be parsed"};
    QTest::newRow("lines that cannot be parsed and a group of brackets")
        << QByteArray("[Atk1\n=\n[[[]]]\nkey==x\n")
        << QStringList{"cannot be parsed", "\"[[\" (it holds \"[\" or \"]\")"};
    QTest::newRow("all of them")
        << "[lab/1]\n" + number + "[" + QByteArray(10000, 'x') + "]\n" + number + "[<img src=x>]\n" + number
               + "[bell\x07ring]\n" + number
        << QStringList{"\"lab/1\"", "xxxx", "\"<img src=x>\"", "\"bell\\x07ring\""};
}

void TestMainWindow::badGroupsAreSkipped()
{
    QFETCH(QByteArray, bad);
    QFETCH(QStringList, named);
    const QByteArray first("[Good1]\nTabWidgetNumber=0\nscan_interval=@Point(5 0)\n");
    const QByteArray second("[Good2]\nTabWidgetNumber=2\n");
    // Values outside any group come before the first group.
    const bool outside = !bad.startsWith('[');
    writeRawConfig(outside ? bad + first + second : first + bad + second);
    {
        MainWindow window;
        QCOMPARE(tabTexts(window), (QStringList{"Good1", "Good2"}));
        QCOMPARE(window.firstDongleWidget()->settingsMap()->value(QStringLiteral("scan_interval")).toUInt(), 5u);
        // What is skipped is not written back: the file as it was is kept first.
        QCOMPARE(setAsideCopies().size(), 1);
        QFile aside(window.configSetAside());
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), outside ? bad + first + second : first + bad + second);

        // One message names everything that was left out, and the copy.
        const QString report = window.configReport();
        QVERIFY2(report.contains(QStringLiteral("kept as ") + window.configSetAside()), qPrintable(report));
        for (const QString &name : named)
            QVERIFY2(report.contains(name), qPrintable(report));
        QVERIFY2(!report.contains(QStringLiteral("Good")), qPrintable(report));
        QVERIFY(report.size() < 1000);
        window.show();
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        window.showConfigReport();
        QVERIFY(answerer.allAnswered());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().text, report);
    }
    QCOMPARE(storedGroups(), (QStringList{"Good1", "Good2"}));
}

void TestMainWindow::unusableConfigIsSetAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QByteArray binary;
    for (int i = 0; i < 512; ++i)
        binary.append(char((i * 131 + 7) % 256));
    QTest::newRow("binary") << binary << "not text";
    QTest::newRow("text with a NUL") << QByteArray("[A]\nTabWidgetNumber=0\nname=a\0b\n", 31) << "not text";
    QTest::newRow("only a group that is no dongle name") << QByteArray("[..]\nTabWidgetNumber=0\n")
                                                         << "\"..\" (it is \".\" or \"..\")";
    QTest::newRow("only values outside any dongle") << QByteArray("junk=1\n") << "outside any dongle";
    QTest::newRow("nothing that can be parsed") << QByteArray("[broken\n") << "cannot be parsed";
    QTest::newRow("20,000 bytes of 0x1C") << QByteArray(20000, '\x1c') << "cannot be parsed";
}

void TestMainWindow::unusableConfigIsSetAside()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    writeRawConfig(content);
    MainWindow window;
    QCOMPARE(tabTexts(window), QStringList{"Dongle1"});
    QVERIFY(!QFile::exists(QStringLiteral("config.ini")));
    // Kept under a name with the time in it.
    QCOMPARE(setAsideCopies().size(), 1);
    QCOMPARE(QDir().absoluteFilePath(window.configSetAside()), QDir().absoluteFilePath(setAsideCopies().first()));
    QVERIFY2(QRegularExpression(QStringLiteral("^config\\.ini\\.\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.bad$"))
                 .match(setAsideCopies().first())
                 .hasMatch(),
             qPrintable(setAsideCopies().first()));
    QFile aside(window.configSetAside());
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), content);

    const QString report = window.configReport();
    QVERIFY2(report.contains(reason) && report.contains(window.configSetAside()), qPrintable(report));
    window.show();
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    window.showConfigReport();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(answerer.seen().first().text, report);
}

void TestMainWindow::setAsideCopiesAreNeverReplaced()
{
    writeRawConfig("an older copy, named as it used to be");
    QVERIFY(QFile::rename(QStringLiteral("config.ini"), QStringLiteral("config.ini.bad")));
    // Three bad files in a row, within the same second or not.
    for (int i = 0; i < 3; ++i) {
        writeRawConfig(QByteArray("[..]\nTabWidgetNumber=0\nrun=") + QByteArray::number(i) + "\n");
        MainWindow window;
        QVERIFY(!window.configSetAside().isEmpty());
    }
    const QStringList copies = setAsideCopies();
    QCOMPARE(copies.size(), 3);
    QStringList runs;
    for (const QString &copy : copies) {
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        runs << QString::fromLatin1(content.mid(content.indexOf("run=")).trimmed());
    }
    runs.sort();
    QCOMPARE(runs, (QStringList{"run=0", "run=1", "run=2"}));
    QFile older(QStringLiteral("config.ini.bad"));
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("an older copy, named as it used to be"));
}

void TestMainWindow::configIsNeverWrittenThroughALink_data()
{
    // Links planted by someone who can write into the program's folder: at
    // config.ini, or at the names its copy would take.
    QTest::addColumn<bool>("atConfig");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("tabs");
    const QByteArray partly("[A]\nTabWidgetNumber=0\n[..]\nTabWidgetNumber=1\n");
    QTest::newRow("config.ini") << true << partly << QStringList{"A"};
    QTest::newRow("the name of the copy of a file partly used") << false << partly << QStringList{"A"};
    QTest::newRow("the name an unusable file is moved to")
        << false << QByteArray("[..]\nTabWidgetNumber=0\n") << QStringList{"Dongle1"};
}

void TestMainWindow::configIsNeverWrittenThroughALink()
{
    QFETCH(bool, atConfig);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, tabs);
    QTemporaryDir outside;
    const QString theirs = outside.filePath(QStringLiteral("theirs.ini"));
    QStringList planted;
    if (atConfig) {
        QFile file(theirs);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        planted << QStringLiteral("config.ini");
    } else {
        // The copy's name holds the time: one link for each second the window may take to come.
        writeRawConfig(content);
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 5; ++second)
            planted << QStringLiteral("config.ini.%1.bad")
                           .arg(now.addSecs(second).toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    }
    for (const QString &name : qAsConst(planted))
        QVERIFY(QFile::link(theirs, name));
    {
        MainWindow window;
        window.show();
        QCOMPARE(tabTexts(window), tabs);
        if (atConfig) {
            ModalAnswerer answerer;
            answerer.click(QStringLiteral("m_pbOk"));
            QVERIFY(!window.saveConfig());
            QVERIFY(answerer.allAnswered());
            QVERIFY2(answerer.seen().first().text.contains(QStringLiteral("(it is a symbolic link")),
                     qPrintable(answerer.seen().first().text));
        } else {
            // Kept under the next free name, beside the links.
            QVERIFY2(window.configSetAside().endsWith(QStringLiteral("-2.bad")), qPrintable(window.configSetAside()));
            QFile aside(window.configSetAside());
            QVERIFY(aside.open(QIODevice::ReadOnly));
            QCOMPARE(aside.readAll(), content);
        }
    }
    for (const QString &name : qAsConst(planted))
        QCOMPARE(QFileInfo(name).symLinkTarget(), theirs);
    QFile file(theirs);
    if (atConfig) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    } else {
        QVERIFY(!file.exists());
    }
}

void TestMainWindow::portNoticesReachEveryTab()
{
    writeConfig({{"A", numbered(0)}, {"B", numbered(1)}});
    MainWindow window;
    QStringList heard;
    for (const auto &entry : window.dongles()) {
        const QString name = entry.second;
        connect(entry.first, &MainDongleWidget::sig_SerialPortArrived, this,
                [&heard, name](const QString &port) { heard << name + QLatin1String(" arrived ") + port; });
        connect(entry.first, &MainDongleWidget::sig_SerialPortRemoved, this,
                [&heard, name](const QString &port) { heard << name + QLatin1String(" removed ") + port; });
    }
    tabWidget(window)->setCurrentIndex(0);
    window.onSerialPortArrived(QStringLiteral("ttyACM3"));
    window.onSerialPortRemoved(QStringLiteral("ttyACM3"));
    QCOMPARE(heard, (QStringList{"A arrived ttyACM3", "B arrived ttyACM3", "A removed ttyACM3",
                                 "B removed ttyACM3"}));
    // A removal brings each dongle's tab to the front in turn; the last one stays.
    QCOMPARE(tabWidget(window)->currentIndex(), 1);
}

void TestMainWindow::portsAreWatchedOnceTheWindowShows()
{
    // A port there before the start is not news; one that comes after the
    // window is up is, and so is its leaving.
    SimulatedDongle present;
    auto *later = new SimulatedDongle;
    QVERIFY(present.isValid() && later->isValid());
    QTemporaryDir links;
    const QString laterPath = links.filePath(QStringLiteral("ttyVantoraLater"));
    qputenv("VANTORA_EXTRA_PORTS", present.portPath().toLocal8Bit());
    writeConfig({{"A", numbered(0)}});
    MainWindow window;
    QStringList heard;
    MainDongleWidget *dongle = window.dongles().first().first;
    connect(dongle, &MainDongleWidget::sig_SerialPortArrived, this,
            [&heard](const QString &port) { heard << QLatin1String("arrived ") + port; });
    connect(dongle, &MainDongleWidget::sig_SerialPortRemoved, this,
            [&heard](const QString &port) { heard << QLatin1String("removed ") + port; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);

    QVERIFY(QFile::link(later->portPath(), laterPath));
    qputenv("VANTORA_EXTRA_PORTS", (present.portPath() + QLatin1Char(':') + laterPath).toLocal8Bit());
    QTRY_COMPARE_WITH_TIMEOUT(heard, QStringList{QLatin1String("arrived ") + laterPath}, 5000);
    QVERIFY(QFile::remove(laterPath));
    delete later;
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 2, 5000);
    QCOMPARE(heard.last(), QLatin1String("removed ") + laterPath);
    qunsetenv("VANTORA_EXTRA_PORTS");
}

void TestMainWindow::titleBarDoubleClickMaximises()
{
    writeConfig({{"A", numbered(0)}});
    MainWindow window;
    window.setGeometry(10, 10, 400, 300);
    const QRect normal = window.geometry();
    QWidget *titleBar = window.findChild<QWidget *>(QStringLiteral("titleBar"));
    QVERIFY(titleBar);
    QTest::mouseDClick(titleBar, Qt::LeftButton);
    QCOMPARE(window.geometry(), QGuiApplication::primaryScreen()->availableGeometry());
    QTest::mouseDClick(titleBar, Qt::LeftButton);
    QCOMPARE(window.geometry(), normal);
}

void TestMainWindow::namingDialog_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("warned");
    QTest::newRow("new name") << "Dongle2" << true << false;
    QTest::newRow("differs in case only") << "dongle1" << true << false;
    QTest::newRow("taken") << "Dongle1" << false << true;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("dot") << "." << false << true;
    QTest::newRow("dot dot") << ".." << false << true;
    QTest::newRow("slash") << "lab/1" << false << true;
    QTest::newRow("backslash") << "lab\\1" << false << true;
    QTest::newRow("control character") << "lab\t1" << false << true;
    QTest::newRow("markup") << "<b>lab" << false << true;
    // A group's header in config.ini.
    QTest::newRow("brackets") << "[lab]" << false << true;
    QTest::newRow("dots inside") << "v1.2" << true << false;
    QTest::newRow("blank kept as typed") << " Dongle1" << true << false;
    // The name ends up in a log folder name after a time stamp.
    QTest::newRow("longest") << QString(200, QLatin1Char('a')) << true << false;
    QTest::newRow("too long") << QString(201, QLatin1Char('a')) << false << true;
    QTest::newRow("too long in UTF-8") << QString(101, QChar(0x00e9)) << false << true;
}

void TestMainWindow::namingDialog()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QFETCH(bool, warned);

    CConfigDongleNameDialog::TabList tabs{{nullptr, QStringLiteral("Dongle1")}};
    CConfigDongleNameDialog dialog(&tabs);
    auto *warning = dialog.findChild<QLabel *>(QStringLiteral("tooltip"));
    QVERIFY(warning);
    QVERIFY(warning->isHidden());
    QSignalSpy shown(&dialog, &CConfigDongleNameDialog::showDongleTab);
    dialog.setName(name);
    QCOMPARE(dialog.getName(), name);
    dialog.show();
    dialog.on_PB_Config_clicked();
    QCOMPARE(shown.count(), 1);
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.isVisible(), !accepted);
    QCOMPARE(!warning->isHidden(), warned);
    if (name == QLatin1String("Dongle1"))
        QCOMPARE(warning->text(), QStringLiteral("already exist this dongle name"));
}

void TestMainWindow::confirmDialogSignals_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("confirmed");
    QTest::addColumn<int>("cancelled");
    QTest::newRow("ok") << "buttonYes" << 1 << 0;
    QTest::newRow("cancel") << "buttonNo" << 0 << 1;
    QTest::newRow("title bar close") << ModalAnswerer::CloseButton << 0 << 0;
}

void TestMainWindow::confirmDialogSignals()
{
    QFETCH(QString, button);
    QFETCH(int, confirmed);
    QFETCH(int, cancelled);
    confirmdeletedialog dialog;
    QSignalSpy yes(&dialog, &confirmdeletedialog::confirmDelete);
    QSignalSpy no(&dialog, &confirmdeletedialog::cancelDelete);
    ModalAnswerer answerer;
    answerer.click(button);
    dialog.exec();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(answerer.seen().first().title, QStringLiteral("confirm delete"));
    QCOMPARE(yes.count(), confirmed);
    QCOMPARE(no.count(), cancelled);
    QVERIFY(!dialog.isVisible());
}

void TestMainWindow::tabStyle_data()
{
    QTest::addColumn<bool>("withStyleSheet");
    QTest::newRow("plain") << false;
    // the sheet the program loads must leave the dongle tabs to their style
    QTest::newRow("program's style sheet") << true;
}

void TestMainWindow::tabStyle()
{
    QFETCH(bool, withStyleSheet);
    if (withStyleSheet)
        qApp->setStyleSheet(flatStyleSheet());
    const auto plainAgain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    CDongleTabWidget tabs;
    tabs.setObjectName(QStringLiteral("m_tabDongleWidget"));
    tabs.addTab(new QWidget, QStringLiteral("One"));
    tabs.addTab(new QWidget, QStringLiteral("Two"));
    tabs.setCurrentIndex(0);
    tabs.resize(400, 200);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    QCOMPARE(tabs.tabBar()->tabRect(0).size(), QSize(100, 28));
    QCOMPARE(tabs.tabBar()->tabRect(1).size(), QSize(100, 28));
    QCOMPARE(tabs.addButton()->toolTip(), QStringLiteral("Add a New BLE Dongle"));
    QVERIFY(!tabs.tabBar()->isMovable());

    const QImage image = tabs.tabBar()->grab().toImage();
    // Right half of each tab, away from the slanted edge and the text.
    const QRect selected = tabs.tabBar()->tabRect(0);
    const QRect other = tabs.tabBar()->tabRect(1);
    QCOMPARE(image.pixelColor(selected.right() - 4, selected.top() + 4), QColor(QStringLiteral("#189ede")));
    QCOMPARE(image.pixelColor(other.right() - 4, other.top() + 4), QColor(Qt::white));

    // The add button follows the last tab after painting.
    tabs.repaint();
    QCOMPARE(tabs.addButton()->x(), tabs.tabBar()->width() + 10);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
