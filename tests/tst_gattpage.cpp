#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cgattcmddlg.h"
#include "cgattwidget.h"
#include "commandnames.h"
#include "framebuilder.h"
#include "gatttablemodel.h"
#include "linkrig.h"
#include "simbehaviour_gatt.h"
#include "treemodel.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Two connections' GATT pages of one dongle, on the simulated dongle with
// its GATT database.
struct PageRig : LinkRig
{
    PageRig()
        : LinkRig(QStringLiteral("gattpage"), 5)
    {
        gatt = GattBehaviour::install(dongle);
        for (quint8 condix : {quint8(1), quint8(2)}) {
            auto page = std::make_unique<CGattWidget>(&link, &logs, &settings, &dongleName, condix);
            page->resize(1093, 762);
            pages.push_back(std::move(page));
        }
    }

    CGattWidget *page(int condix) const { return pages.at(condix - 1).get(); }
    template <typename T>
    static T *child(CGattWidget *page, const char *name)
    {
        return page->findChild<T *>(QString::fromLatin1(name));
    }

    bool send(const char *command, quint8 condix)
    {
        QMap<QString, QVariant> fields;
        fields.insert(QStringLiteral("condix"), int(condix));
        return CCommand::sendMsg(&link, &logs, QString::fromLatin1(command), fields, {});
    }

    int linesWith(const QString &text) const
    {
        int count = 0;
        for (const QString &line : recorder->texts())
            count += line.contains(text);
        return count;
    }

    static QStringList outline(const QAbstractItemModel *model, const QModelIndex &parent = QModelIndex(),
                               int depth = 0)
    {
        QStringList lines;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            lines << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() + QLatin1Char(' ')
                    + index.sibling(row, 2).data().toString();
            lines << outline(model, index, depth + 1);
        }
        return lines;
    }

    QMap<QString, QVariant> settings;
    QString dongleName{QStringLiteral("Dongle1")};
    GattBehaviour *gatt;
    std::vector<std::unique_ptr<CGattWidget>> pages;
};

const QStringList batchControls{QStringLiteral("toolButton_dicoverAllAttr"),
                                QStringLiteral("toolButton_enableNotifyAndIndicate"),
                                QStringLiteral("toolButton_disableNotifyAndIndicate"),
                                QStringLiteral("toolButton_readAllChar")};

} // namespace

class TestGattPage : public QObject
{
    Q_OBJECT

private slots:
    void formAsTheUserFirstSeesIt_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("discover") << "toolButton_dicoverAllAttr" << "Discover All Attributes" << true;
        QTest::newRow("notify on") << "toolButton_enableNotifyAndIndicate" << "Enable Notification/indication"
                                   << false;
        QTest::newRow("notify off") << "toolButton_disableNotifyAndIndicate" << "Disable Notification/indication"
                                    << false;
        QTest::newRow("read all") << "toolButton_readAllChar" << "Read All Characteristic" << false;
        QTest::newRow("mtu") << "toolButton_exchangeMTU" << "Exchange MTU" << true;
        QTest::newRow("pair") << "toolButton_pair" << "Start Pair" << true;
        QTest::newRow("link key") << "toolButton_getLnk" << "Get Lnk" << true;
        QTest::newRow("export") << "toolButton_export" << "Export To CSV File" << true;
        QTest::newRow("clear") << "toolButton_clear" << "Clear" << true;
        QTest::newRow("expand") << "toolButton_expandAll" << "Expand All" << true;
        QTest::newRow("collapse") << "toolButton_collapseAll" << "Collapse All" << true;
    }

    void formAsTheUserFirstSeesIt()
    {
        QFETCH(QString, button);
        QFETCH(QString, toolTip);
        QFETCH(bool, enabled);
        QMap<QString, QVariant> settings;
        const QString name = QStringLiteral("Dongle1");
        CGattWidget page(nullptr, nullptr, &settings, &name, 4);
        auto *tool = page.findChild<QToolButton *>(button);
        QVERIFY(tool);
        QCOMPARE(tool->toolTip(), toolTip);
        QCOMPARE(tool->isEnabled(), enabled);
        QVERIFY(!tool->icon().isNull());

        QCOMPARE(page.objectName(), QStringLiteral("CGattWidget"));
        QCOMPARE(page.condix(), uint8_t(4));
        auto *tabs = page.findChild<QTabWidget *>(QStringLiteral("gattTabWidget"));
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Attribute Detail"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Send Commands"));
        QCOMPARE(tabs->currentIndex(), 0);
        // The console is built when its tab is first shown, inside that tab.
        QVERIFY(!page.findChild<CGattCmdDlg *>());
        tabs->setCurrentIndex(1);
        QVERIFY(page.findChild<CGattCmdDlg *>());
        QCOMPARE(page.commandConsole()->parentWidget(), tabs->widget(1));
        tabs->setCurrentIndex(0);
        auto *view = page.findChild<QTreeView *>(QStringLiteral("treeView"));
        QCOMPARE(view->model(), static_cast<QAbstractItemModel *>(page.treeModel()));
        QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
        // Those widths, or a title's own where it needs more.
        const int widths[] = {120, 120, 160, 300, 120};
        for (int column = 0; column < 5; ++column)
            QCOMPARE(view->columnWidth(column), qMax(widths[column], view->header()->sectionSizeHint(column)));
        auto *mode = page.findChild<QComboBox *>(QStringLiteral("comboBox_mode"));
        QCOMPARE(mode->count(), 2);
        QCOMPARE(mode->itemText(0), QStringLiteral("category"));
        QCOMPARE(mode->itemText(1), QStringLiteral("simple"));
        QVERIFY(!page.findChild<QPushButton *>(QStringLiteral("pb_read"))->isEnabled());
        QVERIFY(!page.findChild<QPushButton *>(QStringLiteral("pb_write"))->isEnabled());
        QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("pb_write"))->text(), QStringLiteral("WriteValue"));
        QVERIFY(page.attributeTable().isEmpty());
    }

    void routesOnlyCatalogueIdsOfItsLayers()
    {
        PageRig rig;
        const QStringList ids = rig.page(1)->routedIds();
        for (const QString &id : ids) {
            QVERIFY2(id.startsWith(QStringLiteral("BB@03@")) || id.startsWith(QStringLiteral("DD@03@"))
                         || id.startsWith(QStringLiteral("BB@02@")) || id.startsWith(QStringLiteral("DD@02@")),
                     qPrintable(id));
            QVERIFY2(!CCfgFileParse::instance()->m_uplinkIdToNameMap.value(id).isEmpty(), qPrintable(id));
        }
    }

    // Acknowledgements carry no connection index: each is logged once, by
    // the page that sent its command, whichever tab is current, and a
    // refusal names that page's connection.
    void acknowledgementsAreLoggedByTheirOwnPage_data()
    {
        QTest::addColumn<int>("sender");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("link");
        QTest::newRow("sent by the current tab's page") << 1 << 1 << false;
        QTest::newRow("sent by another tab's page") << 1 << 2 << false;
        QTest::newRow("no connection tab current") << 2 << 0 << false;
        QTest::newRow("Gatt get Lnk") << 2 << 1 << true;
    }

    void acknowledgementsAreLoggedByTheirOwnPage()
    {
        QFETCH(int, sender);
        QFETCH(int, current);
        QFETCH(bool, link);
        PageRig rig;
        QVERIFY(rig.openAndSync());
        rig.page(1)->setIsCurrentTab(current == 1);
        rig.page(2)->setIsCurrentTab(current == 2);
        rig.dongle.refuse(link ? QStringLiteral("02@0A") : QStringLiteral("03@00"), 0x06);
        rig.recorder->clear();
        if (link)
            rig.page(sender)->on_toolButton_getLnk_clicked();
        else
            rig.page(sender)->on_toolButton_exchangeMTU_clicked();
        QVERIFY(rig.dongle.waitForFrames(1));
        QTRY_COMPARE(rig.link.acknowledgements().waiting(), 0);
        QTest::qWait(50);
        QCOMPARE(rig.linesWith(QStringLiteral("[SDK Result] Uplink Command Name:")), 1);
        QCOMPARE(rig.linesWith(QStringLiteral("Connection %1: the dongle refused").arg(sender)), 1);
        QCOMPARE(rig.linesWith(QStringLiteral("Connection %1:").arg(3 - sender)), 0);
    }

    void discoveryOfAllAttributesFillsItsOwnConnectionOnly()
    {
        PageRig rig;
        QVERIFY(rig.openAndSync());
        for (CGattWidget *page : {rig.page(1), rig.page(2)}) {
            for (const QString &name : batchControls)
                page->findChild<QWidget *>(name)->setEnabled(false);
        }
        QVERIFY(rig.send(CMD_DISCOVER_ALL_ATTRIBUTES, 2));
        QTRY_VERIFY(rig.page(2)->treeModel()->rowCount() > 0);

        const QStringList expected{
            QStringLiteral("0X0001 Primary Service Declaration"),
            QStringLiteral("  0X0002 Characteristic Declaration"),
            QStringLiteral("    0X0003 Device Name"),
            QStringLiteral("  0X0004 Characteristic Declaration"),
            QStringLiteral("    0X0005 Appearance"),
            QStringLiteral("0X0006 Primary Service Declaration"),
            QStringLiteral("  0X0007 Include Declaration"),
            QStringLiteral("  0X0008 Characteristic Declaration"),
            QStringLiteral("    0X0009 Battery Level"),
            QStringLiteral("    0X000A Client Characteristic Configuration"),
            QStringLiteral("0X000B Primary Service Declaration"),
            QStringLiteral("  0X000C Characteristic Declaration"),
            QStringLiteral("    0X000D "),
            QStringLiteral("    0X000E Client Characteristic Configuration"),
            QStringLiteral("    0X000F Characteristic User Description"),
        };
        QCOMPARE(PageRig::outline(rig.page(2)->treeModel()), expected);
        QCOMPARE(rig.page(2)->tableModel()->rowCount(), 15);
        QCOMPARE(rig.page(2)->attributeTable().size(), 16);
        for (const QString &name : batchControls) {
            QVERIFY2(rig.page(2)->findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
            QVERIFY2(!rig.page(1)->findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
        }
        QVERIFY(rig.page(1)->attributeTable().isEmpty());
        QCOMPARE(rig.page(1)->treeModel()->rowCount(), 0);
        QCOMPARE(rig.page(1)->tableModel()->rowCount(), 0);
    }

    // Entries as the discovery events store them, and the flat list after each.
    void discoveryEventsStoreTheirEntries()
    {
        PageRig rig;
        QVERIFY(rig.openAndSync());
        const QByteArray uuid128 = QByteArray::fromHex("00112233445566778899aabbccddeeff");
        rig.dongle.sendUplinks({GattBehaviour::serviceEvent(1, 0x0010, 0x0014, GattDatabase::uuid16(0x180D)),
                                GattBehaviour::characteristicEvent(1, 0x0011, 0x10, 0x0012,
                                                                   GattDatabase::uuid16(0x2A37)),
                                GattBehaviour::descriptorEvent(1, 0x0013, GattDatabase::uuid16(0x2902)),
                                GattBehaviour::descriptorEvent(1, 0x0014, uuid128),
                                // A peer that reports its value attribute as a descriptor.
                                GattBehaviour::descriptorEvent(1, 0x0012, GattDatabase::uuid16(0x2A37))});
        QTRY_COMPARE(rig.page(1)->attributeTable().size(), 0x15);
        QTRY_COMPARE(rig.page(1)->attributeTable().at(0x12).uuidDescription, QStringLiteral("Heart Rate Measurement"));
        const QVector<AttributeInfo> &table = rig.page(1)->attributeTable();
        QCOMPARE(table.at(0x10).value, QByteArray::fromHex("100014000d18"));
        QCOMPARE(table.at(0x10).uuidDescription, QStringLiteral("Primary Service Declaration"));
        QCOMPARE(table.at(0x11).value, QByteArray::fromHex("101200372a"));
        QCOMPARE(table.at(0x13).uuid, CCommand::uuid16ToArray(0x2902));
        QCOMPARE(table.at(0x13).uuidDescription, QStringLiteral("Client Characteristic Configuration"));
        QCOMPARE(table.at(0x14).uuid, uuid128);
        QVERIFY(table.at(0x14).uuidDescription.isEmpty());
        QCOMPARE(table.at(0x0F).valid, uint8_t(0));
        for (int handle = 0x10; handle <= 0x14; ++handle) {
            QCOMPARE(table.at(handle).valid, uint8_t(1));
            QCOMPARE(table.at(handle).handle, quint16(handle));
        }
        // The last event was a descriptor: the flat list shows no built value rows.
        QTRY_COMPARE(rig.page(1)->tableModel()->rowCount(), 5);
        QCOMPARE(rig.page(1)->treeModel()->rowCount(), 0);

        rig.dongle.sendUplink(GattBehaviour::discoveryEndEvent(1));
        QTRY_COMPARE(rig.page(1)->treeModel()->rowCount(), 1);
        QCOMPARE(PageRig::outline(rig.page(1)->treeModel()),
                 (QStringList{QStringLiteral("0X0010 Primary Service Declaration"),
                              QStringLiteral("  0X0011 Characteristic Declaration"),
                              QStringLiteral("    0X0012 Heart Rate Measurement"),
                              QStringLiteral("    0X0013 Client Characteristic Configuration"),
                              QStringLiteral("    0X0014 ")}));
        QVERIFY(rig.page(2)->attributeTable().isEmpty());
    }

    // The last handle holds a declaration, but nothing after it: the table
    // stops at 0xFFFF and the tree still ends.
    void aCharacteristicAtTheLastHandle()
    {
        PageRig rig;
        QVERIFY(rig.openAndSync());
        rig.dongle.sendUplinks({GattBehaviour::serviceEvent(2, 0xFFFD, 0xFFFF, GattDatabase::uuid16(0x180F)),
                                GattBehaviour::characteristicEvent(2, 0xFFFE, 0x02, 0xFFFF,
                                                                   GattDatabase::uuid16(0x2A19)),
                                GattBehaviour::characteristicEvent(2, 0xFFFF, 0x02, 0x0000,
                                                                   GattDatabase::uuid16(0x2A19)),
                                GattBehaviour::discoveryEndEvent(2)});
        QTRY_COMPARE(rig.page(2)->treeModel()->rowCount(), 1);
        QCOMPARE(rig.page(2)->attributeTable().size(), 0x10000);
        QCOMPARE(rig.page(2)->attributeTable().at(0xFFFF).handle, quint16(0xFFFF));
        QVERIFY(CCommand::isUuid16(rig.page(2)->attributeTable().at(0xFFFF).uuid, 0x2803) == 0);
        QVERIFY(rig.page(2)->attributeTable().at(0).valid == 0);
    }

    // A burst of results is shown once, as the last of them would show it.
    void aBurstOfResultsRebuildsTheFlatListOnce()
    {
        PageRig rig;
        CGattWidget *page = rig.page(1);
        QSignalSpy resets(page->tableModel(), &QAbstractItemModel::modelReset);
        const GattDatabase database = GattDatabase::standard();
        QList<QByteArray> events = GattBehaviour::discoveryEvents(1, database);
        events.removeLast(); // no end: that one builds at once
        for (const QByteArray &event : events)
            page->onRcvMsg(event);
        QCOMPARE(resets.count(), 0);
        QTRY_COMPARE(resets.count(), 1);
        // The last event was a descriptor: placeholders, no built value rows.
        QCOMPARE(page->tableModel()->rowCount(), database.size());
        QCOMPARE(page->tableModel()->index(2, 1).data().toString(), QStringLiteral("0X0000"));

        page->onRcvMsg(GattBehaviour::characteristicEvent(1, 0x0020, 0x02, 0x0021, GattDatabase::uuid16(0x2A19)));
        page->onRcvMsg(GattBehaviour::discoveryEndEvent(1));
        QCOMPARE(resets.count(), 2);
        QCOMPARE(page->tableModel()->index(2, 1).data().toString(), QStringLiteral("0X2A00"));
        QTest::qWait(20);
        QCOMPARE(resets.count(), 2);
    }

    // Cells are measured in the font the view draws them with, also when it
    // changes between two fits of one turn of the event loop.
    void columnsFitTheirCellsInTheViewsFont()
    {
        PageRig rig;
        CGattWidget *page = rig.page(1);
        for (const QByteArray &event : GattBehaviour::discoveryEvents(1, GattDatabase::standard()))
            page->onRcvMsg(event);
        auto *view = PageRig::child<QTreeView>(page, "treeView");
        auto *mode = PageRig::child<QComboBox>(page, "comboBox_mode");
        const QString longest = QStringLiteral("Client Characteristic Configuration");
        QCOMPARE(view->model()->match(view->model()->index(0, 2), Qt::DisplayRole, longest, 1,
                                      Qt::MatchExactly | Qt::MatchRecursive)
                     .size(),
                 1);
        const auto fitAgain = [mode] {
            mode->setCurrentIndex(1);
            mode->setCurrentIndex(0);
        };
        fitAgain();
        QVERIFY(view->columnWidth(2) >= view->fontMetrics().horizontalAdvance(longest));

        QFont large = view->font();
        large.setPixelSize(60);
        view->setFont(large);
        fitAgain();
        QVERIFY(view->columnWidth(2) >= view->fontMetrics().horizontalAdvance(longest));
    }

    void malformedDiscoveryEventsChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("service without handles") << FrameBuilder::frame(0xDD, 0x03, 0x30, QByteArray::fromHex("01"));
        QTest::newRow("characteristic cut short") << FrameBuilder::frame(0xDD, 0x03, 0x32, QByteArray::fromHex("0110"));
        QTest::newRow("end without its connection") << FrameBuilder::frame(0xDD, 0x03, 0x34);
        QTest::newRow("length field lies") << FrameBuilder::fromHex("DD 03 30 09 00 01 10 00 14 00 0D 18");
    }

    void malformedDiscoveryEventsChangeNothing()
    {
        QFETCH(QByteArray, frame);
        PageRig rig;
        QVERIFY(rig.openAndSync());
        rig.dongle.sendUplink(frame);
        rig.dongle.sendUplink(GattBehaviour::descriptorEvent(2, 3, GattDatabase::uuid16(0x2902)));
        QTRY_COMPARE(rig.page(2)->attributeTable().size(), 4);
        QVERIFY(rig.page(1)->attributeTable().isEmpty());
        QCOMPARE(rig.page(1)->treeModel()->rowCount(), 0);
        QCOMPARE(rig.page(1)->tableModel()->rowCount(), 0);
    }

    // A discovery sent from the console fills only the flat list, so the
    // page shows that one and keeps the user from switching back.
    // A value shown, whether notified or read, leaves the whole tree
    // expanded, whatever the user had collapsed before.
    void aValueExpandsTheWholeTree_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("read");
        for (const bool read : {false, true}) {
            const char *how = read ? "read" : "notified";
            QTest::addRow("%s, nothing collapsed", how) << "nothing" << read;
            QTest::addRow("%s, a service collapsed", how) << "service" << read;
            QTest::addRow("%s, a characteristic collapsed", how) << "characteristic" << read;
            QTest::addRow("%s, all collapsed", how) << "all" << read;
            QTest::addRow("%s, flat list and back", how) << "flat" << read;
            QTest::addRow("%s, second value, a service collapsed", how) << "twice" << read;
        }
    }

    void aValueExpandsTheWholeTree()
    {
        QFETCH(QString, before);
        QFETCH(bool, read);
        PageRig rig;
        QVERIFY(rig.openAndSync());
        CGattWidget *page = rig.page(2);
        auto *view = PageRig::child<QTreeView>(page, "treeView");
        QVERIFY(rig.send(CMD_DISCOVER_ALL_ATTRIBUTES, 2));
        // The tree is built when the discovery ends.
        QTRY_VERIFY(page->treeModel()->rowCount() > 0);
        QCOMPARE(page->tableModel()->rowCount(), 15);
        const std::function<QStringList(const QModelIndex &)> collapsed = [&](const QModelIndex &parent) {
            QStringList names;
            for (int row = 0; row < page->treeModel()->rowCount(parent); ++row) {
                const QModelIndex index = page->treeModel()->index(row, 0, parent);
                if (page->treeModel()->rowCount(index) > 0 && !view->isExpanded(index))
                    names << index.data().toString();
                names << collapsed(index);
            }
            return names;
        };
        QCOMPARE(collapsed(QModelIndex()), QStringList());
        const QModelIndex service = page->treeModel()->index(1, 0);
        const QModelIndex characteristic = page->treeModel()->index(1, 0, service);
        const auto showValue = [&](char byte) {
            QSignalSpy shown(page->treeModel(), &QAbstractItemModel::dataChanged);
            if (read)
                rig.dongle.sendUplink(FrameBuilder::fromHex("DD 03 0F 0B 00 02 00 01 00 09 00 00 00 01 00") + QByteArray(1, byte));
            else
                rig.dongle.sendUplink(GattBehaviour::notificationEvent(2, 9, QByteArray(1, byte), false));
            return shown.wait(5000);
        };

        if (before == QLatin1String("twice")) {
            QVERIFY(showValue('\x11'));
            QCOMPARE(collapsed(QModelIndex()), QStringList());
        }
        if (before == QLatin1String("service") || before == QLatin1String("twice"))
            view->collapse(service);
        else if (before == QLatin1String("characteristic"))
            view->collapse(characteristic);
        else if (before == QLatin1String("all"))
            PageRig::child<QToolButton>(page, "toolButton_collapseAll")->click();
        else if (before == QLatin1String("flat")) {
            PageRig::child<QComboBox>(page, "comboBox_mode")->setCurrentIndex(1);
            PageRig::child<QComboBox>(page, "comboBox_mode")->setCurrentIndex(0);
        }
        if (before != QLatin1String("nothing") && before != QLatin1String("flat"))
            QVERIFY(!collapsed(QModelIndex()).isEmpty());
        QVERIFY(showValue('\x22'));
        QCOMPARE(collapsed(QModelIndex()), QStringList());
    }

    void aConsoleDiscoveryShowsTheFlatList()
    {
        PageRig rig;
        QVERIFY(rig.openAndSync());
        CGattWidget *page = rig.page(1);
        auto *mode = PageRig::child<QComboBox>(page, "comboBox_mode");
        auto *view = PageRig::child<QTreeView>(page, "treeView");
        emit page->commandConsole()->sig_sendDicoverCmd();
        QCOMPARE(mode->currentIndex(), 1);
        QVERIFY(!mode->isEnabled());
        QCOMPARE(view->model(), static_cast<QAbstractItemModel *>(page->tableModel()));
        QVERIFY(!PageRig::child<QToolButton>(page, "toolButton_expandAll")->isEnabled());
        QVERIFY(!PageRig::child<QToolButton>(page, "toolButton_collapseAll")->isEnabled());
        QCOMPARE(view->columnWidth(3), 300);

        mode->setEnabled(true);
        mode->setCurrentIndex(0);
        QCOMPARE(view->model(), static_cast<QAbstractItemModel *>(page->treeModel()));
        QVERIFY(PageRig::child<QToolButton>(page, "toolButton_expandAll")->isEnabled());
        QVERIFY(PageRig::child<QToolButton>(page, "toolButton_collapseAll")->isEnabled());
    }
};

QTEST_MAIN(TestGattPage)
#include "tst_gattpage.moc"
