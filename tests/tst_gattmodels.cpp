#include "gattfixture.h"
#include "gatttablemodel.h"
#include "logmanager.h"
#include "recordinglogger.h"
#include "treemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace GattFixture;

Q_DECLARE_METATYPE(QVector<AttributeInfo>)

namespace {

using Path = QList<int>;

// A model of either kind on a table, under the model tester and shown in a
// view, as the page shows it.
struct ModelRig
{
    explicit ModelRig(bool tree, const QVector<AttributeInfo> &attributes = basicTable())
        : table(attributes)
    {
        logs.addLogger(recorder);
        if (tree)
            treeModel = std::make_unique<TreeModel>(&logs, &table);
        else
            tableModel = std::make_unique<GattTableModel>(&logs, &table);
        tester = std::make_unique<QAbstractItemModelTester>(model(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.setModel(model());
        view.resize(800, 400);
        view.show();
    }

    QAbstractItemModel *model() const
    {
        return treeModel ? static_cast<QAbstractItemModel *>(treeModel.get()) : tableModel.get();
    }

    void rebuild(bool withValueRows = true)
    {
        if (treeModel)
            treeModel->setupModelData();
        else
            tableModel->setupModelData(withValueRows);
        view.expandAll();
    }

    QModelIndex at(const Path &path, int column = 0) const
    {
        QModelIndex index;
        for (int i = 0; i < path.size(); ++i)
            index = model()->index(path.at(i), i + 1 == path.size() ? column : 0, index);
        return index;
    }

    QString text(const Path &path, int column) const { return at(path, column).data().toString(); }

    // The tree as indented "handle uuid" lines, one per item.
    QStringList outline(const QModelIndex &parent = QModelIndex(), int depth = 0) const
    {
        QStringList lines;
        for (int row = 0; row < model()->rowCount(parent); ++row) {
            const QModelIndex index = model()->index(row, 0, parent);
            lines << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() + QLatin1Char(' ')
                    + index.sibling(row, 1).data().toString();
            lines << outline(index, depth + 1);
        }
        return lines;
    }

    bool logged(const QString &text, int level) const
    {
        return recorder->lines().contains(qMakePair(text, level));
    }

    LogManager logs{QStringLiteral("gattmodels")};
    RecordingLogger *recorder = new RecordingLogger;
    QVector<AttributeInfo> table;
    std::unique_ptr<TreeModel> treeModel;
    std::unique_ptr<GattTableModel> tableModel;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QTreeView view;
};

} // namespace

class TestGattModels : public QObject
{
    Q_OBJECT

private slots:
    void treeCells_data()
    {
        QTest::addColumn<Path>("path");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("expected");

        const int display = Qt::DisplayRole;
        const int tip = Qt::ToolTipRole;
        QTest::newRow("service handle") << Path{0} << 0 << display << QVariant(QStringLiteral("0X0001"));
        QTest::newRow("service uuid") << Path{0} << 1 << display << QVariant(QStringLiteral("0X2800"));
        QTest::newRow("service description") << Path{0} << 2 << display
                                             << QVariant(QStringLiteral("Primary Service Declaration"));
        QTest::newRow("service value is its uuid") << Path{0} << 3 << display << QVariant(QStringLiteral("00:18"));
        QTest::newRow("service has no properties") << Path{0} << 4 << display << QVariant(QString());
        QTest::newRow("no properties, no tool tip") << Path{0} << 4 << tip << QVariant();
        QTest::newRow("service background") << Path{0} << 0 << int(Qt::BackgroundRole)
                                            << QVariant(QColor(QStringLiteral("#e4e4e4")));
        QTest::newRow("declaration value") << Path{0, 0} << 3 << display
                                           << QVariant(QStringLiteral("0A:03:00:00:2A"));
        QTest::newRow("declaration background") << Path{0, 1} << 2 << int(Qt::BackgroundRole)
                                                << QVariant(QColor(QStringLiteral("#f7f7f7")));
        QTest::newRow("value row handle") << Path{0, 0, 0} << 0 << display << QVariant(QStringLiteral("0X0003"));
        QTest::newRow("value row uuid") << Path{0, 0, 0} << 1 << display << QVariant(QStringLiteral("0X2A00"));
        QTest::newRow("value row description") << Path{0, 0, 0} << 2 << display
                                               << QVariant(QStringLiteral("Device Name"));
        QTest::newRow("value row tool tip repeats") << Path{0, 0, 0} << 2 << tip
                                                    << QVariant(QStringLiteral("Device Name"));
        QTest::newRow("value row has no value") << Path{0, 0, 0} << 3 << display << QVariant(QString());
        QTest::newRow("properties") << Path{0, 1, 0} << 4 << display << QVariant(QStringLiteral("0x1a"));
        QTest::newRow("properties tool tip") << Path{0, 1, 0} << 4 << tip
                                             << QVariant(QStringLiteral("Read | Write | Notify"));
        QTest::newRow("value row, no background") << Path{0, 1, 0} << 0 << int(Qt::BackgroundRole) << QVariant();
        QTest::newRow("value colour") << Path{0, 1, 0} << 3 << int(Qt::ForegroundRole)
                                      << QVariant(QColor(Qt::black));
        QTest::newRow("colour only on the value") << Path{0, 1, 0} << 2 << int(Qt::ForegroundRole) << QVariant();
        QTest::newRow("descriptor") << Path{0, 1, 1} << 2 << display
                                    << QVariant(QStringLiteral("Client Characteristic Configuration"));
        QTest::newRow("second descriptor") << Path{0, 1, 2} << 1 << display << QVariant(QStringLiteral("0X2901"));
        QTest::newRow("include") << Path{1, 0} << 3 << display << QVariant(QStringLiteral("01:00:07:00:00:18"));
        QTest::newRow("128-bit uuid") << Path{1, 1, 0} << 1 << display
                                      << QVariant(QStringLiteral("0X7A736C655E575049423B342D261F1811"));
        QTest::newRow("128-bit uuid, no description") << Path{1, 1, 0} << 2 << display << QVariant(QString());
        QTest::newRow("indicate and notify") << Path{1, 1, 0} << 4 << tip
                                             << QVariant(QStringLiteral("Notify | Indicate"));
        QTest::newRow("edit role") << Path{0} << 0 << int(Qt::EditRole) << QVariant();
        QTest::newRow("past the columns") << Path{0} << 5 << display << QVariant();
    }

    void treeCells()
    {
        QFETCH(Path, path);
        QFETCH(int, column);
        QFETCH(int, role);
        QFETCH(QVariant, expected);
        ModelRig rig(true);
        rig.rebuild();
        QCOMPARE(rig.at(path, column).data(role), expected);
    }

    void treeShape()
    {
        ModelRig rig(true);
        QCOMPARE(rig.model()->rowCount(), 0);
        rig.rebuild();
        // The service that ends at 0xFFFF ends at the table's last handle.
        const QStringList expected{
            QStringLiteral("0X0001 0X2800"),         QStringLiteral("  0X0002 0X2803"),
            QStringLiteral("    0X0003 0X2A00"),     QStringLiteral("  0X0004 0X2803"),
            QStringLiteral("    0X0005 0X2A01"),     QStringLiteral("    0X0006 0X2902"),
            QStringLiteral("    0X0007 0X2901"),     QStringLiteral("0X0008 0X2800"),
            QStringLiteral("  0X0009 0X2802"),       QStringLiteral("  0X000A 0X2803"),
            QStringLiteral("    0X000B 0X7A736C655E575049423B342D261F1811"),
            QStringLiteral("    0X000C 0X2902"),
        };
        QCOMPARE(rig.outline(), expected);
        QCOMPARE(rig.treeModel->items().size(), 12);
        QVERIFY(rig.recorder->lines().isEmpty());

        const QAbstractItemModel *model = rig.model();
        for (int section = 0; section < 5; ++section)
            QVERIFY(!model->headerData(section, Qt::Horizontal).toString().isEmpty());
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("UUID Description"));
        QCOMPARE(model->headerData(5, Qt::Horizontal), QVariant());
        QCOMPARE(model->headerData(0, Qt::Vertical), QVariant());
        QCOMPARE(model->flags(rig.at({0, 1})), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        QCOMPARE(model->flags(QModelIndex()), Qt::NoItemFlags);
    }

    // Tables the peer got wrong: what is left in the tree and what is logged.
    void treeOfFaultyTables_data()
    {
        QTest::addColumn<QVector<AttributeInfo>>("attributes");
        QTest::addColumn<QStringList>("outline");
        QTest::addColumn<QString>("logText");
        QTest::addColumn<int>("logLevel");

        QVector<AttributeInfo> table = basicTable();
        store(table, service(8, 0x0020, uuid16(0x180F)));
        QTest::newRow("end past the last handle")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("  0X0002 0X2803"),
                           QStringLiteral("    0X0003 0X2A00"), QStringLiteral("  0X0004 0X2803"),
                           QStringLiteral("    0X0005 0X2A01"), QStringLiteral("    0X0006 0X2902"),
                           QStringLiteral("    0X0007 0X2901"), QStringLiteral("0X0008 0X2800"),
                           QStringLiteral("  0X0009 0X2802"), QStringLiteral("  0X000A 0X2803"),
                           QStringLiteral("    0X000B 0X7A736C655E575049423B342D261F1811"),
                           QStringLiteral("    0X000C 0X2902")}
            << QStringLiteral("The service end handle is not correct") << 3;

        table = basicTable();
        store(table, declaration(10, 0x30, 0x30, uuid16(0x2A19)));
        QTest::newRow("value handle is not the next handle")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("  0X0002 0X2803"),
                           QStringLiteral("    0X0003 0X2A00"), QStringLiteral("  0X0004 0X2803"),
                           QStringLiteral("    0X0005 0X2A01"), QStringLiteral("    0X0006 0X2902"),
                           QStringLiteral("    0X0007 0X2901"), QStringLiteral("0X0008 0X2800"),
                           QStringLiteral("  0X0009 0X2802"), QStringLiteral("  0X000A 0X2803")}
            << QStringLiteral("GATT tree model data is wrong.") << 4;

        table = basicTable();
        store(table, include(6, 1, 7, uuid16(0x1800)));
        QTest::newRow("include after a characteristic")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("  0X0002 0X2803"),
                           QStringLiteral("    0X0003 0X2A00"), QStringLiteral("  0X0004 0X2803"),
                           QStringLiteral("    0X0005 0X2A01"), QStringLiteral("    0X0006 0X2802"),
                           QStringLiteral("    0X0007 0X2901"), QStringLiteral("0X0008 0X2800"),
                           QStringLiteral("  0X0009 0X2802"), QStringLiteral("  0X000A 0X2803"),
                           QStringLiteral("    0X000B 0X7A736C655E575049423B342D261F1811"),
                           QStringLiteral("    0X000C 0X2902")}
            << QString() << 0;

        table = basicTable();
        table[6] = AttributeInfo();
        QTest::newRow("unreported handle among descriptors")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("  0X0002 0X2803"),
                           QStringLiteral("    0X0003 0X2A00"), QStringLiteral("  0X0004 0X2803"),
                           QStringLiteral("    0X0005 0X2A01"), QStringLiteral("    0X0000 0X0000"),
                           QStringLiteral("    0X0007 0X2901"),
                           QStringLiteral("0X0008 0X2800"), QStringLiteral("  0X0009 0X2802"),
                           QStringLiteral("  0X000A 0X2803"),
                           QStringLiteral("    0X000B 0X7A736C655E575049423B342D261F1811"),
                           QStringLiteral("    0X000C 0X2902")}
            << QString() << 0;

        table = basicTable();
        table[8].value = QByteArray::fromHex("0800");
        QTest::newRow("service value too short")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("  0X0002 0X2803"),
                           QStringLiteral("    0X0003 0X2A00"), QStringLiteral("  0X0004 0X2803"),
                           QStringLiteral("    0X0005 0X2A01"), QStringLiteral("    0X0006 0X2902"),
                           QStringLiteral("    0X0007 0X2901")}
            << QStringLiteral("GATT tree model data is wrong.") << 4;

        table = basicTable();
        table[8].value = le16(9) + le16(12) + uuid16(0x180F);
        QTest::newRow("start is not the service's handle")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("  0X0002 0X2803"),
                           QStringLiteral("    0X0003 0X2A00"), QStringLiteral("  0X0004 0X2803"),
                           QStringLiteral("    0X0005 0X2A01"), QStringLiteral("    0X0006 0X2902"),
                           QStringLiteral("    0X0007 0X2901")}
            << QStringLiteral("GATT tree model data is wrong.") << 4;

        table = basicTable();
        store(table, service(1, 0, uuid16(0x1800)));
        QTest::newRow("end below the start")
            << table
            << QStringList{QStringLiteral("0X0001 0X2800"), QStringLiteral("0X0008 0X2800"),
                           QStringLiteral("  0X0009 0X2802"), QStringLiteral("  0X000A 0X2803"),
                           QStringLiteral("    0X000B 0X7A736C655E575049423B342D261F1811"),
                           QStringLiteral("    0X000C 0X2902")}
            << QString() << 0;
    }

    void treeOfFaultyTables()
    {
        QFETCH(QVector<AttributeInfo>, attributes);
        QFETCH(QStringList, outline);
        QFETCH(QString, logText);
        QFETCH(int, logLevel);
        ModelRig rig(true, attributes);
        rig.rebuild();
        QCOMPARE(rig.outline(), outline);
        if (logText.isEmpty())
            QVERIFY(rig.recorder->lines().isEmpty());
        else
            QVERIFY2(rig.logged(logText, logLevel), qPrintable(rig.recorder->texts().join(QLatin1Char('\n'))));
    }

    // A database that reaches the last handle must not wrap round for ever.
    void treeReachesTheLastHandle()
    {
        QVector<AttributeInfo> table;
        store(table, service(0xFFF0, 0xFFFF, uuid16(0x180F)));
        quint16 handle = 0xFFF1;
        for (int i = 0; i < 5; ++i) {
            store(table, declaration(handle, 0x02, handle + 1, uuid16(0x2A19)));
            store(table, placeholder(handle + 1));
            handle += 2;
        }
        store(table, declaration(0xFFFB, 0x12, 0xFFFC, uuid16(0x2A19)));
        store(table, placeholder(0xFFFC));
        store(table, descriptor(0xFFFD, 0x2902));
        store(table, descriptor(0xFFFE, 0x2901));
        store(table, descriptor(0xFFFF, 0x2904));
        QCOMPARE(table.size(), 0x10000);

        ModelRig rig(true, table);
        rig.rebuild();
        QCOMPARE(rig.model()->rowCount(), 1);
        QCOMPARE(rig.model()->rowCount(rig.at({0})), 6);
        QCOMPARE(rig.text({0, 5, 3}, 0), QStringLiteral("0XFFFF"));
        QVERIFY(rig.recorder->lines().isEmpty());

        ModelRig flat(false, table);
        flat.rebuild();
        QCOMPARE(flat.model()->rowCount(), 16);
        QCOMPARE(flat.text({15}, 0), QStringLiteral("0XFFFF"));
    }

    // Views hear of a reset before anything they show is freed, and of its
    // end only once the model is whole again, also when a rebuild stops early.
    void resetsFrameTheWholeChange_data()
    {
        QTest::addColumn<bool>("tree");
        QTest::addColumn<bool>("clearInstead");
        QTest::addColumn<bool>("faulty");
        QTest::newRow("tree rebuild") << true << false << false;
        QTest::newRow("tree rebuild that stops") << true << false << true;
        QTest::newRow("tree clear") << true << true << false;
        QTest::newRow("table rebuild") << false << false << false;
        QTest::newRow("table rebuild that stops") << false << false << true;
        QTest::newRow("table clear") << false << true << false;
    }

    void resetsFrameTheWholeChange()
    {
        QFETCH(bool, tree);
        QFETCH(bool, clearInstead);
        QFETCH(bool, faulty);
        ModelRig rig(tree);
        rig.rebuild();
        const QPersistentModelIndex shown = rig.at(tree ? Path{0, 1, 0} : Path{4}, 0);
        QCOMPARE(shown.data().toString(), QStringLiteral("0X0005"));

        if (faulty)
            rig.table[4].value.truncate(2); // declaration too short for its value handle
        QStringList seenAtBegin;
        int rowsAtEnd = -1;
        connect(rig.model(), &QAbstractItemModel::modelAboutToBeReset, this,
                [&] { seenAtBegin << shown.data().toString(); });
        connect(rig.model(), &QAbstractItemModel::modelReset, this, [&] { rowsAtEnd = rig.model()->rowCount(); });
        QSignalSpy begins(rig.model(), &QAbstractItemModel::modelAboutToBeReset);
        QSignalSpy ends(rig.model(), &QAbstractItemModel::modelReset);

        if (clearInstead) {
            if (tree)
                rig.treeModel->clear();
            else
                rig.tableModel->clear();
        } else {
            rig.rebuild();
        }
        QCOMPARE(begins.count(), 1);
        QCOMPARE(ends.count(), 1);
        QCOMPARE(seenAtBegin, QStringList{QStringLiteral("0X0005")});
        QCOMPARE(rowsAtEnd, rig.model()->rowCount());
        if (clearInstead)
            QCOMPARE(rowsAtEnd, 0);
        if (faulty) {
            QVERIFY(rig.logged(tree ? QStringLiteral("GATT tree model data is wrong.")
                                    : QStringLiteral("Gatt table model data is wrong."),
                               4));
            QCOMPARE(rowsAtEnd, tree ? 1 : 4);
        }
    }

    void tableRows_data()
    {
        QTest::addColumn<bool>("withValueRows");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("with value rows")
            << true
            << QStringList{QStringLiteral("0X0001 0X2800 00:18"), QStringLiteral("0X0002 0X2803 0A:03:00:00:2A"),
                           QStringLiteral("0X0003 0X2A00 "),      QStringLiteral("0X0004 0X2803 1A:05:00:01:2A"),
                           QStringLiteral("0X0005 0X2A01 "),      QStringLiteral("0X0006 0X2902 "),
                           QStringLiteral("0X0007 0X2901 "),      QStringLiteral("0X0008 0X2800 0F:18"),
                           QStringLiteral("0X0009 0X2802 01:00:07:00:00:18"),
                           QStringLiteral("0X000A 0X2803 30:0B:00:11:18:1F:26:2D:34:3B:42:49:50:57:5E:65:6C:73:7A"),
                           QStringLiteral("0X000B 0X7A736C655E575049423B342D261F1811"),
                           QStringLiteral("0X000C 0X2902 ")};
        QTest::newRow("placeholders instead")
            << false
            << QStringList{QStringLiteral("0X0001 0X2800 00:18"), QStringLiteral("0X0002 0X2803 0A:03:00:00:2A"),
                           QStringLiteral("0X0003 0X0000 "),      QStringLiteral("0X0004 0X2803 1A:05:00:01:2A"),
                           QStringLiteral("0X0005 0X0000 "),      QStringLiteral("0X0006 0X2902 "),
                           QStringLiteral("0X0007 0X2901 "),      QStringLiteral("0X0008 0X2800 0F:18"),
                           QStringLiteral("0X0009 0X2802 01:00:07:00:00:18"),
                           QStringLiteral("0X000A 0X2803 30:0B:00:11:18:1F:26:2D:34:3B:42:49:50:57:5E:65:6C:73:7A"),
                           QStringLiteral("0X000B 0X0000 "),      QStringLiteral("0X000C 0X2902 ")};
    }

    void tableRows()
    {
        QFETCH(bool, withValueRows);
        QFETCH(QStringList, rows);
        ModelRig rig(false);
        rig.rebuild(withValueRows);
        QStringList shown;
        for (int row = 0; row < rig.model()->rowCount(); ++row) {
            QString line = rig.text({row}, 0) + QLatin1Char(' ') + rig.text({row}, 1);
            const QString value = rig.text({row}, 3);
            if (rig.text({row}, 1).size() <= 6)
                line += QLatin1Char(' ') + value;
            shown << line;
        }
        QCOMPARE(shown, rows);
        QCOMPARE(rig.tableModel->attributes().size(), rows.size());
        QCOMPARE(rig.at({0}).data(Qt::BackgroundRole), QVariant(QColor(Qt::white)));
        QCOMPARE(rig.at({1}).data(Qt::BackgroundRole), QVariant(QColor(QStringLiteral("#f7f7f7"))));
        QCOMPARE(rig.text({4}, 4), withValueRows ? QStringLiteral("0x1a") : QString());
        QCOMPARE(rig.model()->rowCount(rig.at({0})), 0);
        QCOMPARE(rig.model()->columnCount(rig.at({0})), 0);
        QVERIFY(!rig.model()->index(0, 0, rig.at({0})).isValid());
        QVERIFY(!rig.model()->parent(rig.at({3})).isValid());
    }

    void valueUpdates_data()
    {
        QTest::addColumn<bool>("tree");
        QTest::addColumn<Path>("path");
        QTest::newRow("tree") << true << Path{0, 1, 0};
        QTest::newRow("table") << false << Path{4};
    }

    void valueUpdates()
    {
        QFETCH(bool, tree);
        QFETCH(Path, path);
        ModelRig rig(tree);
        rig.rebuild();
        QSignalSpy changed(rig.model(), &QAbstractItemModel::dataChanged);
        auto update = [&](quint16 handle, const QByteArray &value) {
            return tree ? rig.treeModel->updateValue(handle, value) : rig.tableModel->updateValue(handle, value);
        };

        QCOMPARE(update(0x0030, QByteArray::fromHex("01")), -1);
        QCOMPARE(changed.count(), 0);

        QCOMPARE(update(5, QByteArray::fromHex("0aff01")), 0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(rig.text(path, 3), QStringLiteral("0A:FF:01"));
        QCOMPARE(rig.at(path, 3).data(Qt::ForegroundRole), QVariant(QColor(QStringLiteral("#189ede"))));
        const QModelIndex first = changed.first().at(0).value<QModelIndex>();
        const QModelIndex last = changed.first().at(1).value<QModelIndex>();
        QCOMPARE(first, rig.at(path, 0));
        QCOMPARE(last, rig.at(path, 4));
        // The table of the page is the models' source, never their target.
        QVERIFY(rig.table.at(5).value.isEmpty());

        AttributeInfo record;
        QCOMPARE(tree ? rig.treeModel->getAttribute(rig.at(path, 2), record)
                      : rig.tableModel->getAttribute(rig.at(path, 2), record),
                 0);
        QCOMPARE(record.handle, quint16(5));
        QCOMPARE(record.value, QByteArray::fromHex("0aff01"));
        QCOMPARE(record.properties, quint8(0x1A));

        // A rebuild copies the table again, colour included.
        rig.rebuild();
        QCOMPARE(rig.text(path, 3), QString());
        QCOMPARE(rig.at(path, 3).data(Qt::ForegroundRole), QVariant(QColor(Qt::black)));
    }

    void getAttributeRefusesForeignIndexes()
    {
        ModelRig tree(true);
        ModelRig table(false);
        tree.rebuild();
        table.rebuild();
        AttributeInfo record;
        record.handle = 77;
        QCOMPARE(tree.treeModel->getAttribute(QModelIndex(), record), -1);
        QCOMPARE(table.tableModel->getAttribute(QModelIndex(), record), -1);
        QCOMPARE(tree.treeModel->getAttribute(table.at({1}), record), -1);
        QCOMPARE(table.tableModel->getAttribute(tree.at({1}), record), -1);
        QCOMPARE(record.handle, quint16(77));
    }
};

QTEST_MAIN(TestGattModels)
#include "tst_gattmodels.moc"
