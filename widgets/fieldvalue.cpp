#include "fieldvalue.h"

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
    const QByteArray bytes = text.toUtf8();
    QString value;
    for (int i = bytes.size() - 1; i >= 0; --i)
        value += QString::number(static_cast<quint8>(bytes.at(i)), 16).rightJustified(2, QLatin1Char('0'));
    return value;
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
