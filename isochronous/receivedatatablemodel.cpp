#include "receivedatatablemodel.h"

#include "ccfgfileparse.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

ReceiveDataTableModel::ReceiveDataTableModel(LogManager *logger, QObject *parent)
    : QAbstractTableModel(parent), m_logger(logger)
{
    for (const UiComponentFields &component : qAsConst(CCfgFileParse::instance()->m_uplinkNameToUiVec)) {
        if (component.name == QLatin1String("RECEIVE_CIS_DATA"))
            m_fields = component.fields;
    }
}

int ReceiveDataTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ReceiveDataTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 5;
}

QVariant ReceiveDataTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    return cell(m_rows.at(index.row()), index.column());
}

QVariant ReceiveDataTableModel::cell(const QMap<QString, QByteArray> &row, int column) const
{
    if (column < 0 || column >= m_fields.size())
        return QVariant();
    const UiFieldInfo &field = m_fields.at(column);
    const QByteArray value = row.value(field.key);
    if (value.isEmpty())
        return QVariant();
    if (field.type == QLatin1String("string"))
        return CUtil::hexText(value);
    if (field.type == QLatin1String("number")) {
        quint64 number = 0;
        if (CUtil::arrayToValue(0, value, &number) != 0) {
            if (m_logger)
                m_logger->log(QStringLiteral("Number format is wrong"), LogLevel::Error);
            return QVariant();
        }
        return QString::number(number);
    }
    if (field.type == QLatin1String("enum"))
        return field.valueDescMap.value(uchar(value.at(0)));
    return QVariant();
}

QVariant ReceiveDataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_fields.size())
        return QVariant();
    return m_fields.at(section).title;
}

bool ReceiveDataTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}

void ReceiveDataTableModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ReceiveDataTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

void ReceiveDataTableModel::appendRow(const QMap<QString, QByteArray> &row, int maxRows)
{
    if (!m_rows.isEmpty() && m_rows.size() >= maxRows) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_rows.removeFirst();
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(row);
    endInsertRows();
}
