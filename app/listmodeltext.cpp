#include "listmodeltext.h"

#include "cutil.h"
#include "logmanager.h"

namespace ListModelText {

QString reversedColonHex(const QByteArray &bytes)
{
    return CUtil::colonHex(bytes, CUtil::Reversed);
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
