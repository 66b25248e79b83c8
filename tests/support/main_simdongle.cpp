// The simulated dongle as a program, for trying Vantora by hand:
//   VANTORA_EXTRA_PORTS=<printed path> vantora
#include "simulateddongle.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    SimulatedDongle dongle;
    if (!dongle.isValid()) {
        QTextStream(stderr) << "simdongle: no pseudo-terminal could be opened\n";
        return 1;
    }
    dongle.installRegisteredBehaviours();

    QTextStream out(stdout);
    out << dongle.portPath() << '\n'
        << "VANTORA_EXTRA_PORTS=" << dongle.portPath() << '\n'
        << "behaviours: " << SimulatedDongle::registeredBehaviours().join(QStringLiteral(", ")) << '\n';
    out.flush();

    QObject::connect(&dongle, &SimulatedDongle::frameReceived, [](const QByteArray &frame) {
        QTextStream(stdout) << "<- " << SimulatedDongle::downlinkId(frame) << "  "
                            << frame.toHex(' ') << Qt::endl;
    });
    return app.exec();
}
