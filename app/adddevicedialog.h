#pragma once

#include "cflatdialog.h"
#include "devicelistentry.h"

class LogManager;

namespace Ui {
class AddDeviceDialog;
}

// Asks for a device to add to the controller's white list.
class AddDeviceDialog : public CFlatDialog
{
    Q_OBJECT

public:
    explicit AddDeviceDialog(LogManager *logger, QWidget *parent = nullptr);
    ~AddDeviceDialog() override;

    // The entry taken by the last accepted OK.
    DeviceListEntry getDevice() const { return m_device; }

    // A typed address (most significant first, colons and other non-hex
    // characters ignored) as it goes on the wire: least significant byte
    // first, zero-extended or cut to six bytes the way the command sender
    // fits a byte array, so that the list on screen matches the controller's.
    static QByteArray addressFromText(const QString &text);

public slots:
    void on_pushButton_ok_clicked();

private:
    Ui::AddDeviceDialog *ui;
    DeviceListEntry m_device;
    LogManager *m_logger;
};
