#include "csettingdialog.h"
#include "plaintext.h"

#include "ccheckboxsetting.h"
#include "ccomboboxsetting.h"
#include "ccomboboxwithcheckboxsetting.h"
#include "cflatmessage.h"
#include "clineeditsetting.h"
#include "cprofiletablesetting.h"
#include "csettingcategory.h"
#include "csettinggroup.h"
#include "cvalidatelineedit.h"
#include "devicesettingscodec.h"
#include "inputrefusal.h"
#include "logmanager.h"
#include "settingsdescription.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

constexpr int DebugLevel = 1;
constexpr int ErrorLevel = 4;

const char STATIC_CONFIGURATION[] = "Static Configuration";
const char DYNAMIC_CONFIGURATION[] = "Dynamic Configuration";
const char SET_ALL_STATIC[] = "Set All Static";
const char APPLY_ALL_DYNAMIC[] = "Apply All Dynamic";
const char SCAN_ERROR_TITLE[] = "Scan Parameters Setting Error";

quint64 hexValue(const QVariant &value)
{
    return value.toString().toULongLong(nullptr, 16);
}

} // namespace

CSettingDialog::CSettingDialog(LogManager *log, QMap<QString, QVariant> *settingsMap,
                               QWidget *dongleWidget, QWidget *parent)
    : CFlatDialog(QStringLiteral("Settings"), parent, 0, 0, false)
    , m_log(log)
    , m_settingsMap(settingsMap)
    , m_dongleWidget(dongleWidget)
{
    m_ui.setupUi(m_content);

    m_connectFieldKeys = {
        {QStringLiteral("5_0_conn_scan_interval_1m"), QStringLiteral("5_0_conn_scan_window_1m"),
         QStringLiteral("5_0_conn_interval_min_1m"), QStringLiteral("5_0_conn_interval_max_1m"),
         QStringLiteral("5_0_conn_latency_1m"), QStringLiteral("5_0_conn_supervision_timeout_1m"),
         QStringLiteral("5_0_conn_ce_1m")},
        {QStringLiteral("5_0_conn_interval_min_2m"), QStringLiteral("5_0_conn_interval_max_2m"),
         QStringLiteral("5_0_conn_latency_2m"), QStringLiteral("5_0_conn_supervision_timeout_2m"),
         QStringLiteral("5_0_conn_ce_2m")},
        {QStringLiteral("5_0_conn_scan_interval_coded"), QStringLiteral("5_0_conn_scan_window_coded"),
         QStringLiteral("5_0_conn_interval_min_coded"), QStringLiteral("5_0_conn_interval_max_coded"),
         QStringLiteral("5_0_conn_latency_coded"),
         QStringLiteral("5_0_conn_supervision_timeout_coded"), QStringLiteral("5_0_conn_ce_coded")},
    };
    m_scanFieldKeys = {
        {QStringLiteral("5_0_scan_interval_1m"), QStringLiteral("5_0_scan_window_1m")},
        {QStringLiteral("5_0_scan_interval_coded"), QStringLiteral("5_0_scan_window_coded")},
    };

    connect(m_ui.pb_restoreAll, &QPushButton::clicked, this, &CSettingDialog::on_pb_restoreAll_clicked);
    connect(m_ui.pb_restoreCurrentPage, &QPushButton::clicked, this,
            &CSettingDialog::on_pb_restoreCurrentPage_clicked);
    connect(m_ui.btn_apply, &QPushButton::clicked, this, &CSettingDialog::on_btn_apply_clicked);
    connect(m_ui.btn_cancel, &QPushButton::clicked, this, &CSettingDialog::on_btn_cancel_clicked);
    connect(m_ui.pb_setAll, &QPushButton::clicked, this, &CSettingDialog::on_pb_setAll_clicked);
}

CSettingDialog::~CSettingDialog() = default;

void CSettingDialog::setBusyQuery(BusyQuery query)
{
    m_busyQuery = std::move(query);
}

void CSettingDialog::debugLog(const QString &text) const
{
    if (m_log)
        m_log->log(text, DebugLevel);
}

bool CSettingDialog::loadSettingFile(const QString &path)
{
    SettingsDescription description;
    if (!description.load(path, m_log))
        return false;
    const QVector<SettingsDescription::Group> &groups = description.groups();
    for (int i = 0; i < groups.size(); ++i) {
        if (groups.at(i).parent < 0)
            parseGroup(groups, i, nullptr);
    }

    buildCatalogTree();
    showFirstSettingGroup();
    connect(m_ui.catalogTreeWidget, &QTreeWidget::itemClicked, this,
            &CSettingDialog::onCatalogItemClicked, Qt::UniqueConnection);
    return true;
}

void CSettingDialog::parseGroup(const QVector<SettingsDescription::Group> &groups, int index,
                                CSettingGroup *parent)
{
    const SettingsDescription::Group &source = groups.at(index);
    auto *group = parent ? new CSettingGroup(source.title, parent) : new CSettingGroup(source.title, this);
    m_groups.append(group);
    for (const SettingsDescription::GroupChild &child : source.children) {
        if (child.subgroup >= 0) {
            parseGroup(groups, child.subgroup, group);
            continue;
        }
        auto *category = new CSettingCategory(child.category.title, group);
        for (const SettingsDescription::Entry &entry : child.category.entries)
            parseSetting(entry, category);
    }
}

void CSettingDialog::parseSetting(const SettingsDescription::Entry &entry, CSettingCategory *category)
{
    using Kind = SettingsDescription::Kind;
    CSetting *item = nullptr;
    switch (entry.kind) {
    case Kind::LineEdit: {
        // Takes its default from the texts, by the rule the description used.
        const SettingsDescription::LineEditTexts &texts = entry.lineEdit;
        item = new CLineEditSetting(entry.key, entry.title, texts.type, texts.minValue, texts.maxValue,
                                    texts.defaultValue, texts.length, texts.singleStep, texts.precision,
                                    texts.description, category);
        break;
    }
    case Kind::Choice: {
        auto *choice = new CComboBoxSetting(entry.key, entry.title, category);
        connect(choice, &CComboBoxSetting::connectTypeChanged, this, &CSettingDialog::on_connectTypeChanged);
        choice->setUserTextsAndValues(entry.choiceTexts, entry.choiceValues);
        item = choice;
        break;
    }
    case Kind::BitMask: {
        auto *mask = new CComboBoxWithCheckBoxSetting(entry.bits, entry.key, entry.title, category);
        connect(mask, &CComboBoxWithCheckBoxSetting::connectPropertiesChanged, this,
                &CSettingDialog::on_connectPropertiesChanged);
        connect(mask, &CComboBoxWithCheckBoxSetting::scanPropertiesChanged, this,
                &CSettingDialog::on_scanPropertiesChanged);
        item = mask;
        break;
    }
    case Kind::CheckBox:
        item = new CCheckBoxSetting(entry.key, entry.title, category);
        break;
    case Kind::ProfileTable:
        item = new CProfileTableSetting(entry.key, entry.title, category);
        break;
    }
    if (entry.kind != Kind::LineEdit)
        item->setDefaultValue(entry.defaultValue);
    if (entry.registered)
        m_settings.insert(entry.key, item);
}

void CSettingDialog::buildCatalogTree()
{
    for (CSettingGroup *group : qAsConst(m_groups))
        group->createTreeItem(m_ui.catalogTreeWidget);
    // As wide as its longest title, those of folded subgroups included; the
    // style sheet's font first, since it decides what the titles need.
    QTreeWidget *tree = m_ui.catalogTreeWidget;
    tree->ensurePolished();
    int need = 0;
    for (QTreeWidgetItemIterator item(tree); *item; ++item) {
        int depth = tree->rootIsDecorated() ? 1 : 0;
        for (QTreeWidgetItem *up = (*item)->parent(); up; up = up->parent())
            ++depth;
        // The item view keeps a few pixels beside each text.
        need = qMax(need, depth * tree->indentation() + tree->fontMetrics().horizontalAdvance((*item)->text(0)) + 8);
    }
    tree->setMinimumWidth(qMax(tree->minimumWidth(), need + 2 * tree->frameWidth()));
}

void CSettingDialog::showFirstSettingGroup()
{
    for (CSettingGroup *group : qAsConst(m_groups)) {
        if (group->subGroupCount() != 0)
            continue;
        m_currentSettingGroup = group;
        m_ui.catalogTreeWidget->setCurrentItem(group->treeItem());
        PlainText::show(m_ui.groupLabel, group->title());
        group->createWidget(m_ui.settingContentLayout);
        group->showWidget();
        return;
    }
    debugLog(QStringLiteral(
        "CSettingDialog::showFirstSettingGroup: can't find the first leaf setting group."));
}

void CSettingDialog::onCatalogItemClicked(QTreeWidgetItem *item, int /*column*/)
{
    CSettingGroup *group = nullptr;
    for (CSettingGroup *candidate : qAsConst(m_groups)) {
        if (candidate->treeItem() == item) {
            group = candidate;
            break;
        }
    }
    if (!group || !m_currentSettingGroup) {
        debugLog(QStringLiteral("CSettingDialog::onCatalogItemClicked:SettingGroup is null."));
        return;
    }

    QTreeWidgetItem *top = item->parent() ? item->parent() : item;
    if (top->text(0) == QLatin1String(STATIC_CONFIGURATION))
        m_ui.btn_apply->setText(QString::fromLatin1(SET_ALL_STATIC));
    else if (top->text(0) == QLatin1String(DYNAMIC_CONFIGURATION))
        m_ui.btn_apply->setText(QString::fromLatin1(APPLY_ALL_DYNAMIC));

    showSettingGroup(group);
    updateDynamicFieldStates();
}

void CSettingDialog::showSettingGroup(CSettingGroup *group)
{
    if (!group || group->subGroupCount() != 0)
        return;
    m_ui.groupLabel->clear();
    if (m_currentSettingGroup)
        m_currentSettingGroup->hideWidget();
    PlainText::show(m_ui.groupLabel, group->title());
    group->createWidget(m_ui.settingContentLayout);
    group->showWidget();
    m_currentSettingGroup = group;
    m_ui.catalogTreeWidget->setCurrentItem(group->treeItem());
}

void CSettingDialog::updateDynamicFieldStates()
{
    updateConnectFields(settingValue(QStringLiteral("5_0_conn_properties")).toInt());
    updateScanFields(settingValue(QStringLiteral("5_0_scan_properties")).toInt());
}

void CSettingDialog::setFieldsEditable(const QStringList &keys, bool editable)
{
    for (const QString &key : keys) {
        if (auto *field = qobject_cast<CLineEditSetting *>(m_settings.value(key)))
            field->setEditable(editable);
    }
}

void CSettingDialog::updateConnectFields(int mask)
{
    const int bits[] = {1, 2, 4};
    for (int i = 0; i < m_connectFieldKeys.size(); ++i)
        setFieldsEditable(m_connectFieldKeys.at(i), (mask & bits[i]) != 0);
}

void CSettingDialog::updateScanFields(int mask)
{
    auto *item = qobject_cast<CComboBoxWithCheckBoxSetting *>(
        m_settings.value(QStringLiteral("5_0_scan_properties")));
    if (item)
        mask = SettingsDescription::adjustScanProperties(
            mask, &m_lastScanPropertiesMask, [item](int adjusted) { item->setValue(QVariant(uint(adjusted))); });
    m_lastScanPropertiesMask = mask;
    setFieldsEditable(m_scanFieldKeys.value(0), (mask & 5) != 0);
    setFieldsEditable(m_scanFieldKeys.value(1), (mask & 10) != 0);
}

void CSettingDialog::on_connectPropertiesChanged(int mask)
{
    updateConnectFields(mask);
}

void CSettingDialog::on_scanPropertiesChanged(int mask)
{
    updateScanFields(mask);
}

void CSettingDialog::on_connectTypeChanged(bool /*isAuto*/)
{
    if (auto *timeout = qobject_cast<CLineEditSetting *>(m_settings.value(QStringLiteral("5_0_conn_timeout"))))
        timeout->setEditable(true);
}

void CSettingDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_ui.btn_apply->setFocus();
        on_btn_apply_clicked();
        return;
    }
    // Escape included: the dialog closes only through its buttons.
    event->ignore();
}

void CSettingDialog::on_pb_restoreAll_clicked()
{
    for (CSetting *item : qAsConst(m_settings))
        item->setValue(item->defaultValue());
}

void CSettingDialog::on_pb_restoreCurrentPage_clicked()
{
    if (!m_currentSettingGroup) {
        debugLog(QStringLiteral("CSettingDialog::on_btn_default_pressed:m_currentSettingGroup is null."));
        return;
    }
    const QList<CSetting *> children = m_currentSettingGroup->children();
    for (CSetting *child : children) {
        auto *category = dynamic_cast<CSettingCategory *>(child);
        if (!category) {
            debugLog(QStringLiteral(
                "CSettingDialog::on_btn_default_pressed: dynamic_cast to psettingCategory failed."));
            return;
        }
        const QList<CSetting *> settings = category->children();
        for (CSetting *item : settings)
            item->setValue(item->defaultValue());
    }
}

void CSettingDialog::writeSettingsMap()
{
    if (!m_settingsMap)
        return;
    for (auto it = m_settings.cbegin(); it != m_settings.cend(); ++it)
        m_settingsMap->insert(it.key(), it.value()->value());
}

bool CSettingDialog::dongleIsBusy() const
{
    if (m_busyQuery)
        return m_busyQuery();
    bool busy = false;
    if (m_dongleWidget && m_dongleWidget->metaObject()->indexOfMethod("isBusy()") >= 0)
        QMetaObject::invokeMethod(m_dongleWidget, "isBusy", Qt::DirectConnection, Q_RETURN_ARG(bool, busy));
    return busy;
}

void CSettingDialog::on_btn_apply_clicked()
{
    if (!checkSettings())
        return;
    writeSettingsMap();
    const QString button = m_ui.btn_apply->text();
    if (button == QLatin1String(SET_ALL_STATIC)) {
        if (dongleIsBusy()) {
            CFlatMessage::information(this, QStringLiteral("error"),
                                      QStringLiteral("cannot set params when air action is on"));
            return;
        }
        emit staticSettingsUpdated();
        emit sig_isPairEnable(settingValue(QStringLiteral("pair_enable_flag")).toUInt() != 0);
    } else if (button == QLatin1String(APPLY_ALL_DYNAMIC)) {
        emit dynamicSettingsUpdated();
        emit sig_openAutomaticConnect(settingValue(QStringLiteral("5_0_conn_type")).toUInt() != 0);
    }
    accept();
}

void CSettingDialog::on_pb_setAll_clicked()
{
    if (!checkSettings())
        return;
    writeSettingsMap();
    if (dongleIsBusy()) {
        CFlatMessage::information(this, QStringLiteral("error"),
                                  QStringLiteral("cannot set params when air action is on"));
        return;
    }
    emit staticSettingsUpdated();
    emit dynamicSettingsUpdated();
    emit sig_openAutomaticConnect(settingValue(QStringLiteral("5_0_conn_type")).toUInt() != 0);
    emit sig_isPairEnable(settingValue(QStringLiteral("pair_enable_flag")).toUInt() != 0);
    accept();
}

void CSettingDialog::on_btn_cancel_clicked()
{
    reject();
}

void CSettingDialog::initSettingsMap()
{
    on_pb_restoreAll_clicked();
    writeSettingsMap();
}

bool CSettingDialog::loadSettingsMap()
{
    for (auto it = m_settings.cbegin(); it != m_settings.cend(); ++it) {
        const QVariant stored = m_settingsMap ? m_settingsMap->value(it.key()) : QVariant();
        it.value()->setValue(stored.isNull() ? it.value()->defaultValue() : stored);
    }
    return true;
}

QVariant CSettingDialog::settingValue(const QString &key) const
{
    CSetting *item = m_settings.value(key);
    return item ? item->value() : QVariant();
}

bool CSettingDialog::refuse(const QString &title, const QString &text, const QString &logText)
{
    CFlatMessage::information(this, title, text);
    if (m_log)
        m_log->log(logText, ErrorLevel);
    return false;
}

bool CSettingDialog::checkTypedValues()
{
    // Page by page, so the field told is the first a user would meet. Only
    // edits of pages shown so far hold anything typed.
    for (CSettingGroup *group : qAsConst(m_groups)) {
        if (group->subGroupCount() != 0)
            continue;
        for (CSetting *child : group->children()) {
            auto *category = qobject_cast<CSettingCategory *>(child);
            if (!category)
                continue;
            for (CSetting *item : category->children()) {
                auto *field = qobject_cast<CLineEditSetting *>(item);
                CValidateLineEdit *edit = field ? field->lineEdit() : nullptr;
                if (edit && !edit->isAcceptable()) {
                    showSettingGroup(group);
                    return edit->acceptTyped(field->title());
                }
            }
        }
    }
    return checkDeviceName();
}

bool CSettingDialog::checkDeviceName()
{
    auto *name = qobject_cast<CLineEditSetting *>(m_settings.value(QStringLiteral("device_name")));
    if (!name)
        return true;
    // Two hex digits a byte; "Device Name Set" carries the length in one byte.
    const int bytes = name->value().toString().size() / 2;
    if (bytes <= DeviceSettingsCodec::MaxDeviceNameBytes)
        return true;
    CSetting *node = name->parentSetting();
    while (node && !qobject_cast<CSettingGroup *>(node))
        node = node->parentSetting();
    showSettingGroup(qobject_cast<CSettingGroup *>(node));
    return InputRefusal::tell(name->lineEdit(), name->title(),
                              QStringLiteral("the name takes %1 bytes in UTF-8; enter at most %2 bytes.")
                                  .arg(bytes)
                                  .arg(DeviceSettingsCodec::MaxDeviceNameBytes));
}

bool CSettingDialog::checkSettings()
{
    if (!checkTypedValues())
        return false;
    const QString identityAddress = settingValue(QStringLiteral("identity_addr")).toString();
    if (identityAddress == QLatin1String("000000000000")) {
        const QString title = QStringLiteral("Identity Address Setting Error");
        return refuse(title, QStringLiteral("Identity Address: 00:00:00:00:00:00 is invalid."), title);
    }

    const QString scanTitle = QString::fromLatin1(SCAN_ERROR_TITLE);
    const quint64 duration = hexValue(settingValue(QStringLiteral("5_0_scan_duration"))) * 10;
    // 1.28 s in whole milliseconds, without the rounding of a floating-point product.
    const quint64 period = hexValue(settingValue(QStringLiteral("5_0_scan_period"))) * 1280;
    if (duration != 0 && period != 0 && period <= duration)
        return refuse(scanTitle, QStringLiteral("Scan Parameter's Period should greater than Duration."),
                      scanTitle);

    if (settingValue(QStringLiteral("5_0_scan_duplicate_filter_policy")).toUInt() == 2
        && (duration == 0 || period == 0))
        return refuse(scanTitle,
                      QStringLiteral("This Duplicate Filter policy need both Duration and Period are not Zero"),
                      scanTitle);

    const uint scanType = settingValue(QStringLiteral("5_0_scan_type")).toUInt();
    if ((scanType == 0 || scanType == 1) && duration != 0 && duration < 10240)
        return refuse(scanTitle,
                      QStringLiteral("When Scan Type is General discovery or Limited discovery, the "
                                     "Duration should be 0 or bigger than 10240ms"),
                      scanTitle);

    if (settingValue(QStringLiteral("5_0_scan_own_addr_type")).toUInt() == 1
        && settingValue(QStringLiteral("privacy_config")).toUInt() == 0
        && (settingValue(QStringLiteral("5_0_scan_properties")).toUInt() & 16) != 0)
        return refuse(scanTitle,
                      QStringLiteral("When Own Address Type is Generated resolvable private random "
                                     "address and the Privacy Config is\r\nDisabled,the Scan properties "
                                     "of Accept directed advertising packets if the used RPA and "
                                     "target\r\naddress cannot be solved by the controller can not "
                                     "choosed."),
                      scanTitle);

    if (settingValue(QStringLiteral("identity_addr_type")).toUInt() == 1) {
        const quint64 address = identityAddress.toULongLong(nullptr, 16) & 0xFFFFFFFFFFFFULL;
        if (((address >> 46) & 0x3) != 0x3) {
            const QString text =
                QStringLiteral("Static addr: The two most significant bits of the address shall be equal to 1");
            return refuse(scanTitle, text, text);
        }
    }
    return true;
}

CSetting *CSettingDialog::setting(const QString &key) const
{
    return m_settings.value(key);
}

QMap<QString, CSetting *> CSettingDialog::settingItems() const
{
    return m_settings;
}

QList<CSettingGroup *> CSettingDialog::settingGroups() const
{
    return m_groups;
}

CSettingGroup *CSettingDialog::currentSettingGroup() const
{
    return m_currentSettingGroup;
}

Ui::SettingDialog *CSettingDialog::form()
{
    return &m_ui;
}
