#include "capturelogger.h"
#include "ccomboboxwithcheckbox.h"
#include "ccomboboxwithcheckboxsetting.h"
#include "clineeditsetting.h"
#include "csettingdialog.h"
#include "csettinggroup.h"
#include "cvalidatelineedit.h"
#include "logger.h"
#include "logmanager.h"
#include "modalanswerer.h"
#include "settingsdescription.h"
#include "widgetresources.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

namespace {

const char SHIPPED[] = ":/config/resources/conf/sample_config_5_0.xml";

// Stands for the dongle controller, which the widget layer cannot include.
class BusyDongle : public QWidget
{
    Q_OBJECT

public:
    Q_INVOKABLE bool isBusy() const { return busy; }
    bool busy = false;
};

QTreeWidgetItem *treeItem(CSettingDialog &dialog, const QString &title)
{
    const QList<QTreeWidgetItem *> items =
        dialog.form()->catalogTreeWidget->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
    return items.value(0);
}

void clickTree(CSettingDialog &dialog, const QString &title)
{
    QTreeWidgetItem *item = treeItem(dialog, title);
    QVERIFY2(item, qPrintable(title));
    dialog.form()->catalogTreeWidget->setCurrentItem(item);
    emit dialog.form()->catalogTreeWidget->itemClicked(item, 0);
}

QCheckBox *maskCheckBox(CSettingDialog &dialog, const QString &key, int row)
{
    auto *item = qobject_cast<CComboBoxWithCheckBoxSetting *>(dialog.setting(key));
    auto *list = qobject_cast<QListWidget *>(item->comboBox()->view());
    return qobject_cast<QCheckBox *>(list->itemWidget(list->item(row)));
}

bool fieldEnabled(CSettingDialog &dialog, const QString &key)
{
    auto *item = qobject_cast<CLineEditSetting *>(dialog.setting(key));
    return item && item->lineEdit() && item->lineEdit()->isEnabled();
}

} // namespace

class TestSettingDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void firstPageIsDevice();
    void rules_data();
    void rules();
    void setButtonFollowsTree();
    void setAllStatic();
    void applyAllDynamic();
    void setAllEmitsEverything();
    void busyRefusal_data();
    void busyRefusal();
    void restorePageAndAll();
    void cancelWritesNothing();
    void loadSettingsMapTakesStoredValues();
    void scanPropertiesKeepActiveScanConsistent();
    void connectPropertiesEnableTheirFields();
    void connectTypeMakesTimeoutEditable();
    void enterSetsEscapeDoesNothing();
    void missingGroupsAreLogged();
    void defaultsWithoutWidgetsMatchTheDialog_data();
    void defaultsWithoutWidgetsMatchTheDialog();
    void screenshot();

private:
    QStringList m_lines;
    LogManager *m_log = nullptr;
};

void TestSettingDialog::defaultsWithoutWidgetsMatchTheDialog_data()
{
    QTest::addColumn<QString>("description");
    QTest::newRow("shipped") << QString();
    // Editors of the first page normalise what they are given; the scan
    // properties drop an active scan without its scan.
    QTest::newRow("first page editors and adjusted scan properties") << QStringLiteral(
        "<SettingScreen><SettingGroup title=\"Static Configuration\"><SettingGroup title=\"First\">"
        "<SettingCategory title=\"c\"><CheckBoxSetting key=\"a_check\" title=\"t\"/>"
        "<ComboBoxSetting key=\"a_combo\" title=\"t\"><UserTexts><UserText>x</UserText><UserText>y</UserText>"
        "</UserTexts><UserValues><UserValue>3</UserValue><UserValue>5</UserValue></UserValues></ComboBoxSetting>"
        "<LineEditSetting key=\"a_double\" title=\"t\" type=\"double\" defaultValue=\"10\" minValue=\"0\" "
        "maxValue=\"100\" singleStep=\"1.25\" precision=\"2\" length=\"2\"/>"
        "<ProfileTableSetting key=\"profile\" title=\"\"/></SettingCategory></SettingGroup>"
        "<SettingGroup title=\"Second\"><SettingCategory title=\"c\">"
        "<CheckBoxSetting key=\"b_check\" title=\"t\"/>"
        "<ComboBoxSetting key=\"b_combo\" title=\"t\"><UserTexts><UserText>x</UserText></UserTexts>"
        "<UserValues><UserValue>3</UserValue></UserValues></ComboBoxSetting>"
        "<ComboBoxWithCheckBoxSetting key=\"5_0_scan_properties\" title=\"t\" defaultValue=\"12\">"
        "<elem value=\"1\"/><elem value=\"2\"/><elem value=\"4\"/><elem value=\"8\"/></ComboBoxWithCheckBoxSetting>"
        "<ComboBoxWithCheckBoxSetting key=\"mask\" title=\"t\" defaultValue=\"7\">"
        "<elem value=\"2\"/><elem value=\"12\"/></ComboBoxWithCheckBoxSetting>"
        "</SettingCategory></SettingGroup></SettingGroup></SettingScreen>");
    QTest::newRow("faulty settings stop their group") << QStringLiteral(
        "<SettingScreen><SettingGroup title=\"A\"><SettingCategory title=\"c\">"
        "<LineEditSetting key=\"kept\" title=\"t\" type=\"hex\" defaultValue=\"0x12\" length=\"4\"/>"
        "<CheckBoxSetting key=\"bad\" title=\"t\" defaultValue=\"maybe\"/>"
        "<LineEditSetting key=\"lost\" title=\"t\" type=\"int\" defaultValue=\"3\" length=\"1\"/>"
        "</SettingCategory></SettingGroup><Other/><SettingGroup title=\"B\"><SettingCategory title=\"c\">"
        "<ComboBoxSetting key=\"uneven\" title=\"t\"><UserTexts><UserText>x</UserText></UserTexts>"
        "</ComboBoxSetting></SettingCategory></SettingGroup></SettingScreen>");
    QTest::newRow("no leaf group") << QStringLiteral("<SettingScreen/>");
    // The subgroup after the fault is never built, so its group is the first page.
    QTest::newRow("fault before a subgroup") << QStringLiteral(
        "<SettingScreen><SettingGroup title=\"A\"><SettingCategory title=\"c\">"
        "<CheckBoxSetting key=\"a_check\" title=\"t\"/>"
        "<CheckBoxSetting key=\"bad\" title=\"t\" defaultValue=\"no\"/>"
        "</SettingCategory><SettingGroup title=\"B\"/></SettingGroup></SettingScreen>");
}

// The values read from the description alone are those of a dialog built
// from it and restored, and so are the lines logged on the way.
void TestSettingDialog::defaultsWithoutWidgetsMatchTheDialog()
{
    QFETCH(QString, description);
    QString path = QString::fromLatin1(SHIPPED);
    QTemporaryDir folder;
    if (!description.isEmpty()) {
        path = folder.filePath(QStringLiteral("settings.xml"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(description.toUtf8());
    }

    QMap<QString, QVariant> fromDialog;
    {
        CSettingDialog dialog(m_log, &fromDialog, nullptr);
        QVERIFY(dialog.loadSettingFile(path));
        dialog.initSettingsMap();
    }
    const QStringList dialogLines = m_lines;
    m_lines.clear();
    QMap<QString, QVariant> read;
    QVERIFY(SettingsDescription::readDefaults(path, m_log, &read));
    QCOMPARE(m_lines, dialogLines);
    QCOMPARE(read.keys(), fromDialog.keys());
    for (auto it = fromDialog.cbegin(); it != fromDialog.cend(); ++it) {
        const QVariant value = read.value(it.key());
        QVERIFY2(value == it.value() && value.type() == it.value().type(),
                 qPrintable(it.key() + QStringLiteral(": ") + value.toString() + QStringLiteral(" != ")
                            + it.value().toString()));
    }
    QCOMPARE(SettingsDescription::readDefaults(folder.filePath(QStringLiteral("missing.xml")), m_log, &read),
             false);
}

void TestSettingDialog::initTestCase()
{
    m_log = new LogManager(QStringLiteral("setting dialog test"));
    m_log->addLogger(new CaptureLogger(&m_lines, LogLevel::Debug, QStringLiteral(":")));
}

void TestSettingDialog::cleanupTestCase()
{
    delete m_log;
    m_log = nullptr;
}

void TestSettingDialog::init()
{
    m_lines.clear();
}

void TestSettingDialog::firstPageIsDevice()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QCOMPARE(dialog.m_lbTitle->text(), QString("Settings"));
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    QCOMPARE(dialog.form()->groupLabel->text(), QString("Device"));
    QCOMPARE(dialog.currentSettingGroup()->title(), QString("Device"));
    QCOMPARE(dialog.form()->catalogTreeWidget->currentItem()->text(0), QString("Device"));
    QCOMPARE(dialog.form()->btn_apply->text(), QString("Set All Static"));
    QVERIFY(dialog.form()->btn_apply->isDefault());
    // Only the first page is built until another is chosen.
    QVERIFY(qobject_cast<CLineEditSetting *>(dialog.setting("identity_addr"))->lineEdit());
    QVERIFY(!qobject_cast<CLineEditSetting *>(dialog.setting("max_mtu"))->lineEdit());
}

void TestSettingDialog::rules_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");

    const QString scan = "Scan Parameters Setting Error";
    const QString period = "Scan Parameter's Period should greater than Duration.";
    const QString duplicate = "This Duplicate Filter policy need both Duration and Period are not Zero";
    const QString discovery = "When Scan Type is General discovery or Limited discovery, the Duration "
                              "should be 0 or bigger than 10240ms";
    const QString rpa = "When Own Address Type is Generated resolvable private random address and the "
                        "Privacy Config is\r\nDisabled,the Scan properties of Accept directed "
                        "advertising packets if the used RPA and target\r\naddress cannot be solved by "
                        "the controller can not choosed.";
    const QString staticAddress = "Static addr: The two most significant bits of the address shall be equal to 1";

    QTest::newRow("defaults pass") << QVariantMap{} << "" << "" << "";
    QTest::newRow("zero address") << QVariantMap{{"identity_addr", "000000000000"}}
                                  << "Identity Address Setting Error"
                                  << "Identity Address: 00:00:00:00:00:00 is invalid."
                                  << "Identity Address Setting Error";
    QTest::newRow("1000 ms within 1.28 s")
        << QVariantMap{{"5_0_scan_duration", "0064"}, {"5_0_scan_period", "0001"}} << "" << "" << "";
    QTest::newRow("period 0") << QVariantMap{{"5_0_scan_duration", "0064"}, {"5_0_scan_period", "0000"}}
                              << "" << "" << "";
    QTest::newRow("1280 ms not within 1.28 s")
        << QVariantMap{{"5_0_scan_duration", "0080"}, {"5_0_scan_period", "0001"}} << scan << period
        << scan;
    QTest::newRow("duplicate policy 2 without period")
        << QVariantMap{{"5_0_scan_duplicate_filter_policy", 2u}, {"5_0_scan_duration", "0064"}}
        << scan << duplicate << scan;
    QTest::newRow("duplicate policy 2 with both")
        << QVariantMap{{"5_0_scan_duplicate_filter_policy", 2u},
                       {"5_0_scan_duration", "0064"},
                       {"5_0_scan_period", "0001"}}
        << "" << "" << "";
    QTest::newRow("general discovery 10240 ms")
        << QVariantMap{{"5_0_scan_type", 0u}, {"5_0_scan_duration", "0400"}} << "" << "" << "";
    QTest::newRow("general discovery 10230 ms")
        << QVariantMap{{"5_0_scan_type", 0u}, {"5_0_scan_duration", "03ff"}} << scan << discovery << scan;
    QTest::newRow("limited discovery 100 ms")
        << QVariantMap{{"5_0_scan_type", 1u}, {"5_0_scan_duration", "000a"}} << scan << discovery << scan;
    QTest::newRow("limited discovery without duration") << QVariantMap{{"5_0_scan_type", 1u}} << ""
                                                        << "" << "";
    QTest::newRow("rpa without privacy") << QVariantMap{{"5_0_scan_own_addr_type", 1u}} << scan << rpa
                                         << scan;
    QTest::newRow("rpa with privacy")
        << QVariantMap{{"5_0_scan_own_addr_type", 1u}, {"privacy_config", 1u}} << "" << "" << "";
    QTest::newRow("rpa without directed bit")
        << QVariantMap{{"5_0_scan_own_addr_type", 1u}, {"5_0_scan_properties", 47u}} << "" << "" << "";
    QTest::newRow("static address c0")
        << QVariantMap{{"identity_addr_type", 1u}, {"identity_addr", "c01122334455"}} << "" << "" << "";
    QTest::newRow("static address 80")
        << QVariantMap{{"identity_addr_type", 1u}, {"identity_addr", "801122334455"}} << scan
        << staticAddress << staticAddress;
    QTest::newRow("static zero address fails the first rule")
        << QVariantMap{{"identity_addr_type", 1u}, {"identity_addr", "000000000000"}}
        << "Identity Address Setting Error" << "Identity Address: 00:00:00:00:00:00 is invalid."
        << "Identity Address Setting Error";
    QTest::newRow("public address 80") << QVariantMap{{"identity_addr", "801122334455"}} << "" << ""
                                       << "";
}

void TestSettingDialog::rules()
{
    QFETCH(QVariantMap, values);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, logged);

    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    const QMap<QString, QVariant> defaults = map;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        dialog.setting(it.key())->setValue(it.value());

    ModalAnswerer answerer;
    if (!title.isEmpty())
        answerer.click("m_pbOk");
    m_lines.clear();
    QCOMPARE(dialog.checkSettings(), title.isEmpty());
    if (title.isEmpty()) {
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(m_lines.isEmpty());
        return;
    }
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, title);
    QCOMPARE(answerer.seen().first().text, text);
    QCOMPARE(m_lines, QStringList{"4:" + logged});

    // A refused set writes nothing and keeps the dialog open.
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    answerer.click("m_pbOk");
    dialog.on_pb_setAll_clicked();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(accepted.count(), 0);
    QCOMPARE(map, defaults);
}

void TestSettingDialog::setButtonFollowsTree()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));

    // A group with subgroups renames the button but keeps the page.
    clickTree(dialog, "Dynamic Configuration");
    QCOMPARE(dialog.form()->btn_apply->text(), QString("Apply All Dynamic"));
    QCOMPARE(dialog.form()->groupLabel->text(), QString("Device"));
    QCOMPARE(dialog.currentSettingGroup()->title(), QString("Device"));

    clickTree(dialog, "Privacy");
    QCOMPARE(dialog.form()->btn_apply->text(), QString("Set All Static"));
    QCOMPARE(dialog.form()->groupLabel->text(), QString("Privacy"));
    CSettingGroup *privacy = dialog.currentSettingGroup();
    QVERIFY(privacy->pageFrame());

    clickTree(dialog, "Sync Parameters");
    QCOMPARE(dialog.form()->btn_apply->text(), QString("Apply All Dynamic"));
    QCOMPARE(dialog.form()->groupLabel->text(), QString("Sync Parameters"));
    QVERIFY(privacy->pageFrame()->isHidden());

    // Pages are kept, not rebuilt.
    QFrame *frame = privacy->pageFrame();
    clickTree(dialog, "Privacy");
    QCOMPARE(privacy->pageFrame(), frame);
    QVERIFY(!frame->isHidden());
    QCOMPARE(dialog.findChildren<CValidateLineEdit *>().size(),
             7 + 1 + 2); // Device line edits, Privacy's one, Sync's two
}

void TestSettingDialog::setAllStatic()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.loadSettingsMap();
    dialog.setting("max_mtu")->setValue(QString("0100"));
    QSignalSpy staticUpdated(&dialog, &CSettingDialog::staticSettingsUpdated);
    QSignalSpy dynamicUpdated(&dialog, &CSettingDialog::dynamicSettingsUpdated);
    QSignalSpy pair(&dialog, &CSettingDialog::sig_isPairEnable);
    QSignalSpy automatic(&dialog, &CSettingDialog::sig_openAutomaticConnect);
    QSignalSpy accepted(&dialog, &QDialog::accepted);

    QTest::mouseClick(dialog.form()->btn_apply, Qt::LeftButton);
    QCOMPARE(staticUpdated.count(), 1);
    QCOMPARE(pair.count(), 1);
    QCOMPARE(pair.first().first().toBool(), true);
    QCOMPARE(dynamicUpdated.count(), 0);
    QCOMPARE(automatic.count(), 0);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(map.value("max_mtu"), QVariant(QString("0100")));
}

void TestSettingDialog::applyAllDynamic()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.setting("5_0_conn_type")->setValue(1u);
    // Applying the dynamic part never asks whether the dongle is busy.
    dialog.setBusyQuery([] { return true; });
    QSignalSpy staticUpdated(&dialog, &CSettingDialog::staticSettingsUpdated);
    QSignalSpy dynamicUpdated(&dialog, &CSettingDialog::dynamicSettingsUpdated);
    QSignalSpy automatic(&dialog, &CSettingDialog::sig_openAutomaticConnect);
    QSignalSpy accepted(&dialog, &QDialog::accepted);

    clickTree(dialog, "Dynamic Configuration");
    dialog.form()->btn_apply->click();
    QCOMPARE(dynamicUpdated.count(), 1);
    QCOMPARE(automatic.count(), 1);
    QCOMPARE(automatic.first().first().toBool(), true);
    QCOMPARE(staticUpdated.count(), 0);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(map.value("5_0_conn_type"), QVariant(1u));
}

void TestSettingDialog::setAllEmitsEverything()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.setBusyQuery([] { return false; });
    dialog.initSettingsMap();
    dialog.setting("pair_enable_flag")->setValue(0u);
    QStringList order;
    connect(&dialog, &CSettingDialog::staticSettingsUpdated, [&] { order << "static"; });
    connect(&dialog, &CSettingDialog::dynamicSettingsUpdated, [&] { order << "dynamic"; });
    connect(&dialog, &CSettingDialog::sig_openAutomaticConnect,
            [&](bool on) { order << QString("automatic %1").arg(on); });
    connect(&dialog, &CSettingDialog::sig_isPairEnable, [&](bool on) { order << QString("pair %1").arg(on); });
    QSignalSpy accepted(&dialog, &QDialog::accepted);

    QTest::mouseClick(dialog.form()->pb_setAll, Qt::LeftButton);
    QCOMPARE(order, QStringList({"static", "dynamic", "automatic 0", "pair 0"}));
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(map.size(), 67);
    QCOMPARE(map.value("pair_enable_flag"), QVariant(0u));
}

void TestSettingDialog::busyRefusal_data()
{
    QTest::addColumn<bool>("setAll");
    QTest::addColumn<bool>("throughWidget");

    QTest::newRow("Set All Static, callback") << false << false;
    QTest::newRow("Set All, callback") << true << false;
    QTest::newRow("Set All Static, dongle widget") << false << true;
    QTest::newRow("Set All, dongle widget") << true << true;
}

void TestSettingDialog::busyRefusal()
{
    QFETCH(bool, setAll);
    QFETCH(bool, throughWidget);

    QMap<QString, QVariant> map;
    BusyDongle dongle;
    dongle.busy = true;
    CSettingDialog dialog(m_log, &map, &dongle);
    if (!throughWidget)
        dialog.setBusyQuery([] { return true; });
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.setting("max_mtu")->setValue(QString("0100"));
    QSignalSpy staticUpdated(&dialog, &CSettingDialog::staticSettingsUpdated);
    QSignalSpy dynamicUpdated(&dialog, &CSettingDialog::dynamicSettingsUpdated);
    QSignalSpy accepted(&dialog, &QDialog::accepted);

    ModalAnswerer answerer;
    answerer.click("m_pbOk");
    if (setAll)
        dialog.on_pb_setAll_clicked();
    else
        dialog.on_btn_apply_clicked();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QString("error"));
    QCOMPARE(answerer.seen().first().text, QString("cannot set params when air action is on"));
    QCOMPARE(staticUpdated.count(), 0);
    QCOMPARE(dynamicUpdated.count(), 0);
    QCOMPARE(accepted.count(), 0);
    // The values were written before the refusal.
    QCOMPARE(map.value("max_mtu"), QVariant(QString("0100")));

    dongle.busy = false;
    dialog.setBusyQuery([] { return false; });
    if (setAll)
        dialog.on_pb_setAll_clicked();
    else
        dialog.on_btn_apply_clicked();
    QCOMPARE(staticUpdated.count(), 1);
    QCOMPARE(accepted.count(), 1);
}

void TestSettingDialog::restorePageAndAll()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    const QMap<QString, QVariant> defaults = map;

    dialog.setting("identity_addr")->setValue(QString("c01122334455"));
    dialog.setting("identity_addr_type")->setValue(1u);
    dialog.setting("max_mtu")->setValue(QString("0100"));
    dialog.setting("5_0_scan_properties")->setValue(5u);

    dialog.on_pb_restoreCurrentPage_clicked();
    QCOMPARE(dialog.setting("identity_addr")->value(), defaults.value("identity_addr"));
    QCOMPARE(dialog.setting("identity_addr_type")->value(), QVariant(0u));
    QCOMPARE(dialog.setting("max_mtu")->value(), QVariant(QString("0100")));

    clickTree(dialog, "L2CAP Parameters");
    QCOMPARE(dialog.setting("max_mtu")->value(), QVariant(QString("0100")));
    dialog.form()->pb_restoreCurrentPage->click();
    QCOMPARE(dialog.setting("max_mtu")->value(), defaults.value("max_mtu"));
    QCOMPARE(dialog.setting("5_0_scan_properties")->value(), QVariant(5u));

    dialog.setting("identity_addr")->setValue(QString("c01122334455"));
    dialog.form()->pb_restoreAll->click();
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        QCOMPARE(dialog.setting(it.key())->value(), it.value());
    // Restoring never touches the dongle's map.
    QCOMPARE(map, defaults);
}

void TestSettingDialog::cancelWritesNothing()
{
    QMap<QString, QVariant> map;
    {
        CSettingDialog initial(m_log, &map, nullptr);
        QVERIFY(initial.loadSettingFile(SHIPPED));
        initial.initSettingsMap();
    }
    const QMap<QString, QVariant> before = map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    QVERIFY(dialog.loadSettingsMap());
    dialog.setting("max_mtu")->setValue(QString("0100"));
    dialog.setting("identity_addr")->setValue(QString("000000000000"));
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QSignalSpy staticUpdated(&dialog, &CSettingDialog::staticSettingsUpdated);
    dialog.form()->btn_cancel->click();
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(staticUpdated.count(), 0);
    QCOMPARE(map, before);

    // The title bar's close button rejects as well.
    dialog.m_tbClose->click();
    QCOMPARE(rejected.count(), 2);
    QCOMPARE(map, before);
}

void TestSettingDialog::loadSettingsMapTakesStoredValues()
{
    // As config.ini gives them back: numbers as text, some keys missing or null.
    QMap<QString, QVariant> map{{"max_mtu", QString("0100")},
                                {"5_0_scan_type", QString("1")},
                                {"identity_addr", QString("c01122334455")},
                                {"5_0_conn_properties", QString("5")},
                                {"device_name", QVariant()},
                                {"profile", QByteArray::fromHex("010407414243")}};
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    QVERIFY(dialog.loadSettingsMap());
    QCOMPARE(dialog.setting("identity_addr")->value(), QVariant(QString("c01122334455")));
    QCOMPARE(dialog.setting("max_mtu")->value(), QVariant(QString("0100")));
    QCOMPARE(dialog.setting("appearance")->value(), QVariant(QString("0000")));
    QCOMPARE(dialog.setting("device_name")->value(), QVariant(QString("")));
    QCOMPARE(dialog.setting("5_0_conn_properties")->value(), QVariant(5u));

    clickTree(dialog, "Scan Parameters");
    QCOMPARE(dialog.setting("5_0_scan_type")->value(), QVariant(1u));
    clickTree(dialog, "Profile");
    QCOMPARE(dialog.setting("profile")->value().toByteArray(), QByteArray::fromHex("010407414243"));
    dialog.on_pb_restoreCurrentPage_clicked();
    // The profile list's default is the list last given to it.
    QCOMPARE(dialog.setting("profile")->value().toByteArray(), QByteArray::fromHex("010407414243"));
}

void TestSettingDialog::scanPropertiesKeepActiveScanConsistent()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.loadSettingsMap();
    clickTree(dialog, "Scan Parameters");
    QVERIFY(fieldEnabled(dialog, "5_0_scan_interval_1m"));

    // Clearing scanning on 1M also clears active scanning on 1M.
    maskCheckBox(dialog, "5_0_scan_properties", 0)->click();
    QCOMPARE(dialog.setting("5_0_scan_properties")->value(), QVariant(63u & ~5u));
    QVERIFY(!maskCheckBox(dialog, "5_0_scan_properties", 2)->isChecked());
    QVERIFY(!fieldEnabled(dialog, "5_0_scan_interval_1m"));
    QVERIFY(!fieldEnabled(dialog, "5_0_scan_window_1m"));
    QVERIFY(fieldEnabled(dialog, "5_0_scan_interval_coded"));

    // Choosing active scanning on 1M chooses scanning on 1M too.
    maskCheckBox(dialog, "5_0_scan_properties", 2)->click();
    QCOMPARE(dialog.setting("5_0_scan_properties")->value(), QVariant(63u));
    QVERIFY(maskCheckBox(dialog, "5_0_scan_properties", 0)->isChecked());
    QVERIFY(fieldEnabled(dialog, "5_0_scan_window_1m"));

    // The same for the Coded PHY.
    maskCheckBox(dialog, "5_0_scan_properties", 1)->click();
    QCOMPARE(dialog.setting("5_0_scan_properties")->value(), QVariant(63u & ~10u));
    QVERIFY(!fieldEnabled(dialog, "5_0_scan_window_coded"));
    QVERIFY(fieldEnabled(dialog, "5_0_scan_window_1m"));
    maskCheckBox(dialog, "5_0_scan_properties", 3)->click();
    QCOMPARE(dialog.setting("5_0_scan_properties")->value(), QVariant(63u));
    QVERIFY(fieldEnabled(dialog, "5_0_scan_window_coded"));

    // Clearing only active scanning keeps scanning.
    maskCheckBox(dialog, "5_0_scan_properties", 2)->click();
    QCOMPARE(dialog.setting("5_0_scan_properties")->value(), QVariant(63u & ~4u));
    QVERIFY(fieldEnabled(dialog, "5_0_scan_window_1m"));
}

void TestSettingDialog::connectPropertiesEnableTheirFields()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.loadSettingsMap();
    clickTree(dialog, "Connection Parameters");

    const QStringList oneM{"5_0_conn_scan_interval_1m", "5_0_conn_scan_window_1m", "5_0_conn_interval_min_1m",
                           "5_0_conn_interval_max_1m", "5_0_conn_latency_1m",
                           "5_0_conn_supervision_timeout_1m", "5_0_conn_ce_1m"};
    const QStringList twoM{"5_0_conn_interval_min_2m", "5_0_conn_interval_max_2m", "5_0_conn_latency_2m",
                           "5_0_conn_supervision_timeout_2m", "5_0_conn_ce_2m"};
    const QStringList coded{"5_0_conn_scan_interval_coded", "5_0_conn_scan_window_coded",
                            "5_0_conn_interval_min_coded", "5_0_conn_interval_max_coded",
                            "5_0_conn_latency_coded", "5_0_conn_supervision_timeout_coded",
                            "5_0_conn_ce_coded"};
    auto states = [&](const QStringList &keys) {
        QVector<bool> result;
        for (const QString &key : keys)
            result << fieldEnabled(dialog, key);
        return result;
    };
    const QVector<bool> on7(7, true), off7(7, false), on5(5, true), off5(5, false);

    // The default mask 1 leaves only the 1M fields editable.
    QCOMPARE(states(oneM), on7);
    QCOMPARE(states(twoM), off5);
    QCOMPARE(states(coded), off7);

    maskCheckBox(dialog, "5_0_conn_properties", 1)->click();
    QCOMPARE(states(twoM), on5);
    maskCheckBox(dialog, "5_0_conn_properties", 2)->click();
    QCOMPARE(states(coded), on7);
    maskCheckBox(dialog, "5_0_conn_properties", 1)->click();
    QCOMPARE(states(twoM), off5);
    QCOMPARE(states(oneM), on7);
    QCOMPARE(states(coded), on7);
    QCOMPARE(dialog.setting("5_0_conn_properties")->value(), QVariant(5u));
}

void TestSettingDialog::connectTypeMakesTimeoutEditable()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    clickTree(dialog, "Connection Parameters");
    auto *timeout = qobject_cast<CLineEditSetting *>(dialog.setting("5_0_conn_timeout"));
    timeout->setEditable(false);
    dialog.setting("5_0_conn_type")->setValue(1u);
    QVERIFY(timeout->lineEdit()->isEnabled());
    timeout->setEditable(false);
    dialog.setting("5_0_conn_type")->setValue(0u);
    QVERIFY(timeout->lineEdit()->isEnabled());
}

void TestSettingDialog::enterSetsEscapeDoesNothing()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy staticUpdated(&dialog, &CSettingDialog::staticSettingsUpdated);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QSignalSpy accepted(&dialog, &QDialog::accepted);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 0);
    QVERIFY(dialog.isVisible());

    QTest::keyClick(&dialog, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(staticUpdated.count(), 1);
    QCOMPARE(accepted.count(), 1);

    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(staticUpdated.count(), 2);
    QCOMPARE(accepted.count(), 2);
}

void TestSettingDialog::missingGroupsAreLogged()
{
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    dialog.on_pb_restoreCurrentPage_clicked();
    QVERIFY(dialog.loadSettingFile(QFINDTESTDATA("data/settings/no_leaf_group.xml")));
    QTreeWidgetItem stray(QStringList{"Stray"});
    dialog.onCatalogItemClicked(&stray, 0);
    QCOMPARE(m_lines,
             QStringList({"1:CSettingDialog::on_btn_default_pressed:m_currentSettingGroup is null.",
                          "1:CSettingDialog::showFirstSettingGroup: can't find the first leaf setting group.",
                          "1:CSettingDialog::onCatalogItemClicked:SettingGroup is null."}));
    QVERIFY(!dialog.currentSettingGroup());
}

// Saves a picture of the dialog for a look at its layout; runs only when asked.
void TestSettingDialog::screenshot()
{
    const QString folder = qEnvironmentVariable("VANTORA_SCREENSHOT_DIR");
    if (folder.isEmpty())
        QSKIP("set VANTORA_SCREENSHOT_DIR to save pictures of the dialog");
    qApp->setStyleSheet(flatStyleSheet());
    QMap<QString, QVariant> map;
    CSettingDialog dialog(m_log, &map, nullptr);
    QVERIFY(dialog.loadSettingFile(SHIPPED));
    dialog.initSettingsMap();
    dialog.loadSettingsMap();
    dialog.move(20, 20);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.form()->catalogTreeWidget->expandAll();
    QTest::qWait(300);
    QVERIFY(dialog.grab().save(folder + "/settings-device.png"));
    clickTree(dialog, "Connection Parameters");
    QTest::qWait(300);
    QVERIFY(dialog.grab().save(folder + "/settings-connection.png"));
    // Every other page, for a look at each kind of editor.
    const QStringList pages{"Privacy", "Local Irk Set", "Preferred PHY Set", "RF Path Compensation Set",
                            "L2CAP Parameters", "Data Length Set", "Profile", "Security Pair",
                            "Scan Parameters", "Security Parameters", "Sync Parameters"};
    for (const QString &page : pages) {
        clickTree(dialog, page);
        QTest::qWait(100);
        const QString name = page.toLower().replace(' ', '-');
        QVERIFY(dialog.grab().save(folder + "/settings-" + name + ".png"));
    }
    if (qEnvironmentVariableIsSet("VANTORA_SCREENSHOT_WAIT"))
        QTest::qWait(qEnvironmentVariableIntValue("VANTORA_SCREENSHOT_WAIT"));
}

QTEST_MAIN(TestSettingDialog)
#include "tst_settingdialog.moc"
