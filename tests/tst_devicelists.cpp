#include "cconnectionwidget.h"
#include "devicelistmodel.h"
#include "deviceperiodiclistmodel.h"
#include "dongletabrig.h"
#include "devicestablemodel.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "recordinglogger.h"
#include "scanpagerig.h"
#include "simbehaviour_lists.h"
#include "simbehaviour_scan.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

using Device = ListsBehaviour::Device;

struct ListsRig : ScanPageRig
{
    ListsRig() { lists = ListsBehaviour::install(dongle); }

    QToolButton *button(const char *name) const { return widget<QToolButton>(QString::fromLatin1(name)); }
    QComboBox *listType() const { return widget<QComboBox>(QStringLiteral("deviceListType")); }
    QTableView *listView() const { return widget<QTableView>(QStringLiteral("tableView_deviceList")); }

    // Shows a list and waits for its contents.
    bool show(int type, const char *getId)
    {
        const int before = dongle.receivedCount();
        listType()->setCurrentIndex(type);
        if (type == 0 && listType()->currentIndex() == 0)
            page->on_deviceListRefresh_clicked();
        if (!waitForDownlink(QString::fromLatin1(getId), before))
            return false;
        QTest::qWait(50);
        return true;
    }

    void chooseListRow(int row)
    {
        listView()->setCurrentIndex(listView()->model()->index(row, 0));
    }

    void chooseDevice(int row)
    {
        auto *view = widget<QTableView>(QStringLiteral("tableView_devices"));
        view->setCurrentIndex(page->devicesModel()->index(row, 0));
        page->onTableView_devicesClicked(view->currentIndex());
    }

    ListsBehaviour *lists = nullptr;
};

QByteArray addr(int i)
{
    QByteArray bytes = QByteArray::fromHex("0000000000c0");
    bytes[0] = char(i);
    return bytes;
}

QByteArray irk(char fill)
{
    return QByteArray(16, fill);
}

// One bond of that privacy mode, shown in the resolving list and chosen there.
bool chooseBond(ListsRig &rig, quint8 mode)
{
    if (!rig.lists->addBond(addr(3), 1, irk('\x11'), irk('\x22'), mode) || !rig.show(3, "01@7E")
        || !ScanPageRig::waitUntil([&] { return rig.page->rpaListModel()->deviceCount() == 1; }))
        return false;
    rig.chooseListRow(0);
    return true;
}

} // namespace

class TestDeviceLists : public QObject
{
    Q_OBJECT

private slots:
    void listTypeSwitch_data();
    void listTypeSwitch();
    void addToWhiteListOnlyOnAcknowledgement();
    void refusedAddChangesNothing();
    void pendingEntriesPerKindInOrder();
    void deleteAndClear();
    void fullListsRefuseBeforeSending_data();
    void fullListsRefuseBeforeSending();
    void listResults_data();
    void listResults();
    void privacyModeToggles_data();
    void privacyModeToggles();
    void privacyModeStatusRefreshesOnlyOnSuccess_data();
    void privacyModeStatusRefreshesOnlyOnSuccess();
    void resolvingListHasNoDelete();
    void addThroughDialog_data();
    void addThroughDialog();
    void aLostAcknowledgementShiftsNoEntry_data();
    void aLostAcknowledgementShiftsNoEntry();
};

void TestDeviceLists::listTypeSwitch_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("getId");
    QTest::addColumn<bool>("add");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("clear");
    QTest::addColumn<bool>("privacy");
    QTest::addColumn<QList<int>>("widths");

    QTest::newRow("bond list") << 1 << "01@13" << false << true << true << false << QList<int>{400, 400};
    QTest::newRow("periodic list") << 2 << "01@1B" << true << true << true << false << QList<int>{270, 270, 260};
    QTest::newRow("resolving list") << 3 << "01@7E" << false << false << false << true
                                    << QList<int>{120, 120, 120, 250, 250};
}

void TestDeviceLists::listTypeSwitch()
{
    QFETCH(int, type);
    QFETCH(QString, getId);
    QFETCH(bool, add);
    QFETCH(bool, remove);
    QFETCH(bool, clear);
    QFETCH(bool, privacy);
    QFETCH(QList<int>, widths);

    ListsRig rig;
    QVERIFY(rig.open());
    rig.page->show();
    QVERIFY(rig.show(type, getId.toLatin1().constData()));
    QCOMPARE(rig.button("deviceListAdd")->isEnabled(), add);
    QCOMPARE(rig.button("deviceListDelete")->isEnabled(), remove);
    QCOMPARE(rig.button("deviceListClear")->isEnabled(), clear);
    QCOMPARE(rig.button("devicePrivacyModeUpdate")->isVisible(), privacy);
    QCOMPARE(rig.listView()->model()->columnCount(), widths.size());
    for (int i = 0; i < widths.size(); ++i)
        QCOMPARE(rig.listView()->columnWidth(i), widths.at(i));

    // Back to the white list.
    QVERIFY(rig.show(0, "01@0D"));
    QVERIFY(rig.button("deviceListAdd")->isEnabled());
    QVERIFY(!rig.button("devicePrivacyModeUpdate")->isVisible());
    QCOMPARE(rig.listView()->model(), rig.page->whiteListModel());
    QCOMPARE(rig.listView()->columnWidth(0), 400);
    QCOMPARE(rig.listView()->columnWidth(1), 400);
}

void TestDeviceLists::addToWhiteListOnlyOnAcknowledgement()
{
    ListsRig rig;
    QVERIFY(rig.open());
    rig.dongle.setResponseDelay(150);
    QVERIFY(rig.feed(ScanBehaviour::advertisingReport(SimAdvertiser{})));
    rig.chooseDevice(0);
    rig.button("buttonAddToWhiteList")->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@09")));
    QCOMPARE(rig.page->whiteListModel()->deviceCount(), 0);
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->whiteListModel()->deviceCount() == 1; }));
    QCOMPARE(rig.page->whiteListModel()->devices().at(0).addr, QByteArray(6, '\0'));
    QCOMPARE(rig.lists->whiteList().size(), 1);
}

void TestDeviceLists::refusedAddChangesNothing()
{
    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.lists->addToWhiteList({QByteArray(6, '\0'), 0, 0}));
    QVERIFY(rig.feed(ScanBehaviour::advertisingReport(SimAdvertiser{})));
    rig.chooseDevice(0);
    rig.button("buttonAddToWhiteList")->click();
    // The dongle already holds it and refuses.
    QVERIFY(ScanPageRig::waitUntil([&] {
        for (const QString &line : rig.recorder->texts()) {
            if (line.startsWith(QLatin1String("[SDK Result] Uplink Command Name:Add whiltelist")))
                return true;
        }
        return false;
    }));
    QCOMPARE(rig.page->whiteListModel()->deviceCount(), 0);

    // The next, accepted add is read back: the list shows what the dongle
    // holds, the device it already had and the new one.
    SimAdvertiser other;
    other.addr = addr(7);
    QVERIFY(rig.feed(ScanBehaviour::advertisingReport(other)));
    rig.chooseDevice(1);
    rig.button("buttonAddToWhiteList")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->whiteListModel()->deviceCount() == 2; }));
    QCOMPARE(rig.page->whiteListModel()->devices().at(0).addr, QByteArray(6, '\0'));
    QCOMPARE(rig.page->whiteListModel()->devices().at(1).addr, addr(7));
}

void TestDeviceLists::pendingEntriesPerKindInOrder()
{
    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.lists->addToWhiteList({addr(9), 0, 0}));
    QVERIFY(rig.show(0, "01@0D"));
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->whiteListModel()->deviceCount() == 1; }));

    SimAdvertiser first;
    first.addr = addr(1);
    SimAdvertiser second;
    second.addr = addr(2);
    QVERIFY(rig.feed(QList<QByteArray>{ScanBehaviour::advertisingReport(first),
                                       ScanBehaviour::advertisingReport(second)}));
    // Three requests of two kinds before any answer.
    rig.dongle.setResponseDelay(300);
    rig.chooseDevice(0);
    rig.button("buttonAddToWhiteList")->click();
    rig.chooseListRow(0);
    rig.button("deviceListDelete")->click();
    rig.chooseDevice(1);
    rig.button("buttonAddToWhiteList")->click();

    QVERIFY(ScanPageRig::waitUntil([&] { return rig.lists->whiteList().size() == 2; }));
    QVERIFY(ScanPageRig::waitUntil([&] {
        const auto &devices = rig.page->whiteListModel()->devices();
        return devices.size() == 2 && devices.at(0).addr == addr(1) && devices.at(1).addr == addr(2);
    }));
}

void TestDeviceLists::deleteAndClear()
{
    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.lists->addToPeriodicList({addr(1), 1, 5}));
    QVERIFY(rig.lists->addToPeriodicList({addr(2), 0, 6}));
    QVERIFY(rig.show(2, "01@1B"));
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->periodicListModel()->deviceCount() == 2; }));

    rig.chooseListRow(1);
    rig.button("deviceListDelete")->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@19")));
    const QByteArray frame = rig.downlinks(QStringLiteral("01@19")).constFirst();
    QCOMPARE(frame.mid(5, 8), addr(2) + QByteArray::fromHex("0006"));
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->periodicListModel()->deviceCount() == 1; }));
    QCOMPARE(rig.page->periodicListModel()->devices().at(0).addr, addr(1));

    rig.button("deviceListClear")->click();
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.page->periodicListModel()->deviceCount() == 0; }));
    QVERIFY(rig.lists->periodicList().isEmpty());

    // No list row chosen.
    rig.listView()->setCurrentIndex(QModelIndex());
    rig.button("deviceListDelete")->click();
    QCOMPARE(rig.recorder->count(QStringLiteral("The row selected from the Device list is wrong.")), 1);
}

void TestDeviceLists::fullListsRefuseBeforeSending_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("getId");
    QTest::addColumn<QString>("message");
    QTest::newRow("white list of 10")
        << 0 << "01@0D" << "Can not add white list because white list is full.";
    QTest::newRow("periodic list of 4")
        << 2 << "01@1B" << "Can not add periodic advertising list because periodic advertising list is full.";
}

void TestDeviceLists::fullListsRefuseBeforeSending()
{
    QFETCH(int, type);
    QFETCH(QString, getId);
    QFETCH(QString, message);

    ListsRig rig;
    QVERIFY(rig.open());
    const int limit = type == 0 ? 10 : 4;
    for (int i = 0; i < limit; ++i) {
        if (type == 0)
            QVERIFY(rig.lists->addToWhiteList({addr(i), 0, 0}));
        else
            QVERIFY(rig.lists->addToPeriodicList({addr(i), 0, quint8(i)}));
    }
    QVERIFY(rig.show(type, getId.toLatin1().constData()));
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.listView()->model()->rowCount() == limit; }));

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    const int before = rig.dongle.receivedCount();
    rig.button("deviceListAdd")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().constFirst().title, QStringLiteral("error"));
    QCOMPARE(answerer.seen().constFirst().text, message);
    QCOMPARE(rig.recorder->count(message), 1);
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), before);
}

void TestDeviceLists::listResults_data()
{
    QTest::addColumn<quint8>("opcode");
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("firstRow");

    const QByteArray seven = FrameBuilder::fromHex("112233445566 01");
    QTest::newRow("white list empty") << quint8(0x0E) << QByteArray() << 0 << QString() << QStringList();
    QTest::newRow("white list of two") << quint8(0x0E) << seven + seven << 2 << QString()
                                       << QStringList{"66:55:44:33:22:11", "Random"};
    QTest::newRow("white list of 13 bytes") << quint8(0x0E) << (seven + seven).left(13) << 1
                                            << "Get white list response is wrong." << QStringList();
    QTest::newRow("bond list of one") << quint8(0x14) << seven << 1 << QString()
                                      << QStringList{"66:55:44:33:22:11", "Random"};
    QTest::newRow("periodic list of one") << quint8(0x1C) << FrameBuilder::fromHex("112233445566 01 05") << 1
                                          << QString() << QStringList{"66:55:44:33:22:11", "random", "5"};
    QTest::newRow("periodic list of 9 bytes") << quint8(0x1C) << FrameBuilder::fromHex("112233445566 01 05 00") << 1
                                              << "Get periodic advertising list response is wrong." << QStringList();
    const QByteArray forty = FrameBuilder::fromHex("010203040506 00 01") + irk('\x11') + irk('\x22');
    QTest::newRow("resolving list of one") << quint8(0x7F) << forty << 1 << QString()
                                           << QStringList{"06:05:04:03:02:01", "public", "device"};
    QTest::newRow("resolving list of two") << quint8(0x7F) << forty + forty << 2 << QString()
                                           << QStringList{"06:05:04:03:02:01", "public", "device"};
    QTest::newRow("resolving list of 39 bytes") << quint8(0x7F) << forty.left(39) << 1
                                                << "Get Rpa list response is wrong." << QStringList();
}

void TestDeviceLists::listResults()
{
    QFETCH(quint8, opcode);
    QFETCH(QByteArray, records);
    QFETCH(int, rows);
    QFETCH(QString, failure);
    QFETCH(QStringList, firstRow);

    ListsRig rig;
    QVERIFY(rig.open());
    QAbstractItemModel *model = opcode == 0x0E ? static_cast<QAbstractItemModel *>(rig.page->whiteListModel())
        : opcode == 0x14                       ? rig.page->bondListModel()
        : opcode == 0x1C                       ? static_cast<QAbstractItemModel *>(rig.page->periodicListModel())
                                               : rig.page->rpaListModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // A list of one to start from, so a wrong answer visibly keeps it.
    const QByteArray one = opcode == 0x1C ? FrameBuilder::fromHex("aabbccddeeff 00 01")
        : opcode == 0x7F                  ? FrameBuilder::fromHex("aabbccddeeff 00 00") + irk(0) + irk(0)
                                          : FrameBuilder::fromHex("aabbccddeeff 00");
    QVERIFY(rig.feed(ListsBehaviour::listEvent(opcode, one)));
    QCOMPARE(model->rowCount(), 1);

    QVERIFY(rig.feed(ListsBehaviour::listEvent(opcode, records)));
    QCOMPARE(model->rowCount(), rows);
    if (!failure.isEmpty()) {
        QCOMPARE(rig.recorder->count(failure), 1);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("ff:ee:dd:cc:bb:aa"));
    }
    for (int column = 0; column < firstRow.size(); ++column)
        QCOMPARE(model->index(0, column).data().toString(), firstRow.at(column));
}

void TestDeviceLists::privacyModeToggles_data()
{
    QTest::addColumn<quint8>("mode");
    QTest::addColumn<quint8>("sent");
    QTest::newRow("network to device") << quint8(0) << quint8(1);
    QTest::newRow("device to network") << quint8(1) << quint8(0);
}

void TestDeviceLists::privacyModeToggles()
{
    QFETCH(quint8, mode);
    QFETCH(quint8, sent);
    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(chooseBond(rig, mode));
    const int before = rig.dongle.receivedCount();
    rig.button("devicePrivacyModeUpdate")->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@80"), before));
    const QByteArray frame = rig.downlinks(QStringLiteral("01@80")).constLast();
    QCOMPARE(frame.mid(5, 8), addr(3) + QByteArray(1, char(1)) + QByteArray(1, char(sent)));
    // The acknowledgement reloads the list.
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@7E"), before));
    QVERIFY(ScanPageRig::waitUntil([&] {
        const auto &devices = rig.page->rpaListModel()->devices();
        return devices.size() == 1 && quint8(devices.at(0).privacyMode.at(0)) == sent;
    }));
}

void TestDeviceLists::privacyModeStatusRefreshesOnlyOnSuccess_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("refresh");
    QTest::newRow("status 0") << QByteArray(1, '\0') << true;
    QTest::newRow("refused") << QByteArray(1, char(0x0C)) << false;
    QTest::newRow("five bytes") << QByteArray() << false;
    QTest::newRow("seven bytes") << QByteArray(2, '\0') << false;
}

void TestDeviceLists::privacyModeStatusRefreshesOnlyOnSuccess()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, refresh);
    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(chooseBond(rig, 0));
    // The dongle answers the update with this acknowledgement alone.
    rig.dongle.setResponder(QStringLiteral("01@80"), [payload](const QByteArray &) {
        return QList<QByteArray>{FrameBuilder::frame(0xBB, 0x01, 0x80, payload)};
    });
    const int before = rig.dongle.receivedCount();
    rig.button("devicePrivacyModeUpdate")->click();
    QVERIFY(rig.waitForDownlink(QStringLiteral("01@80"), before));
    // The shown list is asked for again only after a success.
    if (refresh) {
        QVERIFY(rig.waitForDownlink(QStringLiteral("01@7E"), before));
    } else {
        QTest::qWait(300);
        const QList<SimulatedDongle::ReceivedFrame> frames = rig.dongle.receivedFrames();
        for (int i = before; i < frames.size(); ++i)
            QVERIFY(frames.at(i).id != QLatin1String("01@7E"));
    }
}

void TestDeviceLists::resolvingListHasNoDelete()
{
    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(chooseBond(rig, 0));
    const int before = rig.dongle.receivedCount();
    rig.page->on_deviceListDelete_clicked();
    rig.page->on_deviceListClear_clicked();
    rig.page->on_deviceListAdd_clicked();
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), before);
}

void TestDeviceLists::addThroughDialog_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("getId");
    QTest::addColumn<QString>("addId");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("onWire");
    QTest::newRow("white list, full address") << 0 << "01@0D" << "01@09" << "11:22:33:44:55:66"
                                              << QByteArray::fromHex("665544332211 01");
    QTest::newRow("periodic list") << 2 << "01@1B" << "01@17" << "c0:01:02:03:04:05"
                                   << QByteArray::fromHex("0504030201c0 01 00");
}

void TestDeviceLists::addThroughDialog()
{
    QFETCH(int, type);
    QFETCH(QString, getId);
    QFETCH(QString, addId);
    QFETCH(QString, typed);
    QFETCH(QByteArray, onWire);

    ListsRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.show(type, getId.toLatin1().constData()));
    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_addr"))->setText(typed);
        dialog->findChild<QComboBox *>(QStringLiteral("comboBox_addrType"))->setCurrentIndex(1);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    const int before = rig.dongle.receivedCount();
    rig.button("deviceListAdd")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(rig.waitForDownlink(addId, before));
    const QByteArray frame = rig.downlinks(addId).constLast();
    if (onWire.isEmpty())
        onWire = frame.mid(5, 7);
    QCOMPARE(FrameBuilder::toHex(frame.mid(5, onWire.size())), FrameBuilder::toHex(onWire));
    // On screen exactly as the controller holds it.
    QVERIFY(ScanPageRig::waitUntil([&] { return rig.listView()->model()->rowCount() == 1; }));
    const QByteArray shown = type == 0 ? rig.page->whiteListModel()->devices().at(0).addr
                                       : rig.page->periodicListModel()->devices().at(0).addr;
    QCOMPARE(shown, onWire.left(6));
    rig.page->on_deviceListRefresh_clicked();
    QTest::qWait(100);
    const QByteArray reported = type == 0 ? rig.page->whiteListModel()->devices().at(0).addr
                                          : rig.page->periodicListModel()->devices().at(0).addr;
    QCOMPARE(reported, shown);
}

void TestDeviceLists::aLostAcknowledgementShiftsNoEntry_data()
{
    QTest::addColumn<int>("type");         // in the list type box
    QTest::addColumn<QString>("changeId"); // the command whose first acknowledgement is lost
    QTest::addColumn<int>("held");         // devices 1.. the dongle holds first
    QTest::addColumn<QList<int>>("changed"); // added, or deleted, one after the other
    QTest::addColumn<QList<int>>("result");

    QTest::newRow("white list add") << 0 << "01@09" << 0 << QList<int>{1, 2} << QList<int>{1, 2};
    QTest::newRow("white list delete") << 0 << "01@0B" << 3 << QList<int>{1, 2} << QList<int>{3};
    QTest::newRow("bond delete") << 1 << "01@11" << 3 << QList<int>{1, 2} << QList<int>{3};
    QTest::newRow("periodic list add") << 2 << "01@17" << 0 << QList<int>{1, 2} << QList<int>{1, 2};
    QTest::newRow("periodic list delete") << 2 << "01@19" << 3 << QList<int>{1, 2} << QList<int>{3};
}

// The dongle loses the acknowledgement of the first of two changes of one
// list: neither the answer to the second nor any later one applies the wrong
// device; the list ends as the dongle holds it.
void TestDeviceLists::aLostAcknowledgementShiftsNoEntry()
{
    QFETCH(int, type);
    QFETCH(QString, changeId);
    QFETCH(int, held);
    QFETCH(QList<int>, changed);
    QFETCH(QList<int>, result);
    const bool adding = changeId == QLatin1String("01@09") || changeId == QLatin1String("01@17");

    DongleTabRig rig(QStringLiteral("ListsDongle"));
    ListsBehaviour *lists = ListsBehaviour::install(*rig.dongle);
    // After the start-up reset, which empties the white and periodic lists.
    QVERIFY(rig.start());
    for (int i = 1; i <= held; ++i) {
        if (type == 0)
            QVERIFY(lists->addToWhiteList({addr(i), 0, 0}));
        else if (type == 1)
            QVERIFY(lists->addBond(addr(i), 0, irk('\x11'), irk('\x22')));
        else
            QVERIFY(lists->addToPeriodicList({addr(i), 0, quint8(i)}));
    }
    CConnectionWidget *page = rig.widget->connectionWidget();
    const DeviceListModel *addressList = type == 0 ? page->whiteListModel() : page->bondListModel();
    const auto shown = [&] {
        const QVector<DeviceListEntry> devices =
            type == 2 ? page->periodicListModel()->devices() : addressList->devices();
        QList<QByteArray> addresses;
        for (const DeviceListEntry &device : devices)
            addresses << device.addr;
        return addresses;
    };
    auto *listType = page->findChild<QComboBox *>(QStringLiteral("deviceListType"));
    auto *view = page->findChild<QTableView *>(QStringLiteral("tableView_deviceList"));
    listType->setCurrentIndex(type);
    if (type == 0)
        page->on_deviceListRefresh_clicked();
    QTRY_COMPARE(shown().size(), held);

    // Whatever the list ever shows is a device the dongle held or the user added.
    QList<QByteArray> known;
    for (int i = 1; i <= 3; ++i)
        known << addr(i);
    QList<QByteArray> strangers;
    const auto watch = [&] {
        for (const QByteArray &address : shown()) {
            if (!known.contains(address) && !strangers.contains(address))
                strangers << address;
        }
    };
    QObject::connect(view->model(), &QAbstractItemModel::rowsInserted, page, watch);
    QObject::connect(view->model(), &QAbstractItemModel::modelReset, page, watch);

    rig.dongle->dropAcknowledgement(changeId, SimulatedDongle::Which::first(1));
    for (int device : changed) {
        if (adding) {
            ModalAnswerer answerer;
            answerer.answerWith([&](QWidget *dialog) {
                dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_addr"))
                    ->setText(QStringLiteral("c0:00:00:00:00:0%1").arg(device));
                if (auto *sid = dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_advSid")))
                    sid->setText(QString::number(device));
                dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
            });
            page->findChild<QToolButton *>(QStringLiteral("deviceListAdd"))->click();
            QVERIFY(answerer.waitUntilAnswered());
        } else {
            const int row = shown().indexOf(addr(device));
            QVERIFY(row >= 0);
            view->setCurrentIndex(view->model()->index(row, 0));
            page->findChild<QToolButton *>(QStringLiteral("deviceListDelete"))->click();
        }
    }

    QList<QByteArray> expected;
    for (int device : result)
        expected << addr(device);
    QTRY_COMPARE(shown(), expected);
    QTest::qWait(300);
    QCOMPARE(shown(), expected);
    QCOMPARE(strangers, QList<QByteArray>());
    // The lost answer is told.
    QVERIFY(!rig.log->texts().filter(QStringLiteral("No acknowledgement came for ")).isEmpty());
}

QTEST_MAIN(TestDeviceLists)
#include "tst_devicelists.moc"
