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
#include <QLineEdit>
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
const QString kUnexpected = QStringLiteral("Unexpected acknowledgement");

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
    // Waits until the link has handed the frames out: on its signals, or an
    // acknowledgement to the request that claimed it.
    bool feed(const QList<QByteArray> &frames)
    {
        const auto handed = [this] { return quint64(uplinks.count()) + link.acknowledgements().handedToRequests(); };
        const quint64 before = handed();
        dongle.sendUplinks(frames);
        return waitUntil([&] { return handed() >= before + quint64(frames.size()); });
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
    int currentRow() const { return table()->currentIndex().row(); }
    bool highlighted(int row) const { return table()->selectionModel()->isRowSelected(row, QModelIndex()); }
    int unexpectedLines() const { return recorder->texts().filter(kUnexpected).size(); }
    // Shows the page as the active window with the keyboard in the set table.
    bool focusTable()
    {
        if (!activate())
            return false;
        table()->setFocus(Qt::MouseFocusReason);
        return QTest::qWaitFor([this] { return table()->hasFocus(); });
    }
    // The window manager hands the window back its activation (as when a
    // dialog closed); the widget that had the focus gets it again.
    bool activate()
    {
        QApplication::setActiveWindow(&page);
        return QTest::qWaitForWindowActive(&page);
    }

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
    void everyActionHitsTheHighlightedSet();
    void newSetDialogLeavesTheCurrentSet();
    void previewFormsAreReadOnly();
    void startWaitsForTheStartUnderWay();
    void acknowledgementsMatchTheAwaitedStep_data();
    void acknowledgementsMatchTheAwaitedStep();
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
    QVERIFY(!rig.button("btnConnAdvBIG")->isHidden());
    QVERIFY(!rig.button("btnConnAdvBIG")->isEnabled());
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
    // A further data acknowledgement is not the step the page waits for.
    QVERIFY(rig.feed(status(0x25)));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), 3);
    QCOMPARE(rig.unexpectedLines(), 1);
    QCOMPARE(rig.recorder->count(kRowError), 0);
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
    QCOMPARE(rig.unexpectedLines(), 1);
}

void TestAdvPage::acknowledgementWithoutStartIsLogged()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.press(0);
    QVERIFY(rig.feed(QList<QByteArray>{status(0x2B), status(0x33), status(0x27)}));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), 0);
    QCOMPARE(rig.unexpectedLines(), 3);
    QCOMPARE(rig.recorder->count(kRowError), 0);
}

void TestAdvPage::refusedStepEndsSequence_data()
{
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("step");
    QTest::newRow("parameters") << "01@23" << QStringList{"01@23"} << "Legacy Advertising Parameter Set";
    QTest::newRow("data") << "01@25" << QStringList{"01@23", "01@25"} << "Legacy Advertising Data Set";
    QTest::newRow("start") << "01@27" << QStringList{"01@23", "01@25", "01@27"} << "Legacy Advertising Start";
}

void TestAdvPage::refusedStepEndsSequence()
{
    QFETCH(QString, refused);
    QFETCH(QStringList, ids);
    QFETCH(QString, step);

    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.adv->setAckStatus(refused, AdvertisingBehaviour::AckDisallowed);
    rig.press(0);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    rig.button("btnStartAdv")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(answerer.failures().isEmpty());
    QTest::qWait(80);
    QCOMPARE(rig.dongle.receivedIds(), ids);
    // The user is told once, in a box and in the set's Status cell, that the set did not start and why.
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text,
             QStringLiteral("Advertising set 0 did not start: the dongle refused %1 (SDK ERR DISALLOWED).").arg(step));
    QCOMPARE(rig.model()->index(0, 2).data().toString(), QStringLiteral("Not started: SDK ERR DISALLOWED"));
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!rig.page.isAdvertising());
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.button("btnStartAdv")->isEnabled());
    QVERIFY(rig.shownForm()->isEnabled());
    // The refusal is logged with its name; the set can be started again.
    QVERIFY(!rig.recorder->texts().filter(QStringLiteral("Result:SDK ERR DISALLOWED")).isEmpty());
    QVERIFY(rig.start(0));
    QVERIFY(!rig.model()->index(0, 2).data().isValid());
}

void TestAdvPage::startEventFailureLeavesSetStopped()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.adv->setStartEventStatus(0x43);
    rig.press(0);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    rig.button("btnStartAdv")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(rig.recorder->lines().contains(qMakePair(
        QStringLiteral("[Complete Result] Uplink Command Name:Advertising Start Result:BLE GAP ERR COMMAND DISALLOWED"), 4)));
    QCOMPARE(answerer.seen().first().text,
             QStringLiteral("Advertising set 0 did not start: Advertising Start failed (BLE GAP ERR COMMAND DISALLOWED)."));
    QCOMPARE(rig.model()->index(0, 2).data().toString(),
             QStringLiteral("Not started: BLE GAP ERR COMMAND DISALLOWED"));
    QVERIFY(!rig.page.isAdvertising());
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.shownForm()->isEnabled());
    // The same event again was not asked for: it is logged, not boxed.
    QVERIFY(rig.feed(AdvertisingBehaviour::startEvent(0x43, 0)));
    QTest::qWait(30);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(answerer.seen().size(), 1);
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
    // A new set becomes the current row; deleting the last one leaves none.
    QCOMPARE(rig.currentRow(), 0);
    rig.button("btnDeleteAdvList")->click();
    QCOMPARE(rig.model()->rowCount(), 0);
    QCOMPARE(rig.currentRow(), -1);
    QVERIFY(!rig.button("btnStartAdv")->isEnabled());
    rig.button("btnDeleteAdvList")->click();
    rig.page.findChild<QToolButton *>("btnStartAdv")->setEnabled(true);
    rig.button("btnStartAdv")->click();
    QCOMPARE(rig.recorder->count(kRowError), 2);
    QTest::qWait(30);
    QCOMPARE(rig.dongle.receivedCount(), 0);
}

void TestAdvPage::everyActionHitsTheHighlightedSet()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    QVERIFY(rig.focusTable());
    rig.addStartableSet(kLegacy, 0);
    QVERIFY(rig.activate());
    rig.addStartableSet(kPeriodic, 1);
    QVERIFY(rig.activate());
    QTRY_VERIFY(rig.table()->hasFocus());
    // The window got its focus back from the dialog: the new set stays the one on screen.
    QCOMPARE(rig.currentRow(), 1);
    QVERIFY(rig.highlighted(1));
    CAdvBaseWidget *periodicForm = rig.shownForm();
    QVERIFY(qobject_cast<CAdvPeriodicWidget *>(periodicForm));
    QToolButton *start = rig.button("btnStartAdv");
    QVERIFY(start->isEnabled());
    QCOMPARE(start->text(), QStringLiteral("Start Advertising"));

    start->click();
    QVERIFY(rig.waitUntil([&] { return AdvPageDriver::rowAdvertising(&rig.page, 1); }));
    QCOMPARE(rig.dongle.receivedIds().first(), QStringLiteral("01@31"));
    QVERIFY(!rig.adv->isAdvertising(0));

    // The arrow keys move the highlight, and the pane and buttons follow it.
    QTest::keyClick(rig.table(), Qt::Key_Up);
    QCOMPARE(rig.currentRow(), 0);
    QVERIFY(rig.highlighted(0));
    CAdvBaseWidget *legacyForm = rig.shownForm();
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(legacyForm));
    QCOMPARE(start->text(), QStringLiteral("Start Advertising"));
    QVERIFY(!rig.button("btnConnAdvBIG")->isEnabled());
    start->click();
    QVERIFY(rig.waitUntil([&] { return AdvPageDriver::rowAdvertising(&rig.page, 0); }));
    QVERIFY(rig.adv->isAdvertising(0));

    QTest::keyClick(rig.table(), Qt::Key_Down);
    QCOMPARE(rig.shownForm(), periodicForm);
    QCOMPARE(start->text(), QStringLiteral("Stop Advertising"));
    QSignalSpy big(&rig.page, &AdvertisingPage::sig_slaveBIGSucceed);
    QTest::mouseClick(rig.button("btnConnAdvBIG"), Qt::LeftButton);
    QCOMPARE(big.count(), 1);
    QCOMPARE(big.first().first().value<uint8_t>(), uint8_t(1));
    int before = rig.dongle.receivedCount();
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(rig.waitUntil([&] { return !AdvPageDriver::rowAdvertising(&rig.page, 1); }));
    QCOMPARE(rig.downlinks("01@29").last().mid(5, 1), hex("01"));
    QCOMPARE(start->text(), QStringLiteral("Start Advertising"));
    QVERIFY(rig.adv->isAdvertising(0));

    // Delete takes the highlighted set; the set that moves into its row is the current one.
    QTest::keyClick(rig.table(), Qt::Key_Up);
    QCOMPARE(rig.shownForm(), legacyForm);
    before = rig.dongle.receivedCount();
    QTest::mouseClick(rig.button("btnDeleteAdvList"), Qt::LeftButton);
    QVERIFY(rig.waitForDownlinks(before + 1));
    QCOMPARE(rig.idsAfter(before), QStringList{"01@29"});
    QCOMPARE(rig.downlinks("01@29").last().mid(5, 1), hex("00"));
    QCOMPARE(rig.model()->rowCount(), 1);
    QCOMPARE(rig.model()->index(0, 0).data().toInt(), 1);
    QCOMPARE(rig.currentRow(), 0);
    QVERIFY(rig.highlighted(0));
    QCOMPARE(rig.shownForm(), periodicForm);
    QCOMPARE(start->text(), QStringLiteral("Start Advertising"));
    QVERIFY(start->isEnabled());
    QCOMPARE(rig.recorder->count(kRowError), 0);
}

void TestAdvPage::newSetDialogLeavesTheCurrentSet()
{
    PageRig rig;
    QVERIFY(rig.focusTable());
    rig.addSet(kExtended, 2);
    CAdvBaseWidget *setForm = rig.shownForm();
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *dialog) {
        dialog->findChild<CStyledComboBox *>(QStringLiteral("comboBox_AdvType"))->setCurrentText(kPeriodic);
        dialog->findChild<QPushButton *>(QStringLiteral("PB_Cancle"))->click();
    });
    rig.button("btnAddAdvList")->click();
    QVERIFY(answerer.waitUntilAnswered());
    // Cancelled: the set that is still highlighted is the one on screen again.
    QCOMPARE(rig.shownForm(), setForm);
    QCOMPARE(rig.currentRow(), 0);
    QVERIFY(rig.button("btnStartAdv")->isEnabled());
}

void TestAdvPage::previewFormsAreReadOnly()
{
    PageRig rig;
    QVERIFY(rig.focusTable());
    auto typeInto = [&](CAdvBaseWidget *form) {
        auto *edit = form->findChild<QLineEdit *>(QStringLiteral("le_intvmax"));
        QVERIFY(edit);
        const QString before = edit->text();
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("9"));
        QCOMPARE(edit->text(), before);
    };
    // At start-up the pane shows a form that belongs to no set: nothing can be typed into it.
    CAdvBaseWidget *preview = rig.shownForm();
    QVERIFY(qobject_cast<CAdvLegacyWidget *>(preview));
    QVERIFY(!preview->isEnabled());
    typeInto(preview);

    // So does the preview of the type chosen in a cancelled new-set dialog.
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *dialog) {
        dialog->findChild<CStyledComboBox *>(QStringLiteral("comboBox_AdvType"))->setCurrentText(kExtended);
        dialog->findChild<QPushButton *>(QStringLiteral("PB_Cancle"))->click();
    });
    rig.button("btnAddAdvList")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(!rig.shownForm()->isEnabled());

    // A set's own form is the one to type into.
    rig.addSet(kLegacy, 0);
    CAdvBaseWidget *setForm = rig.shownForm();
    QVERIFY(setForm->isEnabled());
    auto *edit = setForm->findChild<QLineEdit *>(QStringLiteral("le_intvmax"));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("200"));
    QCOMPARE(edit->text(), QStringLiteral("200"));

    rig.button("btnClearAdvList")->click();
    QVERIFY(rig.shownForm() != setForm);
    QVERIFY(!rig.shownForm()->isEnabled());
    rig.addSet(kLegacy, 1);
    rig.page.resetAdvList();
    QVERIFY(!rig.shownForm()->isEnabled());
    QVERIFY(!rig.button("btnStartAdv")->isEnabled());
    QCOMPARE(rig.currentRow(), -1);
}

void TestAdvPage::startWaitsForTheStartUnderWay()
{
    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.addStartableSet(kLegacy, 1);
    rig.dongle.setSilent(true);
    QToolButton *start = rig.button("btnStartAdv");
    rig.press(0);
    start->click();
    QVERIFY(rig.waitForDownlinks(1));
    // The acknowledgements carry no index: no other start may begin before this one ends.
    QVERIFY(!start->isEnabled());
    rig.press(1);
    QVERIFY(!start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    QTest::qWait(30);
    QCOMPARE(rig.dongle.receivedCount(), 1);

    QVERIFY(rig.feed(status(0x23)));
    QVERIFY(rig.waitForDownlinks(2));
    QVERIFY(rig.feed(status(0x25)));
    QVERIFY(rig.waitForDownlinks(3));
    QVERIFY(rig.feed(status(0x27)));
    QVERIFY(rig.feed(AdvertisingBehaviour::startEvent(0, 0)));
    QCOMPARE(rig.dongle.receivedIds(), (QStringList{"01@23", "01@25", "01@27"}));
    for (const QByteArray &frame : rig.dongle.receivedBytes())
        QCOMPARE(frame.mid(5, 1), hex("00"));
    QVERIFY(AdvPageDriver::rowAdvertising(&rig.page, 0));

    // Set 1 is still the highlighted one, and now it can start.
    QCOMPARE(rig.currentRow(), 1);
    QVERIFY(start->isEnabled());
    rig.dongle.setSilent(false);
    start->click();
    QVERIFY(rig.waitUntil([&] { return AdvPageDriver::rowAdvertising(&rig.page, 1); }));
    QCOMPARE(rig.recorder->count(kRowError), 0);
    QCOMPARE(rig.unexpectedLines(), 0);
}

void TestAdvPage::acknowledgementsMatchTheAwaitedStep_data()
{
    QTest::addColumn<QList<int>>("acknowledged");
    QTest::addColumn<int>("unexpected");
    // The page sends parameters (01@23), then data (01@25), then the start (01@27).
    QTest::newRow("data before parameters") << QList<int>{0x25, 0x23, 0x25, 0x27} << 1;
    QTest::newRow("each twice") << QList<int>{0x23, 0x23, 0x25, 0x25, 0x27, 0x27} << 3;
    QTest::newRow("another kind's steps") << QList<int>{0x2B, 0x31, 0x23, 0x2D, 0x33, 0x25, 0x2F, 0x27} << 4;
    QTest::newRow("start before data") << QList<int>{0x23, 0x27, 0x25, 0x27} << 1;
}

void TestAdvPage::acknowledgementsMatchTheAwaitedStep()
{
    QFETCH(QList<int>, acknowledged);
    QFETCH(int, unexpected);

    PageRig rig;
    QVERIFY(rig.openAndSync());
    rig.addStartableSet(kLegacy, 0);
    rig.dongle.setSilent(true);
    rig.press(0);
    rig.button("btnStartAdv")->click();
    QVERIFY(rig.waitForDownlinks(1));
    for (int opcode : acknowledged) {
        QVERIFY(rig.feed(status(quint8(opcode))));
        QTest::qWait(20);
        // The set is not shown advertising before the dongle says so.
        QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Start Advertising"));
    }
    QVERIFY(rig.waitForDownlinks(3));
    QTest::qWait(30);
    QCOMPARE(rig.dongle.receivedIds(), (QStringList{"01@23", "01@25", "01@27"}));
    // The data went out once, before the start.
    QCOMPARE(rig.dongle.receivedBytes().at(1).mid(5, 1), hex("00"));
    QCOMPARE(rig.unexpectedLines(), unexpected);
    QCOMPARE(rig.recorder->count(kRowError), 0);
    QVERIFY(rig.feed(AdvertisingBehaviour::startEvent(0, 0)));
    QCOMPARE(rig.button("btnStartAdv")->text(), QStringLiteral("Stop Advertising"));
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
    QVERIFY(createBig->isVisible());
    QTest::mouseClick(createBig, Qt::LeftButton);
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
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    rig.button("btnStartAdv")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(answerer.seen().first().text.contains(QStringLiteral("(SDK ERR INVALID ADV IDX)")));
    QVERIFY(!rig.recorder->texts().filter("SDK ERR INVALID ADV IDX").isEmpty());
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
