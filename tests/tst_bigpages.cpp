#include "bigdatatablemodel.h"
#include "bigfields.h"
#include "bigparameterdialog.h"
#include "bisdatatablemodel.h"
#include "bisparameterdialog.h"
#include "cvalidatelineedit.h"
#include "datafolder.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "manageciswidget.h"
#include "masterbigwidget.h"
#include "modalanswerer.h"
#include "widgetprobe.h"
#include "receivedatatablemodel.h"
#include "simbehaviour_big.h"
#include "simbehaviour_iso.h"
#include "slavebigdatatablemodel.h"
#include "slavebigparadialog.h"
#include "slavebigwidget.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

const QString ZeroCode = QStringLiteral("00000000000000000000000000000000");

bigParameter big(const QString &id, quint8 status = 0)
{
    bigParameter record;
    record.bigId = id;
    record.mse = "3";
    record.bigSyncTimeout = "5000";
    record.encryption = "0";
    record.broadcastCode = ZeroCode;
    record.status = status;
    return record;
}

bisParameter bis(const QString &id, const QString &handle = QString())
{
    bisParameter record;
    record.bisId = id;
    record.bisHandle = handle;
    return record;
}

slaveBigPara slaveBig(const QString &id, const QString &numBis = "2", quint8 status = 0)
{
    slaveBigPara record;
    record.bigId = id;
    record.numBis = numBis;
    record.sduInterval = "10000";
    record.maxSdu = "100";
    record.transportLatency = "20";
    record.rtn = "2";
    record.phy = "2";
    record.packing = "1";
    record.framing = "0";
    record.encryption = "1";
    record.broadcastCode = "00112233445566778899aabbccddeeff";
    record.status = status;
    return record;
}

QStringList comboItems(QWidget *editor)
{
    QStringList items;
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
    }
    return items;
}

QString rowText(const QAbstractItemModel &model, int row)
{
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.index(row, column).data().toString();
    return cells.join(QLatin1Char('|'));
}

// Which of the five BIG buttons are enabled, in the order edit, remove, create, terminate (and add BIS).
QString enabledButtons(QWidget *page)
{
    QString enabled;
    for (const char *name : {"toolButton_editBIG", "toolButton_removeBIG", "toolButton_createBIG",
                             "toolButton_terminateBIG", "toolButton_addBIS"}) {
        if (auto *button = page->findChild<QToolButton *>(QLatin1String(name)))
            enabled += button->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    }
    return enabled;
}

// Receive-only and send-only panels: which of the panel's two parts shows.
bool receivesOnly(manageCISWidget *panel)
{
    return !WidgetProbe::child<QFrame>(panel, "frame_rcvData")->isHidden() && WidgetProbe::child<QFrame>(panel, "frame_sendData")->isHidden();
}
bool sendsOnly(manageCISWidget *panel)
{
    return WidgetProbe::child<QFrame>(panel, "frame_rcvData")->isHidden() && !WidgetProbe::child<QFrame>(panel, "frame_sendData")->isHidden();
}

// A BIG page on a link to the simulated dongle.
template <typename Page>
struct PageRig
{
    PageRig() : rig(QStringLiteral("big"), 2)
    {
        IsoBehaviour::install(rig.dongle);
        behaviour = BigBehaviour::install(rig.dongle);
        opened = rig.openAndSync();
        page = new Page(&rig.link, &rig.logs, &settings, QStringLiteral("big-test"));
    }
    ~PageRig()
    {
        delete page;
        QDir(Platform::dataFolder() + QStringLiteral("/big-test")).removeRecursively();
    }

    QList<QByteArray> framesOf(const QString &id) const
    {
        QList<QByteArray> frames;
        for (const auto &frame : rig.dongle.receivedFrames()) {
            if (frame.id == id)
                frames << frame.bytes;
        }
        return frames;
    }
    bool waitForFrameOf(const QString &id, int count = 1)
    {
        return QTest::qWaitFor([&] { return framesOf(id).size() >= count; }, 5000);
    }
    void pressBig(int row)
    {
        auto *view = WidgetProbe::child<QTableView>(page, "tableView_BIG");
        view->setCurrentIndex(page->bigModel()->index(row, 0));
        page->on_BIGTableView_changed(page->bigModel()->index(row, 0));
    }
    void pressBis(int row)
    {
        auto *view = WidgetProbe::child<QTableView>(page, "tableView_BIS");
        view->setCurrentIndex(page->bisModel()->index(row, 0));
        page->on_BISTableView_changed(page->bisModel()->index(row, 0));
    }
    // Sends an uplink and waits until the page has seen it; a box it raises is answered.
    QStringList deliver(const QByteArray &frame)
    {
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        const int before = rig.uplinks.count();
        rig.dongle.sendUplink(frame);
        if (!QTest::qWaitFor([&] { return rig.uplinks.count() > before; }, 5000))
            return {QStringLiteral("no uplink")};
        QTest::qWait(20);
        QStringList boxes;
        for (const ModalAnswerer::Seen &seen : answerer.seen())
            boxes << seen.text;
        return boxes;
    }
    int statusLines(const QString &name) const
    {
        int count = 0;
        for (const auto &line : rig.recorder->lines()) {
            if (line.second == 4
                && line.first.startsWith(QStringLiteral("[Complete Result] Uplink Command Name:") + name + " Result:"))
                ++count;
        }
        return count;
    }
    bool logged(const QString &line, int level) const
    {
        return rig.recorder->lines().contains(qMakePair(line, level));
    }

    QToolButton *button(const char *name) const { return WidgetProbe::child<QToolButton>(page, name); }
    // Which of the given buttons are enabled, in their order.
    QString enabled(const QList<const char *> &names) const
    {
        QString result;
        for (const char *name : names)
            result += button(name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return result;
    }
    int heldBigs() const
    {
        const auto &bigs = page->bigModel()->records();
        return int(std::count_if(bigs.cbegin(), bigs.cend(), [](const auto &b) { return b.status == 1; }));
    }
    // A user's step, through the buttons as they are.
    bool step(const QString &what)
    {
        const int rows = page->bigModel()->rowCount();
        const int held = heldBigs();
        if (what == "big" || what == "edit" || what == "bis") {
            const int bisRows = page->bisModel()->rowCount();
            ModalAnswerer answerer;
            answerer.click("pushButton_ok");
            button(what == "big" ? "toolButton_addBIG" : what == "edit" ? "toolButton_editBIG" : "toolButton_addBIS")
                ->click();
            if (!answerer.waitUntilAnswered(2000))
                return false;
            return what == "big" ? page->bigModel()->rowCount() == rows + 1
                 : what == "bis" ? page->bisModel()->rowCount() == bisRows + 1
                                 : true;
        }
        if (what == "press bis") {
            pressBis(0);
            return true;
        }
        if (what == "create") {
            button("toolButton_createBIG")->click();
            return QTest::qWaitFor([&] { return heldBigs() > held; }, 3000);
        }
        if (what == "terminate") {
            button("toolButton_terminateBIG")->click();
            return QTest::qWaitFor([&] { return page->bigModel()->rowCount() < rows; }, 3000);
        }
        return false;
    }

    LinkRig rig;
    BigBehaviour *behaviour = nullptr;
    QMap<QString, QVariant> settings;
    Page *page = nullptr;
    bool opened = false;
};

using ReceiverRig = PageRig<MasterBIGWidget>;
using BroadcasterRig = PageRig<SlaveBIGWidget>;

// A receiver with BIG "0" holding BISes 1 and 2, added while the sync handle was 5.
void listOneBig(ReceiverRig &r)
{
    r.page->syncHandle = 5;
    r.page->on_rcvBIGPara(big("0"));
    r.pressBig(0);
    r.page->on_rcvBISPara(bis("1"));
    r.page->on_rcvBISPara(bis("2"));
}

} // namespace

class TestBigPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<bigParameter>();
        qRegisterMetaType<bisParameter>();
        qRegisterMetaType<slaveBigPara>();
    }

    // The code field goes out last pair first, in the case typed.
    void broadcastCodeFieldReversesThePairs_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("field");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("two pairs") << "0a1B" << "1B0a";
        QTest::newRow("whole code") << "00112233445566778899aabbccddeeff" << "ffeeddccbbaa99887766554433221100";
        QTest::newRow("odd count: the lone first digit is dropped") << "abc" << "bc";
    }
    void broadcastCodeFieldReversesThePairs()
    {
        QFETCH(QString, code);
        QFETCH(QString, field);
        QCOMPARE(BigFields::codeField(code), field);
    }

    // ---- models ----

    void receiverModelShowsItsCells_data()
    {
        QTest::addColumn<QString>("encryption");
        QTest::addColumn<QString>("row");
        QTest::newRow("unencrypted") << "0" << "4|3|5000|UnEncrypted|" + ZeroCode + "|";
        QTest::newRow("encrypted") << "1" << "4|3|5000|Encrypted|" + ZeroCode + "|";
        QTest::newRow("unknown code") << "2" << "4|3|5000||" + ZeroCode + "|";
    }
    void receiverModelShowsItsCells()
    {
        QFETCH(QString, encryption);
        QFETCH(QString, row);
        BigDataTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QStringList titles;
        for (int c = 0; c < model.columnCount(); ++c)
            titles << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"BIGID", "MSE", "ST(ms)", "Encryption", "Bcode", "Status"}));
        bigParameter record = big("4");
        record.encryption = encryption;
        model.records() << record;
        model.refresh();
        QCOMPARE(rowText(model, 0), row);
        QVERIFY(model.setData(model.index(0, 0), "9"));
        QCOMPARE(model.records().first().bigId, QStringLiteral("4"));
    }

    void broadcasterModelShowsCodesAsText_data()
    {
        QTest::addColumn<QString>("phy");
        QTest::addColumn<QString>("packing");
        QTest::addColumn<QString>("framing");
        QTest::addColumn<QString>("encryption");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("known") << "4" << "1" << "0" << "1"
                               << QStringList({"LE Coded", "Interleaved", "UnFramed", "Encrypted"});
        QTest::newRow("first") << "1" << "0" << "1" << "0"
                               << QStringList({"LE 1M", "Sequential", "Framed", "UnEncrypted"});
        QTest::newRow("unknown") << "3" << "2" << "5" << "7" << QStringList({"", "", "", ""});
        // A text that is no number reads as 0: a PHY 0 has no name, the others do.
        QTest::newRow("no number") << "x" << "" << "y" << ""
                                   << QStringList({"", "Sequential", "UnFramed", "UnEncrypted"});
    }
    void broadcasterModelShowsCodesAsText()
    {
        QFETCH(QString, phy);
        QFETCH(QString, packing);
        QFETCH(QString, framing);
        QFETCH(QString, encryption);
        QFETCH(QStringList, cells);
        SlaveBigDataTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        slaveBigPara record = slaveBig("2");
        record.advIndex = "7";
        record.phy = phy;
        record.packing = packing;
        record.framing = framing;
        record.encryption = encryption;
        model.records() << record;
        model.refresh();
        QCOMPARE(model.columnCount(), 13);
        QCOMPARE(model.headerData(11, Qt::Horizontal).toString(), QStringLiteral("Bcode"));
        QCOMPARE(rowText(model, 0).section('|', 0, 6), QStringLiteral("2|7|2|10000|100|20|2"));
        QCOMPARE((QStringList{model.index(0, 7).data().toString(), model.index(0, 8).data().toString(),
                              model.index(0, 9).data().toString(), model.index(0, 10).data().toString()}),
                 cells);
        QCOMPARE(model.index(0, 11).data().toString(), QStringLiteral("00112233445566778899aabbccddeeff"));
    }

    void statusShowsAsIconOnly()
    {
        BigDataTableModel receivers;
        SlaveBigDataTableModel broadcasters;
        receivers.records() << big("0", 0) << big("1", 1);
        broadcasters.records() << slaveBig("0", "1", 0) << slaveBig("1", "1", 1);
        receivers.refresh();
        broadcasters.refresh();
        QVERIFY(!receivers.index(0, 5).data(Qt::DecorationRole).isValid());
        QVERIFY(receivers.index(1, 5).data(Qt::DecorationRole).isValid());
        QVERIFY(!receivers.index(1, 5).data().isValid());
        QVERIFY(!broadcasters.index(0, 12).data(Qt::DecorationRole).isValid());
        QVERIFY(broadcasters.index(1, 12).data(Qt::DecorationRole).isValid());
        QVERIFY(!broadcasters.index(1, 12).data().isValid());
        QVERIFY(!receivers.headerData(0, Qt::Vertical).isValid());
        QVERIFY(!receivers.index(0, 0).data(Qt::ToolTipRole).isValid());
    }


    void bisModelShowsIdAndHandle()
    {
        BisDataTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("BIS Connection Handle"));
        QVector<bisParameter> list = {bis("1"), bis("2", "17")};
        model.setRecords(list);
        QCOMPARE(rowText(model, 0), QStringLiteral("1|"));
        QCOMPARE(rowText(model, 1), QStringLiteral("2|17"));
        // Its own list handed back only resets.
        model.setRecords(model.records());
        QCOMPARE(model.rowCount(), 2);
        model.removeRecord(0);
        QCOMPARE(rowText(model, 0), QStringLiteral("2|17"));
        model.clear();
        QCOMPARE(model.rowCount(), 0);
    }

    // ---- dialogs ----

    void receiverDialogEmitsItsDefaults()
    {
        bigParameterDialog dialog(nullptr);
        QSignalSpy spy(&dialog, &bigParameterDialog::sig_bigParaUpdate);
        QCOMPARE(comboItems(WidgetProbe::editorOf(&dialog, "Encryption")), QStringList({"Encrypted", "Unencrypted"}));
        dialog.on_pushButton_ok_clicked();
        dialog.on_pushButton_ok_clicked();
        const bigParameter first = spy.at(0).at(0).value<bigParameter>();
        QCOMPARE((QStringList{first.bigId, first.mse, first.bigSyncTimeout, first.encryption, first.broadcastCode}),
                 QStringList({"0", "3", "5000", "0", ZeroCode}));
        QCOMPARE(spy.at(1).at(0).value<bigParameter>().bigId, QStringLiteral("1"));
        // The code takes a row of its own under the other fields.
        auto *grid = dialog.findChild<QGridLayout *>(QStringLiteral("gridLayout"));
        QVERIFY(grid);
        QCOMPARE(qobject_cast<QLabel *>(grid->itemAtPosition(2, 0)->widget())->text(), QStringLiteral("BroadcastCode"));
    }

    void broadcastCodeKeepsTheTypedOrder()
    {
        SlaveBIGParaDialog dialog(nullptr);
        QSignalSpy spy(&dialog, &SlaveBIGParaDialog::sig_bigParaUpdate);
        auto *code = qobject_cast<CValidateLineEdit *>(WidgetProbe::editorOf(&dialog, "BroadcastCode"));
        QVERIFY(code);
        code->setText("0a:1b:2c");
        dialog.on_pushButton_ok_clicked();
        const slaveBigPara record = spy.at(0).at(0).value<slaveBigPara>();
        QCOMPARE(record.broadcastCode, QStringLiteral("0a1b2c") + QString(26, QLatin1Char('0')));
        QCOMPARE(code->text(), QStringLiteral("0a:1b:2c") + QStringLiteral(":00").repeated(13));
        QCOMPARE((QStringList{record.numBis, record.sduInterval, record.maxSdu, record.transportLatency, record.rtn,
                              record.phy, record.packing, record.framing, record.encryption}),
                 QStringList({"1", "100000", "240", "100", "2", "1", "0", "0", "0"}));
        QVERIFY(record.advIndex.isEmpty());
    }

    void broadcasterEditorsHoldTheirLimits_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("emitted");
        QTest::addColumn<QString>("box"); // a refusal: nothing is emitted
        // Beyond its limits a value is refused where it was typed, never raised to them.
        QTest::newRow("no BIS") << "Number BIS" << "0" << QString()
                                << "Number BIS: \"0\" cannot be sent; enter a whole number from 1 to 31.";
        QTest::newRow("short interval")
            << "SDU Interval(us)" << "100" << QString()
            << "SDU Interval(us): \"100\" cannot be sent; enter a whole number from 255 to 16777215.";
        QTest::newRow("max sdu") << "Max SDU" << "251" << "251" << QString();
    }
    void broadcasterEditorsHoldTheirLimits()
    {
        QFETCH(QString, title);
        QFETCH(QString, typed);
        QFETCH(QString, emitted);
        QFETCH(QString, box);
        SlaveBIGParaDialog dialog(nullptr);
        QSignalSpy spy(&dialog, &SlaveBIGParaDialog::sig_bigParaUpdate);
        auto *edit = qobject_cast<CValidateLineEdit *>(WidgetProbe::editorOf(&dialog, title));
        QVERIFY(edit);
        edit->setText(typed);
        ModalAnswerer answerer;
        if (!box.isEmpty())
            answerer.click(QStringLiteral("m_pbOk"));
        dialog.on_pushButton_ok_clicked();
        QCOMPARE(answerer.seen().value(0).text, box);
        if (!box.isEmpty()) {
            QVERIFY(spy.isEmpty());
            QCOMPARE(edit->text(), typed);
            return;
        }
        const slaveBigPara record = spy.at(0).at(0).value<slaveBigPara>();
        const QMap<QString, QString> byTitle = {{"Number BIS", record.numBis},
                                                {"SDU Interval(us)", record.sduInterval},
                                                {"Max SDU", record.maxSdu}};
        QCOMPARE(byTitle.value(title), emitted);
    }

    void editingShowsTheRecordAndKeepsItsId()
    {
        SlaveBIGParaDialog dialog(nullptr);
        QSignalSpy spy(&dialog, &SlaveBIGParaDialog::sig_bigParaUpdate);
        slaveBigPara shown = slaveBig("6", "3");
        shown.advIndex = "2";
        dialog.m_editMode = true;
        dialog.setParameter(shown);
        dialog.on_pushButton_ok_clicked();
        slaveBigPara edited = spy.at(0).at(0).value<slaveBigPara>();
        QVERIFY(edited.advIndex.isEmpty());
        edited.advIndex = shown.advIndex;
        SlaveBigDataTableModel before, after;
        before.records() << shown;
        after.records() << edited;
        QCOMPARE(rowText(after, 0), rowText(before, 0));
        QCOMPARE(dialog.nextId(), quint8(0));
    }

    void bisDialogKeepsItsRange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("emitted"); // empty: refused, nothing emitted
        QTest::newRow("ten") << "10" << "10";
        QTest::newRow("highest") << "31" << "31";
        QTest::newRow("zero") << "0" << QString();
    }
    void bisDialogKeepsItsRange()
    {
        QFETCH(QString, typed);
        QFETCH(QString, emitted);
        bisParameterDialog dialog(nullptr);
        QSignalSpy spy(&dialog, &bisParameterDialog::sig_bisParaUpdate);
        WidgetProbe::child<CValidateLineEdit>(&dialog, "lineEdit_bisID")->setText(typed);
        ModalAnswerer answerer;
        if (emitted.isEmpty())
            answerer.click(QStringLiteral("m_pbOk"));
        dialog.on_pushButton_ok_clicked();
        if (emitted.isEmpty()) {
            QVERIFY(spy.isEmpty());
            QCOMPARE(answerer.seen().value(0).text,
                     QStringLiteral("BIS ID: \"0\" cannot be sent; enter a whole number from 1 to 31."));
            return;
        }
        const bisParameter record = spy.at(0).at(0).value<bisParameter>();
        QCOMPARE(record.bisId, emitted);
        QVERIFY(record.bisHandle.isEmpty());
    }

    // ---- the receiver on the simulated dongle ----

    void receiverSynchronisesAndLeaves()
    {
        ReceiverRig r;
        QVERIFY(r.opened);
        r.behaviour->setFirstHandle(16);
        listOneBig(r);
        QCOMPARE(enabledButtons(r.page), QStringLiteral("11101"));
        r.page->on_toolButton_createBIG_clicked();
        QVERIFY(r.waitForFrameOf("06@09"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@09").first()),
                 QByteArray::fromHex("00050002 00 00000000000000000000000000000000 03 8813 0102"));

        QVERIFY(QTest::qWaitFor([&] { return r.page->bigModel()->records().first().status == 1; }, 5000));
        QCOMPARE(rowText(*r.page->bisModel(), 0), QStringLiteral("1|16"));
        QCOMPARE(rowText(*r.page->bisModel(), 1), QStringLiteral("2|17"));
        QCOMPARE(enabledButtons(r.page), QStringLiteral("00010"));
        QVERIFY(!r.page->canClose());
        QPointer<manageCISWidget> first = r.page->panel(16);
        QPointer<manageCISWidget> second = r.page->panel(17);
        QVERIFY(first && second);
        QVERIFY(receivesOnly(first) && receivesOnly(second));

        // Received SDUs go to the panel of their handle only.
        r.deliver(IsoBehaviour::receiveIsoData(17, 100, 1, 0, QByteArray::fromHex("aabb")));
        QCOMPARE(second->receiveModel()->rowCount(), 1);
        QCOMPARE(first->receiveModel()->rowCount(), 0);
        r.pressBis(1);
        QCOMPARE(r.page->shownPanel(), second.data());
        QCOMPARE(WidgetProbe::child<QLabel>(r.page, "label_bisName")->text(), QStringLiteral("BIS Connection Handle: 17"));

        // A result for a BIG the page does not list leaves it as it is.
        QVERIFY(r.deliver(BigBehaviour::terminateSyncResult(0, 9)).isEmpty());
        QCOMPARE(r.page->bigModel()->rowCount(), 1);
        QVERIFY(first && second);
        QVERIFY(r.logged("The returned big ID is wrong in Big Terminate Sync command.", 4));

        r.pressBig(0);
        r.page->on_toolButton_terminateBIG_clicked();
        QVERIFY(r.waitForFrameOf("06@0A"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@0A").first()), QByteArray::fromHex("00"));
        QVERIFY(QTest::qWaitFor([&] { return r.page->bigModel()->rowCount() == 0; }, 5000));
        QTRY_VERIFY(!first && !second);
        QVERIFY(r.page->panelHandles().isEmpty());
        QVERIFY(!r.page->shownPanel()->isEnabled());
        QCOMPARE(r.page->shownPanel()->handle(), QStringLiteral("4095"));
        QCOMPARE(enabledButtons(r.page), QStringLiteral("00000"));
        QVERIFY(r.page->canClose());
        QVERIFY(r.logged("BIG Terminate Sync succeed.", 2));
    }

    void receiverCreateSyncRequests_data()
    {
        QTest::addColumn<int>("bisCount");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("twelve") << 12 << QByteArray::fromHex("0c 00 00000000000000000000000000000000 03 8813"
                                                              "010203040506070809 0a0b0c");
        QTest::newRow("emptied list") << 0 << QByteArray::fromHex("00 00 00000000000000000000000000000000 03 8813");
    }
    void receiverCreateSyncRequests()
    {
        QFETCH(int, bisCount);
        QFETCH(QByteArray, tail);
        ReceiverRig r;
        QVERIFY(r.opened);
        r.behaviour->setAckStatus(1);
        r.page->on_rcvBIGPara(big("0"));
        r.pressBig(0);
        r.page->on_rcvBISPara(bis("1"));
        if (bisCount == 0) {
            r.pressBis(0);
            r.page->on_toolButton_removeBIS_clicked();
            r.pressBig(0);
        }
        for (int i = 2; i <= bisCount; ++i)
            r.page->on_rcvBISPara(bis(QString::number(i)));
        QVERIFY(WidgetProbe::child<QToolButton>(r.page, "toolButton_createBIG")->isEnabled());
        r.page->on_toolButton_createBIG_clicked();
        QVERIFY(r.waitForFrameOf("06@09"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@09").first()), QByteArray::fromHex("00 0000") + tail);
    }

    void receiverListsKeepTheirSyncHandles()
    {
        ReceiverRig r;
        QVERIFY(r.opened);
        r.behaviour->setAckStatus(1);
        r.page->syncHandle = 1;
        r.page->on_rcvBIGPara(big("0"));
        r.page->syncHandle = 2;
        r.page->on_rcvBIGPara(big("1"));
        // Without a BIS the BIG cannot be synchronised.
        r.pressBig(1);
        QVERIFY(!WidgetProbe::child<QToolButton>(r.page, "toolButton_createBIG")->isEnabled());
        r.page->on_rcvBISPara(bis("4"));
        r.pressBig(0);
        r.page->on_toolButton_removeBIG_clicked();
        QCOMPARE(r.page->bigModel()->rowCount(), 1);
        // The row that became current leads the buttons and the BIS table.
        QCOMPARE(enabledButtons(r.page), QStringLiteral("11101"));
        QCOMPARE(rowText(*r.page->bisModel(), 0), QStringLiteral("4|"));
        r.page->on_toolButton_createBIG_clicked();
        QVERIFY(r.waitForFrameOf("06@09"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@09").first()).mid(0, 4), QByteArray::fromHex("01020001"));
    }

    void receiverRemoveRefusesASynchronisedBig()
    {
        ReceiverRig r;
        QVERIFY(r.opened);
        r.page->on_rcvBIGPara(big("0"));
        r.page->on_rcvBIGPara(big("1"));
        r.pressBig(1);
        r.page->on_rcvBISPara(bis("1"));
        r.deliver(BigBehaviour::createSyncResult(0, 1, {0x30}));
        QCOMPARE(r.page->bigModel()->records().at(1).status, quint8(1));
        r.pressBig(0);
        r.page->on_toolButton_removeBIG_clicked();
        // The synchronised BIG is now current: its buttons show, and it refuses Remove and Edit.
        QCOMPARE(enabledButtons(r.page), QStringLiteral("00010"));
        QCOMPARE(rowText(*r.page->bisModel(), 0), QStringLiteral("1|48"));
        r.page->on_toolButton_removeBIG_clicked();
        QCOMPARE(r.page->bigModel()->rowCount(), 1);
        ModalAnswerer answerer;
        r.page->on_toolButton_editBIG_clicked();
        QTest::qWait(50);
        QVERIFY(answerer.seen().isEmpty());
        // Removing the last listed BIG leaves no button of a row enabled.
        r.deliver(BigBehaviour::terminateSyncResult(0, 1));
        QCOMPARE(r.page->bigModel()->rowCount(), 0);
        QCOMPARE(enabledButtons(r.page), QStringLiteral("00000"));
    }

    void receiverResultsFindTheirBig_data()
    {
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("handlesOfBig1");
        QTest::newRow("other row's BIG") << BigBehaviour::createSyncResult(0, 1, {0x21, 0x22}) << QString()
                                         << "33,34";
        QTest::newRow("unknown BIG") << BigBehaviour::createSyncResult(0, 5, {0x21, 0x22})
                                     << "The returned big ID is wrong in BIG Create Sync command." << ",";
        QTest::newRow("wrong count") << BigBehaviour::createSyncResult(0, 1, {0x21})
                                     << "The returned BIS count is wrong in BIG Create Sync command." << ",";
        QTest::newRow("failed") << BigBehaviour::createSyncResult(0x0C, 1, {}) << QString() << ",";
        QTest::newRow("failed, count kept") << BigBehaviour::createSyncResult(0x0C, 1, 2, {}) << QString() << ",";
        // Handles beyond the BIS list are not written past it.
        QTest::newRow("more handles than rows")
            << BigBehaviour::createSyncResult(0, 1, 2, QByteArray::fromHex("210022002300")) << QString() << "33,34";
    }
    void receiverResultsFindTheirBig()
    {
        QFETCH(QByteArray, result);
        QFETCH(QString, box);
        QFETCH(QString, handlesOfBig1);
        ReceiverRig r;
        QVERIFY(r.opened);
        r.page->on_rcvBIGPara(big("0"));
        r.page->on_rcvBIGPara(big("1"));
        r.pressBig(1);
        r.page->on_rcvBISPara(bis("1"));
        r.page->on_rcvBISPara(bis("2"));
        r.pressBig(0);
        r.page->on_rcvBISPara(bis("3"));
        const QStringList boxes = r.deliver(result);
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList(box));
        // A failure is reported by its status, whatever count it carries.
        const bool failed = QByteArray(QTest::currentDataTag()).startsWith("failed");
        QCOMPARE(r.statusLines("BIG Create Sync"), failed ? 1 : 0);
        const QVector<bisParameter> list = r.page->bisList("1");
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).bisHandle + "," + list.at(1).bisHandle, handlesOfBig1);
        const bool synchronised = !list.at(0).bisHandle.isEmpty();
        QCOMPARE(r.page->bigModel()->records().at(1).status, quint8(synchronised ? 1 : 0));
        QCOMPARE(r.page->panelHandles().size(), synchronised ? 2 : 0);
        // The row on display stays the current one, with its own BIS list.
        QCOMPARE(r.page->bigModel()->records().at(0).status, quint8(0));
        QCOMPARE(rowText(*r.page->bisModel(), 0), QStringLiteral("3|"));
        QCOMPARE(enabledButtons(r.page), QStringLiteral("11101"));
    }

    void aPanelReplacedUnderItsHandleIsDeleted()
    {
        ReceiverRig r;
        QVERIFY(r.opened);
        listOneBig(r);
        r.deliver(BigBehaviour::createSyncResult(0, 0, {0x40, 0x41}));
        QPointer<manageCISWidget> old = r.page->panel(0x40);
        QVERIFY(old);
        r.pressBis(0);
        QCOMPARE(r.page->shownPanel(), old.data());
        r.deliver(BigBehaviour::createSyncResult(0, 0, {0x40, 0x41}));
        QTRY_VERIFY(!old);
        QVERIFY(r.page->panel(0x40));
        QCOMPARE(r.page->findChildren<manageCISWidget *>().size(), 3);
        QCOMPARE(r.page->shownPanel()->handle(), QStringLiteral("4095"));
    }

    void relayedResultsOfOtherHandlesReachNoPanel()
    {
        ReceiverRig r;
        QVERIFY(r.opened);
        listOneBig(r);
        r.deliver(BigBehaviour::createSyncResult(0, 0, {0x40, 0x41}));
        QCOMPARE(r.deliver(IsoBehaviour::dataPathResult(0x09, 0, 0x99)), QStringList());
        QCOMPARE(r.deliver(IsoBehaviour::receiveIsoData(0x99, 1, 1, 0, "x")), QStringList());
        QCOMPARE(r.page->panel(0x40)->receiveModel()->rowCount(), 0);
        r.deliver(IsoBehaviour::txSyncResult(0, 0x41, 7, 8, 9));
        QCOMPARE(WidgetProbe::child<QLineEdit>(r.page->panel(0x41), "lineEdit_packetSN")->text(), QStringLiteral("7"));
    }

    // ---- the broadcaster on the simulated dongle ----

    void broadcasterCreatesAndTerminates()
    {
        BroadcasterRig r;
        QVERIFY(r.opened);
        r.behaviour->setFirstHandle(16);
        // Without its advertising set the page keeps nothing.
        r.page->on_rcvBIGPara(slaveBig("0"));
        QCOMPARE(r.page->bigModel()->rowCount(), 0);
        QVERIFY(r.logged("Please set slave BIG Widget adv Index before set BIG.", 1));

        r.page->advIndex = "3";
        r.page->on_rcvBIGPara(slaveBig("0", "3"));
        QCOMPARE(rowText(*r.page->bisModel(), 2), QStringLiteral("2|"));
        QCOMPARE(r.page->bigModel()->records().first().advIndex, QStringLiteral("3"));
        r.pressBig(0);
        ModalAnswerer answerer;
        answerer.answerWith([](QWidget *dialog) {
            qobject_cast<CValidateLineEdit *>(WidgetProbe::editorOf(dialog, "Number BIS"))->setText("2");
            WidgetProbe::child<QPushButton>(dialog, "pushButton_ok")->click();
        });
        r.page->on_toolButton_editBIG_clicked();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(r.page->bigModel()->rowCount(), 1);
        QCOMPARE(r.page->bigModel()->records().first().bigId, QStringLiteral("0"));
        QCOMPARE(r.page->bisModel()->rowCount(), 2);
        r.pressBig(0);
        QCOMPARE(enabledButtons(r.page), QStringLiteral("1110"));
        r.pressBis(1);
        QCOMPARE(r.page->shownPanel()->handle(), QStringLiteral("4095"));
        QCOMPARE(WidgetProbe::child<QLabel>(r.page, "label_bisName")->text(), QStringLiteral("BIS Connection Handle: "));

        r.page->on_toolButton_createBIG_clicked();
        QVERIFY(r.waitForFrameOf("06@07"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@07").first()),
                 QByteArray::fromHex("00 03 02 10270000 6400 1400 02 02 01 00 01 00112233445566778899aabbccddeeff"));
        QVERIFY(QTest::qWaitFor([&] { return r.page->bigModel()->records().first().status == 1; }, 5000));
        QCOMPARE(rowText(*r.page->bisModel(), 0), QStringLiteral("0|16"));
        QCOMPARE(rowText(*r.page->bisModel(), 1), QStringLiteral("1|17"));
        QCOMPARE(enabledButtons(r.page), QStringLiteral("0001"));
        QVERIFY(!r.page->canClose());
        QPointer<manageCISWidget> first = r.page->panel(16);
        QPointer<manageCISWidget> second = r.page->panel(17);
        QVERIFY(first && second);
        QVERIFY(sendsOnly(first) && sendsOnly(second));
        QVERIFY(!WidgetProbe::child<QLineEdit>(second, "lineEdit_interval")->isEnabled());
        QCOMPARE(WidgetProbe::child<QLineEdit>(second, "lineEdit_interval")->text(), QStringLiteral("10000"));
        r.pressBis(1);
        QCOMPARE(r.page->shownPanel(), second.data());
        QCOMPARE(WidgetProbe::child<QLabel>(r.page, "label_bisName")->text(), QStringLiteral("BIS Connection Handle: 17"));

        // The panel sends on its own handle; received data is not this page's.
        WidgetProbe::child<QPushButton>(second, "pushButton_send")->click();
        QVERIFY(r.waitForFrameOf("06@0E"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@0E").first()), QByteArray::fromHex("1100 0200 0000"));
        r.deliver(IsoBehaviour::receiveIsoData(17, 1, 1, 0, "x"));
        QCOMPARE(second->receiveModel()->rowCount(), 0);

        r.page->on_toolButton_terminateBIG_clicked();
        QVERIFY(r.waitForFrameOf("06@08"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@08").first()), QByteArray::fromHex("00"));
        QVERIFY(QTest::qWaitFor([&] { return r.page->bigModel()->rowCount() == 0; }, 5000));
        QTRY_VERIFY(!first && !second);
        QCOMPARE(r.page->shownPanel()->handle(), QStringLiteral("4095"));
        QVERIFY(!r.page->shownPanel()->isEnabled());
        QCOMPARE(enabledButtons(r.page), QStringLiteral("0000"));
        QVERIFY(r.page->canClose());
    }

    void broadcasterResultsFindTheirBig_data()
    {
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("handlesOfBig1");
        QTest::newRow("other row's BIG") << BigBehaviour::createBigResult(0, 1, {0x21}) << QString() << "33";
        QTest::newRow("unknown BIG") << BigBehaviour::createBigResult(0, 5, {0x21})
                                     << "The returned big ID is wrong in Create BIG command." << "";
        QTest::newRow("wrong count") << BigBehaviour::createBigResult(0, 1, {0x21, 0x22})
                                     << "The returned BIS count is wrong in Create BIG command." << "";
        QTest::newRow("failed") << BigBehaviour::createBigResult(0x07, 1, {}) << QString() << "";
    }
    void broadcasterResultsFindTheirBig()
    {
        QFETCH(QByteArray, result);
        QFETCH(QString, box);
        QFETCH(QString, handlesOfBig1);
        BroadcasterRig r;
        QVERIFY(r.opened);
        r.page->advIndex = "1";
        r.page->on_rcvBIGPara(slaveBig("0", "3"));
        r.page->on_rcvBIGPara(slaveBig("1", "1"));
        r.pressBig(0);
        QCOMPARE(r.deliver(result), box.isEmpty() ? QStringList() : QStringList(box));
        QCOMPARE(r.statusLines("Create BIG"), QByteArray(QTest::currentDataTag()) == "failed" ? 1 : 0);
        QCOMPARE(r.page->bisList("1").value(0).bisHandle, handlesOfBig1);
        QCOMPARE(r.page->bigModel()->records().at(1).status, quint8(handlesOfBig1.isEmpty() ? 0 : 1));
        QCOMPARE(r.page->bisModel()->rowCount(), 3);
        QCOMPARE(enabledButtons(r.page), QStringLiteral("1110"));

        // A terminate result for another BIG than the one created changes nothing.
        if (!handlesOfBig1.isEmpty()) {
            QCOMPARE(r.deliver(BigBehaviour::terminateBigResult(0x16, 0)), QStringList());
            QCOMPARE(r.page->bigModel()->rowCount(), 1);
            QCOMPARE(r.page->bigModel()->records().first().bigId, QStringLiteral("1"));
            QCOMPARE(enabledButtons(r.page), QStringLiteral("0001"));
            QTRY_VERIFY(r.page->panelHandles() == QList<quint16>({0x21}));
        }
    }

    // Order: Add BIG, Edit BIG, Remove BIG, Create BIG Sync, Terminate BIG Sync, Add BIS, Edit BIS, Remove BIS.
    void receiverButtonsFollowTheRows_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("no BIG") << QStringList() << "10000000";
        QTest::newRow("BIG added") << QStringList({"big"}) << "11100100";
        QTest::newRow("BIS added") << QStringList({"big", "bis"}) << "11110100";
        QTest::newRow("BIS pressed") << QStringList({"big", "bis", "press bis"}) << "11110111";
        QTest::newRow("BIG edited") << QStringList({"big", "bis", "press bis", "edit"}) << "11110100";
        QTest::newRow("synchronised") << QStringList({"big", "bis", "press bis", "create"}) << "10001000";
        QTest::newRow("synchronised BIS pressed") << QStringList({"big", "bis", "create", "press bis"}) << "10001000";
        QTest::newRow("a new BIG after a synchronised one") << QStringList({"big", "bis", "create", "big"})
                                                            << "11100100";
        QTest::newRow("sync ended") << QStringList({"big", "bis", "create", "terminate"}) << "10000000";
    }
    void receiverButtonsFollowTheRows()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, enabled);
        ReceiverRig r;
        QVERIFY(r.opened);
        for (const QString &step : qAsConst(steps))
            QVERIFY2(r.step(step), qPrintable(step));
        QCOMPARE(r.enabled({"toolButton_addBIG", "toolButton_editBIG", "toolButton_removeBIG", "toolButton_createBIG",
                            "toolButton_terminateBIG", "toolButton_addBIS", "toolButton_editBIS",
                            "toolButton_removeBIS"}),
                 enabled);
    }

    // Order: Add BIG, Edit BIG, Remove BIG, Create BIG, Terminate BIG.
    void broadcasterButtonsFollowTheRows_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("no BIG") << QStringList() << "10000";
        QTest::newRow("BIG added") << QStringList({"big"}) << "11110";
        QTest::newRow("BIG edited") << QStringList({"big", "edit"}) << "11110";
        QTest::newRow("created") << QStringList({"big", "create"}) << "10001";
        QTest::newRow("a new BIG after a created one") << QStringList({"big", "create", "big"}) << "11110";
        QTest::newRow("terminated") << QStringList({"big", "create", "terminate"}) << "10000";
    }
    void broadcasterButtonsFollowTheRows()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, enabled);
        BroadcasterRig r;
        QVERIFY(r.opened);
        r.page->setAdvertisingSetText("1");
        for (const QString &step : qAsConst(steps))
            QVERIFY2(r.step(step), qPrintable(step));
        QCOMPARE(r.enabled({"toolButton_addBIG", "toolButton_editBIG", "toolButton_removeBIG", "toolButton_createBIG",
                            "toolButton_terminateBIG"}),
                 enabled);
    }

    void aBisForABigSynchronisedMeanwhileIsNotDroppedSilently()
    {
        ReceiverRig r;
        QVERIFY(r.opened);
        for (const char *step : {"big", "bis"})
            QVERIFY2(r.step(step), step);
        r.rig.dongle.withholdResult("06@09");
        r.button("toolButton_createBIG")->click();
        QVERIFY(r.waitForFrameOf("06@09"));
        ModalAnswerer answerer;
        answerer.answerWith([&r](QWidget *dialog) {
            // The BIG is synchronised while the BIS dialog is open.
            r.rig.dongle.sendUplink(BigBehaviour::createSyncResult(0, 0, {0x10}));
            QVERIFY(QTest::qWaitFor([&r] { return r.heldBigs() == 1; }, 3000));
            // Clicked after this answer returns, so the box it raises can be answered too.
            QMetaObject::invokeMethod(WidgetProbe::child<QPushButton>(dialog, "pushButton_ok"), "click",
                                      Qt::QueuedConnection);
        });
        answerer.click("m_pbOk");
        r.button("toolButton_addBIS")->click();
        QVERIFY(answerer.waitUntilAnswered(3000));
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).text, QStringLiteral("The BIS was not kept: no BIG that takes BISes is selected."));
        QCOMPARE(r.page->bisList("0").size(), 1);
    }

    void broadcasterRemoveFollowsTheNewCurrentRow()
    {
        BroadcasterRig r;
        QVERIFY(r.opened);
        r.page->advIndex = "1";
        r.page->on_rcvBIGPara(slaveBig("0", "1"));
        r.page->on_rcvBIGPara(slaveBig("1", "1"));
        r.deliver(BigBehaviour::createBigResult(0, 1, {0x50}));
        r.pressBig(0);
        QCOMPARE(enabledButtons(r.page), QStringLiteral("1110"));
        r.page->on_toolButton_removeBIG_clicked();
        QCOMPARE(enabledButtons(r.page), QStringLiteral("0001"));
        QCOMPARE(rowText(*r.page->bisModel(), 0), QStringLiteral("0|80"));
        r.page->on_toolButton_removeBIG_clicked();
        QCOMPARE(r.page->bigModel()->rowCount(), 1);
        // Create is refused for a created BIG, so nothing more goes out.
        r.page->on_toolButton_createBIG_clicked();
        QTest::qWait(100);
        QVERIFY(r.framesOf("06@07").isEmpty());
    }
};

QTEST_MAIN(TestBigPages)
#include "tst_bigpages.moc"
