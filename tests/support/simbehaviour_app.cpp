#include "simbehaviour_app.h"

#include "framebuilder.h"
#include "simulateddongle.h"

namespace AppBehaviour {

namespace {
QByteArray u16(quint16 value)
{
    QByteArray bytes;
    bytes.append(char(value & 0xff));
    bytes.append(char(value >> 8));
    return bytes;
}
} // namespace

QByteArray deviceTypeAnswer(const SimDongleIdentity &identity)
{
    return FrameBuilder::frame(0xDD, 0x00, 0x03, QByteArray(1, char(identity.deviceType)));
}

QByteArray addressAnswer(const SimDongleIdentity &identity)
{
    return FrameBuilder::frame(0xDD, 0x01, 0x48, identity.address + QByteArray(1, char(identity.addressType)));
}

QByteArray nameAnswer(const QByteArray &name)
{
    return FrameBuilder::frame(0xDD, 0x01, 0x5C, QByteArray(1, char(name.size())) + name);
}

QByteArray appearanceAnswer(const SimDongleIdentity &identity)
{
    return FrameBuilder::frame(0xDD, 0x01, 0x60, u16(identity.appearance));
}

QByteArray connectionParametersAnswer(const SimDongleIdentity &identity)
{
    return FrameBuilder::frame(0xDD, 0x01, 0x64,
                               u16(identity.intervalMin) + u16(identity.intervalMax) + u16(identity.latency)
                                   + u16(identity.supervisionTimeout));
}

QByteArray profileAnswer(const QByteArray &records)
{
    return FrameBuilder::frame(0xDD, 0x05, 0x02, records);
}

} // namespace AppBehaviour

void installAppBehaviour(SimulatedDongle &dongle, const SimDongleIdentity &identity)
{
    using namespace AppBehaviour;
    const struct
    {
        const char *id;
        QByteArray answer;
    } rows[] = {
        {"00@03", deviceTypeAnswer(identity)},
        {"01@47", addressAnswer(identity)},
        {"01@5B", nameAnswer(identity.name)},
        {"01@5F", appearanceAnswer(identity)},
        {"01@63", connectionParametersAnswer(identity)},
        {"05@01", profileAnswer(identity.profiles)},
        {"05@03", FrameBuilder::frame(0xDD, 0x05, 0x04, QByteArray(1, '\0'))},
    };
    for (const auto &row : rows) {
        const QByteArray answer = row.answer;
        dongle.setResponder(QString::fromLatin1(row.id), [answer](const QByteArray &frame) {
            return QList<QByteArray>{SimulatedDongle::acknowledgement(frame), answer};
        });
    }
}

namespace {
void installForProgram(SimulatedDongle &dongle)
{
    installAppBehaviour(dongle);
}
const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("app"), installForProgram);
} // namespace
