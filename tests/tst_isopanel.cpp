#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "cstyledcombobox.h"
#include "cvalidatelineedit.h"
#include "cvalidatetextedit.h"
#include "datafolder.h"
#include "filechooser.h"
#include "filesizelimit.h"
#include "framebuilder.h"
#include "freediskspace.h"
#include "isodatacodec.h"
#include "linkrig.h"
#include "manageciswidget.h"
#include "modalanswerer.h"
#include "receivedatatablemodel.h"
#include "recordinglogger.h"
#include "logger.h"
#include "simbehaviour_iso.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

template <typename T>
T *child(QWidget *widget, const char *name)
{
    T *found = widget->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QMap<QString, QByteArray> receiveFields(quint16 handle, quint32 timeStamp, quint16 sn, quint8 status,
                                        const QByteArray &data)
{
    QMap<QString, QByteArray> fields;
    CCommand::parseUpLinkCmd(nullptr, IsoBehaviour::receiveIsoData(handle, timeStamp, sn, status, data), fields);
    return fields;
}

QVector<CmdFieldInfo> receiveLayout()
{
    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    return catalogue->m_uplinkIdToFieldsMap.value(catalogue->m_uplinkNameToIdMap.value("Receive ISO Data"));
}

// One panel on a link to the simulated dongle.
struct PanelRig
{
    explicit PanelRig(const QString &handle = QStringLiteral("96"))
        : rig(QStringLiteral("isopanel"), 2),
          dongleName(QStringLiteral("isopanel-%1").arg(QCoreApplication::applicationPid()))
    {
        IsoBehaviour::install(rig.dongle);
        opened = rig.openAndSync();
        settings.insert(QStringLiteral("cisdata_filepath"), QString());
        panel = new manageCISWidget(&rig.link, &rig.logs, &settings, handle, dongleName);
    }
    ~PanelRig()
    {
        delete panel;
        setFileChooser(nullptr);
        QDir(Platform::dataFolder() + QLatin1Char('/') + dongleName).removeRecursively();
    }
    QList<QByteArray> framesOf(const QString &id) const { return rig.dongle.receivedBytesOf(id); }
    bool waitForFrameOf(const QString &id, int count = 1)
    {
        return QTest::qWaitFor([&] { return framesOf(id).size() >= count; }, 5000);
    }

    LinkRig rig;
    QString dongleName;
    QMap<QString, QVariant> settings;
    manageCISWidget *panel = nullptr;
    bool opened = false;
};

} // namespace

class TestIsoPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QMap<QString, QByteArray>>();
    }

    // ---- the plain parts ----

    void typedDigitsBecomeTheTypedBytes_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QByteArray>("sdu");
        QTest::newRow("three bytes") << "2c1b0a" << QByteArray::fromHex("0a1b2c");
        QTest::newRow("untouched box") << "0000" << QByteArray::fromHex("0000");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("upper case") << "0A1B" << QByteArray::fromHex("1b0a");
        QTest::newRow("odd count: the lone first digit is no byte") << "abc" << QByteArray::fromHex("bc");
        QTest::newRow("one digit") << "a" << QByteArray();
    }
    void typedDigitsBecomeTheTypedBytes()
    {
        QFETCH(QString, digits);
        QFETCH(QByteArray, sdu);
        QCOMPARE(IsoDataCodec::sduFromReversedDigits(digits), sdu);
    }

    void randomBytesCoverTheWholeByteRange()
    {
        QCOMPARE(IsoDataCodec::randomSdu(0).size(), 0);
        QByteArray bytes;
        for (int i = 0; i < 8 && !(bytes.contains(char(0xFF)) && bytes.contains(char(0))); ++i)
            bytes += IsoDataCodec::randomSdu(4096);
        QVERIFY(bytes.contains(char(0xFF)));
        QVERIFY(bytes.contains(char(0)));
    }

    void receiveRecordIsTwoLinesOfRawAndFieldData_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("two bytes") << QByteArray::fromHex("a0ff")
                                   << QByteArray("Raw Data: 6000e80300000500000200a0ff\r\n"
                                                 "Field Data: connection_handle->60:00  time_stamp->e8:03:00:00  "
                                                 "packet_sn->05:00  packet_status->00  data_length->02:00  "
                                                 "data->  a0:ff\r\n");
        QTest::newRow("empty SDU") << QByteArray()
                                   << QByteArray("Raw Data: 6000e80300000500000000\r\n"
                                                 "Field Data: connection_handle->60:00  time_stamp->e8:03:00:00  "
                                                 "packet_sn->05:00  packet_status->00  data_length->00:00  "
                                                 "data->  \r\n");
    }
    void receiveRecordIsTwoLinesOfRawAndFieldData()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, record);
        QCOMPARE(IsoDataCodec::receiveRecord(receiveFields(0x60, 1000, 5, 0, data), receiveLayout()), record);
    }

    void repeatPacerKeepsTheQueueShort()
    {
        IsoRepeatPacer pacer;
        QCOMPARE(pacer.tick(2, 0), IsoRepeatPacer::Step::Send);
        QCOMPARE(pacer.tick(2, IsoRepeatPacer::MaxQueuedFrames), IsoRepeatPacer::Step::Wait);
        QCOMPARE(pacer.sent(), 1);
        QCOMPARE(pacer.tick(2, 1), IsoRepeatPacer::Step::Send);
        QCOMPARE(pacer.tick(2, 0), IsoRepeatPacer::Step::Finished);
        QCOMPARE(pacer.sent(), 0);
        QCOMPARE(pacer.tick(0, 0), IsoRepeatPacer::Step::Finished);
    }

    void receiveModelShowsTheFormColumns()
    {
        ReceiveDataTableModel model(nullptr);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.columnCount(), 5);
        QStringList titles;
        for (int c = 0; c < 5; ++c)
            titles << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Time Stamp", "Packet SN", "Packet Status", "SDU Length", "Data"}));
        model.m_rows << receiveFields(0x60, 70000, 9, 1, QByteArray::fromHex("0aff"))
                     << receiveFields(0x60, 1, 2, 3, QByteArray());
        model.refresh();
        QCOMPARE(model.rowCount(), 2);
        const QStringList first = {model.index(0, 0).data().toString(), model.index(0, 1).data().toString(),
                                   model.index(0, 2).data().toString(), model.index(0, 3).data().toString(),
                                   model.index(0, 4).data().toString()};
        QCOMPARE(first, QStringList({"70000", "9", "Possibly invalid data", "2", "0aff"}));
        QCOMPARE(model.index(0, 4).data(Qt::ToolTipRole).toString(), QStringLiteral("0aff"));
        QCOMPARE(model.index(1, 2).data().toString(), QString()); // status 3 has no text
        QVERIFY(!model.index(1, 4).data().isValid());
        model.clear();
        QCOMPARE(model.rowCount(), 0);
    }

    // ---- the panel on the simulated dongle ----

    void commandsLeaveWithTheirFields_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("output");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("inputAfter");
        QTest::addColumn<int>("outputAfter");
        QTest::newRow("set HLV in") << "set" << 1 << 0 << 0 << "06@0B" << QByteArray::fromHex("6000f6ff") << 1 << 0;
        QTest::newRow("set HLV both") << "set" << 1 << 2 << 1 << "06@0B" << QByteArray::fromHex("6000f6f6") << 1
                                      << 1;
        QTest::newRow("remove input") << "remove" << 1 << 0 << 1 << "06@0C" << QByteArray::fromHex("600001") << 0
                                      << 1;
        QTest::newRow("remove output") << "remove" << 1 << 1 << 1 << "06@0C" << QByteArray::fromHex("600002") << 1
                                       << 0;
        QTest::newRow("remove both") << "remove" << 1 << 2 << 1 << "06@0C" << QByteArray::fromHex("600003") << 0
                                     << 0;
        QTest::newRow("get TX sync") << "get" << 0 << 0 << 0 << "06@01" << QByteArray::fromHex("6000") << 0 << 0;
    }
    void commandsLeaveWithTheirFields()
    {
        QFETCH(QString, button);
        QFETCH(int, input);
        QFETCH(int, direction);
        QFETCH(int, output);
        QFETCH(QString, id);
        QFETCH(QByteArray, payload);
        QFETCH(int, inputAfter);
        QFETCH(int, outputAfter);
        PanelRig r;
        QVERIFY(r.opened);
        child<QComboBox>(r.panel, "comboBox_input")->setCurrentIndex(input);
        child<QComboBox>(r.panel, "comboBox_direction")->setCurrentIndex(direction);
        child<QComboBox>(r.panel, "comboBox_output")->setCurrentIndex(output);
        if (button == "set")
            r.panel->on_pushButton_set_clicked();
        else if (button == "remove")
            r.panel->on_pushButton_remove_clicked();
        else
            r.panel->on_pushButton_get_clicked();
        // Remove resets the boxes before any answer.
        QCOMPARE(child<QComboBox>(r.panel, "comboBox_input")->currentIndex(), inputAfter);
        QCOMPARE(child<QComboBox>(r.panel, "comboBox_output")->currentIndex(), outputAfter);
        QVERIFY(r.waitForFrameOf(id));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf(id).first()), payload);
    }

    void resultsReachTheirEditsAndTheLog()
    {
        PanelRig r;
        r.panel->onReadIsoTxSyncResult(
            [] {
                QMap<QString, QByteArray> f;
                CCommand::parseUpLinkCmd(nullptr, IsoBehaviour::txSyncResult(0, 0x60, 7, 123456, 789), f);
                return f;
            }(),
            "Read ISO TX Sync");
        QCOMPARE(child<QLineEdit>(r.panel, "lineEdit_packetSN")->text(), QStringLiteral("7"));
        QCOMPARE(child<QLineEdit>(r.panel, "lineEdit_timeStamp")->text(), QStringLiteral("123456"));
        QCOMPARE(child<QLineEdit>(r.panel, "lineEdit_timeOffset")->text(), QStringLiteral("789"));

        QMap<QString, QByteArray> failed;
        CCommand::parseUpLinkCmd(nullptr, IsoBehaviour::dataPathResult(0x09, 0x42, 0x60), failed);
        r.panel->onSetupDataPathResult(failed, "Setup ISO data path");
        QCOMPARE(r.rig.recorder->count("[Complete Result] Uplink Command Name:Setup ISO data path "
                                       "Result:BLE GAP ERR NOT SUPPORTED"),
                 1);
        QMap<QString, QByteArray> ok;
        CCommand::parseUpLinkCmd(nullptr, IsoBehaviour::dataPathResult(0x0A, 0, 0x60), ok);
        r.panel->onRemoveDataPathResult(ok, "Remove ISO data path");
        QCOMPARE(r.rig.recorder->count("Remove ISO data path succeed."), 1);

        // A result of another handle is refused with a box and changes nothing.
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        QMap<QString, QByteArray> other;
        CCommand::parseUpLinkCmd(nullptr, IsoBehaviour::txSyncResult(0, 0x61, 9, 1, 1), other);
        r.panel->onReadIsoTxSyncResult(other, "Read ISO TX Sync");
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text,
                 QStringLiteral("The returned connection handle is wrong in Read ISO TX Sync command."));
        QCOMPARE(child<QLineEdit>(r.panel, "lineEdit_packetSN")->text(), QStringLiteral("7"));
    }

    // A result without its status byte is malformed: never taken for a success.
    void aResultWithoutItsStatusIsNoSuccess_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("status"); // "missing" or "empty"
        for (const char *entry : {"setup", "remove", "txsync"}) {
            for (const char *status : {"missing", "empty"})
                QTest::newRow(qPrintable(QStringLiteral("%1, status %2").arg(entry, status))) << entry << status;
        }
    }
    void aResultWithoutItsStatusIsNoSuccess()
    {
        QFETCH(QString, entry);
        QFETCH(QString, status);
        PanelRig r;
        QMap<QString, QByteArray> fields;
        const QByteArray frame = entry == "txsync" ? IsoBehaviour::txSyncResult(0, 0x60, 7, 123456, 789)
                                                   : IsoBehaviour::dataPathResult(entry == "setup" ? 0x09 : 0x0A, 0,
                                                                                  0x60);
        QCOMPARE(CCommand::parseUpLinkCmd(nullptr, frame, fields), 0);
        if (status == "missing")
            fields.remove("status");
        else
            fields["status"] = QByteArray();
        QString function;
        if (entry == "setup") {
            function = "manageCISWidget::onSetupDataPathResult";
            r.panel->onSetupDataPathResult(fields, "Setup ISO data path");
        } else if (entry == "remove") {
            function = "manageCISWidget::onRemoveDataPathResult";
            r.panel->onRemoveDataPathResult(fields, "Remove ISO data path");
        } else {
            function = "manageCISWidget::onReadIsoTxSyncResult";
            r.panel->onReadIsoTxSyncResult(fields, "Read ISO TX Sync");
        }
        QCOMPARE(r.rig.recorder->count("Set ISO data path succeed."), 0);
        QCOMPARE(r.rig.recorder->count("Remove ISO data path succeed."), 0);
        QCOMPARE(child<QLineEdit>(r.panel, "lineEdit_packetSN")->text(), QString());
        QCOMPARE(child<QLineEdit>(r.panel, "lineEdit_timeStamp")->text(), QString());
        const QStringList texts = r.rig.recorder->texts();
        const auto internalErrors = std::count_if(texts.cbegin(), texts.cend(), [&function](const QString &line) {
            return line.startsWith("FILE:.\\manageciswidget LINE:")
                && line.endsWith(" FUNCTION:" + function + " Internal error.");
        });
        QCOMPARE(int(internalErrors), 1);
    }

    void typedSduIsCheckedAgainstMaxSdu_data()
    {
        QTest::addColumn<QString>("maxSdu");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("payload"); // empty: refused
        QTest::addColumn<QString>("box");
        const QString tooLong = QStringLiteral("The ISO send data length is large than Max SDU.");
        QTest::newRow("fits") << "3" << "0A:1B:2C" << QByteArray::fromHex("600003000a1b2c") << QString();
        QTest::newRow("too long") << "2" << "0A:1B:2C" << QByteArray() << tooLong;
        QTest::newRow("untouched box") << "3" << QString() << QByteArray::fromHex("6000020000 00") << QString();
        QTest::newRow("no max, empty box") << "" << "" << QByteArray::fromHex("60000000") << QString();
        // Half a byte is refused, not completed with a digit nobody typed.
        QTest::newRow("odd digit") << "3" << "0A:1B:2" << QByteArray()
                                   << "Send Data: \"0A:1B:2\" cannot be sent; enter whole bytes in hexadecimal, two "
                                      "digits a byte.";
    }
    void typedSduIsCheckedAgainstMaxSdu()
    {
        QFETCH(QString, maxSdu);
        QFETCH(QString, text);
        QFETCH(QByteArray, payload);
        QFETCH(QString, box);
        PanelRig r;
        QVERIFY(r.opened);
        if (!maxSdu.isEmpty())
            r.panel->setParameters(maxSdu, "10000");
        if (!text.isNull())
            child<QTextEdit>(r.panel, "textEdit_sendData")->setPlainText(text);
        ModalAnswerer answerer;
        if (payload.isEmpty())
            answerer.click("m_pbOk");
        r.panel->on_pushButton_send_clicked();
        if (payload.isEmpty()) {
            QVERIFY(answerer.waitUntilAnswered());
            QCOMPARE(answerer.seen().first().text, box);
            QTest::qWait(50);
            QVERIFY(r.framesOf("06@0E").isEmpty());
            return;
        }
        QVERIFY(r.waitForFrameOf("06@0E"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@0E").first()), payload);
    }

    void randomModeSendsItsLength()
    {
        PanelRig r;
        r.panel->setParameters("100", "10000");
        child<QCheckBox>(r.panel, "checkBox_random")->click();
        QVERIFY(!child<QTextEdit>(r.panel, "textEdit_sendData")->isEnabled());
        child<QLineEdit>(r.panel, "lineEdit_randomLength")->setText("50");
        r.panel->on_pushButton_send_clicked();
        QVERIFY(r.waitForFrameOf("06@0E"));
        const QByteArray payload = FrameBuilder::payloadOf(r.framesOf("06@0E").first());
        QCOMPARE(payload.left(4), QByteArray::fromHex("60003200"));
        QCOMPARE(payload.size(), 4 + 50);
    }

    void repeatSendsExactlyTimesFrames()
    {
        PanelRig r;
        r.panel->setParameters("3", "1000");
        child<QTextEdit>(r.panel, "textEdit_sendData")->setPlainText("01:02");
        child<QCheckBox>(r.panel, "checkBox_repeat")->click();
        child<QLineEdit>(r.panel, "lineEdit_times")->setText("3");
        r.panel->on_pushButton_send_clicked();
        QVERIFY(r.panel->isRepeating());
        // A second Send while it runs is refused; without Repeat it goes out at once.
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        r.panel->on_pushButton_send_clicked();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().text,
                 QStringLiteral("Vantora's sending iso data can work only after the former sending work finished."));
        QVERIFY(QTest::qWaitFor([&] { return !r.panel->isRepeating(); }, 5000));
        QTest::qWait(100);
        const QList<QByteArray> frames = r.framesOf("06@0E");
        QCOMPARE(frames.size(), 3);
        for (const QByteArray &frame : frames)
            QCOMPARE(FrameBuilder::payloadOf(frame), QByteArray::fromHex("600002000102"));
    }

    void repeatNeverPilesFramesOnTheLink()
    {
        // A slow line (50 ms a frame) and a 1 ms timer: the queue stays short.
        LinkRig rig(QStringLiteral("isorepeat"), 50);
        QVERIFY(rig.openAndSync());
        IsoBehaviour::install(rig.dongle);
        manageCISWidget panel(&rig.link, &rig.logs, nullptr, "96", "isopanel-repeat");
        panel.setParameters("3", "0");
        child<QCheckBox>(&panel, "checkBox_repeat")->click();
        child<QLineEdit>(&panel, "lineEdit_times")->setText("6");
        panel.on_pushButton_send_clicked();
        int most = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                most = qMax(most, rig.link.queuedFrames());
                return !panel.isRepeating();
            },
            5000));
        QVERIFY2(most <= IsoRepeatPacer::MaxQueuedFrames, qPrintable(QString::number(most)));
        QVERIFY(QTest::qWaitFor([&] { return IsoBehaviour::of(rig.dongle)->sentSdus().size() == 6; }, 3000));
    }

    void timesZeroSendsNothing()
    {
        PanelRig r;
        r.panel->setParameters("3", "1000");
        child<QCheckBox>(r.panel, "checkBox_repeat")->click();
        r.panel->on_pushButton_send_clicked();
        QVERIFY(QTest::qWaitFor([&] { return !r.panel->isRepeating(); }, 2000));
        QTest::qWait(50);
        QVERIFY(r.framesOf("06@0E").isEmpty());
    }

    // Lines at ERROR level logged since `from`.
    static int errorLinesSince(const RecordingLogger &recorder, int from)
    {
        int count = 0;
        const auto lines = recorder.lines();
        for (int i = from; i < lines.size(); ++i)
            count += lines.at(i).second == LogLevel::Error ? 1 : 0;
        return count;
    }

    void aRepeatEndsAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("line");
        QTest::newRow("Repeat unticked") << "untick" << QString();
        QTest::newRow("port closed") << "close" << "Repeated sending of ISO data stopped: the port was closed.";
        QTest::newRow("send refused") << "no link" << "send send iso data message failed";
    }
    void aRepeatEndsAtOnce()
    {
        QFETCH(QString, how);
        QFETCH(QString, line);
        PanelRig r;
        QVERIFY(r.opened);
        // Without a link every send is refused, as on a port that went away.
        manageCISWidget unlinked(nullptr, &r.rig.logs, &r.settings, "96", r.dongleName);
        manageCISWidget *panel = how == "no link" ? &unlinked : r.panel;
        panel->setParameters("3", "1000");
        child<QCheckBox>(panel, "checkBox_repeat")->click();
        child<QLineEdit>(panel, "lineEdit_times")->setText("1000000");
        panel->on_pushButton_send_clicked();
        QVERIFY(panel->isRepeating());
        const int linesBefore = r.rig.recorder->lines().size();
        if (how == "untick") {
            QVERIFY(r.waitForFrameOf("06@0E"));
            child<QCheckBox>(panel, "checkBox_repeat")->click();
            QVERIFY(!panel->isRepeating());
            // Times stays editable.
            QVERIFY(child<QLineEdit>(panel, "lineEdit_times")->isEnabled());
        } else if (how == "close") {
            QVERIFY(r.waitForFrameOf("06@0E"));
            r.rig.link.closePort();
            QVERIFY(!panel->isRepeating());
        } else {
            QVERIFY(QTest::qWaitFor([&] { return !panel->isRepeating(); }, 2000));
        }
        const int framesAtEnd = r.framesOf("06@0E").size();
        QTest::qWait(300);
        QVERIFY(!panel->isRepeating());
        if (how != "close")
            QVERIFY(r.framesOf("06@0E").size() <= framesAtEnd + IsoRepeatPacer::MaxQueuedFrames);
        // One ERROR line says why, however long the repeat was meant to run.
        QCOMPARE(errorLinesSince(*r.rig.recorder, linesBefore), line.isEmpty() ? 0 : 1);
        if (!line.isEmpty())
            QCOMPARE(r.rig.recorder->count(line), 1);
    }

    void sendFileChecksTheFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("kind"); // "file", "missing", "folder"
        QTest::addColumn<QString>("message");
        QTest::newRow("fits") << QByteArray::fromHex("a1b2c3") << "file" << QString();
        QTest::newRow("too long") << QByteArray(5, 'x') << "file"
                                  << "The ISO send File data length is large than Max SDU.";
        QTest::newRow("missing") << QByteArray() << "missing" << "The ISO send file is wrong.";
        QTest::newRow("not a readable file") << QByteArray() << "folder" << "The ISO send file is wrong.";
    }
    void sendFileChecksTheFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString path = kind == "folder" ? folder.path() : folder.filePath("sdu.bin");
        if (kind == "file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.close();
        }
        PanelRig r;
        r.panel->setParameters("4", "1000");
        setFileChooser([path](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
            return path;
        });
        ModalAnswerer answerer;
        if (!message.isEmpty())
            answerer.click("m_pbOk");
        r.panel->on_pushButton_sendFile_clicked();
        if (!message.isEmpty()) {
            QVERIFY(answerer.waitUntilAnswered());
            QCOMPARE(answerer.seen().first().text, message);
            QTest::qWait(50);
            QVERIFY(r.framesOf("06@0E").isEmpty());
            return;
        }
        QCOMPARE(child<QTextEdit>(r.panel, "textEdit_sendData")->toPlainText(), QStringLiteral("a1:b2:c3"));
        QVERIFY(r.waitForFrameOf("06@0E"));
        QCOMPARE(FrameBuilder::payloadOf(r.framesOf("06@0E").first()), QByteArray::fromHex("60000300a1b2c3"));
    }

    // A nearly full disk keeps DEBUG and INFO lines out of the log files, not
    // received data out of its file.
    void receivedSdusGoToTheFileAndTheLastTenToTheTable_data()
    {
        QTest::addColumn<bool>("diskNearlyFull");
        QTest::newRow("room on the disk") << false;
        QTest::newRow("disk nearly full") << true;
    }

    void receivedSdusGoToTheFileAndTheLastTenToTheTable()
    {
        QFETCH(bool, diskNearlyFull);
        PanelRig r;
        QVERIFY(r.opened);
        std::unique_ptr<FreeDiskSpace> disk;
        if (diskNearlyFull)
            disk = std::make_unique<FreeDiskSpace>(100 * FreeDiskSpace::MiB);
        QFile::remove(r.panel->receiveFilePath());
        // Through the wire, as the page relays them.
        QByteArray expected;
        for (int i = 0; i < 11; ++i) {
            const QMap<QString, QByteArray> fields = receiveFields(96, 1000u * i, quint16(i), 0, QByteArray(1, char(i)));
            r.panel->onReceiveIsoData(fields);
            expected += IsoDataCodec::receiveRecord(fields, receiveLayout());
        }
        QFile file(r.panel->receiveFilePath());
        QVERIFY(r.panel->receiveFilePath().contains(r.dongleName + "/ISO_receive_data/96/data.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
        QCOMPARE(r.panel->receiveModel()->rowCount(), manageCISWidget::MaxRows);
        QCOMPARE(r.panel->receiveModel()->index(0, 1).data().toString(), QStringLiteral("1"));
        r.panel->on_pushButton_clear_clicked();
        QCOMPARE(r.panel->receiveModel()->rowCount(), 0);
        QCOMPARE(QFileInfo(r.panel->receiveFilePath()).size(), expected.size());
    }

    void receiveFileRemovedWhileOpenIsRecreated()
    {
        PanelRig r;
        const QMap<QString, QByteArray> first = receiveFields(96, 1, 1, 0, QByteArray::fromHex("01"));
        const QMap<QString, QByteArray> second = receiveFields(96, 2, 2, 0, QByteArray::fromHex("02"));
        r.panel->onReceiveIsoData(first);
        QVERIFY(QFile::remove(r.panel->receiveFilePath()));
        r.panel->onReceiveIsoData(second);
        QFile file(r.panel->receiveFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), IsoDataCodec::receiveRecord(second, receiveLayout()));
    }

    void aNewPanelKeepsTheEarlierReceiveFile()
    {
        const QString dongle = QStringLiteral("isopanel-keep-%1").arg(QCoreApplication::applicationPid());
        const QMap<QString, QByteArray> first = receiveFields(96, 1, 1, 0, QByteArray::fromHex("01"));
        const QMap<QString, QByteArray> second = receiveFields(96, 2, 2, 0, QByteArray::fromHex("02"));
        const QMap<QString, QByteArray> third = receiveFields(96, 3, 3, 0, QByteArray::fromHex("03"));
        const QDateTime earlier(QDate(2026, 12, 10), QTime(10, 42, 7));
        QString path;
        // A stream that comes back gets a new panel each time, as does a restart.
        for (const auto &fields : {first, second, third}) {
            manageCISWidget panel(nullptr, nullptr, nullptr, "96", dongle);
            path = panel.receiveFilePath();
            panel.onReceiveIsoData(fields);
            QFile written(path);
            QVERIFY(written.open(QIODevice::ReadWrite));
            QVERIFY(written.setFileTime(earlier, QFileDevice::FileModificationTime));
        }
        const QDir folder = QFileInfo(path).dir();
        QFile kept(folder.filePath("data-2026-12-10_10-42-07.txt"));
        QFile keptToo(folder.filePath("data-2026-12-10_10-42-07-2.txt"));
        QFile current(path);
        QVERIFY(kept.open(QIODevice::ReadOnly) && keptToo.open(QIODevice::ReadOnly) && current.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), IsoDataCodec::receiveRecord(first, receiveLayout()));
        QCOMPARE(keptToo.readAll(), IsoDataCodec::receiveRecord(second, receiveLayout()));
        QCOMPARE(current.readAll(), IsoDataCodec::receiveRecord(third, receiveLayout()));
        // An empty earlier file is not worth a name of its own.
        current.close();
        QVERIFY(QFile::resize(path, 0));
        {
            manageCISWidget panel(nullptr, nullptr, nullptr, "96", dongle);
            panel.onReceiveIsoData(first);
        }
        QCOMPARE(folder.entryList(QDir::Files).size(), 3);
        QDir(Platform::dataFolder() + QLatin1Char('/') + dongle).removeRecursively();
    }

    void aFailedReceiveFileIsToldOnce_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("told");
        QTest::newRow("full disk") << QStringLiteral("no room")
                                   << QStringLiteral("Received ISO data of handle 96 are no longer written to ");
        QTest::newRow("disk fills within a record")
            << QStringLiteral("limit") << QStringLiteral("Received ISO data of handle 96 are no longer written to ");
        QTest::newRow("folder cannot be made")
            << QStringLiteral("folder") << QStringLiteral("Received ISO data of handle 96 cannot be written to ");
        QTest::newRow("a link in place of the file")
            << QStringLiteral("link") << QStringLiteral("Received ISO data of handle 96 cannot be written to ");
    }
    void aFailedReceiveFileIsToldOnce()
    {
        QFETCH(QString, fault);
        QFETCH(QString, told);
        PanelRig r;
        const QString path = r.panel->receiveFilePath();
        const QString folder = QFileInfo(path).absolutePath();
        const QMap<QString, QByteArray> first = receiveFields(96, 1, 1, 0, QByteArray::fromHex("01"));
        std::unique_ptr<FileSizeLimit> limit;
        QTemporaryDir outside;
        const QString theirs = outside.filePath(QStringLiteral("theirs.txt"));
        if (fault == QLatin1String("no room")) {
            limit = std::make_unique<FileSizeLimit>(0);
            QVERIFY(limit->isSet());
        } else if (fault == QLatin1String("link")) {
            // Planted by someone who can write into the data folder.
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::link(theirs, path));
        } else if (fault == QLatin1String("folder")) {
            // A file where the handle's folder belongs.
            QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else {
            // Room for the first record and a few bytes of the next.
            r.panel->onReceiveIsoData(first);
            limit = std::make_unique<FileSizeLimit>(
                quint64(IsoDataCodec::receiveRecord(first, receiveLayout()).size()) + 10);
            QVERIFY(limit->isSet());
        }
        const int linesBefore = r.rig.recorder->lines().size();
        const int rowsBefore = r.panel->receiveModel()->rowCount();
        ModalAnswerer answerer;
        answerer.click("m_pbOk");
        r.panel->onReceiveIsoData(receiveFields(96, 2, 2, 0, QByteArray::fromHex("02")));
        QVERIFY(answerer.waitUntilAnswered(2000));
        limit.reset();
        const QString text = answerer.seen().first().text;
        QVERIFY2(text.startsWith(told + path + QStringLiteral(": ")), qPrintable(text));
        QVERIFY2(text.size() > told.size() + path.size() + 2, qPrintable(text)); // the reason
        if (fault == QLatin1String("link")) {
            QCOMPARE(text.mid(told.size() + path.size() + 2), QStringLiteral("it is a symbolic link"));
            QVERIFY(QDir(outside.path()).isEmpty());
        }
        const int linesAfterFirst = r.rig.recorder->lines().size();
        QCOMPARE(errorLinesSince(*r.rig.recorder, linesBefore), 1);
        // Later SDUs are still shown, without another line or box.
        ModalAnswerer none;
        r.panel->onReceiveIsoData(receiveFields(96, 3, 3, 0, QByteArray::fromHex("03")));
        QTest::qWait(50);
        QVERIFY(none.seen().isEmpty());
        QCOMPARE(r.rig.recorder->lines().size(), linesAfterFirst);
        QCOMPARE(r.panel->receiveModel()->rowCount(), rowsBefore + 2);
    }

    void twoDonglesNeverShareAReceiveFile()
    {
        manageCISWidget first(nullptr, nullptr, nullptr, "96", "dongle A");
        manageCISWidget second(nullptr, nullptr, nullptr, "96", "dongle B");
        manageCISWidget sneaky(nullptr, nullptr, nullptr, "96", "../..");
        QVERIFY(first.receiveFilePath() != second.receiveFilePath());
        QVERIFY(QDir::cleanPath(sneaky.receiveFilePath()).startsWith(Platform::dataFolder() + "/"));
    }

    void saveCopiesTheReceiveFile_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("new file") << false << true << false;
        QTest::newRow("over an existing file") << true << true << false;
        QTest::newRow("folder not writable") << false << false << false;
        QTest::newRow("over an existing file on a full disk") << true << true << true;
    }
    void saveCopiesTheReceiveFile()
    {
        QFETCH(bool, existing);
        QFETCH(bool, writable);
        QFETCH(bool, fullDisk);
        QTemporaryDir folder;
        const QString target = writable ? folder.filePath("copy.txt") : folder.filePath("missing/folder/copy.txt");
        const QByteArray old("an older and much longer text than the copy");
        if (existing) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        PanelRig r;
        r.panel->onReceiveIsoData(receiveFields(96, 5, 6, 0, QByteArray::fromHex("abcd")));
        setFileChooser([target](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
            return target;
        });
        // The record is longer than the disk has room for.
        std::unique_ptr<FileSizeLimit> limit;
        if (fullDisk) {
            limit = std::make_unique<FileSizeLimit>(old.size() + 4);
            QVERIFY(limit->isSet());
        }
        ModalAnswerer answerer;
        QString told;
        const bool fails = fullDisk || !writable;
        if (fails) {
            answerer.answerWith([&told, &limit](QWidget *box) {
                limit.reset();
                told = ModalAnswerer::describe(box).text;
                box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
            });
        }
        r.panel->on_pushButton_save_clicked();
        if (fails) {
            QVERIFY(answerer.waitUntilAnswered());
            QVERIFY2(told.startsWith(QStringLiteral("Copy Save File Error!\n") + target + QStringLiteral(": ")),
                     qPrintable(told));
            QCOMPARE(r.rig.recorder->count("Copy Save File Error!"), 1);
            if (existing) {
                QFile kept(target);
                QVERIFY(kept.open(QIODevice::ReadOnly));
                QCOMPARE(kept.readAll(), old);
                QVERIFY(told.contains(QStringLiteral("left as it was")));
            }
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), existing ? QStringList{"copy.txt"} : QStringList());
            return;
        }
        QFile source(r.panel->receiveFilePath());
        QFile copy(target);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), source.readAll());
    }

    void saveCancelledIsLogged()
    {
        PanelRig r;
        setFileChooser([](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
            return QString();
        });
        r.panel->on_pushButton_save_clicked();
        QCOMPARE(r.rig.recorder->count("Save File Error!"), 1);
    }

    void broadcastModeShowsOnePart()
    {
        manageCISWidget panel(nullptr, nullptr, nullptr, "4095", "isopanel-mode");
        panel.show();
        panel.setBroadcastMode(true);
        QVERIFY(child<QWidget>(&panel, "frame_rcvData")->isVisible());
        QVERIFY(!child<QWidget>(&panel, "frame_sendData")->isVisible());
        panel.setBroadcastMode(false);
        QVERIFY(!child<QWidget>(&panel, "frame_rcvData")->isVisible());
        QVERIFY(child<QWidget>(&panel, "frame_sendData")->isVisible());
        panel.disableInterval();
        QVERIFY(!child<QLineEdit>(&panel, "lineEdit_interval")->isEnabled());
    }
};

QTEST_MAIN(TestIsoPanel)
#include "tst_isopanel.moc"
