#include "framebuilder.h"
#include "serialport.h"
#include "simbehaviour_lists.h"
#include "simulateddongle.h"

#include <QtTest>

// The simulated dongle's connections, syncs and device lists, driven through
// the real serial port layer on its pseudo-terminal.
class TestSimLists : public QObject
{
    Q_OBJECT

    // The program's end of the line: writes downlinks, cuts uplinks.
    struct Wire
    {
        SimulatedDongle dongle;
        Platform::SerialPort port;
        QByteArray pending;

        Wire()
        {
            installListsBehaviour(dongle);
            port.open(dongle.portPath());
        }
        ListsBehaviour *lists() { return ListsBehaviour::of(dongle); }

        void send(quint8 opcode, const QByteArray &payload = QByteArray(), quint8 layer = 0x01)
        {
            port.write(FrameBuilder::downlink(layer, opcode, payload));
            QDeadlineTimer deadline(2000);
            while (port.isWritePending() && !deadline.hasExpired()) {
                QCoreApplication::processEvents();
                port.continueWrite();
            }
        }

        // Uplink frames as the reader hands them on (checksum removed).
        QStringList receive(int count, int timeoutMs = 3000)
        {
            QStringList frames;
            QDeadlineTimer deadline(timeoutMs);
            while (frames.size() < count && !deadline.hasExpired()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                char buffer[1024];
                const qint64 n = port.read(buffer, sizeof buffer, 5);
                if (n > 0)
                    pending.append(buffer, int(n));
                while (pending.size() >= 6) {
                    const int length = quint8(pending.at(3)) | (quint8(pending.at(4)) << 8);
                    if (pending.size() < 6 + length)
                        break;
                    frames << FrameBuilder::toHex(pending.left(5 + length));
                    pending.remove(0, 6 + length);
                }
            }
            return frames;
        }

        // What a command brings back, nothing more within a short while.
        QStringList exchange(quint8 opcode, const QByteArray &payload, int expected)
        {
            send(opcode, payload);
            QStringList frames = receive(expected);
            frames += receive(1, 50);
            return frames;
        }
    };

    static QByteArray hex(const char *text) { return FrameBuilder::fromHex(QString::fromLatin1(text)); }

    // "5_0_Connect": 50 bytes of settings, the peer's address at 42 and type at 48.
    static QByteArray connectPayload(const QByteArray &addr, quint8 type)
    {
        QByteArray payload(50, '\0');
        payload[12] = 0x18; // 1M interval min
        payload[16] = 0x02; // 1M latency
        payload[18] = char(0xC8); // 1M supervision timeout
        payload.replace(42, 6, addr);
        payload[48] = char(type);
        return payload;
    }

    static QByteArray syncPayload(quint8 index, quint8 type, const QByteArray &addr, quint8 addrType, quint8 sid)
    {
        QByteArray payload(14, '\0');
        payload[0] = char(index);
        payload[5] = char(type);
        payload.replace(6, 6, addr);
        payload[12] = char(addrType);
        payload[13] = char(sid);
        return payload;
    }

private slots:
    void initTestCase()
    {
        Wire wire;
        QVERIFY(wire.dongle.isValid());
        QVERIFY(wire.port.isOpen());
        QVERIFY(wire.lists());
        installListsBehaviour(wire.dongle);
        QCOMPARE(wire.dongle.findChildren<ListsBehaviour *>().size(), 1);
    }

    // One script per row: "opcode: payload -> answer / answer ...", layer 01.
    void listScripts_data()
    {
        QTest::addColumn<QStringList>("script");

        QTest::newRow("white list add, get, delete") << QStringList{
            "09: 11 22 33 44 55 66 01 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 11 22 33 44 55 66 01 -> BB 01 09 01 00 0A",
            "09: 01 02 03 04 05 06 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "0D: -> BB 01 0D 01 00 00 / DD 01 0E 0E 00 11 22 33 44 55 66 01 01 02 03 04 05 06 00",
            "0B: 11 22 33 44 55 66 00 -> BB 01 0B 01 00 09",
            "0B: 11 22 33 44 55 66 01 -> BB 01 0B 01 00 00 / DD 01 0A 01 00 00",
            "0D: -> BB 01 0D 01 00 00 / DD 01 0E 07 00 01 02 03 04 05 06 00",
            "0F: -> BB 01 0F 01 00 00 / DD 01 0A 01 00 00",
            "0D: -> BB 01 0D 01 00 00 / DD 01 0E 00 00",
        };
        QTest::newRow("white list holds ten") << QStringList{
            "09: 00 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 01 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 02 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 03 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 04 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 05 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 06 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 07 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 08 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 09 00 00 00 00 C0 00 -> BB 01 09 01 00 00 / DD 01 0A 01 00 00",
            "09: 0A 00 00 00 00 C0 00 -> BB 01 09 01 00 0B",
        };
        QTest::newRow("white list command too short") << QStringList{
            "09: 11 22 33 -> BB 01 09 01 00 01",
            "09: 11 22 33 44 55 66 -> BB 01 09 01 00 01",
            "17: 11 22 33 44 55 66 01 -> BB 01 17 01 00 01",
            "0D: -> BB 01 0D 01 00 00 / DD 01 0E 00 00",
        };
        QTest::newRow("periodic list with sids and its limit") << QStringList{
            "17: 11 22 33 44 55 66 01 05 -> BB 01 17 01 00 00 / DD 01 18 01 00 00",
            "17: 11 22 33 44 55 66 01 06 -> BB 01 17 01 00 00 / DD 01 18 01 00 00",
            "17: 11 22 33 44 55 66 01 05 -> BB 01 17 01 00 0A",
            "17: 11 22 33 44 55 66 01 10 -> BB 01 17 01 00 01",
            "17: 21 22 33 44 55 66 00 00 -> BB 01 17 01 00 00 / DD 01 18 01 00 00",
            "17: 31 22 33 44 55 66 00 00 -> BB 01 17 01 00 00 / DD 01 18 01 00 00",
            "17: 41 22 33 44 55 66 00 00 -> BB 01 17 01 00 0B",
            "19: 11 22 33 44 55 66 01 07 -> BB 01 19 01 00 09",
            "19: 11 22 33 44 55 66 01 05 -> BB 01 19 01 00 00 / DD 01 18 01 00 00",
            "1B: -> BB 01 1B 01 00 00 / DD 01 1C 18 00 11 22 33 44 55 66 01 06 21 22 33 44 55 66 00 00 "
            "31 22 33 44 55 66 00 00",
            "1D: -> BB 01 1D 01 00 00 / DD 01 18 01 00 00",
            "1B: -> BB 01 1B 01 00 00 / DD 01 1C 00 00",
        };
        QTest::newRow("empty bond and resolving lists") << QStringList{
            "13: -> BB 01 13 01 00 00 / DD 01 14 00 00",
            "7E: -> BB 01 7E 01 00 00 / DD 01 7F 00 00",
            "11: 11 22 33 44 55 66 00 -> BB 01 11 01 00 09",
            "15: -> BB 01 15 01 00 00",
            "80: 11 22 33 44 55 66 00 01 -> BB 01 80 01 00 09",
        };
        QTest::newRow("disconnect of an unknown connection") << QStringList{
            "07: 05 -> BB 01 07 01 00 03",
        };
        QTest::newRow("cancel without an attempt") << QStringList{
            "49: -> BB 01 49 01 00 0F",
        };
        QTest::newRow("sync start, second on the same index, stop") << QStringList{
            "1F: 00 00 00 00 00 00 11 22 33 44 55 66 01 03 -> BB 01 1F 01 00 00 / "
            "DD 01 20 10 00 00 00 01 50 00 03 00 11 22 33 44 55 66 01 01 00",
            "1F: 00 00 00 00 00 00 11 22 33 44 55 66 01 03 -> BB 01 1F 01 00 0A",
            "1F: 01 00 00 00 00 00 21 22 33 44 55 66 00 04 -> BB 01 1F 01 00 00 / "
            "DD 01 20 10 00 01 00 01 50 00 04 00 21 22 33 44 55 66 00 02 00",
            "22: 00 -> BB 01 22 01 00 00 / DD 01 23 02 00 00 00",
            "22: 00 -> BB 01 22 01 00 09",
            "22: 01 -> BB 01 22 01 00 00 / DD 01 23 02 00 01 00",
        };
    }

    void listScripts()
    {
        QFETCH(QStringList, script);
        Wire wire;
        QVERIFY(wire.port.isOpen());
        for (const QString &step : script) {
            const QString command = step.section(QStringLiteral("->"), 0, 0);
            const quint8 opcode = quint8(command.section(QLatin1Char(':'), 0, 0).trimmed().toUInt(nullptr, 16));
            const QByteArray payload = FrameBuilder::fromHex(command.section(QLatin1Char(':'), 1));
            QStringList expected;
            for (const QString &answer : step.section(QStringLiteral("->"), 1).split(QLatin1Char('/')))
                expected << FrameBuilder::toHex(FrameBuilder::fromHex(answer));
            QCOMPARE(wire.exchange(opcode, payload, expected.size()), expected);
        }
    }

    void directConnectAndDisconnect()
    {
        Wire wire;
        const QByteArray peer = hex("11 22 33 44 55 66");
        QCOMPARE(wire.exchange(0x3F, connectPayload(peer, 1), 2),
                 (QStringList{"BB 01 3F 01 00 00",
                              "DD 01 06 12 00 00 01 00 18 00 02 00 C8 00 00 01 11 22 33 44 55 66 00"}));
        QCOMPARE(wire.lists()->connections().size(), 1);
        QCOMPARE(wire.lists()->connections().first().addr, peer);

        // The same peer again: the controller already holds that link.
        QCOMPARE(wire.exchange(0x3F, connectPayload(peer, 1), 2).value(1),
                 QStringLiteral("DD 01 06 12 00 9B 00 00 28 00 00 00 F4 01 00 01 11 22 33 44 55 66 00"));

        QCOMPARE(wire.exchange(0x07, hex("00"), 2), (QStringList{"BB 01 07 01 00 00", "DD 01 08 03 00 00 16 00"}));
        QVERIFY(wire.lists()->connections().isEmpty());
        QCOMPARE(wire.exchange(0x07, hex("00"), 1), QStringList{"BB 01 07 01 00 03"});
    }

    void legacyConnectTakesItsOwnLayout()
    {
        Wire wire;
        QByteArray payload(17, '\0');
        payload[0] = 0x30; // interval min
        payload.replace(10, 6, hex("A1 A2 A3 A4 A5 A6"));
        payload[16] = 0;
        QCOMPARE(wire.exchange(0x05, payload, 2),
                 (QStringList{"BB 01 05 01 00 00",
                              "DD 01 06 12 00 00 01 00 30 00 00 00 F4 01 00 00 A1 A2 A3 A4 A5 A6 00"}));
    }

    void connectionIndexesAreReusedAndLimited()
    {
        Wire wire;
        ListsBehaviour::Limits limits;
        limits.connections = 2;
        wire.lists()->setLimits(limits);
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("01 00 00 00 00 C0"), 1), 2).value(1).mid(15, 8),
                 QStringLiteral("00 01 00"));
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("02 00 00 00 00 C0"), 1), 2).value(1).mid(15, 8),
                 QStringLiteral("00 01 01"));
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("03 00 00 00 00 C0"), 1), 2).value(1).mid(15, 8),
                 QStringLiteral("99 00 00"));
        QCOMPARE(wire.exchange(0x07, hex("00"), 2).size(), 2);
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("03 00 00 00 00 C0"), 1), 2).value(1).mid(15, 8),
                 QStringLiteral("00 01 00"));
    }

    void connectPlans_data()
    {
        QTest::addColumn<int>("ackStatus");
        QTest::addColumn<int>("eventStatus");
        QTest::addColumn<int>("role");
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("refused") << 0x06 << 0 << 0 << QStringList{"BB 01 3F 01 00 06"};
        QTest::newRow("failed attempt")
            << 0 << 0x3E << 0
            << QStringList{"BB 01 3F 01 00 00", "DD 01 06 12 00 3E 00 00 28 00 00 00 F4 01 00 01 11 22 33 44 55 66 00"};
        QTest::newRow("slave role")
            << 0 << 0 << 1
            << QStringList{"BB 01 3F 01 00 00", "DD 01 06 12 00 00 01 00 18 00 02 00 C8 00 00 01 11 22 33 44 55 66 01"};
    }

    void connectPlans()
    {
        QFETCH(int, ackStatus);
        QFETCH(int, eventStatus);
        QFETCH(int, role);
        QFETCH(QStringList, answers);
        Wire wire;
        ListsBehaviour::ConnectPlan plan;
        plan.ackStatus = quint8(ackStatus);
        plan.eventStatus = quint8(eventStatus);
        plan.role = quint8(role);
        wire.lists()->setConnectPlan(plan);
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("11 22 33 44 55 66"), 1), answers.size()), answers);
        QCOMPARE(wire.lists()->isConnecting(), false);
        QCOMPARE(wire.lists()->connections().size(), ackStatus == 0 && eventStatus == 0 ? 1 : 0);
    }

    void pendingAttemptIsBusyUntilCancelled()
    {
        Wire wire;
        ListsBehaviour::ConnectPlan plan;
        plan.delayMs = -1;
        wire.lists()->setConnectPlan(plan);
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("11 22 33 44 55 66"), 0), 1), QStringList{"BB 01 3F 01 00 00"});
        QVERIFY(wire.lists()->isConnecting());
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("21 22 33 44 55 66"), 0), 1), QStringList{"BB 01 3F 01 00 06"});
        QCOMPARE(wire.exchange(0x49, QByteArray(), 2), (QStringList{"BB 01 49 01 00 00", "DD 01 4A 01 00 00"}));
        QVERIFY(!wire.lists()->isConnecting());
        QVERIFY(wire.lists()->connections().isEmpty());
    }

    void delayedConnectionEventArrivesLater()
    {
        Wire wire;
        ListsBehaviour::ConnectPlan plan;
        plan.delayMs = 100;
        wire.lists()->setConnectPlan(plan);
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("11 22 33 44 55 66"), 0), 1), QStringList{"BB 01 3F 01 00 00"});
        const QStringList later = wire.receive(1);
        QCOMPARE(later.size(), 1);
        QVERIFY(later.first().startsWith(QLatin1String("DD 01 06 12 00 00 01 00")));
    }

    void automaticConnectTakesTheWhiteList()
    {
        Wire wire;
        QVERIFY(wire.lists()->addToWhiteList({hex("B1 B2 B3 B4 B5 B6"), 1, 0}));
        QCOMPARE(wire.exchange(0x3F, connectPayload(QByteArray(6, '\0'), 0), 2),
                 (QStringList{"BB 01 3F 01 00 00",
                              "DD 01 06 12 00 00 01 00 18 00 02 00 C8 00 00 01 B1 B2 B3 B4 B5 B6 00"}));
        QVERIFY(wire.lists()->connections().first().automatic);
    }

    void automaticConnectLocksTheWhiteList()
    {
        Wire wire;
        wire.lists()->setAutoConnectTimeoutMs(-1);
        QCOMPARE(wire.exchange(0x3F, connectPayload(QByteArray(6, '\0'), 0), 1), QStringList{"BB 01 3F 01 00 00"});
        QCOMPARE(wire.exchange(0x09, hex("11 22 33 44 55 66 00"), 1), QStringList{"BB 01 09 01 00 0F"});
        QCOMPARE(wire.exchange(0x0B, hex("11 22 33 44 55 66 00"), 1), QStringList{"BB 01 0B 01 00 0F"});
        QCOMPARE(wire.exchange(0x0F, QByteArray(), 1), QStringList{"BB 01 0F 01 00 0F"});
        QCOMPARE(wire.exchange(0x49, QByteArray(), 2).size(), 2);
        QCOMPARE(wire.exchange(0x09, hex("11 22 33 44 55 66 00"), 2).first(), QStringLiteral("BB 01 09 01 00 00"));
    }

    void automaticConnectTimesOutWithoutWhiteList()
    {
        Wire wire;
        wire.lists()->setAutoConnectTimeoutMs(100);
        wire.send(0x3F, connectPayload(QByteArray(6, '\0'), 0));
        QCOMPARE(wire.receive(2), (QStringList{"BB 01 3F 01 00 00", "DD 01 80 00 00"}));
        QVERIFY(!wire.lists()->isConnecting());
    }

    void cancelledAutomaticConnectSendsNoTimeout()
    {
        Wire wire;
        wire.lists()->setAutoConnectTimeoutMs(100);
        QCOMPARE(wire.exchange(0x3F, connectPayload(QByteArray(6, '\0'), 0), 1).size(), 1);
        QCOMPARE(wire.exchange(0x49, QByteArray(), 2), (QStringList{"BB 01 49 01 00 00", "DD 01 4A 01 00 00"}));
        QCOMPARE(wire.receive(1, 300), QStringList());
    }

    void peerSideEvents()
    {
        Wire wire;
        const int condix = wire.lists()->peerConnects(hex("C1 C2 C3 C4 C5 C6"), 1);
        QCOMPARE(condix, 0);
        QCOMPARE(wire.receive(1), QStringList{"DD 01 06 12 00 00 01 00 28 00 00 00 F4 01 00 01 C1 C2 C3 C4 C5 C6 01"});
        QVERIFY(wire.lists()->peerDisconnects(quint8(condix)));
        QCOMPARE(wire.receive(1), QStringList{"DD 01 08 03 00 00 13 00"});
        QVERIFY(!wire.lists()->peerDisconnects(quint8(condix)));
    }

    void bondsAndResolvingListAgree()
    {
        Wire wire;
        const QByteArray peerIrk = QByteArray(16, '\x11');
        const QByteArray localIrk = QByteArray(16, '\x22');
        QVERIFY(wire.lists()->addBond(hex("01 02 03 04 05 06"), 0, peerIrk, localIrk));
        QVERIFY(wire.lists()->addBond(hex("11 12 13 14 15 16"), 1, peerIrk, localIrk, 1));
        QVERIFY(!wire.lists()->addBond(hex("11 12 13 14 15 16"), 1, peerIrk, localIrk));
        QVERIFY(!wire.lists()->addBond(hex("21 12 13 14 15 16"), 1, peerIrk.left(15), localIrk));

        QCOMPARE(wire.exchange(0x13, QByteArray(), 2).value(1),
                 QStringLiteral("DD 01 14 0E 00 01 02 03 04 05 06 00 11 12 13 14 15 16 01"));
        QStringList rpa = wire.exchange(0x7E, QByteArray(), 2);
        QCOMPARE(FrameBuilder::fromHex(rpa.value(1)).size(), 5 + 80);
        QCOMPARE(FrameBuilder::fromHex(rpa.value(1)).mid(5 + 7, 1), hex("00"));

        QCOMPARE(wire.exchange(0x80, hex("01 02 03 04 05 06 00 01"), 1), QStringList{"BB 01 80 01 00 00"});
        QCOMPARE(wire.exchange(0x80, hex("01 02 03 04 05 06 00 02"), 1), QStringList{"BB 01 80 01 00 01"});
        rpa = wire.exchange(0x7E, QByteArray(), 2);
        QCOMPARE(FrameBuilder::fromHex(rpa.value(1)).mid(5 + 7, 1), hex("01"));

        // A deleted bond takes its keys, and so its resolving entry, with it.
        QCOMPARE(wire.exchange(0x11, hex("01 02 03 04 05 06 00"), 1), QStringList{"BB 01 11 01 00 00"});
        QCOMPARE(FrameBuilder::fromHex(wire.exchange(0x7E, QByteArray(), 2).value(1)).size(), 5 + 40);
        QCOMPARE(wire.exchange(0x15, QByteArray(), 1), QStringList{"BB 01 15 01 00 00"});
        QCOMPARE(wire.exchange(0x13, QByteArray(), 2).value(1), QStringLiteral("DD 01 14 00 00"));
    }

    void syncThroughTheListWaitsAndLocksIt()
    {
        Wire wire;
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 1, QByteArray(6, '\0'), 0, 0), 1), QStringList{"BB 01 1F 01 00 00"});
        QCOMPARE(wire.lists()->syncs().size(), 1);
        QCOMPARE(wire.exchange(0x17, hex("11 22 33 44 55 66 01 05"), 1), QStringList{"BB 01 17 01 00 0F"});
        QCOMPARE(wire.exchange(0x22, hex("00"), 2), (QStringList{"BB 01 22 01 00 00", "DD 01 23 02 00 00 00"}));
        QCOMPARE(wire.exchange(0x17, hex("11 22 33 44 55 66 01 05"), 2).first(), QStringLiteral("BB 01 17 01 00 00"));
        // With an advertiser in the list the sync takes it.
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 1, QByteArray(6, '\0'), 0, 0), 2).value(1),
                 QStringLiteral("DD 01 20 10 00 00 00 01 50 00 05 00 11 22 33 44 55 66 01 01 00"));
    }

    void syncPlansAndLimits()
    {
        Wire wire;
        ListsBehaviour::Limits limits;
        limits.syncs = 1;
        wire.lists()->setLimits(limits);
        ListsBehaviour::SyncPlan plan;
        plan.eventStatus = 0x45;
        wire.lists()->setSyncPlan(plan);
        const QByteArray advertiser = hex("11 22 33 44 55 66");
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 0, advertiser, 0, 1), 2).value(1).mid(15, 5),
                 QStringLiteral("00 45"));
        QVERIFY(wire.lists()->syncs().isEmpty());

        wire.lists()->setSyncPlan(ListsBehaviour::SyncPlan());
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 0, advertiser, 0, 1), 2).size(), 2);
        QCOMPARE(wire.exchange(0x1F, syncPayload(1, 0, advertiser, 0, 2), 1), QStringList{"BB 01 1F 01 00 10"});
        QVERIFY(wire.lists()->loseSync(0));
        QCOMPARE(wire.receive(1), QStringList{"DD 01 82 01 00 00"});
        QVERIFY(!wire.lists()->loseSync(0));

        plan = ListsBehaviour::SyncPlan();
        plan.ackStatus = 0x06;
        wire.lists()->setSyncPlan(plan);
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 0, advertiser, 0, 1), 1), QStringList{"BB 01 1F 01 00 06"});
        QVERIFY(wire.lists()->syncs().isEmpty());
    }

    void connectionsAndSyncsAreAnnounced()
    {
        Wire wire;
        QSignalSpy opened(wire.lists(), &ListsBehaviour::connectionOpened);
        QSignalSpy closed(wire.lists(), &ListsBehaviour::connectionClosed);
        QSignalSpy established(wire.lists(), &ListsBehaviour::syncEstablished);
        QSignalSpy ended(wire.lists(), &ListsBehaviour::syncEnded);

        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("11 22 33 44 55 66"), 1), 2).size(), 2);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().at(0).value<quint8>(), quint8(0));
        QCOMPARE(opened.first().at(1).toByteArray(), hex("11 22 33 44 55 66"));
        QCOMPARE(wire.exchange(0x07, hex("00"), 2).size(), 2);
        QCOMPARE(closed.count(), 1);

        QCOMPARE(wire.exchange(0x1F, syncPayload(2, 0, hex("21 22 33 44 55 66"), 1, 4), 2).size(), 2);
        QCOMPARE(established.count(), 1);
        QCOMPARE(established.first().at(0).value<quint8>(), quint8(2));
        QCOMPARE(established.first().at(4).value<quint8>(), quint8(4));
        QCOMPARE(wire.exchange(0x22, hex("02"), 2).size(), 2);
        QCOMPARE(ended.count(), 1);

        // A reset ends whatever is still open.
        wire.lists()->peerConnects(hex("31 22 33 44 55 66"), 0);
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 0, hex("21 22 33 44 55 66"), 1, 4), 3).size(), 3);
        wire.send(0x01, QByteArray(), 0x00);
        QCOMPARE(wire.receive(2).size(), 2);
        QTRY_COMPARE(closed.count(), 2);
        QTRY_COMPARE(ended.count(), 2);
    }

    void resetForgetsWhatTheControllerForgets()
    {
        Wire wire;
        QVERIFY(wire.lists()->addBond(hex("01 02 03 04 05 06"), 0, QByteArray(16, '\1'), QByteArray(16, '\2')));
        QCOMPARE(wire.exchange(0x09, hex("11 22 33 44 55 66 00"), 2).size(), 2);
        QCOMPARE(wire.exchange(0x17, hex("11 22 33 44 55 66 00 01"), 2).size(), 2);
        QCOMPARE(wire.exchange(0x3F, connectPayload(hex("11 22 33 44 55 66"), 0), 2).size(), 2);
        QCOMPARE(wire.exchange(0x1F, syncPayload(0, 0, hex("11 22 33 44 55 66"), 0, 1), 2).size(), 2);

        wire.send(0x01, QByteArray(), 0x00);
        QCOMPARE(wire.receive(2), (QStringList{"BB 00 01 01 00 00", "CC 00 02 01 00 00"}));
        QVERIFY(wire.lists()->whiteList().isEmpty());
        QVERIFY(wire.lists()->periodicList().isEmpty());
        QVERIFY(wire.lists()->connections().isEmpty());
        QVERIFY(wire.lists()->syncs().isEmpty());
        QCOMPARE(wire.lists()->bondList().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSimLists)
#include "tst_simlists.moc"
