#include "cconnectionwidget.h"
#include "cutil.h"
#include "devicestablemodel.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "searchbox.h"
#include "simbehaviour_lists.h"
#include "simbehaviour_scan.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

namespace {

// Device n of a crowd: its number in the low address bytes and in its name,
// with a periodic train so that it can be synchronised to.
SimAdvertiser numbered(int n)
{
    SimAdvertiser device;
    device.addr = QByteArray::fromHex("0000005a5a5a");
    device.addr[0] = char(n & 0xFF);
    device.addr[1] = char((n >> 8) & 0xFF);
    device.addr[2] = char((n >> 16) & 0xFF);
    device.addrType = 1;
    device.periodicInterval = 0x50;
    device.name = "Dev" + QByteArray::number(n);
    return device;
}

// As the table shows an address: most significant byte first.
QString shownAddress(const SimAdvertiser &device)
{
    return CUtil::colonHex(device.addr, CUtil::Reversed);
}

// A dongle tab shown in a window, scanning, with its simulated dongle
// keeping connections, syncs and lists.
struct FindRig
{
    FindRig() : tab(QStringLiteral("FindDongle"))
    {
        lists = ListsBehaviour::install(*tab.dongle);
        scan = installScanBehaviour(*tab.dongle);
        lists->setConnectPlan({ListsBehaviour::AckSuccess, -1, ListsBehaviour::EventSuccess, 0});
        scan->followSyncsOf(lists);
    }

    bool start()
    {
        if (!tab.start() || !tab.showActive())
            return false;
        page = tab.widget->connectionWidget();
        view = widget<QTableView>("tableView_devices");
        QTest::mouseClick(widget<QToolButton>("buttonScan"), Qt::LeftButton);
        return QTest::qWaitFor([this] { return page->isScanning(); });
    }

    // Reports devices 0 to count - 1 the fast way: raw frames in slices the
    // link takes without falling behind. A slice the page has not wholly
    // taken in time is reported again, as advertisers repeat themselves: a
    // heavily loaded machine has been seen to garble a frame on the
    // pseudo-terminal.
    bool discover(int count)
    {
        const int slice = 1000;
        for (int first = 0; first < count; first += slice) {
            QByteArray bytes;
            const int end = qMin(count, first + slice);
            for (int n = first; n < end; ++n)
                bytes += FrameBuilder::withChecksum(ScanBehaviour::advertisingReport(numbered(n)));
            bool taken = false;
            for (int attempt = 0; attempt < 5 && !taken; ++attempt) {
                tab.dongle->sendRaw(bytes);
                taken = LinkRig::waitUntil([&] { return page->devices().size() == end; }, 10000);
            }
            if (!taken)
                return false;
        }
        return LinkRig::waitUntil([this] { return !page->devicesModel()->hasPendingChanges(); });
    }

    void clickRow(int row)
    {
        const QModelIndex index = page->devicesModel()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

    // Opens the find box with its button, types into its focused edit and
    // presses "next".
    bool find(const QString &text)
    {
        QTest::mouseClick(widget<QToolButton>("buttonSearch"), Qt::LeftButton);
        SearchBox *box = page->searchBox();
        if (!box || !QTest::qWaitForWindowExposed(box))
            return false;
        QApplication::setActiveWindow(box);
        if (!QTest::qWaitForWindowActive(box))
            return false;
        auto *edit = box->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
        QTest::mouseClick(edit, Qt::LeftButton);
        if (!QTest::qWaitFor([edit] { return edit->hasFocus(); }))
            return false;
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("buttonNext")), Qt::LeftButton);
        return true;
    }

    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &index : view->selectionModel()->selectedRows())
            rows << index.row();
        return rows;
    }

    template <typename T>
    T *widget(const char *name) const
    {
        return page->findChild<T *>(QString::fromLatin1(name));
    }

    DongleTabRig tab;
    ListsBehaviour *lists = nullptr;
    ScanBehaviour *scan = nullptr;
    CConnectionWidget *page = nullptr;
    QTableView *view = nullptr;
};

// Where the address an action sent is read back from the simulated dongle.
enum class SentTo { ConnectFrame, WhiteList, Sync, DataPane };

} // namespace

Q_DECLARE_METATYPE(SentTo)

// The row chosen with the find box or the arrow keys is the row every row action of the scanning page acts
// on, and the view brings it into sight however far down the table it lies.
class TestFindBox : public QObject
{
    Q_OBJECT

private slots:
    void rowActionsActOnTheChosenDevice_data();
    void rowActionsActOnTheChosenDevice();
    void farMatchIsScrolledToAndConnected_data();
    void farMatchIsScrolledToAndConnected();

private:
    static void actOn(FindRig &rig, const QString &button, SentTo sentTo, const SimAdvertiser &found);
};

void TestFindBox::rowActionsActOnTheChosenDevice_data()
{
    QTest::addColumn<bool>("byKeys");
    QTest::addColumn<QString>("button");
    QTest::addColumn<SentTo>("sentTo");
    // The device is chosen with the find box, or by moving down the table with the arrow key.
    for (const bool byKeys : {false, true}) {
        const char *how = byKeys ? "arrow keys" : "find";
        QTest::addRow("%s, Connect", how) << byKeys << "buttonConnect" << SentTo::ConnectFrame;
        QTest::addRow("%s, Add to White List", how) << byKeys << "buttonAddToWhiteList" << SentTo::WhiteList;
        QTest::addRow("%s, Sync", how) << byKeys << "buttonSync" << SentTo::Sync;
        QTest::addRow("%s, data panes", how) << byKeys << QString() << SentTo::DataPane;
    }
}

void TestFindBox::rowActionsActOnTheChosenDevice()
{
    QFETCH(bool, byKeys);
    QFETCH(QString, button);
    QFETCH(SentTo, sentTo);
    FindRig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.discover(50));
    rig.clickRow(3);
    QCOMPARE(rig.view->currentIndex().row(), 3);

    const SimAdvertiser found = numbered(7);
    if (byKeys) {
        QTRY_VERIFY(rig.view->hasFocus());
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    } else {
        QVERIFY(rig.find(shownAddress(found)));
        QCOMPARE(rig.page->devicesModel()->currentIndex().row(), 7);
    }
    if (sentTo == SentTo::DataPane) {
        // The advertising data pane, when the user turns to it, shows the found device's data.
        rig.widget<QTabWidget>("tabWidget_device")->setCurrentIndex(0);
        auto *raw = rig.widget<QTextBrowser>("rawData_advertising");
        QVERIFY(raw);
        QCOMPARE(raw->toPlainText(), CUtil::colonHex(ScanBehaviour::advertisingData(found)));
    } else {
        actOn(rig, button, sentTo, found);
        if (QTest::currentTestFailed())
            return;
    }
    // The highlighted device is the view's chosen and selected row.
    QCOMPARE(rig.view->currentIndex().row(), 7);
    QCOMPARE(rig.selectedRows(), QList<int>{7});
}

// Presses the action's button and reads back from the simulated dongle which
// device it went out for.
void TestFindBox::actOn(FindRig &rig, const QString &button, SentTo sentTo, const SimAdvertiser &found)
{
    auto *action = rig.widget<QToolButton>(qPrintable(button));
    QVERIFY(action->isEnabled());
    QTest::mouseClick(action, Qt::LeftButton);
    QByteArray sent;
    switch (sentTo) {
    case SentTo::ConnectFrame:
        QTRY_VERIFY(rig.lists->isConnecting());
        sent = rig.tab.dongle->receivedBytesOf(QStringLiteral("01@3F")).value(0);
        break;
    case SentTo::WhiteList:
        QTRY_COMPARE(rig.lists->whiteList().size(), 1);
        sent = rig.lists->whiteList().constFirst().addr;
        break;
    default:
        QTRY_COMPARE(rig.lists->syncs().size(), 1);
        sent = rig.lists->syncs().constFirst().advertiser.addr;
        break;
    }
    QVERIFY2(sent.contains(found.addr), qPrintable(FrameBuilder::toHex(sent)));
}

void TestFindBox::farMatchIsScrolledToAndConnected_data()
{
    QTest::addColumn<int>("devices");
    QTest::addColumn<int>("match");
    // A view that scrolls by the pixel has ranges of more than 2^31 / rows.
    QTest::newRow("12,000 devices") << 12000 << 11990;
    QTest::newRow("100,000 devices") << 100000 << 99990;
}

void TestFindBox::farMatchIsScrolledToAndConnected()
{
    QFETCH(int, devices);
    QFETCH(int, match);
    FindRig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.discover(devices));
    rig.clickRow(0);

    const SimAdvertiser found = numbered(match);
    QVERIFY(rig.find(shownAddress(found)));
    const QModelIndex index = rig.page->devicesModel()->index(match, 0);
    QTRY_VERIFY2(rig.view->viewport()->rect().contains(rig.view->visualRect(index)),
                 qPrintable(QStringLiteral("row %1 lies at %2 in a viewport of height %3")
                                .arg(match)
                                .arg(rig.view->visualRect(index).top())
                                .arg(rig.view->viewport()->height())));
    QCOMPARE(rig.view->currentIndex().row(), match);

    QTest::mouseClick(rig.widget<QToolButton>("buttonConnect"), Qt::LeftButton);
    QTRY_VERIFY(rig.lists->isConnecting());
    QVERIFY(rig.tab.dongle->receivedBytesOf(QStringLiteral("01@3F")).value(0).contains(found.addr));
}

QTEST_MAIN(TestFindBox)
#include "tst_findbox.moc"
