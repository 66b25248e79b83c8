#include "csettinggroup.h"

#include <QFrame>
#include <QTreeWidget>
#include <QVBoxLayout>

CSettingGroup::CSettingGroup(const QString &title, CSettingGroup *parentGroup)
    : CSettingCategory(title, parentGroup)
{
    if (parentGroup)
        parentGroup->addSubGroup(this);
}

CSettingGroup::CSettingGroup(const QString &title, QWidget *parentWidget)
    : CSettingCategory(title, parentWidget)
{
}

void CSettingGroup::createTreeItem(QTreeWidget *tree)
{
    // Subgroups get their items from their top-level group.
    if (m_parentSetting || m_treeItem)
        return;
    m_treeItem = new QTreeWidgetItem(tree, QStringList{m_title});
    for (CSettingGroup *group : qAsConst(m_subGroups))
        group->createSubTreeItems(m_treeItem);
}

void CSettingGroup::createSubTreeItems(QTreeWidgetItem *parentItem)
{
    if (m_treeItem)
        return;
    m_treeItem = new QTreeWidgetItem(parentItem, QStringList{m_title});
    for (CSettingGroup *group : qAsConst(m_subGroups))
        group->createSubTreeItems(m_treeItem);
}

void CSettingGroup::createWidget(QBoxLayout *layout)
{
    if (m_frame)
        return;
    m_frame = new QFrame;
    auto *frameLayout = new QVBoxLayout(m_frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->setSpacing(30);
    for (CSetting *setting : qAsConst(m_children))
        setting->createWidget(frameLayout);
    layout->addWidget(m_frame);
}

void CSettingGroup::addSubGroup(CSettingGroup *group)
{
    if (!group || m_subGroups.contains(group))
        return;
    m_subGroups.append(group);
}

int CSettingGroup::subGroupCount() const
{
    return m_subGroups.size();
}

QList<CSettingGroup *> CSettingGroup::subGroups() const
{
    return m_subGroups;
}

QTreeWidgetItem *CSettingGroup::treeItem() const
{
    return m_treeItem;
}

QFrame *CSettingGroup::pageFrame() const
{
    return m_frame;
}

void CSettingGroup::showWidget()
{
    if (m_frame)
        m_frame->show();
}

void CSettingGroup::hideWidget()
{
    if (m_frame)
        m_frame->hide();
}
