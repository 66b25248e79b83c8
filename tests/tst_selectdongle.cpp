#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cmsg.h"
#include "cselectdongledialog.h"
#include "logger.h"
#include "logmanager.h"
#include "modalanswerer.h"
#include "otherprogram.h"
#include "recordinglogger.h"
#include "framebuilder.h"
#include "serialport.h"
#include "simbehaviour_link.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"

namespace {

template <typename T>
T *childOf(QWidget *dialog, const char *name)
{
    T *found = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Simulated dongles listed as ports, a dongle tab's logging and its link.
struct Rig
{
    explicit Rig(int dongles = 1) : recorder(new RecordingLogger), link(&logs, nullptr, 20)
    {
        logs.addLogger(recorder);
        QStringList paths;
        for (int i = 0; i < dongles; ++i) {
            dongle.emplace_back(std::make_unique<SimulatedDongle>());
            installLinkBehaviour(*dongle.back());
            paths << dongle.back()->portPath();
        }
        qputenv("VANTORA_EXTRA_PORTS", paths.join(QLatin1Char(':')).toLocal8Bit());
    }
    ~Rig()
    {
        link.closePort();
        qunsetenv("VANTORA_EXTRA_PORTS");
    }

    QString path(int i = 0) const { return dongle.at(size_t(i))->portPath(); }
    bool logged(const QString &text, int level) const
    {
        for (const auto &line : recorder->lines()) {
            if (line.first == text && line.second == level)
                return true;
        }
        return false;
    }

    LogManager logs{QStringLiteral("select-test")};
    RecordingLogger *recorder;
    std::vector<std::unique_ptr<SimulatedDongle>> dongle;
    CMsg link;
};

// The machine's own serial ports are not the test's: another program, or another
// test's probe, may hold one and have it listed as in use. They leave the dialog
// as a removal notice would take them out.
void keepToListedPorts(CSelectDongleDialog &dialog)
{
    const QStringList listed = qEnvironmentVariable("VANTORA_EXTRA_PORTS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const QVector<QString> available = dialog.availablePorts();
    for (const QString &port : available) {
        if (!listed.contains(port))
            dialog.on_SerialPortRemoved(port);
    }
}

QTreeWidget *treeOf(CSelectDongleDialog &dialog)
{
    return childOf<QTreeWidget>(&dialog, "treeWidget_device");
}

QTreeWidgetItem *rootOf(CSelectDongleDialog &dialog)
{
    return treeOf(dialog)->topLevelItem(0);
}

// The probe starts by itself two seconds after the dialog was made.
bool waitForFirstRefresh(CSelectDongleDialog &dialog)
{
    if (!QTest::qWaitFor([&] { return dialog.isRefreshing(); }, 10000))
        return false;
    return QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000);
}

// Root opens any device whatever its mode. This takes away the rights that let
// it, from the calling thread and the threads it starts, while it lives.
class WithoutRootsOverride
{
public:
    WithoutRootsOverride()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_changed = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutRootsOverride()
    {
        if (m_changed)
            ::syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_changed = false;
};

QPushButton *connectButton(CSelectDongleDialog &dialog)
{
    return childOf<QPushButton>(&dialog, "PB_Connect");
}

} // namespace

class TestSelectDongle : public QObject
{
    Q_OBJECT

private slots:
    void initialState();
    void refreshListsProbedDongles();
    void probeAnswerWithMarkupShowsLiterally();
    void donglesAreListedInTextOrderOfTheirPorts();
    void rootSelectionShowsDefaultsAndBlocksConnect();
    void noDongleLeavesOnlyTheRoot();
    void connectAndDisconnect();
    void connectWithUnusualProductName();
    void connectRefusedWhileLinkOpen();
    void connectFailureKeepsDialog();
    void refreshWhileOpenChangesNothing();
    void ownerConnectAndDisconnect();
    void arrivalTwiceLogsRepeated();
    void removingOtherPortOnlyUpdatesLists();
    void removingOpenPortReportsAndAsksAgain();
    void removingOpenPortWhileShowingDoesNotNest();
    void portLeavingDuringProbeIsNotListed();
    void dongleLeftScanningIsFound();
    void portInUseIsListedAndRefused_data();
    void portInUseIsListedAndRefused();
    void portOfAnotherDongleOfThisProgramSaysSo();
    void portWithoutPermissionIsListed();
};

void TestSelectDongle::initialState()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QCOMPARE(dialog.m_lbTitle->text(), QStringLiteral("Select BLE Dongle Target"));
    QVERIFY(dialog.m_titleBar->isVisibleTo(&dialog));
    QTreeWidget *tree = treeOf(dialog);
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("device"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(rootOf(dialog)->text(0), QStringLiteral("Supported Targets"));
    QCOMPARE(rootOf(dialog)->childCount(), 0);
    QVERIFY(dialog.availablePorts().contains(rig.path()));
    QVERIFY(childOf<QProgressBar>(&dialog, "progressBar")->isHidden());
    QCOMPARE(childOf<QProgressBar>(&dialog, "progressBar")->maximum(), 0);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Connect"));
    QVERIFY(!connectButton(dialog)->isEnabled());
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), QStringLiteral("Dongle Name"));
    QVERIFY(dialog.m_content->minimumSize().width() >= 640);
    QVERIFY(!dialog.isRefreshing());
}

void TestSelectDongle::refreshListsProbedDongles()
{
    Rig rig(2);
    LinkBehaviour::setProbeAnswer(*rig.dongle[1],
                                  {"Second", "Maker", "2.0", "B", "<b>rich</b> text", "7.1"});
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    dialog.show();

    QVERIFY(QTest::qWaitFor([&] { return dialog.isRefreshing(); }, 10000));
    // While probing, nothing can be picked.
    QVERIFY(childOf<QProgressBar>(&dialog, "progressBar")->isVisible());
    QVERIFY(!childOf<QPushButton>(&dialog, "pb_Refresh")->isEnabled());
    QVERIFY(!connectButton(dialog)->isEnabled());
    QVERIFY(!treeOf(dialog)->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
    QVERIFY(childOf<QProgressBar>(&dialog, "progressBar")->isHidden());
    QVERIFY(childOf<QPushButton>(&dialog, "pb_Refresh")->isEnabled());
    QVERIFY(treeOf(dialog)->isEnabled());

    // Children in port-name order, "Name(port)", the port kept in the item.
    QTreeWidgetItem *root = rootOf(dialog);
    QCOMPARE(root->childCount(), 2);
    QStringList ports{rig.path(0), rig.path(1)};
    std::sort(ports.begin(), ports.end());
    for (int i = 0; i < 2; ++i) {
        const QString port = ports.at(i);
        const QString product = port == rig.path(1) ? QStringLiteral("Second") : QStringLiteral("Simulated Dongle");
        QCOMPARE(root->child(i)->text(0), product + "(" + port + ")");
        QCOMPARE(root->child(i)->data(0, CSelectDongleDialog::PortNameRole).toString(), port);
    }
    QVERIFY(dialog.portsWithoutDongle().isEmpty() || !dialog.portsWithoutDongle().contains(rig.path()));

    // The first child is current and its details show.
    QCOMPARE(treeOf(dialog)->currentItem(), root->child(0));
    QVERIFY(connectButton(dialog)->isEnabled());
    treeOf(dialog)->setCurrentItem(root->child(ports.indexOf(rig.path(1))));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), QStringLiteral("Second"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Manufacture")->text(), QStringLiteral("Maker"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Product")->text(), QStringLiteral("Second"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_FirmwareVer")->text(), QStringLiteral("2.0"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_HardwareVer")->text(), QStringLiteral("B"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_SDKVer")->text(), QStringLiteral("7.1"));
    QCOMPARE(childOf<QTextBrowser>(&dialog, "TB_Decs")->toPlainText(), QStringLiteral("<b>rich</b> text"));
}

void TestSelectDongle::probeAnswerWithMarkupShowsLiterally()
{
    // A device that is not ours answers the probe with markup naming a FIFO:
    // opening it would block the window for ever.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("trap"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString image = QStringLiteral("<img src=\"%1\">").arg(fifo);
    const QStringList texts{image + "name", "<b>" + image + "</b>", "<i>1.0</i>", image, "<p>" + image + "</p>",
                            "<a href=\"x\">7</a>"};
    // Let a reader stuck in opening the FIFO go, and remember that it came.
    std::atomic<bool> opened {false};
    std::atomic<bool> done {false};
    std::thread watcher([&] {
        while (!done.load()) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                opened = true;
                ::close(fd);
            }
            QThread::msleep(5);
        }
    });

    Rig rig(1);
    LinkBehaviour::setProbeAnswer(*rig.dongle[0], texts);
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.isRefreshing(); }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    treeOf(dialog)->setCurrentItem(rootOf(dialog)->child(0));
    dialog.grab();  // painted, as the user would see it
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), texts.at(0));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Manufacture")->text(), texts.at(1));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_FirmwareVer")->text(), texts.at(2));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_HardwareVer")->text(), texts.at(3));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_SDKVer")->text(), texts.at(5));
    QCOMPARE(childOf<QTextBrowser>(&dialog, "TB_Decs")->toPlainText(), texts.at(4));
    for (const char *name : {"LB_Dongle_name", "LB_Manufacture", "LB_Product", "LB_FirmwareVer", "LB_HardwareVer",
                             "LB_SDKVer"})
        QCOMPARE(childOf<QLabel>(&dialog, name)->textFormat(), Qt::PlainText);
    QCOMPARE(rootOf(dialog)->child(0)->text(0), texts.at(0) + "(" + rig.path() + ")");

    // Another refresh: the dialog still answers.
    QElapsedTimer clock;
    clock.start();
    dialog.on_pb_Refresh_clicked();
    QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
    QVERIFY(clock.elapsed() < 5000);
    done = true;
    watcher.join();
    QVERIFY(!opened.load());
}

void TestSelectDongle::donglesAreListedInTextOrderOfTheirPorts()
{
    // Ports named like COM3 and COM12: text order puts COM12 first.
    Rig rig(2);
    QTemporaryDir dir;
    const QString com3 = dir.filePath(QStringLiteral("COM3"));
    const QString com12 = dir.filePath(QStringLiteral("COM12"));
    QVERIFY(QFile::link(rig.path(0), com3));
    QVERIFY(QFile::link(rig.path(1), com12));
    qputenv("VANTORA_EXTRA_PORTS", (com3 + QLatin1Char(':') + com12).toLocal8Bit());

    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QVERIFY(dialog.availablePorts().contains(com3));
    QVERIFY(dialog.availablePorts().contains(com12));
    QVERIFY(waitForFirstRefresh(dialog));
    QTreeWidgetItem *root = rootOf(dialog);
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Simulated Dongle(") + com12 + QLatin1Char(')'));
    QCOMPARE(root->child(1)->text(0), QStringLiteral("Simulated Dongle(") + com3 + QLatin1Char(')'));

    // The second item opens the port it names.
    treeOf(dialog)->setCurrentItem(root->child(1));
    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    QCOMPARE(rig.link.getPortName(), com3);
}

void TestSelectDongle::rootSelectionShowsDefaultsAndBlocksConnect()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QVERIFY(waitForFirstRefresh(dialog));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    QVERIFY(connectButton(dialog)->isEnabled());

    treeOf(dialog)->setCurrentItem(rootOf(dialog));
    QVERIFY(!connectButton(dialog)->isEnabled());
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), QStringLiteral("Unknown"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Manufacture")->text(), QStringLiteral("Unknown"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_SDKVer")->text(), QStringLiteral("Unknown"));
    QVERIFY(childOf<QTextBrowser>(&dialog, "TB_Decs")->toPlainText().isEmpty());

    // Clicking anyway (the button is disabled, so call the slot) opens nothing.
    dialog.on_PB_Connect_clicked();
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.logged(QStringLiteral("Get selected serial port name failed."), LogLevel::Error));
}

void TestSelectDongle::noDongleLeavesOnlyTheRoot()
{
    Rig rig;
    LinkBehaviour::setProbeAnswer(*rig.dongle[0], {});
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QVERIFY(waitForFirstRefresh(dialog));
    QCOMPARE(rootOf(dialog)->childCount(), 0);
    QVERIFY(dialog.portsWithoutDongle().contains(rig.path()));
    QVERIFY(dialog.foundDongles().isEmpty());
    treeOf(dialog)->setCurrentItem(rootOf(dialog));
    QVERIFY(!connectButton(dialog)->isEnabled());
}

void TestSelectDongle::connectAndDisconnect()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    dialog.show();
    QVERIFY(waitForFirstRefresh(dialog));

    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    QCOMPARE(rig.link.getPortName(), rig.path());
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toBool(), true);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Disconnect"));
    QVERIFY(!treeOf(dialog)->isEnabled());
    QVERIFY(!childOf<QPushButton>(&dialog, "pb_Refresh")->isEnabled());
    QVERIFY(!dialog.isVisible());

    // The link really talks to the dongle.
    QVERIFY(rig.link.sendMsg(QByteArray::fromHex("aa01840000")) == 0);
    QVERIFY(rig.dongle[0]->waitForFrames(2)); // the probe, then this

    dialog.show();
    QVERIFY(connectButton(dialog)->isEnabled());
    connectButton(dialog)->click();
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(1).at(0).toBool(), false);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Connect"));
    QVERIFY(treeOf(dialog)->isEnabled());
    QVERIFY(childOf<QPushButton>(&dialog, "pb_Refresh")->isEnabled());
    QVERIFY(!dialog.isVisible());
}

void TestSelectDongle::connectWithUnusualProductName()
{
    // An empty product makes the item text "(port)"; the port still comes from the item.
    Rig rig;
    LinkBehaviour::setProbeAnswer(*rig.dongle[0], {"", "", "", "", "", ""});
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    QVERIFY(waitForFirstRefresh(dialog));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    QCOMPARE(rootOf(dialog)->child(0)->text(0), "(" + rig.path() + ")");
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), QString());

    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    QCOMPARE(rig.link.getPortName(), rig.path());
    QCOMPARE(status.count(), 1);
}

void TestSelectDongle::connectRefusedWhileLinkOpen()
{
    Rig rig(2);
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    dialog.show();
    QVERIFY(waitForFirstRefresh(dialog));
    QCOMPARE(rig.link.openPort(rig.path(1)), 0);

    connectButton(dialog)->click();
    QVERIFY(rig.logged(QStringLiteral("Another serial port has been connected."), LogLevel::Error));
    QCOMPARE(rig.link.getPortName(), rig.path(1));
    QCOMPARE(status.count(), 0);
    QVERIFY(dialog.isVisible());
}

void TestSelectDongle::connectFailureKeepsDialog()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    dialog.show();
    QVERIFY(waitForFirstRefresh(dialog));
    rig.dongle[0].reset(); // unplugged after the probe, before the click

    connectButton(dialog)->click();
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.logged(QStringLiteral("open port failed."), LogLevel::Error));
    QCOMPARE(status.count(), 0);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Connect"));
    QVERIFY(dialog.isVisible());
}

void TestSelectDongle::refreshWhileOpenChangesNothing()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QVERIFY(waitForFirstRefresh(dialog));
    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    const QString before = rootOf(dialog)->child(0)->text(0);

    dialog.on_pb_Refresh_clicked();
    QVERIFY(!dialog.isRefreshing());
    QVERIFY(rig.logged(QStringLiteral("CSelectDongleDialog::on_pb_Refresh_pressed: the serial port has been opened."),
                       LogLevel::Debug));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    QCOMPARE(rootOf(dialog)->child(0)->text(0), before);
    QCOMPARE(dialog.foundDongles().size(), 1);
}

void TestSelectDongle::ownerConnectAndDisconnect()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);

    dialog.connectPort(rig.path());
    QVERIFY(rig.link.isOpen());
    QCOMPARE(status.count(), 1);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Disconnect"));
    // Disconnecting needs no dongle item, even with the root current.
    QVERIFY(connectButton(dialog)->isEnabled());
    QVERIFY(!dialog.isVisible());

    dialog.disconnectPort(QStringLiteral("ignored"));
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(1).at(0).toBool(), false);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Connect"));

    dialog.connectPort(QStringLiteral("/nonexistent/port"));
    QVERIFY(rig.logged(QStringLiteral("open port failed."), LogLevel::Error));
    QCOMPARE(status.count(), 2);
}

void TestSelectDongle::arrivalTwiceLogsRepeated()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    const QString repeated = QStringLiteral("CSelectDongleDialog::on_SerialPortArrived, port is repeated.");
    dialog.on_SerialPortArrived(QStringLiteral("ttyNEW0"));
    QVERIFY(dialog.availablePorts().contains(QStringLiteral("ttyNEW0")));
    QVERIFY(dialog.portsWithoutDongle().contains(QStringLiteral("ttyNEW0")));
    QCOMPARE(rig.recorder->count(repeated), 0);
    dialog.on_SerialPortArrived(QStringLiteral("ttyNEW0"));
    QCOMPARE(rig.recorder->count(repeated), 1);
    QVERIFY(rig.logged(repeated, LogLevel::Debug));
    QCOMPARE(dialog.availablePorts().count(QStringLiteral("ttyNEW0")), 1);
    // The already listed dongle port counts as known too.
    dialog.on_SerialPortArrived(rig.path());
    QCOMPARE(rig.recorder->count(repeated), 2);
}

void TestSelectDongle::removingOtherPortOnlyUpdatesLists()
{
    Rig rig(2);
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    QVERIFY(waitForFirstRefresh(dialog));
    QCOMPARE(rootOf(dialog)->childCount(), 2);
    dialog.connectPort(rig.path(0));
    QCOMPARE(status.count(), 1);

    ModalAnswerer answerer(500);
    answerer.click("m_pbOk");
    dialog.on_SerialPortRemoved(rig.path(1));
    QVERIFY(answerer.seen().isEmpty());
    QVERIFY(rig.link.isOpen());
    QCOMPARE(status.count(), 1);
    QVERIFY(!dialog.availablePorts().contains(rig.path(1)));
    QVERIFY(!dialog.foundDongles().contains(rig.path(1)));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    QCOMPARE(rootOf(dialog)->child(0)->data(0, CSelectDongleDialog::PortNameRole).toString(), rig.path(0));
}

void TestSelectDongle::removingOpenPortReportsAndAsksAgain()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    QVERIFY(waitForFirstRefresh(dialog));
    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    QVERIFY(!dialog.isVisible());

    const QString path = rig.path();
    rig.dongle[0]->vanish();
    ModalAnswerer answerer;
    answerer.click("m_pbOk");   // the error box
    answerer.click("PB_Close"); // then the dialog itself, run modally
    dialog.on_SerialPortRemoved(path);

    QVERIFY2(answerer.failures().isEmpty(), qPrintable(answerer.failures().join("; ")));
    QVERIFY(answerer.allAnswered());
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen().at(0).title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().at(0).text,
             QStringLiteral("The dongle hardware connection has been cut,\r\nPlease check it."));
    QCOMPARE(answerer.seen().at(1).className, QStringLiteral("CSelectDongleDialog"));

    QVERIFY(!rig.link.isOpen());
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(1).at(0).toBool(), false);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Connect"));
    QCOMPARE(rootOf(dialog)->childCount(), 0);
    QVERIFY(!dialog.availablePorts().contains(path));
}

void TestSelectDongle::removingOpenPortWhileShowingDoesNotNest()
{
    Rig rig;
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    QVERIFY(waitForFirstRefresh(dialog));
    dialog.connectPort(rig.path());
    dialog.show();

    // Should the dialog run a nested modal loop, this ends it and the checks below fail.
    QTimer::singleShot(3000, &dialog, &QDialog::reject);
    ModalAnswerer answerer;
    answerer.click("m_pbOk");
    dialog.on_SerialPortRemoved(rig.path());

    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QVERIFY(dialog.isVisible());
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(status.count(), 2);
    QCOMPARE(connectButton(dialog)->text(), QStringLiteral("Connect"));
}

void TestSelectDongle::portLeavingDuringProbeIsNotListed()
{
    Rig rig(2);
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    dialog.on_pb_Refresh_clicked();
    QVERIFY(dialog.isRefreshing());
    dialog.on_SerialPortRemoved(rig.path(1));
    QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    QCOMPARE(rootOf(dialog)->child(0)->data(0, CSelectDongleDialog::PortNameRole).toString(), rig.path(0));
    QVERIFY(!dialog.foundDongles().contains(rig.path(1)));
    QVERIFY(!dialog.portsWithoutDongle().contains(rig.path(1)));

    // A second refresh while one runs keeps the running one and logs the inconsistency.
    dialog.on_pb_Refresh_clicked();
    QVERIFY(dialog.isRefreshing());
    dialog.on_pb_Refresh_clicked();
    bool internal = false;
    for (const QString &text : rig.recorder->texts())
        internal = internal || (text.startsWith(QLatin1String("FILE:cselectdongledlg LINE:"))
                                && text.endsWith(QLatin1String(" FUNCTION:CSelectDongleDialog::on_pb_Refresh_clicked Internal error.")));
    QVERIFY(internal);
    QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
    QCOMPARE(rootOf(dialog)->childCount(), 1);
}

// A session killed while scanning left the dongle streaming reports; started
// again, the program must still find it by its name and connect to it.
void TestSelectDongle::dongleLeftScanningIsFound()
{
    Rig rig;
    SimulatedDongle &dongle = *rig.dongle[0];
    ScanBehaviour *scan = installScanBehaviour(dongle);
    // An RSSI of -69 is 0xBB: the reports hold 0xBB 00 00, as a reply starts.
    SimAdvertiser advertiser;
    advertiser.rssi = -69;
    advertiser.advType = 0;
    advertiser.classification = 0;
    advertiser.name = "Beacon";
    scan->setAdvertisers({advertiser});
    scan->setReportsPerSecond(800);
    dongle.setLineRate(true);
    dongle.setUnreadIsLost(true);
    // Busy streaming, it answers a little after its reports start coming.
    dongle.setResponseDelay(30);
    {
        Platform::SerialPort killedSession;
        QCOMPARE(killedSession.open(rig.path()), Platform::SerialPort::Opened);
        QVERIFY(killedSession.write(FrameBuilder::downlink(0x01, 0x3D)));
        QVERIFY(dongle.waitForFrames(1));
    }
    // Until the program starts again, what it streams goes nowhere.
    QVERIFY(QTest::qWaitFor([&] { return dongle.lostBytes() > 0; }, 5000));

    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    dialog.show();
    QVERIFY(waitForFirstRefresh(dialog));
    QTreeWidgetItem *root = rootOf(dialog);
    QCOMPARE(root->childCount(), 1);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Simulated Dongle(") + rig.path() + QLatin1Char(')'));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_FirmwareVer")->text(), QStringLiteral("1.0.0"));

    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    QCOMPARE(rig.link.getPortName(), rig.path());
}

void TestSelectDongle::portInUseIsListedAndRefused_data()
{
    QTest::addColumn<int>("hold");
    QTest::newRow("exclusive mode") << int(OtherProgram::Exclusive);
    QTest::newRow("QSerialPort's lock file") << int(OtherProgram::LockFileOnly);
}

void TestSelectDongle::portInUseIsListedAndRefused()
{
    QFETCH(int, hold);
    Rig rig(2);
    auto other = std::make_unique<OtherProgram>(OtherProgram::Hold(hold), rig.path(1));
    QVERIFY2(other->isHolding(), qPrintable(other->failure()));
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QSignalSpy status(&dialog, &CSelectDongleDialog::sig_connectionStatusChanged);
    dialog.show();
    QVERIFY(waitForFirstRefresh(dialog));

    // The dongle first, then the port in use, greyed, its port kept in the item.
    QTreeWidgetItem *root = rootOf(dialog);
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), "Simulated Dongle(" + rig.path(0) + ")");
    QTreeWidgetItem *inUse = root->child(1);
    QCOMPARE(inUse->text(0), "In use(" + rig.path(1) + ")");
    QCOMPARE(inUse->data(0, CSelectDongleDialog::PortNameRole).toString(), rig.path(1));
    QVERIFY(inUse->foreground(0).color() != root->child(0)->foreground(0).color());
    QCOMPARE(rig.dongle[1]->receivedCount(), 0);
    QVERIFY(dialog.unavailablePorts().contains(rig.path(1)));
    QVERIFY(!dialog.foundDongles().contains(rig.path(1)));

    // Its details say so; it cannot be connected.
    const QString line = QStringLiteral("%1 is in use by another program: portholder (process %2).")
                             .arg(rig.path(1))
                             .arg(other->pid());
    QVERIFY(connectButton(dialog)->isEnabled());
    treeOf(dialog)->setCurrentItem(inUse);
    QVERIFY(!connectButton(dialog)->isEnabled());
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), rig.path(1));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->textFormat(), Qt::PlainText);
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Product")->text(), QStringLiteral("Unknown"));
    QCOMPARE(childOf<QLabel>(&dialog, "LB_FirmwareVer")->text(), QStringLiteral("Unknown"));
    QCOMPARE(childOf<QTextBrowser>(&dialog, "TB_Decs")->toPlainText(),
             line + "\nIt cannot be connected until that program lets it go; then press Refresh.");
    QCOMPARE(inUse->toolTip(0).contains(rig.path(1).toHtmlEscaped()), true);
    dialog.on_PB_Connect_clicked(); // the button is disabled; the slot refuses as well
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(status.count(), 0);
    QVERIFY(dialog.isVisible());
    QVERIFY(rig.logged(QStringLiteral("open port failed."), LogLevel::Error));
    bool told = false;
    for (const QString &text : rig.recorder->texts())
        told = told || text.startsWith(line + " (");
    QVERIFY(told);

    // Back on the dongle, the button comes back.
    treeOf(dialog)->setCurrentItem(root->child(0));
    QVERIFY(connectButton(dialog)->isEnabled());
    QCOMPARE(childOf<QLabel>(&dialog, "LB_Dongle_name")->text(), QStringLiteral("Simulated Dongle"));

    // Let go: the next refresh asks it like any port and it can be connected.
    QVERIFY(other->release());
    other.reset();
    dialog.on_pb_Refresh_clicked();
    QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
    QVERIFY(dialog.unavailablePorts().isEmpty());
    QCOMPARE(root->childCount(), 2);
    QTreeWidgetItem *second = root->child(0)->data(0, CSelectDongleDialog::PortNameRole) == rig.path(1)
                                  ? root->child(0)
                                  : root->child(1);
    QCOMPARE(second->text(0), "Simulated Dongle(" + rig.path(1) + ")");
    treeOf(dialog)->setCurrentItem(second);
    QVERIFY(connectButton(dialog)->isEnabled());
    connectButton(dialog)->click();
    QVERIFY(rig.link.isOpen());
    QCOMPARE(rig.link.getPortName(), rig.path(1));
    QCOMPARE(status.count(), 1);
}

void TestSelectDongle::portOfAnotherDongleOfThisProgramSaysSo()
{
    Rig rig(2);
    LogManager otherLogs(QStringLiteral("select-test-other"));
    CMsg otherTab(&otherLogs, nullptr, 20);
    QCOMPARE(otherTab.openPort(rig.path(1)), 0);
    CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
    QVERIFY(waitForFirstRefresh(dialog));
    QCOMPARE(rootOf(dialog)->childCount(), 2);
    QTreeWidgetItem *inUse = rootOf(dialog)->child(1);
    QCOMPARE(inUse->text(0), "In use(" + rig.path(1) + ")");
    treeOf(dialog)->setCurrentItem(inUse);
    QVERIFY(!connectButton(dialog)->isEnabled());
    QCOMPARE(childOf<QTextBrowser>(&dialog, "TB_Decs")->toPlainText(),
             rig.path(1) + " is in use by another dongle of this program.\n"
                           "Disconnect it in that dongle's tab, then press Refresh.");

    // A port in use that leaves the machine leaves the list.
    dialog.on_SerialPortRemoved(rig.path(1));
    QVERIFY(dialog.unavailablePorts().isEmpty());
    QCOMPARE(rootOf(dialog)->childCount(), 1);
    otherTab.closePort();
}

void TestSelectDongle::portWithoutPermissionIsListed()
{
    Rig rig;
    const QByteArray path = QFile::encodeName(rig.path());
    QCOMPARE(::chmod(path.constData(), 0), 0);
    {
        WithoutRootsOverride asUser;
        CSelectDongleDialog dialog(&rig.link, &rig.logs);
    keepToListedPorts(dialog);
        QVERIFY(waitForFirstRefresh(dialog));
        QCOMPARE(rootOf(dialog)->childCount(), 1);
        QCOMPARE(rootOf(dialog)->child(0)->text(0), "No permission(" + rig.path() + ")");
        QCOMPARE(dialog.unavailablePorts().value(rig.path()).refusal, Platform::SerialPort::NoPermission);
        QCOMPARE(treeOf(dialog)->currentItem(), rootOf(dialog)->child(0));
        QVERIFY(!connectButton(dialog)->isEnabled());
        const QString details = childOf<QTextBrowser>(&dialog, "TB_Decs")->toPlainText();
        QVERIFY2(details.startsWith(rig.path() + " cannot be opened: no permission.\nThis user may not open it"),
                 qPrintable(details));
        QVERIFY2(details.endsWith("press Refresh once access is granted."), qPrintable(details));

        // Given access, the next refresh asks it.
        QCOMPARE(::chmod(path.constData(), 0600), 0);
        dialog.on_pb_Refresh_clicked();
        QVERIFY(QTest::qWaitFor([&] { return !dialog.isRefreshing(); }, 10000));
        QCOMPARE(rootOf(dialog)->childCount(), 1);
        QCOMPARE(rootOf(dialog)->child(0)->text(0), "Simulated Dongle(" + rig.path() + ")");
        QVERIFY(connectButton(dialog)->isEnabled());
    }
}

QTEST_MAIN(TestSelectDongle)
#include "tst_selectdongle.moc"
