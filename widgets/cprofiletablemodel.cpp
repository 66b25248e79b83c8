#include "cprofiletablemodel.h"

namespace {

constexpr int LeftAndVCenter = Qt::AlignLeft | Qt::AlignVCenter;

} // namespace

CProfileTableModel::CProfileTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int CProfileTableModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: items have no children.
    return parent.isValid() ? 0 : m_rows.size();
}

int CProfileTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CProfileTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const ProfileRow &row = m_rows.at(index.row());
    switch (role) {
    case Qt::TextAlignmentRole:
        return LeftAndVCenter;
    case Qt::DisplayRole:
        if (index.column() == 1)
            return int(row.id);
        if (index.column() == 2)
            return row.name;
        return QVariant();
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return row.checkState;
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant CProfileTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return LeftAndVCenter;
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal) {
        switch (section) {
        case 0:
            return QString();
        case 1:
            return QStringLiteral("ID");
        case 2:
            return QStringLiteral("Profile Name");
        default:
            break;
        }
    }
    return QVariant();
}

Qt::ItemFlags CProfileTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_loadedRows.size())
        return Qt::NoItemFlags;
    if (index.column() != 0)
        return QAbstractTableModel::flags(index);
    // A profile the dongle already enables cannot be switched off here.
    if (m_loadedRows.at(index.row()).checkState == Qt::Checked)
        return Qt::ItemIsUserCheckable;
    return QAbstractTableModel::flags(index) | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled
           | Qt::ItemIsEditable;
}

bool CProfileTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != Qt::CheckStateRole
        || index.column() != 0)
        return false;
    m_rows[index.row()].checkState = value.toInt();
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QByteArray CProfileTableModel::toByteArray() const
{
    QByteArray bytes;
    for (const ProfileRow &row : m_rows) {
        const QByteArray name = row.nameBytes.left(MaxNameBytes);
        bytes.append(char(row.checkState != Qt::Unchecked ? 1 : 0));
        bytes.append(char(name.size() + 1));
        bytes.append(char(row.id));
        bytes.append(name);
    }
    return bytes;
}

void CProfileTableModel::fromByteArray(const QByteArray &bytes)
{
    beginResetModel();
    m_rows.clear();
    int position = 0;
    while (position < bytes.size()) {
        // A record shorter than its header or its own length byte is a torn
        // tail: it is dropped rather than read past the end.
        if (position + 3 > bytes.size())
            break;
        const int length = quint8(bytes.at(position + 1));
        const int recordSize = length + 2;
        if (length < 1 || position + recordSize > bytes.size())
            break;
        ProfileRow row;
        row.checkState = bytes.at(position) != 0 ? Qt::Checked : Qt::Unchecked;
        row.id = quint8(bytes.at(position + 2));
        row.nameBytes = bytes.mid(position + 3, length - 1);
        const int zero = row.nameBytes.indexOf('\0');
        row.name = QString::fromUtf8(zero < 0 ? row.nameBytes : row.nameBytes.left(zero));
        m_rows.append(row);
        position += recordSize;
    }
    m_loadedRows = m_rows;
    endResetModel();
}
