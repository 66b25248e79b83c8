#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include "cmsg.h"
#include "logmanager.h"
#include "simulateddongle.h"
#include "uplinkrecorder.h"

class CConnectionWidget;
class RecordingLogger;
class ScanBehaviour;

// A scanning page on the real link to the simulated dongle, with every log
// line and uplink recorded, for the page's tests and benchmark.
class ScanPageRig
{
public:
    explicit ScanPageRig(const QMap<QString, QVariant> &extraSettings = {});
    ~ScanPageRig();

    // Opens the port and lets the dongle announce itself.
    bool open();
    // Sends uplink frames (no checksum) and waits until the page has had them.
    bool feed(const QList<QByteArray> &frames, int timeoutMs = 5000);
    bool feed(const QByteArray &frame) { return feed(QList<QByteArray>{frame}); }
    // Waits for the next downlink of that ID ("01@3D") after `from` frames.
    bool waitForDownlink(const QString &id, int from = 0, int timeoutMs = 5000);
    // Downlink frames of that ID, checksum included.
    QList<QByteArray> downlinks(const QString &id) const;
    // Processes events until the condition holds or the time is up.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

    // Settings with a value for every field of the scan, connect and sync
    // commands; the scan interval and window are 0x0060 and 0x0030.
    static QMap<QString, QVariant> defaultSettings();

    template <typename T>
    T *widget(const QString &name) const;

    LogManager logs{QStringLiteral("scanpage-test")};
    RecordingLogger *recorder;
    SimulatedDongle dongle;
    ScanBehaviour *scan;
    CMsg link;
    UplinkRecorder uplinks;
    QMap<QString, QVariant> settings;
    QString dongleName{QStringLiteral("Dongle1")};
    CConnectionWidget *page;
};

#include "cconnectionwidget.h"

template <typename T>
T *ScanPageRig::widget(const QString &name) const
{
    return page->findChild<T *>(name);
}
