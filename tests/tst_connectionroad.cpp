#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "clayerwidget.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "devicestablemodel.h"
#include "framebuilder.h"
#include "maindonglewidget.h"
#include "pageregistry.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simbehaviour_lists.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"

#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

// A connection from the air to its tab and back, with the connection layer's
// own page registered as the program's main registers it.
class TestConnectionRoad : public QObject
{
    Q_OBJECT

    SimulatedDongle *m_dongle = nullptr;
    MainDongleWidget *m_widget = nullptr;

    ListsBehaviour *lists() const { return ListsBehaviour::of(*m_dongle); }
    QTabWidget *tabs() const { return m_widget->pageTabWidget(); }

    int tabOf(const QString &title) const
    {
        for (int i = 0; i < tabs()->count(); ++i) {
            if (tabs()->tabText(i) == title)
                return i;
        }
        return -1;
    }

    int sentCount(const QString &id) const { return m_dongle->receivedIds().count(id); }

private slots:
    void initTestCase()
    {
        registerConnectionPages();
    }

    void cleanupTestCase()
    {
        PageRegistry::registerMaker<PageKind::Connection>({});
    }

    void init()
    {
        m_dongle = new SimulatedDongle;
        QVERIFY(m_dongle->isValid());
        installLinkBehaviour(*m_dongle);
        installAppBehaviour(*m_dongle);
        installListsBehaviour(*m_dongle);
        m_widget = new MainDongleWidget(QStringLiteral("RoadDongle"));
        QVERIFY(m_widget->isOperational());
        m_widget->initWidgets();
        m_widget->heartBeat()->setInterval(60000);
        m_widget->link()->setSendInterval(5);
        QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
        m_widget->onConnectionStatusChanged(true);
        // The reset handshake ends with the white list query.
        QTRY_VERIFY_WITH_TIMEOUT(sentCount(QStringLiteral("01@0D")) == 1, 10000);
        m_dongle->clearReceived();
    }

    void cleanup()
    {
        delete m_widget;
        m_widget = nullptr;
        delete m_dongle;
        m_dongle = nullptr;
    }

    void peerConnectionGetsItsPageAtTheEnd()
    {
        const int before = tabs()->count();
        const int condix = lists()->peerConnects(FrameBuilder::fromHex("C1 C2 C3 C4 C5 C6"), 1);
        QCOMPARE(condix, 0);
        QTRY_COMPARE(tabs()->count(), before + 1);

        const int index = tabs()->count() - 1;
        QCOMPARE(tabs()->tabText(index), QStringLiteral("Peer Address: c6:c5:c4:c3:c2:c1"));
        QCOMPARE(tabs()->currentIndex(), index);
        QPointer<CLayerWidget> page = qobject_cast<CLayerWidget *>(tabs()->widget(index));
        QVERIFY(page);
        QCOMPARE(page->condix(), uint8_t(0));
        QCOMPARE(page->role(), uint8_t(1));
        QCOMPARE(page->dongleName(), QStringLiteral("RoadDongle"));

        // The tab's own button asks the dongle; the dongle's answer closes the tab.
        auto *close = qobject_cast<QToolButton *>(tabs()->tabBar()->tabButton(index, QTabBar::RightSide));
        QVERIFY(close);
        QCOMPARE(close->toolTip(), QStringLiteral("Disconnect"));
        close->click();
        QTRY_COMPARE(sentCount(QStringLiteral("01@07")), 1);
        QCOMPARE(FrameBuilder::toHex(m_dongle->receivedFrames().last().bytes), QStringLiteral("AA 01 07 01 00 00 4D"));
        QTRY_COMPARE(tabs()->count(), before);
        QTRY_VERIFY(page.isNull());
        QVERIFY(lists()->connections().isEmpty());
    }

    void directConnectionGoesBeforeSlave()
    {
        SimAdvertiser device;
        device.addr = FrameBuilder::fromHex("11 22 33 44 55 66");
        device.name = "Sensor";
        device.completeName = true;
        m_dongle->sendUplink(ScanBehaviour::advertisingReport(device));
        CConnectionWidget *scanning = m_widget->connectionWidget();
        QTRY_COMPARE(scanning->devices().size(), 1);

        auto *table = scanning->findChild<QTableView *>(QStringLiteral("tableView_devices"));
        table->setCurrentIndex(scanning->devicesModel()->index(0, 0));
        scanning->onTableView_devicesClicked(table->currentIndex());
        auto *connect = scanning->findChild<QToolButton *>(QStringLiteral("buttonConnect"));
        QCOMPARE(connect->text(), QStringLiteral("Connect"));
        connect->click();

        const QString title = QStringLiteral("Peer Address: 66:55:44:33:22:11");
        QTRY_VERIFY(tabOf(title) >= 0);
        QCOMPARE(tabOf(title) + 1, tabOf(QStringLiteral("Slave")));
        auto *page = qobject_cast<CLayerWidget *>(tabs()->widget(tabOf(title)));
        QVERIFY(page);
        QCOMPARE(page->role(), uint8_t(0));
        QTRY_COMPARE(connect->text(), QStringLiteral("Disconnect"));

        // A second page of the same dongle takes the next index.
        QCOMPARE(lists()->peerConnects(FrameBuilder::fromHex("A1 A2 A3 A4 A5 A6"), 0), 1);
        QTRY_VERIFY(tabOf(QStringLiteral("Peer Address: a6:a5:a4:a3:a2:a1")) >= 0);

        // The dongle drops the first on its own.
        QVERIFY(lists()->peerDisconnects(0));
        QTRY_COMPARE(tabOf(title), -1);
        QVERIFY(tabOf(QStringLiteral("Peer Address: a6:a5:a4:a3:a2:a1")) >= 0);
        QTRY_COMPARE(connect->text(), QStringLiteral("Connect"));
    }
};

QTEST_MAIN(TestConnectionRoad)
#include "tst_connectionroad.moc"
