#include "cheartbeat.h"
#include "clogwidget.h"
#include "cmsg.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "modalanswerer.h"
#include "recordinglogger.h"
#include "serialportthread.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"
#include "simulateddongle.h"
#include "textbrowserlogger.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

// A dongle that floods the link: the window must keep answering, the
// heartbeat must not take a busy window for a dead dongle, and every line
// still reaches the log file.
namespace {

// How long the error-status burst may take to reach the log file.
constexpr int BurstWaitMs = 180000;

// Measures how late a 0 ms timer on the GUI thread fires.
class Responsiveness : public QObject
{
public:
    Responsiveness()
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_worstGapMs = qMax(m_worstGapMs, m_sinceLast.restart());
        });
        m_sinceLast.start();
        m_timer.start();
    }
    qint64 worstGapMs() const { return m_worstGapMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_worstGapMs = 0;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Resident memory of this process, in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4096 : 0;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void errorStatusBurstKeepsWindowAnswering();
    void deadBoxShowsDuringFlood();

    void noiseGivesBoundedLog();
    void fallingBehindDropsOldestAndSaysSo();

private:
    void openDongle();
    QString uiLogPath() const { return m_widget->logManager()->logDir() + QStringLiteral("/UI_log.txt"); }

    SimulatedDongle *m_dongle = nullptr;
    MainDongleWidget *m_widget = nullptr;
};

void TestHostile::init()
{
    m_dongle = new SimulatedDongle;
    QVERIFY(m_dongle->isValid());
    installLinkBehaviour(*m_dongle);
    installAppBehaviour(*m_dongle);
    m_widget = new MainDongleWidget(QStringLiteral("HostileDongle"));
    QVERIFY(m_widget->isOperational());
    m_widget->initWidgets();
    m_widget->link()->setSendInterval(5);
    m_widget->show();
}

void TestHostile::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
    delete m_dongle;
    m_dongle = nullptr;
}

void TestHostile::openDongle()
{
    QCOMPARE(m_widget->link()->openPort(m_dongle->portPath()), 0);
    m_widget->onConnectionStatusChanged(true);
    QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceType(), 1, 20000);
}

void TestHostile::errorStatusBurstKeepsWindowAnswering()
{
    // The simulated dongle writes from this thread, so a slow build pauses it mid-frame for longer
    // than any real dongle would; the framer must not give such a frame up.
    m_widget->link()->portThread()->setStallGrace(BurstWaitMs);
    openDongle();
    // Stale frames are dropped after 10 s (the last test's subject); here every line must reach the
    // file however slowly the build handles frames, so nothing is old enough to drop while we wait.
    m_widget->link()->portThread()->setBacklogLimits(SerialPortThread::DefaultBacklogBytes, BurstWaitMs);
    // Beats often, and a dongle is dead after 3 s: long for a dongle that
    // answers every beat, short for a window that lags behind the wire.
    m_widget->heartBeat()->setInterval(100);
    m_widget->heartBeat()->setDeadThreshold(3000);
    m_widget->heartBeat()->start();
    QSignalSpy dead(m_widget->heartBeat(), &CHeartBeat::dead);

    constexpr int Burst = 20000;
    // "Stop Scan" failed with status 7: each one is an ERROR line.
    const QByteArray refused = FrameBuilder::uplink(0xDD, 0x01, 0x04, QByteArray::fromHex("0700"));
    const QByteArray marker = FrameBuilder::uplink(0xDD, 0x01, 0x04, QByteArray::fromHex("0C00"));
    QTextBrowser *pane = nullptr;
    for (CLogWidget *log : m_widget->findChildren<CLogWidget *>()) {
        if (log->m_label_title->text() == QStringLiteral("Tool Log"))
            pane = log->getTextBrowser();
    }
    QVERIFY(pane);
    const QString summary = QStringLiteral("more lines, see UI_log.txt");
    Responsiveness gui;
    m_dongle->sendRaw(refused.repeated(Burst) + marker);

    const QString file = uiLogPath();
    QElapsedTimer clock;
    clock.start();
    int logged = 0;
    QByteArray content;
    // Watched all along: where the burst comes unevenly, a summary can scroll out of the pane's cap.
    bool summarised = false;
    while (clock.elapsed() < BurstWaitMs) {
        QTest::qWait(200);
        summarised = summarised || pane->toPlainText().contains(summary);
        m_widget->logManager()->flushLogFiles();
        content = readFile(file);
        if (content.contains("dd010402000c00"))
            break;
    }
    const qint64 burstMs = clock.elapsed();
    // The heartbeat goes on after the burst, through a window that kept up.
    QTest::qWait(1000);
    summarised = summarised || pane->toPlainText().contains(summary);
    QVERIFY2(content.contains("dd010402000c00"), "the frame after the burst never arrived");
    logged = content.count("dd010402000700");
    QVERIFY2(gui.worstGapMs() < 1000, qPrintable(QString::number(gui.worstGapMs())));
    QCOMPARE(dead.count(), 0);
    QVERIFY2(logged >= Burst, qPrintable(QString::number(logged)));

    // The pane keeps its cap and says what it left out. A slow build may hand the burst's ERROR
    // lines over slower than the pane shows them; it leaves lines out only when they come faster.
    QVERIFY(pane->document()->blockCount() <= 2000);
    const qint64 mostShown = TextBrowserLogger::MaxLinesPerSecond * (burstMs / 1000 + 2);
    if (Burst > mostShown)
        QVERIFY(summarised);
}

void TestHostile::deadBoxShowsDuringFlood()
{
    openDongle();
    m_dongle->setSilent(true);
    m_widget->heartBeat()->setInterval(100);
    m_widget->heartBeat()->setDeadThreshold(1000);
    m_widget->heartBeat()->start();
    QSignalSpy dead(m_widget->heartBeat(), &CHeartBeat::dead);

    // The box comes from inside the flood; it must be there to be seen.
    ModalAnswerer answerer(20000);
    bool visible = false;
    QString title;
    answerer.answerWith([&](QWidget *box) {
        visible = box->isVisible();
        title = ModalAnswerer::describe(box).title;
        if (auto *ok = box->findChild<QAbstractButton *>(QStringLiteral("m_pbOk")))
            ok->click();
    });
    const QByteArray refused = FrameBuilder::uplink(0xBB, 0x01, 0x03, QByteArray(1, '\x07'));
    m_dongle->sendRaw(refused.repeated(20000));
    QVERIFY(answerer.waitUntilAnswered(20000));
    QVERIFY(answerer.failures().isEmpty());
    QCOMPARE(dead.count(), 1);
    QVERIFY(visible);
    QCOMPARE(title, QStringLiteral("HostileDongle: Firmware Error"));
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void TestHostile::noiseGivesBoundedLog()
{
    LinkRig rig(QStringLiteral("hostile-noise"));
    QVERIFY(rig.openAndSync());
    const QString file = rig.logs.logDir() + QStringLiteral("/UI_log.txt");
    rig.logs.flushLogFiles();
    const qint64 before = QFileInfo(file).size();
    const qint64 memoryBefore = residentBytes();

    QRandomGenerator random(20261210);
    QByteArray noise(1024 * 1024, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const QByteArray marker = FrameBuilder::status(0x01, 0x84);
    // Zeros longer than any frame end whatever frame the noise began.
    rig.dongle.sendRaw(noise + QByteArray(UplinkFramer::MaxPayloadLength + 6, '\0') + marker);
    QElapsedTimer clock;
    clock.start();
    bool delivered = false;
    while (!delivered && clock.elapsed() < 60000) {
        QTest::qWait(50);
        for (const auto &entry : rig.uplinks.entries())
            delivered = delivered || entry.frame == FrameBuilder::withoutChecksum(marker);
    }
    QVERIFY(delivered);
    rig.logs.flushLogFiles();
    const qint64 grown = QFileInfo(file).size() - before;
    // Every kind of bad byte is still told; a few per run, the rest counted.
    const QString content = QString::fromUtf8(readFile(file));
    QVERIFY(content.contains(QStringLiteral("Skipped ")));
    QVERIFY2(grown < 64 * 1024, qPrintable(QString::number(grown)));
    for (const QString &line : rig.recorder->texts()) {
        if (line.startsWith(QStringLiteral("Raw Data: ")))
            QVERIFY2(line.size() < 400, qPrintable(line.left(100)));
    }
    QVERIFY2(residentBytes() - memoryBefore < 32 * 1024 * 1024,
             qPrintable(QString::number(residentBytes() - memoryBefore)));
}

void TestHostile::fallingBehindDropsOldestAndSaysSo()
{
    LinkRig rig(QStringLiteral("hostile-behind"));
    QVERIFY(rig.openAndSync());
    rig.link.portThread()->setBacklogLimits(SerialPortThread::DefaultBacklogBytes, 300);
    rig.uplinks.clear();

    const QByteArray old = FrameBuilder::uplink(0xDD, 0x01, 0x02, QByteArray(1, '\x01'));
    const QByteArray fresh = FrameBuilder::uplink(0xDD, 0x01, 0x02, QByteArray(1, '\x02'));
    rig.dongle.sendRaw(old.repeated(100));
    // The window is stuck; the reader reads on.
    QThread::msleep(600);
    rig.dongle.sendRaw(fresh.repeated(5));
    QVERIFY(rig.uplinks.waitFor(5));
    QTest::qWait(200);
    QStringList seen = rig.uplinks.lines();
    QCOMPARE(seen.count(QStringLiteral("sig_rcvGapMsg dd010201000" "2")), 5);
    QCOMPARE(seen.count(QStringLiteral("sig_rcvGapMsg dd010201000" "1")), 0);
    const QStringList dropped = rig.recorder->texts().filter(QStringLiteral("dropped"));
    QCOMPARE(dropped, QStringList{QStringLiteral("The program fell behind the dongle and dropped 100 uplink frames and 0 "
                                                 "reader log lines, the oldest first.")});
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
