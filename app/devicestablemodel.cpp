#include "devicestablemodel.h"
#include "plaintext.h"

#include <QColor>
#include <QIcon>

#include <algorithm>
#include <utility>
#include <vector>

#include "ccfgfileparse.h"
#include "commandnames.h"
#include "cutil.h"
#include "listmodeltext.h"
#include "logger.h"

DevicesTableModel::DevicesTableModel(LogManager *logger, QObject *parent)
    : QAbstractTableModel(parent), m_logger(logger)
{
    m_announceTimer.setSingleShot(true);
    connect(&m_announceTimer, &QTimer::timeout, this, &DevicesTableModel::announcePending);
    // The last component of that name wins, as a later definition would.
    const QVector<UiComponentFields> components = CCfgFileParse::instance()->m_uplinkNameToUiVec;
    for (const UiComponentFields &component : components) {
        if (component.name != QLatin1String(CMD_DEVICES_TABLE))
            continue;
        m_columns.clear();
        for (const UiFieldInfo &field : component.fields)
            m_columns.append(Column{field.key, field.title, field.type, field.valueDescMap});
    }
}

DevicesTableModel::~DevicesTableModel() = default;

int DevicesTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_items)
        return 0;
    return m_shownRows;
}

int DevicesTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns.size();
}

QVariant DevicesTableModel::displayValue(const Record &record, const Column &column) const
{
    const QByteArray bytes = record.value(column.key);
    if (bytes.isEmpty())
        return QVariant();

    if (column.key == QLatin1String("addr")) {
        if (bytes.size() != 6) {
            ListModelText::log(m_logger, QStringLiteral("Bluetooth Address's format is wrong."), LogLevel::Error);
            return QVariant();
        }
        return ListModelText::reversedColonHex(bytes);
    }
    if (column.key == QLatin1String("rssi")) {
        quint64 value = 0;
        if (CUtil::arrayToValue(0, bytes, &value) != 0) {
            ListModelText::log(m_logger, QStringLiteral("Number format is wrong"), LogLevel::Error);
            return QVariant();
        }
        return int(qint8(quint8(value & 0xFF)));
    }
    if (column.key == QLatin1String("connected"))
        return QVariant();

    if (column.type == QLatin1String("string")) {
        const int end = bytes.indexOf('\0');
        return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
    }
    if (column.type == QLatin1String("number")) {
        quint64 value = 0;
        if (CUtil::arrayToValue(0, bytes, &value) != 0) {
            ListModelText::log(m_logger, QStringLiteral("Number format is wrong"), LogLevel::Error);
            return QVariant();
        }
        return value;
    }
    if (column.type == QLatin1String("enum")) {
        const quint64 value = quint64(qint64(qint8(bytes.at(0))));
        return column.elements.value(value);
    }
    if (column.type == QLatin1String("enum_mask")) {
        const uchar b = uchar(bytes.at(0));
        QString text;
        for (int i = 0; i < column.elements.size() && i < 8; ++i) {
            if (b & (1u << i)) {
                text += QStringLiteral(" | ");
                text += column.elements.value(quint64(1) << i);
            }
        }
        if (!text.isEmpty())
            text.remove(0, 3);
        return text;
    }
    if (column.type == QLatin1String("bool")) {
        switch (uchar(bytes.at(0))) {
        case 0:
            return QStringLiteral("false");
        case 1:
            return QStringLiteral("true");
        default:
            return QString();
        }
    }
    return QVariant();
}

QVariant DevicesTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_items || index.row() >= m_shownRows || index.column() >= m_columns.size())
        return QVariant();

    switch (role) {
    case Qt::BackgroundRole:
        if (index == m_currentIndex)
            return QColor(0, 255, 0, 255);
        return QVariant();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DisplayRole:
        return displayValue(m_items->at(index.row()), m_columns.at(index.column()));
    case Qt::ToolTipRole: {
        const QVariant value = displayValue(m_items->at(index.row()), m_columns.at(index.column()));
        return value.type() == QVariant::String ? QVariant(PlainText::toolTip(value.toString())) : value;
    }
    case Qt::DecorationRole: {
        const Column &column = m_columns.at(index.column());
        if (column.key != QLatin1String("connected"))
            return QVariant();
        const QByteArray bytes = m_items->at(index.row()).value(column.key);
        if (bytes.size() != 1) {
            ListModelText::log(m_logger,
                               QStringLiteral("DevicesTableModel::data: connected field is wrong."), LogLevel::Debug);
            return QVariant();
        }
        if (uchar(bytes.at(0)) == 2)
            return QIcon(QStringLiteral(":/icons/status.png"));
        return QVariant();
    }
    default:
        return QVariant();
    }
}

bool DevicesTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}

QVariant DevicesTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return QVariant();
        return m_columns.at(section).title;
    }
    return QString::number(section + 1);
}

Qt::ItemFlags DevicesTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

void DevicesTableModel::beginPass()
{
    ++m_passDepth;
}

void DevicesTableModel::endPass()
{
    if (m_passDepth > 0)
        --m_passDepth;
    // Also at the end of a pass nested in a handler's modal loop: what is
    // noted so far is consistent and may be shown.
    if (!hasPendingChanges())
        return;
    const qint64 since = m_sinceAnnounced.isValid() ? m_sinceAnnounced.elapsed() : m_displayIntervalMs;
    if (since >= m_displayIntervalMs)
        announcePending();
    else if (!m_announceTimer.isActive())
        m_announceTimer.start(int(m_displayIntervalMs - since));
}

void DevicesTableModel::announceNow()
{
    announcePending();
}

bool DevicesTableModel::hasPendingChanges() const
{
    return m_items && (m_items->size() > m_shownRows || !m_changedRows.isEmpty());
}

void DevicesTableModel::announcePending()
{
    m_announceTimer.stop();
    if (!hasPendingChanges())
        return;
    m_sinceAnnounced.start();
    if (m_items->size() > m_shownRows) {
        beginInsertRows(QModelIndex(), m_shownRows, m_items->size() - 1);
        m_shownRows = m_items->size();
        endInsertRows();
    }
    if (m_changedRows.isEmpty())
        return;
    std::sort(m_changedRows.begin(), m_changedRows.end());
    const int lastColumn = m_columns.size() - 1;
    for (int i = 0; i < m_changedRows.size();) {
        int last = m_changedRows.at(i);
        int j = i + 1;
        while (j < m_changedRows.size() && m_changedRows.at(j) <= last + 1)
            last = m_changedRows.at(j++);
        if (lastColumn >= 0)
            emit dataChanged(index(m_changedRows.at(i), 0), index(last, lastColumn));
        i = j;
    }
    m_changedRows.clear();
}

void DevicesTableModel::noteSeen(int row)
{
    if (m_seen.size() != m_items->size())
        m_seen.resize(m_items->size());
    m_seen[row] = ++m_seenClock;
}

void DevicesTableModel::setItems(QVector<Record> *items)
{
    beginResetModel();
    m_items = items;
    m_shownRows = items ? items->size() : 0;
    m_changedRows.clear();
    m_announceTimer.stop();
    m_seen = QVector<quint64>(m_shownRows, 0);
    endResetModel();
}

void DevicesTableModel::addItem(const Record &record)
{
    if (!m_items)
        return;
    m_items->append(record);
    noteSeen(m_items->size() - 1);
    if (m_passDepth == 0)
        announcePending();
}

void DevicesTableModel::updateItem(int row, const Record &record)
{
    if (!m_items || row < 0 || row >= m_items->size()) {
        ListModelText::log(m_logger, QStringLiteral("Update item failed."), LogLevel::Error);
        return;
    }
    (*m_items)[row] = record;
    noteSeen(row);
    // A row still to be inserted is shown with its latest record anyway.
    if (row < m_shownRows)
        m_changedRows.append(row);
    if (m_passDepth == 0)
        announcePending();
}

void DevicesTableModel::clear()
{
    beginResetModel();
    if (m_items)
        m_items->resize(0);
    m_shownRows = 0;
    m_changedRows.clear();
    m_announceTimer.stop();
    m_seen.clear();
    m_currentIndex = QModelIndex();
    endResetModel();
}

QVector<int> DevicesTableModel::makeRoom(const std::function<bool(int row)> &keep)
{
    if (!m_items || m_items->size() < m_rowLimit)
        return {};
    // The views must know every row before rows leave.
    announcePending();
    if (m_seen.size() != m_items->size())
        m_seen.resize(m_items->size());
    const int highlighted = m_currentIndex.isValid() ? m_currentIndex.row() : -1;
    const int size = m_items->size();
    const int candidates = size - (highlighted >= 0 && highlighted < size ? 1 : 0);
    const int count = size - m_rowLimit + qMax(1, m_rowLimit / 100);
    // The oldest first, by when last seen and then by row; keep() is asked
    // only about them (it may be dear), and the next oldest stand in for the
    // few it holds on to. Each batch is found in one pass over the rows with
    // a heap of the batch's size, rather than by reordering every row.
    using Age = std::pair<quint64, int>;
    const quint64 *seen = m_seen.constData();
    QVector<int> rows;
    rows.reserve(count);
    std::vector<Age> batch;
    Age last{0, -1}; // the youngest of the batches so far
    for (int asked = 0; rows.size() < count && asked < candidates;) {
        const size_t wanted = size_t(qMin(count - rows.size(), candidates - asked));
        batch.clear();
        batch.reserve(wanted);
        for (int row = 0; row < size; ++row) {
            const Age age{seen[row], row};
            if (row == highlighted || (asked > 0 && !(last < age)))
                continue;
            if (batch.size() < wanted) {
                batch.push_back(age);
                std::push_heap(batch.begin(), batch.end());
            } else if (age < batch.front()) {
                std::pop_heap(batch.begin(), batch.end());
                batch.back() = age;
                std::push_heap(batch.begin(), batch.end());
            }
        }
        if (batch.empty())
            break;
        std::sort_heap(batch.begin(), batch.end());
        for (const Age &age : batch) {
            if (!keep || !keep(age.second))
                rows.append(age.second);
        }
        last = batch.back();
        asked += int(batch.size());
    }
    if (rows.isEmpty())
        return {};
    std::sort(rows.begin(), rows.end());
    removeRows(rows);
    logEviction(rows.size());
    return rows;
}

// Removes the rows (ascending): a few runs one by one, so the views keep
// their current row and selection; many scattered rows in one reset, which
// costs a view far less than hundreds of removals.
void DevicesTableModel::removeRows(const QVector<int> &rows)
{
    QVector<QPair<int, int>> runs;
    for (const int row : rows) {
        if (!runs.isEmpty() && runs.last().second + 1 == row)
            runs.last().second = row;
        else
            runs.append(qMakePair(row, row));
    }
    const int highlightedRow = m_currentIndex.isValid() ? m_currentIndex.row() : -1;
    const int highlightedColumn = m_currentIndex.column();

    if (runs.size() <= 16) {
        for (int i = runs.size() - 1; i >= 0; --i) {
            const int first = runs.at(i).first;
            const int last = runs.at(i).second;
            beginRemoveRows(QModelIndex(), first, last);
            m_items->erase(m_items->begin() + first, m_items->begin() + last + 1);
            m_seen.erase(m_seen.begin() + first, m_seen.begin() + last + 1);
            m_shownRows -= last - first + 1;
            endRemoveRows();
        }
    } else {
        beginResetModel();
        int kept = 0;
        int next = 0;
        for (int row = 0; row < m_items->size(); ++row) {
            if (next < rows.size() && rows.at(next) == row) {
                ++next;
                continue;
            }
            if (kept != row) {
                (*m_items)[kept] = std::move((*m_items)[row]);
                m_seen[kept] = m_seen.at(row);
            }
            ++kept;
        }
        m_items->resize(kept);
        m_seen.resize(kept);
        m_shownRows = kept;
        endResetModel();
    }

    m_currentIndex = QModelIndex();
    if (highlightedRow >= 0) {
        const int before = int(std::lower_bound(rows.begin(), rows.end(), highlightedRow) - rows.begin());
        m_currentIndex = index(highlightedRow - before, highlightedColumn);
    }
}

// Once when the table starts to overflow, then at most every ten seconds
// while it goes on, so a flood of addresses cannot flood the log as well.
void DevicesTableModel::logEviction(int count)
{
    const qint64 quietMs = 10000;
    const bool newEpisode = !m_sinceEviction.isValid() || m_sinceEviction.elapsed() > quietMs;
    m_sinceEviction.start();
    m_evictedUnlogged += count;
    if (!newEpisode && m_sinceEvictionLogged.elapsed() < quietMs)
        return;
    ListModelText::log(m_logger,
                       QStringLiteral("The discovery table keeps at most %1 devices: %2 seen longest ago left it.")
                           .arg(m_rowLimit)
                           .arg(m_evictedUnlogged),
                       LogLevel::Warn);
    m_evictedUnlogged = 0;
    m_sinceEvictionLogged.start();
}

void DevicesTableModel::setCurrentIndex(const QModelIndex &index)
{
    const QModelIndex previous = m_currentIndex;
    m_currentIndex = index.isValid() ? QModelIndex(this->index(index.row(), index.column()))
                                     : QModelIndex();
    if (previous.isValid())
        emit dataChanged(previous, previous);
    if (m_currentIndex.isValid())
        emit dataChanged(m_currentIndex, m_currentIndex);
}

QString DevicesTableModel::cellText(int row, int column) const
{
    return data(index(row, column), Qt::DisplayRole).toString();
}
