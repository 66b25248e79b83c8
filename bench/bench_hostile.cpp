// A hostile dongle at several times the line rate: random bytes, then error
// statuses, then advertising reports of ever new addresses, written straight
// into the pseudo-terminal of a scanning page while its heartbeat runs; last,
// frames of every uplink ID with random field values at a whole dongle tab
// with every page open, whose user answers one question a second.
// Printed per phase: how late a 10 ms timer on the GUI thread fired (the
// window's answer time), resident memory, and whether the dongle stayed alive.
//
//   bench_hostile [seconds per phase=20] [times the line rate=4] [only the phase whose name has this word]
#include "benchprobe.h"
#include "advertisingpages.h"
#include "ccfgfileparse.h"
#include "cconnectionwidget.h"
#include "cheartbeat.h"
#include "cmsg.h"
#include "connectionpages.h"
#include "devicestablemodel.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "isochronouspages.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "scanpagerig.h"
#include "simbehaviour_lists.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"
#include "testmodepages.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double LineBytesPerSecond = 46080.0;

// Writes what next() makes, paced to bytesPerSecond, for the duration. Each
// piece is written whole, so the simulated dongle's own answers fall between
// frames.
void writePaced(int fd, double bytesPerSecond, int seconds, const std::function<QByteArray()> &next,
                std::atomic<qint64> *written)
{
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    QByteArray pending;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        const qint64 due = qint64(bytesPerSecond * double(clock.nsecsElapsed()) / 1e9);
        if (sent >= due && pending.isEmpty()) {
            ::usleep(1000);
            continue;
        }
        while (pending.size() < 4096 && sent + pending.size() < due)
            pending.append(next());
        while (!pending.isEmpty()) {
            const long n = BenchProbe::writeToMaster(fd, pending.constData(), pending.size());
            if (n < 0)
                return;
            pending.remove(0, int(n));
            sent += n;
            if (clock.elapsed() >= qint64(seconds) * 1000)
                break;
        }
        *written = sent;
    }
}

// Frames of every uplink ID of the catalogue at their full length with random
// contents; a connection index names one of the two open connections.
class EveryIdFrames
{
public:
    EveryIdFrames()
    {
        const CCfgFileParse *catalogue = CCfgFileParse::instance();
        for (auto it = catalogue->m_uplinkIdToFieldsMap.cbegin(); it != catalogue->m_uplinkIdToFieldsMap.cend(); ++it) {
            Layout layout;
            const QStringList parts = it.key().split(QLatin1Char('@'));
            for (const QString &part : parts)
                layout.header.append(char(part.toUInt(nullptr, 16)));
            for (const CmdFieldInfo &field : it.value()) {
                const int end = int(field.index + field.length) - (CMsg::HEADER_LENTH - 1);
                layout.payload = qMax(layout.payload, end);
                if (field.key == QLatin1String("condix") && field.length == 1)
                    layout.condix << int(field.index) - (CMsg::HEADER_LENTH - 1);
            }
            m_layouts << layout;
        }
    }
    int ids() const { return m_layouts.size(); }

    QByteArray next()
    {
        const Layout &layout = m_layouts.at(m_next++ % m_layouts.size());
        QByteArray payload(qMax(0, layout.payload), Qt::Uninitialized);
        for (char &byte : payload)
            byte = char(m_random.bounded(256));
        for (int at : layout.condix) {
            if (at >= 0 && at < payload.size())
                payload[at] = char(m_random.bounded(2));
        }
        QByteArray frame = layout.header;
        frame.append(char(payload.size() & 0xFF));
        frame.append(char((payload.size() >> 8) & 0xFF));
        return FrameBuilder::withChecksum(frame + payload);
    }

private:
    struct Layout
    {
        QByteArray header;
        int payload = 0;
        QVector<int> condix;
    };
    QVector<Layout> m_layouts;
    int m_next = 0;
    QRandomGenerator m_random {20261210};
};

// A dongle tab with every page there is, each opened the way the program opens it.
bool openEveryPage(DongleTabRig &tab)
{
    installListsBehaviour(*tab.dongle);
    if (!tab.start())
        return false;
    // The rig's test recorder keeps every line; a program has no such logger.
    tab.log = nullptr;
    tab.widget->logManager()->removeLogger(QStringLiteral("recorder"));
    ListsBehaviour *lists = ListsBehaviour::of(*tab.dongle);
    lists->peerConnects(FrameBuilder::fromHex("C1 C2 C3 C4 C5 C6"), 0);
    lists->peerConnects(FrameBuilder::fromHex("A1 A2 A3 A4 A5 A6"), 0);
    QElapsedTimer clock;
    clock.start();
    while (tab.tabs()->count() < 4 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    tab.widget->connectionWidget()->on_buttonCIGCIS_clicked();
    tab.widget->on_masterBIGSucceed(3);
    tab.widget->on_slaveBIGSucceed(1);
    tab.widget->on_toolButton_lcp_clicked();
    tab.widget->on_toolButton_idt_clicked();
    // The program's own pace and heartbeat.
    tab.widget->link()->setSendInterval(CMsg::DefaultSendIntervalMs);
    tab.widget->heartBeat()->setInterval(CHeartBeat::DefaultIntervalMs);
    tab.widget->heartBeat()->start();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    const double times = argc > 2 ? QByteArray(argv[2]).toDouble() : 4.0;
    const QByteArray only = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    const double rate = LineBytesPerSecond * times;

    ScanPageRig rig;
    // The rig's test recorder keeps every line; a program has no such logger.
    rig.logs.removeLogger(QStringLiteral("recorder"));
    if (!rig.open()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    rig.page->resize(1200, 700);
    rig.page->show();
    rig.widget<QToolButton>(QStringLiteral("buttonScan"))->click();
    if (!ScanPageRig::waitUntil([&] { return rig.page->isScanning(); })) {
        std::fprintf(stderr, "the scan did not start\n");
        return 1;
    }
    // Nor does it keep every uplink, as the rig's recorder does.
    QObject::disconnect(&rig.link, nullptr, &rig.uplinks, nullptr);
    CHeartBeat heartBeat(&rig.link, &rig.logs);
    QSignalSpy dead(&heartBeat, &CHeartBeat::dead);
    heartBeat.start();

    std::printf("Hostile dongle at %.1fx the line rate (%.0f B/s, line 46,080 B/s), %d s per phase\n", times, rate,
                seconds);

    QRandomGenerator random(20261210);
    const QByteArray refused = FrameBuilder::uplink(0xBB, 0x01, 0x03, QByteArray(1, '\x07'));
    SimAdvertiser device = ScanBehaviour::sampleAdvertisers(1).first();
    quint32 address = 0;

    struct Phase
    {
        const char *name;
        std::function<QByteArray()> next;
    };
    const Phase phases[] = {
        {"random bytes",
         [&random] {
             QByteArray bytes(512, Qt::Uninitialized);
             random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
             return bytes;
         }},
        {"error statuses", [&refused] { return refused; }},
        {"unique addresses",
         [&device, &address] {
             ++address;
             for (int i = 0; i < 4; ++i)
                 device.addr[i] = char((address >> (8 * i)) & 0xFF);
             return FrameBuilder::withChecksum(
                 ScanBehaviour::reportFrame(device, device.classification, ScanBehaviour::advertisingData(device)));
         }},
    };

    bool allWell = true;
    long worstMemoryKiB = 0;
    double worstLateness = 0;
    for (const Phase &phase : phases) {
        if (!QByteArray(phase.name).contains(only))
            continue;
        BenchProbe::GuiLateness probe;
        std::atomic<qint64> written {0};
        const long memoryBefore = BenchProbe::residentKiB();
        long peak = memoryBefore;
        probe.start();
        std::thread writer(writePaced, rig.dongle.masterFd(), rate, seconds, phase.next, &written);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < qint64(seconds) * 1000 + 500) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            peak = qMax(peak, BenchProbe::residentKiB());
        }
        writer.join();
        probe.stop();
        const double worst = probe.samples().empty()
            ? 0
            : *std::max_element(probe.samples().begin(), probe.samples().end());
        std::printf("\n== %s: %lld bytes written (%.2fx the line rate)\n", phase.name, qlonglong(written.load()),
                    double(written.load()) / seconds / LineBytesPerSecond);
        BenchProbe::printLateness(probe);
        std::printf("resident memory: %ld MiB before, %ld MiB at most\n", memoryBefore / 1024, peak / 1024);
        std::printf("devices in the table: %d\n", rig.page->devicesModel()->rowCount());
        worstMemoryKiB = qMax(worstMemoryKiB, peak);
        worstLateness = qMax(worstLateness, worst);
    }
    // Every page open, every uplink ID with hostile field values.
    registerConnectionPages();
    registerAdvertisingPages();
    registerIsochronousPages();
    registerTestModePages();
    DongleTabRig tab(QStringLiteral("HostileTab"));
    tab.widget->resize(1400, 900);
    tab.widget->show();
    if (!openEveryPage(tab)) {
        std::fprintf(stderr, "the dongle tab did not start\n");
        return 1;
    }
    QSignalSpy tabDead(tab.widget->heartBeat(), &CHeartBeat::dead);
    {
        EveryIdFrames frames;
        const int pages = tab.tabs()->count();
        // A user who answers the question on top once a second.
        QTimer user;
        int answered = 0;
        QObject::connect(&user, &QTimer::timeout, [&answered] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                dialog->reject();
                ++answered;
            }
        });
        user.start(1000);
        long peak = BenchProbe::residentKiB();
        const long memoryBefore = peak;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&peak] { peak = qMax(peak, BenchProbe::residentKiB()); });
        sampler.start(100);
        BenchProbe::GuiLateness probe;
        std::atomic<qint64> written {0};
        probe.start();
        std::thread writer(writePaced, tab.dongle->masterFd(), rate, seconds, [&frames] { return frames.next(); },
                           &written);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < qint64(seconds) * 1000 + 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        writer.join();
        probe.stop();
        sampler.stop();
        user.stop();
        const double worst = probe.samples().empty()
            ? 0
            : *std::max_element(probe.samples().begin(), probe.samples().end());
        int boxes = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            boxes += qobject_cast<QDialog *>(widget) && widget->isVisible() ? 1 : 0;
        std::printf("\n== every uplink ID at every page (%d tabs, %d IDs): %lld bytes written (%.2fx the line rate)\n",
                    pages, frames.ids(), qlonglong(written.load()),
                    double(written.load()) / seconds / LineBytesPerSecond);
        BenchProbe::printLateness(probe);
        std::printf("resident memory: %ld MiB before, %ld MiB at most (goal < 300)\n", memoryBefore / 1024, peak / 1024);
        std::printf("dialogs open at the end: %d; questions answered by the user: %d\n", boxes, answered);
        worstMemoryKiB = qMax(worstMemoryKiB, peak);
        worstLateness = qMax(worstLateness, worst);
        // Whatever is still open is answered before the tab goes.
        for (int i = 0; i < 50 && QApplication::activeModalWidget(); ++i) {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
            QCoreApplication::processEvents();
        }
    }

    // Let the heartbeat judge the quiet line after the attack.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    const bool alive = dead.isEmpty() && tabDead.isEmpty();
    allWell = worstLateness < 100 && worstMemoryKiB < 300 * 1024 && alive;
    std::printf("\nworst GUI lateness %.1f ms (goal < 100), most memory %ld MiB (goal < 300), dongle %s\n",
                worstLateness, worstMemoryKiB / 1024, alive ? "alive" : "declared dead");
    std::printf("%s\n", allWell ? "all goals met" : "GOALS MISSED");
    return allWell ? 0 : 2;
}
