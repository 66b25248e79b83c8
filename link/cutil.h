#pragma once

#include "cfgtypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstring>

// Conversions between numbers, byte arrays and hexadecimal text used to fill
// and read message fields. Endian selector: 0 little-endian, 1 big-endian.
class CUtil : public QObject
{
    Q_OBJECT

public:
    static int arrayToValue(int endian, const QByteArray &array, quint64 *value);
    static QByteArray valueToArray(int endian, quint64 value, int length);
    static QByteArray fitArray(const QByteArray &array, int length);
    static quint16 byteAraryToShort(const QByteArray &array, int endian);
    static int cmpArray(const QByteArray &first, const QByteArray &second);
    static QString reverseString(const QString &text, int unit);
    static int findNameToUiElement(const QVector<UiComponentFields> &components, const QString &name,
                                   UiComponentFields *component);
    static int random(int lower, int upper);

    // Byte text for logs, tables and stored settings: lower-case hex pairs,
    // in the order the bytes came (AsSent) or last byte first (Reversed, how
    // a little-endian address or key is read), optionally joined by a separator.
    enum ByteOrder { AsSent, Reversed };
    static QString hexText(const QByteArray &bytes, ByteOrder order = AsSent, char separator = 0);
    // "c6:c5:c4:c3:c2:c1"; empty for no bytes.
    static QString colonHex(const QByteArray &bytes, ByteOrder order = AsSent);
    // hexText's pairs (in the order sent) appended to text without a temporary,
    // for lines built once per frame.
    static void appendHex(QString &text, const QByteArray &bytes, char separator = 0);
    // The same digits appended as bytes, for lines built without a QString.
    static void appendHex(QByteArray &text, const char *data, int size, char separator = 0);
    // The same digits written at out, which has room for them; returns the end.
    static char *writeHex(char *out, const char *data, int size, char separator = 0)
    {
        const char *pairs = hexPairs();
        for (int i = 0; i < size; ++i) {
            if (separator && i > 0)
                *out++ = separator;
            std::memcpy(out, pairs + 2 * uchar(data[i]), 2);
            out += 2;
        }
        return out;
    }
    // "00" to "ff", two characters a byte.
    static const char *hexPairs();
    // Hex text to bytes (QByteArray::fromHex): characters that are not hex
    // digits are skipped, and an odd count of digits reads with a leading
    // zero, as the command forms read hex text. Reversed: the last pair first.
    static QByteArray hexBytes(const QString &text, ByteOrder order = AsSent);
    // Whole pairs only: a last odd digit is dropped ("abc" is one byte, ab).
    static QByteArray hexPairBytes(const QString &text, ByteOrder order = AsSent);
    // The digit pairs of hex text as they stand (case kept), in order or last
    // pair first, optionally joined by a separator; a last odd digit is dropped.
    static QStringList hexPairs(const QString &digits, ByteOrder order = AsSent);
    static QString hexPairText(const QString &digits, ByteOrder order = AsSent, char separator = 0);
    // The little-endian unsigned value of up to 8 bytes; 0 for none or more than 8.
    static quint64 littleEndian(const QByteArray &bytes);
    // A field of back-to-back little-endian numbers `width` bytes wide (1 to
    // 8), e.g. a list of handles; a last partial number is left out.
    static QVector<quint64> littleEndianList(const QByteArray &bytes, int width);
    // The bytes as a copy shared by every holder when they are one byte or
    // zeros only (up to 8): a table of thousands of reports is mostly such
    // fields. Other bytes get their own copy.
    static QByteArray sharedBytes(const char *data, int size);

private:
    static bool s_seeded;
};
