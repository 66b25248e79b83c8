#pragma once

#include <QList>
#include <QString>

namespace Platform {

// One serial port as the probe and the selection dialog need it.
struct PortInfo
{
    QString portName;       // what the link opens: "ttyUSB0", or a full device path
    QString systemLocation; // the device path, "/dev/ttyUSB0"
    QString description;    // the driver's description of the device
    QString manufacturer;
};

// The serial ports of the machine plus the device paths listed, colon-separated,
// in VANTORA_EXTRA_PORTS (so a pseudo-terminal can stand for a dongle). An extra
// path that does not exist is left out; one the system lists already comes once.
QList<PortInfo> availablePorts();

// The port names of availablePorts(), in the same order.
QList<QString> availablePortNames();

} // namespace Platform
