// A peer's database of many attributes arriving at a connection page as the
// events of a discovery of all attributes, written by the simulated dongle's
// side of the pseudo-terminal at the serial line's rate and read through the
// real link. Measured: the GUI thread's responsiveness while it arrives (the
// lateness of a 10 ms timer), the time from the first result to a complete
// tree and table and from the last frame to the same, and resident memory
// before the connection, with its database shown, and after it closed.
//
//   bench_gattdb [attributes=5000] [connections opened and closed=3] [unpaced] [readable values=5000]
//
// Runs with the tree shown ("category"), then with the flat list ("simple").
// Then "Read All" over a database of that many readable values, answered by
// the simulated dongle at the serial line's pace, and the CSV export of the
// flat list it leaves.
#include "benchprobe.h"
#include "cgattwidget.h"
#include "clayerwidget.h"
#include "cmsg.h"
#include "filechooser.h"
#include "framebuilder.h"
#include "gattexport.h"
#include "gatttablemodel.h"
#include "logmanager.h"
#include "simbehaviour_gatt.h"
#include "simulateddongle.h"
#include "treemodel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double SerialBytesPerSecond = 46080.0; // 460800 baud, 8N1

// Writes the frames into the master, paced to the serial line unless unpaced.
void writeFrames(const QByteArray *bytes, int fd, bool paced, std::atomic<qint64> *lastByteNs,
                 const QElapsedTimer *clock)
{
    qint64 written = 0;
    while (written < bytes->size()) {
        qint64 allowed = bytes->size();
        if (paced) {
            allowed = qMin<qint64>(bytes->size(), qint64(SerialBytesPerSecond * double(clock->nsecsElapsed()) / 1e9));
            if (allowed <= written) {
                ::usleep(500);
                continue;
            }
        }
        const long n = BenchProbe::writeToMaster(fd, bytes->constData() + written, allowed - written);
        if (n < 0)
            return;
        written += n;
    }
    *lastByteNs = clock->nsecsElapsed();
}

struct Result
{
    bool complete = false;
    double firstToCompleteMs = 0;
    double lastByteToCompleteMs = 0;
    double arrivalMs = 0;
};

// One connection: its page opens, the whole database arrives, the page closes.
Result runConnection(CMsg &link, LogManager &logs, SimulatedDongle &dongle, const GattDatabase &database,
                     bool flatView, bool paced, BenchProbe::GuiLateness &probe, bool report = true)
{
    const quint8 condix = 0;
    const QString dongleName = QStringLiteral("Bench");
    QMap<QString, QVariant> settings;
    QPointer<CLayerWidget> page = new CLayerWidget(&link, &logs, &settings, &dongleName, 0, 0x18, 0, 0x1F4,
                                                   QStringLiteral("Peer Device"),
                                                   QStringLiteral("66:55:44:33:22:11"), condix);
    page->resize(1400, 900);
    page->show();
    CGattWidget *gatt = page->gattWidget();
    if (flatView)
        gatt->findChild<QComboBox *>(QStringLiteral("comboBox_mode"))->setCurrentIndex(1);
    QCoreApplication::processEvents();

    QByteArray bytes;
    int services = 0;
    for (const QByteArray &frame : GattBehaviour::discoveryEvents(condix, database))
        bytes += FrameBuilder::withChecksum(frame);
    for (const GattDatabase::Attribute &attribute : database.attributes())
        services += attribute.kind == GattDatabase::Service;

    QElapsedTimer clock;
    qint64 firstNs = -1;
    qint64 completeNs = -1;
    // Runs after the page's own handler, which was connected first.
    const QMetaObject::Connection watch =
        QObject::connect(&link, &CMsg::sig_rcvGattMsg, [&](const QByteArray &frame) {
            if (firstNs < 0 && frame.startsWith(QByteArray::fromHex("dd0330")))
                firstNs = clock.nsecsElapsed();
            if (frame.startsWith(QByteArray::fromHex("dd0334")))
                completeNs = clock.nsecsElapsed();
        });

    std::atomic<qint64> lastByteNs{-1};
    clock.start();
    probe.start();
    std::thread writer(writeFrames, &bytes, dongle.masterFd(), paced, &lastByteNs, &clock);
    // A real event loop, as the program's: it sleeps when nothing is due.
    BenchProbe::waitOnEventLoop([&completeNs] { return completeNs >= 0; }, 30000, 1);
    writer.join();
    probe.stop();
    QObject::disconnect(watch);

    Result result;
    result.complete = completeNs >= 0 && gatt->treeModel()->rowCount() == services
        && gatt->tableModel()->rowCount() == database.size();
    result.firstToCompleteMs = double(completeNs - firstNs) / 1e6;
    result.lastByteToCompleteMs = double(completeNs - lastByteNs) / 1e6;
    result.arrivalMs = double(lastByteNs) / 1e6;
    if (report)
        std::printf("  %d bytes in %.0f ms (%.2f x the serial line); tree %d services, table %d rows\n", int(bytes.size()),
                result.arrivalMs, double(bytes.size()) / (result.arrivalMs / 1000.0) / SerialBytesPerSecond,
                gatt->treeModel()->rowCount(), gatt->tableModel()->rowCount());

    // The connection closes: the dongle tab removes the page and deletes it later.
    page->hide();
    page->deleteLater();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}

bool runPhase(const GattDatabase &database, int connections, bool flatView, bool paced)
{
    std::printf("\n== %d attributes, %s view, %s, %d connection(s) one after the other\n", database.size(),
                flatView ? "simple" : "category", paced ? "paced to the serial line" : "unpaced", connections);
    LogManager logs(QStringLiteral("bench-gattdb"));
    SimulatedDongle dongle;
    dongle.setSilent(true);
    CMsg link(&logs);
    if (link.openPort(dongle.portPath()) != 0) {
        std::fprintf(stderr, "the port did not open\n");
        return false;
    }
    // The reader hands frames out once the dongle has announced itself.
    bool announced = false;
    QObject::connect(&link, &CMsg::sig_rcvCommonMsg, [&announced] { announced = true; });
    dongle.sendRaw(FrameBuilder::resetEvent());
    if (!BenchProbe::waitOnEventLoop([&announced] { return announced; }, 5000)) {
        std::fprintf(stderr, "the dongle's reset event never arrived\n");
        return false;
    }

    // A first page fills the caches every later one shares (forms, icons,
    // the catalogue's lookups); the baseline is taken after it.
    {
        BenchProbe::GuiLateness warmUp;
        GattDatabase empty;
        runConnection(link, logs, dongle, empty, flatView, paced, warmUp, false);
    }
    BenchProbe::releaseFreeHeap();
    const long before = BenchProbe::residentKiB();
    std::printf("resident memory before the first connection: %ld KiB\n", before);
    bool ok = true;
    for (int i = 0; i < connections; ++i) {
        BenchProbe::GuiLateness probe;
        const Result result = runConnection(link, logs, dongle, database, flatView, paced, probe);
        BenchProbe::printLateness(probe);
        std::printf("  first result to complete tree and table: %.0f ms; last frame written to complete: %.0f ms%s\n",
                    result.firstToCompleteMs, result.lastByteToCompleteMs, result.complete ? "" : " (INCOMPLETE)");
        BenchProbe::releaseFreeHeap();
        std::printf("  resident memory after the connection closed: %ld KiB (%+ld KiB)\n",
                    BenchProbe::residentKiB(), BenchProbe::residentKiB() - before);
        ok = ok && result.complete;
    }
    link.closePort();
    return ok;
}

// "Read All" over `values` readable characteristics, then the export of the
// flat list. The link sends a frame every millisecond so that the reads, not
// the send timer, set the pace; the dongle's answers are paced to the line.
bool runReadAll(int values)
{
    std::printf("\n== Read All over %d readable values, answers paced to the serial line; CSV export\n", values);
    const quint8 condix = 0;
    GattDatabase database;
    database.addService(GattDatabase::uuid16(0x180F));
    for (int i = 0; i < values; ++i)
        database.addCharacteristic(GattDatabase::uuid16(0x2A19), 0x02, QByteArray(4, char(i)));

    LogManager logs(QStringLiteral("bench-gattdb-read"));
    SimulatedDongle dongle;
    dongle.setLineRate(true);
    GattBehaviour::install(dongle)->setDatabase(condix, database);
    CMsg link(&logs, nullptr, 1);
    if (link.openPort(dongle.portPath()) != 0) {
        std::fprintf(stderr, "the port did not open\n");
        return false;
    }
    dongle.sendResetEvent();
    const QString dongleName = QStringLiteral("Bench");
    QMap<QString, QVariant> settings;
    QPointer<CLayerWidget> page = new CLayerWidget(&link, &logs, &settings, &dongleName, 0, 0x18, 0, 0x1F4,
                                                   QStringLiteral("Peer Device"),
                                                   QStringLiteral("66:55:44:33:22:11"), condix);
    page->resize(1400, 900);
    page->show();
    CGattWidget *gatt = page->gattWidget();
    auto *discover = gatt->findChild<QToolButton *>(QStringLiteral("toolButton_dicoverAllAttr"));
    auto *readAll = gatt->findChild<QToolButton *>(QStringLiteral("toolButton_readAllChar"));
    QElapsedTimer limit;
    limit.start();
    discover->click();
    BenchProbe::waitOnEventLoop([discover] { return discover->isEnabled(); }, 120000);
    gatt->findChild<QComboBox *>(QStringLiteral("comboBox_mode"))->setCurrentIndex(1);
    std::printf("  discovered %d rows in %lld ms\n", gatt->tableModel()->rowCount(), limit.elapsed());

    BenchProbe::GuiLateness probe;
    QElapsedTimer clock;
    probe.start();
    clock.start();
    readAll->click();
    const int sent = gatt->pendingCount();
    BenchProbe::waitOnEventLoop([readAll] { return readAll->isEnabled(); }, 600000, 1);
    const qint64 readMs = clock.elapsed();
    probe.stop();
    std::printf("  %d reads answered in %lld ms (%.0f reads/s)%s\n", sent, readMs, sent * 1000.0 / double(readMs),
                readAll->isEnabled() ? "" : " (INCOMPLETE)");
    BenchProbe::printLateness(probe);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("GATT Attribute.csv"));
    setFileChooser([path](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
        return path;
    });
    clock.restart();
    gatt->findChild<QToolButton *>(QStringLiteral("toolButton_export"))->click();
    const qint64 exportMs = clock.elapsed();
    setFileChooser(FileChooserFunction());
    std::printf("  CSV export of %d rows: %lld ms, %lld bytes\n", gatt->tableModel()->rowCount(), exportMs,
                QFileInfo(path).size());
    const bool ok = readAll->isEnabled() && QFileInfo(path).size() > 0;
    delete page;
    link.closePort();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int attributes = args.value(1, QStringLiteral("5000")).toInt();
    const int connections = args.value(2, QStringLiteral("3")).toInt();
    const bool paced = args.value(3) != QStringLiteral("unpaced");
    const int readable = args.value(4, QStringLiteral("5000")).toInt();

    const GattDatabase database = GattDatabase::generated(attributes);
    bool ok = runPhase(database, connections, false, paced);
    ok = runPhase(database, connections, true, paced) && ok;
    ok = runReadAll(readable) && ok;
    return ok ? 0 : 1;
}
