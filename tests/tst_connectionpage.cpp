#include "cgattwidget.h"
#include "cl2capwidget.h"
#include "cgapcmdwidget.h"
#include "clayerwidget.h"
#include "diagramwidget.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "customtabstyle.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "pageregistry.h"
#include "simulateddongle.h"

#include <QPointer>
#include <QLayout>
#include <QTabBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

class RecordingLog : public LogManager
{
public:
    RecordingLog() : LogManager(QStringLiteral("connectionpage")) {}
    void log(const QString &text, int level) override
    {
        lines << QStringLiteral("%1 %2").arg(level).arg(text);
        LogManager::log(text, level);
    }
    QStringList lines;
};

} // namespace

// The least page of one connection: what the dongle tab and the scanning
// page rely on.
class TestConnectionPage : public QObject
{
    Q_OBJECT

    static CLayerWidget *makePage(CMsg *link, LogManager *logger, uint8_t role = 0, uint8_t condix = 3)
    {
        static const QString dongleName = QStringLiteral("Dongle1");
        return new CLayerWidget(link, logger, nullptr, &dongleName, role, 0x18, 0, 0x1F4,
                                QStringLiteral("Peer Device"), QStringLiteral("66:55:44:33:22:11"), condix);
    }

private slots:
    void keepsWhatTheTabAsksFor()
    {
        RecordingLog log;
        QScopedPointer<CLayerWidget> page(makePage(nullptr, &log, 1, 7));
        QCOMPARE(page->condix(), uint8_t(7));
        QCOMPARE(page->role(), uint8_t(1));
        QCOMPARE(page->peerAddress(), QStringLiteral("66:55:44:33:22:11"));
        QCOMPARE(page->dongleName(), QStringLiteral("Dongle1"));
        QCOMPARE(page->objectName(), QStringLiteral("LayerWidget"));
        QVERIFY(page->closesOnReset());

        QCOMPARE(page->tabWidget()->tabPosition(), QTabWidget::West);
        QCOMPARE(page->tabWidget()->count(), 3);
        QCOMPARE(page->tabWidget()->tabText(0), QStringLiteral("G\r\nA\r\nT\r\nT"));
        QCOMPARE(page->tabWidget()->tabText(1), QStringLiteral("G\r\nA\r\nP"));
        QCOMPARE(page->tabWidget()->tabText(2), QStringLiteral("L\r\n2\r\nC\r\nA\r\nP"));
        QCOMPARE(page->tabWidget()->elideMode(), Qt::ElideNone);
        QVERIFY(!page->tabWidget()->tabsClosable());
        QVERIFY(qobject_cast<CustomTabStyle *>(page->tabWidget()->tabBar()->style()));
        QCOMPARE(page->tabWidget()->objectName(), QStringLiteral("m_tabWidget"));
        QCOMPARE(page->layout()->contentsMargins(), QMargins());
    }

    void holdsTheConnectionsPages()
    {
        QString dongleName = QStringLiteral("Dongle1");
        RecordingLog log;
        QScopedPointer<CLayerWidget> page(new CLayerWidget(nullptr, &log, nullptr, &dongleName, 0, 0x18, 0, 0x1F4,
                                                           QStringLiteral("Peer Device"),
                                                           QStringLiteral("66:55:44:33:22:11"), 6));
        CGattWidget *gatt = page->gattWidget();
        QVERIFY(gatt);
        QCOMPARE(page->tabWidget()->widget(0), static_cast<QWidget *>(gatt));
        QCOMPARE(gatt->parentWidget()->parentWidget(), page->tabWidget());
        QCOMPARE(gatt->condix(), uint8_t(6));
        auto *gap = qobject_cast<CGapCmdWidget *>(page->tabWidget()->widget(1));
        QVERIFY(gap);
        QCOMPARE(gap->diagram()->m_lbMin->text(), QStringLiteral("30ms"));
        auto *l2cap = qobject_cast<CL2capWidget *>(page->tabWidget()->widget(2));
        QVERIFY(l2cap);
        QCOMPARE(l2cap->condix(), quint8(6));
        QSignalSpy front(page.data(), &CLayerWidget::sig_showDongleTab);
        emit l2cap->sig_showDongleTab(dongleName);
        emit gap->sig_showDongleTab(dongleName);
        QCOMPARE(front.count(), 2);

        // The controller's current-tab flag reaches the GAP page too.
        page->setIsCurrentTab(true);
        QVERIFY(gap->isCurrentTab());
        page->setIsCurrentTab(false);
        QVERIFY(!gap->isCurrentTab());

        // The dongle tab's name is shared, so a renamed dongle shows through.
        dongleName = QStringLiteral("Renamed");
        QCOMPARE(page->dongleName(), QStringLiteral("Renamed"));

        page->setIsCurrentTab(true);
        QVERIFY(gatt->isCurrentTab());
        page->setIsCurrentTab(false);
        QVERIFY(!gatt->isCurrentTab());

        auto *pair = gatt->findChild<QToolButton *>(QStringLiteral("toolButton_pair"));
        page->on_pairEnable(false);
        QVERIFY(!pair->isEnabled());
        page->on_pairEnable(true);
        QVERIFY(pair->isEnabled());

        QSignalSpy shown(page.data(), &CLayerWidget::sig_showDongleTab);
        emit gatt->sig_showDongleTab(QStringLiteral("Renamed"));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.first().first().toString(), QStringLiteral("Renamed"));
    }

    // Flat boxes 24 x 90, taller where a title written one letter per line
    // needs more.
    void tabsAreFlatBoxesOfOneSize()
    {
        QScopedPointer<CLayerWidget> page(makePage(nullptr, nullptr));
        page->resize(702, 422);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.data()));
        QTabBar *bar = page->tabWidget()->tabBar();
        for (int i = 0; i < bar->count(); ++i) {
            const QSize title = bar->fontMetrics().size(Qt::TextShowMnemonic, bar->tabText(i));
            QCOMPARE(bar->tabRect(i).width(), 24);
            QVERIFY(bar->tabRect(i).height() >= qMax(90, title.height()));
        }

        page->tabWidget()->setCurrentIndex(1);
        const QImage image = bar->grab().toImage();
        const QRect selected = bar->tabRect(1);
        QCOMPARE(QColor(image.pixel(selected.left() + 3, selected.top() + 3)).name(), QStringLiteral("#189ede"));
        const QRect other = bar->tabRect(0);
        QCOMPARE(QColor(image.pixel(other.left() + 3, other.top() + 3)).name(), QStringLiteral("#ffffff"));
        QCOMPARE(QColor(image.pixel(other.center().x(), other.bottom())).name(), QStringLiteral("#c9c9c9"));
    }

    void disconnectSendsTheConnectionsIndex()
    {
        SimulatedDongle dongle;
        QVERIFY(dongle.isValid());
        RecordingLog log;
        CMsg link(&log);
        QCOMPARE(link.openPort(dongle.portPath()), 0);
        QScopedPointer<CLayerWidget> page(makePage(&link, &log, 0, 5));

        // The tab's close button may be clicked twice before the dongle answers.
        page->disconnect();
        page->disconnect();
        QVERIFY(dongle.waitForFrames(2));
        const QString expected = FrameBuilder::toHex(FrameBuilder::downlink(0x01, 0x07, QByteArray(1, 5)));
        QCOMPARE(FrameBuilder::toHex(dongle.receivedBytes().at(0)), expected);
        QCOMPARE(FrameBuilder::toHex(dongle.receivedBytes().at(1)), expected);
        QCOMPARE(expected, QStringLiteral("AA 01 07 01 00 05 48"));
        QVERIFY(!log.lines.filter(QStringLiteral("send disconnect message failed")).size());
        link.closePort();
    }

    void disconnectWithoutAPortIsOnlyLogged()
    {
        RecordingLog log;
        CMsg link(&log);
        QScopedPointer<CLayerWidget> page(makePage(&link, &log));
        page->disconnect();
        QVERIFY(log.lines.contains(QStringLiteral("4 send disconnect message failed")));
        QCOMPARE(page->condix(), uint8_t(3));
    }

    void destroyingAShownPageLeavesNoStyleBehind()
    {
        QPointer<CLayerWidget> page(makePage(nullptr, nullptr));
        QPointer<QTabBar> bar(page->tabWidget()->tabBar());
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.data()));
        page->tabWidget()->setCurrentIndex(2);
        delete page.data();
        QVERIFY(page.isNull());
        QVERIFY(bar.isNull());
    }

    void theApplicationLayerBuildsItThroughItsFactory()
    {
        RecordingLog log;
        QWidget parent;
        const QString dongleName = QStringLiteral("Dongle2");
        PageContext context;
        context.logger = &log;
        context.dongleName = &dongleName;
        context.parent = &parent;
        ConnectionPageArgs args;
        args.role = 1;
        args.condix = 9;
        args.peerName = QStringLiteral("Peer Device");
        args.peerAddress = QStringLiteral("c6:c5:c4:c3:c2:c1");

        registerConnectionPages();
        ConnectionPage *page = PageRegistry::create<PageKind::Connection>(context, args);
        auto *layer = qobject_cast<CLayerWidget *>(page);
        QVERIFY(layer);
        QCOMPARE(layer->parentWidget(), &parent);
        QCOMPARE(layer->condix(), uint8_t(9));
        QCOMPARE(layer->role(), uint8_t(1));
        QCOMPARE(layer->peerAddress(), args.peerAddress);
        QCOMPARE(layer->dongleName(), QStringLiteral("Dongle2"));
        PageRegistry::registerMaker<PageKind::Connection>({});
    }
};

QTEST_MAIN(TestConnectionPage)
#include "tst_connectionpage.moc"
