#include "linkrig.h"

#include "framebuilder.h"

#include <QElapsedTimer>
#include <QTest>

LinkRig::LinkRig(const QString &logName, int sendIntervalMs)
    : logs(logName)
    , recorder(new RecordingLogger)
    , link(&logs, nullptr, sendIntervalMs)
    , uplinks(&link)
{
    logs.addLogger(recorder);
}

bool LinkRig::open()
{
    return link.openPort(dongle.portPath()) == 0;
}

bool LinkRig::openAndSync()
{
    if (!open())
        return false;
    dongle.sendRaw(FrameBuilder::fromHex("CC 00 02 01 00 00"));
    return uplinks.waitFor(1);
}

bool LinkRig::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(2);
    }
    return true;
}
