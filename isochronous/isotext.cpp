#include "isotext.h"

#include <QStringList>

namespace {

QString pick(const QString &code, const QStringList &texts)
{
    bool ok = false;
    const int value = code.toInt(&ok, 10);
    return ok && value >= 0 && value < texts.size() ? texts.at(value) : QString();
}

} // namespace

QString IsoText::sca(const QString &code)
{
    static const QStringList texts = {
        QStringLiteral("251 ppm to 500 ppm"), QStringLiteral("151 ppm to 250 ppm"),
        QStringLiteral("101 ppm to 150 ppm"), QStringLiteral("76 ppm to 100 ppm"),
        QStringLiteral("51 ppm to 75 ppm"),   QStringLiteral("31 ppm to 50 ppm"),
        QStringLiteral("21 ppm to 30 ppm"),   QStringLiteral("0 ppm to 20 ppm"),
    };
    return pick(code, texts);
}

QString IsoText::packing(const QString &code)
{
    return pick(code, {QStringLiteral("Sequential"), QStringLiteral("Interleaved")});
}

QString IsoText::framing(const QString &code)
{
    return pick(code, {QStringLiteral("Unframed"), QStringLiteral("Framed")});
}

QString IsoText::phy(const QString &code)
{
    // PHY codes are bits: 1, 2 and 4.
    return pick(code, {QString(), QStringLiteral("LE 1M"), QStringLiteral("LE 2M"), QString(),
                       QStringLiteral("LE Coded")});
}
