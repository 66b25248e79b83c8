#include "csetting.h"
#include "plaintext.h"

#include <QHBoxLayout>
#include <QLabel>

CSetting::CSetting(const QString &key, const QString &title, CSetting *parent)
    : QWidget(parent)
    , m_key(key)
    , m_title(title)
{
    // Only the editors a node builds are shown, never the node itself.
    setVisible(false);
    if (parent)
        parent->addChild(this);
}

CSetting::CSetting(const QString &key, const QString &title, QWidget *parentWidget)
    : QWidget(parentWidget)
    , m_key(key)
    , m_title(title)
{
    setVisible(false);
}

QVariant CSetting::defaultValue() const
{
    return m_defaultValue;
}

bool CSetting::isValid() const
{
    return true;
}

void CSetting::setEditable(bool /*editable*/)
{
}

QVariant CSetting::value() const
{
    return m_value;
}

void CSetting::setValue(const QVariant &value)
{
    m_value = value;
}

void CSetting::createWidget(QBoxLayout * /*layout*/)
{
}

void CSetting::addChild(CSetting * /*child*/)
{
}

void CSetting::removeChild(CSetting * /*child*/)
{
}

CSetting *CSetting::child(int /*index*/) const
{
    return nullptr;
}

int CSetting::childCount() const
{
    return 0;
}

QString CSetting::key() const
{
    return m_key;
}

QString CSetting::title() const
{
    return m_title;
}

void CSetting::setDefaultValue(const QVariant &value)
{
    m_defaultValue = value;
}

CSetting *CSetting::parentSetting() const
{
    return m_parentSetting;
}

void CSetting::setParentSetting(CSetting *parent)
{
    m_parentSetting = parent;
}

QHBoxLayout *CSetting::addTitledRow(QBoxLayout *layout, QWidget *editor, QLabel **label) const
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    *label = PlainText::label(m_title);
    row->addWidget(*label, 4);
    row->addWidget(editor, 6);
    layout->addLayout(row);
    return row;
}
