#include "discoverytable.h"

#include <algorithm>

#include "cutil.h"
#include "devicestablemodel.h"

namespace {

const QString &addrKey()
{
    static const QString key = QStringLiteral("addr");
    return key;
}

const QString &typeKey()
{
    static const QString key = QStringLiteral("addr_type");
    return key;
}

// A 6-byte address and its 1-byte type packed into one number; the parser
// gives no other sizes.
bool deviceKey(const QByteArray &addr, const QByteArray &addrType, quint64 *key)
{
    if (addr.size() != 6 || addrType.size() != 1)
        return false;
    quint64 packed = quint64(uchar(addrType.at(0))) << 48;
    for (int i = 0; i < 6; ++i)
        packed |= quint64(uchar(addr.at(i))) << (8 * i);
    *key = packed;
    return true;
}

} // namespace

DiscoveryTable::DiscoveryTable(LogManager *logger)
    : m_model(new DevicesTableModel(logger))
{
    m_model->setItems(&m_rows);
}

DiscoveryTable::~DiscoveryTable()
{
    // The model empties the rows it was given, and views hear of it first.
    m_model->clear();
}

void DiscoveryTable::indexRow(const DeviceRecord &record)
{
    quint64 key = 0;
    if (deviceKey(record.value(addrKey()), record.value(typeKey()), &key))
        m_index.append(key);
    else
        m_index.appendUnkeyed();
}

void DiscoveryTable::rebuildIndex()
{
    m_index.clear();
    m_index.reserve(m_rows.size());
    for (const auto &record : qAsConst(m_rows))
        indexRow(record);
}

int DiscoveryTable::find(const QByteArray &addr, const QByteArray &addrType)
{
    // The index follows the rows; rebuild it when they were emptied behind it.
    if (m_index.size() != m_rows.size())
        rebuildIndex();
    quint64 key = 0;
    if (!deviceKey(addr, addrType, &key)) {
        for (int i = 0; i < m_rows.size(); ++i) {
            const auto &record = m_rows.at(i);
            if (CUtil::cmpArray(record.value(addrKey()), addr) == 0
                && CUtil::cmpArray(record.value(typeKey()), addrType) == 0)
                return i;
        }
        return -1;
    }
    const int row = m_index.find(key);
    if (row < 0 || row >= m_rows.size())
        return -1;
    const auto &record = m_rows.at(row);
    if (!record.holds(addrKey(), addr) || !record.holds(typeKey(), addrType))
        return -1;
    return row;
}

bool DiscoveryTable::add(const DeviceRecord &record, HeldRows *held)
{
    const bool evicted = makeRoom(held);
    if (m_index.size() != m_rows.size())
        rebuildIndex();
    indexRow(record);
    m_model->addItem(record);
    return evicted;
}

DeviceRecord DiscoveryTable::take(int row)
{
    return std::move(m_rows[row]);
}

void DiscoveryTable::update(int row, const DeviceRecord &record)
{
    m_model->updateItem(row, record);
}

void DiscoveryTable::clear()
{
    m_model->clear();
    rebuildIndex();
}

bool DiscoveryTable::makeRoom(HeldRows *held)
{
    if (m_rows.size() < m_model->rowLimit())
        return false;
    static const QString connectedKey = QStringLiteral("connected");
    const int current = held ? held->current : -1;
    const QVector<int> gone = m_model->makeRoom([&](int row) {
        if (row == current)
            return true;
        const QByteArray connected = m_rows.at(row).value(connectedKey);
        return !connected.isEmpty() && connected.at(0) != 0;
    });
    if (gone.isEmpty())
        return false;
    if (m_index.size() == m_rows.size() + gone.size())
        m_index.removeRows(gone);
    else
        rebuildIndex();
    if (held) {
        const auto movedRow = [&gone](int row) {
            return row - int(std::lower_bound(gone.begin(), gone.end(), row) - gone.begin());
        };
        if (held->current >= 0)
            held->current = movedRow(held->current);
        if (held->searchMatch >= 0)
            held->searchMatch = movedRow(held->searchMatch);
    }
    return true;
}
