#pragma once

#include <QByteArray>
#include <QString>

// What the boot loader needs to know of an image file: where its 48-byte
// trailer stands and what that trailer says. The trailer is either the last
// 48 bytes of the file (short form) or starts 904 bytes before the end and is
// followed by the 0xDEADBEEF marker (long form).
class FirmwareImage
{
public:
    static constexpr int TrailerSize = 48;
    static constexpr int LongFormDistance = 904;
    static constexpr int MarkerDistance = 856;
    static constexpr quint32 LongFormMarker = 0xDEADBEEF;
    static constexpr int NameOffset = 28;
    static constexpr int NameSize = 12;
    static constexpr int ImageLengthOffset = 4;
    static constexpr int LoadAddressOffset = 12;
    // Trailer bytes passed on to the start frame and the reset-and-run frame.
    static constexpr int StartCopySize = 40;
    static constexpr int RunCopyOffset = 4;
    static constexpr int RunCopySize = 24;

    enum Form { NoTrailer, ShortForm, LongForm };

    // Chooses the placement once: the long form only when both its magic and
    // its marker are there, else the short form when its magic is there.
    // `error` gets the reason when there is neither.
    static Form locate(const QByteArray &tail, qint64 fileSize, QString *error = nullptr);
    // The trailer of the chosen form; `tail` holds the last bytes of the file
    // (at least 904 when the file is that long). Empty, with the reason, also
    // when the trailer's image length is not the bytes before it.
    static QByteArray trailer(const QByteArray &tail, qint64 fileSize, QString *error = nullptr);

    static quint32 loadAddress(const QByteArray &trailer);
    // The name field up to its first zero byte.
    static QByteArray name(const QByteArray &trailer);
    static quint32 byteSum(const QByteArray &bytes);
    static quint32 readU32(const QByteArray &bytes, int offset);

private:
    static int distanceOf(Form form);
};
