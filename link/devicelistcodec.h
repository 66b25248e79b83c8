#pragma once

#include "devicelistentry.h"

#include <QByteArray>
#include <QVector>

// The records of the controller's list answers ("Get Whitelist", "Getting
// Bond List", "Get Periodic Adv List", "Get Rpa List"): a payload of whole
// fixed-size records, each cut into its entry's fields.
class DeviceListCodec
{
public:
    static constexpr int AddressRecordSize = 7;    // address 6, type 1
    static constexpr int PeriodicRecordSize = 8;   // address 6, type 1, SID 1
    static constexpr int ResolvingRecordSize = 40; // peer address 6, type 1, privacy mode 1, peer IRK 16, local IRK 16

    // False, with no entries, when the payload is not a whole number of records.
    static bool addressRecords(const QByteArray &payload, QVector<DeviceListEntry> *entries);
    static bool periodicRecords(const QByteArray &payload, QVector<DeviceListEntry> *entries);
    static bool resolvingRecords(const QByteArray &payload, QVector<DeviceRpaEntry> *entries);
};
