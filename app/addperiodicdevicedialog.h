#pragma once

#include "cflatdialog.h"
#include "devicelistentry.h"

class LogManager;

namespace Ui {
class AddPeriodicDeviceDialog;
}

// Asks for an advertiser to add to the controller's periodic advertiser list.
class AddPeriodicDeviceDialog : public CFlatDialog
{
    Q_OBJECT

public:
    explicit AddPeriodicDeviceDialog(LogManager *logger, QWidget *parent = nullptr);
    ~AddPeriodicDeviceDialog() override;

    // The entry taken by the last accepted OK.
    DeviceListEntry getDevice() const { return m_device; }

public slots:
    void on_pushButton_ok_clicked();

private:
    Ui::AddPeriodicDeviceDialog *ui;
    LogManager *m_logger;
    DeviceListEntry m_device;
};
