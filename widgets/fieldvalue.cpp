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

} // namespace FieldValue
