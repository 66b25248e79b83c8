#include "devicerpalistmodel.h"

#include "listmodeltext.h"

DeviceRpaListModel::DeviceRpaListModel(LogManager *logger, QObject *parent)
    : QAbstractTableModel(parent), m_logger(logger)
{
}

DeviceRpaListModel::~DeviceRpaListModel() = default;

int DeviceRpaListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_devices.size();
}

int DeviceRpaListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 5;
}

QVariant DeviceRpaListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_devices.size() || index.column() >= 5)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();

    const DeviceRpaEntry &entry = m_devices.at(index.row());
    switch (index.column()) {
    case 0:
        if (entry.peerAddr.size() != 6) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth PeerAddress's format is wrong."), 1);
            return QVariant();
        }
        return ListModelText::reversedColonHex(entry.peerAddr);
    case 1:
        if (entry.peerAddrType.size() != 1) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth Peer Addr Type format is wrong."), 1);
            return QVariant();
        }
        return ListModelText::lowerAddressType(entry.peerAddrType);
    case 2:
        if (entry.privacyMode.size() != 1) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth Privacy Mode format is wrong."), 1);
            return QVariant();
        }
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

bool DeviceRpaListModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}

QVariant DeviceRpaListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    static const char *const titles[] = {"Peer Addr", "Peer Addr Type", "Privacy Mode", "Peer irk",
                                         "Local irk"};
    if (section < 0 || section >= 5) {
        ListModelText::log(m_logger, QStringLiteral("Device list error."), 1);
        return QVariant();
    }
    return QString::fromLatin1(titles[section]);
}

Qt::ItemFlags DeviceRpaListModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

int DeviceRpaListModel::addDevice(const DeviceRpaEntry &entry)
{
    if (entry.peerAddr.size() != 6 || entry.peerAddrType.size() != 1
        || entry.privacyMode.size() != 1 || entry.peerIrk.size() != 16
        || entry.localIrk.size() != 16)
        return -1;
    beginResetModel();
    m_devices.append(entry);
    endResetModel();
    return 0;
}

void DeviceRpaListModel::clear()
{
    beginResetModel();
    m_devices.resize(0);
    endResetModel();
}
