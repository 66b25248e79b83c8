#include "adddevicedialog.h"
#include "addperiodicdevicedialog.h"
#include "advertisingpages.h"
#include "caboutdialog.h"
#include "ccigciswidget.h"
#include "cconfigdonglenamedialog.h"
#include "cconnectionwidget.h"
#include "cflatmessage.h"
#include "cgattwidget.h"
#include "cheartbeat.h"
#include "cinputdialog.h"
#include "cmsg.h"
#include "confirmdeletedialog.h"
#include "connectionpages.h"
#include "cselectdongledialog.h"
#include "csettingdialog.h"
#include "csmdilog.h"
#include "cstandardmsgdlg.h"
#include "cupdateconnparams.h"
#include "isochronouspages.h"
#include "logmanager.h"
#include "logswtich.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "masterbigwidget.h"
#include "modalanswerer.h"
#include "pageinterfaces.h"
#include "pageregistry.h"
#include "searchbox.h"
#include "simbehaviour_adv.h"
#include "simbehaviour_app.h"
#include "simbehaviour_big.h"
#include "simbehaviour_gatt.h"
#include "simbehaviour_iso.h"
#include "simbehaviour_l2cap.h"
#include "simbehaviour_link.h"
#include "simbehaviour_lists.h"
#include "simulateddongle.h"
#include "slavebigwidget.h"
#include "testmodepages.h"
#include "textcutfinder.h"
#include "treemodel.h"
#include "widgetresources.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

// What a user sees of every flat dialog with the program's style sheet: the
// window's own title is the title bar's text, every button can be seen and
// clicked, and no label is cut.
namespace {

using Maker = std::function<CFlatDialog *()>;

// Scrolled content may lie outside the view on purpose.
bool insideScrollArea(const QWidget *widget, const QWidget *dialog)
{
    for (const QWidget *up = widget->parentWidget(); up && up != dialog; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea *>(up))
            return true;
    }
    return false;
}

QString describe(const QWidget *widget)
{
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

// The program as a user first meets it: the main window at its first size
// with the style sheet, its first dongle on the simulated dongle, past its
// start-up queries.
struct Scene
{
    Scene()
    {
        installLinkBehaviour(dongle);
        installAppBehaviour(dongle);
        installListsBehaviour(dongle);
        installAdvertisingBehaviour(dongle);
        installL2capBehaviour(dongle);
        installBigBehaviour(dongle);
        GattBehaviour::install(dongle);
        // The highest handle a CIS can get.
        IsoBehaviour::install(dongle)->setFirstHandle(0x0EFF);
        window = std::make_unique<MainWindow>();
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
        tab = window->firstDongleWidget();
        if (!tab->isInitialized())
            tab->initWidgets();
        tab->heartBeat()->setInterval(60000);
        tab->link()->setSendInterval(2);
        started = tab->link()->openPort(dongle.portPath()) == 0;
        tab->onConnectionStatusChanged(true);
        started = started && QTest::qWaitFor([this] { return tab->deviceType() == 1; }, 20000);
    }

    template <typename Page>
    Page *page() const
    {
        for (int i = 0; i < tab->pageTabWidget()->count(); ++i) {
            if (auto *found = qobject_cast<Page *>(tab->pageTabWidget()->widget(i)))
                return found;
        }
        return nullptr;
    }

    void click(QWidget *scope, const char *button)
    {
        auto *found = scope ? scope->findChild<QAbstractButton *>(QLatin1String(button)) : nullptr;
        if (found)
            found->click();
        else
            failures << QStringLiteral("no button %1").arg(QLatin1String(button));
    }

    // Clicks `button` in `scope`, which opens a modal dialog, and answers that
    // dialog with `answer` (a button of it).
    void clickAndAnswer(QWidget *scope, const char *button, const QString &answer)
    {
        ModalAnswerer answerer;
        answerer.click(answer);
        click(scope, button);
        if (!answerer.waitUntilAnswered())
            failures << QStringLiteral("no dialog after %1").arg(QLatin1String(button));
        failures << answerer.failures();
    }

    // Runs `open`, which shows a modal dialog, looks at that dialog while it
    // is up and closes it; returns null, since the dialog is gone.
    QWidget *checkModal(const std::function<void()> &open)
    {
        ModalAnswerer answerer;
        answerer.answerWith([this](QWidget *modal) {
            if (!QTest::qWaitForWindowExposed(modal))
                failures << QStringLiteral("the dialog was never shown");
            modalCuts = TextCutFinder::cutsIn(modal);
            modalChecked = true;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        open();
        answerer.waitUntilAnswered();
        return nullptr;
    }

    // The dongle reports a connection it made as central; the scanning page
    // opens its page.
    ConnectionPage *openConnection()
    {
        dongle.sendUplink(ListsBehaviour::connectionEvent(0, 0, QByteArray::fromHex("c1c2c3c4c5c6"), 0, 0));
        if (!QTest::qWaitFor([this] { return page<ConnectionPage>() != nullptr; }, 5000))
            failures << QStringLiteral("no connection page");
        return page<ConnectionPage>();
    }

    // The central CIS page with one CIG of one CIS, set in the controller.
    CCigCisWidget *openCentralCis()
    {
        tab->connectionWidget()->on_buttonCIGCIS_clicked();
        auto *cis = page<CCigCisWidget>();
        clickAndAnswer(cis, "toolButton_AddCIG", QStringLiteral("pushButton_ok"));
        clickAndAnswer(cis, "toolButton_AddCIS", QStringLiteral("pushButton_ok"));
        click(cis, "toolButton_setCIG");
        if (!cis || !QTest::qWaitFor([cis] { return !cis->cisModel()->records().value(0).cisHandle.isEmpty(); }, 5000))
            failures << QStringLiteral("the CIG was not set");
        return cis;
    }

    // The BIG receiver page with one BIG of one BIS.
    QWidget *openBigReceiver()
    {
        tab->on_masterBIGSucceed(3);
        auto *big = page<MasterBIGWidget>();
        clickAndAnswer(big, "toolButton_addBIG", QStringLiteral("pushButton_ok"));
        if (big && big->bigModel()->rowCount() > 0) {
            big->findChild<QTableView *>(QStringLiteral("tableView_BIG"))->setCurrentIndex(big->bigModel()->index(0, 0));
            big->on_BIGTableView_changed(big->bigModel()->index(0, 0));
        }
        clickAndAnswer(big, "toolButton_addBIS", QStringLiteral("pushButton_ok"));
        return big;
    }

    QWidget *openBigBroadcaster()
    {
        tab->on_slaveBIGSucceed(1);
        auto *big = page<SlaveBIGWidget>();
        clickAndAnswer(big, "toolButton_addBIG", QStringLiteral("pushButton_ok"));
        return big;
    }

    SimulatedDongle dongle;
    std::unique_ptr<MainWindow> window;
    MainDongleWidget *tab = nullptr;
    bool exposed = false;
    bool started = false;
    QStringList failures;
    QStringList modalCuts;
    bool modalChecked = false;
};

// Opens one place; returns the window to look at, or null when the place was
// a modal dialog, looked at while it was up (Scene::checkModal).
using Opener = std::function<QWidget *(Scene &)>;

QWidget *mainWindowOf(Scene &scene)
{
    return scene.window.get();
}

QWidget *advertisingSet(Scene &scene, const QString &type)
{
    QWidget *advertising = scene.tab->advertisingPage();
    ModalAnswerer answerer;
    answerer.answerWith([&scene, type](QWidget *modal) {
        auto *types = modal->findChild<QComboBox *>(QStringLiteral("comboBox_AdvType"));
        if (types)
            types->setCurrentText(type);
        scene.click(modal, "PB_AddAdv");
    });
    scene.click(advertising, "btnAddAdvList");
    answerer.waitUntilAnswered();
    scene.tab->pageTabWidget()->setCurrentIndex(1);
    return scene.window.get();
}

} // namespace

Q_DECLARE_METATYPE(Maker)
Q_DECLARE_METATYPE(Opener)

class TestDialogLayout : public QObject
{
    Q_OBJECT

private:
    LogManager *m_log = nullptr;
    CMsg *m_link = nullptr;
    QMap<QString, QVariant> m_settings;
    QVector<QPair<MainDongleWidget *, QString>> m_tabs;
    QTemporaryDir m_folder;
    QString m_before;

private slots:
    void initTestCase()
    {
        initWidgetResources();
        qApp->setStyleSheet(flatStyleSheet());
        QVERIFY(!qApp->styleSheet().isEmpty());
        m_log = new LogManager(QStringLiteral("dialog-layout"));
        m_link = new CMsg(m_log);
        registerConnectionPages();
        registerAdvertisingPages();
        registerIsochronousPages();
        registerTestModePages();
        // The main window reads and writes config.ini in the working folder.
        QVERIFY(m_folder.isValid());
        m_before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_folder.path()));
    }

    void cleanupTestCase()
    {
        QDir::setCurrent(m_before);
        PageRegistry::unregisterAll();
        delete m_link;
        delete m_log;
    }

    void everyDialogShowsItselfWhole_data()
    {
        QTest::addColumn<Maker>("make");
        QTest::addColumn<QString>("title");
        QTest::newRow("flat dialog") << Maker([] { return new CFlatDialog(QStringLiteral("Title")); }) << "Title";
        QTest::newRow("message, information") << Maker([] {
            auto *box = new CFlatMessage;
            box->setTitle(QStringLiteral("error"));
            box->findChild<QPushButton *>(QStringLiteral("m_pbYes"))->hide();
            box->findChild<QPushButton *>(QStringLiteral("m_pbNo"))->hide();
            return box;
        }) << "error";
        QTest::newRow("message, question") << Maker([] {
            auto *box = new CFlatMessage;
            box->setTitle(QStringLiteral("confirm"));
            box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->hide();
            return box;
        }) << "confirm";
        QTest::newRow("input") << Maker([] { return new CInputDialog(16, QStringLiteral("12")); }) << "";
        QTest::newRow("selection") << Maker([this] { return new CSelectDongleDialog(m_link, m_log, nullptr); })
                                   << "Select BLE Dongle Target";
        QTest::newRow("settings") << Maker([this] {
            auto *dialog = new CSettingDialog(m_log, &m_settings, nullptr);
            dialog->loadSettingFile(MainDongleWidget::settingsDescriptionPath());
            return dialog;
        }) << "Settings";
        QTest::newRow("command form") << Maker([this] {
            auto *dialog = new CStandardMsgDlg(m_log, QStringLiteral("Register"), QStringLiteral("Register PSM"));
            dialog->setAttribute(Qt::WA_DeleteOnClose, false);
            dialog->buildForm();
            return dialog;
        }) << "Register";
        QTest::newRow("log switch") << Maker([this] { return new LogSwtich(m_link, m_log); }) << "log switch";
        QTest::newRow("add device") << Maker([this] { return new AddDeviceDialog(m_log); }) << "Add Device";
        QTest::newRow("add periodic device") << Maker([this] { return new AddPeriodicDeviceDialog(m_log); })
                                             << "Add Device";
        QTest::newRow("about") << Maker([] { return new CAboutDialog(nullptr); }) << "About";
        QTest::newRow("dongle name") << Maker([this] { return new CConfigDongleNameDialog(&m_tabs); })
                                     << "Config Dongle Name";
        QTest::newRow("search") << Maker([] { return new SearchBox; }) << "search";
        QTest::newRow("connection parameter update request") << Maker([this] {
            QMap<QString, QVariant> values;
            values.insert(QStringLiteral("interval_min"), QStringLiteral("0006"));
            values.insert(QStringLiteral("interval_max"), QStringLiteral("0C80"));
            values.insert(QStringLiteral("slave_latency"), QStringLiteral("01F3"));
            values.insert(QStringLiteral("sup_timeout"), QStringLiteral("0C80"));
            auto *dialog = new CUpdateConnParams(m_link, m_log, QStringLiteral("Dongle1"), QStringLiteral("0"),
                                                 QStringLiteral("c6:c5:c4:c3:c2:c1"), values);
            dialog->setAttribute(Qt::WA_DeleteOnClose, false);
            return dialog;
        }) << "Dongle1: Update Connection Parameters";
        QTest::newRow("pairing") << Maker([] {
            auto *dialog = new csmdilog(QStringLiteral("Dongle1 Pairing"));
            dialog->setAttribute(Qt::WA_DeleteOnClose, false);
            dialog->setLabelText(QStringLiteral("Please enter the passkey shown on the peer."));
            dialog->setNumberText(QStringLiteral("123456"));
            return dialog;
        }) << "Dongle1 Pairing";
        QTest::newRow("delete confirmation") << Maker([] { return new confirmdeletedialog(nullptr); })
                                             << "confirm delete";
    }

    void everyDialogShowsItselfWhole()
    {
        QFETCH(Maker, make);
        QFETCH(QString, title);
        QScopedPointer<CFlatDialog> dialog(make());
        QCOMPARE(dialog->m_lbTitle->text(), title);
        QCOMPARE(dialog->windowTitle(), title);

        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.data()));
        QCOMPARE(dialog->windowTitle(), title);

        const QRect inside = dialog->rect();
        const auto buttons = dialog->findChildren<QAbstractButton *>();
        int seen = 0;
        for (QAbstractButton *button : buttons) {
            if (!button->isVisible() || insideScrollArea(button, dialog.data()))
                continue;
            ++seen;
            const QRect place(button->mapTo(dialog.data(), QPoint(0, 0)), button->size());
            QVERIFY2(inside.contains(place), qPrintable(describe(button)));
            // Nothing clips or covers any part of it.
            QVERIFY2((QRegion(button->rect()) - button->visibleRegion()).isEmpty(), qPrintable(describe(button)));
        }
        QVERIFY(seen > 0);  // the close button of the title bar at least

        const auto labels = dialog->findChildren<QLabel *>();
        for (QLabel *label : labels) {
            if (!label->isVisible() || label->text().isEmpty() || insideScrollArea(label, dialog.data()))
                continue;
            QVERIFY2((QRegion(label->rect()) - label->visibleRegion()).isEmpty(), qPrintable(describe(label)));
        }
        const QStringList cuts = TextCutFinder::cutsIn(dialog.data());
        for (const QString &cut : cuts)
            qWarning().noquote() << "cut:" << cut;
        QVERIFY2(cuts.isEmpty(), qPrintable(QStringLiteral("%1 cut texts, the first: %2").arg(cuts.size()).arg(cuts.value(0))));
    }

    // The main window at its first size: its own title is its title bar's
    // text, and no label of the first dongle's page is cut.
    void mainWindowShowsItselfWhole()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder.path());
        {
            MainWindow window;
            auto *titleLabel = window.findChild<QLabel *>(QStringLiteral("m_lbTitle_2"));
            QVERIFY(titleLabel);
            QCOMPARE(window.windowTitle(), titleLabel->text());
            QCOMPARE(window.windowTitle(), QStringLiteral("Vantora"));

            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.size(), QSize(1280, 720));
            const QStringList cuts = TextCutFinder::cutsIn(&window);
            for (const QString &cut : cuts)
            qWarning().noquote() << "cut:" << cut;
        QVERIFY2(cuts.isEmpty(), qPrintable(QStringLiteral("%1 cut texts, the first: %2").arg(cuts.size()).arg(cuts.value(0))));
        }
        QDir::setCurrent(before);
    }

    // Every page and dialog the program shows, opened as a user opens it, at
    // the main window's first size: no text of any of them is cut, and
    // opening none of them changes the window's size.
    void everyPlaceShowsItsTextsWhole_data()
    {
        QTest::addColumn<Opener>("open");
        QTest::newRow("main window: scanning page, advertising page, logs") << Opener(mainWindowOf);
        QTest::newRow("advertising page, legacy set") << Opener([](Scene &scene) {
            return advertisingSet(scene, QStringLiteral("Legacy Advertising"));
        });
        QTest::newRow("advertising page, extended set") << Opener([](Scene &scene) {
            return advertisingSet(scene, QStringLiteral("Extended Advertising"));
        });
        QTest::newRow("advertising page, periodic set") << Opener([](Scene &scene) {
            return advertisingSet(scene, QStringLiteral("Periodic Advertising"));
        });
        QTest::newRow("new advertising set dialog") << Opener([](Scene &scene) {
            return scene.checkModal([&scene] { scene.click(scene.tab->advertisingPage(), "btnAddAdvList"); });
        });
        QTest::newRow("connection page, attributes discovered") << Opener([](Scene &scene) -> QWidget * {
            auto *gatt = scene.openConnection()->findChild<CGattWidget *>();
            scene.click(gatt, "toolButton_dicoverAllAttr");
            if (!gatt || !QTest::qWaitFor([gatt] { return gatt->treeModel()->rowCount() > 2; }, 5000))
                scene.failures << QStringLiteral("no attributes discovered");
            scene.click(gatt, "toolButton_expandAll");
            return scene.window.get();
        });
        QTest::newRow("channel request dialog of the connection page") << Opener([](Scene &scene) {
            QWidget *connection = scene.openConnection();
            return scene.checkModal([&scene, connection] { scene.click(connection, "toolButtonAdd"); });
        });
        QTest::newRow("central CIS page") << Opener([](Scene &scene) -> QWidget * {
            scene.openCentralCis();
            return scene.window.get();
        });
        QTest::newRow("CIG parameter dialog") << Opener([](Scene &scene) {
            scene.tab->connectionWidget()->on_buttonCIGCIS_clicked();
            return scene.checkModal([&scene] { scene.click(scene.page<CCigCisWidget>(), "toolButton_AddCIG"); });
        });
        QTest::newRow("CIS parameter dialog") << Opener([](Scene &scene) {
            scene.tab->connectionWidget()->on_buttonCIGCIS_clicked();
            // Streams are added to a group.
            scene.clickAndAnswer(scene.page<CCigCisWidget>(), "toolButton_AddCIG", QStringLiteral("pushButton_ok"));
            return scene.checkModal([&scene] { scene.click(scene.page<CCigCisWidget>(), "toolButton_AddCIS"); });
        });
        QTest::newRow("create CIS dialog") << Opener([](Scene &scene) {
            scene.openConnection();
            CCigCisWidget *cis = scene.openCentralCis();
            if (cis)
                cis->cisModel()->setData(cis->cisModel()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
            return scene.checkModal([&scene, cis] { scene.click(cis, "toolButton_createCIS"); });
        });
        QTest::newRow("BIG receiver page") << Opener([](Scene &scene) -> QWidget * {
            scene.openBigReceiver();
            return scene.window.get();
        });
        QTest::newRow("BIG parameter dialog of the receiver") << Opener([](Scene &scene) {
            scene.tab->on_masterBIGSucceed(3);
            return scene.checkModal([&scene] { scene.click(scene.page<MasterBIGWidget>(), "toolButton_addBIG"); });
        });
        QTest::newRow("BIS parameter dialog") << Opener([](Scene &scene) {
            QWidget *big = scene.openBigReceiver();
            return scene.checkModal([&scene, big] { scene.click(big, "toolButton_addBIS"); });
        });
        QTest::newRow("BIG broadcaster page") << Opener([](Scene &scene) -> QWidget * {
            scene.openBigBroadcaster();
            return scene.window.get();
        });
        QTest::newRow("BIG parameter dialog of the broadcaster") << Opener([](Scene &scene) {
            scene.tab->on_slaveBIGSucceed(1);
            return scene.checkModal([&scene] { scene.click(scene.page<SlaveBIGWidget>(), "toolButton_addBIG"); });
        });
        QTest::newRow("CIS request dialog") << Opener([](Scene &scene) {
            return scene.checkModal([&scene] { IsoBehaviour::of(scene.dongle)->requestCis(0, 0x20, 2, 3); });
        });
        QTest::newRow("peripheral CIS page") << Opener([](Scene &scene) -> QWidget * {
            ModalAnswerer answerer;
            answerer.click(QStringLiteral("pushButton_accept"));
            IsoBehaviour::of(scene.dongle)->requestCis(0, 0x20, 2, 3);
            answerer.waitUntilAnswered();
            if (!QTest::qWaitFor([&scene] { return scene.page<CisPeripheralPage>(); }, 5000))
                scene.failures << QStringLiteral("no peripheral CIS page");
            return scene.window.get();
        });
        QTest::newRow("LCP test page") << Opener([](Scene &scene) -> QWidget * {
            scene.tab->on_toolButton_lcp_clicked();
            return scene.window.get();
        });
        QTest::newRow("IDT test page") << Opener([](Scene &scene) -> QWidget * {
            scene.tab->on_toolButton_idt_clicked();
            return scene.window.get();
        });
        QTest::newRow("firmware download progress") << Opener([](Scene &scene) -> QWidget * {
            emit scene.tab->firmwareLoader()->sig_progress(1, 51200, 102400);
            return scene.window.get();
        });
        const QVector<QPair<const char *, const char *>> toolbar{
            {"selection", "toolButton_selectDongle"},  {"settings", "toolButton_configureSettings"},
            {"PSM registration", "toolButton_registerPSM"}, {"about", "toolButton_about"},
            {"local device information", "toolButton_getInfo"}, {"calibration", "toolButton_RfCalibraion"},
            {"address resolution", "toolButton_address"},
        };
        for (const auto &button : toolbar) {
            const QByteArray name = button.second;
            QTest::newRow(button.first) << Opener([name](Scene &scene) {
                return scene.checkModal([&scene, name] { scene.click(scene.tab, name.constData()); });
            });
        }
        QTest::newRow("dongle name dialog") << Opener([](Scene &scene) {
            return scene.checkModal([&scene] { scene.window->on_addDongleTab(); });
        });
    }

    void everyPlaceShowsItsTextsWhole()
    {
        QFETCH(Opener, open);
        Scene scene;
        QVERIFY(scene.exposed);
        QVERIFY(scene.started);
        const QSize firstSize = scene.window->size();
        QCOMPARE(firstSize, QSize(1280, 720));
        QWidget *window = open(scene);
        QVERIFY2(scene.failures.isEmpty(), qPrintable(scene.failures.join(QStringLiteral("\n"))));
        QStringList cuts;
        if (window) {
            QVERIFY(window->isVisible());
            cuts = TextCutFinder::cutsIn(window);
        } else {
            QVERIFY2(scene.modalChecked, "no dialog opened");
            cuts = scene.modalCuts;
        }
        // A page taller or wider than the window has room for pushes the window out.
        if (scene.window->size() != firstSize)
            cuts << QStringLiteral("the main window grew from %1 x %2 to %3 x %4")
                        .arg(firstSize.width()).arg(firstSize.height())
                        .arg(scene.window->width()).arg(scene.window->height());
        for (const QString &cut : qAsConst(cuts))
            qWarning().noquote() << "cut:" << cut;
        QVERIFY2(cuts.isEmpty(), qPrintable(QStringLiteral("%1 cut texts, the first: %2").arg(cuts.size()).arg(cuts.value(0))));
    }
};

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
