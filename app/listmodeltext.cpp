#include "listmodeltext.h"

#include "logmanager.h"

namespace ListModelText {

QString reversedColonHex(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size() * 3);
    for (int i = bytes.size() - 1; i >= 0; --i) {
        if (!text.isEmpty())
            text += QLatin1Char(':');
        text += QStringLiteral("%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0'));
    }
    return text;
}

QString lowerAddressType(const QByteArray &type)
{
    if (type.size() != 1)
        return QString();
    switch (uchar(type.at(0))) {
    case 0:
        return QStringLiteral("public");
    case 1:
        return QStringLiteral("random");
    default:
        return QString();
    }
}

void log(LogManager *logger, const QString &text, int level)
{
    if (logger)
        logger->log(text, level);
}

} // namespace ListModelText
