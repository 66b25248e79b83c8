#include "scanpagerig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include "ccfgfileparse.h"
#include "cconnectionwidget.h"
#include "devicestablemodel.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "recordinglogger.h"
#include "simbehaviour_scan.h"

ScanPageRig::ScanPageRig(const QMap<QString, QVariant> &extraSettings)
    : recorder(new RecordingLogger),
      scan(installScanBehaviour(dongle)),
      link(&logs, nullptr, 2),
      uplinks(&link),
      settings(defaultSettings())
{
    logs.addLogger(recorder);
    for (auto it = extraSettings.cbegin(); it != extraSettings.cend(); ++it)
        settings.insert(it.key(), it.value());
    page = new CConnectionWidget(&link, &logs, &settings, dongleName);
    QObject::connect(&link, &CMsg::sig_rcvCommonMsg, page, &CConnectionWidget::onRcvMsg);
    QObject::connect(&link, &CMsg::sig_rcvGapMsg, page, &CConnectionWidget::onRcvMsg);
}

ScanPageRig::~ScanPageRig()
{
    delete page;
    link.closePort();
}

QMap<QString, QVariant> ScanPageRig::defaultSettings()
{
    QMap<QString, QVariant> values;
    const auto &fields = CCfgFileParse::instance()->m_downlinkIdToFieldsMap;
    for (const char *id : {"01@3D", "01@3F", "01@1F"}) {
        for (const CmdFieldInfo &field : fields.value(QString::fromLatin1(id)))
            values.insert(field.key, 0);
    }
    // The page supplies these itself.
    for (const char *key : {"addr", "addr_type", "adv_sid", "index"})
        values.remove(QString::fromLatin1(key));
    values.insert(QStringLiteral("5_0_scan_type"), 1);
    values.insert(QStringLiteral("5_0_scan_interval_1m"), 0x60);
    values.insert(QStringLiteral("5_0_scan_window_1m"), 0x30);
    values.insert(QStringLiteral("sync_timeout"), 0x100);
    return values;
}

bool ScanPageRig::open()
{
    if (link.openPort(dongle.portPath()) != 0)
        return false;
    dongle.sendResetEvent();
    return uplinks.waitFor(1);
}

bool ScanPageRig::feed(const QList<QByteArray> &frames, int timeoutMs)
{
    // Answers to earlier commands may arrive in between: wait for these very
    // frames, in order.
    const int from = uplinks.count();
    dongle.sendUplinks(frames);
    return waitUntil(
        [&] {
            const QVector<UplinkRecorder::Entry> entries = uplinks.entries();
            int next = 0;
            for (int i = from; i < entries.size() && next < frames.size(); ++i) {
                if (entries.at(i).frame == frames.at(next))
                    ++next;
            }
            // The table shows what a pass changed at its display rate.
            return next == frames.size() && !page->devicesModel()->hasPendingChanges();
        },
        timeoutMs);
}

bool ScanPageRig::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return LinkRig::waitUntil(condition, timeoutMs);
}

QList<QByteArray> ScanPageRig::downlinks(const QString &id) const
{
    QList<QByteArray> frames;
    for (const SimulatedDongle::ReceivedFrame &frame : dongle.receivedFrames()) {
        if (frame.id == id)
            frames.append(frame.bytes);
    }
    return frames;
}

bool ScanPageRig::waitForDownlink(const QString &id, int from, int timeoutMs)
{
    return waitUntil(
        [&] {
            const QList<SimulatedDongle::ReceivedFrame> frames = dongle.receivedFrames();
            for (int i = from; i < frames.size(); ++i) {
                if (frames.at(i).id == id)
                    return true;
            }
            return false;
        },
        timeoutMs);
}
