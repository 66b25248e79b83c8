#pragma once

#include <QString>
#include <QStringList>

// The three kinds of advertising set, by the names the page shows.
namespace AdvertisingTypes {

inline QString legacy() { return QStringLiteral("Legacy Advertising"); }
inline QString extended() { return QStringLiteral("Extended Advertising"); }
inline QString periodic() { return QStringLiteral("Periodic Advertising"); }
inline QStringList all() { return {legacy(), extended(), periodic()}; }

} // namespace AdvertisingTypes
