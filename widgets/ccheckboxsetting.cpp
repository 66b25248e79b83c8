#include "ccheckboxsetting.h"

#include "settingsdescription.h"

#include <QCheckBox>

CCheckBoxSetting::CCheckBoxSetting(const QString &key, const QString &title, CSetting *parent)
    : CSetting(key, title, parent)
{
}

QVariant CCheckBoxSetting::value() const
{
    if (!m_checkBox)
        return m_value;
    return m_checkBox->isChecked();
}

void CCheckBoxSetting::setValue(const QVariant &value)
{
    m_value = value;
    if (m_checkBox)
        m_checkBox->setChecked(SettingsDescription::isChecked(value));
}

void CCheckBoxSetting::createWidget(QBoxLayout *layout)
{
    if (m_checkBox)
        return;
    m_checkBox = new QCheckBox;
    m_rowLayout = addTitledRow(layout, m_checkBox, &m_label);
    setValue(m_value);
}
