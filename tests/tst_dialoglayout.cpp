#include "adddevicedialog.h"
#include "addperiodicdevicedialog.h"
#include "caboutdialog.h"
#include "cconfigdonglenamedialog.h"
#include "cflatmessage.h"
#include "cinputdialog.h"
#include "cmsg.h"
#include "confirmdeletedialog.h"
#include "cselectdongledialog.h"
#include "csettingdialog.h"
#include "cstandardmsgdlg.h"
#include "logmanager.h"
#include "logswtich.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "searchbox.h"
#include "widgetresources.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QPushButton>
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

} // namespace

Q_DECLARE_METATYPE(Maker)

class TestDialogLayout : public QObject
{
    Q_OBJECT

private:
    LogManager *m_log = nullptr;
    CMsg *m_link = nullptr;
    QMap<QString, QVariant> m_settings;
    QVector<QPair<MainDongleWidget *, QString>> m_tabs;

private slots:
    void initTestCase()
    {
        initWidgetResources();
        qApp->setStyleSheet(flatStyleSheet());
        QVERIFY(!qApp->styleSheet().isEmpty());
        m_log = new LogManager(QStringLiteral("dialog-layout"));
        m_link = new CMsg(m_log);
    }

    void cleanupTestCase()
    {
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
            if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()
                || insideScrollArea(label, dialog.data()))
                continue;
            QVERIFY2(label->width() >= label->sizeHint().width(),
                     qPrintable(describe(label) + QStringLiteral(": ") + label->text()));
            QVERIFY2((QRegion(label->rect()) - label->visibleRegion()).isEmpty(), qPrintable(describe(label)));
        }
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
            const auto labels = window.findChildren<QLabel *>();
            for (QLabel *label : labels) {
                if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()
                    || insideScrollArea(label, &window))
                    continue;
                const QSize needed = label->minimumSizeHint();
                QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
                         qPrintable(describe(label) + QStringLiteral(": ") + label->text()));
            }
        }
        QDir::setCurrent(before);
    }
};

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
