#pragma once

#include "csettingcategory.h"

class QFrame;
class QTreeWidget;
class QTreeWidgetItem;

// One node of the catalogue tree and, for a leaf group, one page of categories.
class CSettingGroup : public CSettingCategory
{
    Q_OBJECT

public:
    CSettingGroup(const QString &title, CSettingGroup *parentGroup);
    CSettingGroup(const QString &title, QWidget *parentWidget);

    virtual void createTreeItem(QTreeWidget *tree);
    void createWidget(QBoxLayout *layout) override;

    void addSubGroup(CSettingGroup *group);
    int subGroupCount() const;
    QList<CSettingGroup *> subGroups() const;
    QTreeWidgetItem *treeItem() const;
    QFrame *pageFrame() const;
    void showWidget();
    void hideWidget();

private:
    void createSubTreeItems(QTreeWidgetItem *parentItem);

    QList<CSettingGroup *> m_subGroups;
    QTreeWidgetItem *m_treeItem = nullptr;
    QFrame *m_frame = nullptr;
};
