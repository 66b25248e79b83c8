#include "cconfigdonglenamedialog.h"
#include "cdongletabwidget.h"
#include "confirmdeletedialog.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "mytabstyle.h"
#include "widgetresources.h"

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
    void lastTabNotClosable();
    void cancelledCloseKeepsTab();
    void addTabProposesLowestFreeName();
    void failedWriteIsReported();
    void configWrittenOnChange();
    void unusableConfigIsSetAside_data();
    void unusableConfigIsSetAside();
    void portNoticesReachEveryTab();
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
    QVERIFY(window.nameDialog());
    QCOMPARE(window.nameDialog()->getName(), QStringLiteral("Dongle1"));
    QCOMPARE(window.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(window.size(), QSize(1280, 720));
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

void TestMainWindow::lastTabNotClosable()
{
    writeConfig({{"Only", numbered(0)}});
    MainWindow window;
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("buttonYes"));
    window.on_deleteDongleTab(0);
    QVERIFY(answerer.allAnswered());
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

    ModalAnswerer answerer;
    QString proposed;
    answerer.answerWith([&proposed](QWidget *modal) {
        proposed = modal->findChild<QLineEdit *>(QStringLiteral("LE_dongleName"))->text();
        modal->findChild<QPushButton *>(QStringLiteral("PB_Config"))->click();
    });
    window.on_addDongleTab();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(proposed, QStringLiteral("Dongle2"));
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

void TestMainWindow::failedWriteIsReported()
{
    writeConfig({{"A", numbered(0)}});
    MainWindow window;
    // The file's place is taken by a folder, so the new file cannot replace it.
    QVERIFY(QFile::remove(QStringLiteral("config.ini")));
    QVERIFY(QDir().mkdir(QStringLiteral("config.ini")));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("MainWindow::saveConfig, writing .*config.ini failed")));
    QVERIFY(!window.saveConfig());
    QVERIFY(QFileInfo(QStringLiteral("config.ini")).isDir());
    QVERIFY(QDir().rmdir(QStringLiteral("config.ini")));
    QVERIFY(window.saveConfig());
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

void TestMainWindow::unusableConfigIsSetAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QByteArray binary;
    for (int i = 0; i < 512; ++i)
        binary.append(char((i * 131 + 7) % 256));
    QTest::newRow("binary") << binary << "cannot be parsed";
    QTest::newRow("text with a NUL") << QByteArray("[A]\nTabWidgetNumber=0\nname=a\0b\n", 31) << "not text";
    QTest::newRow("group that is no dongle name") << QByteArray("[..]\nTabWidgetNumber=0\n") << "no dongle name";
    QTest::newRow("values outside any dongle") << QByteArray("junk=1\n[A]\nTabWidgetNumber=0\n")
                                               << "outside any dongle";
}

void TestMainWindow::unusableConfigIsSetAside()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    {
        QFile file(QStringLiteral("config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("config.ini was not used: .*")
                                                              + QRegularExpression::escape(reason)
                                                              + QStringLiteral(".*config.ini.bad")));
    MainWindow window;
    QCOMPARE(tabTexts(window), QStringList{"Dongle1"});
    QFile aside(QStringLiteral("config.ini.bad"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), content);
    QVERIFY(!QFile::exists(QStringLiteral("config.ini")));
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
