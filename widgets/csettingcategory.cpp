#include "csettingcategory.h"
#include "plaintext.h"

#include <QLabel>
#include <QVBoxLayout>

CSettingCategory::CSettingCategory(const QString &title, CSetting *parent)
    : CSetting(title, title, parent)
{
}

CSettingCategory::CSettingCategory(const QString &title, QWidget *parentWidget)
    : CSetting(title, title, parentWidget)
{
}

void CSettingCategory::createWidget(QBoxLayout *layout)
{
    if (m_layout)
        return;
    m_layout = new QVBoxLayout;
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(15);
    m_titleLabel = PlainText::label(m_title);
    m_titleLabel->setStyleSheet(QStringLiteral("font: 12pt"));
    m_layout->addWidget(m_titleLabel);
    for (CSetting *setting : qAsConst(m_children))
        setting->createWidget(m_layout);
    layout->addLayout(m_layout);
}

void CSettingCategory::addChild(CSetting *child)
{
    if (!child || m_children.contains(child))
        return;
    m_children.append(child);
    child->setParentSetting(this);
}

void CSettingCategory::removeChild(CSetting *child)
{
    if (!child)
        return;
    const QString key = child->key();
    for (int i = m_children.size() - 1; i >= 0; --i) {
        if (m_children.at(i)->key() == key) {
            m_children.at(i)->setParentSetting(nullptr);
            m_children.removeAt(i);
        }
    }
}

CSetting *CSettingCategory::child(int index) const
{
    return index >= 0 && index < m_children.size() ? m_children.at(index) : nullptr;
}

int CSettingCategory::childCount() const
{
    return m_children.size();
}

QList<CSetting *> CSettingCategory::children() const
{
    return m_children;
}
