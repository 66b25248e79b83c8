#include "cdownloadfirmware.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "cselectdongledialog.h"
#include "ctestmodepage.h"
#include "filechooser.h"
#include "firmwarefile.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "modalanswerer.h"
#include "pageregistry.h"
#include "recordinglogger.h"
#include "simbehaviour_app.h"
#include "simbehaviour_bootloader.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"
#include "testmodepages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 30000;
const QString kDongleName = QStringLiteral("ToolbarDongle");
const QStringList kDownloadWidgets{"toolButton_selectDongle", "toolButton_configureSettings", "toolButton_registerPSM",
                                   "toolButton_about",        "toolButton_getInfo",           "toolButton_reset",
                                   "toolButton_RfCalibraion", "toolButton_address",           "toolButton_download",
                                   "toolButton_lcp",          "toolButton_idt"};

} // namespace

class TestToolbar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolbarFollowsTheConnection();
    void downloadRefusedBeforeTheDeviceTypeIsKnown();
    void wrongFileSendsNothing();
    void cancelledDownloadLeavesResetsRestartingTheHeartbeat();
    void standInBootImageAsksFirst();
    void wholeDownloadReconnectsAndResets();
    void failedStepLeavesOnlyThePortButton_data();
    void failedStepLeavesOnlyThePortButton();
    void reconnectGivesUpWhenThePortStaysClosed();
    void slowRestartIsNoFailure();
    void reconnectFindsOnlyThisDongle_data();
    void reconnectFindsOnlyThisDongle();
    void answersMatchTheirFrame_data();
    void answersMatchTheirFrame();
    void unusableFileRefusedInABox_data();
    void unusableFileRefusedInABox();
    void deadDongleShowsFirmwareError();

    void testPageTabs_data();
    void testPageTabs();
    void testPagesFollowResetAndDisconnection();
    void refusedRunEndsInItsTab_data();
    void refusedRunEndsInItsTab();
    void calibrationDialogIsKept();

private:
    void openDongle();
    // As a user opens it: the selection dialog probes the port, then Connect.
    void openThroughSelectDialog();
    // Takes the dongle's port once the tab closed it, as a slow restart would; -1 on failure.
    int holdPortWhenClosed();
    QToolButton *button(const char *name) const;
    QStringList bootFramesSeen() const;
    // Nothing started: no download under way, the toolbar as it was, no boot-loader frame.
    void verifyNothingStarted();
    static void chooseFile(const QString &path);
    cDownLoadFirmWare *downloader() const;

    QTemporaryDir m_dir;
    SimulatedDongle *m_dongle = nullptr;
    SimBootLoader *m_loader = nullptr;
    MainDongleWidget *m_widget = nullptr;
    RecordingLogger *m_log = nullptr;
    QString m_userFile;
};

void TestToolbar::initTestCase()
{
    registerTestModePages();
    m_userFile = FirmwareFile::write(m_dir.path(), QStringLiteral("user.bin"),
                                     FirmwareFile::shortForm(FirmwareFile::body(3000, 9)));
    QVERIFY(!m_userFile.isEmpty());
}

void TestToolbar::init()
{
    qputenv("VANTORA_ACCEPT_STANDIN_BOOT_IMAGE", "1");
    m_dongle = new SimulatedDongle;
    QVERIFY(m_dongle->isValid());
    installLinkBehaviour(*m_dongle);
    installAppBehaviour(*m_dongle);
    m_loader = new SimBootLoader(*m_dongle);
    m_widget = new MainDongleWidget(kDongleName);
    QVERIFY(m_widget->isOperational());
    m_log = new RecordingLogger(QStringLiteral("recorder"), 0);
    m_widget->logManager()->addLogger(m_log);
    m_widget->initWidgets();
    m_widget->heartBeat()->setInterval(60000);
    m_widget->link()->setSendInterval(2);
    m_widget->setReconnectInterval(100);
    QVERIFY(downloader());
    downloader()->setPauses(20, 20);
    chooseFile(m_userFile);
}

void TestToolbar::cleanup()
{
    setFileChooser(FileChooserFunction());
    delete m_widget;
    m_widget = nullptr;
    delete m_dongle;
    m_dongle = nullptr;
}

cDownLoadFirmWare *TestToolbar::downloader() const
{
    return qobject_cast<cDownLoadFirmWare *>(m_widget->firmwareLoader());
}

QToolButton *TestToolbar::button(const char *name) const
{
    return m_widget->findChild<QToolButton *>(QLatin1String(name));
}

void TestToolbar::chooseFile(const QString &path)
{
    setFileChooser([path](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
        return path;
    });
}

void TestToolbar::verifyNothingStarted()
{
    QVERIFY(!m_widget->isDownloading());
    QVERIFY(button("toolButton_download")->isEnabled());
    QVERIFY(button("toolButton_reset")->isEnabled());
    QTest::qWait(50);
    QCOMPARE(bootFramesSeen(), QStringList());
}

QStringList TestToolbar::bootFramesSeen() const
{
    return m_dongle->receivedIds().filter(QStringLiteral("QK@"));
}

void TestToolbar::openDongle()
{
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, kWaitMs);
    QTest::qWait(50);
    m_dongle->clearReceived();
}

void TestToolbar::toolbarFollowsTheConnection()
{
    for (const QString &name : kDownloadWidgets.mid(1))
        QVERIFY2(!button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
    openDongle();
    for (const QString &name : kDownloadWidgets) {
        if (name != QLatin1String("toolButton_registerPSM"))
            QVERIFY2(button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
    }
}

void TestToolbar::downloadRefusedBeforeTheDeviceTypeIsKnown()
{
    // The type query goes unanswered: the type stays unknown.
    m_dongle->setResponder(QStringLiteral("00@03"), [](const QByteArray &frame) {
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame)};
    });
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    QTest::qWait(200);
    QCOMPARE(m_widget->deviceType(), -1);
    button("toolButton_download")->click();
    QCOMPARE(m_log->count(QStringLiteral("this firmware do not support downloading.")), 1);
    verifyNothingStarted();
}

void TestToolbar::wrongFileSendsNothing()
{
    openDongle();
    const QString wrong = FirmwareFile::write(m_dir.path(), QStringLiteral("wrong.bin"),
                                              FirmwareFile::shortForm(FirmwareFile::body(100), "other_fw"));
    chooseFile(wrong);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    button("toolButton_download")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().first().title, QStringLiteral("Download Firmware"));
    QVERIFY(answerer.seen().first().text.contains(QStringLiteral("its name is not \"ble_tool_fw\"")));
    QCOMPARE(m_log->count(QStringLiteral("selected firmware wrong!")), 1);
    QVERIFY(m_widget->heartBeat()->isRunning());
    verifyNothingStarted();
}

void TestToolbar::cancelledDownloadLeavesResetsRestartingTheHeartbeat()
{
    openDongle();
    chooseFile(QString());
    button("toolButton_download")->click();
    verifyNothingStarted();
    // A dongle that went silent stops its heartbeat; its next reset starts it again.
    m_widget->heartBeat()->stop();
    m_dongle->sendResetEvent();
    QTRY_VERIFY_WITH_TIMEOUT(m_widget->heartBeat()->isRunning(), kWaitMs);
}

void TestToolbar::standInBootImageAsksFirst()
{
    if (!cDownLoadFirmWare::usesStandInBootImages())
        QSKIP("built with the real boot images");
    qunsetenv("VANTORA_ACCEPT_STANDIN_BOOT_IMAGE");
    openDongle();
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbNo"));
    button("toolButton_download")->click();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QVERIFY(answerer.seen().first().text.contains(QStringLiteral("stand-in boot image, not firmware")));
    verifyNothingStarted();
}

void TestToolbar::wholeDownloadReconnectsAndResets()
{
    openDongle();
    QSignalSpy finished(m_widget->firmwareLoader(), &FirmwareLoader::sig_heartBeatRestart);
    QSignalSpy progress(m_widget->firmwareLoader(), &FirmwareLoader::sig_progress);
    button("toolButton_download")->click();
    QVERIFY(m_widget->isDownloading());
    QVERIFY(!m_widget->heartBeat()->isRunning());
    for (const QString &name : kDownloadWidgets)
        QVERIFY2(!button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
    QVERIFY(!m_widget->pageTabWidget()->isEnabled());

    QVERIFY(finished.wait(kWaitMs));
    QCOMPARE(m_loader->errors(), QStringList());
    QCOMPARE(m_loader->stages().size(), 2);
    QCOMPARE(m_loader->stages().at(0).flashFrames, 38);
    QCOMPARE(m_loader->stages().at(1).flashFrames, 3);
    QVERIFY(m_loader->stages().at(1).ran);
    QCOMPARE(progress.last().at(0).toInt(), 2);
    QCOMPARE(progress.last().at(1).toUInt(), progress.last().at(2).toUInt());

    // Closed, reopened, and the reopening sends "Reset".
    QTRY_VERIFY_WITH_TIMEOUT(!m_widget->isDownloading(), kWaitMs);
    QVERIFY(m_widget->link()->isOpen());
    QVERIFY(m_widget->heartBeat()->isRunning());
    for (const QString &name : kDownloadWidgets) {
        if (name != QLatin1String("toolButton_registerPSM"))
            QVERIFY2(button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
    }
    QVERIFY(m_widget->pageTabWidget()->isEnabled());
    const QStringList ids = m_dongle->receivedIds();
    const int lastBoot = ids.lastIndexOf(QRegularExpression(QStringLiteral("^QK@")));
    QTRY_VERIFY_WITH_TIMEOUT(m_dongle->receivedIds().mid(lastBoot).contains(QStringLiteral("00@01")), kWaitMs);
    QCOMPARE(m_log->count(QStringLiteral("Program firmware success!")), 2);
}

void TestToolbar::failedStepLeavesOnlyThePortButton_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("stepTimeoutMs");
    QTest::addColumn<QString>("reason");
    QTest::newRow("silent boot loader")
        << int(SimBootLoader::Silence) << int(SimBootLoader::AnyCommand) << 300
        << QStringLiteral("The boot loader did not answer the start frame within 300 ms.");
    // An unreadable answer is told at once: a watchdog this long cannot end the download within the wait.
    QTest::newRow("unreadable start answer")
        << int(SimBootLoader::WrongSum) << 0x23 << 10 * kWaitMs
        << QStringLiteral("The answer of the boot loader to the start frame was unreadable: its sum is wrong.");
    QTest::newRow("unreadable flash answer")
        << int(SimBootLoader::WrongSum) << 0x24 << 10 * kWaitMs
        << QStringLiteral("The answer of the boot loader to flash frame 1 of 38 was unreadable: its sum is wrong.");
}

void TestToolbar::failedStepLeavesOnlyThePortButton()
{
    QFETCH(int, fault);
    QFETCH(int, command);
    QFETCH(int, stepTimeoutMs);
    QFETCH(QString, reason);
    m_loader->setFault(SimBootLoader::Fault(fault), quint16(command));
    openDongle();
    downloader()->setStepTimeout(stepTimeoutMs);
    QSignalSpy failed(m_widget->firmwareLoader(), &FirmwareLoader::sig_downloadFailed);
    ModalAnswerer answerer(kWaitMs);
    answerer.click(QStringLiteral("m_pbOk"));
    button("toolButton_download")->click();
    QVERIFY(failed.wait(kWaitMs));
    QVERIFY(answerer.waitUntilAnswered(kWaitMs));
    QCOMPARE(answerer.seen().first().title, QStringLiteral("Download Firmware"));
    QVERIFY2(answerer.seen().first().text.contains(QStringLiteral("stage 1 of 2 (boot image): ") + reason),
             qPrintable(answerer.seen().first().text));
    QCOMPARE(m_log->count(reason), 1);
    QCOMPARE(m_log->count(QStringLiteral("download firmware failed.")), 1);
    QVERIFY(!m_widget->link()->isOpen());
    QVERIFY(!m_widget->isDownloading());
    QVERIFY(button("toolButton_selectDongle")->isEnabled());
    for (const QString &name : kDownloadWidgets.mid(1))
        QVERIFY2(!button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
    QVERIFY(!m_widget->heartBeat()->isRunning());

    // Opened again by hand, the next reset event runs the heartbeat.
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    m_widget->heartBeat()->stop();
    m_dongle->sendResetEvent();
    QTRY_VERIFY_WITH_TIMEOUT(m_widget->heartBeat()->isRunning(), kWaitMs);
}

void TestToolbar::reconnectGivesUpWhenThePortStaysClosed()
{
    openDongle();
    m_widget->setReconnectInterval(300);
    QSignalSpy finished(m_widget->firmwareLoader(), &FirmwareLoader::sig_heartBeatRestart);
    button("toolButton_download")->click();
    QVERIFY(finished.wait(kWaitMs));
    // Once the tab closed the port, another holder takes it, as a slow
    // restart or another program would: every reopening fails.
    QTRY_VERIFY_WITH_TIMEOUT(!m_widget->link()->isOpen(), kWaitMs);
    const int holder = ::open(m_dongle->portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(holder >= 0);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_widget->isDownloading(), kWaitMs);
    ::close(holder);
    QVERIFY(!m_widget->link()->isOpen());
    QCOMPARE(m_log->texts().filter(QStringLiteral("after the firmware download (attempt")).size(),
             MainDongleWidget::ReconnectAttempts);
    QCOMPARE(m_log->texts().filter(QStringLiteral("The dongle did not come back on ")).size(), 1);
    QVERIFY(button("toolButton_selectDongle")->isEnabled());
    for (const QString &name : kDownloadWidgets.mid(1))
        QVERIFY2(!button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
    QVERIFY(!m_widget->heartBeat()->isRunning());
}

void TestToolbar::openThroughSelectDialog()
{
    ModalAnswerer answerer(kWaitMs);
    const QString port = m_dongle->portPath();
    answerer.answerWith([port](QWidget *modal) {
        auto *dialog = qobject_cast<CSelectDongleDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        // The dialog probes two seconds after it opens.
        if (!QTest::qWaitFor([&] { return dialog->foundDongles().contains(port) && !dialog->isRefreshing(); },
                             kWaitMs))
            qWarning("the selection dialog never listed the dongle");
        auto *tree = dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget_device"));
        QTreeWidgetItem *root = tree->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) {
            if (root->child(i)->data(0, CSelectDongleDialog::PortNameRole).toString() == port)
                tree->setCurrentItem(root->child(i));
        }
        dialog->findChild<QPushButton *>(QStringLiteral("PB_Connect"))->click();
        if (dialog->isVisible())
            dialog->close();
    });
    button("toolButton_selectDongle")->click();
    QVERIFY(answerer.waitUntilAnswered(kWaitMs));
    QVERIFY(m_widget->link()->isOpen());
    QCOMPARE(m_widget->portName(), port);
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, kWaitMs);
    QTest::qWait(50);
    m_dongle->clearReceived();
}

int TestToolbar::holdPortWhenClosed()
{
    int holder = -1;
    // The tab's probe may hold the port for a moment after closing it.
    const bool held = QTest::qWaitFor(
        [this, &holder] {
            if (m_widget->link()->isOpen())
                return false;
            holder = ::open(m_dongle->portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0)
                return true;
            if (holder >= 0)
                ::close(holder);
            holder = -1;
            return false;
        },
        kWaitMs);
    return held ? holder : -1;
}

void TestToolbar::slowRestartIsNoFailure()
{
    openDongle();
    m_widget->setReconnectInterval(300);
    QSignalSpy finished(m_widget->firmwareLoader(), &FirmwareLoader::sig_heartBeatRestart);
    button("toolButton_download")->click();
    QVERIFY(finished.wait(kWaitMs));
    const int holder = holdPortWhenClosed();
    QVERIFY(holder >= 0);
    // Released after the first reopening failed: the dongle came back slowly.
    QTRY_VERIFY_WITH_TIMEOUT(!m_log->texts().filter(QStringLiteral("(attempt 1 of")).isEmpty(), kWaitMs);
    ::close(holder);
    QTRY_VERIFY_WITH_TIMEOUT(!m_widget->isDownloading(), kWaitMs);
    QVERIFY(m_widget->link()->isOpen());
    QCOMPARE(m_log->count(QStringLiteral("Program firmware success!")), 2);
    const QStringList waiting = m_log->texts().filter(QStringLiteral("(attempt 1 of"));
    QCOMPARE(waiting, QStringList{QStringLiteral("Waiting for the dongle to come back on %1 after the firmware download "
                                                 "(attempt 1 of 5).")
                                      .arg(m_dongle->portPath())});
    QCOMPARE(m_log->texts().filter(QStringLiteral("download failed")), QStringList());
}

void TestToolbar::reconnectFindsOnlyThisDongle_data()
{
    QTest::addColumn<QString>("arrivingName");
    QTest::addColumn<bool>("taken");
    QTest::newRow("another dongle arrives") << "Other Dongle" << false;
    QTest::newRow("this dongle on another port") << "Simulated Dongle" << true;
}

void TestToolbar::reconnectFindsOnlyThisDongle()
{
    QFETCH(QString, arrivingName);
    QFETCH(bool, taken);
    SimulatedDongle arriving;
    QVERIFY(arriving.isValid());
    installLinkBehaviour(arriving);
    installAppBehaviour(arriving);
    QStringList probe = LinkBehaviour::defaultProbeTexts();
    probe[0] = arrivingName;
    LinkBehaviour::setProbeAnswer(arriving, probe);
    qputenv("VANTORA_EXTRA_PORTS", m_dongle->portPath().toLocal8Bit());
    openThroughSelectDialog();
    qunsetenv("VANTORA_EXTRA_PORTS");
    m_widget->setReconnectInterval(500);
    QSignalSpy finished(m_widget->firmwareLoader(), &FirmwareLoader::sig_heartBeatRestart);
    button("toolButton_download")->click();
    QVERIFY(finished.wait(kWaitMs));
    // The old port stays taken while a port arrives.
    const int holder = holdPortWhenClosed();
    QVERIFY(holder >= 0);
    m_widget->serialPortArrived(arriving.portPath());
    QTRY_VERIFY_WITH_TIMEOUT(!m_widget->isDownloading(), kWaitMs);
    ::close(holder);
    QCOMPARE(m_widget->link()->isOpen(), taken);
    if (taken) {
        QCOMPARE(m_widget->portName(), arriving.portPath());
        QCOMPARE(m_log->count(QStringLiteral("Simulated Dongle came back on %1 after the firmware download.")
                                  .arg(arriving.portPath())),
                 1);
        QTRY_VERIFY_WITH_TIMEOUT(arriving.receivedIds().contains(QStringLiteral("00@01")), kWaitMs);
        return;
    }
    // The other dongle was only asked its name, never opened.
    QVERIFY(!arriving.receivedIds().contains(QStringLiteral("00@01")));
    QCOMPARE(m_log->texts().filter(QStringLiteral("The dongle did not come back on %1 after the download")
                                       .arg(m_dongle->portPath()))
                 .size(),
             1);
}

void TestToolbar::answersMatchTheirFrame_data()
{
    QTest::addColumn<int>("refusedFlashFrame"); // 0: every frame taken
    QTest::newRow("every answer twice") << 0;
    QTest::newRow("every answer twice, flash frame 5 refused") << 5;
}

void TestToolbar::answersMatchTheirFrame()
{
    QFETCH(int, refusedFlashFrame);
    m_loader->setRepeatedAnswers(true);
    if (refusedFlashFrame)
        m_loader->refuseFrame(0x24, refusedFlashFrame);
    openDongle();
    QSignalSpy finished(m_widget->firmwareLoader(), &FirmwareLoader::sig_heartBeatRestart);
    QSignalSpy failed(m_widget->firmwareLoader(), &FirmwareLoader::sig_downloadFailed);
    ModalAnswerer answerer(kWaitMs);
    if (refusedFlashFrame)
        answerer.click(QStringLiteral("m_pbOk"));
    button("toolButton_download")->click();
    if (!refusedFlashFrame) {
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(m_loader->errors(), QStringList());
        // Each frame once, each after its own answer.
        QCOMPARE(m_loader->framesSeen(), 3 + 38 + 3 + 3);
        QVERIFY(m_log->texts().filter(QStringLiteral("Boot loader answer to command 0x24 ignored")).size() >= 38);
        QCOMPARE(m_log->count(QStringLiteral("Program firmware success!")), 2);
        return;
    }
    QVERIFY(failed.wait(kWaitMs));
    QVERIFY(answerer.waitUntilAnswered(kWaitMs));
    QCOMPARE(answerer.seen().first().title, QStringLiteral("Download Firmware"));
    QVERIFY2(answerer.seen().first().text.contains(
                 QStringLiteral("stage 1 of 2 (boot image): The boot loader refused flash frame 5 of 38 (status 0).")),
             qPrintable(answerer.seen().first().text));
    QTest::qWait(100);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(m_log->count(QStringLiteral("Program firmware success!")), 0);
    QCOMPARE(m_log->count(QStringLiteral("download firmware failed.")), 1);
    // Nothing follows the refused frame.
    QCOMPARE(m_loader->stages().size(), 1);
    QCOMPARE(m_loader->stages().first().flashFrames, 5);
    QVERIFY(!m_widget->link()->isOpen());
    QVERIFY(button("toolButton_selectDongle")->isEnabled());
}

void TestToolbar::unusableFileRefusedInABox_data()
{
    QTest::addColumn<QString>("kind"); // file, fifo or folder
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QByteArray huge = FirmwareFile::shortForm(FirmwareFile::body(3000));
    huge.replace(huge.size() - 44, 4, QByteArray(4, '\xFF'));
    QTest::newRow("length 0xFFFFFFFF")
        << "file" << huge << "firmware image length 4294967295 does not fit the file (3000 bytes before its trailer)";
    QByteArray shorter = FirmwareFile::longForm(FirmwareFile::body(3000));
    shorter.remove(0, 1);
    QTest::newRow("long form one byte short")
        << "file" << shorter << "firmware image length 3000 does not fit the file (2999 bytes before its trailer)";
    QTest::newRow("FIFO") << "fifo" << QByteArray() << "it is not a regular file";
    QTest::newRow("folder") << "folder" << QByteArray() << "it is not a regular file";
}

void TestToolbar::unusableFileRefusedInABox()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    openDongle();
    const QString path = m_dir.filePath(QStringLiteral("unusable-") + QString::fromLatin1(QTest::currentDataTag()));
    std::thread writer;
    if (kind == QLatin1String("file")) {
        QCOMPARE(FirmwareFile::write(m_dir.path(), QFileInfo(path).fileName(), bytes), path);
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        // Lets a reader that blocked in its opening go after two seconds; it
        // never blocks itself.
        const QByteArray fifo = path.toLocal8Bit();
        writer = std::thread([fifo] {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
    } else {
        QVERIFY(QDir().mkpath(path));
    }
    chooseFile(path);
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    QElapsedTimer clock;
    clock.start();
    button("toolButton_download")->click();
    const qint64 took = clock.elapsed();
    QVERIFY(answerer.waitUntilAnswered());
    if (writer.joinable())
        writer.join();
    QVERIFY2(took < 2000, "the window waited on the file");
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("Download Firmware"));
    QCOMPARE(answerer.seen().first().text,
             QStringLiteral("This file cannot be downloaded to the dongle.\n%1: %2.").arg(path, reason));
    QCOMPARE(m_log->count(QStringLiteral("selected firmware wrong!")), 1);
    verifyNothingStarted();
}

void TestToolbar::deadDongleShowsFirmwareError()
{
    openDongle();
    QSignalSpy showTab(m_widget, &MainDongleWidget::showThisDongleTab);
    LinkBehaviour::setHeartbeatAnswer(*m_dongle, -1);
    m_widget->heartBeat()->setInterval(50);
    m_widget->heartBeat()->setDeadThreshold(300);
    m_widget->heartBeat()->start();
    ModalAnswerer answerer(kWaitMs);
    answerer.click(QStringLiteral("m_pbOk"));
    QVERIFY(answerer.waitUntilAnswered(kWaitMs));
    QCOMPARE(answerer.seen().first().title, kDongleName + QStringLiteral(": Firmware Error"));
    QCOMPARE(answerer.seen().first().text,
             QStringLiteral("Some Error happened on Firmware!\r\nPlease Press Reset Button on the Dongle."));
    QCOMPARE(showTab.count(), 1);
    QCOMPARE(showTab.first().first().toString(), kDongleName);
    QCOMPARE(m_log->count(QStringLiteral("Firmware Error")), 1);
    // The port stays open.
    QVERIFY(m_widget->link()->isOpen());
}

void TestToolbar::testPageTabs_data()
{
    QTest::addColumn<QString>("toolButton");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("closeTip");
    QTest::addColumn<QString>("startButton");
    QTest::addColumn<quint8>("layer");
    QTest::newRow("LCP") << "toolButton_lcp" << "LCP       " << "close LCP" << "btn_startlcp" << quint8(0x09);
    QTest::newRow("IDT") << "toolButton_idt" << "IDT       " << "close IDT" << "btn_startidt" << quint8(0x0A);
}

void TestToolbar::testPageTabs()
{
    QFETCH(QString, toolButton);
    QFETCH(QString, title);
    QFETCH(QString, closeTip);
    QFETCH(QString, startButton);
    QFETCH(quint8, layer);
    openDongle();
    QTabWidget *tabs = m_widget->pageTabWidget();
    const int before = tabs->count();
    button(toolButton.toLatin1().constData())->click();
    button(toolButton.toLatin1().constData())->click();
    QCOMPARE(tabs->count(), before + 1);
    auto *page = qobject_cast<CTestModePage *>(tabs->currentWidget());
    QVERIFY(page);
    QCOMPARE(tabs->indexOf(page), before);
    QCOMPARE(tabs->tabText(before), title);
    auto *close = qobject_cast<QToolButton *>(tabs->tabBar()->tabButton(before, QTabBar::RightSide));
    QVERIFY(close);
    QCOMPARE(close->toolTip(), closeTip);

    // The page gets its layer's frames.
    page->findChild<QPushButton *>(startButton)->click();
    page->findChild<QPushButton *>(QStringLiteral("btn_startrx"))->click();
    m_dongle->sendUplink(FrameBuilder::frame(0xDD, layer, 0x05, FrameBuilder::fromHex("01 02 03")));
    QTRY_COMPARE_WITH_TIMEOUT(page->rxCount(), quint32(1), kWaitMs);

    // Closing stops the running mode and removes the tab; the button opens a new page.
    const QString prefix = QStringLiteral("%1@").arg(layer, 2, 16, QLatin1Char('0')).toUpper();
    QTRY_VERIFY_WITH_TIMEOUT(m_dongle->receivedIds().contains(prefix + "05"), kWaitMs);
    m_dongle->clearReceived();
    const QPointer<CTestModePage> guarded(page);
    close->click();
    QCOMPARE(tabs->count(), before);
    QCOMPARE(tabs->currentIndex(), 0);
    QTRY_VERIFY(!guarded);
    QTRY_VERIFY_WITH_TIMEOUT(m_dongle->receivedIds().filter(prefix).size() >= 3, kWaitMs);
    QCOMPARE(m_dongle->receivedIds().filter(prefix), (QStringList{prefix + "07", prefix + "06", prefix + "02"}));
    button(toolButton.toLatin1().constData())->click();
    QCOMPARE(tabs->count(), before + 1);
}

void TestToolbar::testPagesFollowResetAndDisconnection()
{
    openDongle();
    QTabWidget *tabs = m_widget->pageTabWidget();
    button("toolButton_lcp")->click();
    auto *page = qobject_cast<CTestModePage *>(tabs->currentWidget());
    QVERIFY(page);
    page->findChild<QPushButton *>(QStringLiteral("btn_startlcp"))->click();
    QVERIFY(page->isModeRunning());
    m_dongle->sendResetEvent();
    QTRY_VERIFY_WITH_TIMEOUT(!page->isModeRunning(), kWaitMs);
    QCOMPARE(tabs->indexOf(page), tabs->count() - 1);
    auto *start = page->findChild<QPushButton *>(QStringLiteral("btn_startlcp"));
    QCOMPARE(start->styleSheet(), QString::fromLatin1(CTestModePage::NormalLook));
    m_widget->onConnectionStatusChanged(false);
    QCOMPARE(start->styleSheet(), QString::fromLatin1(CTestModePage::UnavailableLook));

    m_widget->closeTestPages();
    QCOMPARE(tabs->indexOf(page), -1);
    m_widget->on_toolButton_idt_clicked();
    QCOMPARE(tabs->count(), 3);
}

void TestToolbar::refusedRunEndsInItsTab_data()
{
    QTest::addColumn<QString>("toolButton");
    QTest::addColumn<QString>("startButton");
    QTest::addColumn<QString>("mode");
    QTest::newRow("LCP") << "toolButton_lcp" << "btn_startlcp" << "LCP";
    QTest::newRow("IDT") << "toolButton_idt" << "btn_startidt" << "IDT";
}

void TestToolbar::refusedRunEndsInItsTab()
{
    QFETCH(QString, toolButton);
    QFETCH(QString, startButton);
    QFETCH(QString, mode);
    openDongle();
    const QString prefix = mode == QLatin1String("LCP") ? QStringLiteral("09@") : QStringLiteral("0A@");
    m_dongle->refuse(prefix + "04", 0x10);
    button(toolButton.toLatin1().constData())->click();
    auto *page = qobject_cast<CTestModePage *>(m_widget->pageTabWidget()->currentWidget());
    QVERIFY(page);
    page->findChild<QPushButton *>(startButton)->click();
    ModalAnswerer answerer(kWaitMs);
    answerer.click(QStringLiteral("m_pbOk"));
    page->findChild<QPushButton *>(QStringLiteral("btn_send"))->click();
    QVERIFY(page->isTxRunning());
    QVERIFY(answerer.waitUntilAnswered(kWaitMs));
    QCOMPARE(answerer.seen().first().text,
             mode + QStringLiteral(" mode: the dongle refused to transmit (SDK ERR NO RESOURCES)."));
    QVERIFY(!page->isTxRunning());
    QVERIFY(page->isModeRunning());
    QCOMPARE(page->findChild<QPushButton *>(QStringLiteral("btn_send"))->text(), QStringLiteral("Send"));
    QTRY_VERIFY_WITH_TIMEOUT(m_dongle->receivedIds().contains(prefix + "07"), kWaitMs);
}

void TestToolbar::calibrationDialogIsKept()
{
    openDongle();
    QList<QWidget *> dialogs;
    QString keptText;
    {
        ModalAnswerer answerer;
        answerer.answerWith([&dialogs](QWidget *modal) {
            dialogs << modal;
            modal->findChild<QLineEdit *>(QStringLiteral("le_rfValue"))->setText(QStringLiteral("0x1A2B"));
            modal->findChild<QPushButton *>(QStringLiteral("PB_Calibration"))->click();
        });
        button("toolButton_RfCalibraion")->click();
        QVERIFY(answerer.waitUntilAnswered());
    }
    {
        // A second answerer: one answerer never answers the same widget twice.
        ModalAnswerer answerer;
        answerer.answerWith([&dialogs, &keptText](QWidget *modal) {
            dialogs << modal;
            if (auto *field = modal->findChild<QLineEdit *>(QStringLiteral("le_rfValue")))
                keptText = field->text();
            modal->close();
        });
        button("toolButton_RfCalibraion")->click();
        QVERIFY(answerer.waitUntilAnswered());
    }
    QCOMPARE(dialogs.size(), 2);
    QCOMPARE(dialogs.at(0), dialogs.at(1));
    QCOMPARE(keptText, QStringLiteral("0x1A2B"));
    QVERIFY(m_dongle->waitForFrames(1));
    QCOMPARE(FrameBuilder::toHex(m_dongle->receivedBytes().first()), QStringLiteral("AA 01 83 02 00 2B 1A 8B"));
}

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
