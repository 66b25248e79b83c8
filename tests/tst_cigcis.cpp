#include "ccigciswidget.h"
#include "cigdatatablemodel.h"
#include "cigparameterdialog.h"
#include "cisdatatablemodel.h"
#include "cisparameterdialog.h"
#include "createcisdialog.h"
#include "cvalidatelineedit.h"
#include "datafolder.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "manageciswidget.h"
#include "modalanswerer.h"
#include "widgetprobe.h"
#include "receivedatatablemodel.h"
#include "simbehaviour_iso.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

cigParameter cig(const QString &id, quint8 status = 0)
{
    cigParameter record;
    record.cigId = id;
    record.sduIntervalM2S = "10000";
    record.sduIntervalS2M = "20000";
    record.transportLatencyM2S = "10";
    record.transportLatencyS2M = "11";
    record.sca = "0";
    record.packing = "1";
    record.framing = "0";
    record.status = status;
    return record;
}

cisParameter cis(const QString &id, const QString &handle = QString(), quint8 status = 0)
{
    cisParameter record;
    record.cisId = id;
    record.maxSduM2S = "100";
    record.maxSduS2M = "100";
    record.phyM2S = "2";
    record.phyS2M = "4";
    record.rtnM2S = "1";
    record.rtnS2M = "1";
    record.cisHandle = handle;
    record.status = status;
    return record;
}

// The central page on a link to the simulated dongle with one ACL connection.
struct PageRig
{
    PageRig() : rig(QStringLiteral("cigcis"), 2)
    {
        iso = IsoBehaviour::install(rig.dongle);
        opened = rig.openAndSync();
        page = new CCigCisWidget(&rig.link, &rig.logs, &settings, &acl, QStringLiteral("cigcis-test"));
    }
    ~PageRig()
    {
        delete page;
        QDir(Platform::dataFolder() + QStringLiteral("/cigcis-test")).removeRecursively();
    }

    QList<QByteArray> framesOf(const QString &id) const { return rig.dongle.receivedBytesOf(id); }
    bool waitForFrameOf(const QString &id, int count = 1)
    {
        return QTest::qWaitFor([&] { return framesOf(id).size() >= count; }, 5000);
    }
    void addCig()
    {
        ModalAnswerer answerer;
        answerer.click("pushButton_ok");
        page->on_toolButton_AddCIG_clicked();
        QVERIFY(answerer.waitUntilAnswered());
    }
    void addCis()
    {
        ModalAnswerer answerer;
        answerer.click("pushButton_ok");
        page->on_toolButton_AddCIS_clicked();
        QVERIFY(answerer.waitUntilAnswered());
    }
    void pressCig(int row)
    {
        auto *view = WidgetProbe::child<QTableView>(page, "CIGtableView");
        view->setCurrentIndex(page->cigModel()->index(row, 0));
        page->on_CISTableView_changed(page->cigModel()->index(row, 0));
    }
    void pressCis(int row)
    {
        auto *view = WidgetProbe::child<QTableView>(page, "CIStableView");
        view->setCurrentIndex(page->cisModel()->index(row, 0));
        page->on_manageCIS_changed(page->cisModel()->index(row, 0));
    }
    void check(int row)
    {
        page->cisModel()->setData(page->cisModel()->index(row, 0), Qt::Checked, Qt::CheckStateRole);
    }
    // Adds a CIG with one CIS and sets it; the CIS gets its handle.
    void setUpOneStream()
    {
        addCig();
        addCis();
        page->on_toolButton_setCIG_clicked();
        QVERIFY(QTest::qWaitFor([&] { return !page->cisModel()->records().value(0).cisHandle.isEmpty(); }, 5000));
    }
    void createFirstStream()
    {
        check(0);
        ModalAnswerer answerer;
        answerer.click("pushButton_ok");
        page->on_toolButton_createCIS_clicked();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(QTest::qWaitFor([&] { return page->cisModel()->records().value(0).status == 1; }, 5000));
    }

    QToolButton *button(const char *name) const { return WidgetProbe::child<QToolButton>(page, name); }
    // Which buttons are enabled, in the order of the title bars.
    QString enabledButtons() const
    {
        QString enabled;
        for (const char *name : {"toolButton_AddCIG", "toolButton_editCIG", "toolButton_removeCIG",
                                 "toolButton_setCIG", "toolButton_AddCIS", "toolButton_editCIS",
                                 "toolButton_removeCIS", "toolButton_createCIS", "toolButton_disconnect"})
            enabled += button(name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return enabled;
    }
    int setCigs() const
    {
        const QVector<cigParameter> &cigs = page->cigModel()->records();
        return int(std::count_if(cigs.cbegin(), cigs.cend(), [](const cigParameter &c) { return c.status == 1; }));
    }
    // Sends an uplink and waits until the page has seen it.
    bool deliver(const QByteArray &frame)
    {
        const int before = rig.uplinks.count();
        rig.dongle.sendUplink(frame);
        return QTest::qWaitFor([&] { return rig.uplinks.count() > before; }, 5000);
    }
    // A user's step, through the buttons as they are.
    bool step(const QString &what)
    {
        if (what == "cig") {
            const int before = page->cigModel()->rowCount();
            ModalAnswerer answerer;
            answerer.click("pushButton_ok");
            button("toolButton_AddCIG")->click();
            return answerer.waitUntilAnswered(2000) && page->cigModel()->rowCount() == before + 1;
        }
        if (what == "cis") {
            const int before = page->cisModel()->rowCount();
            ModalAnswerer answerer;
            answerer.click("pushButton_ok");
            button("toolButton_AddCIS")->click();
            return answerer.waitUntilAnswered(2000) && page->cisModel()->rowCount() == before + 1;
        }
        if (what == "press cis") {
            pressCis(0);
            return true;
        }
        if (what == "set") {
            const int before = setCigs();
            button("toolButton_setCIG")->click();
            return QTest::qWaitFor([&] { return setCigs() > before; }, 3000);
        }
        if (what == "create") {
            check(0);
            ModalAnswerer answerer;
            answerer.click("pushButton_ok");
            button("toolButton_createCIS")->click();
            return answerer.waitUntilAnswered(2000) && QTest::qWaitFor([&] { return page->panel(96); }, 3000);
        }
        if (what == "disconnect") {
            button("toolButton_disconnect")->click();
            return QTest::qWaitFor([&] { return !page->panel(96); }, 3000);
        }
        if (what == "peer drops") {
            iso->peerDisconnectsCis(96);
            return QTest::qWaitFor([&] { return !page->panel(96); }, 3000);
        }
        if (what == "remove") {
            const int before = page->cigModel()->rowCount();
            button("toolButton_removeCIG")->click();
            return QTest::qWaitFor([&] { return page->cigModel()->rowCount() < before; }, 3000);
        }
        return false;
    }

    LinkRig rig;
    IsoBehaviour *iso = nullptr;
    QMap<QString, QVariant> settings;
    QVector<quint8> acl = {0};
    CCigCisWidget *page = nullptr;
    bool opened = false;
};

} // namespace

class TestCigCis : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<cigParameter>();
        qRegisterMetaType<cisParameter>();
    }

    // ---- models ----

    void cigModelShowsCodesAsText_data()
    {
        QTest::addColumn<QString>("sca");
        QTest::addColumn<QString>("packing");
        QTest::addColumn<QString>("framing");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("known") << "7" << "1" << "1"
                               << QStringList({"0 ppm to 20 ppm", "Interleaved", "Framed"});
        QTest::newRow("first") << "0" << "0" << "0"
                               << QStringList({"251 ppm to 500 ppm", "Sequential", "Unframed"});
        QTest::newRow("unknown") << "8" << "2" << "x" << QStringList({"", "", ""});
    }
    void cigModelShowsCodesAsText()
    {
        QFETCH(QString, sca);
        QFETCH(QString, packing);
        QFETCH(QString, framing);
        QFETCH(QStringList, cells);
        CigDataTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        cigParameter record = cig("3");
        record.sca = sca;
        record.packing = packing;
        record.framing = framing;
        model.records() << record;
        model.refresh();
        QCOMPARE(model.columnCount(), 9);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("3"));
        QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("20000"));
        QCOMPARE((QStringList{model.index(0, 5).data().toString(), model.index(0, 6).data().toString(),
                              model.index(0, 7).data().toString()}),
                 cells);
    }

    void statusShowsAsIconOnly()
    {
        CigDataTableModel cigs;
        CisDataTableModel cises;
        cigs.records() << cig("0", 0) << cig("1", 1);
        cises.records() << cis("0", "96", 0) << cis("1", "97", 1);
        cigs.refresh();
        cises.refresh();
        QVERIFY(!cigs.index(0, 8).data(Qt::DecorationRole).isValid());
        QVERIFY(cigs.index(1, 8).data(Qt::DecorationRole).isValid());
        QVERIFY(!cigs.index(1, 8).data().isValid());
        QVERIFY(!cises.index(0, 9).data(Qt::DecorationRole).isValid());
        QVERIFY(cises.index(1, 9).data(Qt::DecorationRole).isValid());
    }

    void cisModelShowsPhysAndChecks()
    {
        CisDataTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList titles;
        for (int c = 0; c < model.columnCount(); ++c)
            titles << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Item", "CISID", "MSDUM2S", "MSDUS2M", "PHYM2S", "PHYS2M", "RTNM2S", "RTNS2M",
                                      "CHandle", "CStatus"}));
        QCOMPARE(model.rowCount(), 0);
        cisParameter record = cis("5", "96");
        record.phyM2S = "3";
        model.setRecords({record});
        QCOMPARE(model.index(0, 4).data().toString(), QString());
        QCOMPARE(model.index(0, 5).data().toString(), QStringLiteral("LE Coded"));
        QCOMPARE(model.index(0, 8).data().toString(), QStringLiteral("96"));
        QVERIFY(!model.index(0, 0).data().isValid());
        QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable));

        // The box repaints: the view hears of the change.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.records().first().checkState, int(Qt::Checked));
        QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(!model.setData(model.index(0, 1), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!model.setData(model.index(0, 0), "x", Qt::EditRole));
    }

    // ---- dialogs ----

    void cigDialogEmitsItsDefaultsAndCountsIds()
    {
        cigParameterDialog dialog(nullptr, nullptr);
        QSignalSpy spy(&dialog, &cigParameterDialog::sig_cigParaUpdate);
        dialog.on_pushButton_ok_clicked();
        dialog.on_pushButton_ok_clicked();
        QCOMPARE(spy.count(), 2);
        const cigParameter first = spy.at(0).at(0).value<cigParameter>();
        QCOMPARE(first.cigId, QStringLiteral("0"));
        QCOMPARE((QStringList{first.sduIntervalM2S, first.sduIntervalS2M, first.transportLatencyM2S,
                              first.transportLatencyS2M, first.sca, first.packing, first.framing}),
                 QStringList({"10000", "10000", "10", "10", "0", "0", "0"}));
        QCOMPARE(first.status, quint8(0));
        QCOMPARE(spy.at(1).at(0).value<cigParameter>().cigId, QStringLiteral("1"));

        auto *sca = qobject_cast<QComboBox *>(WidgetProbe::editorOf(&dialog, "SCA"));
        QVERIFY(sca);
        QStringList items;
        for (int i = 0; i < sca->count(); ++i)
            items << sca->itemText(i);
        QCOMPARE(items, QStringList({"0 ppm to 20 ppm", "101 ppm to 150 ppm", "151 ppm to 250 ppm", "21 ppm to 30 ppm",
                                     "251 ppm to 500 ppm", "31 ppm to 50 ppm", "51 ppm to 75 ppm",
                                     "76 ppm to 100 ppm"}));
        QCOMPARE(sca->currentText(), QStringLiteral("251 ppm to 500 ppm"));
    }

    void cigDialogIdsSkipIdsInUse()
    {
        cigParameterDialog dialog(nullptr, nullptr);
        const QStringList held = {"0", "1", "3"};
        dialog.setIdInUse([&held](const QString &id) { return held.contains(id); });
        QSignalSpy spy(&dialog, &cigParameterDialog::sig_cigParaUpdate);
        dialog.on_pushButton_ok_clicked();
        dialog.on_pushButton_ok_clicked();
        QCOMPARE(spy.at(0).at(0).value<cigParameter>().cigId, QStringLiteral("2"));
        QCOMPARE(spy.at(1).at(0).value<cigParameter>().cigId, QStringLiteral("4"));
    }

    void editorsHoldTheirLimits_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("emitted");
        QTest::addColumn<QString>("box"); // a refusal where it was typed: nothing is emitted
        const QString latency = QStringLiteral("cannot be sent; enter a whole number from 5 to 4000.");
        QTest::newRow("latency below minimum") << "Transport Latency M2S(ms)" << "3" << QString()
                                               << "Transport Latency M2S(ms): \"3\" " + latency;
        QTest::newRow("interval empty")
            << "SDU Interval M2S(us)" << "" << QString()
            << "SDU Interval M2S(us): \"\" cannot be sent; enter a whole number from 0 to 16777215.";
        QTest::newRow("latency above maximum") << "Transport Latency S2M(ms)" << "9999" << QString()
                                               << "Transport Latency S2M(ms): \"9999\" " + latency;
        QTest::newRow("rtn above maximum") << "RTN M2S" << "99" << QString()
                                           << "RTN M2S: \"99\" cannot be sent; enter a whole number from 0 to 15.";
        QTest::newRow("max sdu") << "Max SDU S2M" << "251" << "251" << QString();
    }
    void editorsHoldTheirLimits()
    {
        QFETCH(QString, title);
        QFETCH(QString, typed);
        QFETCH(QString, emitted);
        QFETCH(QString, box);
        cigParameterDialog cigDialog(nullptr, nullptr);
        cisParameterDialog cisDialog(nullptr, nullptr);
        QWidget *editor = WidgetProbe::editorOf(&cigDialog, title);
        const bool isCis = !editor;
        if (isCis)
            editor = WidgetProbe::editorOf(&cisDialog, title);
        auto *edit = qobject_cast<CValidateLineEdit *>(editor);
        QVERIFY(edit);
        edit->setText(typed);
        QSignalSpy cisSpy(&cisDialog, &cisParameterDialog::sig_cisParaUpdate);
        QSignalSpy cigSpy(&cigDialog, &cigParameterDialog::sig_cigParaUpdate);
        ModalAnswerer answerer;
        if (!box.isEmpty())
            answerer.click(QStringLiteral("m_pbOk"));
        if (isCis)
            cisDialog.on_pushButton_ok_clicked();
        else
            cigDialog.on_pushButton_ok_clicked();
        QCOMPARE(answerer.seen().value(0).text, box);
        if (!box.isEmpty()) {
            QVERIFY(cisSpy.isEmpty() && cigSpy.isEmpty());
            QCOMPARE(edit->text(), typed);
            return;
        }
        QString value;
        if (isCis) {
            const cisParameter record = cisSpy.at(0).at(0).value<cisParameter>();
            value = title == "RTN M2S" ? record.rtnM2S : record.maxSduS2M;
        } else {
            const cigParameter record = cigSpy.at(0).at(0).value<cigParameter>();
            value = title.startsWith("SDU") ? record.sduIntervalM2S
                  : title.contains("M2S")   ? record.transportLatencyM2S
                                            : record.transportLatencyS2M;
        }
        QCOMPARE(value, emitted);
    }

    void editingKeepsTheIdAndCancelEmitsNothing()
    {
        cisParameterDialog dialog(nullptr, nullptr);
        QSignalSpy spy(&dialog, &cisParameterDialog::sig_cisParaUpdate);
        cisParameter shown = cis("4");
        shown.phyS2M = "1";
        shown.rtnS2M = "7";
        dialog.m_editMode = true;
        dialog.setParameter(shown);
        dialog.on_pushButton_ok_clicked();
        const cisParameter edited = spy.at(0).at(0).value<cisParameter>();
        QCOMPARE(edited.cisId, QStringLiteral("4"));
        QCOMPARE(edited.phyS2M, QStringLiteral("1"));
        QCOMPARE(edited.rtnS2M, QStringLiteral("7"));
        QVERIFY(edited.cisHandle.isEmpty());
        QCOMPARE(dialog.nextId(), quint8(0));

        dialog.m_editMode = false;
        ModalAnswerer answerer;
        answerer.click("pushButton_cancel");
        dialog.exec();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(spy.count(), 1);
        dialog.on_pushButton_ok_clicked();
        QCOMPARE(spy.at(1).at(0).value<cisParameter>().cisId, QStringLiteral("0"));
    }

    void createDialogSendsOneRecordPerRow()
    {
        LinkRig rig(QStringLiteral("createcis"), 2);
        QVERIFY(rig.openAndSync());
        createCISDialog dialog(&rig.link, &rig.logs);
        dialog.setCisList({cis("0", "96"), cis("1", "97"), cis("2", "98")}, {0, 3});
        QCOMPARE(dialog.rowCount(), 3);
        dialog.setCisList({cis("0", "96"), cis("1", "97")}, {0});
        QCOMPARE(dialog.rowCount(), 2);
        const QList<CValidateLineEdit *> edits = dialog.findChildren<CValidateLineEdit *>();
        QCOMPARE(edits.size(), 2);
        QVERIFY(!edits.first()->isEnabled());
        dialog.on_pushButton_ok_clicked();
        QVERIFY(QTest::qWaitFor([&] { return rig.dongle.receivedIds().contains("06@03"); }, 5000));
        const QByteArray frame = rig.dongle.receivedFrames().last().bytes;
        QCOMPARE(SimulatedDongle::downlinkId(frame), QStringLiteral("06@03"));
        QCOMPARE(FrameBuilder::payloadOf(frame), QByteArray::fromHex("02600000610000"));
    }

    // ---- the page on the simulated dongle ----

    void theRoadOfOneStream()
    {
        PageRig r;
        QVERIFY(r.opened);
        QVERIFY(r.page->canClose());
        r.setUpOneStream();
        QVERIFY(r.waitForFrameOf("06@02"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@02").first()),
                 QByteArray::fromHex("0010270000102700000000000a000a000100640064000202 0101"));
        QCOMPARE(r.page->cisModel()->records().first().cisHandle, QStringLiteral("96"));
        QCOMPARE(r.page->cigModel()->records().first().status, quint8(1));
        QVERIFY(!r.page->canClose());
        QVERIFY(WidgetProbe::child<QToolButton>(r.page, "toolButton_createCIS")->isEnabled());

        r.createFirstStream();
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@03").first()), QByteArray::fromHex("01600000"));
        QPointer<manageCISWidget> panel = r.page->panel(96);
        QVERIFY(panel);
        r.pressCis(0);
        QCOMPARE(r.page->shownPanel(), panel.data());
        QCOMPARE(WidgetProbe::child<QLabel>(r.page, "label_connection")->text(), QStringLiteral("CIS Connection Handle: 96"));
        QVERIFY(WidgetProbe::child<QToolButton>(r.page, "toolButton_disconnect")->isEnabled());

        // The page relays the panel's results by handle.
        r.rig.dongle.sendUplink(IsoBehaviour::receiveIsoData(96, 1, 2, 0, QByteArray::fromHex("55")));
        QVERIFY(QTest::qWaitFor([&] { return panel->receiveModel()->rowCount() == 1; }, 5000));

        r.page->on_toolButton_disconnect_clicked();
        QVERIFY(r.waitForFrameOf("06@0D"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@0D").first()), QByteArray::fromHex("6000"));
        QVERIFY(QTest::qWaitFor([&] { return !panel; }, 5000));
        QCOMPARE(r.page->cisModel()->records().first().status, quint8(0));
        QCOMPARE(r.page->cisModel()->records().first().cisHandle, QStringLiteral("96"));
        QCOMPARE(r.page->shownPanel(), r.page->panel(CCigCisWidget::PlaceholderHandle));
        QVERIFY(!WidgetProbe::child<QToolButton>(r.page, "toolButton_disconnect")->isEnabled());

        r.page->on_toolButton_removeCIG_clicked();
        QVERIFY(r.waitForFrameOf("06@04"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@04").first()), QByteArray::fromHex("00"));
        QVERIFY(QTest::qWaitFor([&] { return r.page->cigModel()->rowCount() == 0; }, 5000));
        QCOMPARE(r.page->cisModel()->rowCount(), 0);
        QVERIFY(r.page->canClose());
        QCOMPARE(r.rig.recorder->count("Remove CIG succeed."), 1);
    }

    void aNewCigBecomesCurrentForItsStreams()
    {
        PageRig r;
        r.addCig();
        r.addCis();
        r.addCig();
        QCOMPARE(r.page->cisModel()->rowCount(), 0);
        r.addCis();
        r.addCis();
        QCOMPARE(r.page->cisList("0").size(), 1);
        QCOMPARE(r.page->cisList("1").size(), 2);
        r.pressCig(0);
        QCOMPARE(r.page->cisModel()->rowCount(), 1);
    }

    void resultsFindStreamsOfCigsNotOnDisplay()
    {
        PageRig r;
        r.setUpOneStream();
        r.addCig();
        QCOMPARE(r.page->cisModel()->rowCount(), 0);
        r.rig.dongle.sendUplink(IsoBehaviour::cisEstablished(0, 96));
        QVERIFY(QTest::qWaitFor([&] { return r.page->cisList("0").value(0).status == 1; }, 5000));
        QVERIFY(r.page->panel(96));
        r.rig.dongle.sendUplink(IsoBehaviour::cisDisconnected(96));
        QVERIFY(QTest::qWaitFor([&] { return r.page->cisList("0").value(0).status == 0; }, 5000));
    }

    void setResultMismatchesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("line");
        QTest::newRow("other CIG") << IsoBehaviour::setCigResult(0, 5, {96})
                                   << "The returned cig ID is wrong in set CIG command."
                                   << "CIG ID sended is not equal to the response CIG ID.";
        QTest::newRow("count one short") << IsoBehaviour::setCigResult(0, 0, {})
                                         << "The returned cis count is wrong in set CIG command."
                                         << "CIS Count sended is not equal to the response CIS Count.";
        QTest::newRow("failed") << IsoBehaviour::setCigResult(0x43, 0, {96}) << QString()
                                << "[Complete Result] Uplink Command Name:CIG Parameter Set "
                                   "Result:BLE GAP ERR COMMAND DISALLOWED";
    }
    void setResultMismatchesChangeNothing()
    {
        QFETCH(QByteArray, result);
        QFETCH(QString, box);
        QFETCH(QString, line);
        PageRig r;
        r.addCig();
        r.addCis();
        ModalAnswerer answerer;
        if (!box.isEmpty())
            answerer.click("m_pbOk");
        r.page->onRcvMsg(result);
        if (!box.isEmpty()) {
            QVERIFY(answerer.waitUntilAnswered());
            QCOMPARE(answerer.seen().first().text, box);
        }
        QCOMPARE(r.rig.recorder->count(line), 1);
        QVERIFY(r.page->cisModel()->records().first().cisHandle.isEmpty());
        QVERIFY(r.page->canClose());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("box");
        QTest::newRow("create without a checked stream") << "create unchecked" << "Please check having selected Item.";
        QTest::newRow("create without ACL connection") << "create no acl"
                                                       << "There is no ACL connection to create the CIS on.";
        QTest::newRow("create without handle")
            << "create no handle" << "The CIS has no connection handle. Please set the CIG parameter first.";
        QTest::newRow("edit a set CIG") << "edit set" << "The CIG is set in the controller. Remove it before editing it.";
        QTest::newRow("remove CIG with a stream up") << "remove up"
                                                    << "Please check you have disconnected CIS Before remove CIG.";
    }
    void refusals()
    {
        QFETCH(QString, action);
        QFETCH(QString, box);
        PageRig r;
        if (action == "create no handle") {
            r.addCig();
            r.addCis();
            r.check(0);
        } else {
            r.setUpOneStream();
            if (action != "create unchecked")
                r.check(0);
            if (action == "remove up")
                r.createFirstStream();
        }
        if (action == "create no acl")
            r.acl.clear();
        const int framesBefore = r.rig.dongle.receivedCount();
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        if (action.startsWith("create"))
            r.page->on_toolButton_createCIS_clicked();
        else if (action == "edit set")
            r.page->on_toolButton_editCIG_clicked();
        else
            r.page->on_toolButton_removeCIG_clicked();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text, box);
        QTest::qWait(50);
        QCOMPARE(r.rig.dongle.receivedCount(), framesBefore);
    }

    void createSkipsEstablishedStreams()
    {
        PageRig r;
        r.addCig();
        r.addCis();
        r.addCis();
        r.page->on_toolButton_setCIG_clicked();
        QVERIFY(QTest::qWaitFor([&] { return !r.page->cisModel()->records().value(1).cisHandle.isEmpty(); }, 5000));
        r.createFirstStream();
        r.check(1);
        ModalAnswerer answerer;
        answerer.click("pushButton_ok");
        r.page->on_toolButton_createCIS_clicked();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(r.waitForFrameOf("06@03", 2));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@03").at(1)), QByteArray::fromHex("01610000"));
    }

    void removeCisKeepsEstablishedRows()
    {
        PageRig r;
        r.setUpOneStream();
        r.createFirstStream();
        r.pressCis(0);
        r.page->on_toolButton_removeCIS_clicked();
        QCOMPARE(r.page->cisModel()->rowCount(), 1);
        r.addCis();
        r.pressCis(1);
        r.page->on_toolButton_removeCIS_clicked();
        QCOMPARE(r.page->cisModel()->rowCount(), 1);
        QCOMPARE(r.page->cisList("0").size(), 1);
    }

    void removingOneOfTwoCigsShowsTheFirst()
    {
        PageRig r;
        r.addCig();
        r.addCis();
        r.addCig();
        r.addCis();
        r.addCis();
        r.page->on_toolButton_removeCIG_clicked();
        QVERIFY(QTest::qWaitFor([&] { return r.page->cigModel()->rowCount() == 1; }, 5000));
        QCOMPARE(r.page->cigModel()->records().first().cigId, QStringLiteral("0"));
        QCOMPARE(r.page->cisModel()->rowCount(), 1);
    }

    // Order of the buttons: Add CIG, Edit CIG, Remove CIG, Set CIG, Add CIS, Edit CIS, Remove CIS, Create CIS,
    // Disconnect.
    void buttonsFollowTheRowsAndStreams_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("no CIG") << QStringList() << "100000000";
        QTest::newRow("CIG listed") << QStringList({"cig"}) << "110110000";
        QTest::newRow("CIS added") << QStringList({"cig", "cis"}) << "110110000";
        QTest::newRow("CIS pressed") << QStringList({"cig", "cis", "press cis"}) << "110111100";
        QTest::newRow("CIS pressed, then CIG set") << QStringList({"cig", "cis", "press cis", "set"}) << "101110110";
        QTest::newRow("CIS with a handle pressed") << QStringList({"cig", "cis", "set", "press cis"}) << "101110110";
        QTest::newRow("stream established") << QStringList({"cig", "cis", "set", "press cis", "create"})
                                            << "101010011";
        QTest::newRow("stream disconnected") << QStringList({"cig", "cis", "set", "press cis", "create", "disconnect"})
                                             << "101110110";
        QTest::newRow("stream lost by the peer")
            << QStringList({"cig", "cis", "set", "press cis", "create", "peer drops"}) << "101110110";
        QTest::newRow("a new CIG after a set one") << QStringList({"cig", "cis", "set", "cig"}) << "110110000";
        QTest::newRow("last CIG removed") << QStringList({"cig", "cis", "set", "press cis", "remove"}) << "100000000";
    }
    void buttonsFollowTheRowsAndStreams()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, enabled);
        PageRig r;
        QVERIFY(r.opened);
        for (const QString &step : qAsConst(steps))
            QVERIFY2(r.step(step), qPrintable(step));
        QCOMPARE(r.enabledButtons(), enabled);
    }

    void theKeyboardMovesTheRulesWithTheRow()
    {
        PageRig r;
        QVERIFY(r.opened);
        // Row 0 gets a handle; row 1 is added afterwards and has none.
        for (const char *step : {"cig", "cis", "set", "cis"})
            QVERIFY2(r.step(step), step);
        r.page->resize(900, 500);
        r.page->show();
        QVERIFY(QTest::qWaitForWindowExposed(r.page));
        auto *view = WidgetProbe::child<QTableView>(r.page, "CIStableView");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(r.page->cisModel()->index(1, 1)).center());
        QCOMPARE(view->currentIndex().row(), 1);
        QVERIFY(r.button("toolButton_editCIS")->isEnabled());
        QTest::keyClick(view, Qt::Key_Up);
        QCOMPARE(view->currentIndex().row(), 0);
        QVERIFY(!r.button("toolButton_editCIS")->isEnabled());
        QVERIFY(r.button("toolButton_removeCIS")->isEnabled());
    }

    void aStreamWithAHandleIsNotEdited()
    {
        PageRig r;
        QVERIFY(r.opened);
        // The row was pressed while it could still be edited.
        for (const char *step : {"cig", "cis", "press cis", "set", "create"})
            QVERIFY2(r.step(step), step);
        QPointer<manageCISWidget> panel = r.page->panel(96);
        {
            ModalAnswerer answerer;
            answerer.click("pushButton_ok");
            r.button("toolButton_editCIS")->click();
            r.page->on_toolButton_editCIS_clicked();
            QTest::qWait(100);
            QVERIFY(answerer.seen().isEmpty());
        }
        QCOMPARE(r.page->cisList("0").value(0).cisHandle, QStringLiteral("96"));
        QCOMPARE(r.page->cisList("0").value(0).status, quint8(1));
        QVERIFY(panel);

        // Remove CIG is still refused while the stream is up.
        ModalAnswerer box;
        box.click("m_pbOk");
        r.button("toolButton_removeCIG")->click();
        QVERIFY(box.waitUntilAnswered(2000));
        QCOMPARE(box.seen().first().text, QStringLiteral("Please check you have disconnected CIS Before remove CIG."));
        QTest::qWait(50);
        QVERIFY(r.framesOf("06@04").isEmpty());
        r.iso->peerDisconnectsCis(96);
        QVERIFY(QTest::qWaitFor([&] { return !panel; }, 3000));
        QCOMPARE(r.page->cisList("0").value(0).status, quint8(0));
    }

    void resultsFindTheirCigWhenAnotherIsPressed_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("set") << "set";
        QTest::newRow("remove") << "remove";
    }
    void resultsFindTheirCigWhenAnotherIsPressed()
    {
        QFETCH(QString, command);
        PageRig r;
        QVERIFY(r.opened);
        for (const char *step : {"cig", "cis"})
            QVERIFY2(r.step(step), step);
        if (command == "remove")
            QVERIFY(r.step("set"));
        for (const char *step : {"cig", "cis"})
            QVERIFY2(r.step(step), step);
        r.pressCig(0);
        const QString id = command == "set" ? "06@02" : "06@04";
        r.rig.dongle.withholdResult(id);
        r.button(command == "set" ? "toolButton_setCIG" : "toolButton_removeCIG")->click();
        QVERIFY(r.waitForFrameOf(id));
        // The user looks at the other CIG before the answer comes.
        r.pressCig(1);
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        QVERIFY(r.deliver(command == "set" ? IsoBehaviour::setCigResult(0, 0, {96}) : IsoBehaviour::removeCigResult(0, 0)));
        QTest::qWait(50);
        QVERIFY(answerer.seen().isEmpty());
        if (command == "set") {
            QCOMPARE(r.page->cigModel()->records().at(0).status, quint8(1));
            QCOMPARE(r.page->cisList("0").value(0).cisHandle, QStringLiteral("96"));
            QCOMPARE(r.page->cigModel()->records().at(1).status, quint8(0));
            QVERIFY(r.page->cisList("1").value(0).cisHandle.isEmpty());
        } else {
            QCOMPARE(r.page->cigModel()->rowCount(), 1);
            QCOMPARE(r.page->cigModel()->records().at(0).cigId, QStringLiteral("1"));
            QVERIFY(r.page->canClose());
        }
        // The CIG on display stays on display, with its buttons.
        QCOMPARE(r.page->cisModel()->rowCount(), 1);
        QCOMPARE(r.page->cisModel()->records().at(0).cisId, r.page->cisList("1").value(0).cisId);
        QVERIFY(r.page->cisModel()->records().at(0).cisHandle.isEmpty());
        QCOMPARE(r.enabledButtons(), QStringLiteral("110110000"));
    }

    void aCisForACigRemovedMeanwhileIsNotDroppedSilently()
    {
        PageRig r;
        QVERIFY(r.opened);
        for (const char *step : {"cig", "cis", "set"})
            QVERIFY2(r.step(step), step);
        r.rig.dongle.withholdResult("06@04");
        r.button("toolButton_removeCIG")->click();
        QVERIFY(r.waitForFrameOf("06@04"));
        ModalAnswerer answerer;
        answerer.answerWith([&r](QWidget *dialog) {
            // The answer to Remove CIG arrives while the CIS dialog is open.
            r.deliver(IsoBehaviour::removeCigResult(0, 0));
            // Clicked after this answer returns, so the box it raises can be answered too.
            QMetaObject::invokeMethod(WidgetProbe::child<QPushButton>(dialog, "pushButton_ok"), "click",
                                      Qt::QueuedConnection);
        });
        answerer.click("m_pbOk");
        r.button("toolButton_AddCIS")->click();
        QVERIFY(answerer.waitUntilAnswered(3000));
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).text, QStringLiteral("The CIS was not kept: no CIG is selected."));
        QCOMPARE(r.enabledButtons(), QStringLiteral("100000000"));
    }

    void aDisconnectOfAnotherPagesStreamLeavesThePanel()
    {
        PageRig r;
        QVERIFY(r.opened);
        for (const char *step : {"cig", "cis", "set", "press cis", "create"})
            QVERIFY2(r.step(step), step);
        manageCISWidget *panel = r.page->panel(96);
        QCOMPARE(r.page->shownPanel(), panel);
        // A peripheral stream of this dongle ends.
        QVERIFY(r.deliver(IsoBehaviour::cisDisconnected(0x51)));
        QCOMPARE(r.page->shownPanel(), panel);
        QCOMPARE(WidgetProbe::child<QLabel>(r.page, "label_connection")->text(), QStringLiteral("CIS Connection Handle: 96"));
        QVERIFY(r.button("toolButton_disconnect")->isEnabled());
        QCOMPARE(r.rig.recorder->count("Disconnect CIS succeed."), 0);
    }

    void aDialogOpenWhenThePageGoesIsClosed()
    {
        PageRig r;
        QPointer<CCigCisWidget> page = r.page;
        QTimer::singleShot(50, [&] {
            r.page->closeDialogs();
            r.page->deleteLater();
            r.page = nullptr;
        });
        page->on_toolButton_AddCIG_clicked();
        QVERIFY(QTest::qWaitFor([&] { return !page; }, 2000));
    }
};

QTEST_MAIN(TestCigCis)
#include "tst_cigcis.moc"
