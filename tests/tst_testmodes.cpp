#include "cidtwidget.h"
#include "clcpwidget.h"
#include "crfcalibrationdialog.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "testmodepages.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWaitMs = 10000;

enum class Kind { Lcp, Idt };

// Frames the dongle received: "LL@OO payload" with the payload in upper-case hex.
QStringList sentCommands(const SimulatedDongle &dongle)
{
    QStringList lines;
    for (const QByteArray &frame : dongle.receivedBytes()) {
        if (quint8(frame.at(0)) != 0xAA)
            continue;
        const QString payload = FrameBuilder::toHex(frame.mid(5, frame.size() - 6));
        lines << (SimulatedDongle::downlinkId(frame) + (payload.isEmpty() ? QString() : QLatin1Char(' ') + payload));
    }
    return lines;
}

template<typename T>
T *child(QWidget *page, const char *name)
{
    T *widget = page->findChild<T *>(QLatin1String(name));
    if (!widget)
        qWarning("no child %s", name);
    return widget;
}

void setText(QWidget *page, const char *edit, const QString &text)
{
    // Bypasses the validators on purpose: the checks must hold for any text.
    child<QLineEdit>(page, edit)->setText(text);
}

void click(QWidget *page, const char *button)
{
    child<QPushButton>(page, button)->click();
}

} // namespace

class TestTestModes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerTestModePages(); }
    void cleanupTestCase() { PageRegistry::unregisterAll(); }
    void init();
    void cleanup();

    void defaultFrames_data();
    void defaultFrames();
    void stoppingTheModeSendsThreeStops_data();
    void stoppingTheModeSendsThreeStops();
    void payloadBytes_data();
    void payloadBytes();
    void setParameterValues_data();
    void setParameterValues();
    void validatorsRefuse_data();
    void validatorsRefuse();
    void inputErrors_data();
    void inputErrors();
    void transmitAcknowledgementsCount_data();
    void transmitAcknowledgementsCount();
    void aStoppedRunsLateAcknowledgementIsNotCounted_data();
    void aStoppedRunsLateAcknowledgementIsNotCounted();
    void refusalEndsAtOnce_data();
    void refusalEndsAtOnce();
    void watchdogLimitAndBox_data();
    void watchdogLimitAndBox();
    void receptionTableRolls_data();
    void receptionTableRolls();
    void copyAndClear();
    void resetDialogStates();
    void controlStatesFollowTheMode();

    void calibrationFrames_data();
    void calibrationFrames();
    void calibrationStatusLoggedWhileClosed();
    void calibrationFieldRules();

private:
    CTestModePage *makePage(Kind kind);
    bool waitForSent(int count);
    void startMode(Kind kind);
    void acknowledge(quint8 layer, quint8 opcode, quint8 status);

    std::unique_ptr<LinkRig> m_rig;
    std::unique_ptr<CTestModePage> m_page;
};

void TestTestModes::init()
{
    m_rig = std::make_unique<LinkRig>(QStringLiteral("TestModes"), 2);
    QVERIFY(m_rig->openAndSync());
    // Transmit acknowledgements come from the tests, one by one.
    for (const char *id : {"09@04", "0A@04"})
        m_rig->dongle.setResponder(QString::fromLatin1(id), [](const QByteArray &) { return QList<QByteArray>(); });
}

void TestTestModes::cleanup()
{
    m_page.reset();
    m_rig.reset();
}

CTestModePage *TestTestModes::makePage(Kind kind)
{
    if (kind == Kind::Lcp) {
        m_page = std::make_unique<CLCPwidget>(&m_rig->link, &m_rig->logs);
        connect(&m_rig->link, &CMsg::sig_rcvLCPMsg, m_page.get(), &CTestModePage::onRcvMsg);
    } else {
        m_page = std::make_unique<CIDTwidget>(&m_rig->link, &m_rig->logs);
        connect(&m_rig->link, &CMsg::sig_rcvIDTMsg, m_page.get(), &CTestModePage::onRcvMsg);
    }
    return m_page.get();
}

bool TestTestModes::waitForSent(int count)
{
    return QTest::qWaitFor([&] { return sentCommands(m_rig->dongle).size() >= count; }, kWaitMs);
}

void TestTestModes::startMode(Kind kind)
{
    click(m_page.get(), kind == Kind::Lcp ? "btn_startlcp" : "btn_startidt");
    QVERIFY(m_page->isModeRunning());
    QVERIFY(waitForSent(1));
    // Let the start acknowledgement pass before the test counts frames.
    QTest::qWait(20);
    m_rig->dongle.clearReceived();
}

void TestTestModes::acknowledge(quint8 layer, quint8 opcode, quint8 status)
{
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xBB, layer, opcode, QByteArray(1, char(status))));
}

void TestTestModes::defaultFrames_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("LCP") << int(Kind::Lcp)
                         << QStringList{"09@01 02 07 00 38 09 00 00 3B 36 30 67 55 55 55 00",
                                        "09@03 38 09 00 00 00 07", "09@04 64 00 00 00 64 00 00 00 20 01 13",
                                        "09@07", "09@05", "09@06"};
    QTest::newRow("IDT") << int(Kind::Idt)
                         << QStringList{"0A@01 3B 36 30 67 00", "0A@03 00 07", "0A@04 64 00 00 00 64 00 00 00 01 13",
                                        "0A@07", "0A@05", "0A@06"};
}

void TestTestModes::defaultFrames()
{
    QFETCH(int, kind);
    QFETCH(QStringList, expected);
    QWidget *page = makePage(Kind(kind));
    click(page, kind == int(Kind::Lcp) ? "btn_startlcp" : "btn_startidt");
    click(page, "btn_set");
    click(page, "btn_send");
    QVERIFY(m_page->isTxRunning());
    click(page, "btn_send");
    QVERIFY(!m_page->isTxRunning());
    click(page, "btn_startrx");
    click(page, "btn_startrx");
    QVERIFY(waitForSent(expected.size()));
    QCOMPARE(sentCommands(m_rig->dongle), expected);
}

void TestTestModes::stoppingTheModeSendsThreeStops_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("viaStopMode");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("LCP button") << int(Kind::Lcp) << false << QStringList{"09@07", "09@06", "09@02"};
    QTest::newRow("LCP closing") << int(Kind::Lcp) << true << QStringList{"09@07", "09@06", "09@02"};
    QTest::newRow("IDT button") << int(Kind::Idt) << false << QStringList{"0A@07", "0A@06", "0A@02"};
    QTest::newRow("IDT closing") << int(Kind::Idt) << true << QStringList{"0A@07", "0A@06", "0A@02"};
}

void TestTestModes::stoppingTheModeSendsThreeStops()
{
    QFETCH(int, kind);
    QFETCH(bool, viaStopMode);
    QFETCH(QStringList, expected);
    QWidget *page = makePage(Kind(kind));
    // Nothing is sent for a mode that is off.
    m_page->stopMode();
    startMode(Kind(kind));
    if (viaStopMode)
        m_page->stopMode();
    else
        click(page, kind == int(Kind::Lcp) ? "btn_startlcp" : "btn_startidt");
    QVERIFY(!m_page->isModeRunning());
    QVERIFY(waitForSent(3));
    QTest::qWait(30);
    QCOMPARE(sentCommands(m_rig->dongle), expected);
}

void TestTestModes::payloadBytes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("expectedTail");
    QTest::addColumn<QString>("warning"); // the word on typed bytes Length leaves out
    QTest::newRow("LCP odd text") << int(Kind::Lcp) << "03" << "123" << "20 03 12 03 00" << QString();
    QTest::newRow("LCP longer text") << int(Kind::Lcp) << "01" << "ABCDEF" << "20 01 AB"
                                     << "The payload typed has 3 bytes and Length is 01: only the first 1 are sent.";
    QTest::newRow("LCP empty payload") << int(Kind::Lcp) << "00" << "13" << "20 00"
                                       << "The payload typed has 1 bytes and Length is 00: only the first 0 are sent.";
    QTest::newRow("IDT padded") << int(Kind::Idt) << "02" << "1" << "02 01 00" << QString();
    QTest::newRow("IDT largest") << int(Kind::Idt) << "FB" << "13" << QStringLiteral("FB 13") + QString(" 00").repeated(250)
                                 << QString();
}

void TestTestModes::payloadBytes()
{
    QFETCH(int, kind);
    QFETCH(QString, length);
    QFETCH(QString, data);
    QFETCH(QString, expectedTail);
    QFETCH(QString, warning);
    QWidget *page = makePage(Kind(kind));
    startMode(Kind(kind));
    setText(page, "edit_length", length);
    setText(page, kind == int(Kind::Lcp) ? "edit_payload" : "edit_data", data);
    click(page, "btn_send");
    QVERIFY(m_page->isTxRunning());
    QVERIFY(waitForSent(1));
    QCOMPARE(sentCommands(m_rig->dongle).first(),
             (kind == int(Kind::Lcp) ? QStringLiteral("09@04") : QStringLiteral("0A@04"))
                 + QStringLiteral(" 64 00 00 00 64 00 00 00 ") + expectedTail);
    QCOMPARE(m_rig->recorder->texts().filter(QStringLiteral("The payload typed")),
             warning.isEmpty() ? QStringList() : QStringList{warning});
}

void TestTestModes::setParameterValues_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("power");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LCP -20 dBm") << int(Kind::Lcp) << "39" << "-20" << "09@03 38 09 00 00 27 EC";
    QTest::newRow("LCP 7 dBm") << int(Kind::Lcp) << "0" << "7" << "09@03 38 09 00 00 00 07";
    QTest::newRow("IDT channel 159") << int(Kind::Idt) << "159" << "-1" << "0A@03 9F FF";
    QTest::newRow("IDT -20 dBm") << int(Kind::Idt) << "3" << "-20" << "0A@03 03 EC";
}

void TestTestModes::setParameterValues()
{
    QFETCH(int, kind);
    QFETCH(QString, channel);
    QFETCH(QString, power);
    QFETCH(QString, expected);
    QWidget *page = makePage(Kind(kind));
    setText(page, "edit_channel", channel);
    setText(page, "edit_txpower", power);
    // "Set" works with the mode off too.
    click(page, "btn_set");
    QVERIFY(waitForSent(1));
    QCOMPARE(sentCommands(m_rig->dongle), QStringList{expected});
}

void TestTestModes::validatorsRefuse_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("IDT channel 160") << int(Kind::Idt) << "edit_channel" << "160" << "16";
    QTest::newRow("IDT channel 159") << int(Kind::Idt) << "edit_channel" << "159" << "159";
    QTest::newRow("LCP channel 40") << int(Kind::Lcp) << "edit_channel" << "40" << "4";
    QTest::newRow("LCP power -21") << int(Kind::Lcp) << "edit_txpower" << "-21" << "-2";
    QTest::newRow("LCP power 8") << int(Kind::Lcp) << "edit_txpower" << "8" << "";
    QTest::newRow("LCP address nine digits") << int(Kind::Lcp) << "edit_address" << "123456789" << "12345678";
    QTest::newRow("LCP crc not hex") << int(Kind::Lcp) << "edit_crc" << "12g" << "12";
}

void TestTestModes::validatorsRefuse()
{
    QFETCH(int, kind);
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QWidget *page = makePage(Kind(kind));
    auto *lineEdit = child<QLineEdit>(page, edit.toLatin1().constData());
    lineEdit->clear();
    QTest::keyClicks(lineEdit, typed);
    QCOMPARE(lineEdit->text(), shown);
}

void TestTestModes::inputErrors_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("edits"); // name=text
    QTest::addColumn<QString>("text");
    QTest::newRow("LCP start, two empty")
        << int(Kind::Lcp) << "mode" << QStringList{"edit_address=", "edit_frequency="}
        << "access address is empty \nfrequency is empty \n";
    QTest::newRow("LCP set, ranges")
        << int(Kind::Lcp) << "set" << QStringList{"edit_frequency=2521", "edit_channel=40", "edit_txpower=8"}
        << "frequency is out of range (2360~2520) \nchannel index is out of range (0~39) \n"
           "tx power is out of range (-20~7) \n";
    QTest::newRow("LCP tx, length FE") << int(Kind::Lcp) << "tx" << QStringList{"edit_length=FE"}
                                       << "length is out of range (00~FD) \n";
    QTest::newRow("LCP tx, everything empty")
        << int(Kind::Lcp) << "tx"
        << QStringList{"edit_header=", "edit_length=", "edit_payload=", "edit_repeattime=", "edit_repeatinterval="}
        << "Header is empty \nLength is empty \nPayload is empty \nRepeat time is empty \nRepeat interval is empty \n";
    QTest::newRow("LCP tx, ranges")
        << int(Kind::Lcp) << "tx" << QStringList{"edit_payload=12x", "edit_repeattime=4294967296", "edit_repeatinterval=9"}
        << "Payload is out range (0~9,a~f,A~F) \nrepeat time is out of range (1~2^32-1) \n"
           "repeat interval is out of range (10~2^32-1) \n";
    QTest::newRow("LCP tx, repeat 0") << int(Kind::Lcp) << "tx" << QStringList{"edit_repeattime=0"}
                                      << "repeat time is out of range (1~2^32-1) \n";
    QTest::newRow("IDT start, two empty") << int(Kind::Idt) << "mode" << QStringList{"edit_address=", "edit_txpower="}
                                          << "access address is empty \ntx power is empty \n";
    QTest::newRow("IDT set, channel") << int(Kind::Idt) << "set" << QStringList{"edit_channel=160"}
                                      << "channel num is out of range (0~159) \n";
    QTest::newRow("IDT tx, ranges")
        << int(Kind::Idt) << "tx"
        << QStringList{"edit_length=FC", "edit_data=zz", "edit_repeattime=0", "edit_repeatinterval=9"}
        << "Length is out of range (00~FB) \nData is out range (0~9,a~f,A~F) \nRepeat time is out of range (1~2^32-1) \n"
           "Repeat interval is out of range (10~2^32-1) \n";
    QTest::newRow("IDT tx, empty data") << int(Kind::Idt) << "tx" << QStringList{"edit_data="} << "Data is empty \n";
}

void TestTestModes::inputErrors()
{
    QFETCH(int, kind);
    QFETCH(QString, action);
    QFETCH(QStringList, edits);
    QFETCH(QString, text);
    QWidget *page = makePage(Kind(kind));
    const char *startButton = kind == int(Kind::Lcp) ? "btn_startlcp" : "btn_startidt";
    if (action == QLatin1String("tx"))
        startMode(Kind(kind));
    for (const QString &edit : edits) {
        const QStringList parts = edit.split(QLatin1Char('='));
        setText(page, parts.at(0).toLatin1().constData(), parts.at(1));
    }
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    click(page, action == QLatin1String("mode") ? startButton : action == QLatin1String("set") ? "btn_set" : "btn_send");
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text, text);
    QCOMPARE(m_page->isModeRunning(), action == QLatin1String("tx"));
    QVERIFY(!m_page->isTxRunning());
    QTest::qWait(30);
    QCOMPARE(sentCommands(m_rig->dongle), QStringList());
}

void TestTestModes::transmitAcknowledgementsCount_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("LCP") << int(Kind::Lcp);
    QTest::newRow("IDT") << int(Kind::Idt);
}

void TestTestModes::transmitAcknowledgementsCount()
{
    QFETCH(int, kind);
    const quint8 layer = kind == int(Kind::Lcp) ? 0x09 : 0x0A;
    QWidget *page = makePage(Kind(kind));
    startMode(Kind(kind));
    // Outside a run an acknowledgement counts nothing.
    acknowledge(layer, 0x04, 0);
    QTest::qWait(50);
    QCOMPARE(m_page->txCount(), quint32(0));

    setText(page, "edit_repeattime", QStringLiteral("3"));
    click(page, "btn_send");
    QVERIFY(waitForSent(1));
    auto *txNum = child<QLineEdit>(page, "edit_txnum");
    acknowledge(layer, 0x04, 0);
    QTRY_COMPARE(m_page->txCount(), quint32(1));
    QCOMPARE(txNum->text(), QStringLiteral("1"));
    acknowledge(layer, 0x04, 0);
    acknowledge(layer, 0x04, 0);
    QTRY_VERIFY(!m_page->isTxRunning());
    QCOMPARE(txNum->text(), QStringLiteral("3"));
    QCOMPARE(child<QPushButton>(page, "btn_send")->text(), QStringLiteral("Send"));
    QVERIFY(child<QGroupBox>(page, "groupBox_rx")->isEnabled());
    // The run ended by its count: no stop command.
    QTest::qWait(50);
    QCOMPARE(sentCommands(m_rig->dongle).size(), 1);
    // A late acknowledgement after the run changes nothing.
    acknowledge(layer, 0x04, 0);
    QTest::qWait(50);
    QCOMPARE(txNum->text(), QStringLiteral("3"));
}

void TestTestModes::aStoppedRunsLateAcknowledgementIsNotCounted_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("LCP") << int(Kind::Lcp);
    QTest::newRow("IDT") << int(Kind::Idt);
}

// Through the dongle tab: a run is stopped and started again, and the dongle
// still sends an acknowledgement of the stopped run (before it answers the
// stop). It does not count in the new run.
void TestTestModes::aStoppedRunsLateAcknowledgementIsNotCounted()
{
    QFETCH(int, kind);
    const bool lcp = kind == int(Kind::Lcp);
    const quint8 layer = lcp ? 0x09 : 0x0A;
    const QString transmit = lcp ? QStringLiteral("09@04") : QStringLiteral("0A@04");
    const QString stopTransmit = lcp ? QStringLiteral("09@07") : QStringLiteral("0A@07");
    DongleTabRig rig(QStringLiteral("TestModeDongle"));
    // Transmit acknowledgements come from the test, one by one.
    rig.dongle->setResponder(transmit, [](const QByteArray &) { return QList<QByteArray>(); });
    QVERIFY(rig.start());
    if (lcp)
        rig.widget->on_toolButton_lcp_clicked();
    else
        rig.widget->on_toolButton_idt_clicked();
    auto *page = qobject_cast<CTestModePage *>(rig.tabs()->currentWidget());
    QVERIFY(page);
    click(page, lcp ? "btn_startlcp" : "btn_startidt");
    QVERIFY(page->isModeRunning());
    setText(page, "edit_repeattime", QStringLiteral("2"));

    click(page, "btn_send");
    QTRY_COMPARE(rig.dongle->receivedBytesOf(transmit).size(), 1);
    // The dongle is slow to answer the stop; the new run starts meanwhile.
    rig.dongle->holdAcknowledgement(stopTransmit);
    click(page, "btn_send");
    QVERIFY(!page->isTxRunning());
    click(page, "btn_send");
    QVERIFY(page->isTxRunning());
    QTRY_COMPARE(rig.dongle->receivedBytesOf(transmit).size(), 2);

    // The stopped run's last packet, then the stop's answer, then the new run's first packet.
    rig.dongle->sendUplink(FrameBuilder::frame(0xBB, layer, 0x04, QByteArray(1, '\0')));
    rig.dongle->releaseHeld();
    QTest::qWait(100);
    rig.dongle->sendUplink(FrameBuilder::frame(0xBB, layer, 0x04, QByteArray(1, '\0')));
    QTRY_COMPARE(page->txCount(), quint32(1));
    QTest::qWait(50);
    QCOMPARE(page->txCount(), quint32(1));
    QVERIFY(page->isTxRunning());
    QCOMPARE(child<QLineEdit>(page, "edit_txnum")->text(), QStringLiteral("1"));
    // Its second packet ends it.
    rig.dongle->sendUplink(FrameBuilder::frame(0xBB, layer, 0x04, QByteArray(1, '\0')));
    QTRY_VERIFY(!page->isTxRunning());
    QCOMPARE(child<QLineEdit>(page, "edit_txnum")->text(), QStringLiteral("2"));
}

void TestTestModes::refusalEndsAtOnce_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("action"); // tx, rx or mode
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("sent"); // after the refused command
    QTest::newRow("LCP transmit") << int(Kind::Lcp) << "tx" << "LCP mode: the dongle refused to transmit (SDK ERR BUSY)."
                                  << QStringList{"09@07"};
    QTest::newRow("IDT transmit") << int(Kind::Idt) << "tx" << "IDT mode: the dongle refused to transmit (SDK ERR BUSY)."
                                  << QStringList{"0A@07"};
    QTest::newRow("LCP receive") << int(Kind::Lcp) << "rx" << "LCP mode: the dongle refused to receive (SDK ERR BUSY)."
                                 << QStringList();
    QTest::newRow("IDT receive") << int(Kind::Idt) << "rx" << "IDT mode: the dongle refused to receive (SDK ERR BUSY)."
                                 << QStringList();
    QTest::newRow("LCP mode") << int(Kind::Lcp) << "mode"
                              << "LCP mode: the dongle refused to start the mode (SDK ERR BUSY)." << QStringList();
    QTest::newRow("IDT mode") << int(Kind::Idt) << "mode"
                              << "IDT mode: the dongle refused to start the mode (SDK ERR BUSY)." << QStringList();
}

void TestTestModes::refusalEndsAtOnce()
{
    QFETCH(int, kind);
    QFETCH(QString, action);
    QFETCH(QString, text);
    QFETCH(QStringList, sent);
    const bool lcp = kind == int(Kind::Lcp);
    const QString layer = lcp ? QStringLiteral("09@") : QStringLiteral("0A@");
    QWidget *page = makePage(Kind(kind));
    const QString refused = layer + (action == QLatin1String("tx") ? "04" : action == QLatin1String("rx") ? "05" : "01");
    // The dongle answers the command with SDK_ERR_BUSY in its acknowledgement.
    m_rig->dongle.refuse(refused, 6);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    if (action != QLatin1String("mode")) {
        startMode(Kind(kind));
        click(page, action == QLatin1String("tx") ? "btn_send" : "btn_startrx");
        QVERIFY(action == QLatin1String("tx") ? m_page->isTxRunning() : m_page->isRxRunning());
    } else {
        click(page, lcp ? "btn_startlcp" : "btn_startidt");
        QVERIFY(m_page->isModeRunning());
    }
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text, text);
    if (action == QLatin1String("tx")) {
        QVERIFY(!m_page->isTxRunning());
        QCOMPARE(child<QPushButton>(page, "btn_send")->text(), QStringLiteral("Send"));
        QVERIFY(child<QGroupBox>(page, "groupBox_rx")->isEnabled());
    } else if (action == QLatin1String("rx")) {
        QVERIFY(!m_page->isRxRunning());
        QCOMPARE(child<QPushButton>(page, "btn_startrx")->text(), QStringLiteral("Start Rx"));
        QVERIFY(child<QGroupBox>(page, "groupBox_tx")->isEnabled());
    } else {
        QVERIFY(!m_page->isModeRunning());
        QCOMPARE(child<QPushButton>(page, lcp ? "btn_startlcp" : "btn_startidt")->text(),
                 lcp ? QStringLiteral("Start LCP Mode") : QStringLiteral("Start IDT Mode"));
        QVERIFY(!child<QGroupBox>(page, "groupBox_tx")->isEnabled());
        QVERIFY(child<QLineEdit>(page, "edit_address")->isEnabled());
    }
    QVERIFY(waitForSent(1 + sent.size()));
    QTest::qWait(30);
    QCOMPARE(sentCommands(m_rig->dongle).mid(1), sent);
    QCOMPARE(sentCommands(m_rig->dongle).first().left(5), refused);
    // The mode, if it runs, is still there to use: a new attempt works once the dongle takes it.
    m_rig->dongle.clearFault(refused);
}

void TestTestModes::watchdogLimitAndBox_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<quint64>("waitMs");
    QTest::newRow("LCP 100 ms") << int(Kind::Lcp) << "100" << quint64(25000);
    QTest::newRow("LCP 30000 ms") << int(Kind::Lcp) << "30000" << quint64(60000);
    QTest::newRow("IDT 100 ms") << int(Kind::Idt) << "100" << quint64(25000);
    QTest::newRow("IDT 2^31 ms") << int(Kind::Idt) << "2147483648" << quint64(4294967296ULL);
}

void TestTestModes::watchdogLimitAndBox()
{
    QFETCH(int, kind);
    QFETCH(QString, interval);
    QFETCH(quint64, waitMs);
    const QString mode = kind == int(Kind::Lcp) ? QStringLiteral("LCP") : QStringLiteral("IDT");
    QWidget *page = makePage(Kind(kind));
    qint64 now = 1000;
    m_page->setClock([&now] { return now; });
    m_page->setWatchdogTick(10);
    startMode(Kind(kind));
    setText(page, "edit_repeatinterval", interval);
    click(page, "btn_send");
    QCOMPARE(m_page->waitMs(), waitMs);
    QVERIFY(waitForSent(1));
    now += qint64(waitMs);
    QTest::qWait(50);
    QVERIFY(m_page->isTxRunning());

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    now += 1;
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text, mode + QStringLiteral(" mode: it's time out when transmitting."));
    QTRY_VERIFY(!m_page->isTxRunning());
    QVERIFY(m_rig->recorder->texts().contains(mode + QStringLiteral(" send data time out send cnt:0,repeat:100")));
    QVERIFY(waitForSent(2));
    QCOMPARE(sentCommands(m_rig->dongle).at(1), kind == int(Kind::Lcp) ? QStringLiteral("09@07") : QStringLiteral("0A@07"));
}

void TestTestModes::receptionTableRolls_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("LCP") << int(Kind::Lcp) << FrameBuilder::fromHex("20 03 0A 0B 0C")
                         << QStringList{"20", "03", "0A0B0C"};
    QTest::newRow("IDT") << int(Kind::Idt) << FrameBuilder::fromHex("03 0A 0B 0C") << QStringList{"03", "0A0B0C"};
}

void TestTestModes::receptionTableRolls()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, cells);
    const quint8 layer = kind == int(Kind::Lcp) ? 0x09 : 0x0A;
    QWidget *page = makePage(Kind(kind));
    auto *table = child<QTableWidget>(page, "tableWidget_rxinfo");
    QCOMPARE(table->rowCount(), 10);
    startMode(Kind(kind));
    // Reception off: nothing is shown.
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xDD, layer, 0x05, payload));
    QTest::qWait(50);
    QCOMPARE(m_page->rxCount(), quint32(0));

    click(page, "btn_startrx");
    QVERIFY(!child<QGroupBox>(page, "groupBox_tx")->isEnabled());
    for (int i = 0; i < 10; ++i)
        m_rig->dongle.sendUplink(FrameBuilder::frame(0xDD, layer, 0x05, QByteArray(payload).append(char(i))));
    QTRY_COMPARE(m_page->rxCount(), quint32(10));
    QCOMPARE(table->item(9, cells.size())->text(), cells.last() + QStringLiteral("09"));
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xDD, layer, 0x05, payload));
    QTRY_COMPARE(m_page->rxCount(), quint32(11));
    QCOMPARE(table->rowCount(), 10);
    QCOMPARE(child<QLineEdit>(page, "edit_rxnum")->text(), QStringLiteral("11"));
    for (int column = 0; column < cells.size(); ++column)
        QCOMPARE(table->item(9, column + 1)->text(), cells.at(column));
    QVERIFY(QTime::fromString(table->item(9, 0)->text(), QStringLiteral("hh:mm:ss.zzz")).isValid());
    // The oldest packet left at the top; the second one moved up.
    QCOMPARE(table->item(0, cells.size())->text(), cells.last() + QStringLiteral("01"));
}

void TestTestModes::copyAndClear()
{
    QWidget *page = makePage(Kind::Lcp);
    auto *table = child<QTableWidget>(page, "tableWidget_rxinfo");
    startMode(Kind::Lcp);
    click(page, "btn_startrx");
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xDD, 0x09, 0x05, FrameBuilder::fromHex("20 02 AB CD")));
    QTRY_COMPARE(m_page->rxCount(), quint32(1));

    QApplication::clipboard()->setText(QStringLiteral("before"));
    m_page->onCopyRxData();
    QCOMPARE(QApplication::clipboard()->text(), QString());
    table->selectRow(0);
    m_page->onCopyRxData();
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("Timestamp\tHeader(Hex)\tLength(Hex)\tPayload(Hex)\t\n") + table->item(0, 0)->text()
                 + QStringLiteral("\t20\t02\tABCD\n"));

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbNo"));
    answerer.click(QStringLiteral("m_pbYes"));
    click(page, "btn_clearrx");
    QCOMPARE(m_page->rxCount(), quint32(1));
    click(page, "btn_clearrx");
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().first().title, QStringLiteral("Clear Rx"));
    QCOMPARE(answerer.seen().first().text, QStringLiteral("Are sure to clear Rx data"));
    QCOMPARE(m_page->rxCount(), quint32(0));
    QCOMPARE(child<QLineEdit>(page, "edit_rxnum")->text(), QStringLiteral("0"));
    QCOMPARE(table->rowCount(), 10);
    QVERIFY(!table->item(0, 1));
    QTest::qWait(30);
    QCOMPARE(sentCommands(m_rig->dongle), QStringList{"09@05"});
}

void TestTestModes::resetDialogStates()
{
    QWidget *page = makePage(Kind::Lcp);
    auto *start = child<QPushButton>(page, "btn_startlcp");
    // Mode off: only the look changes, the button still works.
    m_page->resetDialog(false);
    QCOMPARE(start->styleSheet(), QString::fromLatin1(CTestModePage::UnavailableLook));
    QVERIFY(start->isEnabled());

    startMode(Kind::Lcp);
    click(page, "btn_send");
    QVERIFY(m_page->isTxRunning());
    m_page->resetDialog(true);
    QVERIFY(!m_page->isModeRunning());
    QVERIFY(!m_page->isTxRunning());
    QCOMPARE(start->text(), QStringLiteral("Start LCP Mode"));
    QCOMPARE(start->styleSheet(), QString::fromLatin1(CTestModePage::NormalLook));
    QCOMPARE(child<QPushButton>(page, "btn_send")->text(), QStringLiteral("Send"));
    QVERIFY(!child<QGroupBox>(page, "groupBox_tx")->isEnabled());
    QVERIFY(!child<QGroupBox>(page, "groupBox_rx")->isEnabled());
    QVERIFY(child<QLineEdit>(page, "edit_crc")->isEnabled());
    QVERIFY(child<QLineEdit>(page, "edit_address")->isEnabled());
    // Nothing is sent by a reset.
    QVERIFY(waitForSent(1));
    QTest::qWait(30);
    QCOMPARE(sentCommands(m_rig->dongle).size(), 1);
}

void TestTestModes::controlStatesFollowTheMode()
{
    QWidget *page = makePage(Kind::Idt);
    auto *tx = child<QGroupBox>(page, "groupBox_tx");
    auto *rx = child<QGroupBox>(page, "groupBox_rx");
    QVERIFY(!tx->isEnabled());
    QVERIFY(!rx->isEnabled());
    QCOMPARE(child<QPushButton>(page, "btn_send")->styleSheet(), QString::fromLatin1(CTestModePage::UnavailableLook));
    startMode(Kind::Idt);
    QVERIFY(tx->isEnabled());
    QVERIFY(rx->isEnabled());
    QVERIFY(!child<QLineEdit>(page, "edit_address")->isEnabled());
    QCOMPARE(child<QPushButton>(page, "btn_startidt")->text(), QStringLiteral("Stop IDT Mode"));
    QCOMPARE(child<QPushButton>(page, "btn_startidt")->styleSheet(), QString::fromLatin1(CTestModePage::RunningLook));
    click(page, "btn_send");
    QVERIFY(!rx->isEnabled());
    QCOMPARE(child<QPushButton>(page, "btn_send")->text(), QStringLiteral("Stop Tx"));
    click(page, "btn_send");
    click(page, "btn_startrx");
    QVERIFY(!tx->isEnabled());
    QCOMPARE(child<QPushButton>(page, "btn_startrx")->text(), QStringLiteral("Stop Rx"));
    // Stopping the mode ends reception too.
    click(page, "btn_startidt");
    QVERIFY(!m_page->isRxRunning());
    QCOMPARE(child<QPushButton>(page, "btn_startrx")->text(), QStringLiteral("Start Rx"));
    QVERIFY(child<QLineEdit>(page, "edit_address")->isEnabled());
}

void TestTestModes::calibrationFrames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("frame"); // empty: nothing is sent and the dialog stays open
    QTest::newRow("0x1A2B") << "0x1A2B" << "AA 01 83 02 00 2B 1A 8B";
    QTest::newRow("0x1") << "0x1" << "AA 01 83 02 00 01 00 CF";
    QTest::newRow("0xFFFF") << "0xFFFF" << "AA 01 83 02 00 FF FF D2";
    QTest::newRow("0x only") << "0x" << "";
}

void TestTestModes::calibrationFrames()
{
    QFETCH(QString, text);
    QFETCH(QString, frame);
    CRfCalibrationDialog dialog(&m_rig->link, &m_rig->logs);
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("le_rfValue"));
    QCOMPARE(field->text(), QStringLiteral("0x0000"));
    dialog.show();
    field->setText(text);
    dialog.findChild<QPushButton *>(QStringLiteral("PB_Calibration"))->click();
    QCOMPARE(dialog.isVisible(), frame.isEmpty());
    if (frame.isEmpty()) {
        QTest::qWait(30);
        QCOMPARE(m_rig->dongle.receivedCount(), 0);
        return;
    }
    QVERIFY(m_rig->dongle.waitForFrames(1));
    QCOMPARE(FrameBuilder::toHex(m_rig->dongle.receivedBytes().first()), frame);
    // The field keeps what was typed.
    QCOMPARE(field->text(), text);
}

void TestTestModes::calibrationStatusLoggedWhileClosed()
{
    CRfCalibrationDialog dialog(&m_rig->link, &m_rig->logs);
    // The offset is sent twice, the first refused; each answer comes after the dialog closed.
    m_rig->dongle.refuse(QStringLiteral("01@83"), 1, SimulatedDongle::Which::first(1));
    m_rig->dongle.setResponseDelay(50);
    for (int sent = 1; sent <= 2; ++sent) {
        dialog.show();
        dialog.findChild<QLineEdit *>(QStringLiteral("le_rfValue"))->setText(QStringLiteral("0x0012"));
        dialog.findChild<QPushButton *>(QStringLiteral("PB_Calibration"))->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(m_rig->dongle.waitForFrames(sent));
    }
    // Another command's status is not the dialog's.
    m_rig->dongle.sendUplink(FrameBuilder::frame(0xBB, 0x01, 0x85, QByteArray(1, char(1))));
    QTRY_VERIFY(m_rig->recorder->texts().filter(QStringLiteral("[SDK Result]")).size() == 2);
    const QStringList lines = m_rig->recorder->texts().filter(QStringLiteral("[SDK Result]"));
    QVERIFY(lines.at(0).startsWith(QStringLiteral("[SDK Result] Uplink Command Name:RF Calibration Set Result:")));
    QVERIFY(lines.at(1).startsWith(QStringLiteral("[SDK Result] Uplink Command Name:RF Calibration Set Result:")));
}

void TestTestModes::calibrationFieldRules()
{
    CRfCalibrationDialog dialog(&m_rig->link, &m_rig->logs);
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("le_rfValue"));
    field->setFocus();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("0X1"));
    QVERIFY(!field->text().startsWith(QStringLiteral("0X")));
    field->clear();
    QTest::keyClicks(field, QStringLiteral("0x12345"));
    QCOMPARE(field->text(), QStringLiteral("0x1234"));
}

QTEST_MAIN(TestTestModes)
#include "tst_testmodes.moc"
