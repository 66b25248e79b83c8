// The simulated dongle as a program, for trying Vantora by hand:
//   VANTORA_EXTRA_PORTS=<printed path> vantora
// With --line-rate it moves bytes no faster than a 460800-baud line; with
// --quiet it prints only its port, not each frame it receives.
#include "simulateddongle.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated dongle on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption lineRate(QStringLiteral("line-rate"),
                                      QStringLiteral("Read and write at 460800 baud 8N1 (46,080 bytes/s each way)."));
    parser.addOption(lineRate);
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Print the port and nothing of the frames received."));
    parser.addOption(quiet);
    parser.process(app);

    SimulatedDongle dongle;
    if (!dongle.isValid()) {
        QTextStream(stderr) << "simdongle: no pseudo-terminal could be opened\n";
        return 1;
    }
    dongle.installRegisteredBehaviours();
    dongle.setLineRate(parser.isSet(lineRate));

    QTextStream out(stdout);
    out << dongle.portPath() << '\n'
        << "VANTORA_EXTRA_PORTS=" << dongle.portPath() << '\n'
        << "behaviours: " << SimulatedDongle::registeredBehaviours().join(QStringLiteral(", ")) << '\n'
        << "line rate: " << (dongle.isLineRate() ? "460800 baud 8N1" : "off") << '\n';
    out.flush();

    if (parser.isSet(quiet))
        return app.exec();
    QObject::connect(&dongle, &SimulatedDongle::frameReceived, [](const QByteArray &frame) {
        QTextStream(stdout) << "<- " << SimulatedDongle::downlinkId(frame) << "  "
                            << frame.toHex(' ') << Qt::endl;
    });
    return app.exec();
}
