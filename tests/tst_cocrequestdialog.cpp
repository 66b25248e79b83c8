#include "ccreatecocreqdlg.h"
#include "framebuilder.h"
#include "l2caprig.h"
#include "linkrig.h"
#include "modalanswerer.h"
#include "recordinglogger.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QtTest>

// The request dialog on its own, on a real link: what it shows and the bytes
// of its one reply.
class TestCocRequestDialog : public QObject
{
    Q_OBJECT

private slots:
    void reply_data();
    void reply();
    void missingRequestFieldsShowEmpty();
    void aCidInUseIsNotAccepted();
    void waitsTwentyNineSecondsByDefault();
};

void TestCocRequestDialog::reply_data()
{
    QTest::addColumn<QString>("condix");
    QTest::addColumn<QString>("mtu");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("box"); // a refusal of what was typed, before the click


    QTest::newRow("accept, initial values") << "0" << "" << true << QByteArray::fromHex("0140004000ff001700170000")
                                            << QString();
    QTest::newRow("reject, initial values") << "0" << "" << false << QByteArray::fromHex("0040004000ff001700170000")
                                            << QString();
    QTest::newRow("accept, condix 12") << "12" << "" << true << QByteArray::fromHex("0140004000ff00170017000c")
                                       << QString();
    QTest::newRow("reject, condix 12") << "12" << "" << false << QByteArray::fromHex("0040004000ff00170017000c")
                                       << QString();
    // Below the edit's minimum: Accept is refused where it was typed, and
    // nothing goes out; a refusal carries the value of a refusal without edits.
    QTest::newRow("accept, MTU 5") << "0" << "5" << false << QByteArray::fromHex("0040004000ff001700170000")
                                   << "Local MTU: \"5\" cannot be sent; enter a whole number from 23 to 2048.";
    QTest::newRow("reject, MTU 5") << "0" << "5" << false << QByteArray::fromHex("0040004000ff001700170000")
                                   << QString();
    QTest::newRow("accept, MTU 300") << "0" << "300" << true << QByteArray::fromHex("0140004000ff002c01170000")
                                     << QString();
}

void TestCocRequestDialog::reply()
{
    QFETCH(QString, condix);
    QFETCH(QString, mtu);
    QFETCH(bool, accept);
    QFETCH(QByteArray, payload);
    QFETCH(QString, box);

    LinkRig rig(QStringLiteral("coc-request"), 5);
    QVERIFY(rig.openAndSync());
    rig.dongle.clearReceived();
    QMap<QString, QString> request{{"le_psm", "128"}, {"peer_cid", "64"}, {"peer_mtu", "512"}, {"peer_mps", "247"},
                                   {"condix", condix}};
    const QString dongle = QStringLiteral("Dongle1");
    auto *dialog = new CCreateCOCReqDlg(&rig.link, &rig.logs, dongle, request, condix);
    QPointer<CCreateCOCReqDlg> alive(dialog);
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("labelLocalPSM"))->text(), QStringLiteral("128"));
    if (!mtu.isEmpty())
        dialog->findChild<QLineEdit *>(QStringLiteral("lineEdiLocaltMTU"))->setText(mtu);

    QStringList acceptedCids;
    QMap<QString, QString> fields;
    ChannelInfo channel;
    connect(dialog, &CCreateCOCReqDlg::receiveCOCRequest,
            [&](const QString &cid, ChannelInfo &info, const QMap<QString, QString> &values) {
                acceptedCids << cid;
                channel = info;
                fields = values;
            });
    dialog->show();
    if (!box.isEmpty()) {
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
        QVERIFY(answerer.allAnswered());
        QCOMPARE(answerer.seen().value(0).text, box);
        QVERIFY(dialog->isVisible());
        QCOMPARE(rig.dongle.receivedCount(), 0);
    }
    dialog->findChild<QPushButton *>(accept ? QStringLiteral("pushButtonAccept") : QStringLiteral("pushButtonReject"))
        ->click();
    QVERIFY(rig.dongle.waitForFrames(1));
    QTest::qWait(30);
    QCOMPARE(rig.dongle.receivedCount(), 1);
    const QByteArray frame = rig.dongle.receivedFrames().first().bytes;
    QCOMPARE(rig.dongle.receivedFrames().first().id, QStringLiteral("04@07"));
    QCOMPARE(L2capRig::payloadOf(frame), payload);
    QCOMPARE(acceptedCids.size(), accept ? 1 : 0);
    if (accept) {
        QCOMPARE(acceptedCids.first(), QStringLiteral("64"));
        QCOMPARE(fields.value("local_psm"), QStringLiteral("128"));
        QCOMPARE(fields.value("accept"), QStringLiteral("1"));
        QCOMPARE(channel.psmValues.value("PSM"), QStringLiteral("128"));
        QCOMPARE(channel.localValues.value("MTU"), fields.value("mtu"));
        QCOMPARE(channel.remoteValues.value("MTU"), QStringLiteral("512"));
        QCOMPARE(channel.remoteValues.value("Initial Credits"), QStringLiteral("xxx"));
    } else {
        QVERIFY(rig.recorder->texts().contains(QStringLiteral("Downlink Command Name: Reject Create COC Request\r\n")
                                               + QStringLiteral("Raw Data: ")
                                               + QString::fromLatin1(frame.left(frame.size() - 1).toHex())
                                               + QStringLiteral("\r\nField Data: ")));
    }
    // The dialog deletes itself when it closes.
    QVERIFY(QTest::qWaitFor([&] { return alive.isNull(); }));
}

void TestCocRequestDialog::missingRequestFieldsShowEmpty()
{
    QMap<QString, QString> request{{"le_psm", "1"}, {"condix", "0"}};
    CCreateCOCReqDlg dialog(nullptr, nullptr, QStringLiteral("D"), request, QStringLiteral("0"));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelPeerMTU"))->text(), QString());
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelPeerCID"))->text(), QString());
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEditLocalCID"))->text(), QStringLiteral("64"));
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEditLocalCredits"))->text(), QStringLiteral("255"));
    // Text from the wire is never read as markup.
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelLocalPSM"))->textFormat(), Qt::PlainText);
    QCOMPARE(dialog.refusalFrame(), QByteArray::fromHex("aa04070c000000004000ff001700170000"));
}

void TestCocRequestDialog::aCidInUseIsNotAccepted()
{
    LinkRig rig(QStringLiteral("coc-request"), 5);
    QVERIFY(rig.openAndSync());
    rig.dongle.clearReceived();
    QMap<QString, QString> request{{"le_psm", "128"}, {"peer_cid", "70"}, {"condix", "0"}};
    auto *dialog = new CCreateCOCReqDlg(&rig.link, &rig.logs, QStringLiteral("D"), request, QStringLiteral("0"));
    QPointer<CCreateCOCReqDlg> alive(dialog);
    dialog->setCidInUse([](const QString &key) { return key == QLatin1String("64"); });
    dialog->show();
    // A box in the dialog says why; the dialog stays for another CID.
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    dialog->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text,
             QStringLiteral("Local CID 64 is already in use on this connection; choose another."));
    QTest::qWait(50);
    QCOMPARE(rig.dongle.receivedCount(), 0);
    QVERIFY(alive);
    QVERIFY(dialog->isVisible());
    QVERIFY(rig.recorder->texts().contains(
        QStringLiteral("Local CID 64 is already in use on this connection; choose another.")));
    // Another CID goes through.
    dialog->findChild<QLineEdit *>(QStringLiteral("lineEditLocalCID"))->setText(QStringLiteral("65"));
    dialog->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
    QVERIFY(rig.dongle.waitForFrames(1));
    QCOMPARE(L2capRig::payloadOf(rig.dongle.receivedFrames().first().bytes).mid(3, 2), QByteArray::fromHex("4100"));
    QVERIFY(QTest::qWaitFor([&] { return alive.isNull(); }));
}

void TestCocRequestDialog::waitsTwentyNineSecondsByDefault()
{
    QMap<QString, QString> request;
    CCreateCOCReqDlg dialog(nullptr, nullptr, QStringLiteral("D"), request, QStringLiteral("0"));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    const QList<QTimer *> timers = dialog.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    bool found = false;
    for (QTimer *timer : timers)
        found = found || (timer->isActive() && timer->interval() == 29000);
    QVERIFY(found);
}

QTEST_MAIN(TestCocRequestDialog)
#include "tst_cocrequestdialog.moc"
