#pragma once

#include <QAbstractTableModel>
#include <QVector>

#include "devicelistentry.h"

class LogManager;

// The resolving list of the controller, as it last reported it.
class DeviceRpaListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    DeviceRpaListModel(LogManager *logger, QObject *parent = nullptr);
    ~DeviceRpaListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int addDevice(const DeviceRpaEntry &entry);
    void clear();
    int deviceCount() const { return m_devices.size(); }
    const QVector<DeviceRpaEntry> &devices() const { return m_devices; }

private:
    QVector<DeviceRpaEntry> m_devices;
    LogManager *m_logger;
};
