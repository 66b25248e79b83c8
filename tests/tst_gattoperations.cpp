#include "attributetext.h"
#include "ccommand.h"
#include "cflatdialog.h"
#include "cutil.h"
#include "cgattwidget.h"
#include "cvalidatetextedit.h"
#include "filechooser.h"
#include "filesizelimit.h"
#include "framebuilder.h"
#include "gattexport.h"
#include "gattlistresult.h"
#include "gatttablemodel.h"
#include "linkrig.h"
#include "modalanswerer.h"
#include "simbehaviour_gatt.h"
#include "treemodel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

const QStringList batchControls{QStringLiteral("toolButton_dicoverAllAttr"),
                                QStringLiteral("toolButton_enableNotifyAndIndicate"),
                                QStringLiteral("toolButton_disableNotifyAndIndicate"),
                                QStringLiteral("toolButton_readAllChar")};

// One GATT page per connection (1 and 2) on the simulated dongle with its
// standard database.
struct OpsRig : LinkRig
{
    OpsRig()
        : LinkRig(QStringLiteral("gattops"), 5)
    {
        gatt = GattBehaviour::install(dongle);
        for (quint8 condix : {quint8(1), quint8(2)})
            pages.push_back(std::make_unique<CGattWidget>(&link, &logs, &settings, &dongleName, condix));
    }

    CGattWidget *page(int condix = 1) const { return pages.at(condix - 1).get(); }
    template <typename T>
    T *child(const char *name, int condix = 1) const
    {
        return page(condix)->findChild<T *>(QString::fromLatin1(name));
    }
    void click(const char *button, int condix = 1) { child<QAbstractButton>(button, condix)->click(); }

    bool discover(int condix = 1)
    {
        click("toolButton_dicoverAllAttr", condix);
        return QTest::qWaitFor([&] { return child<QWidget>("toolButton_dicoverAllAttr", condix)->isEnabled(); });
    }
    bool batchControlsEnabled(int condix = 1) const
    {
        for (const QString &name : batchControls) {
            if (!page(condix)->findChild<QWidget *>(name)->isEnabled())
                return false;
        }
        return true;
    }
    // Downlink frames that arrived since the last clear, as "LL@OO payload".
    QStringList sent() const
    {
        QStringList lines;
        for (const SimulatedDongle::ReceivedFrame &frame : dongle.receivedFrames())
            lines << frame.id + QLatin1Char(' ') + QString::fromLatin1(frame.bytes.mid(5, frame.bytes.size() - 6).toHex());
        return lines;
    }
    int linesWith(const QString &text) const
    {
        int count = 0;
        for (const QString &line : recorder->texts())
            count += line.contains(text);
        return count;
    }

    QMap<QString, QVariant> settings;
    QString dongleName{QStringLiteral("Dongle1")};
    GattBehaviour *gatt;
    std::vector<std::unique_ptr<CGattWidget>> pages;
};

QModelIndex rowOfHandle(const QAbstractItemModel *model, quint16 handle, const QModelIndex &parent = QModelIndex())
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString().compare(AttributeText::handleText(handle), Qt::CaseInsensitive) == 0)
            return index;
        const QModelIndex inner = rowOfHandle(model, handle, index);
        if (inner.isValid())
            return inner;
    }
    return QModelIndex();
}

QByteArray payload(const char *hex)
{
    return QByteArray::fromHex(hex);
}

} // namespace

class TestGattOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<uint8_t>("uint8_t"); }

    // --- list results -------------------------------------------------

    void listResults_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("layout");  // 0 services, 4 reads
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("records");
        // condix 1, status 0, count, records
        QTest::newRow("two services") << payload("0100020001000500020018" "06000a00020f18") << 0
                                      << int(GattListResult::NoError) << 2;
        QTest::newRow("no records") << payload("01000000") << 0 << int(GattListResult::NoError) << 0;
        QTest::newRow("count says 3, holds 2") << payload("0100030001000500020018" "06000a00020f18") << 0
                                               << int(GattListResult::CountMismatch) << 0;
        QTest::newRow("two trailing bytes") << payload("0100010001000500020018" "0600") << 0
                                            << int(GattListResult::Truncated) << 0;
        QTest::newRow("UUID cut short") << payload("01000100010005000200") << 0 << int(GattListResult::Truncated)
                                        << 0;
        QTest::newRow("too short") << payload("0100") << 0 << int(GattListResult::TooShort) << 0;
        QTest::newRow("read with a two-byte length") << payload("01000100" "0300000002000a0b") << 4
                                                     << int(GattListResult::NoError) << 1;
        QTest::newRow("read value cut short") << payload("01000100" "0300000003000a0b") << 4
                                              << int(GattListResult::Truncated) << 0;
    }
    void listResults()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, layout);
        QFETCH(int, error);
        QFETCH(int, records);
        const GattListResult result =
            GattListResult::cut(payload, layout == 0 ? GattListResult::Services : GattListResult::Reads);
        QCOMPARE(int(result.error), error);
        QCOMPARE(result.records.size(), records);
        QVERIFY(result.hasCondix);
        QCOMPARE(result.condix, quint8(1));
    }

    // Console discoveries store their records; a bad list stores nothing.
    void consoleListResultsStoreOrLogFormatErrors_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("tableSize");
        QTest::addColumn<QString>("line");
        QTest::newRow("characteristics: value handle before properties")
            << FrameBuilder::frame(0xDD, 0x03, 0x09, payload("01000100" "1000110012" "02" "372a")) << 0x12
            << QString();
        QTest::newRow("count mismatch") << FrameBuilder::frame(0xDD, 0x03, 0x03, payload("0100030001000500020018"))
                                        << 0 << "Uplink Command Name:Discover All Primary Services Format error.";
        QTest::newRow("status") << FrameBuilder::frame(0xDD, 0x03, 0x0D, payload("010a0000")) << 0
                                << "Uplink Command Name:Characteristic Descriptor Discovery Result:BLE ATT ERR "
                                   "ATTRIBUTE NOT FOUND";
        QTest::newRow("other connection") << FrameBuilder::frame(0xDD, 0x03, 0x03, payload("0200010001000500020018"))
                                          << 0 << QString();
        // A list too short to be judged is told by every page, of any connection.
        const QString formatError = QStringLiteral("Format error.");
        QTest::newRow("no connection index") << FrameBuilder::frame(0xDD, 0x03, 0x03, QByteArray()) << 0
                                             << formatError;
        QTest::newRow("too short, other connection")
            << FrameBuilder::frame(0xDD, 0x03, 0x03, payload("0200")) << 0 << formatError;
        QTest::newRow("read list too short") << FrameBuilder::frame(0xDD, 0x03, 0x0F, payload("01")) << 0
                                             << formatError;
        QTest::newRow("read list too short, other connection")
            << FrameBuilder::frame(0xDD, 0x03, 0x0F, payload("02")) << 0 << formatError;
    }
    void consoleListResultsStoreOrLogFormatErrors()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, tableSize);
        QFETCH(QString, line);
        OpsRig rig;
        rig.page()->onRcvMsg(frame);
        QCOMPARE(rig.page()->attributeTable().size(), tableSize);
        if (tableSize) {
            const AttributeInfo &declaration = rig.page()->attributeTable().at(0x10);
            QCOMPARE(declaration.value, payload("121100372a"));
            QCOMPARE(rig.page()->attributeTable().at(0x11).valid, uint8_t(1));
        }
        if (!line.isEmpty())
            QCOMPARE(rig.linesWith(line), 1);
    }

    // --- the toolbar over the simulated database ------------------------

    void discoverShowAndReadOrWriteTheShownValue()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        rig.page()->on_pb_read_clicked();
        QCOMPARE(rig.linesWith(QStringLiteral("Handle is empty.")), 1);
        QVERIFY(rig.discover());
        QCOMPARE(rig.page()->treeModel()->rowCount(), 3);

        // The device name's value row: read and write.
        const QModelIndex name = rowOfHandle(rig.page()->treeModel(), 3);
        QVERIFY(name.isValid());
        rig.page()->on_treeView_pressed(name);
        QCOMPARE(rig.child<QLabel>("label_handle")->text(), QStringLiteral("0x0003"));
        QCOMPARE(rig.child<QLabel>("label_UUID")->text(), QStringLiteral("0x2a00"));
        QCOMPARE(rig.child<QLabel>("label_UUIDDescription")->text(), QStringLiteral("Device Name"));
        QCOMPARE(rig.child<QLabel>("label_property")->text(), QStringLiteral("Read , Write"));
        QVERIFY(rig.child<QPushButton>("pb_read")->isEnabled());
        QVERIFY(rig.child<QPushButton>("pb_write")->isEnabled());

        rig.dongle.clearReceived();
        rig.click("pb_read");
        QTRY_COMPARE(rig.child<CValidateTextEdit>("textEdit_value")->getByteArray().size(), 16);
        QCOMPARE(rig.sent(), QStringList{"03@0E 010300"});
        QCOMPARE(AttributeText::valueText(QByteArray::fromHex(
                     rig.child<CValidateTextEdit>("textEdit_value")->toPlainText().remove(':').toLatin1())),
                 AttributeText::valueText("Sim Peer"));

        rig.child<CValidateTextEdit>("textEdit_value")->setPlainText(QStringLiteral("41:42"));
        rig.dongle.clearReceived();
        rig.click("pb_write");
        QTRY_COMPARE(rig.gatt->database(1).find(3)->value, QByteArray("AB"));
        QCOMPARE(rig.sent(), QStringList{"03@1A 0103004142"});

        // Appearance can only be read.
        rig.page()->on_treeView_pressed(rowOfHandle(rig.page()->treeModel(), 5));
        QVERIFY(rig.child<QPushButton>("pb_read")->isEnabled());
        QVERIFY(!rig.child<QPushButton>("pb_write")->isEnabled());
    }

    void notificationsOnOffWriteEveryConfigurationAndReadItBack()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        for (bool enable : {true, false}) {
            rig.dongle.clearReceived();
            rig.click(enable ? "toolButton_enableNotifyAndIndicate" : "toolButton_disableNotifyAndIndicate");
            QVERIFY(!rig.batchControlsEnabled());
            QTRY_VERIFY(rig.batchControlsEnabled());
            // Battery level notifies (01 00), the custom value indicates (02 00).
            const QStringList expected = enable ? QStringList{"03@24 010a000100", "03@24 010e000200", "03@20 010a00",
                                                              "03@20 010e00"}
                                                : QStringList{"03@24 010a000000", "03@24 010e000000", "03@20 010a00",
                                                              "03@20 010e00"};
            QCOMPARE(rig.sent(), expected);
            QCOMPARE(rig.gatt->database(1).find(10)->value, enable ? payload("0100") : payload("0000"));
            QCOMPARE(rig.page()->pendingCount(), 0);
        }
    }

    void readAllReadsEveryReadableValue()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        rig.child<QComboBox>("comboBox_mode")->setCurrentIndex(1);
        rig.dongle.clearReceived();
        rig.click("toolButton_readAllChar");
        QVERIFY(!rig.batchControlsEnabled());
        QTRY_VERIFY(rig.batchControlsEnabled());
        QCOMPARE(rig.sent(), (QStringList{"03@12 0103000000", "03@12 0105000000", "03@12 0109000000",
                                          "03@12 010d000000"}));
        const QModelIndex battery = rowOfHandle(rig.page()->tableModel(), 9);
        QCOMPARE(battery.sibling(battery.row(), 3).data().toString(), QStringLiteral("57"));
    }

    // A batch that sends nothing, or whose sends fail, gives the controls back.
    void aBatchWithNothingInFlightEndsAtOnce()
    {
        OpsRig rig;
        // No tree: nothing notifies.
        rig.page()->on_toolButton_enableNotifyAndIndicate_clicked();
        QVERIFY(rig.batchControlsEnabled());
        QCOMPARE(rig.linesWith(QStringLiteral("no configuration descriptor was written.")), 1);
        // Port closed: the discovery cannot leave.
        rig.click("toolButton_dicoverAllAttr");
        QVERIFY(rig.batchControlsEnabled());
        QCOMPARE(rig.linesWith(QStringLiteral("send discover all attributes message failed")), 1);
    }

    // The batches a user starts from the toolbar, and the command each sends.
    void addBatchRows()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("command");
        QTest::newRow("discover all attributes") << "toolButton_dicoverAllAttr" << "03@29";
        QTest::newRow("read all") << "toolButton_readAllChar" << "03@12";
        QTest::newRow("notifications on") << "toolButton_enableNotifyAndIndicate" << "03@24";
        QTest::newRow("notifications off") << "toolButton_disableNotifyAndIndicate" << "03@24";
        QTest::newRow("read-back after the writes") << "toolButton_enableNotifyAndIndicate" << "03@20";
    }
    bool pageIsUsable(OpsRig &rig) const
    {
        return rig.child<QWidget>("gattTabWidget")->isEnabled()
               && rig.child<QWidget>("toolButton_dicoverAllAttr")->isEnabled();
    }

    // The dongle refuses the batch's own command in its acknowledgement:
    // no result will come, so the batch ends there, saying why.
    void refusedBatchCommandEndsTheBatch_data() { addBatchRows(); }
    void refusedBatchCommandEndsTheBatch()
    {
        QFETCH(QString, button);
        QFETCH(QString, command);
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        rig.dongle.refuse(command, 0x0C);
        rig.click(button.toLatin1().constData());
        QVERIFY(!rig.child<QWidget>("gattTabWidget")->isEnabled());
        // Well within the page's own time-out of silence.
        QVERIFY(QTest::qWaitFor([&] { return pageIsUsable(rig); }, 5000));
        QCOMPARE(rig.linesWith(QStringLiteral("refused")), 1);
        QCOMPARE(rig.linesWith(QStringLiteral("(SDK ERR SDK INTERNAL); the batch ends.")), 1);

        // The next batch runs to its end.
        rig.dongle.clearFaults();
        QVERIFY(rig.discover());
        QCOMPARE(rig.page()->treeModel()->rowCount(), 3);
    }

    // Nothing comes back: the batch ends after its time-out with a WARN line.
    void silentBatchEndsAfterItsTimeout_data() { addBatchRows(); }
    void silentBatchEndsAfterItsTimeout()
    {
        QFETCH(QString, button);
        QFETCH(QString, command);
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        rig.page()->setBatchTimeoutMs(400);
        rig.dongle.withholdResult(command);
        rig.click(button.toLatin1().constData());
        QVERIFY(!pageIsUsable(rig));
        QTest::qWait(200);
        QVERIFY(!pageIsUsable(rig));
        QVERIFY(QTest::qWaitFor([&] { return pageIsUsable(rig); }, 3000));
        int warnings = 0;
        for (const auto &line : rig.recorder->lines())
            warnings += line.second == LogLevel::Warn && line.first.contains(QStringLiteral("the batch ends."));
        QCOMPARE(warnings, 1);
    }

    // Frames of the batch keep it alive: a discovery slower than the time-out
    // as a whole, but never silent for that long, runs to its end.
    void aBatchThatKeepsAnsweringIsNotCutShort()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        const int timeoutMs = 1000;
        const int spacingMs = 200;
        const QList<QByteArray> events = GattBehaviour::discoveryEvents(1, rig.gatt->database(1));
        QVERIFY(events.size() * spacingMs > 2 * timeoutMs);
        rig.page()->setBatchTimeoutMs(timeoutMs);
        rig.dongle.setResponder(QStringLiteral("03@29"), [&](const QByteArray &frame) {
            for (int i = 0; i < events.size(); ++i) {
                const QByteArray event = events.at(i);
                QTimer::singleShot(spacingMs * (i + 1), &rig.dongle, [&rig, event] { rig.dongle.sendUplink(event); });
            }
            return QList<QByteArray>{SimulatedDongle::acknowledgement(frame)};
        });
        rig.click("toolButton_dicoverAllAttr");
        QVERIFY(QTest::qWaitFor([&] { return pageIsUsable(rig); }, 20000));
        QCOMPARE(rig.page()->treeModel()->rowCount(), 3);
        QCOMPARE(rig.linesWith(QStringLiteral("the batch ends.")), 0);
    }

    // Clear gives a page whose batch waits back at once.
    void clearEndsARunningBatch()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        rig.dongle.withholdResult(QStringLiteral("03@29"));
        rig.click("toolButton_dicoverAllAttr");
        QVERIFY(!pageIsUsable(rig));
        rig.click("toolButton_clear");
        QVERIFY(pageIsUsable(rig));
        QCOMPARE(rig.linesWith(QStringLiteral("Discover All Attributes stopped by Clear.")), 1);
    }

    // Read results of another connection, or outside a batch, neither count
    // nor end this page's batch.
    void batchesCountOnlyTheirOwnAnswers()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover(1));
        QVERIFY(rig.discover(2));
        rig.gatt->database(1).find(3); // keep the database
        rig.dongle.setSilent(true);
        rig.child<QComboBox>("comboBox_mode")->setCurrentIndex(1);
        rig.click("toolButton_readAllChar");
        QCOMPARE(rig.page(1)->pendingCount(), 4);
        const QByteArray read = payload("0000010003000000010041");
        for (int i = 0; i < 4; ++i)
            rig.page(1)->onRcvMsg(FrameBuilder::frame(0xDD, 0x03, 0x0F, QByteArray(1, char(2)) + read.mid(1)));
        QCOMPARE(rig.page(1)->pendingCount(), 4);
        QVERIFY(!rig.batchControlsEnabled(1));
        for (int i = 0; i < 5; ++i)
            rig.page(1)->onRcvMsg(FrameBuilder::frame(0xDD, 0x03, 0x0F, QByteArray(1, char(1)) + read.mid(1)));
        QCOMPARE(rig.page(1)->pendingCount(), 0);
        QVERIFY(rig.batchControlsEnabled(1));
        // Page 2 ran no batch and saw nothing of page 1's.
        QCOMPARE(rig.page(2)->pendingCount(), 0);
    }

    void resultsOfAnotherConnectionChangeNothing()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover(1));
        const QModelIndex level = rowOfHandle(rig.page(1)->tableModel(), 9);
        const QString before = level.sibling(level.row(), 3).data().toString();
        rig.gatt->notify(2, 9, payload("11"));
        rig.gatt->notify(1, 10, payload("0100"));
        QTRY_VERIFY(rig.linesWith(QStringLiteral("Notification and Indication")) >= 2);
        QCOMPARE(level.sibling(level.row(), 3).data().toString(), before);
        rig.gatt->notify(1, 9, payload("22"), true);
        QTRY_COMPARE(level.sibling(level.row(), 3).data().toString(), QStringLiteral("22"));
    }

    void mtuExchangeShowsItsBox()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        rig.click("toolButton_exchangeMTU", 1);
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QStringLiteral("ATTENTION"));
        QCOMPARE(answerer.seen().first().text, QStringLiteral("Exchange MTU success"));
    }

    // --- export -------------------------------------------------------

    void exportMatchesTheLayout()
    {
        AttributeInfo service;
        service.handle = 1;
        service.uuid = CCommand::uuid16ToArray(0x2800);
        service.uuidDescription = QStringLiteral("Primary Service Declaration");
        service.value = payload("010005000018");
        AttributeInfo value;
        value.handle = 0x2a;
        value.uuid = CCommand::uuid16ToArray(0x2a00);
        value.uuidDescription = QStringLiteral("Device Name");
        value.value = payload("0aff");
        value.properties = 0x1a;
        QCOMPARE(GattExport::csv({service, value}),
                 QByteArray("Handle,UUID,UUID Description,Value,Properties\n"
                            "0x0001,0x2800,Primary Service Declaration,01:00:05:00:00:18,\n"
                            "0x002a,0x2a00,Device Name,0a:ff,0x1a\n"));
        QCOMPARE(GattExport::csv({}), QByteArray("Handle,UUID,UUID Description,Value,Properties\n"));
    }

    void exportCells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("plain") << "Device Name" << "Device Name";
        QTest::newRow("formula") << "=1+1" << "'=1+1";
        QTest::newRow("plus") << "+A1" << "'+A1";
        QTest::newRow("minus") << "-2" << "'-2";
        QTest::newRow("at") << "@SUM(A1)" << "'@SUM(A1)";
        QTest::newRow("tab") << "\tx" << "'\tx";
        QTest::newRow("comma") << "a,b" << "\"a,b\"";
        QTest::newRow("quote") << "a\"b" << "\"a\"\"b\"";
        QTest::newRow("line break") << "a\nb" << "\"a\nb\"";
        QTest::newRow("carriage return first") << "\rx" << "\"'\rx\"";
    }
    void exportCells()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QCOMPARE(GattExport::cell(text), cell);
    }

    void exportWritesTheFlatModel()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("GATT Attribute.csv"));
        QString proposed;
        setFileChooser([&](FileChooserMode mode, QWidget *, const QString &caption, const QString &name,
                           const QString &) {
            proposed = caption + QLatin1Char('|') + name + QLatin1Char('|') + QString::number(int(mode));
            return path;
        });
        rig.click("toolButton_export");
        setFileChooser(nullptr);
        QCOMPARE(proposed, QStringLiteral("save File...|GATT Attribute.csv|1"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), GattExport::csv(rig.page()->tableModel()->attributes()));
        QCOMPARE(rig.page()->tableModel()->attributes().size(), 15);
    }

    void failedExportIsTold()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no such folder/GATT Attribute.csv"));
        setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
            return path;
        });
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        rig.click("toolButton_export");
        setFileChooser(nullptr);
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QStringLiteral("error"));
        const QString text = answerer.seen().first().text;
        QVERIFY2(text.contains(path) && text.contains(QStringLiteral("No such file or directory")), qPrintable(text));
        QCOMPARE(rig.linesWith(QStringLiteral("Open file failed.")), 1);
        QVERIFY(!QFileInfo::exists(path));
    }

    void exportOnAFullDiskKeepsTheOldFile()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QVERIFY(rig.discover());
        QVERIFY(GattExport::csv(rig.page()->tableModel()->attributes()).size() > 512);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("GATT Attribute.csv"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier export\n");
        old.close();
        setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
            return path;
        });
        // The disk fills after 512 bytes of any file, until the failure is told.
        auto limit = std::make_unique<FileSizeLimit>(512);
        QVERIFY(limit->isSet());
        ModalAnswerer answerer;
        QString told;
        answerer.answerWith([&](QWidget *box) {
            limit.reset();
            told = ModalAnswerer::describe(box).text;
            box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
        });
        rig.click("toolButton_export");
        limit.reset();
        setFileChooser(nullptr);
        QVERIFY(answerer.allAnswered());
        QVERIFY2(told.contains(path) && told.contains(QStringLiteral("File too large")), qPrintable(told));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("an earlier export\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"GATT Attribute.csv"});
    }

    // --- pairing -------------------------------------------------------

    void pairAndLinkKeySendTheirCommands()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        rig.dongle.clearReceived();
        rig.click("toolButton_pair", 2);
        rig.click("toolButton_getLnk", 2);
        QVERIFY(rig.dongle.waitForFrames(2));
        QCOMPARE(rig.sent(), (QStringList{"02@03 02", "02@0A 02"}));
    }

    void securityRequests_data()
    {
        QTest::addColumn<QByteArray>("request");   // payload, condix 1 last
        QTest::addColumn<QString>("typed");       // typed into an editable field
        QTest::addColumn<QString>("button");      // what the user does
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("confirmation"); // "02@07 payload", empty: none
        QTest::newRow("comparison of 123, OK") << payload("037b00000001") << "" << "btn_Yes"
                                               << "Dongle1: Number Comparison" << "02@07 030101";
        QTest::newRow("comparison, Cancel") << payload("037b00000001") << "" << "btn_No"
                                            << "Dongle1: Number Comparison" << "02@07 030001";
        QTest::newRow("passkey entry") << payload("010201") << "123456" << "btn_Yes" << "Dongle1: Input Passkey"
                                       << "02@07 010140e2010001";
        QTest::newRow("passkey entry closed") << payload("010201") << "123456" << ModalAnswerer::CloseButton
                                              << "Dongle1: Input Passkey" << "02@07 01000000000001";
        QTest::newRow("encryption, Yes") << payload("0001") << "" << "m_pbYes" << "Dongle1: Make Pair"
                                         << "02@07 000101";
        QTest::newRow("encryption, No") << payload("0001") << "" << "m_pbNo" << "Dongle1: Make Pair"
                                        << "02@07 000001";
        QTest::newRow("encryption, closed") << payload("0001") << "" << ModalAnswerer::CloseButton
                                            << "Dongle1: Make Pair" << "";
    }
    void securityRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(QString, title);
        QFETCH(QString, confirmation);
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QSignalSpy front(rig.page(), &CGattWidget::sig_showDongleTab);
        QString shownNumber;
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *dialog) {
            if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_number"))) {
                shownNumber = field->text();
                if (!typed.isEmpty())
                    QTest::keyClicks(field, typed);
            }
            if (button == ModalAnswerer::CloseButton)
                static_cast<CFlatDialog *>(dialog)->m_tbClose->click();
            else
                dialog->findChild<QPushButton *>(button)->click();
        });
        rig.dongle.clearReceived();
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x06, request));
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().title, title);
        if (request.at(0) == 3)
            QCOMPARE(shownNumber, QStringLiteral("000123"));
        if (request.at(0) == 0)
            QCOMPARE(front.count(), 1);
        if (confirmation.isEmpty()) {
            QTest::qWait(300);
            QVERIFY(rig.sent().isEmpty());
        } else {
            QVERIFY(rig.dongle.waitForFrames(1));
            QCOMPARE(rig.sent(), QStringList{confirmation});
        }
    }

    void generatedPasskeyIsSixDigitsAndSentBack()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QString shown;
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *dialog) {
            shown = dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_number"))->text();
            dialog->findChild<QPushButton *>(QStringLiteral("btn_Yes"))->click();
        });
        rig.dongle.clearReceived();
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x06, payload("010101")));
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(shown.size(), 6);
        QVERIFY(rig.dongle.waitForFrames(1));
        QCOMPARE(rig.sent(),
                 QStringList{"02@07 0101" + QString::fromLatin1(CUtil::valueToArray(0, shown.toUInt(), 4).toHex())
                             + "01"});
    }

    void malformedOrForeignRequestsOpenNothing_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("internalError");
        QTest::newRow("comparison without its number") << payload("037b01") << true;
        QTest::newRow("passkey without its role") << payload("0101") << true;
        QTest::newRow("unknown passkey role") << payload("010301") << true;
        QTest::newRow("other connection") << payload("0002") << false;
        QTest::newRow("unknown type") << payload("0701") << false;
    }
    void malformedOrForeignRequestsOpenNothing()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, internalError);
        OpsRig rig;
        rig.page()->onRcvMsg(FrameBuilder::frame(0xDD, 0x02, 0x06, request));
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(rig.linesWith(QStringLiteral("Internal error.")), internalError ? 1 : 0);
    }

    // The peer goes while the user looks at the dialog: the page goes with
    // it, and nothing is confirmed afterwards.
    void pageDeletedDuringPairingSendsNothing()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        QPointer<CGattWidget> page(rig.page());
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *dialog) {
            QPointer<QWidget> open(dialog);
            rig.pages.front().reset();
            if (open)
                open->close();
        });
        rig.dongle.clearReceived();
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x06, payload("037b00000001")));
        QVERIFY(answerer.waitUntilAnswered());
        QTRY_VERIFY(!page);
        QTest::qWait(300);
        QVERIFY(rig.sent().isEmpty());
    }

    void failedPairingClosesTheDialogAndConfirmsNothing()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        ModalAnswerer answerer;
        QString resultText;
        answerer.answerWith([&](QWidget *) {
            rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x04, payload("0c01")));
        });
        answerer.answerWith([&](QWidget *box) {
            resultText = ModalAnswerer::describe(box).text;
            box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
        });
        rig.dongle.clearReceived();
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x06, payload("037b00000001")));
        QVERIFY(answerer.waitUntilAnswered());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(resultText, QStringLiteral("Pair failed. Result: FAIL NUM CMP FAIL"));
        QTest::qWait(300);
        QVERIFY(rig.sent().isEmpty());
    }

    void pairResultAndLinkKeyBoxes()
    {
        OpsRig rig;
        QVERIFY(rig.openAndSync());
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x04, payload("0001")));
        QVERIFY(answerer.waitUntilAnswered());
        answerer.click(QStringLiteral("m_pbOk"));
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x02, 0x0A, payload("000102030405060708090a0b0c0d0e0f01")));
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().at(0).title, QStringLiteral("Dongle1: Pair Result"));
        QCOMPARE(answerer.seen().at(0).text, QStringLiteral("Pair succeeded."));
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Dongle1 Link Value"));
        QCOMPARE(answerer.seen().at(1).text,
                 QStringLiteral("Link value number: 00:01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f"));
    }
};

QTEST_MAIN(TestGattOperations)
#include "tst_gattoperations.moc"
