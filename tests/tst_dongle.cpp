#include "ccommand.h"
#include "cconnectionwidget.h"
#include "clogwidget.h"
#include "cprofiletablemodel.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "pageinterfaces.h"
#include "pagewire.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "pageregistry.h"
#include "recordinglogger.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"

#include <QDialog>
#include <QPointer>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

const QString kHeartBeat = QStringLiteral("01@84");
// Answers cross a pseudo-terminal; a loaded machine may take its time.
constexpr int kAnswerWaitMs = 20000;
const QStringList kQueries{"00@03", "01@47", "01@5B", "01@5F", "01@63", "05@01", "01@0D"};
const QStringList kStaticCommands{"04@11", "01@41", "01@65", "01@45", "01@59", "01@5D",
                                  "01@61", "01@67", "01@6B", "01@6D", "05@03", "02@09"};

// A connection page that remembers what the dongle tab told it and can run a
// modal dialog of its own.
class RecordingConnectionPage : public ConnectionPage
{
public:
    RecordingConnectionPage(uint8_t condix, uint8_t role, const QString &address)
        : m_condix(condix), m_role(role), m_address(address)
    {
    }
    uint8_t condix() const override { return m_condix; }
    uint8_t role() const override { return m_role; }
    QString peerAddress() const override { return m_address; }
    void disconnect() override { ++disconnects; }
    void setIsCurrentTab(bool current) override { isCurrent = current; }

    // Runs a modal question the way a pairing request does, and tells
    // whether the page was still there when the dialog ended.
    bool askAndSurvive()
    {
        QPointer<RecordingConnectionPage> self(this);
        QDialog question(this);
        question.exec();
        return !self.isNull();
    }

    int disconnects = 0;
    bool isCurrent = false;

private:
    uint8_t m_condix;
    uint8_t m_role;
    QString m_address;
};

// A page that outlives a reset (as the radio test pages do).
class SurvivingPage : public DynamicPage
{
public:
    bool closesOnReset() const override { return false; }
    void resetPage(bool enabled) override { resets << enabled; }
    QList<bool> resets;
};

} // namespace

class TestDongle : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void resetThenQueriesFillSettings();
    void staticAndDynamicConfiguration();
    void storedProfilesSentAsShown_data();
    void storedProfilesSentAsShown();
    void failedResetSendsNothing();
    void malformedAnswersChangeNothing_data();
    void malformedAnswersChangeNothing();
    void addressAnswerWithoutQueryIgnored();
    void statusAcknowledgements_data();
    void statusAcknowledgements();
    void acknowledgementsOffTheLayerAreNotTheTabs_data();
    void acknowledgementsOffTheLayerAreNotTheTabs();
    void resultHandlers_data();
    void resultHandlers();
    void dongleLogReachesDongleLoggers();
    void secondInitBuildsNothing();
    void unsendableNameIsRefused();
    void inactiveWithoutSettingsDescription();

    void connectionTabsPlacement();
    void disconnectionRemovesTab();
    void resetClosesConnectionTabs();
    void pageSurvivesItsOwnDialog();
    void placeholderPageSendsDisconnect();
    void removedPageGoesBeforeTheLink();

private:
    void openDongle();
    QStringList sentIds() const;
    bool waitForSent(int count, int timeoutMs = 10000);

    SimulatedDongle *m_dongle = nullptr;
    MainDongleWidget *m_widget = nullptr;
    RecordingLogger *m_log = nullptr;
};

void TestDongle::init()
{
    m_dongle = new SimulatedDongle;
    QVERIFY(m_dongle->isValid());
    installLinkBehaviour(*m_dongle);
    installAppBehaviour(*m_dongle);
    m_widget = new MainDongleWidget(QStringLiteral("TestDongle"));
    QVERIFY(m_widget->isOperational());
    m_log = new RecordingLogger(QStringLiteral("recorder"), 0);
    m_widget->logManager()->addLogger(m_log);
    m_widget->initWidgets();
    // Keep the heartbeat out of the way and the send pace short.
    m_widget->heartBeat()->setInterval(60000);
    m_widget->link()->setSendInterval(5);
}

void TestDongle::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
    delete m_dongle;
    m_dongle = nullptr;
}

QStringList TestDongle::sentIds() const
{
    QStringList ids = m_dongle->receivedIds();
    ids.removeAll(kHeartBeat);
    return ids;
}

bool TestDongle::waitForSent(int count, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (sentIds().size() < count && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return sentIds().size() >= count;
}

void TestDongle::openDongle()
{
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    QVERIFY(waitForSent(1 + kQueries.size()));
    // Let the last answers arrive.
    QTRY_VERIFY_WITH_TIMEOUT(m_widget->settingsMap()->value(QStringLiteral("profile")).toByteArray().size() > 0, kAnswerWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, kAnswerWaitMs);
    m_dongle->clearReceived();
}

void TestDongle::resetThenQueriesFillSettings()
{
    QSignalSpy showTab(m_widget, &MainDongleWidget::showThisDongleTab);
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    QVERIFY(m_widget->isConnected());
    QVERIFY(m_widget->heartBeat()->isRunning());
    QVERIFY(waitForSent(1 + kQueries.size()));

    QCOMPARE(FrameBuilder::toHex(m_dongle->receivedBytes().first()), QStringLiteral("AA 00 01 00 00 55"));
    QCOMPARE(sentIds(), QStringList{"00@01"} + kQueries);

    QMap<QString, QVariant> *values = m_widget->settingsMap();
    QTRY_COMPARE_WITH_TIMEOUT(values->value(QStringLiteral("profile")).toByteArray(),
                              QByteArray::fromHex("0003014142" "000402434445"), kAnswerWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, kAnswerWaitMs);
    QCOMPARE(values->value(QStringLiteral("identity_addr")).toString(), QStringLiteral("112233445566"));
    QCOMPARE(values->value(QStringLiteral("identity_addr_type")).toInt(), 0);
    QCOMPARE(values->value(QStringLiteral("device_name")).toString(), QStringLiteral("4241"));
    QCOMPARE(values->value(QStringLiteral("appearance")).toString(), QStringLiteral("3c1"));
    QCOMPARE(values->value(QStringLiteral("per_interval_min")).toString(), QStringLiteral("0006"));
    QCOMPARE(values->value(QStringLiteral("per_interval_max")).toString(), QStringLiteral("0c80"));
    QCOMPARE(values->value(QStringLiteral("per_conn_latency")).toString(), QStringLiteral("0000"));
    QCOMPARE(values->value(QStringLiteral("per_supervision_timeout")).toString(), QStringLiteral("01f4"));
    QVERIFY(m_log->texts().contains(QStringLiteral("[Complete Result] Uplink Command Name:Reset Result:BLE SUCCESS")));
    QCOMPARE(showTab.count(), 0);
}

void TestDongle::staticAndDynamicConfiguration()
{
    openDongle();
    // The settings screen enables the first profile.
    QByteArray profiles = m_widget->settingsMap()->value(QStringLiteral("profile")).toByteArray();
    profiles[0] = 1;
    m_widget->settingsMap()->insert(QStringLiteral("profile"), profiles);

    m_widget->on_staticConfigSet();
    QVERIFY(waitForSent(kStaticCommands.size()));
    QCOMPARE(sentIds(), kStaticCommands);
    const QList<QByteArray> frames = m_dongle->receivedBytes();
    int nameIndex = -1;
    int profileIndex = -1;
    for (int i = 0; i < frames.size(); ++i) {
        if (SimulatedDongle::downlinkId(frames.at(i)) == QLatin1String("01@59"))
            nameIndex = i;
        if (SimulatedDongle::downlinkId(frames.at(i)) == QLatin1String("05@03"))
            profileIndex = i;
    }
    QCOMPARE(FrameBuilder::toHex(frames.at(nameIndex)), QStringLiteral("AA 01 59 03 00 02 41 42 74"));
    // Only the enabled profile's id goes out.
    QCOMPARE(FrameBuilder::withoutChecksum(frames.at(profileIndex)).mid(5), QByteArray::fromHex("01"));
    QVERIFY(m_log->texts().contains(QStringLiteral("Downlink Command Name: Device Name Set\r\nRaw Data: aa0159030002"
                                                   "4142\r\nField Data: ")));

    m_dongle->clearReceived();
    m_widget->on_DynamicConfigApply();
    QVERIFY(waitForSent(1));
    QCOMPARE(sentIds(), QStringList{"02@01"});
    QCOMPARE(m_dongle->receivedBytes().first().size(), 5 + 9 + 1);
}

// A profile list as config.ini holds it goes out as the settings screen shows
// it: the ids of the rows shown checked, whatever non-zero byte marks them.
void TestDongle::storedProfilesSentAsShown_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("ids");
    QTest::newRow("first of two enabled") << QByteArray(R"(@ByteArray(\x1\x3\x1\x41\x42\0\x4\x2\x43\x44\x45))")
                                          << QByteArray::fromHex("01");
    QTest::newRow("none enabled") << QByteArray(R"(@ByteArray(\0\x3\x1\x41\x42))") << QByteArray();
    QTest::newRow("enabled as 2") << QByteArray(R"(@ByteArray(\x2\x3\x1\x41\x42\0\x4\x2\x43\x44\x45))")
                                  << QByteArray::fromHex("01");
    QTest::newRow("enabled as ff and 80") << QByteArray(R"(@ByteArray(\xff\x3\x1\x41\x42\x80\x4\x2\x43\x44\x45))")
                                          << QByteArray::fromHex("0102");
}

void TestDongle::storedProfilesSentAsShown()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, ids);
    openDongle();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[TestDongle]\nprofile=" + stored + "\n");
    }
    QSettings settings(path, QSettings::IniFormat);
    m_widget->readSettingsGroup(settings, QStringLiteral("TestDongle"));

    CProfileTableModel shown;
    shown.fromByteArray(m_widget->settingsMap()->value(QStringLiteral("profile")).toByteArray());
    QByteArray checked;
    for (int row = 0; row < shown.rowCount(); ++row) {
        if (shown.index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
            checked.append(char(shown.index(row, 1).data().toInt()));
    }
    QCOMPARE(checked.toHex(), ids.toHex());

    m_widget->on_staticConfigSet();
    QVERIFY(waitForSent(kStaticCommands.size()));
    QByteArray sent("none");
    for (const QByteArray &frame : m_dongle->receivedBytes()) {
        if (SimulatedDongle::downlinkId(frame) == QLatin1String("05@03"))
            sent = FrameBuilder::withoutChecksum(frame).mid(5);
    }
    QCOMPARE(sent.toHex(), ids.toHex());
}

void TestDongle::failedResetSendsNothing()
{
    openDongle();
    m_widget->settingsMap()->insert(QStringLiteral("device_name"), QStringLiteral("unchanged"));
    m_dongle->sendUplink(FrameBuilder::fromHex(QStringLiteral("CC 00 02 01 00 01")));
    QTRY_VERIFY_WITH_TIMEOUT(m_log->texts().contains(QStringLiteral(
                                 "[Complete Result] Uplink Command Name:Reset Result:BLE ATT ERR INVALID HANDLE")),
                             kAnswerWaitMs);
    QTest::qWait(200);
    QCOMPARE(sentIds(), QStringList());
    QCOMPARE(m_widget->deviceType(), 1);
}

void TestDongle::malformedAnswersChangeNothing_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("name without payload") << FrameBuilder::frame(0xDD, 0x01, 0x5C) << "device_name"
                                          << "Uplink Command: Device Name Get is wrong.";
    QTest::newRow("name length too long") << FrameBuilder::frame(0xDD, 0x01, 0x5C, QByteArray::fromHex("034142"))
                                          << "device_name" << "uplink msg: Device Name Get is wrong.";
    QTest::newRow("name length too short") << FrameBuilder::frame(0xDD, 0x01, 0x5C, QByteArray::fromHex("01414243"))
                                           << "device_name" << "uplink msg: Device Name Get is wrong.";
}

void TestDongle::malformedAnswersChangeNothing()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, key);
    QFETCH(QString, logLine);
    m_widget->settingsMap()->insert(key, QStringLiteral("before"));
    m_widget->onRcvMsg(frame);
    QCOMPARE(m_widget->settingsMap()->value(key).toString(), QStringLiteral("before"));
    QVERIFY(m_log->texts().contains(logLine));
}

void TestDongle::addressAnswerWithoutQueryIgnored()
{
    m_widget->settingsMap()->insert(QStringLiteral("identity_addr"), QStringLiteral("before"));
    m_widget->onRcvMsg(AppBehaviour::addressAnswer(SimDongleIdentity()));
    QCOMPARE(m_widget->settingsMap()->value(QStringLiteral("identity_addr")).toString(), QStringLiteral("before"));

    // A truncated profile record stops the walk with an error; whole records stay.
    m_widget->onRcvMsg(AppBehaviour::profileAnswer(QByteArray::fromHex("030141420502")));
    QCOMPARE(m_widget->settingsMap()->value(QStringLiteral("profile")).toByteArray(), QByteArray::fromHex("0003014142"));
    QVERIFY(m_log->texts().contains(QStringLiteral(
        "MainDongleWidget::profileGetProc, the profile record at byte 4 is truncated; the records after it are dropped.")));
}

void TestDongle::statusAcknowledgements_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<quint8>("status");
    QTest::addColumn<int>("lines");

    // Every command the dongle tab sends with an acknowledgement: those of
    // the settings report success too, the others only a failure.
    const struct
    {
        const char *id;
        bool reportsSuccess;
    } sent[] = {
        {"00@01", false}, {"01@41", true},  {"01@45", true},  {"01@47", false}, {"01@59", true},
        {"01@5B", false}, {"01@5D", true},  {"01@5F", false}, {"01@61", true},  {"01@63", false},
        {"01@65", true},  {"01@67", true},  {"01@6B", true},  {"01@6D", true},  {"02@01", true},
        {"02@09", true},  {"04@11", true},  {"05@01", false}, {"05@03", false},
    };
    for (const auto &row : sent) {
        const QString id = QString::fromLatin1(row.id);
        QTest::newRow(qPrintable(QStringLiteral("BB@") + id + QStringLiteral(" success")))
            << id << quint8(0) << (row.reportsSuccess ? 1 : 0);
        QTest::newRow(qPrintable(QStringLiteral("BB@") + id + QStringLiteral(" failure"))) << id << quint8(1) << 1;
    }
}

// The acknowledgement of a command the tab sent, answered by the dongle:
// logged once, by the tab's wire.
void TestDongle::statusAcknowledgements()
{
    QFETCH(QString, id);
    QFETCH(quint8, status);
    QFETCH(int, lines);
    const bool queryAtOpen = kQueries.contains(id);
    if (!queryAtOpen)
        openDongle();
    if (status != 0)
        m_dongle->refuse(id, status);
    m_log->clear();
    if (kStaticCommands.contains(id)) {
        m_widget->on_staticConfigSet();
    } else if (id == QLatin1String("02@01")) {
        m_widget->on_DynamicConfigApply();
    } else if (id == QLatin1String("00@01")) {
        m_widget->on_toolButton_reset_clicked();
    } else {
        // The queries go out as the port opens.
        QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
        m_widget->onConnectionStatusChanged(true);
    }
    const QString prefix = QStringLiteral("[SDK Result] Uplink Command Name:")
                           + PageWire::uplinkNameOfId(QStringLiteral("BB@") + id) + QStringLiteral(" Result:");
    const auto counted = [&] {
        int count = 0;
        for (const auto &line : m_log->lines()) {
            if (line.second >= 2 && line.first.startsWith(prefix))
                ++count;
        }
        return count;
    };
    QTRY_VERIFY(m_dongle->receivedIds().contains(id));
    // Its acknowledgement has come once the next command's has, or the dongle has answered everything.
    QTRY_VERIFY2(counted() >= lines && m_widget->link()->acknowledgements().waiting() <= (status != 0 ? 1 : 0),
                 qPrintable(m_log->texts().join(QLatin1Char('\n'))));
    QTest::qWait(100);
    QCOMPARE(counted(), lines);
}

// The tab reads no acknowledgement off its layers: they are its wire's.
void TestDongle::acknowledgementsOffTheLayerAreNotTheTabs_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("failure-only status, success") << FrameBuilder::frame(0xBB, 0x01, 0x47, QByteArray(1, '\0'));
    QTest::newRow("status with success line") << FrameBuilder::frame(0xBB, 0x01, 0x41, QByteArray(1, '\0'));
    QTest::newRow("failure") << FrameBuilder::frame(0xBB, 0x01, 0x41, QByteArray(1, '\1'));
    QTest::newRow("not routed") << FrameBuilder::frame(0xBB, 0x01, 0x03, QByteArray(1, '\0'));
    QTest::newRow("malformed length") << QByteArray::fromHex("bb01410500");
}

void TestDongle::acknowledgementsOffTheLayerAreNotTheTabs()
{
    QFETCH(QByteArray, frame);
    m_log->clear();
    m_widget->onRcvMsg(frame);
    for (const auto &line : m_log->lines())
        QVERIFY2(!line.first.startsWith(QLatin1String("[SDK Result]")), qPrintable(line.first));
}

void TestDongle::resultHandlers_data()
{
    // `before` goes in first; then `frame`. An empty `prefix` and `suffix` mean
    // the frame must leave no line at all.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("level");
    const QByteArray cisRequest = FrameBuilder::frame(0xDD, 0x06, 0x10, QByteArray::fromHex("02" "0500" "01" "01"));
    const QByteArray cisTimings = QByteArray(16, '\0') + QByteArray::fromHex("0202");
    QTest::newRow("profile set refused")
        << QByteArray() << FrameBuilder::frame(0xDD, 0x05, 0x04, QByteArray(1, '\1'))
        << "Uplink Command Name:Profile Set Result:" << "BLE ATT ERR INVALID HANDLE" << 4;
    QTest::newRow("profile set without status")
        << QByteArray() << FrameBuilder::frame(0xDD, 0x05, 0x04)
        << "Parse uplink Command:Profile Set failed,the file up_link_command.xml is wrong." << "" << 4;
    QTest::newRow("CIS of another handle")
        << cisRequest << FrameBuilder::frame(0xDD, 0x06, 0x03, QByteArray::fromHex("00" "0600") + cisTimings)
        << QString() << QString() << 0;
    QTest::newRow("CIS of the requested handle refused")
        << cisRequest << FrameBuilder::frame(0xDD, 0x06, 0x03, QByteArray::fromHex("01" "0500") + cisTimings)
        << "[Complete Result] Uplink Command Name:" << " Result:BLE ATT ERR INVALID HANDLE" << 4;
}

void TestDongle::resultHandlers()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, frame);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(int, level);
    if (!before.isEmpty())
        m_widget->onRcvMsg(before);
    m_log->clear();
    m_widget->onRcvMsg(frame);
    const auto lines = m_log->lines();
    if (prefix.isEmpty()) {
        QVERIFY2(lines.isEmpty(), qPrintable(m_log->texts().join(QLatin1Char('\n'))));
        return;
    }
    bool found = false;
    for (const auto &line : lines)
        found = found || (line.first.startsWith(prefix) && line.first.endsWith(suffix) && line.second == level);
    QVERIFY2(found, qPrintable(m_log->texts().join(QLatin1Char('\n'))));
}

void TestDongle::secondInitBuildsNothing()
{
    // init() ran the init step once already.
    // The dongle log's pane waits for its tab.
    QCOMPARE(m_widget->findChildren<CConnectionWidget *>().size(), 1);
    QCOMPARE(m_widget->findChildren<CLogWidget *>().size(), 1);
    CConnectionWidget *page = m_widget->connectionWidget();
    m_widget->initWidgets();
    QCOMPARE(m_widget->findChildren<CConnectionWidget *>().size(), 1);
    QCOMPARE(m_widget->findChildren<CLogWidget *>().size(), 1);
    QCOMPARE(m_widget->connectionWidget(), page);
    QCOMPARE(m_widget->pageTabWidget()->widget(0)->findChild<CConnectionWidget *>(), page);
}

void TestDongle::dongleLogReachesDongleLoggers()
{
    auto *dongleLines = new RecordingLogger(QStringLiteral("dongle_recorder"), 0);
    m_widget->logManager()->addDongleLogger(dongleLines);
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_dongle->sendResetEvent();
    m_dongle->sendDongleLog("hello from the dongle");
    QTRY_VERIFY_WITH_TIMEOUT(dongleLines->texts().contains(QStringLiteral("hello from the dongle")), kAnswerWaitMs);
}

void TestDongle::unsendableNameIsRefused()
{
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_dongle->sendResetEvent();
    QTest::qWait(50);
    m_dongle->clearReceived();
    m_widget->settingsMap()->insert(QStringLiteral("device_name"), QStringLiteral("41g2"));
    m_widget->on_staticConfigSet();
    QVERIFY(waitForSent(kStaticCommands.size() - 1));
    QTest::qWait(100);
    QVERIFY(!sentIds().contains(QStringLiteral("01@59")));
    QVERIFY(m_log->texts().contains(QStringLiteral(
        "Downlink Command: Device Name Set not sent: the stored name holds a character that is not a hex digit.")));
}

void TestDongle::inactiveWithoutSettingsDescription()
{
    const QString previous = MainDongleWidget::settingsDescriptionPath();
    MainDongleWidget::setSettingsDescriptionPath(QStringLiteral(":/no/such/description.xml"));
    MainDongleWidget inert(QStringLiteral("Inert"));
    MainDongleWidget::setSettingsDescriptionPath(previous);

    QVERIFY(!inert.isOperational());
    QVERIFY(inert.settingsMap()->isEmpty());
    for (QToolButton *button : inert.findChildren<QToolButton *>())
        QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
    inert.initWidgets();
    QVERIFY(inert.isInitialized());
    QVERIFY(!inert.connectionWidget());
    inert.onConnectionStatusChanged(true);
    QVERIFY(!inert.heartBeat()->isRunning());
    QVERIFY(!inert.pageTabWidget()->isEnabled());

    // It says why, in its log file.
    inert.logManager()->flushLogFiles();
    QFile log(inert.logManager()->logFolder() + QStringLiteral("/UI_log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.contains(QStringLiteral("[ERROR]MainDongleWidget::MainDongleWidget, the settings description "
                                          ":/no/such/description.xml cannot be loaded; dongle Inert stays inactive.")),
             qPrintable(text));
}

void TestDongle::connectionTabsPlacement()
{
    openDongle();
    QTabWidget *tabs = m_widget->pageTabWidget();
    auto *first = new RecordingConnectionPage(1, 0, QStringLiteral("aa:aa:aa:aa:aa:01"));
    auto *second = new RecordingConnectionPage(2, 0, QStringLiteral("aa:aa:aa:aa:aa:02"));
    auto *third = new RecordingConnectionPage(3, 1, QStringLiteral("aa:aa:aa:aa:aa:03"));
    m_widget->on_connectSuccess(0, first->peerAddress(), first);
    m_widget->on_connectSuccess(0, second->peerAddress(), second);
    m_widget->on_connectSuccess(1, third->peerAddress(), third);
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    QCOMPARE(texts, (QStringList{"Master", "Peer Address: aa:aa:aa:aa:aa:01", "Peer Address: aa:aa:aa:aa:aa:02",
                                 "Slave", "Peer Address: aa:aa:aa:aa:aa:03"}));
    QCOMPARE(tabs->currentWidget(), third);
    QVERIFY(third->isCurrent);
    QVERIFY(!first->isCurrent);

    tabs->setCurrentWidget(first);
    QVERIFY(first->isCurrent);
    QVERIFY(!third->isCurrent);

    auto *button = qobject_cast<QToolButton *>(tabs->tabBar()->tabButton(1, QTabBar::RightSide));
    QVERIFY(button);
    QCOMPARE(button->toolTip(), QStringLiteral("Disconnect"));
    button->click();
    button->click();
    QCOMPARE(first->disconnects, 2);
    // The tab stays until the dongle reports the disconnection.
    QCOMPARE(tabs->indexOf(first), 1);

    QSignalSpy showTab(m_widget, &MainDongleWidget::showThisDongleTab);
    emit second->sig_showDongleTab(QStringLiteral("TestDongle"));
    QCOMPARE(showTab.count(), 1);
}

void TestDongle::disconnectionRemovesTab()
{
    QTabWidget *tabs = m_widget->pageTabWidget();
    QPointer<RecordingConnectionPage> central = new RecordingConnectionPage(4, 0, QStringLiteral("central"));
    QPointer<RecordingConnectionPage> peripheral = new RecordingConnectionPage(5, 1, QStringLiteral("peripheral"));
    m_widget->on_connectSuccess(0, QStringLiteral("central"), central);
    m_widget->on_connectSuccess(1, QStringLiteral("peripheral"), peripheral);
    const int before = tabs->count();

    m_widget->on_disConnectRequest(9);
    QCOMPARE(tabs->count(), before);

    m_widget->on_disConnectRequest(5);
    QCOMPARE(tabs->count(), before - 1);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Slave"));
    QVERIFY(m_log->texts().contains(QStringLiteral("delete widget")));

    m_widget->on_disConnectRequest(4);
    QCOMPARE(tabs->count(), before - 2);
    QCOMPARE(tabs->currentIndex(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(central.isNull());
    QVERIFY(peripheral.isNull());
}

void TestDongle::resetClosesConnectionTabs()
{
    openDongle();
    QTabWidget *tabs = m_widget->pageTabWidget();
    QPointer<RecordingConnectionPage> one = new RecordingConnectionPage(1, 0, QStringLiteral("one"));
    QPointer<RecordingConnectionPage> two = new RecordingConnectionPage(2, 1, QStringLiteral("two"));
    auto *survivor = new SurvivingPage;
    m_widget->on_connectSuccess(0, QStringLiteral("one"), one);
    m_widget->on_connectSuccess(1, QStringLiteral("two"), two);
    tabs->addTab(survivor, QStringLiteral("LCP       "));
    tabs->setCurrentWidget(survivor);

    m_dongle->sendResetEvent();
    QVERIFY(waitForSent(kQueries.size()));
    QCOMPARE(sentIds(), kQueries);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->indexOf(survivor), 2);
    QCOMPARE(survivor->resets, QList<bool>{true});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(one.isNull());
    QVERIFY(two.isNull());

    // Closing the port resets the surviving page to off.
    m_widget->onConnectionStatusChanged(false);
    QCOMPARE(survivor->resets, (QList<bool>{true, false}));
    QVERIFY(!m_widget->heartBeat()->isRunning());
}

void TestDongle::pageSurvivesItsOwnDialog()
{
    QTabWidget *tabs = m_widget->pageTabWidget();
    QPointer<RecordingConnectionPage> page = new RecordingConnectionPage(7, 0, QStringLiteral("asking"));
    m_widget->on_connectSuccess(0, QStringLiteral("asking"), page);

    // The disconnection arrives while the page waits in its own dialog.
    QTimer::singleShot(50, m_widget, [this] { m_widget->on_disConnectRequest(7); });
    bool survived = false;
    QTimer::singleShot(0, page, [&survived, page] { survived = page->askAndSurvive(); });
    QTRY_VERIFY(page.isNull());
    QVERIFY(survived);
    QCOMPARE(tabs->count(), 2);
}

void TestDongle::placeholderPageSendsDisconnect()
{
    openDongle();
    const QString dongleName = m_widget->dongleName();
    PageContext context;
    context.link = m_widget->link();
    context.logger = m_widget->logManager();
    context.settings = m_widget->settingsMap();
    context.dongleName = &dongleName;
    ConnectionPageArgs args;
    args.role = 0;
    args.peerName = QStringLiteral("Peer Device");
    args.peerAddress = QStringLiteral("11:22:33:44:55:66");
    args.condix = 3;
    ConnectionPage *page = PageRegistry::create<PageKind::Connection>(context, args);
    QVERIFY(page);
    QCOMPARE(page->condix(), uint8_t(3));
    m_widget->on_connectSuccess(0, args.peerAddress, page);
    auto *button = qobject_cast<QToolButton *>(
        m_widget->pageTabWidget()->tabBar()->tabButton(m_widget->pageTabWidget()->indexOf(page), QTabBar::RightSide));
    QVERIFY(button);
    button->click();
    QVERIFY(waitForSent(1));
    QCOMPARE(FrameBuilder::toHex(m_dongle->receivedBytes().first()).left(17), QStringLiteral("AA 01 07 01 00 03"));
}

void TestDongle::removedPageGoesBeforeTheLink()
{
    QPointer<RecordingConnectionPage> page = new RecordingConnectionPage(8, 0, QStringLiteral("late"));
    m_widget->on_connectSuccess(0, QStringLiteral("late"), page);
    m_widget->on_disConnectRequest(8);
    QVERIFY(!page.isNull());
    // The tab goes before the event loop had a chance to delete the page.
    delete m_widget;
    m_widget = nullptr;
    QVERIFY(page.isNull());
}

QTEST_MAIN(TestDongle)
#include "tst_dongle.moc"
