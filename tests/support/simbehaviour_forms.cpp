// Answers of the simulated dongle to the connection-level commands that the
// command forms send: each gets its acknowledgement and then its result.
#include "simbehaviour_forms.h"

#include "simulateddongle.h"

#include <QByteArray>
#include <QList>

namespace {

quint8 byteAt(const QByteArray &frame, int offset)
{
    return offset < frame.size() ? quint8(frame.at(offset)) : 0;
}

QByteArray result(quint8 layer, quint8 opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(0xDD));
    frame.append(char(layer));
    frame.append(char(opcode));
    frame.append(char(payload.size() & 0xFF));
    frame.append(char((payload.size() >> 8) & 0xFF));
    frame.append(payload);
    return frame;
}

// A read of one connection carries its connection index as the first payload byte.
SimulatedDongle::Responder connectionRead(quint8 resultOpcode, const QByteArray &values)
{
    return [resultOpcode, values](const QByteArray &frame) {
        const quint8 condix = byteAt(frame, 5);
        QByteArray payload;
        payload.append(char(0)); // status
        payload.append(values);
        payload.append(char(condix));
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame), result(0x01, resultOpcode, payload)};
    };
}

} // namespace

void installFormsBehaviour(SimulatedDongle &dongle)
{
    // Peer version: manufacturer 0x0002, subversion 0x1234, version 11.
    dongle.setResponder(QStringLiteral("01@4D"), connectionRead(0x4E, QByteArray::fromHex("020034120b")));
    // Peer features: LE Encryption, LE 2M PHY and the minimum used channels procedure.
    dongle.setResponder(QStringLiteral("01@4F"), connectionRead(0x50, QByteArray::fromHex("01010100")));
    // RSSI -60 dBm.
    dongle.setResponder(QStringLiteral("01@51"), connectionRead(0x52, QByteArray::fromHex("c4")));
    // Every data channel but 36 in use.
    dongle.setResponder(QStringLiteral("01@53"), connectionRead(0x54, QByteArray::fromHex("ffffffff0f")));
    // Transmitting on LE 2M, receiving on LE 1M.
    dongle.setResponder(QStringLiteral("01@55"), connectionRead(0x56, QByteArray::fromHex("0201")));
    // Channel selection algorithm #2.
    dongle.setResponder(QStringLiteral("01@57"), connectionRead(0x58, QByteArray::fromHex("01")));

    // A parameter update request completes with the requested maximum interval.
    dongle.setResponder(QStringLiteral("01@37"), [](const QByteArray &frame) {
        QByteArray payload;
        payload.append(char(0)); // status
        payload.append(frame.mid(7, 2)); // interval = interval_max
        payload.append(frame.mid(9, 2)); // slave_latency
        payload.append(frame.mid(11, 2)); // sup_timeout
        payload.append(char(byteAt(frame, 15))); // condix
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame), result(0x01, 0x38, payload)};
    });
}

static const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("forms"), installFormsBehaviour);
