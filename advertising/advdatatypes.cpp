#include "advdatatypes.h"

#include "ccfgfileparse.h"
#include "cutil.h"

#include <QStringList>

namespace AdvDataTypes {

const QVector<AdvDataTypeInfo> &all()
{
    static const QVector<AdvDataTypeInfo> records =
        CCfgFileParse::instance()->m_advDataMap.value(QStringLiteral("advertising_data"));
    return records;
}

const AdvDataTypeInfo *first(const QString &title)
{
    for (const AdvDataTypeInfo &record : all()) {
        if (record.title == title)
            return &record;
    }
    return nullptr;
}

QByteArray pairsToBytes(const QString &digits)
{
    return CUtil::hexPairBytes(digits);
}

namespace {

// Each UUID of a list goes out least significant byte first.
QByteArray uuidListBytes(const QString &value)
{
    QByteArray bytes;
    for (QString part : value.split(QLatin1Char(','))) {
        part.remove(QLatin1Char(':'));
        // Pairs count from the last digit: a lone first digit is dropped.
        bytes += CUtil::hexPairBytes(part.mid(part.size() % 2), CUtil::Reversed);
    }
    return bytes;
}

} // namespace

QByteArray structureOf(const QString &title, const QString &value)
{
    const AdvDataTypeInfo *record = first(title);
    if (!record)
        return QByteArray();
    QByteArray body;
    if (record->type == QLatin1String("string")) {
        body = value.toLatin1();
    } else if (record->type == QLatin1String("littleEnd")) {
        // The custom type's row already holds whole structures.
        if (record->value.isEmpty())
            return pairsToBytes(value);
        body = pairsToBytes(value);
    } else if (record->type == QLatin1String("16bit") || record->type == QLatin1String("32bit")
               || record->type == QLatin1String("128bit")) {
        body = uuidListBytes(value);
    } else {
        return QByteArray();
    }
    QByteArray structure;
    structure.append(char(1 + body.size()));
    structure.append(char(record->value.toUInt(nullptr, 16)));
    return structure + body;
}

QString nameTooLongText()
{
    return QStringLiteral("The name cannot be longer than 254 bytes.");
}

} // namespace AdvDataTypes
