#include "portlister.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

namespace Platform {

QList<PortInfo> availablePorts()
{
    QList<PortInfo> ports;
    QSet<QString> locations;
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : system) {
        PortInfo port;
        port.portName = info.portName();
        port.systemLocation = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        locations.insert(QFileInfo(port.systemLocation).absoluteFilePath());
        ports.append(port);
    }

    const QString extra = qEnvironmentVariable("VANTORA_EXTRA_PORTS");
    const QStringList paths = extra.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &raw : paths) {
        const QString path = raw.trimmed();
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (locations.contains(absolute))
            continue;
        locations.insert(absolute);
        PortInfo port;
        port.portName = absolute;
        port.systemLocation = absolute;
        ports.append(port);
    }
    return ports;
}

QList<QString> availablePortNames()
{
    QList<QString> names;
    const QList<PortInfo> ports = availablePorts();
    for (const PortInfo &port : ports)
        names.append(port.portName);
    return names;
}

} // namespace Platform
