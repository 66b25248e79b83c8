#include "gatttablemodel.h"

#include "attributetext.h"
#include "logger.h"
#include "logmanager.h"

#include <QBrush>

GattTableModel::GattTableModel(LogManager *logger, const QVector<AttributeInfo> *attributeTable, QObject *parent)
    : QAbstractItemModel(parent)
    , m_logger(logger)
    , m_attributeTable(attributeTable)
{
}

GattTableModel::~GattTableModel() = default;

void GattTableModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void GattTableModel::setupModelData(bool withValueRows)
{
    // One reset around the whole rebuild, also when it stops early, so that
    // attached views never read rows that are being replaced.
    beginResetModel();
    m_rows.resize(0); // keeps the capacity for the next discovery result
    const QVector<AttributeInfo> &table = *m_attributeTable;
    for (int i = 0; i < table.size(); ++i) {
        const AttributeInfo &entry = table.at(i);
        if (entry.valid == 0)
            continue;
        if (AttributeText::isUuid16(entry.uuid, 0x2800)) {
            AttributeInfo service = entry;
            service.value.remove(0, 4);
            m_rows.append(service);
        } else if (AttributeText::isUuid16(entry.uuid, 0x2803)) {
            m_rows.append(entry);
            if (!withValueRows)
                continue;
            AttributeInfo valueRow;
            if (!AttributeText::characteristicValueRecord(entry, &valueRow)) {
                if (m_logger)
                    m_logger->log(QStringLiteral("Gatt table model data is wrong."), LogLevel::Error);
                break;
            }
            m_rows.append(valueRow);
            ++i; // the built row stands for the table's entry of the value
        } else {
            m_rows.append(entry);
        }
    }
    endResetModel();
}

int GattTableModel::updateValue(quint16 handle, const QByteArray &value)
{
    for (int row = 0; row < m_rows.size(); ++row) {
        AttributeInfo &record = m_rows[row];
        if (record.handle != handle)
            continue;
        record.value = value;
        record.valueColor = QColor(QStringLiteral("#189ede"));
        emit dataChanged(index(row, 0), index(row, AttributeText::ColumnCount - 1));
        return 0;
    }
    return -1;
}

int GattTableModel::getAttribute(const QModelIndex &index, AttributeInfo &out) const
{
    if (!isRow(index))
        return -1;
    out = m_rows.at(index.row());
    return 0;
}

bool GattTableModel::isRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.row() < m_rows.size();
}

QModelIndex GattTableModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || !hasIndex(row, column, parent))
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex GattTableModel::parent(const QModelIndex &index) const
{
    Q_UNUSED(index)
    return QModelIndex();
}

int GattTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int GattTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : AttributeText::ColumnCount;
}

QVariant GattTableModel::data(const QModelIndex &index, int role) const
{
    if (!isRow(index))
        return QVariant();
    if (role == Qt::BackgroundRole) {
        // Made once: every cell a view draws or measures asks for its brush.
        static const QVariant evenBrush = QBrush(Qt::white);
        static const QVariant oddBrush = QBrush(QColor(0xf7, 0xf7, 0xf7));
        return index.row() % 2 == 0 ? evenBrush : oddBrush;
    }
    return AttributeText::cellData(m_rows.at(index.row()), index.column(), role);
}

QVariant GattTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return AttributeText::headerData(section, orientation, role);
}

Qt::ItemFlags GattTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? QAbstractItemModel::flags(index) : Qt::NoItemFlags;
}
