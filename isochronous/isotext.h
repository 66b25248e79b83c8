#pragma once

#include <QString>

// Display texts of the coded values the isochronous tables share. A text
// that is no known code shows as an empty cell.
class IsoText
{
public:
    static QString sca(const QString &code);
    static QString packing(const QString &code);
    static QString framing(const QString &code);
    static QString phy(const QString &code);
};
