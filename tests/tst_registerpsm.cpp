#include "cregisterpsmdialog.h"
#include "framebuilder.h"
#include "l2caprig.h"
#include "linkrig.h"
#include "modalanswerer.h"
#include "recordinglogger.h"
#include "simbehaviour_l2cap.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest/QtTest>

namespace {

// The dialog on the link to a dongle that keeps registered PSMs, opened as
// the user opens it (its form is built when first shown).
struct PsmRig
{
    explicit PsmRig(bool opened = true) : rig(QStringLiteral("psm-test"), 5), dialog(&rig.link, &rig.logs)
    {
        L2capBehaviour::install(rig.dongle);
        if (opened)
            dialog.show();
    }
    bool registerPsm(const QString &psm, const QString &level = QStringLiteral("GAP_SEC_LVL_NO_SECURITY"),
                     const QString &mks = QStringLiteral("false"))
    {
        if (!L2capRig::setFormField(&dialog, QStringLiteral("LS PSM"), psm)
            || !L2capRig::setFormField(&dialog, QStringLiteral("Security Level"), level)
            || !L2capRig::setFormField(&dialog, QStringLiteral("Use Max Key Size"), mks))
            return false;
        const int before = rig.dongle.receivedCount();
        dialog.findChild<QPushButton *>(QStringLiteral("pushButtonRegister"))->click();
        // The acknowledgement is the dialog's alone: the link waits for nothing more once it came.
        return rig.dongle.waitForFrames(before + 1)
               && LinkRig::waitUntil([this] { return rig.link.acknowledgements().waiting() == 0; });
    }
    QListWidget *list() { return dialog.findChild<QListWidget *>(QStringLiteral("listWidgetPsm")); }

    LinkRig rig;
    CRegisterPSMDialog dialog;
};

} // namespace

class TestRegisterPsm : public QObject
{
    Q_OBJECT

private slots:
    void registerSendsTheFormAndListsConfirmedPsmsOnce();
    void refusedRegistrationListsNothing();
    void psmOutOfRangeIsNotSent_data();
    void psmOutOfRangeIsNotSent();
    void unregisterRemovesTheRowOfItsClick();
    void resetEmptiesTheListAndForgetsTheLateAnswer();
    void answersBeforeTheFirstShowAreLoggedAndListed();
};

void TestRegisterPsm::registerSendsTheFormAndListsConfirmedPsmsOnce()
{
    PsmRig psm;
    QVERIFY(psm.rig.openAndSync());
    QVERIFY(psm.registerPsm(QStringLiteral("128"), QStringLiteral("GAP_SEC_LVL_LE_ENC_AUTH"), QStringLiteral("true")));
    QCOMPARE(psm.rig.dongle.receivedFrames().last().id, QStringLiteral("04@0D"));
    QCOMPARE(L2capRig::payloadOf(psm.rig.dongle.receivedFrames().last().bytes), QByteArray::fromHex("800201"));
    QCOMPARE(psm.dialog.psmEntries(), QStringList{QStringLiteral("psm: 128")});
    QVERIFY(psm.rig.recorder->texts().contains(
        QStringLiteral("[Complete Result] Uplink Command Name:Register PSM Result:BLE SUCCESS")));

    // The same PSM again is sent again and listed once.
    QVERIFY(psm.registerPsm(QStringLiteral("128")));
    QCOMPARE(psm.dialog.psmEntries(), QStringList{QStringLiteral("psm: 128")});
    QVERIFY(psm.registerPsm(QStringLiteral("3")));
    QCOMPARE(psm.dialog.psmEntries(), (QStringList{QStringLiteral("psm: 128"), QStringLiteral("psm: 3")}));
}

void TestRegisterPsm::refusedRegistrationListsNothing()
{
    PsmRig psm;
    QVERIFY(psm.rig.openAndSync());
    psm.rig.dongle.setResponder(QStringLiteral("04@0D"), [](const QByteArray &frame) {
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame, 0x3A)};
    });
    QVERIFY(psm.registerPsm(QStringLiteral("9")));
    QVERIFY(psm.dialog.psmEntries().isEmpty());
    QVERIFY(psm.rig.recorder->texts().contains(
        QStringLiteral("[Complete Result] Uplink Command Name:Register PSM Result:BLE L2C ERR LEPSM NOT SUPP")));
}

void TestRegisterPsm::psmOutOfRangeIsNotSent_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
    QTest::newRow("above 255") << "300";
}

// The PSM field takes 1 to 255: anything else is refused where it was typed
// and nothing goes out, where an empty field used to send 0.
void TestRegisterPsm::psmOutOfRangeIsNotSent()
{
    QFETCH(QString, typed);
    PsmRig psm;
    QVERIFY(psm.rig.openAndSync());
    psm.rig.dongle.clearReceived();
    QVERIFY(L2capRig::setFormField(&psm.dialog, QStringLiteral("LS PSM"), typed));
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    psm.dialog.findChild<QPushButton *>(QStringLiteral("pushButtonRegister"))->click();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(answerer.seen().value(0).text,
             QStringLiteral("LS PSM: \"%1\" cannot be sent; enter a whole number from 1 to 255.").arg(typed));
    QVERIFY(!psm.rig.dongle.waitForFrames(1, 300));
    QVERIFY(psm.dialog.psmEntries().isEmpty());
}

void TestRegisterPsm::unregisterRemovesTheRowOfItsClick()
{
    PsmRig psm;
    QVERIFY(psm.rig.openAndSync());
    QVERIFY(psm.registerPsm(QStringLiteral("128")));
    QVERIFY(psm.registerPsm(QStringLiteral("5")));

    // Nothing selected: nothing sent.
    const int before = psm.rig.dongle.receivedCount();
    psm.dialog.findChild<QPushButton *>(QStringLiteral("pushButtonUnRegister"))->click();
    QTest::qWait(50);
    QCOMPARE(psm.rig.dongle.receivedCount(), before);

    // The answer takes the row clicked, even when the selection moved since.
    psm.rig.dongle.setResponseDelay(100);
    psm.list()->setCurrentRow(0);
    psm.dialog.findChild<QPushButton *>(QStringLiteral("pushButtonUnRegister"))->click();
    psm.list()->setCurrentRow(1);
    QVERIFY(psm.rig.dongle.waitForFrames(before + 1));
    QCOMPARE(L2capRig::payloadOf(psm.rig.dongle.receivedFrames().last().bytes), QByteArray::fromHex("80"));
    QVERIFY(L2capRig::waitUntil([&] { return psm.dialog.psmEntries().size() == 1; }));
    QCOMPARE(psm.dialog.psmEntries(), QStringList{QStringLiteral("psm: 5")});
}

void TestRegisterPsm::resetEmptiesTheListAndForgetsTheLateAnswer()
{
    PsmRig psm;
    QVERIFY(psm.rig.openAndSync());
    QVERIFY(psm.registerPsm(QStringLiteral("7")));
    // The unregister answer is held back until the list was emptied and refilled.
    psm.rig.dongle.setResponder(QStringLiteral("04@0F"), [](const QByteArray &) { return QList<QByteArray>(); });
    psm.list()->setCurrentRow(0);
    psm.dialog.findChild<QPushButton *>(QStringLiteral("pushButtonUnRegister"))->click();
    QVERIFY(psm.rig.dongle.waitForFrames(psm.rig.dongle.receivedCount() + 1));
    psm.dialog.clearPsmList();
    QVERIFY(psm.registerPsm(QStringLiteral("8")));
    const int before = psm.rig.uplinks.count();
    psm.rig.dongle.sendUplink(FrameBuilder::frame(0xBB, 0x04, 0x0F, QByteArray(1, '\0')));
    QVERIFY(psm.rig.uplinks.waitFor(before + 1));
    QCOMPARE(psm.dialog.psmEntries(), QStringList{QStringLiteral("psm: 8")});
}

void TestRegisterPsm::answersBeforeTheFirstShowAreLoggedAndListed()
{
    PsmRig psm(false);
    QVERIFY(psm.rig.openAndSync());
    QVERIFY(!psm.list());

    // An answer arriving before the user ever opened the dialog answers no
    // request of it: listed nowhere.
    int before = psm.rig.uplinks.count();
    psm.rig.dongle.sendUplink(FrameBuilder::frame(0xBB, 0x04, 0x0D, QByteArray(1, '\0')));
    QVERIFY(psm.rig.uplinks.waitFor(before + 1));
    const QStringList listed = psm.dialog.psmEntries();
    QCOMPARE(listed.size(), 0);

    psm.dialog.show();
    QVERIFY(psm.list());
    QCOMPARE(psm.list()->count(), 0);
    QCOMPARE(psm.dialog.psmEntries(), listed);

    // The form built late sends as one built with the dialog.
    QVERIFY(psm.registerPsm(QStringLiteral("9")));
    QCOMPARE(psm.dialog.psmEntries(), listed + QStringList{QStringLiteral("psm: 9")});
}

QTEST_MAIN(TestRegisterPsm)
#include "tst_registerpsm.moc"
