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
#include "receivedatatablemodel.h"
#include "simbehaviour_iso.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
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

// The editor next to the label with this text in a dialog's generated grid.
QWidget *editorOf(QWidget *dialog, const QString &title)
{
    for (QGridLayout *grid : dialog->findChildren<QGridLayout *>()) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            for (int column = 0; column + 1 < grid->columnCount(); column += 2) {
                QLayoutItem *label = grid->itemAtPosition(row, column);
                auto *text = label ? qobject_cast<QLabel *>(label->widget()) : nullptr;
                if (text && text->text() == title)
                    return grid->itemAtPosition(row, column + 1)->widget();
            }
        }
    }
    return nullptr;
}

template <typename T>
T *child(QWidget *widget, const char *name)
{
    T *found = widget->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
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
        auto *view = child<QTableView>(page, "CIGtableView");
        view->setCurrentIndex(page->cigModel()->index(row, 0));
        page->on_CISTableView_changed(page->cigModel()->index(row, 0));
    }
    void pressCis(int row)
    {
        auto *view = child<QTableView>(page, "CIStableView");
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

        auto *sca = qobject_cast<QComboBox *>(editorOf(&dialog, "SCA"));
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
        QTest::newRow("latency below minimum") << "Transport Latency M2S(ms)" << "3" << "5";
        QTest::newRow("interval empty") << "SDU Interval M2S(us)" << "" << "0";
        QTest::newRow("latency above maximum") << "Transport Latency S2M(ms)" << "9999" << "4000";
        QTest::newRow("rtn above maximum") << "RTN M2S" << "99" << "15";
        QTest::newRow("max sdu") << "Max SDU S2M" << "251" << "251";
    }
    void editorsHoldTheirLimits()
    {
        QFETCH(QString, title);
        QFETCH(QString, typed);
        QFETCH(QString, emitted);
        cigParameterDialog cigDialog(nullptr, nullptr);
        cisParameterDialog cisDialog(nullptr, nullptr);
        QWidget *editor = editorOf(&cigDialog, title);
        const bool isCis = !editor;
        if (isCis)
            editor = editorOf(&cisDialog, title);
        auto *edit = qobject_cast<CValidateLineEdit *>(editor);
        QVERIFY(edit);
        edit->setText(typed);
        QString value;
        if (isCis) {
            QSignalSpy spy(&cisDialog, &cisParameterDialog::sig_cisParaUpdate);
            cisDialog.on_pushButton_ok_clicked();
            const cisParameter record = spy.at(0).at(0).value<cisParameter>();
            value = title == "RTN M2S" ? record.rtnM2S : record.maxSduS2M;
        } else {
            QSignalSpy spy(&cigDialog, &cigParameterDialog::sig_cigParaUpdate);
            cigDialog.on_pushButton_ok_clicked();
            const cigParameter record = spy.at(0).at(0).value<cigParameter>();
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
        QVERIFY(child<QToolButton>(r.page, "toolButton_createCIS")->isEnabled());

        r.createFirstStream();
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@03").first()), QByteArray::fromHex("01600000"));
        QPointer<manageCISWidget> panel = r.page->panel(96);
        QVERIFY(panel);
        r.pressCis(0);
        QCOMPARE(r.page->shownPanel(), panel.data());
        QCOMPARE(child<QLabel>(r.page, "label_connection")->text(), QStringLiteral("CIS Connection Handle: 96"));
        QVERIFY(child<QToolButton>(r.page, "toolButton_disconnect")->isEnabled());

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
        QVERIFY(!child<QToolButton>(r.page, "toolButton_disconnect")->isEnabled());

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
