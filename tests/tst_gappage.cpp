#include "ccommanduiwidget.h"
#include "cgapcmdwidget.h"
#include "cupdateconnparams.h"
#include "cvalidatelineedit.h"
#include "diagramwidget.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "modalanswerer.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The GAP tab of a connection on the simulated dongle: its forms, its diagram,
// the results it takes and the peer's parameter update request.
class TestGapPage : public QObject
{
    Q_OBJECT

    static constexpr uint8_t Condix = 3;

    struct Rig
    {
        Rig() : link(QStringLiteral("gappage"))
        {
            settings.insert(QStringLiteral("device_name"), QStringLiteral("0x6948"));
            settings.insert(QStringLiteral("identity_addr"), QStringLiteral("0A1B2C3D4E5F"));
        }
        CGapCmdWidget *makePage(uint8_t condix = Condix)
        {
            // interval 6 (7.5 ms), latency 2, time-out 100 (1000 ms)
            return new CGapCmdWidget(&link.link, &link.logs, &settings, &dongleName, 6, 2, 100,
                                     QStringLiteral("Peer Device"), QStringLiteral("66:55:44:33:22:11"), condix);
        }
        LinkRig link;
        QMap<QString, QVariant> settings;
        QString dongleName = QStringLiteral("Dongle1");
    };

    static CCommandUiWidget *form(CGapCmdWidget *page, const QString &name)
    {
        for (QWidget *widget : page->commandForms()) {
            auto *form = qobject_cast<CCommandUiWidget *>(widget);
            if (form && form->getCmdName() == name)
                return form;
        }
        return nullptr;
    }

    static QStringList gridTexts(QWidget *dialog)
    {
        QStringList texts;
        for (QLabel *label : dialog->findChildren<QLabel *>()) {
            if (label->objectName().isEmpty())
                texts << label->text();
        }
        return texts;
    }

    static QByteArray updateRequest(uint8_t condix)
    {
        // interval_min 24, interval_max 40, latency 0, time-out 500
        return FrameBuilder::frame(0xDD, 0x01, 0x3C, FrameBuilder::fromHex("18 00 28 00 00 00 F4 01") + char(condix));
    }

private slots:
    void settingTexts_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("name");
        QTest::newRow("two characters, last first") << "0x6948" << "Hi";
        QTest::newRow("no prefix") << "6948" << "Hi";
        QTest::newRow("odd digit count keeps the lone digit") << "0x16948" << "Hi\x01";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("not hex is left out") << "0xzz48" << "H";
    }
    void settingTexts()
    {
        QFETCH(QString, setting);
        QFETCH(QString, name);
        QCOMPARE(CGapCmdWidget::dongleNameFromSetting(setting), name);
    }

    void addressSetting()
    {
        QCOMPARE(CGapCmdWidget::addressFromSetting(QStringLiteral("0A1B2C3D4E5F")),
                 QStringLiteral("0A:1B:2C:3D:4E:5F"));
        QCOMPARE(CGapCmdWidget::addressFromSetting(QString()), QString());
    }

    void formsInCatalogueOrderAndDiagram()
    {
        Rig rig;
        QScopedPointer<CGapCmdWidget> page(rig.makePage());
        const QStringList expected = {"Update Connection Parameters Request",
                                      "Data Length Update",
                                      "PHY Update",
                                      "Get Peer Version",
                                      "Get Peer Features",
                                      "Get Connection PHY",
                                      "Get Connection Channel Map",
                                      "Get Connection RSSI",
                                      "Get Selection Algorithm For Connection Channel",
                                      "RF TX Power Set"};
        QStringList names;
        QList<bool> unfolded;
        for (QWidget *widget : page->commandForms()) {
            auto *form = qobject_cast<CCommandUiWidget *>(widget);
            QVERIFY(form);
            names << form->getCmdName();
            unfolded << !form->findChild<QFrame *>(QStringLiteral("frame"))->isHidden();
        }
        QCOMPARE(names, expected);
        QCOMPARE(unfolded.count(true), 1);
        QVERIFY(unfolded.first());

        DiagramWidget *diagram = page->diagram();
        QCOMPARE(diagram->getState(), 0);
        QCOMPARE(diagram->m_lbDongle->text(), QStringLiteral("Hi"));
        QCOMPARE(diagram->m_lbDongleAddr->text(), QStringLiteral("0A:1B:2C:3D:4E:5F"));
        QCOMPARE(diagram->m_lbDevice->text(), QStringLiteral("Peer Device"));
        QCOMPARE(diagram->m_lbDeviceAddr->text(), QStringLiteral("66:55:44:33:22:11"));
        QCOMPARE(diagram->m_lbMin->text(), QStringLiteral("7.5ms"));
        QCOMPARE(diagram->m_lbMax->text(), QStringLiteral("7.5ms"));
        QCOMPARE(diagram->m_lbLatency->text(), QStringLiteral("2"));
        QCOMPARE(diagram->m_lbTimeout->text(), QStringLiteral("1000ms"));
        QCOMPARE(page->objectName(), QStringLiteral("CGapCmdWidget"));
    }

    void rssiOfThisConnectionOnly()
    {
        Rig rig;
        QVERIFY(rig.link.openAndSync());
        QScopedPointer<CGapCmdWidget> page(rig.makePage());
        CCommandUiWidget *rssi = form(page.data(), QStringLiteral("Get Connection RSSI"));
        QVERIFY(rssi);

        rig.link.dongle.clearReceived();
        rssi->on_btn_command_clicked();
        QVERIFY(rig.link.dongle.waitForFrames(1));
        QCOMPARE(rig.link.dongle.receivedBytes().first(), FrameBuilder::downlink(0x01, 0x51, QByteArray(1, Condix)));

        // the command's acknowledgement
        QTRY_COMPARE(rig.link.link.acknowledgements().waiting(), 0);

        auto *edit = rssi->findChild<CValidateLineEdit *>();
        QVERIFY(edit);
        const QString before = edit->text();
        rig.link.uplinks.clear();
        // -20 dBm for another connection, then for this one
        rig.link.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x01, 0x52, FrameBuilder::fromHex("00 EC 04")));
        QVERIFY(rig.link.uplinks.waitFor(1));
        QCOMPARE(edit->text(), before);
        rig.link.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x01, 0x52, FrameBuilder::fromHex("00 EC") + char(Condix)));
        QVERIFY(rig.link.uplinks.waitFor(2));
        QCOMPARE(edit->text(), QStringLiteral("-20"));
    }

    // Acknowledgements name no connection: each is logged by the page that
    // sent its command, a refusal with the connection's index.
    void acknowledgementsLoggedByTheirOwnPage()
    {
        Rig rig;
        QVERIFY(rig.link.openAndSync());
        QScopedPointer<CGapCmdWidget> first(rig.makePage(1));
        QScopedPointer<CGapCmdWidget> second(rig.makePage(2));
        first->setIsCurrentTab(true);
        rig.link.dongle.refuse(QStringLiteral("01@51"), 0x06, SimulatedDongle::Which::byteAt(4, 1));
        rig.link.recorder->clear();
        form(first.data(), QStringLiteral("Get Connection RSSI"))->on_btn_command_clicked();
        form(second.data(), QStringLiteral("Get Connection RSSI"))->on_btn_command_clicked();
        CCommandUiWidget *power = form(second.data(), QStringLiteral("RF TX Power Set"));
        power->findChild<CValidateLineEdit *>()->setText(QStringLiteral("4"));
        power->on_btn_command_clicked();
        QVERIFY(rig.link.dongle.waitForFrames(3));
        QTRY_COMPARE(rig.link.link.acknowledgements().waiting(), 0);
        QTest::qWait(50);
        const QStringList texts = rig.link.recorder->texts();
        // Each RSSI acknowledgement is logged once, by its own page.
        QCOMPARE(texts.filter(QStringLiteral("[SDKProc]")).size(), 2);
        QCOMPARE(texts.filter(QStringLiteral("[lastSDKProc]")).size(), 1);
        QCOMPARE(texts.filter(QStringLiteral("Result:SDK ERR BUSY")).size(), 1);
        const QString refusal = QStringLiteral("Connection 1: the dongle refused Get Connection RSSI (SDK ERR BUSY).");
        QCOMPARE(texts.filter(refusal).size(), 1);
        QVERIFY(texts.filter(QStringLiteral("Connection 2:")).isEmpty());
    }

    void completeEventSetsTheDiagram_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("timeout");
        // status, interval 24, latency 1, time-out 200, condix
        QTest::newRow("success") << FrameBuilder::fromHex("00 18 00 01 00 C8 00 03") << 0 << "30ms" << "2000ms";
        QTest::newRow("failure keeps waiting")
            << FrameBuilder::fromHex("3B 18 00 01 00 C8 00 03") << 1 << "7.5ms" << "1000ms";
        QTest::newRow("other connection") << FrameBuilder::fromHex("00 18 00 01 00 C8 00 04") << 1 << "7.5ms"
                                          << "1000ms";
        QTest::newRow("short frame") << FrameBuilder::fromHex("00 18 00 01 00 C8 00") << 1 << "7.5ms"
                                             << "1000ms";
    }
    void completeEventSetsTheDiagram()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, state);
        QFETCH(QString, interval);
        QFETCH(QString, timeout);
        Rig rig;
        QVERIFY(rig.link.openAndSync());
        QScopedPointer<CGapCmdWidget> page(rig.makePage());
        page->on_receiveUpdateRequest();
        QCOMPARE(page->diagram()->getState(), 1);
        rig.link.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x01, 0x38, payload));
        QVERIFY(rig.link.uplinks.waitFor(2));
        QCOMPARE(page->diagram()->getState(), state);
        QCOMPARE(page->diagram()->m_lbMin->text(), interval);
        QCOMPARE(page->diagram()->m_lbTimeout->text(), timeout);
    }

    void timeoutGreysOnlyAWaitingDiagram()
    {
        Rig rig;
        QScopedPointer<CGapCmdWidget> page(rig.makePage());
        page->on_timeout();
        QCOMPARE(page->diagram()->getState(), 0);
        page->on_receiveUpdateRequest();
        page->on_timeout();
        QCOMPARE(page->diagram()->getState(), 2);
    }

    void peerRequestIsAnsweredOnce_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<char>("accept");
        QTest::addColumn<int>("state");
        QTest::newRow("Accept") << "pushButtonAccept" << char(1) << 1;
        QTest::newRow("Reject") << "pushButtonReject" << char(0) << 0;
        QTest::newRow("title bar close") << ModalAnswerer::CloseButton << char(0) << 0;
        QTest::newRow("Escape") << ModalAnswerer::Reject << char(0) << 0;
    }
    void peerRequestIsAnsweredOnce()
    {
        QFETCH(QString, answer);
        QFETCH(char, accept);
        QFETCH(int, state);
        Rig rig;
        QVERIFY(rig.link.openAndSync());
        QScopedPointer<CGapCmdWidget> page(rig.makePage());
        QSignalSpy shown(page.data(), &CGapCmdWidget::sig_showDongleTab);

        QStringList rows;
        QString title;
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *dialog) {
            rows = gridTexts(dialog);
            title = ModalAnswerer::describe(dialog).title;
            if (answer == ModalAnswerer::Reject)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (answer == ModalAnswerer::CloseButton)
                static_cast<CFlatDialog *>(dialog)->m_tbClose->click();
            else
                dialog->findChild<QPushButton *>(answer)->click();
        });
        rig.link.dongle.clearReceived();
        rig.link.dongle.sendUplink(updateRequest(Condix));
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(answerer.failures().isEmpty());

        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.first().first().toString(), QStringLiteral("Dongle1"));
        QCOMPARE(title, QStringLiteral("Dongle1: Update Connection Parameters"));
        QCOMPARE(rows, QStringList({"Peer Device", "66:55:44:33:22:11", "Connection Interval Maximum(ms)", "50",
                                    "Connection Interval Minimum(ms)", "30", "Connection Latency", "0",
                                    "Supervision Timeout(ms)", "5000"}));
        QVERIFY(rig.link.dongle.waitForFrames(1));
        QTest::qWait(250);
        QCOMPARE(rig.link.dongle.receivedBytes(),
                 QList<QByteArray>({FrameBuilder::downlink(0x01, 0x39, QByteArray(1, accept) + char(Condix))}));
        QCOMPARE(page->diagram()->getState(), state);
    }

    void requestOfAnotherConnectionOpensNothing()
    {
        Rig rig;
        QVERIFY(rig.link.openAndSync());
        QScopedPointer<CGapCmdWidget> page(rig.makePage());
        QSignalSpy shown(page.data(), &CGapCmdWidget::sig_showDongleTab);
        rig.link.dongle.sendUplink(updateRequest(Condix + 1));
        QVERIFY(rig.link.uplinks.waitFor(2));
        QCOMPARE(shown.count(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void replyThatCannotBeSentClosesWithoutSignal()
    {
        LogManager logs(QStringLiteral("gapreply"));
        auto *recorder = new RecordingLogger;
        logs.addLogger(recorder);
        QMap<QString, QVariant> values{{"interval_min", 7.5}, {"interval_max", 7.5}, {"slave_latency", 0},
                                       {"sup_timeout", 1000}, {"condix", 12}, {"extra", 1}};
        QPointer<CUpdateConnParams> dialog(new CUpdateConnParams(nullptr, &logs, QStringLiteral("D"),
                                                                 QStringLiteral("12"), QStringLiteral("aa"), values));
        QStringList rows = gridTexts(dialog);
        QCOMPARE(rows, QStringList({"Peer Device", "aa", "Connection Interval Maximum(ms)", "7.5",
                                    "Connection Interval Minimum(ms)", "7.5", "Connection Latency", "0",
                                    "Supervision Timeout(ms)", "1000"}));
        QSignalSpy accepted(dialog.data(), &CUpdateConnParams::receiveUpdateRequest);
        dialog->show();
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(recorder->count(QStringLiteral("send update connection parameters reply message failed")), 1);
        QTRY_VERIFY(!dialog);
    }
};

QTEST_MAIN(TestGapPage)
#include "tst_gappage.moc"
