#include "capturelogger.h"
#include "ccheckboxsetting.h"
#include "ccomboboxsetting.h"
#include "ccomboboxwithcheckbox.h"
#include "ccomboboxwithcheckboxsetting.h"
#include "clineeditsetting.h"
#include "cprofiletablemodel.h"
#include "cprofiletablesetting.h"
#include "csettingcategory.h"
#include "csettingdialog.h"
#include "csettinggroup.h"
#include "cvalidatelineedit.h"
#include "logger.h"
#include "logmanager.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include "modalanswerer.h"

#include <QtTest>

namespace {

const char SHIPPED[] = ":/config/resources/conf/sample_config_5_0.xml";

QStringList groupTitles(const CSettingDialog &dialog)
{
    QStringList titles;
    for (CSettingGroup *group : dialog.settingGroups())
        titles << group->title();
    return titles;
}

QStringList leafTitles(const CSettingDialog &dialog)
{
    QStringList titles;
    for (CSettingGroup *group : dialog.settingGroups()) {
        if (group->subGroupCount() == 0)
            titles << group->title();
    }
    return titles;
}

QString longText(int length)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text += QChar('a' + i % 26);
    return text;
}

QCheckBox *checkBoxAt(CComboBoxWithCheckBox &combo, int row)
{
    auto *list = qobject_cast<QListWidget *>(combo.view());
    return qobject_cast<QCheckBox *>(list->itemWidget(list->item(row)));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void maskComboSetValue_data();
    void maskComboSetValue();
    void maskComboUserClicks();
    void maskComboLongDescriptionAndPopup();

    void checkBoxValues_data();
    void checkBoxValues();
    void choiceItem();
    void lineEditDefaults_data();
    void lineEditDefaults();
    void lineEditItemShowsAndReads();
    void profileItemValueIsDefault();
    void categoryChildren();
    void buildingTwiceBuildsOnce();

    void shippedDescriptionShape();
    void shippedPageOrder_data();
    void shippedPageOrder();
    void shippedDefaults_data();
    void shippedDefaults();
    void shippedLimits_data();
    void shippedLimits();
    void loaderFixtures_data();
    void loaderFixtures();
    void loaderDefaults();
    void duplicateKeyKeepsBothRows();

private:
    QStringList m_lines;
    LogManager *m_log = nullptr;
};

void TestSettings::initTestCase()
{
    m_log = new LogManager(QStringLiteral("settings test"));
    // Every line the dialog logs at DEBUG and above.
    m_log->addLogger(new CaptureLogger(&m_lines, LogLevel::Debug, QStringLiteral(":")));
}

void TestSettings::cleanupTestCase()
{
    delete m_log;
    m_log = nullptr;
}

void TestSettings::maskComboSetValue_data()
{
    QTest::addColumn<uint>("mask");
    QTest::addColumn<uint>("value");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QList<bool>>("checked");

    QTest::newRow("6") << 6u << 6u << "two | four" << QList<bool>{false, true, true};
    QTest::newRow("8 is no entry") << 8u << 0u << "" << QList<bool>{false, false, false};
    QTest::newRow("all") << 7u << 7u << "one | two | four" << QList<bool>{true, true, true};
    QTest::newRow("foreign bits dropped") << 13u << 5u << "one | four" << QList<bool>{true, false, true};
    QTest::newRow("none") << 0u << 0u << "" << QList<bool>{false, false, false};
}

void TestSettings::maskComboSetValue()
{
    QFETCH(uint, mask);
    QFETCH(uint, value);
    QFETCH(QString, summary);
    QFETCH(QList<bool>, checked);

    CComboBoxWithCheckBox combo({{4, "four"}, {1, "one"}, {2, "two"}});
    QSignalSpy changed(&combo, &CComboBoxWithCheckBox::comboxWithCheckBoxValueChanged);
    combo.setCheckedValue(mask);
    QCOMPARE(combo.value(), value);
    QCOMPARE(combo.lineEdit()->text(), summary);
    QCOMPARE(combo.lineEdit()->toolTip(), summary);
    for (int row = 0; row < checked.size(); ++row)
        QCOMPARE(checkBoxAt(combo, row)->isChecked(), checked.at(row));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().first().toInt(), int(value));

    // Setting the same mask again still announces it.
    combo.setCheckedValue(mask);
    QCOMPARE(changed.count(), 2);
}

void TestSettings::maskComboUserClicks()
{
    CComboBoxWithCheckBox combo({{1, "one"}, {2, "two"}, {4, "four"}});
    QSignalSpy changed(&combo, &CComboBoxWithCheckBox::comboxWithCheckBoxValueChanged);
    checkBoxAt(combo, 2)->click();
    checkBoxAt(combo, 0)->click();
    QCOMPARE(combo.value(), 5u);
    QCOMPARE(combo.lineEdit()->text(), QString("one | four"));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().first().toInt(), 5);
    // The combo box's own current-item text never replaces the summary.
    combo.setCurrentIndex(1);
    QCOMPARE(combo.lineEdit()->text(), QString("one | four"));
    QVERIFY(combo.lineEdit()->isReadOnly());
}

void TestSettings::maskComboLongDescriptionAndPopup()
{
    const QString text = longText(61);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *combo = new CComboBoxWithCheckBox({{1, text}, {2, longText(60)}});
    layout->addWidget(combo);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(checkBoxAt(*combo, 0)->text(), text.left(60) + "...");
    QCOMPARE(checkBoxAt(*combo, 0)->toolTip(), text);
    QCOMPARE(checkBoxAt(*combo, 1)->text(), longText(60));

    auto *line = qobject_cast<CLineEdit *>(combo->lineEdit());
    QVERIFY(line);
    QSignalSpy clicked(line, &CLineEdit::clicked);
    QTest::mouseClick(line, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::mouseClick(line, Qt::LeftButton);
    QTRY_VERIFY(!combo->view()->isVisible());
}

void TestSettings::checkBoxValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("checked");

    QTest::newRow("true") << QVariant(true) << true;
    QTest::newRow("false") << QVariant(false) << false;
    QTest::newRow("text false from config.ini") << QVariant(QString("false")) << false;
    QTest::newRow("text true from config.ini") << QVariant(QString("true")) << true;
    QTest::newRow("number") << QVariant(0) << true;
    QTest::newRow("unset") << QVariant() << true;
}

void TestSettings::checkBoxValues()
{
    QFETCH(QVariant, value);
    QFETCH(bool, checked);

    CSettingCategory category("Category", static_cast<CSetting *>(nullptr));
    CCheckBoxSetting item("flag", "Flag", &category);
    item.setValue(value);
    QCOMPARE(item.value(), value);
    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    item.createWidget(layout);
    QCheckBox *box = page.findChild<QCheckBox *>();
    QVERIFY(box);
    QCOMPARE(box->isChecked(), checked);
    QCOMPARE(item.value(), QVariant(checked));
    item.setValue(!checked);
    QCOMPARE(box->isChecked(), !checked);
}

void TestSettings::choiceItem()
{
    const QString text = longText(61);
    CSettingCategory category("Category", static_cast<CSetting *>(nullptr));
    CComboBoxSetting item("5_0_conn_type", "Initiating Types", &category);
    item.setUserTextsAndValues({"Direct", text}, {QVariant(0u), QVariant(1u)});
    item.setDefaultValue(QVariant(0u));
    item.setValue(QVariant(1u));
    QCOMPARE(item.value(), QVariant(1u));

    QSignalSpy typeChanged(&item, &CComboBoxSetting::connectTypeChanged);
    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    item.createWidget(layout);
    QComboBox *combo = item.comboBox();
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(combo->itemText(1), text.left(60) + "...");
    QCOMPARE(combo->itemData(1, Qt::ToolTipRole).toString(), text);
    QCOMPARE(combo->toolTip(), text);
    QVERIFY(!typeChanged.isEmpty());
    QCOMPARE(typeChanged.last().first().toBool(), true);

    // Values read back from config.ini are text; they still pick their entry.
    item.setValue(QVariant(QString("0")));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(typeChanged.last().first().toBool(), false);
    QCOMPARE(item.value().userType(), int(QMetaType::UInt));
    item.setValue(QVariant(9u));
    QCOMPARE(combo->currentIndex(), 0);
}

// The default message value of a line-edit setting, by type.
void TestSettings::lineEditDefaults_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("value");

    QTest::newRow("int") << "int" << "512" << "2" << "" << "0200";
    QTest::newRow("int one byte") << "int" << "16" << "1" << "" << "10";
    QTest::newRow("hex") << "hex" << "0x0000" << "6" << "" << "0000";
    QTest::newRow("addr") << "addr" << "11:22:33:44:55:66" << "17" << "" << "112233445566";
    QTest::newRow("littleEnd in written order") << "littleEnd" << "01:02" << "47" << "" << "0102";
    QTest::newRow("string") << "string" << "AB" << "128" << "" << "4241";
    QTest::newRow("string utf8") << "string" << QString::fromUtf8("\xc3\xa4") << "128" << ""
                                 << "a4c3";
    QTest::newRow("double") << "double" << "7.5" << "2" << "1.25" << "0006";
    QTest::newRow("double 9.375") << "double" << "9.375" << "2" << "0.625" << "000f";
    QTest::newRow("double 0.3 exact") << "double" << "0.3" << "2" << "0.1" << "0003";
    QTest::newRow("int16double") << "int16double" << "-12.3" << "2" << "0.1" << "ff85";
    QTest::newRow("int16double zero") << "int16double" << "0" << "2" << "0.1" << "0000";
    QTest::newRow("double without step") << "double" << "7.5" << "2" << "" << "0000";
    QTest::newRow("int16double without step") << "int16double" << "-1" << "2" << "" << "0000";
    QTest::newRow("unknown type") << "spin" << "5" << "1" << "" << "";
}

void TestSettings::lineEditDefaults()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(QString, length);
    QFETCH(QString, step);
    QFETCH(QString, value);

    CLineEditSetting item("k", "K", type, "-1000", "100000", text, length, step, "1", "", nullptr);
    QCOMPARE(item.defaultValue().toString(), value);
    QCOMPARE(item.defaultValue().userType(), int(QMetaType::QString));
}

void TestSettings::lineEditItemShowsAndReads()
{
    CSettingCategory category("Category", static_cast<CSetting *>(nullptr));
    CLineEditSetting little("key", "Local Irk", "littleEnd", "", "", "01:02", "5", "", "", "MSB", &category);
    CLineEditSetting interval("per_interval_min", "Interval", "double", "7.5", "4000", "7.5", "2",
                              "1.25", "2", "unit", &category);
    little.setValue(little.defaultValue());
    interval.setValue(QString("0c80"));
    QCOMPARE(interval.value(), QVariant(QString("0c80")));

    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    category.createWidget(layout);
    QVERIFY(little.lineEdit());
    // Shown with its pairs reversed, as every littleEnd value.
    QCOMPARE(little.lineEdit()->text(), QString("02:01"));
    QCOMPARE(little.lineEdit()->toolTip(), QString("MSB"));
    QCOMPARE(interval.lineEdit()->text(), QString("4000.00"));
    QCOMPARE(interval.lineEdit()->getSubType(), QString("double"));
    interval.lineEdit()->setText("8");
    QCOMPARE(interval.value(), QVariant(QString("0006")));
    interval.setEditable(false);
    QVERIFY(!interval.lineEdit()->isEnabled());
    interval.setEditable(true);
    QVERIFY(interval.lineEdit()->isEnabled());
}

void TestSettings::profileItemValueIsDefault()
{
    CSettingCategory category("Category", static_cast<CSetting *>(nullptr));
    CProfileTableSetting item("profile", "", &category);
    item.setDefaultValue(QByteArray());
    const QByteArray bytes = QByteArray::fromHex("010407414243");
    item.setValue(bytes);
    QCOMPARE(item.defaultValue().toByteArray(), bytes);

    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    item.createWidget(layout);
    QVERIFY(item.tableView());
    QCOMPARE(item.tableView()->minimumHeight(), 400);
    QCOMPARE(item.tableView()->columnWidth(1), 250);
    QCOMPARE(item.model()->rowCount(), 1);
    QAbstractItemModelTester tester(item.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    item.model()->fromByteArray(QByteArray::fromHex("00020558"));
    QCOMPARE(item.value().toByteArray(), QByteArray::fromHex("00020558"));
    // Restoring gives back the last value set.
    item.setValue(item.defaultValue());
    QCOMPARE(item.value().toByteArray(), bytes);
}

void TestSettings::categoryChildren()
{
    CSettingGroup top("Static Configuration", static_cast<QWidget *>(nullptr));
    CSettingGroup device("Device", &top);
    CSettingCategory category("Identity Address", &device);
    CLineEditSetting first("a", "A", "int", "0", "9", "1", "1", "", "", "", &category);
    CLineEditSetting second("b", "B", "int", "0", "9", "1", "1", "", "", "", &category);

    QCOMPARE(top.subGroupCount(), 1);
    QCOMPARE(top.childCount(), 1);
    QCOMPARE(device.parentSetting(), &top);
    QCOMPARE(category.key(), QString("Identity Address"));
    QCOMPARE(category.childCount(), 2);
    QCOMPARE(category.child(1), &second);
    QCOMPARE(category.child(2), nullptr);
    QCOMPARE(category.child(-1), nullptr);
    category.addChild(&first);
    category.addChild(nullptr);
    QCOMPARE(category.childCount(), 2);
    category.removeChild(&first);
    QCOMPARE(category.children(), QList<CSetting *>{&second});
    QCOMPARE(first.parentSetting(), nullptr);

    QTreeWidget tree;
    device.createTreeItem(&tree);
    QCOMPARE(tree.topLevelItemCount(), 0);
    top.createTreeItem(&tree);
    QCOMPARE(tree.topLevelItemCount(), 1);
    QCOMPARE(top.treeItem()->child(0), device.treeItem());
    QCOMPARE(device.treeItem()->text(0), QString("Device"));
}

void TestSettings::buildingTwiceBuildsOnce()
{
    CSettingGroup group("Device", static_cast<QWidget *>(nullptr));
    CSettingCategory category("Device Name", &group);
    CLineEditSetting name("device_name", "Device Name", "string", "", "", "", "128", "", "", "", &category);
    CCheckBoxSetting flag("flag", "Flag", &category);

    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    group.createWidget(layout);
    const int widgets = page.findChildren<QWidget *>().size();
    QCOMPARE(layout->count(), 1);
    group.createWidget(layout);
    category.createWidget(layout);
    name.createWidget(layout);
    flag.createWidget(layout);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(page.findChildren<QWidget *>().size(), widgets);
    QCOMPARE(page.findChildren<CValidateLineEdit *>().size(), 1);
    QCOMPARE(name.lineEdit()->placeholderText(), QString("Default Name(String)"));
}

void TestSettings::shippedDescriptionShape()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));

    QCOMPARE(leafTitles(dialog),
             QStringList({"Device", "Privacy", "Local Irk Set", "Preferred PHY Set",
                          "RF Path Compensation Set", "L2CAP Parameters", "Data Length Set",
                          "Profile", "Security Pair", "Scan Parameters", "Connection Parameters",
                          "Security Parameters", "Sync Parameters"}));
    QCOMPARE(groupTitles(dialog).first(), QString("Static Configuration"));
    QCOMPARE(groupTitles(dialog).at(10), QString("Dynamic Configuration"));

    int categories = 0;
    int staticSettings = 0;
    for (CSettingGroup *group : dialog.settingGroups()) {
        if (group->subGroupCount() != 0)
            continue;
        for (CSetting *child : group->children()) {
            auto *category = qobject_cast<CSettingCategory *>(child);
            QVERIFY(category);
            ++categories;
            if (group->parentSetting()->title() == "Static Configuration")
                staticSettings += category->childCount();
        }
    }
    QCOMPARE(categories, 16);
    QCOMPARE(dialog.settingItems().size(), 67);
    QCOMPARE(staticSettings, 22);
    QCOMPARE(dialog.form()->catalogTreeWidget->topLevelItemCount(), 2);
    QCOMPARE(dialog.form()->catalogTreeWidget->topLevelItem(0)->childCount(), 9);
    QCOMPARE(dialog.form()->catalogTreeWidget->topLevelItem(1)->childCount(), 4);
    QCOMPARE(dialog.currentSettingGroup()->title(), QString("Device"));
}

void TestSettings::shippedPageOrder_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("Device") << "Device"
                            << QStringList{"identity_addr", "identity_addr_type", "device_name",
                                           "appearance", "per_interval_min", "per_interval_max",
                                           "per_conn_latency", "per_supervision_timeout"};
    QTest::newRow("Scan") << "Scan Parameters"
                          << QStringList{"5_0_scan_type", "5_0_scan_properties",
                                         "5_0_scan_interval_1m", "5_0_scan_window_1m",
                                         "5_0_scan_interval_coded", "5_0_scan_window_coded",
                                         "5_0_scan_duration", "5_0_scan_period",
                                         "5_0_scan_duplicate_filter_policy", "5_0_scan_own_addr_type"};
    QStringList connection{"5_0_conn_type", "5_0_conn_properties", "5_0_conn_timeout",
                           "5_0_conn_scan_interval_1m", "5_0_conn_scan_window_1m",
                           "5_0_conn_scan_interval_coded", "5_0_conn_scan_window_coded"};
    for (const QString phy : {"1m", "2m", "coded"}) {
        connection << "5_0_conn_interval_min_" + phy << "5_0_conn_interval_max_" + phy
                   << "5_0_conn_latency_" + phy << "5_0_conn_supervision_timeout_" + phy
                   << "5_0_conn_ce_" + phy;
    }
    connection << "5_0_conn_own_addr_type";
    QTest::newRow("Connection") << "Connection Parameters" << connection;
    QTest::newRow("Security") << "Security Parameters"
                              << QStringList{"device_sec_level", "device_io_capabilities", "use_bond",
                                             "use_mitm", "use_secure_connection",
                                             "use_keypress_notify", "encryption_key_size",
                                             "initial_key_distribution",
                                             "response_key_distribution"};
    QTest::newRow("Sync") << "Sync Parameters" << QStringList{"skip", "sync_timeout", "type"};
    QTest::newRow("Profile") << "Profile" << QStringList{"profile"};
}

void TestSettings::shippedPageOrder()
{
    QFETCH(QString, group);
    QFETCH(QStringList, keys);

    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    QStringList found;
    for (CSettingGroup *candidate : dialog.settingGroups()) {
        if (candidate->title() != group)
            continue;
        for (CSetting *child : candidate->children()) {
            for (CSetting *item : qobject_cast<CSettingCategory *>(child)->children())
                found << item->key();
        }
    }
    QCOMPARE(found, keys);
}

// initSettingsMap gives exactly the description's defaults, types included:
// choices and masks are unsigned, line edits message values, the profile bytes.
void TestSettings::shippedDefaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    auto text = [](const char *key, const char *value) {
        QTest::newRow(key) << QString(key) << QVariant(QString(value));
    };
    auto number = [](const char *key, uint value) {
        QTest::newRow(key) << QString(key) << QVariant(value);
    };
    text("identity_addr", "112233445566");
    number("identity_addr_type", 0);
    text("device_name", "");
    text("appearance", "0000");
    text("per_interval_min", "0006");
    text("per_interval_max", "0006");
    text("per_conn_latency", "0000");
    text("per_supervision_timeout", "0064");
    text("address_generation_interval", "0000");
    number("privacy_config", 0);
    text("key", "5c19e207b46ad3812fc8409e710ba63d");
    number("tx_pref_phy", 0);
    number("rx_pref_phy", 0);
    text("tx_path_comp", "0000");
    text("rx_path_comp", "0000");
    text("max_mtu", "0200");
    text("max_mps", "0200");
    text("max_nb_lecb", "0a");
    text("sugg_max_tx_octet", "00fb");
    text("sugg_max_tx_time", "0848");
    QTest::newRow("profile") << QString("profile") << QVariant(QByteArray());
    number("pair_enable_flag", 1);

    number("5_0_scan_type", 2);
    number("5_0_scan_properties", 63);
    text("5_0_scan_interval_1m", "000f");
    text("5_0_scan_window_1m", "000f");
    text("5_0_scan_interval_coded", "000f");
    text("5_0_scan_window_coded", "000f");
    text("5_0_scan_duration", "0000");
    text("5_0_scan_period", "0000");
    number("5_0_scan_duplicate_filter_policy", 0);
    number("5_0_scan_own_addr_type", 0);
    number("5_0_conn_type", 0);
    number("5_0_conn_properties", 1);
    text("5_0_conn_timeout", "0000");
    text("5_0_conn_scan_interval_1m", "000f");
    text("5_0_conn_scan_window_1m", "000f");
    text("5_0_conn_scan_interval_coded", "000f");
    text("5_0_conn_scan_window_coded", "000f");
    for (const char *phy : {"1m", "2m", "coded"}) {
        const QString suffix = QString::fromLatin1(phy);
        for (const auto &pair : QList<QPair<QString, QString>>{{"5_0_conn_interval_min_", "0006"},
                                                              {"5_0_conn_interval_max_", "000a"},
                                                              {"5_0_conn_latency_", "0001"},
                                                              {"5_0_conn_supervision_timeout_", "0064"},
                                                              {"5_0_conn_ce_", "0000"}}) {
            const QString key = pair.first + suffix;
            QTest::newRow(qPrintable(key)) << key << QVariant(pair.second);
        }
    }
    number("5_0_conn_own_addr_type", 0);
    number("device_sec_level", 0);
    number("device_io_capabilities", 0);
    number("use_bond", 0);
    number("use_mitm", 0);
    number("use_secure_connection", 0);
    number("use_keypress_notify", 0);
    text("encryption_key_size", "10");
    number("initial_key_distribution", 0);
    number("response_key_distribution", 0);
    text("skip", "0000");
    text("sync_timeout", "01f4");
    number("type", 0);
}

void TestSettings::shippedDefaults()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);

    QMap<QString, QVariant> map;
    map.insert("TabWidgetNumber", 3);
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    QCOMPARE(map.size(), 68);
    QVERIFY(map.contains(key));
    QCOMPARE(map.value(key).userType(), value.userType());
    QCOMPARE(map.value(key), value);
    QCOMPARE(map.value("TabWidgetNumber"), QVariant(3));
}

// What the shipped fields make of typed texts: limits, steps and field widths.
void TestSettings::shippedLimits_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal"); // the box "Set All" shows instead of sending

    QTest::newRow("interval fits two bytes") << "address_generation_interval" << "65535" << "ffff" << QString();
    // Beyond its range a value is refused, never clamped.
    QTest::newRow("interval above two bytes")
        << "address_generation_interval" << "65536" << "10000"
        << "Address generation interval(s): \"65536\" cannot be sent; enter a whole number from 0 to 65535.";
    QTest::newRow("rf 0.3 dB") << "tx_path_comp" << "0.3" << "0003" << QString();
    QTest::newRow("rf -12.3 dB") << "rx_path_comp" << "-12.3" << "ff85" << QString();
    QTest::newRow("mtu below min") << "max_mtu" << "5" << "0005"
                                   << "Max MTU: \"5\" cannot be sent; enter a whole number from 65 to 512.";
    QTest::newRow("scan interval max") << "5_0_scan_interval_1m" << "40959.375" << "ffff" << QString();
    QTest::newRow("scan interval between steps")
        << "5_0_scan_interval_1m" << "10.1" << "0010"
        << "Scan Interval_1m(ms): \"10.1\" cannot be sent; enter a number from 2.500 to 40959.375 in steps of 0.625.";
    QTest::newRow("scan period 1.28 s") << "5_0_scan_period" << "1.28" << "0001" << QString();
    QTest::newRow("sync timeout max") << "sync_timeout" << "163840" << "4000" << QString();
    QTest::newRow("key size") << "encryption_key_size" << "7" << "07" << QString();
    QTest::newRow("irk shown msb first") << "key" << "01:02" << QString("00").repeated(14) + "0201" << QString();
    QTest::newRow("device name") << "device_name" << "AB" << "4241" << QString();
}

void TestSettings::shippedLimits()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(QString, refusal);

    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    auto *item = qobject_cast<CLineEditSetting *>(dialog.setting(key));
    QVERIFY(item);
    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    item->createWidget(layout);
    item->lineEdit()->setText(text);
    QCOMPARE(item->value(), QVariant(value));
    QCOMPARE(item->lineEdit()->text(), item->lineEdit()->isAcceptable() ? item->lineEdit()->text() : text);

    ModalAnswerer answerer;
    if (!refusal.isEmpty())
        answerer.click(QStringLiteral("m_pbOk"));
    QCOMPARE(dialog.checkSettings(), refusal.isEmpty());
    QVERIFY(answerer.failures().isEmpty());
    QCOMPARE(answerer.seen().value(0).text, refusal);
}

void TestSettings::loaderFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("logs");

    QTest::newRow("comment before first group")
        << "comment_before_group.xml" << true << QStringList{"max_mtu"}
        << QStringList{"Static Configuration", "Device"} << QStringList{};
    QTest::newRow("choice counts differ")
        << "combo_count_mismatch.xml" << true << QStringList{"first", "skip"}
        << QStringList{"Static Configuration", "Device", "Dynamic Configuration", "Sync Parameters"}
        << QStringList{"1:Invalid Configuare XML! ComboBoxSetting"};
    QTest::newRow("choice without values")
        << "combo_without_values.xml" << true << QStringList{}
        << QStringList{"Static Configuration", "Device"}
        << QStringList{"1:Invalid Configuare XML! ComboBoxSetting"};
    QTest::newRow("bool default in upper case")
        << "bad_bool.xml" << true << QStringList{"dynamic"}
        << QStringList{"Static Configuration", "Device", "Dynamic Configuration", "Sync Parameters"}
        << QStringList{"1:Invalid bool string: TRUE"};
    QTest::newRow("unknown setting tag")
        << "unknown_setting_tag.xml" << true << QStringList{"skip", "sync_timeout"}
        << QStringList{"Static Configuration", "Device", "Dynamic Configuration", "Sync Parameters"}
        << QStringList{};
    QTest::newRow("other elements skipped")
        << "top_level_other_element.xml" << true << QStringList{"skip"}
        << QStringList{"Dynamic Configuration", "Sync Parameters"} << QStringList{};
    QTest::newRow("no leaf group")
        << "no_leaf_group.xml" << true << QStringList{} << QStringList{}
        << QStringList{"1:CSettingDialog::showFirstSettingGroup: can't find the first leaf setting group."};
    QTest::newRow("malformed") << "malformed.xml" << false << QStringList{} << QStringList{}
                               << QStringList{};
    QTest::newRow("missing file") << "no_such_file.xml" << false << QStringList{} << QStringList{}
                                  << QStringList{};
}

void TestSettings::loaderFixtures()
{
    QFETCH(QString, file);
    QFETCH(bool, loaded);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, logs);

    const QString folder = QFileInfo(QFINDTESTDATA("data/settings/defaults.xml")).absolutePath();
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    m_lines.clear();
    QCOMPARE(dialog.loadSettingFile(folder + "/" + file), loaded);
    QCOMPARE(dialog.settingItems().keys(), keys);
    QCOMPARE(groupTitles(dialog), groups);
    QCOMPARE(m_lines, logs);
    // What did load is usable: defaults go into the map without a crash.
    dialog.initSettingsMap();
    QCOMPARE(map.keys(), keys);
}

void TestSettings::loaderDefaults()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(QFINDTESTDATA("data/settings/defaults.xml")));

    QCOMPARE(dialog.setting("off_list")->defaultValue(), QVariant(0u));
    QCOMPARE(dialog.setting("off_list")->defaultValue().userType(), int(QMetaType::UInt));
    QVERIFY(!dialog.setting("no_default")->defaultValue().isValid());
    QCOMPARE(dialog.setting("second")->defaultValue(), QVariant(1u));
    QCOMPARE(dialog.setting("mask_no_default")->defaultValue(), QVariant(0u));
    QCOMPARE(dialog.setting("mask_no_default")->defaultValue().userType(), int(QMetaType::UInt));
    QCOMPARE(dialog.setting("check_true")->defaultValue(), QVariant(true));
    QCOMPARE(dialog.setting("check_false")->defaultValue(), QVariant(false));
    QVERIFY(!dialog.setting("check_unset")->defaultValue().isValid());
    QCOMPARE(dialog.setting("profile")->defaultValue(), QVariant(QByteArray()));
    QCOMPARE(dialog.setting("little")->defaultValue(), QVariant(QString("0102")));
    QCOMPARE(dialog.setting("odd")->defaultValue(), QVariant(QString()));
    QVERIFY(dialog.setting(QString()));

    // Items ordered by value; a repeated value relabels the first.
    auto *mask = qobject_cast<CComboBoxWithCheckBoxSetting *>(dialog.setting("mask"));
    QVERIFY(mask);
    auto *list = qobject_cast<QListWidget *>(mask->comboBox()->view());
    QCOMPARE(list->count(), 2);
    QCOMPARE(qobject_cast<QCheckBox *>(list->itemWidget(list->item(0)))->text(), QString("second two"));
    QCOMPARE(qobject_cast<QCheckBox *>(list->itemWidget(list->item(1)))->text(), QString("four"));

    dialog.initSettingsMap();
    QCOMPARE(map.value("mask"), QVariant(6u));
    QCOMPARE(map.value("off_list"), QVariant(0u));
    QCOMPARE(map.value("check_false"), QVariant(false));
    // No default: the editor keeps what it shows.
    QCOMPARE(map.value("no_default"), QVariant(0u));
    QCOMPARE(map.value("little"), QVariant(QString("0102")));
}

void TestSettings::duplicateKeyKeepsBothRows()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(QFINDTESTDATA("data/settings/duplicate_key.xml")));
    QCOMPARE(dialog.settingItems().size(), 1);
    QCOMPARE(dialog.setting("same")->title(), QString("Second"));
    QCOMPARE(dialog.findChildren<CValidateLineEdit *>().size(), 2);
    dialog.initSettingsMap();
    QCOMPARE(map.value("same"), QVariant(QString("02")));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
