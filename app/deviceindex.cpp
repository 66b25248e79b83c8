#include "deviceindex.h"

namespace {

// Packed keys use 56 bits.
constexpr quint64 NoKey = ~quint64(0);

} // namespace

quint32 DeviceIndex::slotOf(quint64 key, int mask)
{
    // Addresses often differ only in a few bytes: mix them all in.
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return quint32(key) & quint32(mask);
}

void DeviceIndex::append(quint64 key)
{
    m_keys.append(key);
    if (m_keys.size() * 2 > m_slots.size())
        grow(m_keys.size());
    else
        place(m_keys.size() - 1);
}

void DeviceIndex::appendUnkeyed()
{
    m_keys.append(NoKey);
}

int DeviceIndex::find(quint64 key) const
{
    if (m_slots.isEmpty() || key == NoKey)
        return -1;
    const int mask = m_slots.size() - 1;
    for (quint32 slot = slotOf(key, mask);; slot = (slot + 1) & quint32(mask)) {
        const int entry = m_slots.at(int(slot));
        if (entry == 0)
            return -1;
        if (m_keys.at(entry - 1) == key)
            return entry - 1;
    }
}

void DeviceIndex::removeRows(const QVector<int> &rows)
{
    int kept = 0;
    int next = 0;
    for (int row = 0; row < m_keys.size(); ++row) {
        if (next < rows.size() && rows.at(next) == row) {
            ++next;
            continue;
        }
        m_keys[kept++] = m_keys.at(row);
    }
    m_keys.resize(kept);
    grow(kept);
}

void DeviceIndex::clear()
{
    m_keys.clear();
    m_slots.clear();
}

void DeviceIndex::reserve(int rows)
{
    m_keys.reserve(rows);
    if (rows * 2 > m_slots.size())
        grow(rows);
}

void DeviceIndex::place(int row)
{
    const quint64 key = m_keys.at(row);
    if (key == NoKey)
        return;
    const int mask = m_slots.size() - 1;
    quint32 slot = slotOf(key, mask);
    while (m_slots.at(int(slot)) != 0)
        slot = (slot + 1) & quint32(mask);
    m_slots[int(slot)] = row + 1;
}

void DeviceIndex::grow(int rows)
{
    int size = 16;
    while (size < rows * 2)
        size *= 2;
    m_slots = QVector<int>(size, 0);
    for (int row = 0; row < m_keys.size(); ++row)
        place(row);
}
