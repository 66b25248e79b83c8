#include "cl2capwidget.h"
#include "csduwidget.h"
#include "filechooser.h"
#include "l2caprig.h"
#include "modalanswerer.h"
#include "simbehaviour_l2cap.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest/QtTest>

// The SDU page's own limits and its manual credit mode.
class TestSduPage : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setFileChooser(FileChooserFunction()); }
    void typedTextIsLimitedToTenKilobytes_data();
    void typedTextIsLimitedToTenKilobytes();
    void sendFileSizeLimits_data();
    void sendFileSizeLimits();
    void creditLimitsFollowTheLocalSide();
    void manualModeReturnsAtMostWhatWasUsed();
    void automaticReturnWaitsForAUsableThreshold();
    void receiveFolderStaysInsideTheDataFolder();
};

void TestSduPage::typedTextIsLimitedToTenKilobytes_data()
{
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("kept");
    QTest::addColumn<bool>("warned");
    QTest::newRow("exactly 20480 digits") << 20480 << 20480 << false;
    QTest::newRow("one digit more") << 20481 << 20480 << true;
}

void TestSduPage::typedTextIsLimitedToTenKilobytes()
{
    QFETCH(int, digits);
    QFETCH(int, kept);
    QFETCH(bool, warned);
    const QString name = QStringLiteral("sdu-page");
    CSduWidget page(nullptr, nullptr, &name);
    ModalAnswerer answerer(2000);
    if (warned)
        answerer.click(QStringLiteral("m_pbOk"));
    page.findChild<QTextEdit *>(QStringLiteral("textEditTX"))->setPlainText(QString(digits, QLatin1Char('a')));
    if (warned) {
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().title, QStringLiteral("error"));
        QCOMPARE(answerer.seen().first().text, QStringLiteral("send length should < 10kb"));
    }
    QCOMPARE(page.findChild<QTextEdit *>(QStringLiteral("textEditTX"))->toPlainText().remove(':').size(), kept);
    QCOMPARE(answerer.seen().size(), warned ? 1 : 0);
}

void TestSduPage::sendFileSizeLimits_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("frames");
    QTest::newRow("empty file") << qint64(0) << QString() << 0;
    QTest::newRow("exactly 20 MiB") << qint64(20971520) << QString() << 1;
    QTest::newRow("one byte more") << qint64(20971521) << QStringLiteral("This file is too large for sdu data sending.")
                                   << 0;
    QTest::newRow("missing file") << qint64(-1) << QStringLiteral("can't open file ") << 0;
}

void TestSduPage::sendFileSizeLimits()
{
    QFETCH(qint64, size);
    QFETCH(QString, box);
    QFETCH(int, frames);

    L2capRig rig;
    QVERIFY(rig.open());
    rig.l2cap->setChannelPlan({2048, 247, 10, 0});
    QVERIFY(rig.createChannel(64));
    rig.rig.dongle.setSilent(true); // the first SDU is all that matters
    CSduWidget *sdu = rig.sdu(64);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("send.bin"));
    if (size >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size)); // sparse: quick to make
    }
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return path; });
    ModalAnswerer answerer(3000);
    if (!box.isEmpty())
        answerer.click(QStringLiteral("m_pbOk"));
    const int before = rig.rig.dongle.receivedCount();
    sdu->findChild<QPushButton *>(QStringLiteral("pushButtonSendFile"))->click();
    if (!box.isEmpty()) {
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
        QVERIFY(answerer.seen().first().text.startsWith(box));
    }
    QTest::qWait(50);
    QCOMPARE(rig.downlinks(QStringLiteral("04@03")).size(), frames);
    QCOMPARE(rig.rig.dongle.receivedCount() - before, frames);
    QCOMPARE(sdu->findChild<QLineEdit *>(QStringLiteral("lineEdit_filePath"))->text(), frames ? path : QString());
    QCOMPARE(sdu->findChild<QPushButton *>(QStringLiteral("pushButtonSend"))->isEnabled(), frames == 0);
}

void TestSduPage::creditLimitsFollowTheLocalSide()
{
    const QString name = QStringLiteral("sdu-page");
    CSduWidget page(nullptr, nullptr, &name);
    auto *threshold = page.findChild<QLineEdit *>(QStringLiteral("lineEditCreditThreshold"));
    auto *setting = page.findChild<QLineEdit *>(QStringLiteral("lineEditCreditSetting"));
    QCOMPARE(threshold->text(), QStringLiteral("0"));
    QVERIFY(page.findChild<QTextEdit *>(QStringLiteral("textEditTX"))->toPlainText().isEmpty());
    QCOMPARE(page.findChild<QLabel *>(QStringLiteral("label_sendLength"))->text(), QStringLiteral("0"));
    QVERIFY(!page.findChild<QPushButton *>(QStringLiteral("pushButtonSendCredit"))->isEnabled());
    page.initChannel(247, 64, 10);
    QCOMPARE(threshold->text(), QStringLiteral("5"));
    QCOMPARE(setting->text(), QStringLiteral("10"));
    // A local MPS of 0 leaves the limits alone instead of dividing by it.
    page.initChannel(247, 0, 10);
    QCOMPARE(threshold->text(), QStringLiteral("5"));

    page.findChild<QRadioButton *>(QStringLiteral("radioButtonMan"))->setChecked(true);
    QCOMPARE(setting->text(), QStringLiteral("0"));
    QVERIFY(page.findChild<QPushButton *>(QStringLiteral("pushButtonSendCredit"))->isEnabled());
    QVERIFY(!threshold->isEnabled());
    page.findChild<QRadioButton *>(QStringLiteral("radioButtonAuto"))->setChecked(true);
    QCOMPARE(setting->text(), QStringLiteral("10"));
    QVERIFY(threshold->isEnabled());
}

void TestSduPage::manualModeReturnsAtMostWhatWasUsed()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64, 23, 23, 10));
    CSduWidget *sdu = rig.sdu(64);
    sdu->findChild<QRadioButton *>(QStringLiteral("radioButtonMan"))->setChecked(true);
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    for (int i = 0; i < 4; ++i)
        QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "x"));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 4; }));
    QVERIFY(rig.downlinks(QStringLiteral("04@0B")).isEmpty()); // no automatic return in manual mode

    // More than was used is refused where it was typed, not cut down to it.
    auto *setting = sdu->findChild<QLineEdit *>(QStringLiteral("lineEditCreditSetting"));
    auto *send = sdu->findChild<QPushButton *>(QStringLiteral("pushButtonSendCredit"));
    setting->setText(QStringLiteral("9"));
    {
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        send->click();
        QCOMPARE(answerer.seen().value(0).text,
                 QStringLiteral("Credit Setting: \"9\" cannot be sent; enter a whole number from 0 to 4."));
    }
    QTest::qWait(50);
    QVERIFY(rig.downlinks(QStringLiteral("04@0B")).isEmpty());
    setting->setText(QStringLiteral("4"));
    send->click();
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(QStringLiteral("04@0B")).size() == 1; }));
    QCOMPARE(L2capRig::payloadOf(rig.downlinks(QStringLiteral("04@0B")).first()), QByteArray::fromHex("4000040000"));
    QVERIFY(L2capRig::waitUntil([&] {
        return rig.page->channel(QStringLiteral("64")).localValues.value("Consumed Credits") == QLatin1String("0");
    }));
    QCOMPARE(rig.page->channel(QStringLiteral("64")).localValues.value("Remaining Credits"), QStringLiteral("10"));
    QCOMPARE(rig.l2cap->channel(0, 64).localCredits, qint64(10));
    // The setting is kept within what is still used.
    QCOMPARE(sdu->findChild<QLineEdit *>(QStringLiteral("lineEditCreditSetting"))->text(), QStringLiteral("0"));
}

// A threshold typed beyond its range is not held to it in silence: no credits
// go back automatically until it is put right, and the log says why once.
void TestSduPage::automaticReturnWaitsForAUsableThreshold()
{
    L2capRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.createChannel(64, 23, 23, 10));
    CSduWidget *sdu = rig.sdu(64);
    auto *threshold = sdu->findChild<QLineEdit *>(QStringLiteral("lineEditCreditThreshold"));
    threshold->setText(QStringLiteral("99"));
    QSignalSpy received(rig.page.get(), &CL2capWidget::receiveSDU);
    for (int i = 0; i < 3; ++i)
        QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "x"));
    QVERIFY(L2capRig::waitUntil([&] { return received.count() == 3; }));
    QTest::qWait(50);
    QVERIFY(rig.downlinks(QStringLiteral("04@0B")).isEmpty());
    const QString why = QStringLiteral("Credits are not returned automatically while Remaining Credits Threshold "
                                       "holds \"99\"; enter a whole number from 3 to 10.");
    QCOMPARE(rig.rig.recorder->count(why), 1);

    threshold->setText(QStringLiteral("9"));
    QVERIFY(rig.l2cap->peerSendsSdu(0, 64, "x"));
    QVERIFY(L2capRig::waitUntil([&] { return rig.downlinks(QStringLiteral("04@0B")).size() == 1; }));
    QCOMPARE(rig.rig.recorder->count(why), 1);
}

void TestSduPage::receiveFolderStaysInsideTheDataFolder()
{
    const QString folder = CSduWidget::receiveFolderFor(QStringLiteral("/data"), QStringLiteral("../x/.."), 3,
                                                        QStringLiteral("64"));
    QVERIFY(folder.startsWith(QStringLiteral("/data/")));
    // The dongle's name is one folder, whatever it holds.
    QCOMPARE(QDir::cleanPath(folder), folder);
    QCOMPARE(folder.split(QLatin1Char('/')).size(), 6);
    QVERIFY(folder.endsWith(QStringLiteral("/SDU_receive_data/3/64")));
}

QTEST_MAIN(TestSduPage)
#include "tst_sdupage.moc"
