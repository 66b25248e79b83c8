#include "framebuilder.h"
#include "otherprogram.h"
#include "portholder.h"
#include "portlister.h"
#include "refreshdonglethread.h"
#include "serialport.h"
#include "simbehaviour_link.h"
#include "simbehaviour_scan.h"
#include "simulateddongle.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <QProcess>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

class TestProbe : public QObject
{
    Q_OBJECT

private:
    static QVector<DongleProbeResult> probe(const QVector<QString> &ports,
                                            QVector<UnavailablePort> *unavailable = nullptr)
    {
        RefreshDongleThread thread;
        QSignalSpy finished(&thread, &QThread::finished);
        thread.setPortList(ports);
        thread.start(QThread::InheritPriority);
        // The simulated dongles answer from this thread's event loop.
        if (!finished.wait(10000))
            qWarning("probe did not finish");
        if (unavailable)
            *unavailable = thread.getUnavailablePorts();
        return thread.getResults();
    }

private slots:
    void request()
    {
        QCOMPARE(FrameBuilder::toHex(RefreshDongleThread::probeRequest()), QString("AA 00 00 00 00 56"));
    }

    void parseReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("expected"); // name, manufacturer, product, firmware, hardware, description, SDK
        const QStringList defaults{"Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "", "Unknown"};
        const QStringList texts{"Board", "Maker", "2.1", "B", "A <b>test</b> board", "5.0"};
        const QStringList record{"Board", "Maker", "Board", "2.1", "B", "A <b>test</b> board", "5.0"};
        QTest::newRow("six texts") << LinkBehaviour::probeReply(texts) << record;
        QTest::newRow("trailing bytes ignored") << LinkBehaviour::probeReply(texts) + QByteArray::fromHex("d1ffee")
                                                << record;
        QTest::newRow("leading noise") << QByteArray::fromHex("0011aa") + LinkBehaviour::probeReply(texts) << record;
        QTest::newRow("six empty texts") << QByteArray::fromHex("bb0000000000000000000000000000")
                                         << QStringList{"", "", "", "", "", "", ""};
        QTest::newRow("wrong layer") << QByteArray::fromHex("bb0100") + LinkBehaviour::probeReply(texts).mid(3)
                                     << defaults;
        // A dongle left scanning: an RSSI of -69 is 0xBB inside a stale report.
        QTest::newRow("stale report holding BB")
            << QByteArray::fromHex("dd0102030001bb01") + LinkBehaviour::probeReply(texts) << record;
        QTest::newRow("no BB") << QByteArray::fromHex("aa0000050041") << defaults;
        QTest::newRow("BB at the end") << QByteArray::fromHex("0102bb00") << defaults;
        QTest::newRow("empty") << QByteArray() << defaults;
        QTest::newRow("utf8") << LinkBehaviour::probeReply({QString::fromUtf8("Cl\xc3\xa9"), "", "", "", "", ""})
                              << QStringList{QString::fromUtf8("Cl\xc3\xa9"), "", QString::fromUtf8("Cl\xc3\xa9"),
                                             "", "", "", ""};
        QTest::newRow("length to the end") << QByteArray::fromHex("bb00000080") + QByteArray("rest of it")
                                           << QStringList{"rest of it", "", "rest of it", "", "", "", ""};
        QTest::newRow("text runs past the end") << QByteArray::fromHex("bb00000a00") + QByteArray("abc")
                                                << QStringList{"abc", "", "abc", "", "", "", ""};
        QTest::newRow("length cut short") << QByteArray::fromHex("bb0000020041420c")
                                          << QStringList{"AB", "", "AB", "", "", "", ""};
        QTest::newRow("named Unknown") << LinkBehaviour::probeReply({"Unknown", "M", "1", "2", "d", "3"})
                                       << QStringList{"Unknown", "M", "Unknown", "1", "2", "d", "3"};
    }

    void parseReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, expected);
        const DongleProbeInfo info = RefreshDongleThread::parseReply(reply);
        const QStringList got{info.dongleName,      info.manufacturer, info.product,   info.firmwareVersion,
                              info.hardwareVersion, info.description,  info.sdkVersion};
        QCOMPARE(got, expected);
    }

    void findReply_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray answer = LinkBehaviour::probeReply({"Board", "Maker", "2.1", "B", "A board", "5.0"});
        const QByteArray checksum = FrameBuilder::withChecksum(answer).right(1);
        // A dongle left scanning: an RSSI of -69 (0xBB) before two zero bytes.
        SimAdvertiser advertiser;
        advertiser.rssi = -69;
        advertiser.advType = 0;
        advertiser.classification = 0;
        advertiser.name = "Device";
        const QByteArray report = FrameBuilder::withChecksum(ScanBehaviour::advertisingReport(advertiser));
        QVERIFY(report.contains(QByteArray::fromHex("bb0000")));

        QTest::newRow("the reply alone") << answer << answer;
        QTest::newRow("with its checksum and more") << answer + checksum + report << answer;
        QTest::newRow("behind reports") << report + report + answer + checksum + report << answer;
        QTest::newRow("behind the end of a report") << report.mid(report.indexOf(char(0xBB))) + report + answer
                                                    << answer;
        QTest::newRow("leading noise") << QByteArray::fromHex("0011aa") + answer << answer;
        QTest::newRow("six empty texts") << QByteArray::fromHex("bb0000000000000000000000000000")
                                         << QByteArray::fromHex("bb0000000000000000000000000000");
        QTest::newRow("reports only") << report + report << QByteArray();
        QTest::newRow("cut short") << answer.left(answer.size() - 1) << QByteArray();
        QTest::newRow("wrong layer") << QByteArray::fromHex("bb0100") + answer.mid(3) << QByteArray();
        QTest::newRow("a length of 0x8000") << QByteArray::fromHex("bb00000080") + QByteArray("rest of it")
                                            << QByteArray();
        QTest::newRow("control character") << LinkBehaviour::probeReply({"Bo\x01rd", "", "", "", "", ""})
                                           << QByteArray();
        QTest::newRow("not UTF-8") << QByteArray::fromHex("bb00000300") + QByteArray("Cl\xe9") + QByteArray(10, '\0')
                                   << QByteArray();
        const QByteArray utf8 = LinkBehaviour::probeReply({QString::fromUtf8("Cl\xc3\xa9"), "", "", "", "", ""});
        QTest::newRow("UTF-8") << utf8 << utf8;
        QTest::newRow("nothing") << QByteArray() << QByteArray();
        QTest::newRow("a port that only sends noise") << QByteArray(100000, 'x') << QByteArray();
        QTest::newRow("false frame starts") << QByteArray(4000, char(0xDD)) + answer << answer;
    }

    void findReply()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, reply);
        QCOMPARE(RefreshDongleThread::findReply(received).toHex(' '), reply.toHex(' '));
    }

    void probeFindsTheAnsweringDongleOnly()
    {
        SimulatedDongle answering;
        SimulatedDongle late;
        SimulatedDongle silent;
        SimulatedDongle unknown;
        for (SimulatedDongle *dongle : {&answering, &late, &silent, &unknown}) {
            QVERIFY(dongle->isValid());
            installLinkBehaviour(*dongle);
        }
        const QStringList texts{"Board", "Maker", "2.1", "B", "Description", "5.0"};
        LinkBehaviour::setProbeAnswer(answering, texts);
        late.setResponseDelay(600);
        silent.setSilent(true);
        LinkBehaviour::setProbeAnswer(unknown, {"Unknown", "Maker", "2.1", "B", "Description", "5.0"});

        QTemporaryDir dir;
        const QVector<QString> ports{silent.portPath(), dir.filePath("missing"), late.portPath(),
                                     answering.portPath(), unknown.portPath()};
        const QVector<DongleProbeResult> results = probe(ports);

        QCOMPARE(results.size(), 1);
        QCOMPARE(results.at(0).portName, answering.portPath());
        const DongleProbeInfo &info = results.at(0).info;
        QCOMPARE(info.dongleName, QString("Board"));
        QCOMPARE(info.manufacturer, QString("Maker"));
        QCOMPARE(info.product, QString("Board"));
        QCOMPARE(info.firmwareVersion, QString("2.1"));
        QCOMPARE(info.hardwareVersion, QString("B"));
        QCOMPARE(info.description, QString("Description"));
        QCOMPARE(info.sdkVersion, QString("5.0"));

        // Every reachable port got exactly the probe request.
        for (SimulatedDongle *dongle : {&answering, &late, &silent, &unknown}) {
            QCOMPARE(dongle->receivedBytes(), QList<QByteArray>{RefreshDongleThread::probeRequest()});
        }
        // No port is left open behind the probe.
        for (SimulatedDongle *dongle : {&answering, &late, &silent, &unknown}) {
            Platform::SerialPort port;
            QCOMPARE(port.open(dongle->portPath()), Platform::SerialPort::Opened);
        }
    }

    void noPorts()
    {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(probe({}).isEmpty());
        QVERIFY(clock.elapsed() >= 190);
    }

    void portHeldElsewhereIsSkipped()
    {
        SimulatedDongle dongle;
        installLinkBehaviour(dongle);
        Platform::SerialPort holder;
        QCOMPARE(holder.open(dongle.portPath()), Platform::SerialPort::Opened);
        QVector<UnavailablePort> unavailable;
        QVERIFY(probe({dongle.portPath()}, &unavailable).isEmpty());
        QCOMPARE(dongle.receivedCount(), 0);
        // Listed as held by this program (another dongle's link), not as a stranger's.
        QCOMPARE(unavailable.size(), 1);
        QCOMPARE(unavailable.at(0).portName, dongle.portPath());
        QCOMPARE(unavailable.at(0).refusal, Platform::SerialPort::InUseHere);
    }

    void portHeldByAnotherProgramIsReportedUntilLetGo_data()
    {
        QTest::addColumn<int>("hold");
        QTest::addColumn<bool>("dies"); // lets go by dying instead of closing
        QTest::newRow("exclusive mode") << int(OtherProgram::Exclusive) << false;
        QTest::newRow("flock") << int(OtherProgram::Flock) << false;
        QTest::newRow("flock, holder killed") << int(OtherProgram::Flock) << true;
        QTest::newRow("QSerialPort") << int(OtherProgram::QtSerialPort) << false;
        QTest::newRow("lock file only") << int(OtherProgram::LockFileOnly) << false;
        QTest::newRow("lock file left by a killed holder") << int(OtherProgram::LockFileOnly) << true;
    }

    void portHeldByAnotherProgramIsReportedUntilLetGo()
    {
        QFETCH(int, hold);
        QFETCH(bool, dies);
        SimulatedDongle held;
        SimulatedDongle free;
        installLinkBehaviour(held);
        installLinkBehaviour(free);
        OtherProgram other(OtherProgram::Hold(hold), held.portPath());
        QVERIFY2(other.isHolding(), qPrintable(other.failure()));

        QVector<UnavailablePort> unavailable;
        const QVector<DongleProbeResult> results = probe({held.portPath(), free.portPath()}, &unavailable);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.at(0).portName, free.portPath());
        // Nothing was written into the other program's port.
        QCOMPARE(held.receivedCount(), 0);
        QCOMPARE(unavailable.size(), 1);
        QCOMPARE(unavailable.at(0).portName, held.portPath());
        QCOMPARE(unavailable.at(0).refusal, Platform::SerialPort::InUseElsewhere);
        QCOMPARE(unavailable.at(0).holder, QStringLiteral("portholder (process %1)").arg(other.pid()));
        QVERIFY(!unavailable.at(0).reason.isEmpty());

        // A link is refused the same way, even with root's rights.
        Platform::SerialPort link;
        QCOMPARE(link.open(held.portPath()), Platform::SerialPort::OpenFailed);
        QCOMPARE(link.refusal(), Platform::SerialPort::InUseElsewhere);
        QVERIFY(!link.isOpen());

        QVERIFY(dies ? other.kill() : other.release());
        QStringList leftBehind;
        for (const QString &path : Platform::PortHolder::lockFilePaths(held.portPath())) {
            if (QFileInfo::exists(path))
                leftBehind << path;
        }
        QCOMPARE(leftBehind.size(), hold == OtherProgram::LockFileOnly && dies ? 1 : 0);
        auto tidy = qScopeGuard([&] {
            for (const QString &path : qAsConst(leftBehind))
                QFile::remove(path);
        });
        unavailable.clear();
        const QVector<DongleProbeResult> again = probe({held.portPath()}, &unavailable);
        QVERIFY(unavailable.isEmpty());
        QCOMPARE(again.size(), 1);
        QCOMPARE(again.at(0).portName, held.portPath());
        QCOMPARE(held.receivedBytes(), QList<QByteArray>{RefreshDongleThread::probeRequest()});
    }

    void lockFileLayouts_data()
    {
        QTest::addColumn<QByteArray>("content"); // %1 stands for the pid
        QTest::addColumn<int>("whose");          // 0 nobody, 1 the live holder, 2 a process that has ended, 3 this one,
                                                 // 4 a live holder whose pid's low byte is an ASCII digit
        QTest::addColumn<bool>("held");
        QTest::newRow("FHS, padded to ten") << QByteArray("%1\n") << 1 << true;
        QTest::newRow("pid and program") << QByteArray("%1 sleep\n") << 1 << true;
        QTest::newRow("QLockFile") << QByteArray("%1\nsleep\nhost\n") << 1 << true;
        QTest::newRow("binary pid") << QByteArray() << 1 << true;
        // Its first byte then looks like the start of a text pid.
        QTest::newRow("binary pid, first byte a digit") << QByteArray() << 4 << true;
        QTest::newRow("pid taken over by another program") << QByteArray("%1\nminicom\nhost\n") << 1 << false;
        QTest::newRow("holder has ended") << QByteArray("%1\n") << 2 << false;
        QTest::newRow("this program's own") << QByteArray("%1\n") << 3 << false;
        QTest::newRow("not a pid") << QByteArray("held\n") << 0 << false;
        QTest::newRow("empty") << QByteArray("") << 0 << false;
    }

    void lockFileLayouts()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, whose);
        QFETCH(bool, held);
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyLOCKED0"));
        QFile(device).open(QIODevice::WriteOnly);
        // The first lock folder this user may write to, as Qt picks it.
        QString lockFile;
        for (const QString &path : Platform::PortHolder::lockFilePaths(device)) {
            if (QFileInfo(QFileInfo(path).path()).isWritable()) {
                lockFile = path;
                break;
            }
        }
        QVERIFY(!lockFile.isEmpty());
        QProcess live;
        live.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(live.waitForStarted());
        // Pids count up: one of the next few hundred ends in a digit's byte.
        for (int tries = 0; whose == 4 && !(live.processId() % 256 >= '0' && live.processId() % 256 <= '9'); ++tries) {
            QVERIFY(tries < 5000);
            live.kill();
            live.waitForFinished();
            live.start(QStringLiteral("sleep"), {QStringLiteral("30")});
            QVERIFY(live.waitForStarted());
        }
        if (whose == 4)
            whose = 1;
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        const qint64 endedPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        QVERIFY(endedPid > 0);
        const qint64 pid = whose == 1 ? live.processId() : whose == 2 ? endedPid : QCoreApplication::applicationPid();

        QFile file(lockFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        auto tidy = qScopeGuard([&] {
            QFile::remove(lockFile);
            live.kill();
            live.waitForFinished();
        });
        if (content.isEmpty() && whose == 1) {
            const int binary = int(pid);
            file.write(reinterpret_cast<const char *>(&binary), sizeof binary);
        } else {
            file.write(content.contains("%1") ? QString::fromLatin1(content).arg(pid, 10).toLatin1() : content);
        }
        file.close();

        const Platform::PortHolder holder = Platform::PortHolder::fromLockFile(device);
        QCOMPARE(holder.isValid(), held);
        Platform::SerialPort port;
        port.open(device);
        QCOMPARE(port.refusal() == Platform::SerialPort::InUseElsewhere, held);
        if (held) {
            QCOMPARE(holder.pid, pid);
            QCOMPARE(holder.lockFile, lockFile);
            QCOMPARE(port.holder(), QStringLiteral("sleep (process %1)").arg(pid));
        }
    }

    void destroyedWhileRunningWaits()
    {
        SimulatedDongle dongle;
        installLinkBehaviour(dongle);
        auto *owner = new QObject;
        auto *thread = new RefreshDongleThread(owner);
        thread->setPortList({dongle.portPath()});
        thread->start();
        QVERIFY(thread->isRunning());
        delete owner;
        Platform::SerialPort port;
        QCOMPARE(port.open(dongle.portPath()), Platform::SerialPort::Opened);
    }

    void floodingPortDoesNotHoldTheProbe()
    {
        // A device that never stops sending (and never answers like a dongle).
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString slave = QString::fromLocal8Bit(::ptsname(master));
        std::atomic<bool> stop{false};
        std::thread flood([master, &stop] {
            const QByteArray noise(4096, 'x');
            while (!stop) {
                if (::write(master, noise.constData(), size_t(noise.size())) < 0)
                    ::usleep(200);
                char sink[4096];
                while (::read(master, sink, sizeof sink) > 0) {
                }
            }
        });

        RefreshDongleThread thread;
        thread.setPortList({slave});
        thread.start();
        const bool ended = thread.wait(30000);
        stop = true;
        flood.join();
        ::close(master);
        QVERIFY2(ended, "the probe kept reading a port that never stops sending");
        QVERIFY(thread.getResults().isEmpty());
    }

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
