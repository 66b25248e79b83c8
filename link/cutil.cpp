#include "cutil.h"

#include <QVector>

#include <QTime>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

bool CUtil::s_seeded = false;

int CUtil::arrayToValue(int endian, const QByteArray &array, quint64 *value)
{
    if (array.size() > 8 || value == nullptr)
        return -1;
    *value = 0;
    if (endian != 0 && endian != 1)
        return -1;
    const int size = array.size();
    quint64 result = 0;
    for (int i = 0; i < size; ++i) {
        const int position = endian == 0 ? i : size - 1 - i;
        result |= quint64(quint8(array.at(position))) << (8 * i);
    }
    *value = result;
    return 0;
}

QByteArray CUtil::valueToArray(int endian, quint64 value, int length)
{
    if ((endian != 0 && endian != 1) || length <= 0)
        return QByteArray();
    QByteArray array(length, '\0');
    for (int i = 0; i < length && i < 8; ++i) {
        const int position = endian == 0 ? i : length - 1 - i;
        array[position] = char(value & 0xFF);
        value >>= 8;
    }
    return array;
}

QByteArray CUtil::fitArray(const QByteArray &array, int length)
{
    if (length <= 0)
        return QByteArray();
    QByteArray fitted = array.left(length);
    if (fitted.size() < length)
        fitted.append(QByteArray(length - fitted.size(), '\0'));
    return fitted;
}

quint16 CUtil::byteAraryToShort(const QByteArray &array, int endian)
{
    if (array.size() < 2 || endian != 0)
        return 0;
    return quint16(quint8(array.at(0)) | (quint8(array.at(1)) << 8));
}

int CUtil::cmpArray(const QByteArray &first, const QByteArray &second)
{
    if (first.size() != second.size())
        return -1;
    for (int i = 0; i < first.size(); ++i) {
        if (first.at(i) != second.at(i))
            return -1;
    }
    return 0;
}

QString CUtil::reverseString(const QString &text, int unit)
{
    if (unit < 1 || text.size() % unit != 0)
        return QStringLiteral("CUtil::reverseString");
    if (unit == 1) {
        QString reversed;
        reversed.reserve(text.size());
        for (int i = text.size() - 1; i >= 0; --i)
            reversed += text.at(i);
        return reversed;
    }
    QString result;
    result.reserve(text.size());
    for (int start = 0; start < text.size(); start += unit) {
        for (int i = start + unit - 1; i >= start; --i)
            result += text.at(i);
    }
    return result;
}

int CUtil::findNameToUiElement(const QVector<UiComponentFields> &components, const QString &name,
                               UiComponentFields *component)
{
    for (const UiComponentFields &candidate : components) {
        if (candidate.name == name) {
            if (component != nullptr)
                *component = candidate;
            return 0;
        }
    }
    return -1;
}

int CUtil::random(int lower, int upper)
{
    static std::minstd_rand generator;
    if (lower > upper)
        return -1;
    if (lower == upper)
        return lower;
    if (!s_seeded) {
        generator.seed(std::minstd_rand::result_type(QTime(0, 0).secsTo(QTime::currentTime())) + 1);
        s_seeded = true;
    }
    const qint64 span = qint64(upper) - qint64(lower);
    return int(qint64(lower) + qint64(generator() % quint64(span)));
}

QString CUtil::hexText(const QByteArray &bytes, ByteOrder order, char separator)
{
    QByteArray ordered = bytes;
    if (order == Reversed)
        std::reverse(ordered.begin(), ordered.end());
    return QString::fromLatin1(separator ? ordered.toHex(separator) : ordered.toHex());
}

QString CUtil::colonHex(const QByteArray &bytes, ByteOrder order)
{
    return hexText(bytes, order, ':');
}

void CUtil::appendHex(QString &text, const QByteArray &bytes, char separator)
{
    static const char digits[] = "0123456789abcdef";
    if (bytes.isEmpty())
        return;
    const int pairs = bytes.size();
    const int start = text.size();
    text.resize(start + pairs * 2 + (separator ? pairs - 1 : 0));
    QChar *out = text.data() + start;
    for (int i = 0; i < pairs; ++i) {
        if (separator && i > 0)
            *out++ = QLatin1Char(separator);
        const uchar byte = uchar(bytes.at(i));
        *out++ = QLatin1Char(digits[byte >> 4]);
        *out++ = QLatin1Char(digits[byte & 0x0F]);
    }
}

const char *CUtil::hexPairs()
{
    static const struct Pairs
    {
        char text[512];
        Pairs()
        {
            static const char digits[] = "0123456789abcdef";
            for (int byte = 0; byte < 256; ++byte) {
                text[2 * byte] = digits[byte >> 4];
                text[2 * byte + 1] = digits[byte & 0x0F];
            }
        }
    } pairs;
    return pairs.text;
}

void CUtil::appendHex(QByteArray &text, const char *data, int size, char separator)
{
    if (size <= 0)
        return;
    const int start = text.size();
    text.resize(start + size * 2 + (separator ? size - 1 : 0));
    writeHex(text.data() + start, data, size, separator);
}

quint64 CUtil::littleEndian(const QByteArray &bytes)
{
    quint64 value = 0;
    return arrayToValue(0, bytes, &value) == 0 ? value : 0;
}

QByteArray CUtil::sharedBytes(const char *data, int size)
{
    static const QVector<QByteArray> singles = [] {
        QVector<QByteArray> all;
        all.reserve(256);
        for (int i = 0; i < 256; ++i)
            all.append(QByteArray(1, char(i)));
        return all;
    }();
    static const QVector<QByteArray> zeros = [] {
        QVector<QByteArray> all;
        for (int size = 0; size <= 8; ++size)
            all.append(QByteArray(size, '\0'));
        return all;
    }();
    if (size == 1)
        return singles.at(uchar(data[0]));
    if (size >= 0 && size <= 8 && std::all_of(data, data + size, [](char c) { return c == 0; }))
        return zeros.at(size);
    return QByteArray(data, size);
}

QVector<quint64> CUtil::littleEndianList(const QByteArray &bytes, int width)
{
    QVector<quint64> numbers;
    if (width < 1 || width > 8)
        return numbers;
    numbers.reserve(bytes.size() / width);
    for (int at = 0; at + width <= bytes.size(); at += width)
        numbers << littleEndian(bytes.mid(at, width));
    return numbers;
}

namespace {

QString hexDigitsOnly(const QString &text)
{
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (isxdigit(c.unicode() < 0x80 ? c.toLatin1() : 0))
            digits += c;
    }
    return digits;
}

QByteArray inOrder(QByteArray bytes, CUtil::ByteOrder order)
{
    if (order == CUtil::Reversed)
        std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

} // namespace

QByteArray CUtil::hexBytes(const QString &text, ByteOrder order)
{
    return inOrder(QByteArray::fromHex(hexDigitsOnly(text).toLatin1()), order);
}

QByteArray CUtil::hexPairBytes(const QString &text, ByteOrder order)
{
    QString digits = hexDigitsOnly(text);
    if (digits.size() % 2 != 0)
        digits.chop(1);
    return inOrder(QByteArray::fromHex(digits.toLatin1()), order);
}

QStringList CUtil::hexPairs(const QString &digits, ByteOrder order)
{
    QStringList pairs;
    pairs.reserve(digits.size() / 2);
    for (int i = 0; i + 1 < digits.size(); i += 2)
        pairs << digits.mid(i, 2);
    if (order == Reversed)
        std::reverse(pairs.begin(), pairs.end());
    return pairs;
}

QString CUtil::hexPairText(const QString &digits, ByteOrder order, char separator)
{
    const QStringList pairs = hexPairs(digits, order);
    return separator ? pairs.join(QLatin1Char(separator)) : pairs.join(QString());
}
