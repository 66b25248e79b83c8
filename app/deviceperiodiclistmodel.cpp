#include "deviceperiodiclistmodel.h"

DevicePeriodicListModel::DevicePeriodicListModel(LogManager *logger, QObject *parent)
    : ControllerListModel(logger,
                          {QStringLiteral("Device Address"), QStringLiteral("Address Type"),
                           QStringLiteral("Adv Sid")},
                          parent)
{
}

DevicePeriodicListModel::~DevicePeriodicListModel() = default;

QVariant DevicePeriodicListModel::cell(const DeviceListEntry &entry, int column) const
{
    switch (column) {
    case 0:
        if (entry.addr.size() != 6)
            return refuseCell(QStringLiteral("Bluetooth Address's format is wrong."));
        return ListModelText::reversedColonHex(entry.addr);
    case 1:
        if (entry.addrType.size() != 1)
            return refuseCell(QStringLiteral("Bluetooth addr type format is wrong."));
        return ListModelText::lowerAddressType(entry.addrType);
    default:
        if (entry.advSid.size() != 1)
            return refuseCell(QStringLiteral("Bluetooth adv type format is wrong."));
        return QString::number(uchar(entry.advSid.at(0)));
    }
}

int DevicePeriodicListModel::addDevice(const DeviceListEntry &entry)
{
    if (entry.addr.size() != 6 || entry.addrType.size() != 1 || entry.advSid.size() != 1)
        return -1;
    return appendDevice(entry);
}
