#include "devicerpalistmodel.h"

DeviceRpaListModel::DeviceRpaListModel(LogManager *logger, QObject *parent)
    : ControllerListModel(logger,
                          {QStringLiteral("Peer Addr"), QStringLiteral("Peer Addr Type"),
                           QStringLiteral("Privacy Mode"), QStringLiteral("Peer irk"), QStringLiteral("Local irk")},
                          parent)
{
}

DeviceRpaListModel::~DeviceRpaListModel() = default;

QVariant DeviceRpaListModel::cell(const DeviceRpaEntry &entry, int column) const
{
    switch (column) {
    case 0:
        if (entry.peerAddr.size() != 6)
            return refuseCell(QStringLiteral("Bluetooth PeerAddress's format is wrong."));
        return ListModelText::reversedColonHex(entry.peerAddr);
    case 1:
        if (entry.peerAddrType.size() != 1)
            return refuseCell(QStringLiteral("Bluetooth Peer Addr Type format is wrong."));
        return ListModelText::lowerAddressType(entry.peerAddrType);
    case 2:
        if (entry.privacyMode.size() != 1)
            return refuseCell(QStringLiteral("Bluetooth Privacy Mode format is wrong."));
        switch (uchar(entry.privacyMode.at(0))) {
        case 0:
            return QStringLiteral("network");
        case 1:
            return QStringLiteral("device");
        default:
            return QString();
        }
    case 3:
        if (entry.peerIrk.size() != 16)
            return QVariant();
        return ListModelText::reversedColonHex(entry.peerIrk);
    default:
        if (entry.localIrk.size() != 16)
            return QVariant();
        return ListModelText::reversedColonHex(entry.localIrk);
    }
}

int DeviceRpaListModel::addDevice(const DeviceRpaEntry &entry)
{
    if (entry.peerAddr.size() != 6 || entry.peerAddrType.size() != 1 || entry.privacyMode.size() != 1
        || entry.peerIrk.size() != 16 || entry.localIrk.size() != 16)
        return -1;
    return appendDevice(entry);
}
