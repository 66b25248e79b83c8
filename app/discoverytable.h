#pragma once

#include <QByteArray>
#include <QVector>

#include <memory>

#include "deviceindex.h"
#include "devicerecord.h"

class DevicesTableModel;
class LogManager;

// The discovery table's rows and their upkeep, apart from any view: the row
// of each address, room made when the table is full, and the rows a view and
// a search hold on to following their devices when rows leave.
class DiscoveryTable
{
public:
    // Rows held across an eviction, -1 for none. The current row also stays.
    struct HeldRows
    {
        int current = -1;
        int searchMatch = -1;
    };

    explicit DiscoveryTable(LogManager *logger);
    ~DiscoveryTable();
    DiscoveryTable(const DiscoveryTable &) = delete;
    DiscoveryTable &operator=(const DiscoveryTable &) = delete;

    DevicesTableModel *model() const { return m_model.get(); }
    const QVector<DeviceRecord> &rows() const { return m_rows; }

    // The row of the address with its type, -1 when the table has none.
    int find(const QByteArray &addr, const QByteArray &addrType);
    // Adds a device the table does not have. A full table first lets the
    // devices seen longest ago go, but not the held current row nor a device
    // being connected or connected; the held rows then name where their
    // devices are now. Returns whether rows left.
    bool add(const DeviceRecord &record, HeldRows *held);
    // Moves a row's record out, for an update that puts it back.
    DeviceRecord take(int row);
    void update(int row, const DeviceRecord &record);
    void clear();

private:
    void rebuildIndex();
    void indexRow(const DeviceRecord &record);
    bool makeRoom(HeldRows *held);

    QVector<DeviceRecord> m_rows;
    std::unique_ptr<DevicesTableModel> m_model;
    // Row of each address with its type, so a report finds its row without
    // walking the table.
    DeviceIndex m_index;
};
