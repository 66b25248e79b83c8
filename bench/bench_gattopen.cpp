// Many connection pages open on one dongle, as tabs of one window (only the
// current tab is shown), each with a discovered database. Measured: the GUI
// thread's CPU time per GATT frame of one connection (the discovery of the
// shown page's database, after the other pages learnt theirs; then value
// notifications and write results; read through the real link from the
// simulated dongle's side of the pseudo-terminal) with 1, 8 and 32 pages
// open, and the resident memory each page takes when it opens, before any data.
//
//   bench_gattopen [attributes per page=1000] [frames of each kind per run=20000] [page counts=1,8,32]
#include "benchprobe.h"
#include "cgattwidget.h"
#include "clayerwidget.h"
#include "cmsg.h"
#include "framebuilder.h"
#include "gatttablemodel.h"
#include "logmanager.h"
#include "simbehaviour_gatt.h"
#include "simulateddongle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTabWidget>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Writes all of the bytes into the master, however long the reader takes.
bool writeAll(int fd, const QByteArray &bytes)
{
    for (qint64 written = 0; written < bytes.size();) {
        const long n = BenchProbe::writeToMaster(fd, bytes.constData() + written, bytes.size() - written);
        if (n < 0)
            return false;
        written += n;
    }
    return true;
}

// The bytes go in from a thread of their own, as a dongle's would, while
// the GUI thread runs a real event loop (it sleeps when nothing is due)
// until `done` holds.
bool writeAndWait(int fd, const QByteArray &bytes, const std::function<bool()> &done, int ms = 60000)
{
    std::atomic<bool> written{false};
    std::thread writer([&] { written = writeAll(fd, bytes); });
    const bool arrived = BenchProbe::waitOnEventLoop(done, ms, 1);
    writer.join();
    return written && arrived;
}

bool waitUntil(const std::function<bool()> &done, int ms = 60000)
{
    return BenchProbe::waitOnEventLoop(done, ms, 1);
}

struct Setup
{
    LogManager logs{QStringLiteral("bench-gattopen")};
    SimulatedDongle dongle;
    CMsg link{&logs};
    QMap<QString, QVariant> settings;
    QString dongleName = QStringLiteral("Bench");
    QTabWidget window;
    std::vector<QPointer<CLayerWidget>> pages;
    qint64 gattFrames = 0;

    bool open()
    {
        dongle.setSilent(true);
        if (link.openPort(dongle.portPath()) != 0)
            return false;
        bool announced = false;
        QObject::connect(&link, &CMsg::sig_rcvCommonMsg, [&announced] { announced = true; });
        dongle.sendRaw(FrameBuilder::resetEvent());
        if (!waitUntil([&] { return announced; }, 5000))
            return false;
        window.resize(1400, 900);
        window.show();
        return true;
    }

    void openPage(quint8 condix)
    {
        auto *page = new CLayerWidget(&link, &logs, &settings, &dongleName, 0, 0x18, 0, 0x1F4,
                                      QStringLiteral("Peer Device"), QStringLiteral("66:55:44:33:22:11"), condix);
        window.addTab(page, QStringLiteral("Connection %1").arg(condix));
        pages.emplace_back(page);
    }

    // Counted after every page, so a frame counts once its pages had it.
    void countFrames()
    {
        QObject::connect(&link, &CMsg::sig_rcvGattMsg, [this] { ++gattFrames; });
    }

    // The frames of a discovery of the whole database; `count` gets their number.
    bool discover(quint8 condix, const GattDatabase &database, int *count = nullptr)
    {
        QByteArray bytes;
        const QList<QByteArray> frames = GattBehaviour::discoveryEvents(condix, database);
        for (const QByteArray &frame : frames)
            bytes += FrameBuilder::withChecksum(frame);
        if (count)
            *count = frames.size();
        const qint64 expected = gattFrames + frames.size();
        return writeAndWait(dongle.masterFd(), bytes, [&] { return gattFrames >= expected; });
    }
};

constexpr int DiscoveryRounds = 7;

// The GUI thread's CPU time per frame while connection 0 learns the database,
// until its tree and flat list are built and shown; -1 when it did not arrive.
// A function of its own, so an instruction count can be limited to it
// (valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*timedDiscovery*').
Q_NEVER_INLINE double timedDiscovery(Setup &setup, const GattDatabase &database)
{
    const double cpuBefore = BenchProbe::threadCpuSeconds();
    int frames = 0;
    if (!setup.discover(0, database, &frames))
        return -1;
    BenchProbe::runEventLoopFor(50);
    return (BenchProbe::threadCpuSeconds() - cpuBefore) * 1e6 / double(frames);
}

struct Figures
{
    double usPerDiscoveryFrame = 0;
    double usPerNotification = 0;
    double usPerWriteResult = 0;
    double kibPerPage = 0;
    bool complete = false;
};

// Each page learns the database; then `frames` notifications of connection 0
// arrive, unpaced, and the GUI thread's CPU time is divided among them.
Figures runPhase(int pageCount, const GattDatabase &database, int frames)
{
    std::printf("\n== %d connection page(s), %d attributes each\n", pageCount, database.size());
    Figures figures;
    Setup setup;
    if (!setup.open()) {
        std::fprintf(stderr, "the simulated dongle did not come up\n");
        return figures;
    }
    // A first page fills the caches every later one shares; it stays open
    // as connection 0, and the memory baseline is taken after it.
    setup.openPage(0);
    QCoreApplication::processEvents();
    BenchProbe::releaseFreeHeap();
    const long before = BenchProbe::residentKiB();
    for (int condix = 1; condix < pageCount; ++condix)
        setup.openPage(quint8(condix));
    QCoreApplication::processEvents();
    BenchProbe::releaseFreeHeap();
    if (pageCount > 1) {
        figures.kibPerPage = double(BenchProbe::residentKiB() - before) / double(pageCount - 1);
        std::printf("resident memory per page as it opens: %.0f KiB (%d pages)\n", figures.kibPerPage,
                    pageCount - 1);
    }
    setup.countFrames();

    // The other pages learn their databases first; then the shown page
    // (connection 0) learns its own, timed on the GUI thread: the median of
    // a few discoveries, the first of which fills caches every page shares.
    for (int condix = pageCount - 1; condix > 0; --condix) {
        if (!setup.discover(quint8(condix), database)) {
            std::fprintf(stderr, "connection %d: the database did not arrive\n", condix);
            return figures;
        }
    }
    std::vector<double> discoveryUs;
    for (int round = 0; round < DiscoveryRounds; ++round) {
        BenchProbe::runEventLoopFor(50);
        const double us = timedDiscovery(setup, database);
        if (us < 0) {
            std::fprintf(stderr, "connection 0: the database did not arrive\n");
            return figures;
        }
        discoveryUs.push_back(us);
    }
    figures.usPerDiscoveryFrame = BenchProbe::percentile(discoveryUs, 0.5);
    std::printf("GUI thread CPU per discovery frame of the shown page (%d frames), median of %d: %.2f us "
                "(%.2f to %.2f)\n",
                int(GattBehaviour::discoveryEvents(0, database).size()), DiscoveryRounds, figures.usPerDiscoveryFrame,
                *std::min_element(discoveryUs.begin(), discoveryUs.end()),
                *std::max_element(discoveryUs.begin(), discoveryUs.end()));
    QCoreApplication::processEvents();

    // Notifications of connection 0 for the handles of its characteristics'
    // values (the page shows each), then results of writes to them (the page
    // logs each).
    std::vector<quint16> handles;
    for (const GattDatabase::Attribute &attribute : database.attributes()) {
        if (attribute.kind == GattDatabase::Value)
            handles.push_back(attribute.handle);
    }
    if (handles.empty())
        handles.push_back(1);
    figures.complete = true;
    for (const bool notifications : {true, false}) {
        QByteArray bytes;
        for (int i = 0; i < frames; ++i) {
            const quint16 handle = handles[size_t(i) % handles.size()];
            const QByteArray frame = notifications
                ? GattBehaviour::notificationEvent(0, handle, QByteArray(4, char(i)), false)
                : FrameBuilder::fromHex("DD 03 1B 04 00 00 00") + QByteArray(1, char(handle & 0xFF))
                    + QByteArray(1, char(handle >> 8));
            bytes += FrameBuilder::withChecksum(frame);
        }
        const qint64 expected = setup.gattFrames + frames;
        const double cpuBefore = BenchProbe::threadCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        const bool arrived =
            writeAndWait(setup.dongle.masterFd(), bytes, [&] { return setup.gattFrames >= expected; });
        const double cpu = BenchProbe::threadCpuSeconds() - cpuBefore;
        const double usPerFrame = cpu * 1e6 / double(frames);
        (notifications ? figures.usPerNotification : figures.usPerWriteResult) = usPerFrame;
        std::printf("GUI thread CPU: %.3f s for %d %s of one connection in %lld ms: %.2f us per frame%s\n", cpu,
                    frames, notifications ? "notifications" : "write results", clock.elapsed(), usPerFrame,
                    arrived ? "" : " (INCOMPLETE)");
        figures.complete = figures.complete && arrived;
    }
    const int rows = setup.pages.front() ? setup.pages.front()->gattWidget()->tableModel()->rowCount() : 0;
    std::printf("connection 0 shows %d rows\n", rows);
    figures.complete = figures.complete && rows == database.size();

    setup.window.hide();
    for (const QPointer<CLayerWidget> &page : setup.pages)
        delete page.data();
    setup.link.closePort();
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int attributes = args.value(1, QStringLiteral("1000")).toInt();
    const int frames = args.value(2, QStringLiteral("20000")).toInt();
    const GattDatabase database = GattDatabase::generated(attributes);

    std::vector<Figures> runs;
    std::vector<int> pageCounts{1, 8, 32};
    if (args.size() > 3) {
        // Some page counts alone, for profiling.
        pageCounts.clear();
        for (const QString &pages : args.at(3).split(QLatin1Char(',')))
            pageCounts.push_back(pages.toInt());
    }
    for (const int pages : pageCounts)
        runs.push_back(runPhase(pages, database, frames));
    if (runs.size() != 3) {
        const bool complete = std::all_of(runs.begin(), runs.end(), [](const Figures &f) { return f.complete; });
        return complete ? 0 : 1;
    }

    std::printf("\n== Goals\n");
    std::printf("GUI cost of one discovery frame of the shown page with 1 / 8 / 32 pages open: %.2f / %.2f / %.2f us; "
                "32 pages: %.2f x one page (goal: within 1.2 x; one page: at most the last round's cost, measured "
                "beside it)\n",
                runs[0].usPerDiscoveryFrame, runs[1].usPerDiscoveryFrame, runs[2].usPerDiscoveryFrame,
                runs[0].usPerDiscoveryFrame > 0 ? runs[2].usPerDiscoveryFrame / runs[0].usPerDiscoveryFrame : 0.0);
    for (const bool notifications : {true, false}) {
        const auto cost = [notifications](const Figures &f) {
            return notifications ? f.usPerNotification : f.usPerWriteResult;
        };
        std::printf("GUI cost of one GATT frame (%s) with 1 / 8 / 32 pages open: %.2f / %.2f / %.2f us; "
                    "32 pages: %.2f x one page (goal: within 1.2 x)\n",
                    notifications ? "notification" : "write result", cost(runs[0]), cost(runs[1]), cost(runs[2]),
                    cost(runs[0]) > 0 ? cost(runs[2]) / cost(runs[0]) : 0.0);
    }
    std::printf("resident memory per open connection page, before any data: %.2f MiB (goal: under 1 MiB)\n",
                runs[2].kibPerPage / 1024.0);
    const bool complete = std::all_of(runs.begin(), runs.end(), [](const Figures &f) { return f.complete; });
    std::printf("every frame reached its page in every run: %s\n", complete ? "yes" : "NO");
    return complete ? 0 : 1;
}
