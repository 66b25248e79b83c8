#pragma once

#include "cflatdialog.h"
#include "settingsdescription.h"
#include "ui_csettingdialog.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class CSetting;
class CSettingCategory;
class CSettingGroup;
class LogManager;
class QKeyEvent;
class QTreeWidgetItem;

// A dongle's configuration dialog, built from the settings description. It
// edits a copy of the dongle's settings map in its setting items and writes it
// back when the user sets the configuration.
class CSettingDialog : public CFlatDialog
{
    Q_OBJECT

public:
    // Whether the dongle is busy on air; asked before the static configuration is set.
    using BusyQuery = std::function<bool()>;

    CSettingDialog(LogManager *log, QMap<QString, QVariant> *settingsMap, QWidget *dongleWidget,
                   QWidget *parent = nullptr);
    ~CSettingDialog() override;

    // Without a query the dongle widget's invokable isBusy() is asked, if it has one.
    void setBusyQuery(BusyQuery query);

    bool loadSettingFile(const QString &path);

    void initSettingsMap();
    bool loadSettingsMap();
    bool checkSettings();

    CSetting *setting(const QString &key) const;
    QMap<QString, CSetting *> settingItems() const;
    QList<CSettingGroup *> settingGroups() const;
    CSettingGroup *currentSettingGroup() const;
    Ui::SettingDialog *form();

signals:
    void staticSettingsUpdated();
    void dynamicSettingsUpdated();
    void sig_openAutomaticConnect(bool isAuto);
    void sig_isPairEnable(bool enabled);

public slots:
    void onCatalogItemClicked(QTreeWidgetItem *item, int column);
    void on_pb_restoreAll_clicked();
    void on_pb_restoreCurrentPage_clicked();
    void on_btn_apply_clicked();
    void on_btn_cancel_clicked();
    void on_connectTypeChanged(bool isAuto);
    void on_connectPropertiesChanged(int mask);
    void on_scanPropertiesChanged(int mask);
    void keyPressEvent(QKeyEvent *event) override;
    void on_pb_setAll_clicked();

private:
    // The items of one group and of what it holds, as the description gives them.
    void parseGroup(const QVector<SettingsDescription::Group> &groups, int index, CSettingGroup *parent);
    void parseSetting(const SettingsDescription::Entry &entry, CSettingCategory *category);
    void buildCatalogTree();
    void showFirstSettingGroup();
    void updateDynamicFieldStates();
    void updateConnectFields(int mask);
    void updateScanFields(int mask);
    void setFieldsEditable(const QStringList &keys, bool editable);
    void writeSettingsMap();
    bool dongleIsBusy() const;
    QVariant settingValue(const QString &key) const;
    bool refuse(const QString &title, const QString &text, const QString &logText);
    // Typed values that cannot be sent as they stand are refused on their page.
    bool checkTypedValues();
    bool checkDeviceName();
    void showSettingGroup(CSettingGroup *group);
    void debugLog(const QString &text) const;

    QMap<QString, CSetting *> m_settings;
    QList<CSettingGroup *> m_groups;
    CSettingGroup *m_currentSettingGroup = nullptr;
    Ui::SettingDialog m_ui;
    QList<QStringList> m_connectFieldKeys;
    QList<QStringList> m_scanFieldKeys;
    LogManager *m_log;
    QMap<QString, QVariant> *m_settingsMap;
    QPointer<QWidget> m_dongleWidget;
    int m_lastScanPropertiesMask = SettingsDescription::InitialScanPropertiesMask;
    BusyQuery m_busyQuery;
};
