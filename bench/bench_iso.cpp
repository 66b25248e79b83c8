// ISO data at the serial line's rate. Two phases:
//
//  receive: a simulated dongle streams "Receive ISO Data" frames of two
//    streams (two peripheral CIS pages on one link) at the line's byte rate.
//    Measured: the GUI thread's responsiveness (lateness of a 10 ms timer),
//    resident memory over the run, and that each stream's file holds every
//    SDU record, byte for byte.
//  repeat: a panel repeats an SDU at its shortest interval on a link at its
//    real pace (one frame per 100 ms). Measured: the most frames the link's
//    send queue held, the rate at which frames reached the dongle, and the
//    GUI thread's responsiveness.
//
//   bench_iso [seconds=60] [SDU bytes=100]
#include "benchprobe.h"
#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cmsg.h"
#include "cutil.h"
#include "datafolder.h"
#include "framebuilder.h"
#include "isodatacodec.h"
#include "linkrig.h"
#include "manageciswidget.h"
#include "simbehaviour_iso.h"
#include "slaveciswidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using BenchProbe::percentile;
using BenchProbe::residentKiB;

constexpr double LineBytesPerSecond = 46080.0; // 460800 baud, 8N1
const QString DongleName = QStringLiteral("bench-iso");
const quint16 Handles[2] = {0x60, 0x61};

QByteArray sduFor(quint32 number, int size)
{
    QByteArray sdu(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        sdu[i] = char((number + quint32(i)) & 0xFF);
    return sdu;
}

QByteArray frameFor(int stream, quint32 number, int sduSize)
{
    return IsoBehaviour::receiveIsoData(Handles[stream], number * 10000u, quint16(number), 0, sduFor(number, sduSize));
}

// Writes the frames of both streams alternately at the line's byte rate.
void writeStreams(int fd, int sduSize, int seconds, std::atomic<qint64> *sent)
{
    QElapsedTimer clock;
    clock.start();
    qint64 bytes = 0;
    quint32 number = 0;
    QByteArray pending;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        const double due = LineBytesPerSecond * double(clock.nsecsElapsed()) / 1e9;
        if (double(bytes) >= due && pending.isEmpty()) {
            ::usleep(1000);
            continue;
        }
        while (double(bytes) < due && pending.size() < 4096) {
            const QByteArray frame = FrameBuilder::withChecksum(frameFor(int(number % 2), number / 2, sduSize));
            pending += frame;
            bytes += frame.size();
            ++number;
        }
        while (!pending.isEmpty()) {
            const long written = BenchProbe::writeToMaster(fd, pending.constData(), pending.size());
            if (written < 0)
                return;
            pending.remove(0, int(written));
        }
        *sent = number;
    }
}

QMap<QString, QByteArray> establishedFields(quint16 handle)
{
    QMap<QString, QByteArray> fields;
    CCommand::parseUpLinkCmd(nullptr, IsoBehaviour::cisEstablished(0, handle), fields);
    return fields;
}

bool receivePhase(int seconds, int sduSize)
{
    std::printf("\n== receive: two streams at the line rate (%.0f B/s), SDUs of %d bytes, %d s\n", LineBytesPerSecond,
                sduSize, seconds);
    LinkRig rig(QStringLiteral("bench-iso"));
    rig.logs.removeLogger(QStringLiteral("recorder"));
    if (!rig.openAndSync()) {
        std::fprintf(stderr, "the port did not open\n");
        return false;
    }
    std::vector<std::unique_ptr<SlaveCISWidget>> pages;
    qint64 delivered = 0;
    QObject::connect(&rig.link, &CMsg::sig_rcvBIGCIGMsg, [&delivered](const QByteArray &) { ++delivered; });
    for (quint16 handle : Handles) {
        pages.push_back(std::make_unique<SlaveCISWidget>(&rig.link, &rig.logs, nullptr, establishedFields(handle),
                                                         DongleName));
        pages.back()->resize(900, 600);
        pages.back()->show();
        QFile::remove(pages.back()->panel()->receiveFilePath());
    }

    BenchProbe::GuiLateness probe;
    const long memoryBefore = residentKiB();
    std::vector<long> memory;
    std::atomic<qint64> sent{0};
    QElapsedTimer clock;
    clock.start();
    probe.start();
    std::thread writer(writeStreams, rig.dongle.masterFd(), sduSize, seconds, &sent);
    const int samples = 4;
    int nextSample = 1;
    // A real event loop, as the program's: it sleeps when nothing is due.
    QEventLoop loop;
    QTimer housekeeping;
    QObject::connect(&housekeeping, &QTimer::timeout, [&] {
        // The rig's own recorder would keep every frame.
        rig.uplinks.clear();
        if (clock.elapsed() >= qint64(seconds) * 1000 * nextSample / samples) {
            memory.push_back(residentKiB());
            ++nextSample;
        }
        if (clock.elapsed() >= qint64(seconds) * 1000)
            loop.quit();
    });
    housekeeping.start(50);
    loop.exec();
    housekeeping.stop();
    writer.join();
    probe.stop();
    const bool drained = BenchProbe::waitOnEventLoop(
        [&] {
            rig.uplinks.clear();
            return delivered >= sent;
        },
        30000);

    BenchProbe::printLateness(probe);
    std::printf("resident memory: %ld KiB before;", memoryBefore);
    for (size_t i = 0; i < memory.size(); ++i)
        std::printf(" %ld KiB at %zu/%d;", memory[i], i + 1, samples);
    std::printf(" %ld KiB after draining\n", residentKiB());

    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    const QVector<CmdFieldInfo> layout =
        catalogue->m_uplinkIdToFieldsMap.value(catalogue->m_uplinkNameToIdMap.value(QStringLiteral("Receive ISO Data")));
    bool complete = drained;
    const qint64 total = sent;
    for (int stream = 0; stream < 2; ++stream) {
        const qint64 count = total / 2 + (stream == 0 ? total % 2 : 0);
        QByteArray expected;
        for (qint64 n = 0; n < count; ++n) {
            QMap<QString, QByteArray> fields;
            CCommand::parseUpLinkCmd(nullptr, frameFor(stream, quint32(n), sduSize), fields);
            expected += IsoDataCodec::receiveRecord(fields, layout);
        }
        QFile file(pages[size_t(stream)]->panel()->receiveFilePath());
        const QByteArray written = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const bool same = written == expected;
        std::printf("stream 0x%x: %lld SDUs sent, file of %lld bytes, every record in it: %s\n", Handles[stream],
                    static_cast<long long>(count), static_cast<long long>(written.size()), same ? "yes" : "NO");
        complete = complete && same;
    }
    std::printf("frames: %lld sent, %lld handed to the pages (%.2f of the line's byte rate)\n",
                static_cast<long long>(total), static_cast<long long>(delivered),
                double(total) * double(frameFor(0, 0, sduSize).size() + 1) / seconds / LineBytesPerSecond);
    pages.clear();
    QDir(Platform::dataFolder() + QLatin1Char('/') + DongleName).removeRecursively();
    std::fflush(stdout);
    return complete;
}

bool repeatPhase(int seconds, int sduSize)
{
    std::printf("\n== repeat: shortest interval, SDUs of %d bytes, link at %d ms a frame, %d s\n", sduSize,
                CMsg::DefaultSendIntervalMs, seconds);
    LinkRig rig(QStringLiteral("bench-iso-repeat"));
    rig.logs.removeLogger(QStringLiteral("recorder"));
    IsoBehaviour *iso = IsoBehaviour::install(rig.dongle);
    if (!rig.openAndSync()) {
        std::fprintf(stderr, "the port did not open\n");
        return false;
    }
    SlaveCISWidget page(&rig.link, &rig.logs, nullptr, establishedFields(Handles[0]), DongleName);
    page.resize(900, 600);
    page.show();
    manageCISWidget *panel = page.panel();
    panel->findChild<QTextEdit *>(QStringLiteral("textEdit_sendData"))
        ->setPlainText(CUtil::colonHex(sduFor(1, sduSize)));
    panel->findChild<QCheckBox *>(QStringLiteral("checkBox_repeat"))->click();
    panel->findChild<QLineEdit *>(QStringLiteral("lineEdit_times"))->setText(QStringLiteral("1000000"));
    panel->findChild<QLineEdit *>(QStringLiteral("lineEdit_interval"))->setText(QStringLiteral("0"));

    BenchProbe::GuiLateness probe;
    int mostQueued = 0;
    QElapsedTimer clock;
    clock.start();
    probe.start();
    panel->on_pushButton_send_clicked();
    QEventLoop loop;
    QTimer housekeeping;
    QObject::connect(&housekeeping, &QTimer::timeout, [&] {
        rig.uplinks.clear();
        mostQueued = std::max(mostQueued, rig.link.queuedFrames());
        if (clock.elapsed() >= qint64(seconds) * 1000)
            loop.quit();
    });
    housekeeping.start(5);
    loop.exec();
    housekeeping.stop();
    probe.stop();
    const double elapsed = clock.elapsed() / 1000.0;
    const int frames = iso->sentSdus().size();
    BenchProbe::printLateness(probe);
    const int frameBytes = 5 + 4 + sduSize + 1;
    std::printf("send queue: at most %d frames; %d frames reached the dongle, %.2f per second (the link's pace: "
                "%.2f), %.3f of the line's byte rate\n",
                mostQueued, frames, frames / elapsed, 1000.0 / CMsg::DefaultSendIntervalMs,
                frames * frameBytes / elapsed / LineBytesPerSecond);
    QDir(Platform::dataFolder() + QLatin1Char('/') + DongleName).removeRecursively();
    std::fflush(stdout);
    return mostQueued <= IsoRepeatPacer::MaxQueuedFrames;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    BenchProbe::headlessByDefault();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.value(1, QStringLiteral("60")).toInt();
    const int sduSize = args.value(2, QStringLiteral("100")).toInt();

    bool ok = receivePhase(seconds, sduSize);
    ok = repeatPhase(seconds, sduSize) && ok;
    return ok ? 0 : 1;
}
