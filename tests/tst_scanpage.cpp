#include "ccommand.h"
#include "cconnectionwidget.h"
#include "cutil.h"
#include "devicestablemodel.h"
#include "filelogger.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "recordinglogger.h"
#include "scanpagerig.h"
#include "searchbox.h"
#include "simbehaviour_scan.h"
#include "uplinkrecorder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

using Record = QMap<QString, QByteArray>;

SimAdvertiser advertiser(const char *addrHex, quint8 type = 0)
{
    SimAdvertiser a;
    a.addr = QByteArray::fromHex(addrHex);
    a.addrType = type;
    return a;
}

QByteArray adReport(const SimAdvertiser &a, const char *adHex, quint8 classification = 0)
{
    return ScanBehaviour::reportFrame(a, classification, FrameBuilder::fromHex(QString::fromLatin1(adHex)));
}

QString buttonText(ScanPageRig &rig, const char *name)
{
    return rig.widget<QToolButton>(QString::fromLatin1(name))->text();
}

QString cell(ScanPageRig &rig, int row, const QString &key)
{
    DevicesTableModel *model = rig.page->devicesModel();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->columns().at(column).key == key)
            return model->data(model->index(row, column)).toString();
    }
    return QStringLiteral("<no column>");
}

// Brings up a lower pane of the shown page as a user does, by its tab.
void showLowerPane(ScanPageRig &rig, int index)
{
    rig.page->show();
    rig.widget<QTabWidget>(QStringLiteral("tabWidget_device"))->setCurrentIndex(index);
}

QStringList g_warnings;

void recordWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}

} // namespace

class TestScanPage : public QObject
{
    Q_OBJECT

private slots:
    void startScanSendsSettingsAndWaitsForResult();
    void refusedStartLeavesButton();
    void failedSendChangesNothing();
    void reportRows_data();
    void reportRows();
    void shortReportDataReadsNothingPastTheEnd_data();
    void shortReportDataReadsNothingPastTheEnd();
    void dispatchIgnoresOtherIdsAndBrokenFrames();
    void choosingRowShowsRawAndDecodedData();
    void lowerPanesShowTheChosenRowWhenFirstShown_data();
    void lowerPanesShowTheChosenRowWhenFirstShown();
    void searchWalksMatchingCells();
    void periodicReportsGoToTheirView();
    void resetEmptiesThePage();
    void operateWhitelistLogsStatus_data();
    void operateWhitelistLogsStatus();
    void autoModeFromSettings();
    void lowerPanesAreTabsWithTheirTitlesAndNoWarning();
    void eventsLogTheirFrameAndFields_data();
    void eventsLogTheirFrameAndFields();
    void searchOrdersCellsWithinRows_data();
    void searchOrdersCellsWithinRows();
    void syncEndWithoutSyncKeepsDefaultView_data();
    void syncEndWithoutSyncKeepsDefaultView();
    void scanResults_data();
    void scanResults();
    void reportLinesInTheLogFileAreTheFieldMapText_data();
    void reportLinesInTheLogFileAreTheFieldMapText();
};

void TestScanPage::startScanSendsSettingsAndWaitsForResult()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    rig.dongle.setResponseDelay(200);
    QToolButton *scan = rig.widget<QToolButton>(QStringLiteral("buttonScan"));

    scan->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3D")));
    const QByteArray expected = FrameBuilder::withChecksum(
        FrameBuilder::fromHex("AA 01 3D 10 00 01 00 60 00 30 00 00 00 00 00 00 00 00 00 00 00"));
    QCOMPARE(FrameBuilder::toHex(rig.downlinks(QStringLiteral("01@3D")).constFirst()),
             FrameBuilder::toHex(expected));
    // Sent, but not confirmed yet.
    QCOMPARE(scan->text(), QStringLiteral("Start Scan"));
    QVERIFY(!rig.page->isScanning());

    QVERIFY(ScanPageRig::waitUntil([&] { return scan->text() == QLatin1String("Stop Scan"); }));
    QCOMPARE(scan->toolTip(), QStringLiteral("Stop Scan"));
    QVERIFY(rig.page->isScanning());

    const int before = rig.dongle.receivedCount();
    scan->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@03"), before));
    QCOMPARE(scan->text(), QStringLiteral("Stop Scan"));
    QVERIFY(ScanPageRig::waitUntil([&] { return scan->text() == QLatin1String("Start Scan"); }));
    QVERIFY(!rig.page->isScanning());
}

void TestScanPage::refusedStartLeavesButton()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    rig.scan->setStartScanStatus(0x0C);
    QToolButton *scan = rig.widget<QToolButton>(QStringLiteral("buttonScan"));
    scan->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3D")));
    QVERIFY(ScanPageRig::waitUntil([&] {
        for (const QString &line : rig.recorder->texts()) {
            if (line.startsWith(QLatin1String("Uplink Command Name:Start Extended Scan Result:")))
                return true;
        }
        return false;
    }));
    QCOMPARE(scan->text(), QStringLiteral("Start Scan"));
    QVERIFY(!rig.page->isScanning());
}

void TestScanPage::failedSendChangesNothing()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.feed(adReport(advertiser("010203040506"), "020106")));
    QCOMPARE(rig.page->devices().size(), 1);
    rig.link.closePort();

    QToolButton *scan = rig.widget<QToolButton>(QStringLiteral("buttonScan"));
    scan->click();
    QCOMPARE(scan->text(), QStringLiteral("Start Scan"));
    QVERIFY(!rig.page->isScanning());
    // The table of the last scan stays while no new scan started.
    QCOMPARE(rig.page->devices().size(), 1);
    QCOMPARE(rig.recorder->count(QStringLiteral("send 5_0_start scan message failed")), 1);
}

void TestScanPage::reportRows_data()
{
    QTest::addColumn<QList<QByteArray>>("reports");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("advTypes");
    QTest::addColumn<QStringList>("secondaryPhys");

    const SimAdvertiser a = advertiser("112233445566");
    SimAdvertiser legacy = advertiser("010203040506", 1);
    legacy.phySecond = 2;
    SimAdvertiser periodic = advertiser("0a0b0c0d0e0f");
    periodic.periodicInterval = 0x0100;
    periodic.advType = 0x03;

    QTest::newRow("no name is Peer Device")
        << QList<QByteArray>{adReport(a, "020106")} << QStringList{"Peer Device"}
        << QStringList{"Report Is Complete | Connectable"} << QStringList{"1M"};
    QTest::newRow("a later name renames, a report without keeps it")
        << QList<QByteArray>{adReport(a, "020106"), adReport(a, "05094142444500"), adReport(a, "020106")}
        << QStringList{"ABDE"} << QStringList{"Report Is Complete | Connectable"} << QStringList{"1M"};
    QTest::newRow("complete name wins whatever the order")
        << QList<QByteArray>{adReport(a, "03094142 040858595A")} << QStringList{"AB"}
        << QStringList{"Report Is Complete | Connectable"} << QStringList{"1M"};
    QTest::newRow("shortened name alone")
        << QList<QByteArray>{adReport(a, "040858595A")} << QStringList{"XYZ"}
        << QStringList{"Report Is Complete | Connectable"} << QStringList{"1M"};
    QTest::newRow("name structure of two bytes is ignored")
        << QList<QByteArray>{adReport(a, "0109")} << QStringList{"Peer Device"}
        << QStringList{"Report Is Complete | Connectable"} << QStringList{"1M"};
    QTest::newRow("same address, other type: second row")
        << QList<QByteArray>{adReport(a, "020106"), adReport(advertiser("112233445566", 1), "020106")}
        << QStringList{"Peer Device", "Peer Device"}
        << QStringList{"Report Is Complete | Connectable", "Report Is Complete | Connectable"}
        << QStringList{"1M", "1M"};
    QTest::newRow("legacy report: secondary phy N/A")
        << QList<QByteArray>{adReport(legacy, "020106", 1)} << QStringList{"Peer Device"}
        << QStringList{"Report Is Complete | Connectable"} << QStringList{"N/A"};
    QTest::newRow("periodic train marks syncable, repeated too")
        << QList<QByteArray>{adReport(periodic, "020106"), adReport(periodic, "020106")}
        << QStringList{"Peer Device"} << QStringList{"Report Is Complete | Connectable | Syncable"}
        << QStringList{"1M"};
    SimAdvertiser syncableAlready = periodic;
    syncableAlready.advType = 0x13;
    QTest::newRow("syncable bit set once, never carried")
        << QList<QByteArray>{adReport(syncableAlready, "020106")} << QStringList{"Peer Device"}
        << QStringList{"Report Is Complete | Connectable | Syncable"} << QStringList{"1M"};
    SimAdvertiser scannable = advertiser("212223242526");
    scannable.advType = 0x05;
    SimAdvertiser responder = scannable;
    responder.advType = 0x03;
    QTest::newRow("scan response keeps the row's type, takes the name")
        << QList<QByteArray>{adReport(scannable, "020106"), adReport(responder, "0409525354", 2)}
        << QStringList{"RST"} << QStringList{"Report Is Complete | Scannable"} << QStringList{"1M"};
    QTest::newRow("scan response of an unknown device makes its row")
        << QList<QByteArray>{adReport(responder, "03ff4c00", 3)} << QStringList{"Peer Device"}
        << QStringList{"Report Is Complete | Connectable"} << QStringList{"N/A"};
}

void TestScanPage::reportRows()
{
    QFETCH(QList<QByteArray>, reports);
    QFETCH(QStringList, names);
    QFETCH(QStringList, advTypes);
    QFETCH(QStringList, secondaryPhys);

    ScanPageRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.feed(reports));
    QCOMPARE(rig.page->devices().size(), names.size());
    for (int row = 0; row < names.size(); ++row) {
        QCOMPARE(cell(rig, row, QStringLiteral("device")), names.at(row));
        QCOMPARE(cell(rig, row, QStringLiteral("adv_type")), advTypes.at(row));
        QCOMPARE(cell(rig, row, QStringLiteral("phy_second")), secondaryPhys.at(row));
        QCOMPARE(rig.page->devices().at(row).value(QStringLiteral("connected")), QByteArray(1, '\0'));
    }
    QCOMPARE(cell(rig, 0, QStringLiteral("rssi")), QStringLiteral("-60"));
}

void TestScanPage::shortReportDataReadsNothingPastTheEnd_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QByteArray>("advData");
    QTest::addColumn<int>("internalErrors");
    QTest::newRow("no data bytes") << QByteArray() << QByteArray() << 0;
    QTest::newRow("one leading byte") << QByteArray(1, '\0') << QByteArray() << 0;
    QTest::newRow("two leading bytes only") << QByteArray(2, '\0') << QByteArray() << 0;
    QTest::newRow("structure past the end keeps the earlier ones")
        << FrameBuilder::fromHex("0000 0409414243 0509")
        << FrameBuilder::fromHex("0409414243 0509") << 1;
}

void TestScanPage::shortReportDataReadsNothingPastTheEnd()
{
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, advData);
    QFETCH(int, internalErrors);

    ScanPageRig rig;
    QVERIFY(rig.open());
    QByteArray frame = ScanBehaviour::reportFrame(advertiser("010203040506"), 0, QByteArray());
    frame.chop(2); // without the two leading bytes
    frame.append(tail);
    frame[3] = char((frame.size() - 5) & 0xFF);
    frame[4] = char((frame.size() - 5) >> 8);
    QVERIFY(rig.feed(frame));
    QCOMPARE(rig.page->devices().size(), 1);
    QCOMPARE(rig.page->devices().at(0).value(QStringLiteral("adv_data")), advData);
    if (internalErrors)
        QCOMPARE(cell(rig, 0, QStringLiteral("device")), QStringLiteral("ABC"));
    int errors = 0;
    for (const QString &line : rig.recorder->texts())
        errors += line.contains(QLatin1String("FUNCTION:CConnectionWidget::startScanProc Internal error.")) ? 1 : 0;
    QCOMPARE(errors, internalErrors);
}

void TestScanPage::dispatchIgnoresOtherIdsAndBrokenFrames()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    const int lines = rig.recorder->lines().size();
    // Another page's uplink: no handler, no log line.
    rig.page->onRcvMsg(FrameBuilder::frame(0xDD, 0x00, 0x03, QByteArray(1, '\0')));
    QCOMPARE(rig.recorder->lines().size(), lines);

    // Shorter than its length field claims: dropped before the lookup.
    QByteArray truncated = adReport(advertiser("010203040506"), "020106");
    truncated.chop(3);
    rig.page->onRcvMsg(truncated);
    QCOMPARE(rig.page->devices().size(), 0);

    rig.page->onRcvMsg(adReport(advertiser("010203040506"), "020106"));
    QCOMPARE(rig.page->devices().size(), 1);
}

void TestScanPage::choosingRowShowsRawAndDecodedData()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    SimAdvertiser a = advertiser("112233445566");
    QVERIFY(rig.feed(QList<QByteArray>{adReport(a, "020106050941424445"), adReport(a, "03ff4c00", 2)}));
    QCOMPARE(rig.page->devices().size(), 1);

    auto *view = rig.widget<QTableView>(QStringLiteral("tableView_devices"));
    view->setCurrentIndex(rig.page->devicesModel()->index(0, 0));
    rig.page->onTableView_devicesClicked(view->currentIndex());

    // The panes are made when first shown, with the row chosen before.
    QVERIFY(!rig.widget<QLabel>(QStringLiteral("labelAdv")));
    showLowerPane(rig, 0);
    showLowerPane(rig, 1);
    QCOMPARE(rig.widget<QLabel>(QStringLiteral("labelAdv"))->text(), QStringLiteral("raw data(9)"));
    QCOMPARE(rig.widget<QTextBrowser>(QStringLiteral("rawData_advertising"))->toPlainText(),
             QStringLiteral("02:01:06:05:09:41:42:44:45"));
    QCOMPARE(rig.widget<QLabel>(QStringLiteral("labelScan"))->text(), QStringLiteral("raw data(4)"));
    auto *tree = rig.widget<QTreeWidget>(QStringLiteral("treeWidget_advertising"));
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Data 0:<<Flags>>"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Data 1:<<Complete Local Name>>"));
    auto *rsp = rig.widget<QTreeWidget>(QStringLiteral("treeWidget_scanRsp"));
    QCOMPARE(rsp->topLevelItem(0)->text(0), QStringLiteral("Data 0:<<Manufacturer Specific Data>>"));

    // Connectable row in direct mode: Connect offered, white list too.
    QVERIFY(rig.widget<QToolButton>(QStringLiteral("buttonConnect"))->isEnabled());
    QCOMPARE(buttonText(rig, "buttonConnect"), QStringLiteral("Connect"));
    QVERIFY(rig.widget<QToolButton>(QStringLiteral("buttonAddToWhiteList"))->isEnabled());

    // A device without a scan response.
    QVERIFY(rig.feed(adReport(advertiser("0a0b0c0d0e0f"), "020106")));
    view->setCurrentIndex(rig.page->devicesModel()->index(1, 0));
    rig.page->onTableView_devicesClicked(view->currentIndex());
    QCOMPARE(rig.widget<QLabel>(QStringLiteral("labelScan"))->text(), QStringLiteral("raw data(0)"));
    QCOMPARE(rig.widget<QTextBrowser>(QStringLiteral("rawData_scanRsp"))->toPlainText(), QString());

    rig.page->onTableView_devicesClicked(QModelIndex());
    QCOMPARE(rig.recorder->count(QStringLiteral("CConnectionWidget::onTableView_devices:Clicked index is not valid.")), 1);
}

void TestScanPage::lowerPanesShowTheChosenRowWhenFirstShown_data()
{
    QTest::addColumn<bool>("shownFirst");
    QTest::addColumn<bool>("reset");
    QTest::newRow("shown, then chosen") << true << false;
    QTest::newRow("chosen, then shown") << false << false;
    // A reset empties the decoded advertising data and leaves the raw data.
    QTest::newRow("shown, chosen, reset") << true << true;
    QTest::newRow("chosen, reset, then shown") << false << true;
}

void TestScanPage::lowerPanesShowTheChosenRowWhenFirstShown()
{
    QFETCH(bool, shownFirst);
    QFETCH(bool, reset);
    ScanPageRig rig;
    QVERIFY(rig.open());
    SimAdvertiser a = advertiser("112233445566");
    QVERIFY(rig.feed(QList<QByteArray>{adReport(a, "020106050941424445"), adReport(a, "03ff4c00", 2)}));
    if (shownFirst) {
        showLowerPane(rig, 0);
        showLowerPane(rig, 1);
    }
    auto *view = rig.widget<QTableView>(QStringLiteral("tableView_devices"));
    view->setCurrentIndex(rig.page->devicesModel()->index(0, 0));
    rig.page->onTableView_devicesClicked(view->currentIndex());
    if (reset)
        rig.page->reset();
    showLowerPane(rig, 0);
    showLowerPane(rig, 1);

    QCOMPARE(rig.widget<QTextBrowser>(QStringLiteral("rawData_advertising"))->toPlainText(),
             QStringLiteral("02:01:06:05:09:41:42:44:45"));
    QCOMPARE(rig.widget<QTreeWidget>(QStringLiteral("treeWidget_advertising"))->topLevelItemCount(), reset ? 0 : 2);
    QCOMPARE(rig.widget<QLabel>(QStringLiteral("labelScan"))->text(), QStringLiteral("raw data(4)"));
    QCOMPARE(rig.widget<QTreeWidget>(QStringLiteral("treeWidget_scanRsp"))->topLevelItemCount(), 1);
    // Made inside a page already showing, the pane's widgets show with it,
    // filling its tab.
    auto *tree = rig.widget<QTreeWidget>(QStringLiteral("treeWidget_scanRsp"));
    QVERIFY(tree->isVisible());
    QWidget *pane = rig.widget<QWidget>(QStringLiteral("tab_2"));
    QCOMPARE(pane->geometry(), rig.widget<QWidget>(QStringLiteral("tab_3"))->geometry());
    QCOMPARE(tree->columnWidth(0), 270);
}

void TestScanPage::searchWalksMatchingCells()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    // Cells with "abc" in any case: the names of rows 0 and 3.
    QVERIFY(rig.feed(QList<QByteArray>{adReport(advertiser("010203040506"), "0409616263"),
                      adReport(advertiser("111111111111"), "020106"),
                      adReport(advertiser("222222222222"), "020106"),
                      adReport(advertiser("333333333333"), "06095841424358")}));
    QCOMPARE(rig.page->devices().size(), 4);

    rig.page->on_buttonSearch_clicked();
    SearchBox *box = rig.page->searchBox();
    QVERIFY(box->isVisible());
    box->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(QStringLiteral("abc"));
    QCOMPARE(box->m_matchRow, -1);
    DevicesTableModel *model = rig.page->devicesModel();
    QPushButton *next = box->findChild<QPushButton *>(QStringLiteral("buttonNext"));
    QPushButton *previous = box->findChild<QPushButton *>(QStringLiteral("buttonPrevious"));

    // Nothing lies before the start.
    previous->click();
    QVERIFY(!model->currentIndex().isValid());

    next->click();
    QCOMPARE(model->currentIndex(), model->index(0, 0));
    QCOMPARE(box->m_matchText, QStringLiteral("abc"));
    next->click();
    QCOMPARE(model->currentIndex(), model->index(3, 0));
    next->click();
    QCOMPARE(model->currentIndex(), model->index(3, 0));
    previous->click();
    QCOMPARE(model->currentIndex(), model->index(0, 0));
    QCOMPARE(model->data(model->index(0, 0), Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 0));

    // A text that matches nothing clears the mark.
    box->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(QStringLiteral("zzz"));
    next->click();
    QVERIFY(!model->currentIndex().isValid());
}

void TestScanPage::periodicReportsGoToTheirView()
{
    ScanPageRig rig;
    QVERIFY(rig.open());
    QPlainTextEdit *fallback = rig.page->periodicTextArea(0xFF);
    QVERIFY(fallback);

    SimAdvertiser train = advertiser("0102030405c0");
    // Sync index 0xFF is the default view.
    QVERIFY(rig.feed(ScanBehaviour::reportFrame(train, 4, QByteArray::fromHex("05ff59000102"), 0xFF)));
    QCOMPARE(fallback->blockCount(), 3);
    QVERIFY(fallback->toPlainText().startsWith(QLatin1String("Time:")));
    QVERIFY(fallback->toPlainText().contains(QLatin1String("Field Data: adv_data_response_data->00:00:05:ff:59:00:01:02  rssi->c4  tx_power->00  ")));
    QCOMPARE(rig.page->devices().size(), 0);

    // No entry for index 3.
    QVERIFY(rig.feed(ScanBehaviour::reportFrame(train, 4, QByteArray::fromHex("020106"), 3)));
    QCOMPARE(rig.recorder->count(QStringLiteral("The sync index of periodic advertising is wrong.")), 1);
    QCOMPARE(rig.recorder->lines().constLast().second, 4);
}

void TestScanPage::resetEmptiesThePage()
{
    ScanPageRig rig({{QStringLiteral("type"), 1}});
    QVERIFY(rig.open());
    QToolButton *scan = rig.widget<QToolButton>(QStringLiteral("buttonScan"));
    scan->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->isScanning(); }));
    QVERIFY(rig.feed(adReport(advertiser("010203040506"), "020106")));

    // Two syncs through the periodic advertiser list.
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    answerer.click(QStringLiteral("m_pbOk"));
    QToolButton *sync = rig.widget<QToolButton>(QStringLiteral("buttonSync"));
    QVERIFY(sync->isEnabled());
    sync->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return sync->toolTip() == QLatin1String("Start Sync")
                                                && rig.page->periodicSyncIndexes().size() == 2; }));
    sync->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->periodicSyncIndexes().size() == 3
                                                && sync->toolTip() == QLatin1String("Start Sync"); }));
    QVERIFY(answerer.waitUntilAnswered());
    auto *combo = rig.widget<QComboBox>(QStringLiteral("comboBox_peerAddr"));
    QCOMPARE(combo->count(), 2);
    QVERIFY(rig.page->isSyncing());

    // The BIG receiver page is asked for with the sync handle of the entry chosen.
    qRegisterMetaType<uint16_t>("uint16_t");
    QSignalSpy big(rig.page, &CConnectionWidget::masterBIGSucceed);
    for (int entry = 0; entry < combo->count(); ++entry) {
        combo->setCurrentIndex(entry);
        rig.widget<QToolButton>(QStringLiteral("buttonMasterBIG"))->click();
        // The simulated dongle numbers its sync handles from the sync index + 1.
        QCOMPARE(big.constLast().at(0).value<ushort>(), ushort(combo->currentData().toUInt() + 1));
    }
    QCOMPARE(big.count(), 2);

    rig.page->reset();
    QCOMPARE(rig.page->devices().size(), 0);
    QCOMPARE(scan->text(), QStringLiteral("Start Scan"));
    QVERIFY(scan->isEnabled());
    QVERIFY(!rig.page->isScanning());
    QCOMPARE(rig.page->periodicSyncIndexes(), QList<uchar>{0xFF});
    QVERIFY(rig.page->periodicTextArea(0xFF));
    QCOMPARE(combo->count(), 0);
    QVERIFY(!rig.page->isSyncing());
    QVERIFY(!sync->isEnabled());
    QCOMPARE(sync->toolTip(), QStringLiteral("Start Sync"));
    QVERIFY(!rig.widget<QToolButton>(QStringLiteral("buttonConnect"))->isEnabled());
    showLowerPane(rig, 0);
    QCOMPARE(rig.widget<QTreeWidget>(QStringLiteral("treeWidget_advertising"))->topLevelItemCount(), 0);

    // The next click starts a new scan.
    const int before = rig.dongle.receivedCount();
    scan->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@3D"), before));
}

void TestScanPage::operateWhitelistLogsStatus_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected");
    QTest::newRow("status 0") << QByteArray(1, '\0') << QString();
    QTest::newRow("status 0x12") << QByteArray(1, char(0x12)) << "Uplink Command Name:Operate whiltelist Result:";
    // The catalogue refuses a frame without its status byte before the page sees a field.
    QTest::newRow("no status") << QByteArray() << "Parse uplink Command:Operate whiltelist failed";
}

void TestScanPage::operateWhitelistLogsStatus()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    ScanPageRig rig;
    QVERIFY(rig.open());
    rig.recorder->clear();
    rig.page->onRcvMsg(FrameBuilder::frame(0xDD, 0x01, 0x0A, payload));
    const QStringList texts = rig.recorder->texts();
    QVERIFY(!texts.isEmpty());
    if (!payload.isEmpty())
        QVERIFY(texts.first().startsWith(QLatin1String("Uplink Command Name: Operate whiltelist")));
    if (expected.isEmpty()) {
        QCOMPARE(texts.size(), 1);
    } else {
        QVERIFY2(texts.last().startsWith(expected), qPrintable(texts.last()));
    }
}

void TestScanPage::lowerPanesAreTabsWithTheirTitlesAndNoWarning()
{
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    {
        ScanPageRig rig;
        qInstallMessageHandler(previous);
        auto *tabs = rig.widget<QTabWidget>(QStringLiteral("tabWidget_device"));
        QCOMPARE(tabs->count(), 3);
        const QStringList names{QStringLiteral("tab"), QStringLiteral("tab_2"), QStringLiteral("tab_3")};
        const QStringList titles{QStringLiteral("Advertising Data"), QStringLiteral("Scan Response Data"),
                                 QStringLiteral("Periodic Adv Data")};
        for (int i = 0; i < tabs->count(); ++i) {
            QCOMPARE(tabs->widget(i)->objectName(), names.at(i));
            QCOMPARE(tabs->tabText(i), titles.at(i));
        }
        QCOMPARE(tabs->currentIndex(), 2);
    }
    qInstallMessageHandler(previous);
    QCOMPARE(g_warnings, QStringList());
}

void TestScanPage::autoModeFromSettings()
{
    ScanPageRig rig({{QStringLiteral("5_0_conn_type"), 1}});
    QVERIFY(rig.open());
    QVERIFY(!rig.widget<QToolButton>(QStringLiteral("buttonConnect"))->isEnabled());
    QVERIFY(rig.widget<QToolButton>(QStringLiteral("buttonAutoConnect"))->isEnabled());
    // The central CIS page and the BIG receiver page open from here.
    QVERIFY(!rig.widget<QToolButton>(QStringLiteral("buttonCIGCIS"))->isHidden());
    QVERIFY(!rig.widget<QToolButton>(QStringLiteral("buttonMasterBIG"))->isHidden());
    QVERIFY(rig.widget<QToolButton>(QStringLiteral("devicePrivacyModeUpdate"))->isHidden());
    // The periodic data tab is the one shown first.
    QCOMPARE(rig.widget<QTabWidget>(QStringLiteral("tabWidget_device"))->currentIndex(), 2);

    QVERIFY(rig.feed(adReport(advertiser("010203040506"), "020106")));
    auto *view = rig.widget<QTableView>(QStringLiteral("tableView_devices"));
    view->setCurrentIndex(rig.page->devicesModel()->index(0, 0));
    rig.page->onTableView_devicesClicked(view->currentIndex());
    QVERIFY(!rig.widget<QToolButton>(QStringLiteral("buttonConnect"))->isEnabled());
}


void TestScanPage::eventsLogTheirFrameAndFields_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fieldLine");
    // An event without fields still carries its (empty) field part.
    QTest::newRow("auto-connect time-out") << FrameBuilder::frame(0xDD, 0x01, 0x80) << "Auto Connect Time Out"
                                           << QString();
    QTest::newRow("cancel connect") << FrameBuilder::frame(0xDD, 0x01, 0x4A, QByteArray(1, '\0'))
                                    << "Cancel Connect" << "status->00  ";
    QTest::newRow("scan stopped") << FrameBuilder::frame(0xDD, 0x01, 0x04, QByteArray(2, '\0')) << "Stop Scan"
                                  << "reason->00  status->00  ";
}

void TestScanPage::eventsLogTheirFrameAndFields()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, name);
    QFETCH(QString, fieldLine);
    ScanPageRig rig;
    QVERIFY(rig.open());
    rig.recorder->clear();
    rig.page->onRcvMsg(frame);
    const QStringList texts = rig.recorder->texts();
    QVERIFY(!texts.isEmpty());
    QCOMPARE(texts.first(), QStringLiteral("Uplink Command Name: ") + name + QStringLiteral("\r\nRaw Data: ")
                                + QString::fromLatin1(frame.toHex()) + QStringLiteral("\r\nField Data: ")
                                + fieldLine);
}

void TestScanPage::scanResults_data()
{
    QTest::addColumn<QList<QByteArray>>("results");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("scanning");
    const QByteArray started = FrameBuilder::frame(0xDD, 0x01, 0xF0, QByteArray(1, '\0'));
    QTest::newRow("started") << QList<QByteArray>{started} << "Stop Scan" << true;
    QTest::newRow("start refused") << QList<QByteArray>{FrameBuilder::frame(0xDD, 0x01, 0xF0, QByteArray(1, char(0x0C)))}
                                   << "Start Scan" << false;
    QTest::newRow("stopped") << QList<QByteArray>{started, FrameBuilder::frame(0xDD, 0x01, 0x04, QByteArray(2, '\0'))}
                             << "Start Scan" << false;
    QTest::newRow("stop refused while scanning")
        << QList<QByteArray>{started, FrameBuilder::frame(0xDD, 0x01, 0x04, FrameBuilder::fromHex("0c 00"))}
        << "Stop Scan" << true;
}

void TestScanPage::scanResults()
{
    QFETCH(QList<QByteArray>, results);
    QFETCH(QString, button);
    QFETCH(bool, scanning);
    ScanPageRig rig;
    QVERIFY(rig.open());
    for (const QByteArray &frame : results)
        rig.page->onRcvMsg(frame);
    QToolButton *scan = rig.widget<QToolButton>(QStringLiteral("buttonScan"));
    QCOMPARE(scan->text(), button);
    QCOMPARE(scan->toolTip(), button);
    QCOMPARE(rig.page->isScanning(), scanning);
}

void TestScanPage::searchOrdersCellsWithinRows_data()
{
    QTest::addColumn<QString>("presses");
    QTest::addColumn<QList<QPoint>>("marks"); // (column, row) after each press
    // "rand" lies in the cells (row 0, column 2), (1, 0), (2, 0) and (2, 2).
    QTest::newRow("next to the end and stay")
        << "nnnnn" << QList<QPoint>{{2, 0}, {0, 1}, {0, 2}, {2, 2}, {2, 2}};
    QTest::newRow("next to the end, then back to the start")
        << "nnnnpppp" << QList<QPoint>{{2, 0}, {0, 1}, {0, 2}, {2, 2}, {0, 2}, {0, 1}, {2, 0}, {2, 0}};
    QTest::newRow("back one and forward again")
        << "nnnpn" << QList<QPoint>{{2, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2}};
}

void TestScanPage::searchOrdersCellsWithinRows()
{
    QFETCH(QString, presses);
    QFETCH(QList<QPoint>, marks);
    ScanPageRig rig;
    QVERIFY(rig.open());
    // Names: "xyz", "RANDOMS", "Randy"; address types random, public, random.
    QVERIFY(rig.feed(QList<QByteArray>{adReport(advertiser("010203040506", 1), "040978797a"),
                                       adReport(advertiser("111111111111", 0), "080952414e444f4d53"),
                                       adReport(advertiser("222222222222", 1), "060952616e6479")}));
    QCOMPARE(cell(rig, 0, QStringLiteral("addr_type")), QStringLiteral("Random"));
    QCOMPARE(cell(rig, 2, QStringLiteral("device")), QStringLiteral("Randy"));

    rig.page->on_buttonSearch_clicked();
    SearchBox *box = rig.page->searchBox();
    box->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(QStringLiteral("rand"));
    DevicesTableModel *model = rig.page->devicesModel();
    for (int i = 0; i < presses.size(); ++i) {
        const char *button = presses.at(i) == QLatin1Char('n') ? "buttonNext" : "buttonPrevious";
        box->findChild<QPushButton *>(QString::fromLatin1(button))->click();
        QCOMPARE(model->currentIndex(), model->index(marks.at(i).y(), marks.at(i).x()));
    }
}

void TestScanPage::syncEndWithoutSyncKeepsDefaultView_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("function");
    QTest::newRow("lost, unknown index") << FrameBuilder::frame(0xDD, 0x01, 0x82, FrameBuilder::fromHex("05"))
                                         << "CConnectionWidget::syncPassiveStopProc";
    QTest::newRow("lost, default index") << FrameBuilder::frame(0xDD, 0x01, 0x82, FrameBuilder::fromHex("ff"))
                                         << "CConnectionWidget::syncPassiveStopProc";
    QTest::newRow("stopped, unknown index") << FrameBuilder::frame(0xDD, 0x01, 0x23, FrameBuilder::fromHex("05 00"))
                                            << "CConnectionWidget::createSyncStopProc";
    QTest::newRow("stopped, default index") << FrameBuilder::frame(0xDD, 0x01, 0x23, FrameBuilder::fromHex("ff 00"))
                                            << "CConnectionWidget::createSyncStopProc";
}

void TestScanPage::syncEndWithoutSyncKeepsDefaultView()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, function);
    ScanPageRig rig;
    QVERIFY(rig.open());
    QPlainTextEdit *fallback = rig.page->periodicTextArea(0xFF);
    QVERIFY(fallback);
    rig.recorder->clear();
    rig.page->onRcvMsg(frame);

    QCOMPARE(rig.page->periodicSyncIndexes(), QList<uchar>{0xFF});
    QCOMPARE(rig.page->periodicTextArea(0xFF), fallback);
    QVERIFY(!rig.page->isSyncing());
    QCOMPARE(rig.widget<QToolButton>(QStringLiteral("buttonSync"))->toolTip(), QStringLiteral("Start Sync"));
    bool logged = false;
    for (const auto &line : rig.recorder->lines()) {
        if (line.first.startsWith(QLatin1String("FILE:.\\cconnectionwidget LINE:"))
            && line.first.endsWith(QStringLiteral(" FUNCTION:") + function + QStringLiteral(" Internal error."))
            && line.second == 1)
            logged = true;
    }
    QVERIFY(logged);
}


void TestScanPage::reportLinesInTheLogFileAreTheFieldMapText_data()
{
    QTest::addColumn<bool>("textLogger"); // a logger of texts takes DEBUG lines too
    QTest::addColumn<qint64>("rollOverBytes");
    QTest::newRow("the log file alone") << false << qint64(256) * 1024 * 1024;
    QTest::newRow("the log file alone, in parts of 4 KiB") << false << qint64(4096);
    QTest::newRow("with a logger of texts") << true << qint64(256) * 1024 * 1024;
}

// A storm's report lines in the log file, byte for byte: time, tag, then
// "Raw Data: ", the frame's hex, "Field Data: " and each field the
// catalogue parses, by key, as a field map gives them; a file that
// continues in parts holds them in order and none grows past its size.
void TestScanPage::reportLinesInTheLogFileAreTheFieldMapText()
{
    QFETCH(bool, textLogger);
    QFETCH(qint64, rollOverBytes);
    ScanPageRig rig;
    if (!textLogger)
        rig.logs.removeLogger(QStringLiteral("recorder"));
    rig.logs.setLogFileRollOver(rollOverBytes);
    // The rows of one second would share a run's folder.
    QTemporaryDir folder;
    rig.logs.getLogger(QStringLiteral("file_logger"))
        .dynamicCast<FileLogger>()
        ->setFileName(folder.filePath(QStringLiteral("UI_log.txt")));
    QVERIFY(rig.open());
    rig.uplinks.clear();

    QList<QByteArray> reports;
    const QVector<SimAdvertiser> devices = ScanBehaviour::sampleAdvertisers(150);
    for (int round = 0; round < 4; ++round) {
        for (const SimAdvertiser &device : devices) {
            QByteArray ad = ScanBehaviour::advertisingData(device);
            ad.append(char(1 + round * 40)).append(char(0xFF)).append(QByteArray(round * 40, char(0xA5 + round)));
            reports << ScanBehaviour::reportFrame(device, device.classification, ad);
        }
    }
    // No data at all, and a long one.
    reports << ScanBehaviour::reportFrame(devices.first(), 0, QByteArray())
            << ScanBehaviour::reportFrame(devices.last(), 0, char(201) + (char(0xFF) + QByteArray(200, char(0xFE))));
    QVERIFY(rig.feed(reports, 20000));
    rig.logs.flushLogFiles();

    QStringList expected;
    for (const UplinkRecorder::Entry &entry : rig.uplinks.entries()) {
        if (!entry.frame.startsWith(QByteArray::fromHex("dd0102")))
            continue;
        QMap<QString, QByteArray> fields;
        CCommand::parseUpLinkCmd(nullptr, entry.frame, fields);
        QString text = QStringLiteral("Raw Data: ") + QString::fromLatin1(entry.frame.toHex())
            + QStringLiteral("\r\nField Data: ");
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            text += it.key() + QStringLiteral("->") + CUtil::colonHex(it.value()) + QStringLiteral("  ");
        expected << text;
    }
    QCOMPARE(expected.size(), reports.size());

    QByteArray file;
    int parts = 0;
    for (int part = 1;; ++part) {
        const QString name = folder.filePath(part == 1 ? QStringLiteral("UI_log.txt")
                                                       : QStringLiteral("UI_log-%1.txt").arg(part));
        QFile log(name);
        if (!log.open(QIODevice::ReadOnly))
            break;
        const QByteArray bytes = log.readAll();
        QVERIFY2(bytes.size() <= rollOverBytes, qPrintable(name));
        QVERIFY2(bytes.endsWith("\r\n"), qPrintable(name));
        file += bytes;
        ++parts;
    }
    QVERIFY(parts >= (rollOverBytes < 1024 * 1024 ? 20 : 1));
    QStringList written;
    const QByteArray tag = ": [DEBUG]Raw Data: dd0102";
    for (int at = file.indexOf(tag); at >= 0; at = file.indexOf(tag, at + 1)) {
        const int start = at + 9;
        const int fieldLine = file.indexOf("\r\nField Data: ", start);
        const int end = file.indexOf("\r\n", fieldLine + 2);
        QVERIFY(at >= 12 && fieldLine > 0 && end > 0);
        QVERIFY(at == 12 || file.mid(at - 14, 2) == "\r\n");
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d$"))
                    .match(QString::fromLatin1(file.mid(at - 12, 12)))
                    .hasMatch());
        written << QString::fromUtf8(file.mid(start, end - start));
    }
    QCOMPARE(written.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(written.at(i), expected.at(i));
    if (textLogger) {
        QStringList recorded;
        for (const QString &text : rig.recorder->texts()) {
            if (text.startsWith(QLatin1String("Raw Data: dd0102")))
                recorded << text;
        }
        QCOMPARE(recorded, expected);
    }
}

QTEST_MAIN(TestScanPage)
#include "tst_scanpage.moc"
