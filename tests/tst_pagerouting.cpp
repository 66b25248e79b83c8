#include "cgattwidget.h"
#include "clayerwidget.h"
#include "connectionpages.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "gatttablemodel.h"
#include "isopanelarea.h"
#include "linkrig.h"
#include "manageciswidget.h"
#include "pageregistry.h"
#include "simbehaviour_gatt.h"
#include "simbehaviour_lists.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

// Frames of one connection, with several connections open on one dongle tab:
// only that connection's page takes them, and the others never parse nor
// log them. The same for the results of ISO data panels on LE Audio pages.
class TestPageRouting : public QObject
{
    Q_OBJECT

    std::unique_ptr<DongleTabRig> m_rig;
    QList<QPointer<CLayerWidget>> m_pages;

    int linesStartingWith(const QString &head) const
    {
        int count = 0;
        for (const QString &text : m_rig->log->texts())
            count += text.startsWith(head) ? 1 : 0;
        return count;
    }

    CLayerWidget *pageOf(quint8 condix) const
    {
        for (const QPointer<CLayerWidget> &page : m_pages) {
            if (page && page->condix() == condix)
                return page;
        }
        return nullptr;
    }

    // The peer's database arrives at one connection's page.
    void discover(quint8 condix, const GattDatabase &database)
    {
        const int rowsBefore = pageOf(condix)->gattWidget()->tableModel()->rowCount();
        QVERIFY(rowsBefore == 0);
        for (const QByteArray &frame : GattBehaviour::discoveryEvents(condix, database))
            m_rig->dongle->sendUplink(frame);
        QTRY_COMPARE(pageOf(condix)->gattWidget()->tableModel()->rowCount(), database.size());
    }

private slots:
    void initTestCase() { registerConnectionPages(); }
    void cleanupTestCase() { PageRegistry::registerMaker<PageKind::Connection>({}); }

    void init()
    {
        m_rig = std::make_unique<DongleTabRig>(QStringLiteral("RouteDongle"));
        installListsBehaviour(*m_rig->dongle);
        QVERIFY(m_rig->start());
        // Three peers connect: pages of connections 0, 1 and 2.
        for (const char *addr : {"C1 C2 C3 C4 C5 C6", "B1 B2 B3 B4 B5 B6", "A1 A2 A3 A4 A5 A6"}) {
            const int before = m_rig->countOf<CLayerWidget>();
            ListsBehaviour::of(*m_rig->dongle)->peerConnects(FrameBuilder::fromHex(addr), 1);
            QTRY_COMPARE(m_rig->countOf<CLayerWidget>(), before + 1);
        }
        m_pages.clear();
        for (int i = 0; i < m_rig->tabs()->count(); ++i) {
            if (auto *page = qobject_cast<CLayerWidget *>(m_rig->tabs()->widget(i)))
                m_pages << page;
        }
        QCOMPARE(m_pages.size(), 3);
        for (quint8 condix = 0; condix < 3; ++condix)
            QVERIFY(pageOf(condix));
    }

    void cleanup()
    {
        m_rig.reset();
        m_pages.clear();
    }

    void framesOfOneConnectionAreLoggedOnce_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("name");
        QTest::newRow("GATT notification") << GattBehaviour::notificationEvent(1, 3, QByteArray("\x01\x02", 2), false)
                                           << QStringLiteral("Notification and Indication");
        QTest::newRow("GATT write result") << FrameBuilder::fromHex("DD 03 1B 04 00 01 00 03 00")
                                           << QStringLiteral("Write Characteristic Value");
        QTest::newRow("GATT discovery end") << GattBehaviour::discoveryEndEvent(1)
                                            << QStringLiteral("Discover All Attributes End");
        QTest::newRow("peer version") << FrameBuilder::fromHex("DD 01 4E 07 00 00 0A 1D 00 02 00 01")
                                      << QStringLiteral("Get Peer Version");
    }

    void framesOfOneConnectionAreLoggedOnce()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, name);
        const QString head = QStringLiteral("Uplink Command Name: ") + name;
        m_rig->log->clear();
        m_rig->dongle->sendUplink(frame);
        QTRY_COMPARE(linesStartingWith(head), 1);
        // Nothing else follows for the pages of the other connections.
        QTest::qWait(50);
        QCOMPARE(linesStartingWith(head), 1);
    }

    // A notification changes the value on its own connection's page only,
    // though every page knows the same handles.
    void notificationReachesOnlyItsConnection()
    {
        GattDatabase database;
        database.addService(GattDatabase::uuid16(0x180F));
        const quint16 value = database.addCharacteristic(GattDatabase::uuid16(0x2A19), 0x12, QByteArray(1, '\x10'));
        for (quint8 condix = 0; condix < 3; ++condix)
            discover(condix, database);

        m_rig->log->clear();
        m_rig->dongle->sendUplink(GattBehaviour::notificationEvent(2, value, QByteArray(1, '\x55'), false));
        QTRY_COMPARE(linesStartingWith(QStringLiteral("Uplink Command Name: Notification and Indication")), 1);
        const auto shows = [this](quint8 condix, const QString &text) {
            GattTableModel *model = pageOf(condix)->gattWidget()->tableModel();
            for (int row = 0; row < model->rowCount(); ++row) {
                for (int column = 0; column < model->columnCount(); ++column) {
                    if (model->index(row, column).data().toString().contains(text))
                        return true;
                }
            }
            return false;
        };
        QTRY_VERIFY(shows(2, QStringLiteral("55")));
        QVERIFY(!shows(0, QStringLiteral("55")));
        QVERIFY(!shows(1, QStringLiteral("55")));
    }

    // A page closed by its disconnection takes no more frames; the others still do.
    void closedPageLeavesTheOthersTheirFrames()
    {
        QPointer<CLayerWidget> closing = pageOf(1);
        QVERIFY(ListsBehaviour::of(*m_rig->dongle)->peerDisconnects(1));
        QTRY_VERIFY(closing.isNull());

        m_rig->log->clear();
        m_rig->dongle->sendUplink(GattBehaviour::discoveryEndEvent(1));
        m_rig->dongle->sendUplink(GattBehaviour::discoveryEndEvent(2));
        QTRY_COMPARE(linesStartingWith(QStringLiteral("Uplink Command Name: Discover All Attributes End")), 1);
        QTest::qWait(50);
        QCOMPARE(linesStartingWith(QStringLiteral("Uplink Command Name: Discover All Attributes End")), 1);
    }

    // Two LE Audio pages on one link, each with the ISO panel of one stream,
    // relay the results of their layer as the pages do: only the page with
    // the handle's panel parses and logs a result.
    void isoResultsReachOnlyThePageWithThePanel_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("name");
        QTest::newRow("setup data path") << FrameBuilder::fromHex("DD 06 09 03 00 00 21 00")
                                         << QStringLiteral("Setup ISO data path");
        QTest::newRow("remove data path") << FrameBuilder::fromHex("DD 06 0A 03 00 00 21 00")
                                          << QStringLiteral("Remove ISO data path");
        QTest::newRow("TX sync") << FrameBuilder::fromHex("DD 06 01 0D 00 00 21 00 05 00 01 02 03 04 05 06 07 08")
                                 << QStringLiteral("Read ISO TX Sync");
        QTest::newRow("received data")
            << FrameBuilder::fromHex("DD 06 0F 0D 00 21 00 01 02 03 04 05 00 00 02 00 AA BB")
            << QStringLiteral("Receive ISO Data");
        QTest::newRow("handle of no panel") << FrameBuilder::fromHex("DD 06 09 03 00 00 99 00")
                                            << QString();
    }

    void isoResultsReachOnlyThePageWithThePanel()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, name);
        LinkRig rig(QStringLiteral("iso-routing"));
        QVERIFY(rig.openAndSync());
        QMap<QString, QVariant> settings;
        struct Page
        {
            QWidget widget;
            QLabel title;
            std::unique_ptr<IsoPanelArea> panels;
        };
        Page pages[2];
        const quint16 handles[2] = {0x0021, 0x0022};
        for (int i = 0; i < 2; ++i) {
            auto *area = new QVBoxLayout(&pages[i].widget);
            pages[i].panels = std::make_unique<IsoPanelArea>(&pages[i].widget, area, &pages[i].title,
                                                            QStringLiteral("CIS Connection Handle: "),
                                                            IsoPanelArea::Sides::SendAndReceive,
                                                            PageWire(&rig.link, &rig.logs, QStringLiteral(".\\page")),
                                                            &rig.link, &rig.logs, &settings, QStringLiteral("IsoDongle"));
            QVERIFY(pages[i].panels->add(handles[i]));
            IsoPanelArea *panels = pages[i].panels.get();
            connect(&rig.link, &CMsg::sig_rcvBIGCIGMsg, &pages[i].widget, [panels](const QByteArray &result) {
                switch (quint8(result.at(2))) {
                case 0x01: panels->relayTxSync(result); break;
                case 0x09: panels->relaySetupDataPath(result); break;
                case 0x0A: panels->relayRemoveDataPath(result); break;
                case 0x0F: panels->relayReceivedData(result); break;
                }
            });
        }
        int seen = 0;
        connect(&rig.link, &CMsg::sig_rcvBIGCIGMsg, &rig.link, [&seen] { ++seen; });
        rig.recorder->clear();
        rig.dongle.sendUplink(frame);
        QTRY_COMPARE(seen, 1);
        int logged = 0;
        for (const QString &text : rig.recorder->texts())
            logged += text.startsWith(QStringLiteral("Uplink Command Name: ")) ? 1 : 0;
        QCOMPARE(logged, name.isEmpty() ? 0 : 1);
        if (!name.isEmpty())
            QCOMPARE(rig.recorder->texts().filter(QStringLiteral("Uplink Command Name: ") + name).size(), 1);
    }
};

QTEST_MAIN(TestPageRouting)
#include "tst_pagerouting.moc"
