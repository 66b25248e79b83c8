#pragma once

#include <QString>

// Mode and pattern texts the three parameter forms share.
namespace AdvFormTexts {

inline QString nonDiscoverable() { return QStringLiteral("Non-discoverable mode"); }
inline QString generalDiscoverable() { return QStringLiteral("General-discoverable mode"); }
inline QString limitedDiscoverable() { return QStringLiteral("Limited-discoverable mode"); }
inline QString broadcaster() { return QStringLiteral("Broadcaster mode"); }
inline QString addressPattern() { return QStringLiteral("[0-9a-fA-F:]*"); }
inline QString zeroAddress() { return QStringLiteral("00:00:00:00:00:00"); }
inline QString zeroAddressValue() { return QStringLiteral("000000000000"); }
inline QString limitedDurationTip() { return QStringLiteral("unit:10ms, range:10ms to 180000ms"); }
inline QString generalDurationTip() { return QStringLiteral("unit:10ms, range: 0ms to 655350ms"); }
inline QString txPowerTip() { return QStringLiteral("unit: 1db, range: -127db to 127db"); }
inline QString limitedDurationText()
{
    return QStringLiteral("When Discovery Mode is Limited-discoverable mode, the duration should be less than 180s.");
}
inline QString filterPolicyText()
{
    return QStringLiteral("Filter policy can use only when Discovery Mode is Non-discoverable mode");
}
// Limited-discoverable advertising may last at most 180 s (units of 10 ms).
constexpr quint64 LimitedDurationUnits = 18000;

} // namespace AdvFormTexts
