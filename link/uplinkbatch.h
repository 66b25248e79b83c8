#pragma once

#include "uplinkframer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QVector>

// One frame as the reader cut it, with the moment its last byte was read.
struct UplinkFrame
{
    QByteArray frame;
    qint64 arrivalMs = 0;  // on uplinkClockMs()
    UplinkFramer::Route route = UplinkFramer::OtherRoute;
};

// Frames of one hand-over from the reader to the GUI thread, oldest first.
using UplinkBatch = QVector<UplinkFrame>;

// Monotonic milliseconds shared by the reader and its readers, so an arrival
// time can be compared with "now" on any thread.
inline qint64 uplinkClockMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

