#pragma once

#include "controllerlistmodel.h"
#include "devicelistentry.h"

// The periodic advertiser list of the controller, as it last reported it.
class DevicePeriodicListModel : public ControllerListModel<DeviceListEntry>
{
    Q_OBJECT

public:
    DevicePeriodicListModel(LogManager *logger, QObject *parent = nullptr);
    ~DevicePeriodicListModel() override;

    int addDevice(const DeviceListEntry &entry);

protected:
    QVariant cell(const DeviceListEntry &entry, int column) const override;
};
