#include "gattexport.h"

#include "attributetext.h"

#include <QStringList>

namespace GattExport {

QString cell(const QString &text)
{
    QString value = text;
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!value.isEmpty() && formulaStarts.contains(value.at(0)))
        value.prepend(QLatin1Char('\''));
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\n'))
        || value.contains(QLatin1Char('\r'))) {
        value.replace(QLatin1String("\""), QLatin1String("\"\""));
        value = QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value;
}

QByteArray csv(const QVector<AttributeInfo> &rows)
{
    QByteArray out = "Handle,UUID,UUID Description,Value,Properties\n";
    for (const AttributeInfo &row : rows) {
        const QStringList cells{
            AttributeText::handleText(row.handle),
            AttributeText::uuidText(row.uuid),
            row.uuidDescription,
            AttributeText::valueText(row.value),
            row.properties ? QStringLiteral("0x%1").arg(row.properties, 2, 16, QLatin1Char('0')) : QString(),
        };
        QStringList line;
        for (const QString &text : cells)
            line << cell(text);
        out += line.join(QLatin1Char(',')).toUtf8();
        out += '\n';
    }
    return out;
}

} // namespace GattExport
