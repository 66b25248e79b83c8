#include "devicelistcodec.h"

namespace {

// Calls take(record) for each record; false when the payload does not split evenly.
template <typename Take>
bool splitRecords(const QByteArray &payload, int recordSize, Take take)
{
    if (payload.size() % recordSize != 0)
        return false;
    for (int offset = 0; offset < payload.size(); offset += recordSize)
        take(payload.mid(offset, recordSize));
    return true;
}

} // namespace

bool DeviceListCodec::addressRecords(const QByteArray &payload, QVector<DeviceListEntry> *entries)
{
    entries->clear();
    return splitRecords(payload, AddressRecordSize, [entries](const QByteArray &record) {
        DeviceListEntry entry;
        entry.addr = record.mid(0, 6);
        entry.addrType = record.mid(6, 1);
        entries->append(entry);
    });
}

bool DeviceListCodec::periodicRecords(const QByteArray &payload, QVector<DeviceListEntry> *entries)
{
    entries->clear();
    return splitRecords(payload, PeriodicRecordSize, [entries](const QByteArray &record) {
        DeviceListEntry entry;
        entry.addr = record.mid(0, 6);
        entry.addrType = record.mid(6, 1);
        entry.advSid = record.mid(7, 1);
        entries->append(entry);
    });
}

bool DeviceListCodec::resolvingRecords(const QByteArray &payload, QVector<DeviceRpaEntry> *entries)
{
    entries->clear();
    return splitRecords(payload, ResolvingRecordSize, [entries](const QByteArray &record) {
        DeviceRpaEntry entry;
        entry.peerAddr = record.mid(0, 6);
        entry.peerAddrType = record.mid(6, 1);
        entry.privacyMode = record.mid(7, 1);
        entry.peerIrk = record.mid(8, 16);
        entry.localIrk = record.mid(24, 16);
        entries->append(entry);
    });
}
