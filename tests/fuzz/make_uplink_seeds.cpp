// Writes a seed corpus for the uplink framer fuzz target: one well-formed
// frame per uplink command of the catalogue, a few boot-loader and dongle log
// frames, each behind the reset event so the framer is past its start-up wait.
//
//   make_uplink_seeds <up_link_command.xml> <corpus folder>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QXmlStreamReader>

#include <cstdio>

namespace {

QByteArray withChecksum(QByteArray frame)
{
    quint8 sum = 0;
    for (const char b : frame)
        sum = quint8(sum + quint8(b));
    return frame + char(quint8(-sum));
}

QByteArray firmwareFrame(quint8 type, quint8 layer, quint8 opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(type)).append(char(layer)).append(char(opcode));
    frame.append(char(payload.size() & 0xFF)).append(char(payload.size() >> 8));
    return withChecksum(frame + payload);
}

QByteArray bootFrame(quint16 command, const QByteArray &payload)
{
    QByteArray frame("QK");
    frame.append(char(command & 0xFF)).append(char(command >> 8));
    frame.append(char(payload.size() & 0xFF)).append(char(payload.size() >> 8));
    frame += payload;
    quint16 sum = 0;
    for (int i = 2; i < frame.size(); ++i)
        sum = quint16(sum + quint8(frame.at(i)));
    return frame.append(char(sum & 0xFF)).append(char(sum >> 8));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <up_link_command.xml> <corpus folder>\n", argv[0]);
        return 2;
    }
    QFile catalogue(QString::fromLocal8Bit(argv[1]));
    if (!catalogue.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QDir folder(QString::fromLocal8Bit(argv[2]));
    folder.mkpath(QStringLiteral("."));

    const QByteArray reset = QByteArray::fromHex("cc0002010000");
    QRandomGenerator random(46080);
    int written = 0;
    const auto write = [&](const QByteArray &stream) {
        QFile seed(folder.filePath(QStringLiteral("seed-%1").arg(written++, 4, 10, QLatin1Char('0'))));
        if (seed.open(QIODevice::WriteOnly))
            seed.write(QByteArray(1, char(written)) + reset + stream);  // first byte: how the target cuts
    };

    QXmlStreamReader xml(&catalogue);
    QByteArray id;
    QByteArray payload;
    const auto finish = [&] {
        const QList<QByteArray> parts = id.split('@');
        if (parts.size() != 3)
            return;
        bool ok = true;
        const quint8 type = quint8(parts.at(0).toUInt(&ok, 16));
        const quint8 layer = quint8(parts.at(1).toUInt(&ok, 16));
        const quint8 opcode = quint8(parts.at(2).toUInt(&ok, 16));
        if (ok)
            write(firmwareFrame(type, layer, opcode, payload));
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("command")) {
            id = xml.attributes().value(QLatin1String("ID")).toLatin1();
            payload.clear();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("field")) {
            int length = xml.attributes().value(QLatin1String("length")).toInt();
            if (length <= 0)
                length = 12;  // "to the end of the frame"
            for (int i = 0; i < length; ++i)
                payload.append(char(random.bounded(256)));
        } else if (xml.isEndElement() && xml.name() == QLatin1String("command")) {
            finish();
        }
    }
    if (xml.hasError())
        std::fprintf(stderr, "catalogue: %s\n", qPrintable(xml.errorString()));

    write(firmwareFrame(0xFF, 0x00, 0x00, "dongle log text"));
    write(bootFrame(0x23, QByteArray(1, 1)));
    write(bootFrame(0x24, QByteArray(7, 1)));
    write(firmwareFrame(0xBB, 0x01, 0x84, QByteArray(1, 0)) + bootFrame(0x25, QByteArray(5, 0))
          + firmwareFrame(0xDD, 0x06, 0x0F, QByteArray(40, 7)));
    std::printf("%d seeds in %s\n", written, argv[2]);
    return written > 4 ? 0 : 1;
}
