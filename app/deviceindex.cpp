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
    if (rows.isEmpty())
        return;
    // A full table drops a hundredth of its rows at a time: the others keep
    // their slots and only learn their new row, rather than being placed
    // again one by one.
    for (const int row : rows)
        unplace(row);
    // Slot entries are row + 1, 0 for none: entry e becomes newEntries[e].
    m_newEntries.resize(m_keys.size() + 1);
    int *newEntries = m_newEntries.data();
    quint64 *keys = m_keys.data();
    newEntries[0] = 0;
    int kept = 0;
    int next = 0;
    for (int row = 0; row < m_keys.size(); ++row) {
        if (next < rows.size() && rows.at(next) == row) {
            ++next;
            newEntries[row + 1] = 0;
            continue;
        }
        newEntries[row + 1] = kept + 1;
        keys[kept++] = keys[row];
    }
    m_keys.resize(kept);
    int *slots = m_slots.data();
    for (int slot = 0; slot < m_slots.size(); ++slot)
        slots[slot] = newEntries[slots[slot]];
}

void DeviceIndex::clear()
{
    m_keys.clear();
    m_slots.clear();
    m_newEntries.clear();
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

void DeviceIndex::unplace(int row)
{
    const quint64 key = m_keys.at(row);
    if (key == NoKey || m_slots.isEmpty())
        return;
    const quint32 mask = quint32(m_slots.size() - 1);
    int *slots = m_slots.data();
    quint32 hole = slotOf(key, int(mask));
    while (slots[hole] != row + 1) {
        if (slots[hole] == 0)
            return;
        hole = (hole + 1) & mask;
    }
    // Linear probing without tombstones: the entries after the hole move
    // back into it unless that would put them before their own slot.
    for (quint32 slot = (hole + 1) & mask; slots[slot] != 0; slot = (slot + 1) & mask) {
        const quint32 home = slotOf(m_keys.at(slots[slot] - 1), int(mask));
        const bool staysBehind = hole <= slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
        if (staysBehind)
            continue;
        slots[hole] = slots[slot];
        hole = slot;
    }
    slots[hole] = 0;
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
