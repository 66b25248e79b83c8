#include "cprofiletablemodel.h"

#include "profilerecordcodec.h"

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
    QVector<ProfileRecord> records;
    records.reserve(m_rows.size());
    for (const ProfileRow &row : m_rows)
        records.append({row.checkState != Qt::Unchecked, row.id, row.nameBytes});
    return ProfileRecordCodec::encode(records);
}

void CProfileTableModel::fromByteArray(const QByteArray &bytes)
{
    beginResetModel();
    m_rows.clear();
    // A torn tail is dropped rather than read past the end.
    for (const ProfileRecord &record : ProfileRecordCodec::decode(bytes)) {
        ProfileRow row;
        row.checkState = record.enabled ? Qt::Checked : Qt::Unchecked;
        row.id = record.id;
        row.nameBytes = record.name;
        const int zero = record.name.indexOf('\0');
        row.name = QString::fromUtf8(zero < 0 ? record.name : record.name.left(zero));
        m_rows.append(row);
    }
    m_loadedRows = m_rows;
    endResetModel();
}
