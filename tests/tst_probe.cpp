#include "portlister.h"

#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestProbe : public QObject
{
    Q_OBJECT

private slots:
    void extraPortsAreListed()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString first = dir.filePath("ttyFIRST0");
        const QString second = dir.filePath("ttySECOND1");
        for (const QString &path : {first, second}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString missing = dir.filePath("ttyGONE2");
        // Empty entries, a missing device and a repeated path.
        qputenv("VANTORA_EXTRA_PORTS", QString("::%1:%2:%3:%1").arg(first, missing, second).toLocal8Bit());
        const QList<Platform::PortInfo> ports = Platform::availablePorts();
        qunsetenv("VANTORA_EXTRA_PORTS");

        QStringList extra;
        for (const Platform::PortInfo &port : ports) {
            if (port.systemLocation.startsWith(dir.path())) {
                extra << port.portName;
                QCOMPARE(port.systemLocation, port.portName);
            }
        }
        QCOMPARE(extra, (QStringList{first, second}));
    }

    void systemPortsComeFirstAndMatchNames()
    {
        qunsetenv("VANTORA_EXTRA_PORTS");
        const QList<Platform::PortInfo> ports = Platform::availablePorts();
        QCOMPARE(ports.size(), QSerialPortInfo::availablePorts().size());
        QCOMPARE(Platform::availablePortNames().size(), ports.size());
        for (const Platform::PortInfo &port : ports)
            QVERIFY(!port.portName.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
