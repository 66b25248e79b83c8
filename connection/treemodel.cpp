#include "treemodel.h"

#include "attributetext.h"
#include "cutil.h"
#include "gattrecordcodec.h"
#include "logger.h"
#include "logmanager.h"


#include <QBrush>

#include <new>

namespace {

const QString TreeDataWrong = QStringLiteral("GATT tree model data is wrong.");

enum BuildState { AfterService = 0, AfterDeclaration = 1, InDescriptors = 2 };

} // namespace

TreeModel::TreeModel(LogManager *logger, const QVector<AttributeInfo> *attributeTable, QObject *parent)
    : QAbstractItemModel(parent)
    , m_logger(logger)
    , m_rootItem(AttributeInfo())
    , m_attributeTable(attributeTable)
{
}

TreeModel::~TreeModel() = default;

void TreeModel::log(const QString &text, int level) const
{
    if (m_logger)
        m_logger->log(text, level);
}

TreeItem *TreeModel::newItem(const AttributeInfo &data, TreeItem *parent)
{
    TreeItem *item = new (std::nothrow) TreeItem(data, parent);
    if (!item) {
        log(QStringLiteral("Out of memory"), LogLevel::Error);
        return nullptr;
    }
    m_items.emplace_back(item);
    return item;
}

void TreeModel::dropItems()
{
    m_rootItem.clearChildren();
    m_items.clear();
}

void TreeModel::clear()
{
    // Views must hear of the reset before the items they point at go.
    beginResetModel();
    dropItems();
    endResetModel();
}

void TreeModel::setupModelData()
{
    // One reset around the whole rebuild, also when it stops early: views
    // never see the old items freed under them or a half-told new tree.
    beginResetModel();
    dropItems();
    const QVector<AttributeInfo> &table = *m_attributeTable;
    const int size = table.size();
    // int, not quint16: a table that reaches handle 0xFFFF must still end.
    int i = 0;
    while (i < size) {
        const AttributeInfo &entry = table.at(i);
        if (entry.valid == 0 || !AttributeText::isUuid16(entry.uuid, 0x2800)) {
            ++i;
            continue;
        }
        const auto range = GattRecordCodec::handleRange(entry.value);
        if (!range) {
            log(TreeDataWrong, LogLevel::Error);
            break;
        }
        const int start = range->start;
        if (start != i) {
            log(TreeDataWrong, LogLevel::Error);
            break;
        }
        int end = range->end;
        if (end == 0xFFFF)
            end = size - 1;
        int last = 0;
        for (int j = qMin(end, size - 1); j >= start; --j) {
            if (table.at(j).valid == 1) {
                last = j;
                break;
            }
        }
        if (last != end) {
            log(QStringLiteral("The service end handle is not correct"), LogLevel::Warn);
            end = last;
        }

        AttributeInfo service = entry;
        service.value.remove(0, 4);
        TreeItem *item = newItem(service, &m_rootItem);
        if (!item || insertAttribute(item, start, end) != 0)
            break;
        // An end below the start (a peer's error) must not send the scan back.
        i = qMax(end, i) + 1;
    }
    endResetModel();
}

int TreeModel::insertAttribute(TreeItem *service, int start, int end)
{
    const QVector<AttributeInfo> &table = *m_attributeTable;
    m_buildState = AfterService;
    TreeItem *characteristic = nullptr;
    for (int h = start + 1; h <= end; ++h) {
        const AttributeInfo record = h < table.size() ? table.at(h) : AttributeInfo();
        switch (m_buildState) {
        case AfterService:
            if (AttributeText::isUuid16(record.uuid, 0x2802)) {
                if (!newItem(record, service))
                    return -1;
            } else if (AttributeText::isUuid16(record.uuid, 0x2803)) {
                characteristic = newItem(record, service);
                if (!characteristic)
                    return -1;
                m_buildState = AfterDeclaration;
            } else {
                log(TreeDataWrong, LogLevel::Error);
                return -1;
            }
            break;
        case AfterDeclaration: {
            AttributeInfo valueRow;
            if (!AttributeText::characteristicValueRecord(characteristic->data(), &valueRow) || valueRow.handle != h) {
                log(TreeDataWrong, LogLevel::Error);
                return -1;
            }
            if (!newItem(valueRow, characteristic))
                return -1;
            m_buildState = InDescriptors;
            break;
        }
        case InDescriptors:
            if (AttributeText::isUuid16(record.uuid, 0x2803)) {
                characteristic = newItem(record, service);
                if (!characteristic)
                    return -1;
                m_buildState = AfterDeclaration;
            } else if (!newItem(record, characteristic)) {
                return -1;
            }
            break;
        default:
            log(QStringLiteral("state is wrong."), LogLevel::Debug);
            return -1;
        }
    }
    return 0;
}

int TreeModel::updateValue(quint16 handle, const QByteArray &value)
{
    for (const std::unique_ptr<TreeItem> &item : m_items) {
        if (item->data().handle != handle)
            continue;
        item->data().value = value;
        item->data().valueColor = QColor(QStringLiteral("#189ede"));
        emit dataChanged(createIndex(item->row(), 0, item.get()),
                         createIndex(item->row(), AttributeText::ColumnCount - 1, item.get()));
        return 0;
    }
    return -1;
}

int TreeModel::getAttribute(const QModelIndex &index, AttributeInfo &out) const
{
    TreeItem *item = itemOf(index);
    if (!item)
        return -1;
    out = item->data();
    return 0;
}

QVector<TreeItem *> TreeModel::items() const
{
    QVector<TreeItem *> all;
    all.reserve(int(m_items.size()));
    for (const std::unique_ptr<TreeItem> &item : m_items)
        all.append(item.get());
    return all;
}

TreeItem *TreeModel::itemOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<TreeItem *>(index.internalPointer());
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    const TreeItem *parentItem = parent.isValid() ? itemOf(parent) : &m_rootItem;
    TreeItem *child = parentItem ? parentItem->child(row) : nullptr;
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex TreeModel::parent(const QModelIndex &index) const
{
    const TreeItem *item = itemOf(index);
    if (!item)
        return QModelIndex();
    TreeItem *parentItem = item->parentItem();
    if (!parentItem || parentItem == &m_rootItem)
        return QModelIndex();
    return createIndex(parentItem->row(), 0, parentItem);
}

int TreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const TreeItem *item = parent.isValid() ? itemOf(parent) : &m_rootItem;
    return item ? item->childCount() : 0;
}

int TreeModel::columnCount(const QModelIndex &parent) const
{
    const TreeItem *item = parent.isValid() ? itemOf(parent) : &m_rootItem;
    return item ? item->columnCount() : 0;
}

QVariant TreeModel::data(const QModelIndex &index, int role) const
{
    const TreeItem *item = itemOf(index);
    if (!item)
        return QVariant();
    const AttributeInfo &record = item->data();
    if (role != Qt::BackgroundRole)
        return AttributeText::cellData(record, index.column(), role);
    // Made once: every cell a view draws or measures asks for its brush.
    static const QVariant serviceBrush = QBrush(QColor(0xe4, 0xe4, 0xe4));
    static const QVariant declarationBrush = QBrush(QColor(0xf7, 0xf7, 0xf7));
    if (AttributeText::isUuid16(record.uuid, 0x2800))
        return serviceBrush;
    if (AttributeText::isUuid16(record.uuid, 0x2803))
        return declarationBrush;
    return QVariant();
}

QVariant TreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return AttributeText::headerData(section, orientation, role);
}

Qt::ItemFlags TreeModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? QAbstractItemModel::flags(index) : Qt::NoItemFlags;
}
