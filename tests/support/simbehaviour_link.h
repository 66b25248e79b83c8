#pragma once

#include <QByteArray>
#include <QStringList>

class SimulatedDongle;

// What the simulated dongle says to the port probe and to heartbeats.
namespace LinkBehaviour {

// Name, manufacturer, firmware version, hardware version, description, SDK version.
QStringList defaultProbeTexts();
// 0xBB 00 00 and the six texts, each after its 16-bit little-endian length.
QByteArray probeReply(const QStringList &texts);

// The answer to the probe request; an empty list keeps the dongle quiet to it.
void setProbeAnswer(SimulatedDongle &dongle, const QStringList &texts);
// Heartbeat status answer "BB 01 84 01 00 <status>"; a negative status: no answer.
void setHeartbeatAnswer(SimulatedDongle &dongle, int status);

} // namespace LinkBehaviour

// The default probe reply and heartbeats answered with status 0.
void installLinkBehaviour(SimulatedDongle &dongle);
