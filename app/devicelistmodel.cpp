#include "devicelistmodel.h"

#include "listmodeltext.h"

DeviceListModel::DeviceListModel(LogManager *logger, QObject *parent)
    : QAbstractTableModel(parent), m_logger(logger)
{
}

DeviceListModel::~DeviceListModel() = default;

int DeviceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_devices.size();
}

int DeviceListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant DeviceListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_devices.size() || index.column() >= 2)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();

    const DeviceListEntry &entry = m_devices.at(index.row());
    if (index.column() == 0) {
        if (entry.addr.size() != 6) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth Address's format is wrong."), 1);
            return QVariant();
        }
        return ListModelText::reversedColonHex(entry.addr);
    }
    if (entry.addrType.size() != 1) {
        ListModelText::log(m_logger, QStringLiteral("Bluetooth addr type format is wrong."), 1);
        return QVariant();
    }
    switch (uchar(entry.addrType.at(0))) {
    case 0:
        return QStringLiteral("Public");
    case 1:
        return QStringLiteral("Random");
    default:
        return QString();
    }
}

bool DeviceListModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    static const char *const titles[] = {"Device Address", "Address Type"};
    if (section < 0 || section >= 2) {
        ListModelText::log(m_logger, QStringLiteral("Device list error."), 1);
        return QVariant();
    }
    return QString::fromLatin1(titles[section]);
}

Qt::ItemFlags DeviceListModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

int DeviceListModel::addDevice(const DeviceListEntry &entry)
{
    if (entry.addr.size() != 6 || entry.addrType.size() != 1)
        return -1;
    beginResetModel();
    m_devices.append(entry);
    endResetModel();
    return 0;
}

int DeviceListModel::removeDevice(const DeviceListEntry &entry)
{
    const int row = m_devices.indexOf(entry);
    if (row < 0)
        return -1;
    beginResetModel();
    m_devices.remove(row);
    endResetModel();
    return 0;
}

void DeviceListModel::clear()
{
    beginResetModel();
    m_devices.resize(0);
    endResetModel();
}
