#include "datatablemodel.h"

#include "advdatatypes.h"

#include <QRegExp>

dataTableModel::dataTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

dataTableModel::~dataTableModel() = default;

int dataTableModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: no row has children.
    return parent.isValid() ? 0 : m_rows.size();
}

int dataTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant dataTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::DisplayRole)
        return index.column() == 0 ? m_rows.at(index.row()).first : m_rows.at(index.row()).second;
    return QVariant();
}

QString dataTableModel::nameRowText(const QString &typed)
{
    return QString::fromLatin1(typed.toUtf8());
}

bool dataTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() != 1 || role != Qt::EditRole)
        return false;
    QString text = value.toString();
    if (text.isEmpty())
        return false;
    // The first record of this title that can be retyped decides.
    const AdvDataTypeInfo *decider = nullptr;
    for (const AdvDataTypeInfo &record : AdvDataTypes::all()) {
        if (record.title == m_rows.at(index.row()).first
            && (record.type == QLatin1String("string") || record.type == QLatin1String("hex"))) {
            decider = &record;
            break;
        }
    }
    if (!decider)
        return false;
    if (decider->type == QLatin1String("string")) {
        if (text.toUtf8().size() > MaxNameBytes) {
            emit editRefused(AdvDataTypes::nameTooLongText());
            return false;
        }
        text = nameRowText(text);
    } else {
        if (!QRegExp(QStringLiteral("[0-9a-fA-F]*")).exactMatch(text))
            return false;
        if (decider->length == 255) {
            if (text.size() % 2 != 0)
                return false;
        } else {
            const int width = 2 * int(decider->length);
            if (text.size() > width)
                return false;
            text = text.rightJustified(width, QLatin1Char('0'));
        }
    }
    m_rows[index.row()].second = text;
    emit dataChanged(index, index);
    return true;
}

QVariant dataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return QStringLiteral("AD Type");
    if (section == 1)
        return QStringLiteral("Value");
    return QVariant();
}

Qt::ItemFlags dataTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 1)
        result |= Qt::ItemIsEditable;
    return result;
}

void dataTableModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void dataTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

void dataTableModel::deleteRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginResetModel();
    m_rows.remove(row);
    endResetModel();
}
