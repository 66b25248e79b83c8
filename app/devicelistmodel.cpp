#include "devicelistmodel.h"

DeviceListModel::DeviceListModel(LogManager *logger, QObject *parent)
    : ControllerListModel(logger, {QStringLiteral("Device Address"), QStringLiteral("Address Type")}, parent)
{
}

DeviceListModel::~DeviceListModel() = default;

QVariant DeviceListModel::cell(const DeviceListEntry &entry, int column) const
{
    if (column == 0) {
        if (entry.addr.size() != 6)
            return refuseCell(QStringLiteral("Bluetooth Address's format is wrong."));
        return ListModelText::reversedColonHex(entry.addr);
    }
    if (entry.addrType.size() != 1)
        return refuseCell(QStringLiteral("Bluetooth addr type format is wrong."));
    switch (uchar(entry.addrType.at(0))) {
    case 0:
        return QStringLiteral("Public");
    case 1:
        return QStringLiteral("Random");
    default:
        return QString();
    }
}

int DeviceListModel::addDevice(const DeviceListEntry &entry)
{
    if (entry.addr.size() != 6 || entry.addrType.size() != 1)
        return -1;
    return appendDevice(entry);
}
