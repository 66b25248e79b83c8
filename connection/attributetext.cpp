#include "attributetext.h"

#include "ccommand.h"
#include "cutil.h"
#include "gattrecordcodec.h"

#include <QMetaEnum>

#include <algorithm>

namespace AttributeText {

bool isUuid16(const QByteArray &uuid, quint16 uuid16)
{
    // Called for every row of every rebuild: compare in place.
    if (uuid.size() != 16 || quint8(uuid.at(0)) != (uuid16 & 0xFF) || quint8(uuid.at(1)) != (uuid16 >> 8))
        return false;
    for (int i = 2; i < 16; ++i) {
        if (uuid.at(i) != 0)
            return false;
    }
    return true;
}

void setShortUuid(AttributeInfo *record, const QByteArray &uuid, int namedUpTo)
{
    record->uuid = uuid;
    if (uuid.size() <= namedUpTo) {
        quint64 number = 0;
        CUtil::arrayToValue(0, uuid, &number);
        record->uuidDescription = CCommand::enumText("en_UUID", int(quint32(number)));
    }
    if (uuid.size() < 16) {
        // Padded in one allocation: the flat list builds every value row
        // again after each burst of discovery results.
        QByteArray padded(16, '\0');
        std::copy(uuid.cbegin(), uuid.cend(), padded.begin());
        record->uuid = padded;
    }
}

QString handleText(quint16 handle)
{
    return QStringLiteral("0x%1").arg(handle, 4, 16, QLatin1Char('0'));
}

QString uuidText(const QByteArray &uuid)
{
    return CCommand::uuidBytesToString(uuid);
}

QString valueText(const QByteArray &value)
{
    return QString::fromLatin1(value.toHex(':'));
}

QString propertyNames(uint8_t properties, const QString &separator)
{
    const QMetaEnum names = QMetaEnum::fromType<CCommand::en_PROPERTYES>();
    QStringList set;
    for (int i = 0; i < names.keyCount(); ++i) {
        if (properties & names.value(i))
            set << QString::fromLatin1(names.key(i)).replace(QLatin1Char('_'), QLatin1Char(' '));
    }
    return set.join(separator);
}

namespace {

// The display texts are written in upper case rather than converted: every
// fit of the columns to their cells asks for each of them.
constexpr char UpperDigits[] = "0123456789ABCDEF";

// handleText in upper case.
QString upperHandleText(quint16 handle)
{
    QString text(6, Qt::Uninitialized);
    QChar *out = text.data();
    out[0] = QLatin1Char('0');
    out[1] = QLatin1Char('X');
    for (int i = 0; i < 4; ++i)
        out[2 + i] = QLatin1Char(UpperDigits[(handle >> (12 - 4 * i)) & 0x0F]);
    return text;
}

// uuidText in upper case: the significant bytes, most significant first,
// at least four digits.
QString upperUuidText(const QByteArray &uuid)
{
    int end = uuid.size();
    while (end > 0 && uuid.at(end - 1) == 0)
        --end;
    const int digits = qMax(4, end * 2);
    QString text(2 + digits, QLatin1Char('0'));
    QChar *out = text.data();
    out[1] = QLatin1Char('X');
    out += 2 + digits - end * 2;
    for (int i = end - 1; i >= 0; --i) {
        const uchar byte = uchar(uuid.at(i));
        *out++ = QLatin1Char(UpperDigits[byte >> 4]);
        *out++ = QLatin1Char(UpperDigits[byte & 0x0F]);
    }
    return text;
}

// Upper-case display text; the Properties column's tool tip differs from it.
QVariant cellText(const AttributeInfo &record, int column, bool toolTip)
{
    switch (column) {
    case 0:
        return upperHandleText(record.handle);
    case 1:
        return upperUuidText(record.uuid);
    case 2:
        return record.uuidDescription;
    case 3:
        return QString::fromLatin1(record.value.toHex(':').toUpper());
    case 4:
        if (record.properties == 0)
            return toolTip ? QVariant() : QVariant(QString());
        if (toolTip)
            return propertyNames(record.properties, QStringLiteral(" | "));
        return QStringLiteral("0x%1").arg(record.properties, 2, 16, QLatin1Char('0'));
    default:
        return QVariant();
    }
}

} // namespace

QVariant cellData(const AttributeInfo &record, int column, int role)
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(record, column, role == Qt::ToolTipRole);
    case Qt::ForegroundRole:
        return column == 3 ? QVariant(record.valueColor) : QVariant();
    default:
        return QVariant();
    }
}

QVariant headerData(int section, Qt::Orientation orientation, int role)
{
    static const char *const titles[] = {"Handle", "UUID", "UUID Description", "Value", "Properties"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QVariant();
    return QString::fromLatin1(titles[section]);
}

bool characteristicValueRecord(const AttributeInfo &declaration, AttributeInfo *record)
{
    const auto value = GattRecordCodec::characteristicValue(declaration.value);
    if (!value)
        return false;
    AttributeInfo built;
    built.handle = value->handle;
    setShortUuid(&built, value->uuid, 2);
    built.properties = value->properties;
    *record = built;
    return true;
}

} // namespace AttributeText
