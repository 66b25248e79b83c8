#include "ccommand.h"
#include "framebuilder.h"
#include "datafolder.h"
#include "linkrig.h"
#include "manageciswidget.h"
#include "modalanswerer.h"
#include "receivecisslavepara.h"
#include "receivedatatablemodel.h"
#include "simbehaviour_iso.h"
#include "slaveciswidget.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QTextEdit>
#include <QtTest>

namespace {

QMap<QString, QByteArray> parsed(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    CCommand::parseUpLinkCmd(nullptr, frame, fields);
    return fields;
}

// "title=value" of each row of a two-column grid of labels.
QStringList rowsOf(QWidget *widget)
{
    QStringList rows;
    auto *grid = widget->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    for (int row = 0; grid && row < grid->rowCount(); ++row) {
        QLayoutItem *title = grid->itemAtPosition(row, 0);
        QLayoutItem *value = grid->itemAtPosition(row, 1);
        if (title && value)
            rows << qobject_cast<QLabel *>(title->widget())->text() + "="
                        + qobject_cast<QLabel *>(value->widget())->text();
    }
    return rows;
}

} // namespace

class TestCisPeripheral : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<uint64_t>("uint64_t");
    }

    void cleanupTestCase()
    {
        QDir(Platform::dataFolder() + QStringLiteral("/cisperipheral-test")).removeRecursively();
    }

    void requestShowsItsFields()
    {
        ReceiveCISSlavePara dialog(nullptr, nullptr, parsed(IsoBehaviour::cisRequest(1, 0x20, 2, 3)));
        QCOMPARE(rowsOf(&dialog), QStringList({"ACL Connection Index=1", "CIG ID=2", "CIS Connection Handle=32",
                                                "CIS ID=3"}));
        QVERIFY(dialog.testAttribute(Qt::WA_DeleteOnClose));
    }

    void answersCarryTheRequestedHandle_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("id");
        QTest::newRow("accept") << "pushButton_accept" << "06@05";
        QTest::newRow("reject") << "pushButton_reject" << "06@06";
        QTest::newRow("title bar") << ModalAnswerer::CloseButton << QString();
    }
    void answersCarryTheRequestedHandle()
    {
        QFETCH(QString, button);
        QFETCH(QString, id);
        LinkRig rig(QStringLiteral("cisrequest"), 2);
        QVERIFY(rig.openAndSync());
        QPointer<ReceiveCISSlavePara> dialog =
            new ReceiveCISSlavePara(&rig.link, &rig.logs, parsed(IsoBehaviour::cisRequest(1, 0x20, 2, 3)));
        ModalAnswerer answerer;
        answerer.click(button);
        dialog->exec();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(QTest::qWaitFor([&] { return !dialog; }, 2000));
        QTest::qWait(50);
        if (id.isEmpty()) {
            QCOMPARE(rig.dongle.receivedCount(), 0);
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return rig.dongle.receivedIds().contains(id); }, 5000));
        QCOMPARE(FrameBuilder::payloadOf(rig.dongle.receivedBytesOf(id).first()), QByteArray::fromHex("2000"));
    }

    void aRequestWithoutHandleIsNotAnswered()
    {
        RecordingLogger *recorder = new RecordingLogger;
        LogManager logs(QStringLiteral("cisrequest-bad"));
        logs.addLogger(recorder);
        QMap<QString, QByteArray> fields = parsed(IsoBehaviour::cisRequest(1, 0x20, 2, 3));
        fields.remove("cis_connection_handle");
        ReceiveCISSlavePara dialog(nullptr, &logs, fields);
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.show();
        dialog.on_pushButton_accept_clicked();
        dialog.on_pushButton_reject_clicked();
        QVERIFY(dialog.isVisible());
        QCOMPARE(recorder->count("The CIS Request data is wrong."), 2);
    }

    void pageShowsTheStream()
    {
        SlaveCISWidget page(nullptr, nullptr, nullptr, parsed(IsoBehaviour::cisEstablished(0, 3839)),
                            "cisperipheral-test");
        QCOMPARE(page.cisHandle(), quint64(3839));
        QCOMPARE(page.findChild<QLabel *>("label_connectHandle")->text(),
                 QStringLiteral("CIS Connection Handle: 3839"));
        QCOMPARE(page.panel()->handle(), QStringLiteral("3839"));
        QCOMPARE(rowsOf(&page), QStringList({"CIG Sync Delay(um)=1000", "CIS Connection Handle=3839",
                                             "CIS Sync Delay(um)=900", "PHY M2S=LE 2M", "PHY S2M=LE 2M",
                                             "Transport Latency M2S(um)=10000",
                                             "Transport Latency S2M(um)=10000"}));

        QMap<QString, QByteArray> odd = parsed(IsoBehaviour::cisEstablished(0, 5));
        odd.remove("phy_m2s");
        odd["phy_s2m"] = QByteArray(1, char(3));
        odd.remove("cis_connection_handle");
        SlaveCISWidget other(nullptr, nullptr, nullptr, odd, "cisperipheral-test");
        QCOMPARE(other.cisHandle(), quint64(0));
        const QStringList rows = rowsOf(&other);
        QCOMPARE(rows.size(), 5);
        QVERIFY(rows.contains("PHY S2M="));
    }

    void pageWorksItsStream()
    {
        LinkRig rig(QStringLiteral("cisperipheral"), 2);
        IsoBehaviour::install(rig.dongle);
        QVERIFY(rig.openAndSync());
        SlaveCISWidget first(&rig.link, &rig.logs, nullptr, parsed(IsoBehaviour::cisEstablished(0, 16)),
                             "cisperipheral-test");
        SlaveCISWidget second(&rig.link, &rig.logs, nullptr, parsed(IsoBehaviour::cisEstablished(0, 0x123)),
                              "cisperipheral-test");
        QSignalSpy gone(&second, &SlaveCISWidget::disConnectSlaveCIS);

        // Typed data fits: the page gives its panel the largest SDU.
        rig.dongle.sendUplink(IsoBehaviour::receiveIsoData(0x123, 1, 2, 0, QByteArray::fromHex("77")));
        QVERIFY(QTest::qWaitFor([&] { return second.panel()->receiveModel()->rowCount() == 1; }, 5000));
        QCOMPARE(first.panel()->receiveModel()->rowCount(), 0);

        // The status is logged once, by the page that sent the data.
        rig.recorder->clear();
        rig.dongle.refuse(QStringLiteral("06@0E"), 6);
        second.panel()->findChild<QTextEdit *>("textEdit_sendData")->setPlainText("01");
        second.panel()->on_pushButton_send_clicked();
        QVERIFY(QTest::qWaitFor([&] { return rig.recorder->count("[SDK Result] Uplink Command Name:Send ISO Data "
                                                                 "Result:SDK ERR BUSY") > 0; },
                                5000));
        QTest::qWait(50);
        QCOMPARE(rig.recorder->count("[SDK Result] Uplink Command Name:Send ISO Data Result:SDK ERR BUSY"), 1);

        second.onSlaveDisconnect();
        QVERIFY(QTest::qWaitFor([&] { return rig.dongle.receivedIds().contains("06@0D"); }, 5000));
        QCOMPARE(FrameBuilder::payloadOf(rig.dongle.receivedBytesOf("06@0D").first()), QByteArray::fromHex("2301"));

        rig.dongle.sendUplink(IsoBehaviour::cisDisconnected(16));
        QTest::qWait(100);
        QCOMPARE(gone.count(), 0);
        rig.dongle.sendUplink(IsoBehaviour::cisDisconnected(0x123, 0x99));
        QVERIFY(gone.wait(5000));
        QCOMPARE(gone.first().first().value<uint64_t>(), uint64_t(0x123));
    }

    void peripheralPanelTakesTypedData()
    {
        LinkRig rig(QStringLiteral("cisperipheral-send"), 2);
        IsoBehaviour *iso = IsoBehaviour::install(rig.dongle);
        QVERIFY(rig.openAndSync());
        SlaveCISWidget page(&rig.link, &rig.logs, nullptr, parsed(IsoBehaviour::cisEstablished(0, 16)),
                            "cisperipheral-test");
        page.panel()->findChild<QTextEdit *>("textEdit_sendData")->setPlainText("01:02:03");
        page.panel()->on_pushButton_send_clicked();
        QVERIFY(QTest::qWaitFor([&] { return iso->sentSdus().size() == 1; }, 5000));
        QCOMPARE(iso->sentSdus().first(), QByteArray::fromHex("10000300010203"));
    }
};

QTEST_MAIN(TestCisPeripheral)
#include "tst_cisperipheral.moc"
