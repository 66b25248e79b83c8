#include "deviceperiodiclistmodel.h"

#include "listmodeltext.h"

DevicePeriodicListModel::DevicePeriodicListModel(LogManager *logger, QObject *parent)
    : QAbstractTableModel(parent), m_logger(logger)
{
}

DevicePeriodicListModel::~DevicePeriodicListModel() = default;

int DevicePeriodicListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_devices.size();
}

int DevicePeriodicListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant DevicePeriodicListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_devices.size() || index.column() >= 3)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();

    const DeviceListEntry &entry = m_devices.at(index.row());
    switch (index.column()) {
    case 0:
        if (entry.addr.size() != 6) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth Address's format is wrong."), 1);
            return QVariant();
        }
        return ListModelText::reversedColonHex(entry.addr);
    case 1:
        if (entry.addrType.size() != 1) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth addr type format is wrong."), 1);
            return QVariant();
        }
        return ListModelText::lowerAddressType(entry.addrType);
    default:
        if (entry.advSid.size() != 1) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth adv type format is wrong."), 1);
            return QVariant();
        }
        return QString::number(uchar(entry.advSid.at(0)));
    }
}

bool DevicePeriodicListModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}

QVariant DevicePeriodicListModel::headerData(int section, Qt::Orientation orientation,
                                             int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    static const char *const titles[] = {"Device Address", "Address Type", "Adv Sid"};
    if (section < 0 || section >= 3) {
        ListModelText::log(m_logger, QStringLiteral("Device list error."), 1);
        return QVariant();
    }
    return QString::fromLatin1(titles[section]);
}

Qt::ItemFlags DevicePeriodicListModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

int DevicePeriodicListModel::addDevice(const DeviceListEntry &entry)
{
    if (entry.addr.size() != 6 || entry.addrType.size() != 1 || entry.advSid.size() != 1)
        return -1;
    beginResetModel();
    m_devices.append(entry);
    endResetModel();
    return 0;
}

int DevicePeriodicListModel::removeDevice(const DeviceListEntry &entry)
{
    const int row = m_devices.indexOf(entry);
    if (row < 0)
        return -1;
    beginResetModel();
    m_devices.remove(row);
    endResetModel();
    return 0;
}

void DevicePeriodicListModel::clear()
{
    beginResetModel();
    m_devices.resize(0);
    endResetModel();
}
