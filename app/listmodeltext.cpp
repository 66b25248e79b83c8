#include "listmodeltext.h"

#if __has_include("logmanager.h")
#include "logmanager.h"
#define VANTORA_HAS_LOGMANAGER 1
#endif

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
#ifdef VANTORA_HAS_LOGMANAGER
    if (logger)
        logger->log(text, level);
#else
    Q_UNUSED(logger)
    Q_UNUSED(text)
    Q_UNUSED(level)
#endif
}

} // namespace ListModelText
