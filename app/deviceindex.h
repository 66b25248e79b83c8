#pragma once

#include <QVector>
#include <QtGlobal>

// The discovery table's row of each device, by its address and address type
// packed into one number. Open addressing over flat arrays: about 20 bytes
// a device (24 once rows have been removed), where a node-based hash takes
// three times that.
class DeviceIndex
{
public:
    // Rows are added in table order; a row without a key is never found.
    void append(quint64 key);
    void appendUnkeyed();
    // The row of the key, -1 when no row has it.
    int find(quint64 key) const;
    // Drops the rows (ascending); the rows after them move up.
    void removeRows(const QVector<int> &rows);
    int size() const { return m_keys.size(); }
    void clear();
    void reserve(int rows);

private:
    static quint32 slotOf(quint64 key, int mask);
    void place(int row);
    // Takes a row's key out of the slots; the other rows keep their numbers.
    void unplace(int row);
    void grow(int rows);

    // Key of each row; NoKey for a row that has none.
    QVector<quint64> m_keys;
    // Row + 1 per slot, 0 for an empty slot; at most half are in use.
    QVector<int> m_slots;
    // What each slot entry becomes in a removal, kept so a full table does
    // not allocate it again for every room it makes.
    QVector<int> m_newEntries;
};
