#include "cvalidatelineedit.h"

#include "cutil.h"
#include "fieldvalue.h"
#include "textfit.h"

#include <QIntValidator>
#include <QLocale>
#include <QRegExp>
#include <QRegExpValidator>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

const char STRING_PLACEHOLDER[] = "Default Name(String)";

QStringList splitEvery(const QString &text, int size)
{
    QStringList groups;
    for (int i = 0; i < text.size(); i += size)
        groups << text.mid(i, size);
    return groups;
}

QString withoutColons(QString text)
{
    return text.remove(QLatin1Char(':'));
}

// Reads a whole text as one unsigned hexadecimal number; 0 when it does not parse.
quint64 hexNumber(const QString &text, bool *ok = nullptr)
{
    bool parsed = false;
    const quint64 value = text.toULongLong(&parsed, 16);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

} // namespace

CValidateLineEdit::CValidateLineEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_regExpValidator(new QRegExpValidator(this))
    , m_intValidator(new QIntValidator(this))
{
    TextFit::keepWhole(this);
    // Plain decimal digits only: a group separator would pass the validator
    // and then read as no number at all.
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    m_intValidator->setLocale(plain);
}

double CValidateLineEdit::flooredQuotient(double value, double step)
{
    const double quotient = value / step;
    // A description without a usable step gives no number of units; never
    // hand infinity or NaN to an integer conversion.
    if (!std::isfinite(quotient))
        return 0.0;
    const double nearest = std::round(quotient);
    // A few units in the last place: far below any step the descriptions use,
    // well above the error of one division.
    const double tolerance = 1e-9 * std::max(1.0, std::fabs(quotient));
    if (std::fabs(quotient - nearest) <= tolerance)
        return nearest;
    return std::floor(quotient);
}

void CValidateLineEdit::resetType()
{
    m_min.clear();
    m_max.clear();
    m_initial.clear();
    m_length.clear();
    m_step.clear();
    m_precision.clear();
    m_subType.clear();
    setValidator(nullptr);
    setMaxLength(255);
    setPlaceholderText(QString());
    disconnect(this, &QLineEdit::textEdited, this, &CValidateLineEdit::on_hexTextEdited);
    disconnect(this, &QLineEdit::textEdited, this, &CValidateLineEdit::on_stringTextEdit);
    disconnect(this, &QLineEdit::textEdited, this, &CValidateLineEdit::on_advDataTextEdited);
}

void CValidateLineEdit::installRegExp(const QString &regExp)
{
    m_regExpValidator->setRegExp(QRegExp(regExp));
    setValidator(m_regExpValidator);
}

bool CValidateLineEdit::matchesRegExp(const QString &text, const QString &regExp) const
{
    return QRegExp(regExp).exactMatch(text);
}

QString CValidateLineEdit::colonDefault(const QString &maxLength) const
{
    const int pairs = (maxLength.toInt() + 1) / 3;
    QString text = QStringLiteral("00:").repeated(pairs);
    text.chop(1);
    return text;
}

QString CValidateLineEdit::matchingOrColonDefault(const QString &defaultValue,
                                                  const QString &regExp,
                                                  const QString &maxLength) const
{
    if (!defaultValue.isEmpty() && matchesRegExp(defaultValue, regExp))
        return defaultValue;
    return colonDefault(maxLength);
}

int CValidateLineEdit::uuidGroupSize() const
{
    if (m_subType == QLatin1String("16bit"))
        return 4;
    if (m_subType == QLatin1String("32bit"))
        return 8;
    if (m_subType == QLatin1String("128bit"))
        return 32;
    return 0;
}

void CValidateLineEdit::setRangeType(const QString &subType, const QString &min,
                                     const QString &max, const QString &length)
{
    resetType();
    m_subType = subType;
    m_min = min;
    m_max = max;
    m_length = length;
    m_intValidator->setRange(min.toInt(), max.toInt());
    setValidator(m_intValidator);
}

void CValidateLineEdit::setScaledType(const QString &subType, const QString &min,
                                      const QString &max, const QString &singleStep,
                                      const QString &precision, const QString &length,
                                      const QString &integerPattern, const QString &defaultValue)
{
    resetType();
    m_subType = subType;
    m_min = min;
    m_max = max;
    m_step = singleStep;
    m_precision = precision;
    m_length = length;
    installRegExp(integerPattern + QStringLiteral("\\.[0-9]{") + precision + QStringLiteral("}"));
    m_initial = defaultValue;
    setText(m_initial);
}

void CValidateLineEdit::setIntType(const QString &min, const QString &max, const QString &length,
                                   const QString &defaultValue)
{
    setRangeType(QStringLiteral("int"), min, max, length);
    m_initial = defaultValue.isEmpty() ? min : defaultValue;
    setText(m_initial);
}

void CValidateLineEdit::setInt8Type(const QString &min, const QString &max, const QString &length,
                                    const QString &defaultValue)
{
    setRangeType(QStringLiteral("int8"), min, max, length);
    m_initial = defaultValue;
    setText(m_initial);
}

void CValidateLineEdit::setDoubleType(const QString &min, const QString &max,
                                      const QString &singleStep, const QString &precision,
                                      const QString &length, const QString &defaultValue)
{
    setScaledType(QStringLiteral("double"), min, max, singleStep, precision, length,
                  QStringLiteral("[0-9]+"), defaultValue);
}

void CValidateLineEdit::setInt16DoubleType(const QString &min, const QString &max,
                                           const QString &singleStep, const QString &precision,
                                           const QString &length, const QString &defaultValue)
{
    setScaledType(QStringLiteral("int16double"), min, max, singleStep, precision, length,
                  QStringLiteral("^[\\-|0-9][0-9]*"), defaultValue);
}

void CValidateLineEdit::setHexType(const QString &maxLength, const QString &min,
                                   const QString & /*max*/, const QString &defaultValue,
                                   const QString &regExp)
{
    resetType();
    m_subType = QStringLiteral("hex");
    m_length = maxLength;
    m_min = min;
    installRegExp(regExp);
    const int length = maxLength.toInt();
    setMaxLength(length == 0 ? 34 : length);
    if (!defaultValue.isEmpty() && matchesRegExp(defaultValue, regExp))
        m_initial = defaultValue;
    else if (!min.isEmpty() && matchesRegExp(min, regExp))
        m_initial = min;
    else if (length == 0)
        m_initial = QStringLiteral("0x00");
    else
        m_initial = QStringLiteral("0x") + QString(std::max(0, length - 2), QLatin1Char('0'));
    setText(m_initial);
    connect(this, &QLineEdit::textEdited, this, &CValidateLineEdit::on_hexTextEdited);
}

void CValidateLineEdit::setColonType(const QString &subType, const QString &maxLength,
                                     const QString &defaultValue, const QString &regExp,
                                     int maxChars)
{
    resetType();
    m_subType = subType;
    m_length = maxLength;
    installRegExp(regExp);
    setMaxLength(maxChars);
    m_initial = matchingOrColonDefault(defaultValue, regExp, maxLength);
    setText(m_initial);
}

void CValidateLineEdit::setAddrType(const QString &maxLength, const QString &defaultValue,
                                    const QString &regExp)
{
    setColonType(QStringLiteral("addr"), maxLength, defaultValue, regExp, maxLength.toInt());
}

void CValidateLineEdit::setUuidType(const QString &maxLength, const QString &defaultValue,
                                    const QString &regExp)
{
    QString subType;
    if (maxLength == QLatin1String("5"))
        subType = QStringLiteral("16bit");
    else if (maxLength == QLatin1String("11"))
        subType = QStringLiteral("32bit");
    else if (maxLength == QLatin1String("47"))
        subType = QStringLiteral("128bit");
    // A list of UUIDs may be longer than its maxLength: the default limit stays.
    setColonType(subType, maxLength, defaultValue, regExp, 255);
    connect(this, &QLineEdit::textEdited, this, &CValidateLineEdit::on_advDataTextEdited);
}

void CValidateLineEdit::setLittleEndType(const QString &maxLength, const QString &defaultValue,
                                         const QString &regExp)
{
    const int length = maxLength.toInt();
    setColonType(QStringLiteral("littleEnd"), maxLength, defaultValue, regExp,
                 length == 0 ? 5000 : length);
}

void CValidateLineEdit::setStringType(const QString &defaultValue, const QString &maxLength)
{
    resetType();
    m_subType = QStringLiteral("string");
    m_length = maxLength;
    setMaxLength(maxLength.toInt());
    if (!defaultValue.isEmpty() && defaultValue.size() < maxLength.toInt()) {
        m_initial = defaultValue;
    } else {
        m_initial.clear();
        setPlaceholderText(QString::fromLatin1(STRING_PLACEHOLDER));
    }
    setText(m_initial);
    connect(this, &QLineEdit::textEdited, this, &CValidateLineEdit::on_stringTextEdit);
}

QString CValidateLineEdit::getSubType() const
{
    return m_subType;
}

void CValidateLineEdit::on_hexTextEdited(const QString &text)
{
    if (text.size() < 2)
        setText(QStringLiteral("0x"));
}

void CValidateLineEdit::on_stringTextEdit(const QString &text)
{
    if (text.isEmpty())
        setPlaceholderText(QString::fromLatin1(STRING_PLACEHOLDER));
}

void CValidateLineEdit::on_advDataTextEdited(const QString &text)
{
    const int group = uuidGroupSize();
    if (group == 0)
        return;
    QString cleaned = text;
    cleaned.remove(QLatin1Char(',')).remove(QLatin1Char(':'));
    if (cleaned.size() < group)
        return;
    setText(splitEvery(cleaned, group).join(QLatin1Char(',')));
}

void CValidateLineEdit::normalizeText()
{
    const QString current = text();
    if (m_subType == QLatin1String("int") || m_subType == QLatin1String("int8")) {
        const qint64 value = current.toLongLong();
        if (value <= m_min.toLongLong())
            setText(m_min);
        // The integer validator lets a text of the maximum's digit count
        // through (65536 against 65535), so the maximum is enforced here.
        else if (!m_max.isEmpty() && value > m_max.toLongLong())
            setText(m_max);
    } else if (m_subType == QLatin1String("double") || m_subType == QLatin1String("int16double")) {
        const double value = current.toDouble();
        const double min = m_min.toDouble();
        const double max = m_max.toDouble();
        const double step = m_step.toDouble();
        double result;
        if (value < min)
            result = min;
        else if (value > max)
            result = max;
        else
            result = flooredQuotient(value, step) * step;
        setText(QString::number(result, 'f', m_precision.toInt()));
    } else if (m_subType == QLatin1String("hex")) {
        QString hex = current;
        if (!hex.startsWith(QLatin1String("0x")))
            hex.prepend(QStringLiteral("0x"));
        const int length = m_length.toInt();
        if (length == 0) {
            if (hex == QLatin1String("0x"))
                hex = QStringLiteral("0x00");
            else if (hex.size() % 2 != 0)
                hex.insert(2, QLatin1Char('0'));
        } else {
            while (hex.size() < length)
                hex.insert(2, QLatin1Char('0'));
        }
        if (hex != current)
            setText(hex);
    } else if (m_subType == QLatin1String("addr")) {
        QString digits = withoutColons(current);
        if (digits.size() > 12)
            setText(QStringLiteral("00:00:00:00:00:00"));
        else
            setText(CUtil::hexPairText(digits.leftJustified(12, QLatin1Char('0')), CUtil::AsSent, ':'));
    } else if (m_subType == QLatin1String("littleEnd")) {
        QString digits = withoutColons(current);
        const int length = m_length.toInt();
        if (length != 0) {
            const int wanted = 2 * ((length + 1) / 3);
            digits = digits.leftJustified(wanted, QLatin1Char('0'), true);
        } else if (digits.size() % 2 != 0) {
            digits.append(QLatin1Char('0'));
        }
        setText(CUtil::hexPairText(digits, CUtil::AsSent, ':'));
    } else if (uuidGroupSize() != 0) {
        const int width = uuidGroupSize();
        QStringList parts = withoutColons(current).split(QLatin1Char(','));
        for (QString &part : parts)
            part = CUtil::hexPairText(part.rightJustified(width, QLatin1Char('0')), CUtil::AsSent, ':');
        setText(parts.join(QLatin1Char(',')));
    }
}

QString CValidateLineEdit::getValue()
{
    normalizeText();
    const QString current = text();
    if (m_subType == QLatin1String("int")) {
        const qint64 number = current.toLongLong();
        quint64 bits = static_cast<quint64>(number);
        // A negative number is written as the two's complement of the field's width.
        const uint length = m_length.toUInt();
        if (number < 0 && length > 0 && length < 8)
            bits &= (quint64(1) << (8 * length)) - 1;
        return FieldValue::paddedHex(bits, m_length);
    }
    if (m_subType == QLatin1String("int8")) {
        const quint8 low = static_cast<quint8>(current.toLongLong() & 0xff);
        return QString::number(low, 16).rightJustified(2, QLatin1Char('0'));
    }
    if (m_subType == QLatin1String("double"))
        return FieldValue::unsignedStepsHex(current, m_step, m_length);
    if (m_subType == QLatin1String("int16double"))
        return FieldValue::signed16StepsHex(current, m_step, m_length);
    if (m_subType == QLatin1String("string"))
        return FieldValue::stringHex(current);
    if (m_subType == QLatin1String("hex")) {
        QString digits = current;
        return digits.remove(QStringLiteral("0x"));
    }
    if (m_subType == QLatin1String("littleEnd"))
        return CUtil::hexPairText(withoutColons(current), CUtil::Reversed);
    if (uuidGroupSize() != 0)
        return current;
    return withoutColons(current);
}

void CValidateLineEdit::setValue(const QString &value)
{
    if (m_subType == QLatin1String("int")) {
        bool ok = false;
        const uint number = value.toUInt(&ok, 16);
        setText(QString::number(ok ? number : 0u));
    } else if (m_subType == QLatin1String("int8")) {
        const qint8 byte = static_cast<qint8>(static_cast<quint8>(hexNumber(value) & 0xff));
        setText(QString::number(byte));
    } else if (m_subType == QLatin1String("double")) {
        const double shown = static_cast<double>(hexNumber(value)) * m_step.toDouble();
        setText(QString::number(shown, 'f', m_precision.toInt()));
    } else if (m_subType == QLatin1String("int16double")) {
        bool ok = false;
        const ushort raw = value.toUShort(&ok, 16);
        const qint16 number = static_cast<qint16>(ok ? raw : 0);
        setText(QString::number(number * m_step.toDouble(), 'f', m_precision.toInt()));
    } else if (m_subType == QLatin1String("string")) {
        setText(QString::fromUtf8(CUtil::hexPairBytes(value, CUtil::Reversed)));
    } else if (m_subType == QLatin1String("hex")) {
        const int length = m_length.toInt();
        const QString digits = length == 0 ? value : value.rightJustified(length - 2, QLatin1Char('0'));
        setText(QStringLiteral("0x") + digits);
    } else if (m_subType == QLatin1String("addr")) {
        setText(CUtil::hexPairText(value, CUtil::AsSent, ':'));
    } else if (m_subType == QLatin1String("littleEnd")) {
        setText(CUtil::hexPairText(value, CUtil::Reversed, ':'));
    }
}

void CValidateLineEdit::focusOutEvent(QFocusEvent *event)
{
    normalizeText();
    QLineEdit::focusOutEvent(event);
}
