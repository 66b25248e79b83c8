#pragma once

#include <QByteArray>

// One entry of the white list, the bond list or the periodic advertiser list
// of a dongle's controller, and the result of the add-device dialogs.
struct DeviceListEntry
{
    QByteArray addr;     // 6 bytes, least significant first as on the air
    QByteArray addrType; // 1 byte: 0 public, 1 random
    QByteArray advSid;   // 1 byte (periodic advertiser list) or empty

    bool operator==(const DeviceListEntry &other) const
    {
        return addr == other.addr && addrType == other.addrType && advSid == other.advSid;
    }
    bool operator!=(const DeviceListEntry &other) const { return !(*this == other); }
};

// One entry of the controller's resolving list.
struct DeviceRpaEntry
{
    QByteArray peerAddr;     // 6 bytes, least significant first
    QByteArray peerAddrType; // 1 byte: 0 public, 1 random
    QByteArray privacyMode;  // 1 byte: 0 network, 1 device
    QByteArray peerIrk;      // 16 bytes, least significant first
    QByteArray localIrk;     // 16 bytes, least significant first

    bool operator==(const DeviceRpaEntry &other) const
    {
        return peerAddr == other.peerAddr && peerAddrType == other.peerAddrType && privacyMode == other.privacyMode
               && peerIrk == other.peerIrk && localIrk == other.localIrk;
    }
};

// The scanning page's name for the same record.
using RpaListEntry = DeviceRpaEntry;
