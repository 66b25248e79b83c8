#include "firmwarefile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

namespace FirmwareFile {

namespace {
void putU32(QByteArray &bytes, int at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}
} // namespace

QByteArray body(int size, quint8 seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(quint8(i * 7 + i / 256 + seed));
    return bytes;
}

QByteArray trailer(const QByteArray &body, quint32 loadAddress, const QByteArray &name)
{
    QByteArray bytes(48, '\0');
    bytes[0] = 'Q';
    bytes[1] = 'K';
    bytes[2] = 1;
    quint32 sum = 0;
    for (const char byte : body)
        sum += quint8(byte);
    putU32(bytes, 4, quint32(body.size()));
    putU32(bytes, 8, sum);
    putU32(bytes, 12, loadAddress);
    putU32(bytes, 16, loadAddress);
    putU32(bytes, 20, 3);
    putU32(bytes, 24, 0x744);
    bytes.replace(28, qMin(name.size(), 12), name.left(12));
    return bytes;
}

QByteArray shortForm(const QByteArray &body, const QByteArray &name, quint32 loadAddress)
{
    return body + trailer(body, loadAddress, name);
}

QByteArray longForm(const QByteArray &body, const QByteArray &name, quint32 loadAddress, bool withMarker)
{
    QByteArray rest(856, '\0');
    if (withMarker)
        putU32(rest, 0, 0xDEADBEEF);
    for (int i = 4; i < rest.size(); ++i)
        rest[i] = char(0xA5);
    return body + trailer(body, loadAddress, name) + rest;
}

QString write(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace FirmwareFile
