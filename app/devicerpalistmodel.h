#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QVector>

class LogManager;

// One entry of the controller's resolving list.
struct DeviceRpaEntry
{
    QByteArray peerAddr;     // 6 bytes, least significant first
    QByteArray peerAddrType; // 1 byte
    QByteArray privacyMode;  // 1 byte: 0 network, 1 device
    QByteArray peerIrk;      // 16 bytes
    QByteArray localIrk;     // 16 bytes
};

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
