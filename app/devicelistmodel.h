#pragma once

#include "controllerlistmodel.h"
#include "devicelistentry.h"

// The white list or the bond list of the controller, as it last reported it.
class DeviceListModel : public ControllerListModel<DeviceListEntry>
{
    Q_OBJECT

public:
    DeviceListModel(LogManager *logger, QObject *parent = nullptr);
    ~DeviceListModel() override;

    int addDevice(const DeviceListEntry &entry);

protected:
    QVariant cell(const DeviceListEntry &entry, int column) const override;
};
