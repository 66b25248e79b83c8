#include "cconnectionwidget.h"
#include "pageinterfaces.h"
#include "devicestablemodel.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "recordinglogger.h"
#include "scanpagerig.h"
#include "searchbox.h"
#include "simbehaviour_lists.h"
#include "simbehaviour_scan.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(ConnectionPage *)

namespace {

using Device = ListsBehaviour::Device;

// Device number n of a crowd.
SimAdvertiser numbered(int n)
{
    SimAdvertiser a;
    a.addr = QByteArray(6, '\x5a');
    a.addr[0] = char(n & 0xFF);
    a.addr[1] = char((n >> 8) & 0xFF);
    a.addrType = 1;
    a.advType = 0x03;
    return a;
}

SimAdvertiser advertiser(const char *addrHex, quint8 type = 0, quint8 advType = 0x03)
{
    SimAdvertiser a;
    a.addr = QByteArray::fromHex(addrHex);
    a.addrType = type;
    a.advType = advType;
    return a;
}

// A rig whose dongle also keeps connections, syncs and lists.
struct ConnectRig : ScanPageRig
{
    explicit ConnectRig(const QMap<QString, QVariant> &extra = {}) : ScanPageRig(extra)
    {
        lists = ListsBehaviour::install(dongle);
        scan->followSyncsOf(lists);
    }

    // Reports the devices and selects row `row` as the user would.
    bool discoverAndChoose(const QList<SimAdvertiser> &devices, int row)
    {
        QList<QByteArray> reports;
        for (const SimAdvertiser &a : devices)
            reports << ScanBehaviour::advertisingReport(a);
        if (!feed(reports))
            return false;
        choose(row);
        return true;
    }

    void choose(int row)
    {
        auto *view = widget<QTableView>(QStringLiteral("tableView_devices"));
        view->setCurrentIndex(page->devicesModel()->index(row, 0));
        page->onTableView_devicesClicked(view->currentIndex());
    }

    quint8 connectedOf(int row) const
    {
        const QByteArray connected = page->devices().at(row).value(QStringLiteral("connected"));
        return connected.isEmpty() ? quint8(0xEE) : quint8(connected.at(0));
    }

    QToolButton *button(const char *name) const { return widget<QToolButton>(QString::fromLatin1(name)); }

    ListsBehaviour *lists = nullptr;
};

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<ConnectionPage *>();
        qRegisterMetaType<uint8_t>("uint8_t");
    }
    void directConnectAndDisconnect();
    void failedConnectSendMarksNothing();
    void connectAttemptEndings_data();
    void connectAttemptEndings();
    void resetHitsOnlyTheConnectingRow();
    void roleOneLeavesRowsAlone();
    void repeatedDisconnectionKeepsCountSane();
    void autoConnect();
    void autoConnectTimeout();
    void autoModeTakesOnlyItsOwnConnection();
    void failedAutoConnectSendKeepsButton();
    void periodicSync();
    void refusedSyncStart();
    void syncResultWithoutEntryAddsNothing();
    void failedSyncSendCreatesNoEntry();
    void busyQueries();
    void fullTableKeepsConnectedAndChosenRows();
};

void TestConnect::directConnectAndDisconnect()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.discoverAndChoose({advertiser("010203040506"), advertiser("112233445566", 1)}, 1));
    QSignalSpy success(rig.page, &CConnectionWidget::connectSuccess);
    QSignalSpy gone(rig.page, &CConnectionWidget::disConnectRequest);
    rig.lists->setConnectPlan({ListsBehaviour::AckSuccess, 300, ListsBehaviour::EventSuccess, 0});

    QToolButton *connect = rig.button("buttonConnect");
    QCOMPARE(connect->text(), QStringLiteral("Connect"));
    connect->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3F")));
    const QByteArray frame = rig.downlinks(QStringLiteral("01@3F")).constFirst();
    QCOMPARE(frame.mid(46 + 1, 6), QByteArray::fromHex("112233445566"));
    QCOMPARE(quint8(frame.at(52 + 1)), quint8(1));

    // Connecting until the event.
    QCOMPARE(rig.connectedOf(1), quint8(1));
    QVERIFY(rig.page->isConnecting());
    QVERIFY(!rig.page->isAutoConnecting());
    QCOMPARE(connect->text(), QStringLiteral("Cancel"));
    QVERIFY(!rig.button("buttonScan")->isEnabled());
    QVERIFY(!rig.widget<QTableView>(QStringLiteral("tableView_devices"))->isEnabled());
    QVERIFY(!rig.page->hasConnection());

    QVERIFY(ScanPageRig::waitUntil([&] { return success.count() == 1; }));
    QCOMPARE(success.at(0).at(0).value<uint8_t>(), uint8_t(0));
    QCOMPARE(success.at(0).at(1).toString(), QStringLiteral("66:55:44:33:22:11"));
    auto *page = success.at(0).at(2).value<ConnectionPage *>();
    QVERIFY(page);
    QCOMPARE(rig.connectedOf(1), quint8(2));
    QCOMPARE(rig.connectedOf(0), quint8(0));
    QVERIFY(!rig.page->isConnecting());
    const quint8 condix = quint8(rig.page->devices().at(1).value(QStringLiteral("condix")).at(0));
    QCOMPARE(page->condix(), condix);
    QVERIFY(rig.page->hasConnection());
    QCOMPARE(rig.page->masterCondixList(), QVector<uchar>{condix});
    QCOMPARE(connect->text(), QStringLiteral("Disconnect"));
    QVERIFY(rig.button("buttonScan")->isEnabled());

    const int before = rig.dongle.receivedCount();
    connect->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@07"), before));
    QCOMPARE(FrameBuilder::toHex(rig.downlinks(QStringLiteral("01@07")).constFirst()),
             FrameBuilder::toHex(FrameBuilder::downlink(0x01, 0x07, QByteArray(1, char(condix)))));
    QVERIFY(ScanPageRig::waitUntil([&] { return gone.count() == 1; }));
    QCOMPARE(gone.at(0).at(0).value<uint8_t>(), condix);
    QCOMPARE(rig.connectedOf(1), quint8(0));
    QVERIFY(!rig.page->devices().at(1).contains(QStringLiteral("condix")));
    QVERIFY(!rig.page->hasConnection());
    QVERIFY(rig.page->masterCondixList().isEmpty());
    QCOMPARE(connect->text(), QStringLiteral("Connect"));
}

void TestConnect::failedConnectSendMarksNothing()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.discoverAndChoose({advertiser("010203040506")}, 0));
    rig.link.closePort();
    rig.button("buttonConnect")->click();
    QCOMPARE(rig.connectedOf(0), quint8(0));
    QCOMPARE(rig.button("buttonConnect")->text(), QStringLiteral("Connect"));
    QVERIFY(rig.button("buttonScan")->isEnabled());
    QCOMPARE(rig.recorder->count(QStringLiteral("send 5_0_connect message failed")), 1);
}

void TestConnect::connectAttemptEndings_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<bool>("statusFrame");

    QTest::newRow("refused connect status") << FrameBuilder::frame(0xBB, 0x01, 0x3F, QByteArray::fromHex("0c")) << true;
    QTest::newRow("failed connection event")
        << ListsBehaviour::connectionEvent(0x3E, 0, QByteArray::fromHex("010203040506"), 0, 0) << false;
    QByteArray notConnected =
        ListsBehaviour::connectionEvent(0, 2, QByteArray::fromHex("010203040506"), 0, 0);
    notConnected[6] = 0; // "connected"
    QTest::newRow("status 0 without connected") << notConnected << false;
    QTest::newRow("cancel event") << ListsBehaviour::cancelEvent(0) << false;
    QTest::newRow("auto-connect time-out") << ListsBehaviour::autoConnectTimeoutEvent() << false;
}

void TestConnect::connectAttemptEndings()
{
    QFETCH(QByteArray, ending);
    QFETCH(bool, statusFrame);

    ConnectRig rig;
    QVERIFY(rig.open());
    // The attempt never ends by itself.
    rig.lists->setConnectPlan({ListsBehaviour::AckSuccess, -1, ListsBehaviour::EventSuccess, 0});
    // A status is the answer to the page's own connect: the dongle refuses it, held until fed.
    if (statusFrame) {
        rig.dongle.refuse(QStringLiteral("01@3F"), quint8(FrameBuilder::payloadOf(ending).at(0)));
        rig.dongle.holdAcknowledgement(QStringLiteral("01@3F"));
    }
    QVERIFY(rig.discoverAndChoose({advertiser("010203040506")}, 0));
    QSignalSpy success(rig.page, &CConnectionWidget::connectSuccess);
    rig.button("buttonConnect")->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3F")));
    QCOMPARE(rig.connectedOf(0), quint8(1));

    if (statusFrame) {
        rig.dongle.releaseHeld();
        QVERIFY(rig.waitUntil([&] { return rig.connectedOf(0) == 0; }));
    } else {
        QVERIFY(rig.feed(ending));
    }
    QCOMPARE(rig.connectedOf(0), quint8(0));
    QCOMPARE(rig.button("buttonConnect")->text(), QStringLiteral("Connect"));
    QVERIFY(rig.button("buttonScan")->isEnabled());
    QCOMPARE(success.count(), 0);
    QVERIFY(!rig.page->hasConnection());
}

void TestConnect::resetHitsOnlyTheConnectingRow()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    rig.lists->setConnectPlan({ListsBehaviour::AckSuccess, 0, ListsBehaviour::EventSuccess, 0});
    QVERIFY(rig.discoverAndChoose({advertiser("010203040506"), advertiser("0a0b0c0d0e0f"),
                                   advertiser("212223242526")}, 0));
    QSignalSpy success(rig.page, &CConnectionWidget::connectSuccess);
    rig.button("buttonConnect")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return success.count() == 1; }));
    QCOMPARE(rig.connectedOf(0), quint8(2));

    // Row 2 starts connecting; the user then selects the connected row 0.
    rig.lists->setConnectPlan({ListsBehaviour::AckSuccess, -1, ListsBehaviour::EventSuccess, 0});
    rig.choose(2);
    rig.button("buttonConnect")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.lists->isConnecting(); }));
    QCOMPARE(rig.connectedOf(2), quint8(1));
    rig.choose(0);

    QVERIFY(rig.feed(ListsBehaviour::cancelEvent(0)));
    QCOMPARE(rig.connectedOf(0), quint8(2));
    QCOMPARE(rig.connectedOf(2), quint8(0));
    QCOMPARE(rig.button("buttonConnect")->text(), QStringLiteral("Disconnect"));

    // Nothing connecting: an ending touches no row.
    rig.choose(1);
    QVERIFY(rig.feed(ListsBehaviour::cancelEvent(0)));
    QCOMPARE(rig.connectedOf(0), quint8(2));
    QCOMPARE(rig.connectedOf(1), quint8(0));
}

void TestConnect::roleOneLeavesRowsAlone()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.discoverAndChoose({advertiser("112233445566")}, 0));
    QSignalSpy success(rig.page, &CConnectionWidget::connectSuccess);
    QVERIFY(rig.lists->peerConnects(QByteArray::fromHex("112233445566"), 0) >= 0);
    QVERIFY(ScanPageRig::waitUntil([&] { return success.count() == 1; }));
    QCOMPARE(success.at(0).at(0).value<uint8_t>(), uint8_t(1));
    QVERIFY(rig.page->masterCondixList().isEmpty());
    QCOMPARE(rig.connectedOf(0), quint8(0));
    QVERIFY(rig.page->hasConnection());
}

void TestConnect::repeatedDisconnectionKeepsCountSane()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    QSignalSpy gone(rig.page, &CConnectionWidget::disConnectRequest);
    QVERIFY(rig.feed(ListsBehaviour::connectionEvent(0, 3, QByteArray::fromHex("112233445566"), 0, 1)));
    QVERIFY(rig.page->hasConnection());
    QVERIFY(rig.feed(QList<QByteArray>{ListsBehaviour::disconnectionEvent(0, 3),
                                       ListsBehaviour::disconnectionEvent(0, 3),
                                       ListsBehaviour::disconnectionEvent(0, 7)}));
    QCOMPARE(gone.count(), 3);
    QVERIFY(!rig.page->hasConnection());

    // A connection after the strays counts again.
    QVERIFY(rig.feed(ListsBehaviour::connectionEvent(0, 4, QByteArray::fromHex("112233445566"), 0, 1)));
    QVERIFY(rig.page->hasConnection());
    QCOMPARE(rig.page->openCondixSet(), QSet<uchar>{4});

    // A refused disconnection changes nothing.
    QVERIFY(rig.feed(ListsBehaviour::disconnectionEvent(0x02, 4)));
    QVERIFY(rig.page->hasConnection());
}

void TestConnect::autoConnect()
{
    ConnectRig rig({{QStringLiteral("5_0_conn_type"), 1}});
    QVERIFY(rig.open());
    QVERIFY(rig.lists->addToWhiteList({QByteArray::fromHex("112233445566"), 0, 0}));
    rig.lists->setConnectPlan({ListsBehaviour::AckSuccess, 200, ListsBehaviour::EventSuccess, 0});
    QSignalSpy success(rig.page, &CConnectionWidget::connectSuccess);
    QSignalSpy gone(rig.page, &CConnectionWidget::disConnectRequest);
    QToolButton *automatic = rig.button("buttonAutoConnect");
    QVERIFY(automatic->isEnabled());
    QVERIFY(!rig.button("buttonConnect")->isEnabled());

    automatic->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3F")));
    const QByteArray frame = rig.downlinks(QStringLiteral("01@3F")).constFirst();
    QCOMPARE(frame.mid(47, 7), QByteArray(7, '\0'));
    QCOMPARE(quint8(frame.at(5)), quint8(1)); // the connection type from the settings
    QCOMPARE(automatic->text(), QStringLiteral("Cancel Auto Connect"));
    QVERIFY(rig.page->isAutoConnecting());
    QVERIFY(rig.page->isConnecting());

    QVERIFY(ScanPageRig::waitUntil([&] { return success.count() == 1; }));
    QCOMPARE(automatic->text(), QStringLiteral("Disconnect"));
    QVERIFY(!rig.page->isAutoConnecting());
    QVERIFY(rig.page->hasConnection());

    const int before = rig.dongle.receivedCount();
    automatic->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@07"), before));
    QVERIFY(ScanPageRig::waitUntil([&] { return gone.count() == 1; }));
    QCOMPARE(automatic->text(), QStringLiteral("Auto Connect"));
    QVERIFY(!rig.page->hasConnection());
}

void TestConnect::autoConnectTimeout()
{
    ConnectRig rig({{QStringLiteral("5_0_conn_type"), 1}});
    QVERIFY(rig.open());
    rig.lists->setAutoConnectTimeoutMs(200);
    QToolButton *automatic = rig.button("buttonAutoConnect");
    automatic->click();
    QCOMPARE(automatic->text(), QStringLiteral("Cancel Auto Connect"));
    QVERIFY(ScanPageRig::waitUntil([&] { return automatic->text() == QLatin1String("Auto Connect"); }));
    QVERIFY(!rig.page->isAutoConnecting());

    // Cancelled by the user.
    rig.lists->setAutoConnectTimeoutMs(-1);
    automatic->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.lists->isConnecting(); }));
    automatic->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return automatic->text() == QLatin1String("Auto Connect"); }));
}

void TestConnect::autoModeTakesOnlyItsOwnConnection()
{
    ConnectRig rig({{QStringLiteral("5_0_conn_type"), 1}});
    QVERIFY(rig.open());
    QToolButton *automatic = rig.button("buttonAutoConnect");

    // A peer connects to our advertising while no automatic attempt runs.
    QVERIFY(rig.feed(ListsBehaviour::connectionEvent(0, 5, QByteArray::fromHex("aabbccddeeff"), 0, 1)));
    QCOMPARE(automatic->text(), QStringLiteral("Auto Connect"));

    // The automatic connection, then the peer's disconnection: the button stays.
    automatic->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3F")));
    QVERIFY(rig.feed(ListsBehaviour::connectionEvent(0, 6, QByteArray::fromHex("112233445566"), 0, 0)));
    QCOMPARE(automatic->text(), QStringLiteral("Disconnect"));
    QVERIFY(rig.feed(ListsBehaviour::disconnectionEvent(0, 5)));
    QCOMPARE(automatic->text(), QStringLiteral("Disconnect"));
    QVERIFY(rig.page->hasConnection());
    QVERIFY(rig.feed(ListsBehaviour::disconnectionEvent(0, 6)));
    QCOMPARE(automatic->text(), QStringLiteral("Auto Connect"));
    QVERIFY(!rig.page->hasConnection());
}

void TestConnect::failedAutoConnectSendKeepsButton()
{
    ConnectRig rig({{QStringLiteral("5_0_conn_type"), 1}});
    QVERIFY(rig.open());
    rig.link.closePort();
    rig.button("buttonAutoConnect")->click();
    QCOMPARE(rig.button("buttonAutoConnect")->text(), QStringLiteral("Auto Connect"));
    QVERIFY(!rig.page->isAutoConnecting());
}

void TestConnect::periodicSync()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    SimAdvertiser train = advertiser("0102030405c0", 1, 0x01);
    train.periodicInterval = 0x50;
    train.advSid = 3;
    rig.button("buttonScan")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->isScanning(); }));
    QVERIFY(rig.discoverAndChoose({train}, 0));
    QToolButton *sync = rig.button("buttonSync");
    QVERIFY(sync->isEnabled());

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    sync->click();
    QCOMPARE(sync->toolTip(), QStringLiteral("Cancel Sync"));
    QVERIFY(rig.page->isSyncing());
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@1F")));
    const QByteArray frame = rig.downlinks(QStringLiteral("01@1F")).constFirst();
    // index, skip, sync_timeout, type, then the row's address, type and SID
    QCOMPARE(FrameBuilder::toHex(frame.mid(5, 14)),
             FrameBuilder::toHex(FrameBuilder::fromHex("00 0000 0001 00 0102030405c0 01 03")));

    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().constFirst().text, QStringLiteral("synchronize succeeded."));
    auto *combo = rig.widget<QComboBox>(QStringLiteral("comboBox_peerAddr"));
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->itemText(0), QStringLiteral("random c0:05:04:03:02:01"));
    QCOMPARE(combo->itemData(0).toInt(), 0);
    QCOMPARE(sync->toolTip(), QStringLiteral("Start Sync"));
    QVERIFY(rig.page->periodicSyncHandle(0) != 0);
    QCOMPARE(rig.widget<QTabWidget>(QStringLiteral("tabWidget_device"))->currentIndex(), 2);
    // The train's reports go to its own view.
    QVERIFY(ScanPageRig::waitUntil([&] {
        return rig.page->periodicTextArea(0)->toPlainText().contains(QLatin1String("Field Data: adv_data_response_data->"));
    }));
    QVERIFY(rig.page->periodicTextArea(0xFF)->toPlainText().isEmpty());

    // A second sync takes the next index.
    answerer.click(QStringLiteral("m_pbOk"));
    const int before = rig.dongle.receivedCount();
    sync->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@1F"), before));
    QCOMPARE(quint8(rig.downlinks(QStringLiteral("01@1F")).constLast().at(5)), quint8(1));
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(combo->count(), 2);

    // Lost by the controller, stopped by the user.
    QVERIFY(rig.lists->loseSync(0));
    QVERIFY(ScanPageRig::waitUntil([&] { return combo->count() == 1; }));
    QCOMPARE(combo->itemData(0).toInt(), 1);
    QVERIFY(!rig.page->periodicTextArea(0));
    combo->setCurrentIndex(0);
    rig.widget<QToolButton>(QStringLiteral("m_tbStopSync"))->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return combo->count() == 0; }));
    QVERIFY(!rig.page->isSyncing());
}

void TestConnect::refusedSyncStart()
{
    ConnectRig rig({{QStringLiteral("type"), 1}});
    QVERIFY(rig.open());
    rig.lists->setSyncPlan({ListsBehaviour::AckBusy, 0, ListsBehaviour::EventSuccess});
    rig.button("buttonScan")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->isScanning(); }));
    rig.button("buttonSync")->click();
    QVERIFY(rig.page->isSyncing());
    QVERIFY(ScanPageRig::waitUntil([&] { return !rig.page->isSyncing(); }));
    QCOMPARE(rig.button("buttonSync")->toolTip(), QStringLiteral("Start Sync"));
    QCOMPARE(rig.page->periodicSyncIndexes(), QList<uchar>{0xFF});
}

void TestConnect::syncResultWithoutEntryAddsNothing()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    const Device advertiserDevice{QByteArray::fromHex("010203040506"), 0, 1};
    QVERIFY(rig.feed(ListsBehaviour::syncEstablishedEvent(4, 0, advertiserDevice, 9)));
    QCOMPARE(rig.widget<QComboBox>(QStringLiteral("comboBox_peerAddr"))->count(), 0);
    QVERIFY(rig.recorder->count(QStringLiteral(
                "FILE:.\\cconnectionwidget LINE:2506 FUNCTION:CConnectionWidget::createSyncStartProc Internal error."))
            == 1);
    QVERIFY(!rig.page->isSyncing());
}

void TestConnect::failedSyncSendCreatesNoEntry()
{
    ConnectRig rig({{QStringLiteral("type"), 1}});
    QVERIFY(rig.open());
    rig.button("buttonScan")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->isScanning(); }));
    rig.link.closePort();
    rig.button("buttonSync")->click();
    QVERIFY(!rig.page->isSyncing());
    QCOMPARE(rig.button("buttonSync")->toolTip(), QStringLiteral("Start Sync"));
}

void TestConnect::busyQueries()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    QVERIFY(!rig.page->isScanning());
    QVERIFY(!rig.page->hasConnection());
    QVERIFY(!rig.page->isSyncing());
    QVERIFY(!rig.page->isAutoConnecting());
    rig.button("buttonScan")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->isScanning(); }));
    QVERIFY(rig.feed(ListsBehaviour::connectionEvent(0, 1, QByteArray::fromHex("112233445566"), 0, 1)));
    QVERIFY(rig.page->hasConnection());
    rig.page->reset();
    QVERIFY(!rig.page->isScanning());
    QVERIFY(!rig.page->hasConnection());
    QVERIFY(!rig.page->isSyncing());
}

// A hostile stream of ever new addresses fills the table: the devices seen
// longest ago leave, once logged; the connected device and the chosen row
// stay, keep working and keep their place in the view.
void TestConnect::fullTableKeepsConnectedAndChosenRows()
{
    ConnectRig rig;
    QVERIFY(rig.open());
    const int limit = 100;
    rig.page->devicesModel()->setRowLimit(limit);
    QList<SimAdvertiser> crowd;
    for (int n = 0; n < limit; ++n)
        crowd << numbered(n);
    QVERIFY(rig.discoverAndChoose(crowd, 1));
    QSignalSpy success(rig.page, &CConnectionWidget::connectSuccess);
    QSignalSpy gone(rig.page, &CConnectionWidget::disConnectRequest);
    rig.lists->setConnectPlan({ListsBehaviour::AckSuccess, 0, ListsBehaviour::EventSuccess, 0});
    rig.button("buttonConnect")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return success.count() == 1; }));
    QCOMPARE(rig.connectedOf(1), quint8(2));
    rig.choose(20);
    // A search has found device 3, which is now the chosen row.
    rig.page->on_buttonSearch_clicked();
    SearchBox *box = rig.page->searchBox();
    box->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(QStringLiteral("5a:5a:5a:5a:00:03"));
    box->findChild<QPushButton *>(QStringLiteral("buttonNext"))->click();
    QCOMPARE(box->m_matchRow, 3);
    // Device 5 reports again, so it is no longer among the oldest.
    QVERIFY(rig.feed(ScanBehaviour::advertisingReport(numbered(5))));

    QList<QByteArray> newcomers;
    for (int n = limit; n < limit + 10; ++n)
        newcomers << ScanBehaviour::advertisingReport(numbered(n));
    QVERIFY(rig.feed(newcomers));

    const auto rowOf = [&](int n) {
        const QByteArray addr = numbered(n).addr;
        for (int row = 0; row < rig.page->devices().size(); ++row) {
            if (rig.page->devices().at(row).value(QStringLiteral("addr")) == addr)
                return row;
        }
        return -1;
    };
    QCOMPARE(rig.page->devices().size(), limit);
    QCOMPARE(rig.page->devicesModel()->rowCount(), limit);
    for (const int n : {0, 2, 4, 6, 7, 8, 9, 10, 11, 12})
        QVERIFY2(rowOf(n) < 0, qPrintable(QString::number(n)));
    for (const int n : {1, 3, 5, 13, limit + 9})
        QVERIFY2(rowOf(n) >= 0, qPrintable(QString::number(n)));
    auto *view = rig.widget<QTableView>(QStringLiteral("tableView_devices"));
    QCOMPARE(view->currentIndex().row(), rowOf(3));
    QCOMPARE(rig.connectedOf(rowOf(1)), quint8(2));
    QCOMPARE(rig.page->devicesModel()->currentIndex().row(), rowOf(3));
    QCOMPARE(box->m_matchRow, rowOf(3));
    QVERIFY(rowOf(3) < 3);
    QCOMPARE(rig.recorder->count(
                 QStringLiteral("The discovery table keeps at most 100 devices: 1 seen longest ago left it.")),
             1);

    // The address index follows the moved rows: a known device updates its
    // row, a device that left comes back as a new one.
    const int row13 = rowOf(13);
    QVERIFY(rig.feed(ScanBehaviour::advertisingReport(numbered(13))));
    QCOMPARE(rowOf(13), row13);
    QCOMPARE(rig.page->devices().size(), limit);
    QVERIFY(rig.feed(ScanBehaviour::advertisingReport(numbered(0))));
    QCOMPARE(rowOf(0), limit - 1);
    QCOMPARE(rig.page->devices().size(), limit);

    // The connected device, now on another row, still disconnects.
    rig.choose(rowOf(1));
    QCOMPARE(rig.button("buttonConnect")->text(), QStringLiteral("Disconnect"));
    rig.button("buttonConnect")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return gone.count() == 1; }));
    QCOMPARE(rig.connectedOf(rowOf(1)), quint8(0));
}

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
