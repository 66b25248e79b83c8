#pragma once

#include "controllerlistmodel.h"
#include "devicelistentry.h"

// The resolving list of the controller, as it last reported it.
class DeviceRpaListModel : public ControllerListModel<DeviceRpaEntry>
{
    Q_OBJECT

public:
    DeviceRpaListModel(LogManager *logger, QObject *parent = nullptr);
    ~DeviceRpaListModel() override;

    int addDevice(const DeviceRpaEntry &entry);

protected:
    QVariant cell(const DeviceRpaEntry &entry, int column) const override;
};
