#include "ccommanduiwidget.h"
#include "framebuilder.h"
#include "getinfodlg.h"
#include "linkrig.h"
#include "modalanswerer.h"
#include "resolveaddressdialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

QStringList lineEditTexts(QWidget *form)
{
    QStringList texts;
    for (QLineEdit *edit : form->findChildren<QLineEdit *>())
        texts << edit->text();
    return texts;
}

} // namespace

class TestMaintenanceDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resolveRequests_data();
    void resolveRequests();
    void resolveResults_data();
    void resolveResults();

    void getInfoFormsAndQueries();
    void getInfoAnswersFillTheirForm();

private:
    std::unique_ptr<LinkRig> m_rig;
};

void TestMaintenanceDialogs::init()
{
    m_rig = std::make_unique<LinkRig>(QStringLiteral("Maintenance"), 2);
    QVERIFY(m_rig->openAndSync());
}

void TestMaintenanceDialogs::cleanup()
{
    m_rig.reset();
}

void TestMaintenanceDialogs::resolveRequests_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("frame"); // without its checksum; empty: refused, nothing sent
    QTest::newRow("local, public") << "11:22:33:44:55:66" << "public" << "buttonLocal"
                                   << "AA 01 85 08 00 00 00 66 55 44 33 22 11";
    QTest::newRow("peer, random") << "11:22:33:44:55:66" << "random" << "buttonPeer"
                                  << "AA 01 85 08 00 01 01 66 55 44 33 22 11";
    // Three bytes are no address: refused, not filled with zeros.
    QTest::newRow("peer, short address") << "11:22:33" << "public" << "buttonPeer" << QString();
}

void TestMaintenanceDialogs::resolveRequests()
{
    QFETCH(QString, address);
    QFETCH(QString, type);
    QFETCH(QString, button);
    QFETCH(QString, frame);
    ResolveAddressDialog dialog(&m_rig->link, &m_rig->logs);
    dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPeerIdentityAddress"))->setText(address);
    dialog.findChild<QComboBox *>(QStringLiteral("comboBoxAddressType"))->setCurrentText(type);
    ModalAnswerer answerer;
    if (frame.isEmpty())
        answerer.click(QStringLiteral("m_pbOk"));
    dialog.findChild<QPushButton *>(button)->click();
    if (frame.isEmpty()) {
        QCOMPARE(answerer.seen().value(0).text,
                 QStringLiteral("Peer Identity Address: \"%1\" cannot be sent; enter six bytes in hexadecimal, as "
                                "11:22:33:44:55:66.")
                     .arg(address));
        QVERIFY(!m_rig->dongle.waitForFrames(1, 300));
        return;
    }
    QVERIFY(m_rig->dongle.waitForFrames(1));
    QCOMPARE(FrameBuilder::toHex(m_rig->dongle.receivedBytes().first()),
             FrameBuilder::toHex(FrameBuilder::withChecksum(FrameBuilder::fromHex(frame))));
}

void TestMaintenanceDialogs::resolveResults_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("logged");
    QTest::newRow("peer address") << FrameBuilder::frame(0xDD, 0x01, 0x86, FrameBuilder::fromHex("00 01 01 02 03 04 05 46"))
                                  << "" << "46:05:04:03:02:01" << "";
    QTest::newRow("local address") << FrameBuilder::frame(0xDD, 0x01, 0x86, FrameBuilder::fromHex("00 00 AA BB CC DD EE FF"))
                                   << "ff:ee:dd:cc:bb:aa" << "" << "";
    QTest::newRow("failed status") << FrameBuilder::frame(0xDD, 0x01, 0x86, FrameBuilder::fromHex("12 01 01 02 03 04 05 46"))
                                   << "" << ""
                                   << "Uplink Command Name:Resolvable address read Result:BLE ATT ERR DB OUT OF SYNC";
    QTest::newRow("unknown operation") << FrameBuilder::frame(0xDD, 0x01, 0x86, FrameBuilder::fromHex("00 02 01 02 03 04 05 46"))
                                       << "" << "" << "";
    QTest::newRow("another GAP uplink") << FrameBuilder::frame(0xDD, 0x01, 0x02, FrameBuilder::fromHex("00 01 01 02 03 04 05 46"))
                                        << "" << "" << "";
    QTest::newRow("refused command") << FrameBuilder::frame(0xBB, 0x01, 0x85, FrameBuilder::fromHex("06")) << "" << ""
                                     << "[SDK Result] Uplink Command Name:Resolvable address read Result:SDK ERR BUSY";
}

void TestMaintenanceDialogs::resolveResults()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, local);
    QFETCH(QString, peer);
    QFETCH(QString, logged);
    ResolveAddressDialog dialog(&m_rig->link, &m_rig->logs);
    if (quint8(frame.at(0)) == 0xBB) {
        // An acknowledgement answers the dialog's own query, refused by the dongle.
        m_rig->dongle.refuse(QStringLiteral("01@85"), quint8(FrameBuilder::payloadOf(frame).at(0)));
        dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPeerIdentityAddress"))
            ->setText(QStringLiteral("11:22:33:44:55:66"));
        dialog.findChild<QPushButton *>(QStringLiteral("buttonLocal"))->click();
        QVERIFY(m_rig->dongle.waitForFrames(1));
        QTRY_COMPARE(m_rig->link.acknowledgements().waiting(), 0);
    } else {
        const int before = m_rig->uplinks.count();
        m_rig->dongle.sendUplink(frame);
        QVERIFY(m_rig->uplinks.waitFor(before + 1));
    }
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEditLocalAddress"))->text(), local);
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPeerAddress"))->text(), peer);
    if (!logged.isEmpty())
        QVERIFY2(m_rig->recorder->texts().contains(logged), qPrintable(m_rig->recorder->texts().join('\n')));
}

void TestMaintenanceDialogs::getInfoFormsAndQueries()
{
    GetInfoDlg dialog(&m_rig->link, &m_rig->logs);
    dialog.initForms();
    const QStringList names{"Device Version Get", "Device BD_Address Get", "Suggested Default Data Length Info Get",
                            "Max Data Length Info Get", "Number of Available Adv Sets Get",
                            "Maximum Adv Data Length Get", "TX Power Get", "RF Path Compensation Values Get"};
    for (const QString &name : names)
        QVERIFY2(dialog.form(name), qPrintable(name));
    QCOMPARE(dialog.findChildren<CCommandUiWidget *>().size(), names.size());
    // Opening sends nothing; "Get" sends the form's query.
    dialog.show();
    QTest::qWait(50);
    QCOMPARE(m_rig->dongle.receivedCount(), 0);
    dialog.form(QStringLiteral("Device Version Get"))->findChild<QPushButton *>(QStringLiteral("btn_command"))->click();
    QVERIFY(m_rig->dongle.waitForFrames(1));
    QCOMPARE(FrameBuilder::toHex(m_rig->dongle.receivedBytes().first()), QStringLiteral("AA 01 6F 00 00 E6"));
}

void TestMaintenanceDialogs::getInfoAnswersFillTheirForm()
{
    GetInfoDlg dialog(&m_rig->link, &m_rig->logs);
    dialog.initForms();
    QWidget *power = dialog.form(QStringLiteral("TX Power Get"));
    QWidget *version = dialog.form(QStringLiteral("Device Version Get"));
    const QStringList versionBefore = lineEditTexts(version);
    // The form's own query is acknowledged; the dongle's answer comes after.
    m_rig->dongle.setSilent(true);
    power->findChild<QPushButton *>(QStringLiteral("btn_command"))->click();
    QVERIFY(m_rig->dongle.waitForFrames(1));
    const int before = m_rig->uplinks.count();
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xBB, 0x01, 0x7B, FrameBuilder::fromHex("00")));
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xDD, 0x01, 0x7C, FrameBuilder::fromHex("07 EC")));
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xDD, 0x01, 0x02, FrameBuilder::fromHex("00 01 02")));
    QVERIFY(m_rig->uplinks.waitFor(before + 2));
    QTRY_COMPARE(m_rig->link.acknowledgements().waiting(), 0);
    QVERIFY(lineEditTexts(power).contains(QStringLiteral("7")));
    QVERIFY(lineEditTexts(power).contains(QStringLiteral("-20")));
    QCOMPARE(lineEditTexts(version), versionBefore);
    QVERIFY(m_rig->recorder->texts().contains(QStringLiteral("[SDKProc] bb017b010000")));
    QVERIFY(m_rig->recorder->texts().filter(QStringLiteral("Internal error")).isEmpty());
}

QTEST_MAIN(TestMaintenanceDialogs)
#include "tst_maintenancedialogs.moc"
