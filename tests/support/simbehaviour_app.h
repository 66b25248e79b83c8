#pragma once

#include <QByteArray>
#include <QList>

class SimulatedDongle;

// What the simulated dongle tells about itself when the dongle tab queries
// it after a reset.
struct SimDongleIdentity
{
    qint8 deviceType = 1;
    QByteArray address = QByteArray::fromHex("665544332211"); // least significant byte first
    quint8 addressType = 0;
    QByteArray name = "AB";
    quint16 appearance = 0x03c1;
    quint16 intervalMin = 0x0006;
    quint16 intervalMax = 0x0c80;
    quint16 latency = 0x0000;
    quint16 supervisionTimeout = 0x01f4;
    // Profile records as the dongle sends them: [L][id][name...].
    QByteArray profiles = QByteArray::fromHex("03014142" "0402434445");
};

namespace AppBehaviour {
// The answer frames (without checksum) the dongle sends for each query.
QByteArray deviceTypeAnswer(const SimDongleIdentity &identity);
QByteArray addressAnswer(const SimDongleIdentity &identity);
QByteArray nameAnswer(const QByteArray &name);
QByteArray appearanceAnswer(const SimDongleIdentity &identity);
QByteArray connectionParametersAnswer(const SimDongleIdentity &identity);
QByteArray profileAnswer(const QByteArray &records);
} // namespace AppBehaviour

// Acknowledges the seven queries and answers them from `identity`.
void installAppBehaviour(SimulatedDongle &dongle, const SimDongleIdentity &identity = SimDongleIdentity());
