#pragma once

#include <QByteArray>
#include <QString>

class LogManager;

// Text helpers shared by the scanning page's table models.
namespace ListModelText {

// Bytes received least significant first, shown most significant first:
// 11 22 33 44 55 66 reads "66:55:44:33:22:11".
QString reversedColonHex(const QByteArray &bytes);

// 0 "public", 1 "random", anything else empty.
QString lowerAddressType(const QByteArray &type);

// A log line through the dongle's log manager; nothing without one.
void log(LogManager *logger, const QString &text, int level);

} // namespace ListModelText
