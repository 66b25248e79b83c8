#pragma once

#include <QAbstractTableModel>
#include <QVector>

#include "devicelistentry.h"

class LogManager;

// The white list or the bond list of the controller, as it last reported it.
class DeviceListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    DeviceListModel(LogManager *logger, QObject *parent = nullptr);
    ~DeviceListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int addDevice(const DeviceListEntry &entry);
    int removeDevice(const DeviceListEntry &entry);
    void clear();
    int deviceCount() const { return m_devices.size(); }
    const QVector<DeviceListEntry> &devices() const { return m_devices; }

private:
    QVector<DeviceListEntry> m_devices;
    LogManager *m_logger;
};
