#include "cl2capwidget.h"
#include "csduwidget.h"
#include "datafolder.h"
#include "filechooser.h"
#include "filesizelimit.h"
#include "framebuilder.h"
#include "freediskspace.h"
#include "l2caprig.h"
#include "modalanswerer.h"
#include "logger.h"
#include "recordinglogger.h"
#include "simbehaviour_l2cap.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest/QtTest>

#include <algorithm>
#include <memory>

namespace {

const QString SendSdu = QStringLiteral("04@03");
const QString Credits = QStringLiteral("04@0B");
const QString Reply = QStringLiteral("04@07");

template <typename T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

QString colonHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(':'));
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

} // namespace

class TestL2capPage : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setFileChooser(FileChooserFunction()); }

    void createCocSendsItsFrameAndListsTheChannelOnItsResult();
    void creationThatFailsListsNothing();
    void aFailedCreationFreesItsLocalCid_data();
    void aFailedCreationFreesItsLocalCid();
    void acceptAfterAFailedCreationTakesTheDefaultCid();
    void acceptWithACidInUseSaysWhyAndWaitsForAnother();
    void aLocalCidInUseIsRefusedBeforeSending();
    void typedBytesLeaveOneSduAtATime();
    void creditErrorHoldsTheTransferUntilThePeerGrantsCredits();
    void sendFailureAbandonsTheTransfer();
    void fileTransferEndsWithOneFinishBox();
    void abandonedFileTransferSendsNothingMore();
    void sduTheLinkRefusesEndsTheTransfer();
    void clearStopsATransferUnderWay_data();
    void clearStopsATransferUnderWay();
    void aResultThatNeverComesEndsTheTransfer();
    void aRefusedSendSduEndsTheTransfer();
    void peerMtuOfZeroListsTheChannelButSendsNothing();
    void receivedSdusLandInTheFileAndTheView();
    void failedCreditResultAllowsTheNextAutomaticReturn();
    void refusedCreditReturnAllowsTheNextAutomaticReturn();
    void receivedDataIsNeverWiped();
    void receivedSdusAreWrittenOnANearlyFullDisk();
    void receivedDataNeverFollowsALink_data();
    void receivedDataNeverFollowsALink();
    void aDataFileThatFailsIsToldOnce_data();
    void aDataFileThatFailsIsToldOnce();
    void saveOverAnExistingFile_data();
    void saveOverAnExistingFile();
    void framesOfOtherConnectionsAndClosedChannelsAreIgnored();
    void statusesAreTakenOnlyAsOftenAsSent();
    void disconnectingShowsTheNextChannelOrThePlaceholder();
    void disconnectThatCannotBeSentExpectsNoStatus();
    void peerRequest_data();
    void peerRequest();
};

void TestL2capPage::createCocSendsItsFrameAndListsTheChannelOnItsResult()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({512, 247, 10, L2capBehaviour::Success});
    QVERIFY(rig.createChannel(64, 2048, 23, 10, 128));

    const QList<QByteArray> creates = rig.downlinks(QStringLiteral("04@01"));
    QCOMPARE(creates.size(), 1);
    QCOMPARE(L2capRig::payloadOf(creates.first()), QByteArray::fromHex("800040000a0000081700" "00"));

    const ChannelInfo info = rig.page->channel(QStringLiteral("64"));
    QCOMPARE(info.psmValues.value("PSM"), QStringLiteral("128"));
    QCOMPARE(info.localValues.value("MTU"), QStringLiteral("2048"));
    QCOMPARE(info.localValues.value("Initial Credits"), QStringLiteral("91"));
    QCOMPARE(info.localValues.value("Remaining Credits"), QStringLiteral("91"));
    QCOMPARE(info.localValues.value("Consumed Credits"), QStringLiteral("0"));
    QCOMPARE(info.remoteValues.value("MTU"), QStringLiteral("512"));
    QCOMPARE(info.remoteValues.value("MPS"), QStringLiteral("247"));
    QCOMPARE(info.remoteValues.value("Initial Credits"), QStringLiteral("10"));

    auto *list = child<QListWidget>(rig.page.get(), "listWidget");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Channel [ID:64]"));
    QCOMPARE(rig.page->currentCid(), QStringLiteral("64"));
    QCOMPARE(rig.page->shownSduWidget(), rig.sdu(64));
    QVERIFY(rig.sdu(64)->isEnabled());

    auto *tree = child<QTreeView>(rig.page.get(), "treeView");
    QAbstractItemModel *model = tree->model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Channel [ID:64] Details:"));
    QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("128"));
    QCOMPARE(model->index(2, 0, model->index(1, 0)).data().toString(), QStringLiteral("Initial Credits"));
    QCOMPARE(model->index(2, 1, model->index(1, 0)).data().toString(), QStringLiteral("91"));
    QCOMPARE(model->index(0, 1, model->index(2, 0)).data().toString(), QStringLiteral("512"));

    // The command's acknowledgement was awaited and taken.
    QVERIFY(L2capRig::waitUntil([&] { return rig.rig.link.acknowledgements().waiting() == 0; }));
}

void TestL2capPage::creationThatFailsListsNothing()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({512, 247, 10, 0x3A});
    QVERIFY(rig.requestChannel(65));
    QVERIFY(L2capRig::waitUntil([&] {
        return rig.rig.recorder->texts().filter(QStringLiteral("Uplink Command Name:Creating COC Result:")).size() == 1;
    }));
    QVERIFY(rig.page->openChannels().isEmpty());
    // Sent, but the dongle did not open it: nothing is listed, and nothing stays pending.
    QVERIFY(rig.page->pendingChannels().isEmpty());
    QCOMPARE(child<QListWidget>(rig.page.get(), "listWidget")->count(), 0);
}

void TestL2capPage::aFailedCreationFreesItsLocalCid_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("creation result fails") << "result";
    QTest::newRow("acknowledgement refuses") << "acknowledgement";
    QTest::newRow("channel disconnected before it opened") << "disconnect";
}

void TestL2capPage::aFailedCreationFreesItsLocalCid()
{
    QFETCH(QString, how);
    L2capRig rig;
    QVERIFY(rig.open());
    const QString create = QStringLiteral("04@01");
    if (how == QLatin1String("result")) {
        rig.l2cap->setChannelPlan({512, 247, 10, 0x3A});
    } else if (how == QLatin1String("acknowledgement")) {
        rig.rig.dongle.refuse(create, 0x06);
    } else {
        // The channel is set up on the dongle's side, then dropped before the page hears of it.
        rig.rig.dongle.withholdResult(create);
        L2capBehaviour *l2cap = rig.l2cap;
        rig.rig.dongle.sendLater(create, 50, [l2cap](const QByteArray &) {
            l2cap->peerDisconnects(0, 64);
            return QList<QByteArray>();
        });
    }
    QVERIFY(rig.requestChannel(64));
    QCOMPARE(rig.page->pendingChannels(), QStringList{QStringLiteral("64")});
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->pendingChannels().isEmpty(); }));
    QVERIFY(rig.page->openChannels().isEmpty());
    QCOMPARE(rig.rig.recorder->texts().filter(QStringLiteral("local CID 64 is free again.")).size(), 1);

    // The same CID is created again.
    rig.rig.dongle.clearFaults();
    rig.l2cap->setChannelPlan({512, 247, 10, L2capBehaviour::Success});
    QVERIFY(rig.createChannel(64));
    QCOMPARE(rig.downlinks(create).size(), 2);
}

void TestL2capPage::acceptAfterAFailedCreationTakesTheDefaultCid()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({512, 247, 10, 0x3A});
    QVERIFY(rig.requestChannel(64));
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->pendingChannels().isEmpty(); }));

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("pushButtonAccept"));
    rig.l2cap->peerRequestsChannel(0, 128, 70, 512, 247, 10);
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->openChannels() == QStringList{QStringLiteral("64")}; }));
    QCOMPARE(L2capRig::payloadOf(rig.downlinks(Reply).value(0)).left(5), QByteArray::fromHex("0146004000"));
}

void TestL2capPage::acceptWithACidInUseSaysWhyAndWaitsForAnother()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64));

    // Each step runs from the dialog's own event loop, as a user's clicks do.
    ModalAnswerer answerer;
    QPointer<QWidget> request;
    bool stillOpen = false;
    answerer.answerWith([&](QWidget *dialog) {
        request = dialog;
        // The default local CID, 64, is taken.
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
        });
    });
    answerer.answerWith([&](QWidget *box) {
        box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
        QTimer::singleShot(0, request, [&] {
            stillOpen = request->isVisible();
            request->findChild<QLineEdit *>(QStringLiteral("lineEditLocalCID"))->setText(QStringLiteral("65"));
            request->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
        });
    });
    rig.l2cap->peerRequestsChannel(0, 128, 70, 512, 247, 10);
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(answerer.failures().isEmpty());
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen().at(1).title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().at(1).text,
             QStringLiteral("Local CID 64 is already in use on this connection; choose another."));
    QVERIFY(stillOpen);
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->openChannels().size() == 2; }));
    const QList<QByteArray> replies = rig.downlinks(Reply);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(L2capRig::payloadOf(replies.first()).left(5), QByteArray::fromHex("0146004100"));
}

void TestL2capPage::aLocalCidInUseIsRefusedBeforeSending()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64));
    rig.createChannel(64, 100, 50); // listed already: only the refusal matters here
    QCOMPARE(rig.downlinks(QStringLiteral("04@01")).size(), 1);
    QVERIFY(rig.rig.recorder->texts().contains(
        QStringLiteral("Local CID 64 is already in use on this connection; Create COC is not sent.")));
    // A creation result for the open channel again is logged and changes nothing.
    rig.rig.dongle.sendUplink(L2capBehaviour::creatingResult(0, 0, 1, 64, 5, 5, 30, 30, 0));
    QVERIFY(L2capRig::waitUntil([&] {
        return rig.rig.recorder->texts().contains(
            QStringLiteral("Channel 64 is already open; its creation result is ignored."));
    }));
    QCOMPARE(rig.page->channel(QStringLiteral("64")).remoteValues.value("MTU"), QStringLiteral("512"));
    QCOMPARE(child<QListWidget>(rig.page.get(), "listWidget")->count(), 1);
}

void TestL2capPage::typedBytesLeaveOneSduAtATime()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({2, 23, 10, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    // Each result comes late, so a second SDU sent early would show.
    rig.rig.dongle.setResponseDelay(150);

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("01:02:03"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(!child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    QVERIFY(answerer.waitUntilAnswered());

    const QList<SimulatedDongle::ReceivedFrame> frames = rig.rig.dongle.receivedFrames();
    QList<SimulatedDongle::ReceivedFrame> sdus;
    for (const auto &frame : frames) {
        if (frame.id == SendSdu)
            sdus.append(frame);
    }
    QCOMPARE(sdus.size(), 2);
    QCOMPARE(L2capRig::payloadOf(sdus[0].bytes), QByteArray::fromHex("40000200000102"));
    QCOMPARE(L2capRig::payloadOf(sdus[1].bytes), QByteArray::fromHex("400001000003"));
    QVERIFY2(sdus[1].atMs - sdus[0].atMs >= 140, "the second SDU left before the first's result");
    QCOMPARE(rig.l2cap->channel(0, 64).delivered, QByteArray::fromHex("010203"));

    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, rig.dongleName + QStringLiteral(": Info"));
    QCOMPARE(answerer.seen().first().text, QStringLiteral("Send SDU data finished."));
    QCOMPARE(child<QLabel>(sdu, "label_sendLength")->text(), QStringLiteral("3"));
    QCOMPARE(child<QTextEdit>(sdu, "textEditTX")->toPlainText(), QStringLiteral("01:02:03"));
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    // Remote credits: one K-frame per SDU.
    QCOMPARE(rig.page->channel(QStringLiteral("64")).remoteValues.value("Remaining Credits"), QStringLiteral("8"));
    QVERIFY(L2capRig::waitUntil([&] { return rig.rig.link.acknowledgements().waiting() == 0; }));
}

void TestL2capPage::creditErrorHoldsTheTransferUntilThePeerGrantsCredits()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({4, 23, 10, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    rig.l2cap->setSduResults({L2capBehaviour::CreditError});

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("0a0b0c0d0e"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(L2capRig::waitUntil([&] { return sdu->isHeldForCredit(); }));
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), 1);
    QVERIFY(!child<QPushButton>(sdu, "pushButtonSend")->isEnabled());

    QVERIFY(rig.l2cap->peerGrantsCredits(0, 64, 3));
    QVERIFY(answerer.waitUntilAnswered());
    const QList<QByteArray> sent = rig.downlinks(SendSdu);
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent[1], sent[0]);
    QCOMPARE(rig.l2cap->channel(0, 64).delivered, QByteArray::fromHex("0a0b0c0d0e"));
    QCOMPARE(answerer.seen().size(), 1);

    // A grant without a credit error sends nothing.
    QVERIFY(rig.l2cap->peerGrantsCredits(0, 64, 1));
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), 3);
}

void TestL2capPage::sendFailureAbandonsTheTransfer()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({1, 23, 10, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    rig.l2cap->setSduResults({L2capBehaviour::Success, 0x31});

    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("01:02:03:04"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isSending(); }));
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), 2);
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    QVERIFY(child<QPushButton>(sdu, "pushButtonSendFile")->isEnabled());
    QVERIFY(rig.rig.recorder->texts().contains(
        QStringLiteral("Channel 64: SDU transfer stopped, the dongle reported a send failure.")));

    // The next transfer starts clean: nothing of the old one follows it.
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("ff"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(rig.downlinks(SendSdu).size(), 3);
    QCOMPARE(rig.l2cap->channel(0, 64).delivered, QByteArray::fromHex("01ff"));
}

void TestL2capPage::fileTransferEndsWithOneFinishBox()
{
    L2capRig rig(1);
    QVERIFY(rig.open());
    // 20-byte SDUs, so the file is read in 20000-byte chunks: three of them.
    rig.l2cap->setChannelPlan({20, 247, 65535, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("payload.bin"));
    const QByteArray content = randomBytes(40007);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return path; });

    ModalAnswerer answerer(60000);
    answerer.click(QStringLiteral("m_pbOk"));
    child<QPushButton>(sdu, "pushButtonSendFile")->click();
    QCOMPARE(child<QLineEdit>(sdu, "lineEdit_filePath")->text(), path);
    QVERIFY(answerer.waitUntilAnswered(60000));
    QTest::qWait(50);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().text, QStringLiteral("Send SDU data finished."));
    QCOMPARE(rig.l2cap->channel(0, 64).delivered, content);
    QCOMPARE(rig.downlinks(SendSdu).size(), 2001);
    QCOMPARE(child<QLabel>(sdu, "label_sendLength")->text(), QStringLiteral("40007"));
}

void TestL2capPage::abandonedFileTransferSendsNothingMore()
{
    L2capRig rig;
    QVERIFY(rig.open());
    // 1-byte SDUs: the file is read 1000 bytes at a time; the third SDU fails.
    rig.l2cap->setChannelPlan({1, 23, 65535, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    rig.l2cap->setSduResults({L2capBehaviour::Success, L2capBehaviour::Success, 0x31});

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("payload.bin"));
    const QByteArray content = randomBytes(2500);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return path; });
    child<QPushButton>(sdu, "pushButtonSendFile")->click();
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isSending(); }));

    // The next transfer is all that follows: the rest of the file is not sent behind it.
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("ff"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), 4);
    QCOMPARE(rig.l2cap->channel(0, 64).delivered, content.left(2) + QByteArray::fromHex("ff"));
}

void TestL2capPage::sduTheLinkRefusesEndsTheTransfer()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({1, 23, 10, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    rig.rig.dongle.setSilent(true);
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("01:02:03"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(sdu->isSending());
    QCOMPARE(rig.rig.link.acknowledgements().waiting(), 1);
    const quint64 queued = rig.rig.link.lastQueuedFrame();

    // The first SDU was sent; the link is gone before the second.
    rig.rig.link.closePort();
    emit rig.page->readySendSDU(QStringLiteral("64"));
    QVERIFY(!sdu->isSending());
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    QCOMPARE(rig.rig.link.lastQueuedFrame(), queued); // nothing more was handed to the link
    QVERIFY(rig.rig.recorder->texts().contains(QStringLiteral("send send sdu message failed")));
    QVERIFY(rig.rig.recorder->texts().contains(
        QStringLiteral("Channel 64: SDU transfer stopped, the link refused the SDU.")));

    // A first SDU the link refuses leaves nothing queued either.
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(!sdu->isSending());
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
}

void TestL2capPage::clearStopsATransferUnderWay_data()
{
    QTest::addColumn<bool>("heldForCredit"); // else the result of the SDU in flight never comes
    QTest::newRow("held for credits") << true;
    QTest::newRow("waiting for a result") << false;
}

void TestL2capPage::clearStopsATransferUnderWay()
{
    QFETCH(bool, heldForCredit);
    L2capRig rig;
    QVERIFY(rig.open());
    // 4-byte SDUs of one K-frame each; the peer grants one.
    rig.l2cap->setChannelPlan({4, 23, 1, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("payload.bin"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromHex("0102030405060708090a0b0c"));
    }
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return path; });
    if (!heldForCredit)
        rig.rig.dongle.withholdResult(SendSdu);
    child<QPushButton>(sdu, "pushButtonSendFile")->click();
    if (heldForCredit)
        QVERIFY(L2capRig::waitUntil([&] { return sdu->isHeldForCredit(); }));
    else
        QVERIFY(L2capRig::waitUntil([&] { return rig.rig.link.acknowledgements().waiting() == 0; }));
    QVERIFY(!child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    const QString sent = heldForCredit ? QStringLiteral("4") : QStringLiteral("0");
    QCOMPARE(child<QLabel>(sdu, "label_sendLength")->text(), sent);

    // The SDU in flight owes its result for as long as an SDU may wait for one.
    sdu->setResultTimeoutMs(300);
    child<QPushButton>(sdu, "pushButtonClear")->click();
    QVERIFY(!sdu->isSending());
    QCOMPARE(sdu->isResultOwed(), !heldForCredit);
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    QVERIFY(child<QPushButton>(sdu, "pushButtonSendFile")->isEnabled());
    QCOMPARE(child<QLabel>(sdu, "label_sendLength")->text(), sent);
    QCOMPARE(rig.rig.recorder->texts().filter(QStringLiteral("Channel 64: SDU transfer stopped, Clear was pressed after")).size(), 1);

    // Nothing of the stopped transfer follows: not on a credit grant, nor
    // behind the next transfer (the file was closed).
    rig.rig.dongle.clearFaults();
    const int before = rig.downlinks(SendSdu).size();
    QVERIFY(rig.l2cap->peerGrantsCredits(0, 64, 5));
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), before);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("ff"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), before + 1);
    QCOMPARE(rig.l2cap->channel(0, 64).delivered.right(1), QByteArray::fromHex("ff"));
    // A result that never came held the next transfer back only so long.
    QCOMPARE(rig.rig.recorder->count(
                 QStringLiteral("Channel 64: no result came for the stopped transfer's SDU within 0.3 s.")),
             heldForCredit ? 0 : 1);
}

void TestL2capPage::aResultThatNeverComesEndsTheTransfer()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({2, 23, 10, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    sdu->setResultTimeoutMs(1000);
    // The first SDU is answered; the second's result never comes.
    int answered = 0;
    rig.rig.dongle.setResponder(SendSdu, [&answered](const QByteArray &frame) {
        if (answered++ == 0)
            return QList<QByteArray>{SimulatedDongle::acknowledgement(frame),
                                     L2capBehaviour::sendingSduResult(64, 1, 0, 0)};
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame)};
    });
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("01:02:03:04:05"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(SendSdu).size() == 2; }));
    QTest::qWait(150);
    QVERIFY(sdu->isSending());
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isSending(); }, 3000));
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    QCOMPARE(child<QLabel>(sdu, "label_sendLength")->text(), QStringLiteral("2"));
    int warnings = 0;
    for (const auto &line : rig.rig.recorder->lines())
        warnings += line.second == LogLevel::Warn
                    && line.first.contains(QStringLiteral("no \"Sending SDU\" result came within 1 s"));
    QCOMPARE(warnings, 1);
    QTest::qWait(100);
    QCOMPARE(rig.downlinks(SendSdu).size(), 2);
}

void TestL2capPage::aRefusedSendSduEndsTheTransfer()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({2, 23, 10, 0});
    QVERIFY(rig.createChannel(64));
    CSduWidget *sdu = rig.sdu(64);
    rig.rig.dongle.refuse(SendSdu, 0x06);
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("01:02:03:04:05"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QVERIFY(sdu->isSending());
    // Well within the page's own time-out.
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isSending(); }, 3000));
    QVERIFY(child<QPushButton>(sdu, "pushButtonSend")->isEnabled());
    QCOMPARE(rig.downlinks(SendSdu).size(), 1);
    QCOMPARE(rig.rig.recorder->texts().filter(QStringLiteral("Result:SDK ERR BUSY")).size(), 1);
}

void TestL2capPage::peerMtuOfZeroListsTheChannelButSendsNothing()
{
    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({0, 0, 10, 0});
    QVERIFY(rig.createChannel(64));
    QVERIFY(rig.rig.recorder->texts().contains(
        QStringLiteral("Channel 64: the peer's MTU 0 or MPS 0 is 0; no SDU can be sent on it.")));
    CSduWidget *sdu = rig.sdu(64);
    child<QTextEdit>(sdu, "textEditTX")->setPlainText(QStringLiteral("01"));
    child<QPushButton>(sdu, "pushButtonSend")->click();
    QTest::qWait(50);
    QVERIFY(rig.downlinks(SendSdu).isEmpty());
    QVERIFY(rig.rig.recorder->texts().contains(QStringLiteral("Channel 64 has no usable peer MTU; nothing is sent.")));
}

void TestL2capPage::receivedSdusLandInTheFileAndTheView()
{
    L2capRig rig;
    QVERIFY(rig.open());
    // Local MTU 600, MPS 100, 20 credits: threshold 8, each 200-byte SDU takes 3.
    QVERIFY(rig.createChannel(64, 600, 100, 20));
    CSduWidget *sdu = rig.sdu(64);
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);

    QByteArray all;
    for (int i = 0; i < 4; ++i) {
        const QByteArray data = randomBytes(200);
        all += data;
        QVERIFY(rig.l2cap->peerSendsSdu(0, 64, data));
    }
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 4; }));
    QVERIFY(rig.downlinks(Credits).isEmpty()); // remaining 8 is not below 8

    // The fifth takes it below the threshold; the sixth comes before the
    // credit result and must not return credits a second time.
    for (int i = 0; i < 2; ++i) {
        const QByteArray data = randomBytes(200);
        all += data;
        QVERIFY(rig.l2cap->peerSendsSdu(0, 64, data));
    }
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 6; }));
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isCreditReturnPending(); }));
    QTest::qWait(50);
    const QList<QByteArray> returns = rig.downlinks(Credits);
    QCOMPARE(returns.size(), 1);
    QCOMPARE(L2capRig::payloadOf(returns.first()), QByteArray::fromHex("40000f0000")); // min(20, 15 consumed)
    const ChannelInfo info = rig.page->channel(QStringLiteral("64"));
    QCOMPARE(info.localValues.value("Consumed Credits"), QStringLiteral("3"));
    QCOMPARE(info.localValues.value("Remaining Credits"), QStringLiteral("17"));

    QFile file(sdu->receiveFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), all);
    QCOMPARE(child<QPlainTextEdit>(sdu, "textEditRX")->toPlainText(), colonHex(all.right(512)));
    QCOMPARE(child<QLabel>(sdu, "labelDataLength")->text(), QStringLiteral("1200"));
    QCOMPARE(child<QLabel>(sdu, "labelCredits")->text(), QStringLiteral("18"));

    // Receive "Clear" empties the view, the counters and the file (what it
    // held is kept beside it); the next SDU starts at 0.
    file.close();
    child<QPushButton>(sdu, "pushButtonRXClear")->click();
    QCOMPARE(QFileInfo(sdu->receiveFilePath()).size(), qint64(0));
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, QByteArray::fromHex("abcd")));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 7; }));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray::fromHex("abcd"));
    QCOMPARE(child<QLabel>(sdu, "labelDataLength")->text(), QStringLiteral("2"));

    // The data file outlives the channel.
    const QString path = sdu->receiveFilePath();
    QVERIFY(rig.l2cap->peerDisconnects(0, 64));
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->openChannels().isEmpty(); }));
    QTest::qWait(10);
    QCOMPARE(QFileInfo(path).size(), qint64(2));
    QVERIFY(path.contains(QStringLiteral("SDU_receive_data")));
}

// A nearly full disk keeps DEBUG and INFO lines out of the log files, not
// received data out of its file.
void TestL2capPage::receivedSdusAreWrittenOnANearlyFullDisk()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64, 600, 100, 20));
    CSduWidget *sdu = rig.sdu(64);
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    FreeDiskSpace disk(100 * FreeDiskSpace::MiB);

    const QByteArray data = randomBytes(200);
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, data));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 1; }));
    QFile file(sdu->receiveFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), data);
    QCOMPARE(child<QLabel>(sdu, "labelSaved")->text(), QStringLiteral("200"));

    // The page logged it at DEBUG and INFO as ever; the log file took none of it.
    const auto logged = rig.rig.recorder->lines();
    int lowAt = -1;
    for (int i = 0; i < logged.size(); ++i) {
        if (logged.at(i).first.contains(QStringLiteral("MiB free")))
            lowAt = i;
    }
    QVERIFY(lowAt >= 0);
    QVERIFY(std::any_of(logged.begin() + lowAt + 1, logged.end(),
                        [](const QPair<QString, int> &line) { return line.second <= LogLevel::Info; }));
    rig.rig.logs.flushLogFiles();
    QFile log(rig.rig.logs.logDir() + QStringLiteral("/UI_log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    const int low = lines.indexOf("MiB free");
    QVERIFY(low >= 0);
    QVERIFY(!lines.mid(low).contains(": [INFO]"));
    QVERIFY(!lines.mid(low).contains(": [DEBUG]"));
}

void TestL2capPage::failedCreditResultAllowsTheNextAutomaticReturn()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64, 23, 23, 4)); // threshold 3, each small SDU takes 1
    CSduWidget *sdu = rig.sdu(64);
    rig.rig.dongle.setResponder(Credits, [](const QByteArray &frame) {
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame),
                                 L2capBehaviour::localCreditsResult(L2capBehaviour::InvalidCid, 64, 0)};
    });
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "a"));
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "b"));
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(Credits).size() == 1; }));
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isCreditReturnPending(); }));
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "c"));
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(Credits).size() == 2; }));
}

void TestL2capPage::refusedCreditReturnAllowsTheNextAutomaticReturn()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64, 23, 23, 4)); // threshold 3, each small SDU takes 1
    CSduWidget *sdu = rig.sdu(64);
    rig.rig.dongle.refuse(Credits, 0x06);
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "a"));
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "b"));
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(Credits).size() == 1; }));
    QVERIFY(L2capRig::waitUntil([&] { return !sdu->isCreditReturnPending(); }, 2000));
    rig.rig.dongle.clearFaults();
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "c"));
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(Credits).size() == 2; }));
}

void TestL2capPage::receivedDataIsNeverWiped()
{
    L2capRig rig;
    QVERIFY(rig.open());
    // A file of an earlier run of the program, for the same connection and CID.
    const QString folder = CSduWidget::receiveFolderFor(Platform::dataFolder(), rig.dongleName, 0, QStringLiteral("64"));
    QVERIFY(QDir().mkpath(folder));
    const QString data = folder + QStringLiteral("/data.txt");
    {
        QFile file(data);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier run");
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 10), QTime(10, 42, 7)), QFileDevice::FileModificationTime));
    }
    auto contentOf = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };

    QVERIFY(rig.createChannel(64));
    QCOMPARE(QFileInfo(data).size(), qint64(0));
    QCOMPARE(contentOf(folder + QStringLiteral("/data-2026-12-10_10-42-07.txt")), QByteArray("earlier run"));

    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "abc"));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 1; }));
    QCOMPARE(contentOf(data), QByteArray("abc"));

    // Receive "Clear" starts the file again; what it held stays beside it.
    child<QPushButton>(rig.sdu(64), "pushButtonRXClear")->click();
    QCOMPARE(QFileInfo(data).size(), qint64(0));
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "de"));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 2; }));

    // The channel closes and a new one with the same CID opens.
    QVERIFY(rig.l2cap->peerDisconnects(0, 64));
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->openChannels().isEmpty(); }));
    QVERIFY(rig.createChannel(64));
    QCOMPARE(QFileInfo(data).size(), qint64(0));

    QList<QByteArray> kept;
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
        if (file.fileName() == QLatin1String("data.txt"))
            continue;
        QVERIFY2(QRegularExpression(QStringLiteral("^data-\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(-\\d+)?\\.txt$"))
                     .match(file.fileName())
                     .hasMatch(),
                 qPrintable(file.fileName()));
        kept << contentOf(file.filePath());
    }
    std::sort(kept.begin(), kept.end());
    QCOMPARE(kept, (QList<QByteArray>{"abc", "de", "earlier run"}));
}

void TestL2capPage::receivedDataNeverFollowsALink_data()
{
    QTest::addColumn<QString>("link");   // in the channel's folder, pointing outside the data folder
    QTest::addColumn<QString>("keptIn"); // where the data received before is then, empty: nowhere
    QTest::addColumn<QString>("told");   // the box, empty: none
    QTest::newRow("a link that points nowhere where the data would be kept")
        << QStringLiteral("data-2026-12-10_10-42-07.txt") << QStringLiteral("data-2026-12-10_10-42-07-2.txt")
        << QString();
    QTest::newRow("a link in place of the receive file")
        << QStringLiteral("data.txt") << QString()
        << QStringLiteral("Received SDU data of channel 64 cannot be written to %1: it is a symbolic link");
}

void TestL2capPage::receivedDataNeverFollowsALink()
{
    QFETCH(QString, link);
    QFETCH(QString, keptIn);
    QFETCH(QString, told);
    L2capRig rig;
    QVERIFY(rig.open());
    // Local MTU 600: an SDU of 500 bytes is taken whole.
    QVERIFY(rig.createChannel(64, 600, 100, 255));
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, QByteArray(500, 'r')));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 1; }));
    const QString folder = CSduWidget::receiveFolderFor(Platform::dataFolder(), rig.dongleName, 0, QStringLiteral("64"));
    const QString data = folder + QStringLiteral("/data.txt");
    {
        QFile received(data);
        QVERIFY(received.open(QIODevice::ReadWrite));
        QVERIFY(received.setFileTime(QDateTime(QDate(2026, 12, 10), QTime(10, 42, 7)),
                                     QFileDevice::FileModificationTime));
    }

    // Someone who can write into the data folder plants a link to a file of theirs.
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("theirs.txt"));
    if (link == QLatin1String("data.txt"))
        QVERIFY(QFile::remove(data));
    QVERIFY(QFile::link(target, folder + QLatin1Char('/') + link));

    ModalAnswerer answerer;
    if (!told.isEmpty())
        answerer.click(QStringLiteral("m_pbOk"));
    child<QPushButton>(rig.sdu(64), "pushButtonRXClear")->click();
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "after"));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 2; }));

    // Nothing reaches the link's target, and the link stays as it was.
    QVERIFY(QDir(outside.path()).isEmpty());
    QCOMPARE(QFileInfo(folder + QLatin1Char('/') + link).symLinkTarget(), target);
    if (!keptIn.isEmpty()) {
        QFile kept(folder + QLatin1Char('/') + keptIn);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray(500, 'r'));
        QVERIFY(rig.rig.recorder->count(QStringLiteral("Channel 64: the data received before is kept in %1.")
                                            .arg(QDir::toNativeSeparators(kept.fileName())))
                == 1);
        QFile current(data);
        QVERIFY(current.open(QIODevice::ReadOnly));
        QCOMPARE(current.readAll(), QByteArray("after"));
    }
    if (told.isEmpty()) {
        QVERIFY(answerer.seen().isEmpty());
    } else {
        QVERIFY(answerer.waitUntilAnswered(5000));
        QCOMPARE(answerer.seen().first().text, told.arg(QDir::toNativeSeparators(data)));
    }
}

void TestL2capPage::aDataFileThatFailsIsToldOnce_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<QString>("told");
    QTest::addColumn<qint64>("saved");
    // 20 SDUs fit, the 21st only in part.
    QTest::newRow("full disk") << true << QStringLiteral("are no longer written to") << qint64(4096);
    QTest::newRow("folder cannot be made") << false << QStringLiteral("cannot be written to") << qint64(0);
}

void TestL2capPage::aDataFileThatFailsIsToldOnce()
{
    QFETCH(bool, fullDisk);
    QFETCH(QString, told);
    QFETCH(qint64, saved);
    L2capRig rig;
    QVERIFY(rig.open());
    const QString folder =
        CSduWidget::receiveFolderFor(Platform::dataFolder(), rig.dongleName, 0, QStringLiteral("64"));
    if (!fullDisk) {
        // A file where the channel's folder belongs: no folder, no data file.
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const int linesBefore = rig.rig.recorder->lines().size();
    // Local MTU 600, MPS 100, 255 credits: no credit return gets in the way.
    QVERIFY(rig.createChannel(64, 600, 100, 255));
    // The box does not wait for an answer: it may already be open.
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    CSduWidget *sdu = rig.sdu(64);
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    std::unique_ptr<FileSizeLimit> limit;
    if (fullDisk) {
        limit = std::make_unique<FileSizeLimit>(4096);
        QVERIFY(limit->isSet());
    }
    const int sdus = 25;
    for (int i = 0; i < sdus; ++i)
        QVERIFY(rig.l2cap->peerSendsSdu(0, 64, randomBytes(200)));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == sdus; }, 20000));
    QVERIFY(answerer.waitUntilAnswered(5000));
    QTest::qWait(50);
    limit.reset();

    // One box and one ERROR line for the whole run, naming the file and why.
    QCOMPARE(answerer.seen().size(), 1);
    const QString text = answerer.seen().first().text;
    const QString path = QDir::toNativeSeparators(folder + QStringLiteral("/data.txt"));
    QVERIFY2(text.startsWith(QStringLiteral("Received SDU data of channel 64 ") + told + QLatin1Char(' ') + path
                             + QStringLiteral(": ")),
             qPrintable(text));
    QVERIFY2(text.size() > text.indexOf(path) + path.size() + 2, qPrintable(text)); // the reason
    int errors = 0;
    const auto lines = rig.rig.recorder->lines();
    for (int i = linesBefore; i < lines.size(); ++i)
        errors += lines.at(i).second == LogLevel::Error ? 1 : 0;
    QCOMPARE(errors, 1);

    // Received and saved tell apart what reached the disk.
    QCOMPARE(child<QLabel>(sdu, "labelDataLength")->text(), QString::number(sdus * 200));
    QLabel *savedLabel = child<QLabel>(sdu, "labelSaved");
    QVERIFY(savedLabel);
    QCOMPARE(savedLabel->text(), QString::number(saved));
    if (!fullDisk)
        return;
    QCOMPARE(QFileInfo(path).size(), saved);

    // With room again, receive "Clear" starts a new file; the cut one is kept beside it.
    child<QPushButton>(sdu, "pushButtonRXClear")->click();
    QCOMPARE(savedLabel->text(), QStringLiteral("0"));
    const QByteArray next = randomBytes(200);
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, next));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == sdus + 1; }));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), next);
    QCOMPARE(savedLabel->text(), QStringLiteral("200"));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
}

void TestL2capPage::saveOverAnExistingFile_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("room on the disk") << false;
    QTest::newRow("full disk") << true;
}

void TestL2capPage::saveOverAnExistingFile()
{
    QFETCH(bool, fullDisk);
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64, 600, 100, 255));
    CSduWidget *sdu = rig.sdu(64);
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    QByteArray all;
    for (int i = 0; i < 15; ++i) {
        const QByteArray data = randomBytes(200);
        all += data;
        QVERIFY(rig.l2cap->peerSendsSdu(0, 64, data));
    }
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 15; }));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kept.bin"));
    const QByteArray old(8000, 'o');
    {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(old), qint64(old.size()));
    }
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return target; });
    std::unique_ptr<FileSizeLimit> limit;
    if (fullDisk) {
        limit = std::make_unique<FileSizeLimit>(1024);
        QVERIFY(limit->isSet());
    }
    ModalAnswerer answerer;
    QString told;
    answerer.answerWith([&told, &limit](QWidget *box) {
        limit.reset();
        told = ModalAnswerer::describe(box).text;
        box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
    });
    child<QPushButton>(sdu, "pushButtonSave")->click();
    QTest::qWait(50);
    limit.reset();

    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), fullDisk ? old : all);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.bin"});
    if (!fullDisk) {
        QVERIFY(answerer.seen().isEmpty());
        return;
    }
    QVERIFY(answerer.allAnswered());
    QVERIFY2(told.contains(target) && told.contains(QStringLiteral("left as it was")), qPrintable(told));
    QCOMPARE(rig.rig.recorder->count(QStringLiteral("save fail!")), 1);
}

void TestL2capPage::framesOfOtherConnectionsAndClosedChannelsAreIgnored()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64));
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    QSignalSpy ready(rig.page.get(), &CL2capWidget::readySendSDU);
    rig.rig.recorder->clear();

    rig.rig.dongle.sendUplinks({
        L2capBehaviour::creatingResult(0, 0, 1, 70, 5, 5, 30, 30, 1), // another connection
        L2capBehaviour::receivedSdu(64, 1, "x", 3),                   // another connection
        L2capBehaviour::receivedSdu(99, 1, "x", 0),                   // no such channel
        L2capBehaviour::sendingSduResult(99, 1, 0, 0),
        L2capBehaviour::remoteCredits(99, 1, 0),
        L2capBehaviour::localCreditsResult(0, 99, 0),
        L2capBehaviour::creatingResult(0, 0, 1, 71, 5, 5, 30, 30, 0), // never requested
    });
    QVERIFY(rig.rig.uplinks.waitFor(rig.rig.uplinks.count() + 7));
    QTest::qWait(20);
    QCOMPARE(received.count(), 0);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(rig.page->openChannels(), QStringList{QStringLiteral("64")});
    const QStringList texts = rig.rig.recorder->texts();
    QCOMPARE(texts.filter(QStringLiteral("is not open on this connection; the frame is ignored.")).size(), 4);
    QVERIFY(texts.contains(QStringLiteral("Channel 71 was neither requested nor accepted; its creation result is ignored.")));
    // Nothing of the other connection was logged here.
    QCOMPARE(texts.filter(QStringLiteral("0146000000")).size(), 0);
    QCOMPARE(texts.filter(QStringLiteral("Uplink Command Name: Creating COC")).size(), 1);
}

void TestL2capPage::statusesAreTakenOnlyAsOftenAsSent()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64));
    rig.rig.recorder->clear();
    rig.rig.dongle.sendUplink(FrameBuilder::frame(0xBB, 0x04, 0x13, QByteArray(1, '\0')));
    QTest::qWait(50);
    QVERIFY(rig.rig.recorder->texts().filter(QStringLiteral("[SDKProc]")).isEmpty());

    // A real disconnect: its status is taken once, a second copy is dropped.
    rig.rig.dongle.setSilent(true);
    child<QListWidget>(rig.page.get(), "listWidget")->setCurrentRow(0);
    rig.page->on_toolButtonRemove_clicked();
    QCOMPARE(rig.rig.link.acknowledgements().waiting(), 1);
    // Answered once it has reached the dongle.
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(QStringLiteral("04@13")).size() == 1; }));
    rig.rig.dongle.sendUplink(FrameBuilder::frame(0xBB, 0x04, 0x13, QByteArray(1, '\x06')));
    rig.rig.dongle.sendUplink(FrameBuilder::frame(0xBB, 0x04, 0x13, QByteArray(1, '\x06')));
    QVERIFY(L2capRig::waitUntil([&] { return rig.rig.link.acknowledgements().waiting() == 0; }));
    QTest::qWait(50);
    QCOMPARE(rig.rig.recorder->texts().filter(QStringLiteral("[SDKProc]")).size(), 1);
    QCOMPARE(rig.rig.recorder->texts().filter(QStringLiteral("Result:SDK ERR BUSY")).size(), 1);
}

void TestL2capPage::disconnectingShowsTheNextChannelOrThePlaceholder()
{
    L2capRig rig;
    QVERIFY(rig.open());
    for (quint16 cid : {64, 65, 66})
        QVERIFY(rig.createChannel(cid));
    auto *list = child<QListWidget>(rig.page.get(), "listWidget");
    auto *tree = child<QTreeView>(rig.page.get(), "treeView");
    list->setCurrentRow(1);
    QCOMPARE(rig.page->shownSduWidget(), rig.sdu(65));
    QCOMPARE(rig.page->currentCid(), QStringLiteral("65"));

    rig.page->on_toolButtonRemove_clicked();
    QVERIFY(L2capRig::waitUntil([&] { return list->count() == 2; }));
    QCOMPARE(rig.downlinks(QStringLiteral("04@13")).size(), 1);
    QCOMPARE(L2capRig::payloadOf(rig.downlinks(QStringLiteral("04@13")).first()), QByteArray::fromHex("410000"));
    QCOMPARE(rig.page->currentCid(), QStringLiteral("64"));
    QCOMPARE(rig.page->shownSduWidget(), rig.sdu(64));
    QCOMPARE(tree->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Channel [ID:64] Details:"));
    QVERIFY(!rig.sdu(65));

    QVERIFY(rig.l2cap->peerDisconnects(0, 64));
    QVERIFY(rig.l2cap->peerDisconnects(0, 66));
    QVERIFY(L2capRig::waitUntil([&] { return list->count() == 0; }));
    CSduWidget *shown = rig.page->shownSduWidget();
    QVERIFY(shown);
    QVERIFY(shown->localCid().isEmpty());
    QVERIFY(!shown->isEnabled());
    QCOMPARE(tree->model()->rowCount(), 0);
    QVERIFY(rig.page->currentCid().isEmpty());
}

void TestL2capPage::disconnectThatCannotBeSentExpectsNoStatus()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64));
    rig.page->on_toolButtonRemove_clicked(); // the new channel is the current row
    QCOMPARE(rig.rig.link.acknowledgements().waiting(), 1);
    QVERIFY(L2capRig::waitUntil([&] { return rig.page->openChannels().isEmpty(); }));
    QVERIFY(L2capRig::waitUntil([&] { return rig.rig.link.acknowledgements().waiting() == 0; }));

    QVERIFY(rig.createChannel(65));
    rig.rig.link.closePort();
    rig.page->on_toolButtonRemove_clicked();
    QCOMPARE(rig.rig.link.acknowledgements().waiting(), 0);
    QVERIFY(rig.rig.recorder->texts().contains(QStringLiteral("send disconnect coc message failed")));

    // Without a row nothing is sent.
    child<QListWidget>(rig.page.get(), "listWidget")->setCurrentRow(-1);
    rig.page->on_toolButtonRemove_clicked();
    QVERIFY(rig.rig.recorder->texts().contains(QStringLiteral("The row selected is wrong.")));
}

void TestL2capPage::peerRequest_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("accept") << "accept" << true;
    QTest::newRow("reject") << "reject" << false;
    QTest::newRow("close button") << "close" << false;
    QTest::newRow("escape") << "escape" << false;
    QTest::newRow("silence") << "timeout" << false;
}

void TestL2capPage::peerRequest()
{
    QFETCH(QString, answer);
    QFETCH(bool, accepted);

    L2capRig rig;
    QVERIFY(rig.open());
    rig.page->setRequestTimeoutMs(300);
    QSignalSpy front(rig.page.get(), &CL2capWidget::sig_showDongleTab);

    ModalAnswerer answerer;
    QStringList shown;
    bool pendingOnly = false;
    answerer.answerWith([&](QWidget *dialog) {
        for (const char *name : {"labelLocalPSM", "labelPeerCID", "labelPeerMTU", "labelPeerMPS"})
            shown << dialog->findChild<QLabel *>(QString::fromLatin1(name))->text();
        if (answer == QLatin1String("accept")) {
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonAccept"))->click();
            pendingOnly = rig.page->openChannels().isEmpty()
                          && rig.page->pendingChannels() == QStringList{QStringLiteral("64")};
        } else if (answer == QLatin1String("reject")) {
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonReject"))->click();
        } else if (answer == QLatin1String("close")) {
            dialog->findChild<QAbstractButton *>(QStringLiteral("m_tbClose"))->click();
        } else if (answer == QLatin1String("escape")) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
        // "timeout": the dialog answers by itself.
    });
    rig.l2cap->peerRequestsChannel(0, 128, 64, 512, 247, 10);
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(L2capRig::waitUntil([&] { return !rig.downlinks(Reply).isEmpty(); }));
    QTest::qWait(accepted ? 0 : 400);

    QCOMPARE(front.count(), 1);
    QCOMPARE(front.first().first().toString(), rig.dongleName);
    QCOMPARE(shown, (QStringList{"128", "64", "512", "247"}));
    const QList<QByteArray> replies = rig.downlinks(Reply);
    QCOMPARE(replies.size(), 1);
    if (accepted) {
        QVERIFY(pendingOnly);
        QCOMPARE(L2capRig::payloadOf(replies.first()), QByteArray::fromHex("0140004000ff001700170000"));
        QVERIFY(L2capRig::waitUntil([&] { return rig.page->openChannels() == QStringList{QStringLiteral("64")}; }));
        const ChannelInfo info = rig.page->channel(QStringLiteral("64"));
        QCOMPARE(info.psmValues.value("PSM"), QStringLiteral("128"));
        QCOMPARE(info.localValues.value("Initial Credits"), QStringLiteral("255"));
        QCOMPARE(info.remoteValues.value("MTU"), QStringLiteral("512"));
    } else {
        QCOMPARE(replies.first(), FrameBuilder::withChecksum(FrameBuilder::fromHex("AA04070C00 00 4000 4000 FF00 1700 1700 00")));
        QVERIFY(rig.rig.recorder->texts().contains(
            QStringLiteral("Downlink Command Name: Reject Create COC Request\r\nRaw Data: aa04070c00004000"
                           "4000ff00170017000" "0\r\nField Data: ")));
        QVERIFY(rig.page->openChannels().isEmpty());
        QVERIFY(rig.page->pendingChannels().isEmpty());
    }
}

QTEST_MAIN(TestL2capPage)
#include "tst_l2cappage.moc"
