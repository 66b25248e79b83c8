#include "advertisingwidget.h"
#include "advlisttabletablemodel.h"
#include "advrig.h"
#include "caddadvertisingdialog.h"
#include "cadvbasewidget.h"
#include "cadvlegacywidget.h"
#include "cadvperiodicwidget.h"
#include "cstyledcombobox.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "recordinglogger.h"

#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

QByteArray hex(const QString &text)
{
    return FrameBuilder::fromHex(text);
}

const QString kLegacy = QStringLiteral("Legacy Advertising");
const QString kExtended = QStringLiteral("Extended Advertising");
const QString kPeriodic = QStringLiteral("Periodic Advertising");
const QString kRowError = QStringLiteral("The row selected from the Device list is wrong.");

QByteArray status(quint8 opcode, quint8 value = 0)
{
    return FrameBuilder::frame(0xBB, 0x01, opcode, QByteArray(1, char(value)));
}

// An advertising page on the real link to the simulated dongle.
struct PageRig : AdvRig
{
    PageRig()
        : page(&link, &logs, &settings)
    {
        QObject::connect(&link, &CMsg::sig_rcvGapMsg, &page, &advertisingWidget::onRcvMsg);
        page.resize(1192, 694);
        page.show();
    }

    template <typename T>
    T *widget(const QString &name) const
    {
        return page.findChild<T *>(name);
    }
    QToolButton *button(const QString &name) const { return widget<QToolButton>(name); }
    QTableView *table() const { return widget<QTableView>(QStringLiteral("tableView_advList")); }
    QAbstractItemModel *model() const { return table()->model(); }

    void addSet(const QString &type, int index) { AdvPageDriver::addSet(&page, type, index); }
    CAdvBaseWidget *shownForm() const { return AdvPageDriver::shownForm(&page); }
    void press(int row) { AdvPageDriver::press(&page, row); }
    // Adds a set with a name (and periodic data), ready to start.
    void addStartableSet(const QString &type, int index)
    {
        addSet(type, index);
        AdvForms::apply(shownForm(), type == kPeriodic ? QStringList{"adv:Complete Local Name=abc", "periodic=01"}
                                                       : QStringList{"adv:Complete Local Name=abc"});
    }
    // Sends uplinks as the dongle and waits until the page has had them.
    bool feed(const QList<QByteArray> &frames)
    {
        const int before = uplinks.count();
        dongle.sendUplinks(frames);
        return uplinks.waitFor(before + frames.size());
    }
    bool feed(const QByteArray &frame) { return feed(QList<QByteArray>{frame}); }
    // Starts the set of that row and waits for its start event.
    bool start(int row)
    {
        press(row);
        const int advertising = adv->advertisingCount();
        button(QStringLiteral("btnStartAdv"))->click();
        return AdvRig::waitUntil([&] { return adv->advertisingCount() == advertising + 1; })
               && AdvRig::waitUntil([&] { return AdvPageDriver::rowAdvertising(&page, row); });
    }
    QStringList idsAfter(int from) const { return dongle.receivedIds().mid(from); }

    QMap<QString, QVariant> settings;
    advertisingWidget page;
};

} // namespace

class TestAdvPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void initialState();
    void startSequence_data();
    void startSequence();
    void stopAndStartAgain();
    void clearStopsAdvertisingSetsInListOrder();
    void resetForgetsEverySetSilently();
    void addButtonFollowsSetCount();
    void acknowledgementContinuesWithStartedSet();
    void startedSetDeletedBeforeAcknowledgement();
    void acknowledgementWithoutStartIsLogged();
    void refusedStepEndsSequence_data();
    void refusedStepEndsSequence();
    void startEventFailureLeavesSetStopped();
    void eventsForUnknownIndexChangeNothing();
    void deleteAdvertisingSet();
    void noCurrentRowIsLogged();
    void createBigFollowsPeriodicAdvertising();
    void controllerLimitOnSets();
    void dialogOffersFreeIndexes_data();
    void dialogOffersFreeIndexes();
    void dialogSignals();
    void setModel();
};

void TestAdvPage::initTestCase()
{
    qRegisterMetaType<uint8_t>("uint8_t");
}

void TestAdvPage::initialState()
{
    PageRig rig;
    QVERIFY(!rig.page.isAdvertising());
    QVERIFY(rig.button("btnAddAdvList")->isEnabled());
    QVERIFY(!rig.button("btnStartAdv")->isEnabled());
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.button("btnConnAdvBIG")->isHidden());
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(rig.shownForm()));
    QCOMPARE(rig.model()->rowCount(), 0);
    QCOMPARE(rig.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Advertising Type"));
}

void TestAdvPage::startSequence_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("ids");

    QTest::newRow("legacy") << kLegacy << 0 << QStringList{"adv:Complete Local Name=abc"}
                            << QStringList{"01@23", "01@25", "01@27"};
    QTest::newRow("directed legacy skips data")
        << kLegacy << 1 << QStringList{"cmb_discmode=0", "cmb_advmode=4", "le_peeraddr=11:22:33:44:55:66"}
        << QStringList{"01@23", "01@27"};
    QTest::newRow("extended") << kExtended << 2 << QStringList{"adv:Complete Local Name=abc"}
                              << QStringList{"01@2B", "01@2D", "01@27"};
    QTest::newRow("periodic") << kPeriodic << 4 << QStringList{"adv:Complete Local Name=abc", "periodic=0102"}
                              << QStringList{"01@31", "01@33", "01@27"};
}

void TestAdvPage::startSequence()
{
    QFETCH(QString, type);
    QFETCH(int, index);
    QFETCH(QStringList, settings);
    QFETCH(QStringList, ids);

    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addSet(type, index);
    CAdvBaseWidget *form = rig.shownForm();
    AdvForms::apply(form, settings);
    QVERIFY(rig.start(0));
    QCOMPARE(rig.dongle.receivedIds(), ids);
    // Every kind of set is started with the legacy start command and its index.
    QCOMPARE(rig.downlinks("01@27").first().mid(5, 1), QByteArray(1, char(index)));
    QVERIFY(rig.waitUntil([&] { return !form->isEnabled(); }));
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Stop Advertising"));
    QCOMPARE(rig.button("btnStartAdv")->toolTip(), QStringLiteral("Stop Advertising"));
    QVERIFY(rig.model()->index(0, 2).data(Qt::DecorationRole).value<QIcon>().cacheKey() != 0);
    QVERIFY(!rig.model()->index(0, 2).data(Qt::DisplayRole).isValid());
}

void TestAdvPage::stopAndStartAgain()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 3);
    CAdvBaseWidget *form = rig.shownForm();
    QVERIFY(rig.start(0));
    const int before = rig.dongle.receivedCount();
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitUntil([&] { return !rig.page.isAdvertising(); }));
    QCOMPARE(rig.idsAfter(before), QStringList{"01@29"});
    QCOMPARE(rig.downlinks("01@29").first().mid(5, 1), hex("03"));
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(form->isEnabled());
    QVERIFY(!rig.model()->index(0, 2).data(Qt::DecorationRole).isValid());
    QVERIFY(rig.start(0));
}

void TestAdvPage::clearStopsAdvertisingSetsInListOrder()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 3);
    rig.addStartableSet(kExtended, 0);
    rig.addStartableSet(kLegacy, 1);
    QVERIFY(rig.start(1));
    QVERIFY(rig.start(0));
    const int before = rig.dongle.receivedCount();
    rig.button("btnClearAdvList")->click();
    QVERIFY2(rig.waitForDownlinks(before + 2), qPrintable(rig.dongle.receivedIds().join(' ')));
    QCOMPARE(rig.idsAfter(before), (QStringList{"01@29", "01@29"}));
    const QList<QByteArray> stops = rig.downlinks("01@29");
    QCOMPARE(stops.at(0).mid(5, 1), hex("03"));
    QCOMPARE(stops.at(1).mid(5, 1), hex("00"));
    QCOMPARE(rig.model()->rowCount(), 0);
    QVERIFY(!rig.page.isAdvertising());
    QVERIFY(!rig.button("btnStartAdv")->isEnabled());
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(rig.shownForm()));
    QVERIFY(rig.page.findChildren<CAdvBaseWidget *>().size() == 3); // the previews alone
    QVERIFY(rig.waitUntil([&] { return rig.adv->advertisingCount() == 0; }));
}

void TestAdvPage::resetForgetsEverySetSilently()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kPeriodic, 2);
    rig.addStartableSet(kLegacy, 0);
    QVERIFY(rig.start(0));
    const int before = rig.dongle.receivedCount();
    rig.page.resetAdvList();
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), before);
    QCOMPARE(rig.model()->rowCount(), 0);
    QVERIFY(!rig.page.isAdvertising());
    QVERIFY(rig.button("btnAddAdvList")->isEnabled());
    QVERIFY(!rig.button("btnStartAdv")->isEnabled());
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(rig.shownForm()));
}

void TestAdvPage::addButtonFollowsSetCount()
{
    PageRig rig;
    for (int index = 0; index < 5; ++index) {
        QVERIFY(rig.button("btnAddAdvList")->isEnabled());
        rig.addSet(index % 2 ? kExtended : kLegacy, 4 - index);
    }
    QCOMPARE(rig.model()->rowCount(), 5);
    QVERIFY(!rig.button("btnAddAdvList")->isEnabled());
    rig.press(2);
    rig.button("btnDeleteAdvList")->click();
    QCOMPARE(rig.model()->rowCount(), 4);
    QVERIFY(rig.button("btnAddAdvList")->isEnabled());
    // The freed index is offered again.
    rig.addSet(kPeriodic, 2);
    QVERIFY(!rig.button("btnAddAdvList")->isEnabled());
    QCOMPARE(rig.model()->index(4, 0).data().toInt(), 2);
    rig.button("btnClearAdvList")->click();
    QVERIFY(rig.button("btnAddAdvList")->isEnabled());
}

void TestAdvPage::acknowledgementContinuesWithStartedSet()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.addStartableSet(kExtended, 1);
    rig.dongle.setSilent(true);
    rig.press(0);
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitForDownlinks(1));
    // The user presses the other set while the acknowledgement is on its way.
    rig.press(1);
    QVERIFY(rig.feed(status(0x23)));
    QVERIFY(rig.waitForDownlinks(2));
    QCOMPARE(rig.dongle.receivedIds().at(1), QStringLiteral("01@25"));
    QCOMPARE(rig.dongle.receivedBytes().at(1).mid(5, 1), hex("00"));
    QVERIFY(rig.feed(status(0x25)));
    QVERIFY(rig.waitForDownlinks(3));
    QCOMPARE(rig.dongle.receivedIds().at(2), QStringLiteral("01@27"));
    QCOMPARE(rig.dongle.receivedBytes().at(2).mid(5, 1), hex("00"));
    // The start is complete: a further acknowledgement continues nothing.
    QVERIFY(rig.feed(status(0x25)));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), 3);
    QCOMPARE(rig.recorder->count(kRowError), 1);
}

void TestAdvPage::startedSetDeletedBeforeAcknowledgement()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.addStartableSet(kLegacy, 1);
    rig.dongle.setSilent(true);
    rig.press(0);
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitForDownlinks(1));
    rig.press(0);
    rig.button("btnDeleteAdvList")->click();
    // A new set under the freed index is another set.
    rig.addStartableSet(kLegacy, 0);
    rig.press(0);
    QVERIFY(rig.feed(status(0x23)));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), 1);
    QCOMPARE(rig.recorder->count(kRowError), 1);
}

void TestAdvPage::acknowledgementWithoutStartIsLogged()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.press(0);
    QVERIFY(rig.feed(QList<QByteArray>{status(0x2B), status(0x33)}));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), 0);
    QCOMPARE(rig.recorder->count(kRowError), 2);
}

void TestAdvPage::refusedStepEndsSequence_data()
{
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("parameters") << "01@23" << QStringList{"01@23"};
    QTest::newRow("data") << "01@25" << QStringList{"01@23", "01@25"};
    QTest::newRow("start") << "01@27" << QStringList{"01@23", "01@25", "01@27"};
}

void TestAdvPage::refusedStepEndsSequence()
{
    QFETCH(QString, refused);
    QFETCH(QStringList, ids);

    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.adv->setAckStatus(refused, AdvertisingBehaviour::AckDisallowed);
    rig.press(0);
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitForDownlinks(ids.size()));
    QTest::qWait(80);
    QCOMPARE(rig.dongle.receivedIds(), ids);
    QVERIFY(!rig.page.isAdvertising());
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.shownForm()->isEnabled());
    // The refusal is logged with its name; the set can be started again.
    QVERIFY(!rig.recorder->texts().filter(QStringLiteral("Result:SDK ERR DISALLOWED")).isEmpty());
    QVERIFY(rig.start(0));
}

void TestAdvPage::startEventFailureLeavesSetStopped()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.adv->setStartEventStatus(0x43);
    rig.press(0);
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitUntil([&] {
        return rig.recorder->lines().contains(qMakePair(
            QStringLiteral("[Complete Result] Uplink Command Name:Advertising Start Result:BLE GAP ERR COMMAND DISALLOWED"),
            4));
    }));
    QVERIFY(!rig.page.isAdvertising());
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.shownForm()->isEnabled());
}

void TestAdvPage::eventsForUnknownIndexChangeNothing()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    QVERIFY(rig.start(0));
    CAdvBaseWidget *form = rig.shownForm();
    QVERIFY(rig.feed(QList<QByteArray>{AdvertisingBehaviour::startEvent(0, 3), AdvertisingBehaviour::stopEvent(0, 0, 4)}));
    QVERIFY(rig.page.isAdvertising());
    QVERIFY(!form->isEnabled());
    QCOMPARE(rig.model()->rowCount(), 1);
    // A stop event with a failure status changes nothing either.
    QVERIFY(rig.feed(AdvertisingBehaviour::stopEvent(0x43, 0, 0)));
    QVERIFY(rig.page.isAdvertising());
    QVERIFY(rig.recorder->lines().contains(
        qMakePair(QStringLiteral("Uplink Command Name:Advertising Stop Result:BLE GAP ERR COMMAND DISALLOWED"), 4)));
    // Frames too short for their fields are dropped after the parser's line.
    QVERIFY(rig.feed(QList<QByteArray>{FrameBuilder::frame(0xDD, 0x01, 0x28, hex("00")), FrameBuilder::frame(0xDD, 0x01, 0x2A, hex("00 00"))}));
    QVERIFY(rig.page.isAdvertising());
}

void TestAdvPage::deleteAdvertisingSet()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kExtended, 2);
    rig.addStartableSet(kLegacy, 0);
    QVERIFY(rig.start(0));
    rig.dongle.setSilent(true);
    const int before = rig.dongle.receivedCount();
    rig.press(0);
    rig.button("btnDeleteAdvList")->click();
    QCOMPARE(rig.model()->rowCount(), 1);
    QCOMPARE(rig.model()->index(0, 0).data().toInt(), 0);
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.waitForDownlinks(before + 1));
    QCOMPARE(rig.idsAfter(before), QStringList{"01@29"});
    QCOMPARE(rig.downlinks("01@29").first().mid(5, 1), hex("02"));
    QVERIFY(!rig.page.isAdvertising());
    // The stop event that follows finds no row.
    QVERIFY(rig.feed(AdvertisingBehaviour::stopEvent(0, 0, 2)));
    QCOMPARE(rig.model()->rowCount(), 1);
    // Deleting the last set resets the page.
    rig.press(0);
    rig.button("btnDeleteAdvList")->click();
    QCOMPARE(rig.model()->rowCount(), 0);
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(rig.shownForm()));
    QVERIFY(!rig.button("btnStartAdv")->isEnabled());
}

void TestAdvPage::noCurrentRowIsLogged()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    // A new set does not become the current row.
    rig.button("btnDeleteAdvList")->click();
    rig.page.findChild<QToolButton *>("btnStartAdv")->setEnabled(true);
    rig.button("btnStartAdv")->click();
    QCOMPARE(rig.recorder->count(kRowError), 2);
    QCOMPARE(rig.model()->rowCount(), 1);
    QTest::qWait(30);
    QCOMPARE(rig.dongle.receivedCount(), 0);
}

void TestAdvPage::createBigFollowsPeriodicAdvertising()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kPeriodic, 3);
    rig.addStartableSet(kExtended, 1);
    QSignalSpy big(&rig.page, &AdvertisingPage::sig_slaveBIGSucceed);
    QToolButton *createBig = rig.button("btnConnAdvBIG");
    rig.press(0);
    QVERIFY(!createBig->isEnabled());
    QVERIFY(rig.start(0));
    QVERIFY(createBig->isEnabled());
    QVERIFY(rig.start(1));
    QVERIFY(!createBig->isEnabled());
    rig.press(0);
    QVERIFY(createBig->isEnabled());
    QVERIFY(createBig->isHidden());
    createBig->click();
    QCOMPARE(big.count(), 1);
    QCOMPARE(big.first().first().value<uint8_t>(), uint8_t(3));
}

void TestAdvPage::controllerLimitOnSets()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.adv->setMaxSets(2);
    rig.addStartableSet(kLegacy, 3);
    rig.press(0);
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitUntil([&] { return !rig.recorder->texts().filter("SDK ERR INVALID ADV IDX").isEmpty(); }));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedIds(), QStringList{"01@23"});
    QVERIFY(!rig.page.isAdvertising());
}

void TestAdvPage::dialogOffersFreeIndexes_data()
{
    QTest::addColumn<QList<int>>("used");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("none") << QList<int>() << QStringList{"0", "1", "2", "3", "4"};
    QTest::newRow("0 and 2") << QList<int>{0, 2} << QStringList{"1", "3", "4"};
    QTest::newRow("same index twice") << QList<int>{2, 2} << QStringList{"0", "1", "3", "4"};
    QTest::newRow("outside 0 to 4") << QList<int>{7, -1} << QStringList{"0", "1", "2", "3", "4"};
}

void TestAdvPage::dialogOffersFreeIndexes()
{
    QFETCH(QList<int>, used);
    QFETCH(QStringList, offered);

    // Any parent will do: the dialog is handed the sets it must avoid.
    QWidget parent;
    CAddAdvertisingDialog dialog(nullptr, &parent);
    QVector<advListItem> sets;
    for (int index : used)
        sets.append(advListItem{index, kLegacy, 0});
    dialog.fillFreeAdvIndexes(sets);
    auto *indexes = dialog.findChild<CStyledComboBox *>(QStringLiteral("comboBox_AdvIndex"));
    QStringList texts;
    for (int i = 0; i < indexes->count(); ++i)
        texts << indexes->itemText(i);
    QCOMPARE(texts, offered);
    QCOMPARE(indexes->currentText(), offered.first());
    // A later call starts again from all five.
    dialog.fillFreeAdvIndexes({});
    QCOMPARE(indexes->count(), 5);
}

void TestAdvPage::dialogSignals()
{
    CAddAdvertisingDialog dialog(nullptr, nullptr);
    QCOMPARE(dialog.m_lbTitle->text(), QStringLiteral("Create New Advertising"));
    QSignalSpy typeChanged(&dialog, &CAddAdvertisingDialog::advTypeChanged);
    QSignalSpy added(&dialog, &CAddAdvertisingDialog::addAdvertisingItem);
    dialog.on_advTableClicked(kLegacy);
    QCOMPARE(typeChanged.count(), 0);
    dialog.on_advTableClicked(kPeriodic);
    dialog.on_advTableClicked(QStringLiteral("Unknown Advertising"));
    QCOMPARE(typeChanged.count(), 1);
    QCOMPARE(typeChanged.first().first().toString(), kPeriodic);

    {
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("PB_Cancle"));
        dialog.exec();
    }
    QCOMPARE(added.count(), 0);
    dialog.fillFreeAdvIndexes({advListItem{0, kLegacy, 0}});
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("PB_AddAdv"));
    dialog.exec();
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.first().at(0).toInt(), 1);
    QCOMPARE(added.first().at(1).toString(), kPeriodic);
}

void TestAdvPage::setModel()
{
    AdvRig rig;
    AdvListTableTableModel model(&rig.logs);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Adv Index"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Status"));
    QVERIFY(!model.headerData(3, Qt::Horizontal).isValid());
    QCOMPARE(rig.recorder->count(QStringLiteral("Device list error.")), 1);
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));

    QCOMPARE(model.addItem({1, kLegacy, 0}), 0);
    QCOMPARE(model.addItem({1, kLegacy, 0}), 0);
    QCOMPARE(model.addItem({2, kPeriodic, 2}), 0);
    QCOMPARE(model.index(0, 0).data().toInt(), 1);
    QCOMPARE(model.index(2, 1).data().toString(), kPeriodic);
    QCOMPARE(model.index(0, 2).data(Qt::TextAlignmentRole).toInt(), 0x81);
    QVERIFY(!model.index(2, 2).data(Qt::DecorationRole).isValid()); // status 2 is not advertising

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateItem(1, {1, kLegacy, 1});
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), model.index(1, 0));
    QCOMPARE(changed.first().at(1).toModelIndex(), model.index(1, 2));
    QVERIFY(model.index(1, 2).data(Qt::DecorationRole).isValid());
    QVERIFY(!model.index(1, 2).data(Qt::DisplayRole).isValid());
    for (int row : {-1, 3}) {
        model.updateItem(row, {4, kLegacy, 1});
        QCOMPARE(model.rowCount(), 3);
    }
    QCOMPARE(rig.recorder->count(QStringLiteral("Update item failed.")), 2);
    QVERIFY(model.setData(model.index(0, 0), 9));
    QCOMPARE(model.index(0, 0).data().toInt(), 1);

    // Of two equal rows the upper one goes.
    model.updateItem(1, {1, kLegacy, 0});
    QCOMPARE(model.removeItem({1, kLegacy, 0}), 0);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.removeItem({1, kExtended, 0}), -1);
    model.clearItems();
    QCOMPARE(model.rowCount(), 0);
}

QTEST_MAIN(TestAdvPage)
#include "tst_advpage.moc"
