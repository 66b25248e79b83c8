#include "cvalidatelineedit.h"

#include "cutil.h"
#include "fieldvalue.h"
#include "inputrefusal.h"
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

bool isHexDigits(const QString &text)
{
    static const QRegExp digits(QStringLiteral("[0-9a-fA-F]*"));
    return digits.exactMatch(text);
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
    // A text that cannot be sent stays as typed: its sender refuses it with
    // a word instead of having it clamped, cut or padded out of sight.
    if (!isAcceptable())
        return;
    const QString current = text();
    if (m_subType == QLatin1String("double") || m_subType == QLatin1String("int16double")) {
        double value = 0.0;
        scaledValue(&value);
        setText(QString::number(value, 'f', m_precision.toInt()));
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
        setText(CUtil::hexPairText(withoutColons(current), CUtil::AsSent, ':'));
    } else if (m_subType == QLatin1String("littleEnd")) {
        // A fixed-width field is filled with zero bytes after what was typed.
        setText(CUtil::hexPairText(withoutColons(current).leftJustified(littleEndDigits(), QLatin1Char('0')),
                                   CUtil::AsSent, ':'));
    } else if (uuidGroupSize() != 0) {
        const int width = uuidGroupSize();
        QStringList parts = withoutColons(current).split(QLatin1Char(','));
        for (QString &part : parts)
            part = CUtil::hexPairText(part.rightJustified(width, QLatin1Char('0')), CUtil::AsSent, ':');
        setText(parts.join(QLatin1Char(',')));
    }
}

int CValidateLineEdit::littleEndDigits() const
{
    const int length = m_length.toInt();
    return length == 0 ? 0 : 2 * ((length + 1) / 3);
}

bool CValidateLineEdit::scaledValue(double *value) const
{
    bool ok = false;
    const double typed = text().toDouble(&ok);
    if (!ok || !std::isfinite(typed))
        return false;
    if ((!m_min.isEmpty() && typed < m_min.toDouble()) || (!m_max.isEmpty() && typed > m_max.toDouble()))
        return false;
    // Without a usable step no value can be sent for what is shown.
    const double step = m_step.toDouble();
    if (!(step > 0.0) || !std::isfinite(step))
        return false;
    const double whole = flooredQuotient(typed, step) * step;
    // Typed decimals are far coarser than this; a value between two steps is not.
    if (std::fabs(whole - typed) > 1e-9 * std::max(1.0, std::fabs(typed)))
        return false;
    *value = whole;
    return true;
}

bool CValidateLineEdit::isAcceptable() const
{
    const QString current = text();
    if (m_subType == QLatin1String("int") || m_subType == QLatin1String("int8")) {
        bool ok = false;
        const qint64 value = current.toLongLong(&ok);
        return ok && (m_min.isEmpty() || value >= m_min.toLongLong())
               && (m_max.isEmpty() || value <= m_max.toLongLong());
    }
    if (m_subType == QLatin1String("double") || m_subType == QLatin1String("int16double")) {
        double value = 0.0;
        return scaledValue(&value);
    }
    if (m_subType == QLatin1String("addr")) {
        const QString digits = withoutColons(current);
        return digits.size() == 12 && isHexDigits(digits);
    }
    if (m_subType == QLatin1String("littleEnd")) {
        const QString digits = withoutColons(current);
        const int wanted = littleEndDigits();
        return digits.size() % 2 == 0 && (wanted == 0 || digits.size() <= wanted) && isHexDigits(digits);
    }
    return true;
}

QString CValidateLineEdit::expectedInput() const
{
    const auto range = [](const QString &kind, const QString &min, const QString &max) {
        if (!min.isEmpty() && !max.isEmpty())
            return QStringLiteral("%1 from %2 to %3").arg(kind, min, max);
        if (!min.isEmpty())
            return QStringLiteral("%1 of at least %2").arg(kind, min);
        if (!max.isEmpty())
            return QStringLiteral("%1 of at most %2").arg(kind, max);
        return kind;
    };
    if (m_subType == QLatin1String("int") || m_subType == QLatin1String("int8"))
        return range(QStringLiteral("a whole number"), m_min, m_max);
    if (m_subType == QLatin1String("double") || m_subType == QLatin1String("int16double")) {
        // Bounds as the field shows its numbers.
        const auto shown = [this](const QString &bound) {
            return bound.isEmpty() ? bound : QString::number(bound.toDouble(), 'f', m_precision.toInt());
        };
        QString text = range(QStringLiteral("a number"), shown(m_min), shown(m_max));
        if (m_step.toDouble() > 0.0)
            text += QStringLiteral(" in steps of ") + m_step;
        return text;
    }
    if (m_subType == QLatin1String("addr"))
        return QStringLiteral("six bytes in hexadecimal, as 11:22:33:44:55:66");
    if (m_subType == QLatin1String("littleEnd")) {
        const int wanted = littleEndDigits();
        if (wanted == 0)
            return QStringLiteral("whole bytes in hexadecimal, two digits a byte");
        return wanted == 2 ? QStringLiteral("one byte in hexadecimal, two digits")
                           : QStringLiteral("at most %1 bytes in hexadecimal, two digits a byte").arg(wanted / 2);
    }
    return QString();
}

bool CValidateLineEdit::acceptTyped(const QString &fieldTitle)
{
    return isAcceptable() || InputRefusal::tell(this, fieldTitle, text(), expectedInput());
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
