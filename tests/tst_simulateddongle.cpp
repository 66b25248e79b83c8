#include "framebuilder.h"
#include "simulateddongle.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The test fixture itself: what the serial tests rely on must hold.
class TestSimulatedDongle : public QObject
{
    Q_OBJECT

    // A plain descriptor on the slave side, standing in for the program.
    struct Slave
    {
        int fd = -1;
        explicit Slave(const QString &path)
        {
            fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            termios tio {};
            if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
                cfmakeraw(&tio);
                tcsetattr(fd, TCSANOW, &tio);
            }
        }
        ~Slave()
        {
            if (fd >= 0)
                ::close(fd);
        }
        void write(const QByteArray &bytes) const { QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size())); }
        // Collects what arrives until `count` bytes are there or the time is up.
        QByteArray read(int count, int timeoutMs = 2000) const
        {
            QByteArray got;
            QDeadlineTimer deadline(timeoutMs);
            while (got.size() < count && !deadline.hasExpired()) {
                QCoreApplication::processEvents();
                pollfd p {fd, POLLIN, 0};
                if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
                    char buffer[4096];
                    const ssize_t n = ::read(fd, buffer, sizeof buffer);
                    if (n > 0)
                        got.append(buffer, int(n));
                }
            }
            return got;
        }
    };

private slots:
    void frameBuilder_data()
    {
        QTest::addColumn<QByteArray>("built");
        QTest::addColumn<QString>("expected");
        QTest::newRow("heartbeat") << FrameBuilder::downlink(0x01, 0x84) << "AA 01 84 00 00 D1";
        QTest::newRow("probe") << FrameBuilder::downlink(0x00, 0x00) << "AA 00 00 00 00 56";
        QTest::newRow("status") << FrameBuilder::status(0x01, 0x84, 0) << "BB 01 84 01 00 00 BF";
        QTest::newRow("reset event") << FrameBuilder::resetEvent() << "CC 00 02 01 00 00 31";
        QTest::newRow("boot answer") << FrameBuilder::bootFrame(0x23, QByteArray(1, 1)) << "51 4B 23 00 01 00 01 25 00";
        QTest::newRow("from hex") << FrameBuilder::fromHex("aa:01 84-0000") << "AA 01 84 00 00";
    }

    void frameBuilder()
    {
        QFETCH(QByteArray, built);
        QFETCH(QString, expected);
        QCOMPARE(FrameBuilder::toHex(built), expected);
    }

    void downlinkIsCutRecordedAndAcknowledged()
    {
        SimulatedDongle dongle;
        QVERIFY(dongle.isValid());
        Slave slave(dongle.portPath());
        QVERIFY(slave.fd >= 0);

        // garbage, a bad checksum, then two good frames in pieces
        slave.write(FrameBuilder::fromHex("00 13 AA 01 84 00 00 D2"));
        const QByteArray two = FrameBuilder::downlink(0x01, 0x84) + FrameBuilder::downlink(0x03, 0x0E, "\x01\x02");
        slave.write(two.left(3));
        QTest::qWait(20);
        slave.write(two.mid(3));
        QVERIFY(dongle.waitForFrames(2));
        QCOMPARE(dongle.receivedIds(), QStringList({"01@84", "03@0E"}));
        QCOMPARE(dongle.receivedBytes().at(1), FrameBuilder::downlink(0x03, 0x0E, "\x01\x02"));
        QCOMPARE(dongle.badChecksumCount(), 1);

        const QByteArray expected = FrameBuilder::status(0x01, 0x84) + FrameBuilder::status(0x03, 0x0E);
        QCOMPARE(FrameBuilder::toHex(slave.read(expected.size())), FrameBuilder::toHex(expected));
    }

    void resetAnswersWithTheEvent()
    {
        SimulatedDongle dongle;
        Slave slave(dongle.portPath());
        slave.write(FrameBuilder::downlink(0x00, 0x01));
        const QByteArray expected = FrameBuilder::status(0x00, 0x01) + FrameBuilder::resetEvent();
        QCOMPARE(FrameBuilder::toHex(slave.read(expected.size())), FrameBuilder::toHex(expected));
    }

    void rowsReplaceTheDefaultAndSilenceHoldsThemBack()
    {
        SimulatedDongle dongle;
        Slave slave(dongle.portPath());
        dongle.setResponder("01@5B", [](const QByteArray &frame) {
            return QList<QByteArray>{SimulatedDongle::acknowledgement(frame, 7),
                                     FrameBuilder::frame(0xDD, 0x01, 0x5C, "abc")};
        });
        slave.write(FrameBuilder::downlink(0x01, 0x5B));
        const QByteArray expected = FrameBuilder::status(0x01, 0x5B, 7) + FrameBuilder::uplink(0xDD, 0x01, 0x5C, "abc");
        QCOMPARE(slave.read(expected.size()), expected);

        dongle.setSilent(true);
        slave.write(FrameBuilder::downlink(0x01, 0x5B));
        QVERIFY(dongle.waitForFrames(2));
        QVERIFY(slave.read(1, 200).isEmpty());
    }

    void faultsRefuseWithholdAndSendLater()
    {
        SimulatedDongle dongle;
        Slave slave(dongle.portPath());
        dongle.setResponder("03@29", [](const QByteArray &frame) {
            return QList<QByteArray>{SimulatedDongle::acknowledgement(frame),
                                     FrameBuilder::frame(0xDD, 0x03, 0x2A, "ab")};
        });

        dongle.refuse("03@29", 0x0C);
        slave.write(FrameBuilder::downlink(0x03, 0x29));
        QCOMPARE(FrameBuilder::toHex(slave.read(7)), FrameBuilder::toHex(FrameBuilder::status(0x03, 0x29, 0x0C)));

        dongle.clearFault("03@29");
        dongle.withholdResult("03@29");
        slave.write(FrameBuilder::downlink(0x03, 0x29));
        QCOMPARE(slave.read(64, 300), FrameBuilder::status(0x03, 0x29));

        dongle.clearFaults();
        dongle.sendLater("03@29", 100, [](const QByteArray &) {
            return QList<QByteArray>{FrameBuilder::frame(0xDD, 0x01, 0x06, "x")};
        });
        slave.write(FrameBuilder::downlink(0x03, 0x29));
        const QByteArray expected = FrameBuilder::status(0x03, 0x29) + FrameBuilder::uplink(0xDD, 0x03, 0x2A, "ab")
                                    + FrameBuilder::uplink(0xDD, 0x01, 0x06, "x");
        QCOMPARE(FrameBuilder::toHex(slave.read(expected.size())), FrameBuilder::toHex(expected));
    }

    void bootLoaderFramesAreCutByTheirOwnSum()
    {
        SimulatedDongle dongle;
        Slave slave(dongle.portPath());
        dongle.setResponder("QK@0023", [](const QByteArray &) {
            return QList<QByteArray>{FrameBuilder::bootFrame(0x23, QByteArray(1, 1)).chopped(2)};
        });
        slave.write(FrameBuilder::bootFrame(0x23, QByteArray(41, 0)));
        QVERIFY(dongle.waitForFrames(1));
        QCOMPARE(dongle.receivedIds(), QStringList{"QK@0023"});
        QCOMPARE(slave.read(9), FrameBuilder::bootFrame(0x23, QByteArray(1, 1)));
    }

    void programClosingItsSideKeepsTheDongleAlive()
    {
        SimulatedDongle dongle;
        {
            Slave first(dongle.portPath());
            first.write(FrameBuilder::downlink(0x01, 0x84));
            QVERIFY(dongle.waitForFrames(1));
        }
        Slave second(dongle.portPath());
        second.write(FrameBuilder::downlink(0x01, 0x84));
        QVERIFY(dongle.waitForFrames(2));
    }

    void vanishedDongleHangsUpTheSlave()
    {
        SimulatedDongle dongle;
        Slave slave(dongle.portPath());
        dongle.vanish();
        QVERIFY(dongle.hasVanished());
        pollfd p {slave.fd, POLLIN, 0};
        QVERIFY(::poll(&p, 1, 1000) > 0);
        QVERIFY(p.revents & (POLLHUP | POLLERR));
        dongle.sendRaw("ignored");  // no crash once gone
    }

    void behavioursRegisterByName()
    {
        SimulatedDongle::registerBehaviour("test-only", [](SimulatedDongle &dongle) {
            dongle.setResponder("7F@7F", [](const QByteArray &) { return QList<QByteArray>(); });
        });
        SimulatedDongle dongle;
        QVERIFY(SimulatedDongle::registeredBehaviours().contains("test-only"));
        dongle.installRegisteredBehaviours();
        QVERIFY(dongle.hasResponder("7F@7F"));
    }
};

QTEST_GUILESS_MAIN(TestSimulatedDongle)
#include "tst_simulateddongle.moc"
