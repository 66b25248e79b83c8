#include "firmwareimage.h"

namespace {
const char kNoTrailer[] = "cannot find parttern in firmware file";
const char kLongFormWithoutMarker[] = "Invalid firmware format!";

bool hasMagicAt(const QByteArray &tail, int distance)
{
    return tail.size() >= distance && tail.at(tail.size() - distance) == 'Q'
           && tail.at(tail.size() - distance + 1) == 'K';
}
} // namespace

quint32 FirmwareImage::readU32(const QByteArray &bytes, int offset)
{
    if (offset < 0 || offset + 4 > bytes.size())
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return value;
}

FirmwareImage::Form FirmwareImage::locate(const QByteArray &tail, qint64 fileSize, QString *error)
{
    // The tail is the end of the file; a short file is all tail.
    const bool longMagic = fileSize >= LongFormDistance && hasMagicAt(tail, LongFormDistance);
    const bool marker = fileSize >= LongFormDistance && tail.size() >= MarkerDistance
                        && readU32(tail, tail.size() - MarkerDistance) == LongFormMarker;
    if (longMagic && marker)
        return LongForm;
    if (fileSize >= TrailerSize && hasMagicAt(tail, TrailerSize))
        return ShortForm;
    if (error)
        *error = QString::fromLatin1(longMagic ? kLongFormWithoutMarker : kNoTrailer);
    return NoTrailer;
}

int FirmwareImage::distanceOf(Form form)
{
    return form == LongForm ? LongFormDistance : TrailerSize;
}

QByteArray FirmwareImage::trailer(const QByteArray &tail, qint64 fileSize, QString *error)
{
    const Form form = locate(tail, fileSize, error);
    if (form == NoTrailer)
        return QByteArray();
    const QByteArray found = tail.mid(tail.size() - distanceOf(form), TrailerSize);
    // The trailer's own length must be what the file holds before it; a
    // length taken on trust would send a broken image.
    const qint64 before = fileSize - distanceOf(form);
    if (readU32(found, ImageLengthOffset) != before) {
        if (error)
            *error = QStringLiteral("firmware image length %1 does not fit the file (%2 bytes before its trailer)")
                         .arg(readU32(found, ImageLengthOffset))
                         .arg(before);
        return QByteArray();
    }
    return found;
}

quint32 FirmwareImage::loadAddress(const QByteArray &trailer)
{
    return readU32(trailer, LoadAddressOffset);
}

QByteArray FirmwareImage::name(const QByteArray &trailer)
{
    const QByteArray field = trailer.mid(NameOffset, NameSize);
    const int end = field.indexOf('\0');
    return end < 0 ? field : field.left(end);
}

quint32 FirmwareImage::byteSum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return sum;
}
