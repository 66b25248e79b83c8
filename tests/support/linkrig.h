#pragma once

#include "cmsg.h"
#include "logmanager.h"
#include "recordinglogger.h"
#include "simulateddongle.h"
#include "uplinkrecorder.h"

#include <QString>

#include <functional>

// A link on the simulated dongle, with every log line and uplink recorded.
struct LinkRig
{
    explicit LinkRig(const QString &logName, int sendIntervalMs = CMsg::DefaultSendIntervalMs);
    LinkRig(const LinkRig &) = delete;
    LinkRig &operator=(const LinkRig &) = delete;

    bool open();
    // Opens and lets the dongle announce itself, so the reader hands frames out.
    bool openAndSync();
    // Processes events until the condition holds or the time is up.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

    LogManager logs;
    RecordingLogger *recorder;
    SimulatedDongle dongle;
    CMsg link;
    UplinkRecorder uplinks;
};
