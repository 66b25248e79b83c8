#pragma once

#include <QString>

#include "pagewire.h"

// Texts and values the scanning page's source files share. The button texts
// are also the page's states.
namespace ScanningPage {

constexpr uchar kDefaultSyncIndex = 0xFF;

inline const QString kStartScan = QStringLiteral("Start Scan");
inline const QString kStopScan = QStringLiteral("Stop Scan");
inline const QString kConnect = QStringLiteral("Connect");
inline const QString kCancel = QStringLiteral("Cancel");
inline const QString kDisconnect = QStringLiteral("Disconnect");
inline const QString kAutoConnect = QStringLiteral("Auto Connect");
inline const QString kCancelAutoConnect = QStringLiteral("Cancel Auto Connect");
inline const QString kStartSync = QStringLiteral("Start Sync");
inline const QString kCancelSync = QStringLiteral("Cancel Sync");

// The frame parsed and logged, for the handlers that have no status to check.
inline bool parsed(const PageWire &wire, const QByteArray &frame, PageWire::Fields *fields)
{
    return wire.check(frame, 0, QString(), fields, PageWire::Form().noStatus()) == PageWire::Succeeded;
}

} // namespace ScanningPage
