#include "fieldvalue.h"

#include "cutil.h"
#include "cvalidatelineedit.h"

#include <QByteArray>

namespace FieldValue {

QString paddedHex(quint64 number, const QString &byteLength)
{
    return QString::number(number, 16).rightJustified(2 * int(byteLength.toUInt()), QLatin1Char('0'));
}

QString stringHex(const QString &text)
{
    // UTF-8 is the local 8-bit encoding here; the editor decodes with the same codec.
    return CUtil::hexText(text.toUtf8(), CUtil::Reversed);
}

QString unsignedStepsHex(const QString &text, const QString &step, const QString &byteLength)
{
    const double quotient = CValidateLineEdit::flooredQuotient(text.toDouble(), step.toDouble());
    const quint64 units = quotient <= 0 ? 0 : static_cast<quint64>(quotient);
    return paddedHex(units, byteLength);
}

QString signed16StepsHex(const QString &text, const QString &step, const QString &byteLength)
{
    const double quotient = CValidateLineEdit::flooredQuotient(text.toDouble(), step.toDouble());
    const qint64 wide = static_cast<qint64>(quotient);
    const quint16 low = static_cast<quint16>(static_cast<quint32>(static_cast<qint32>(wide)));
    return paddedHex(low, byteLength);
}

QString ofType(const QString &type, const QString &text, const QString &byteLength, const QString &step)
{
    if (type == QLatin1String("int"))
        return paddedHex(text.toULongLong(), byteLength);
    if (type == QLatin1String("hex"))
        return text.mid(2);
    if (type == QLatin1String("addr") || type == QLatin1String("littleEnd")) {
        QString digits = text;
        return digits.remove(QLatin1Char(':'));
    }
    if (type == QLatin1String("string"))
        return stringHex(text);
    if (type == QLatin1String("double"))
        return unsignedStepsHex(text, step, byteLength);
    if (type == QLatin1String("int16double"))
        return signed16StepsHex(text, step, byteLength);
    return QString();
}

} // namespace FieldValue
