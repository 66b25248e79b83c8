#include "ccheckboxsetting.h"

#include <QCheckBox>

CCheckBoxSetting::CCheckBoxSetting(const QString &key, const QString &title, CSetting *parent)
    : CSetting(key, title, parent)
{
}

bool CCheckBoxSetting::isChecked(const QVariant &value)
{
    if (value.type() == QVariant::Bool)
        return value.toBool();
    if (value.type() == QVariant::String) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
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
        m_checkBox->setChecked(isChecked(value));
}

void CCheckBoxSetting::createWidget(QBoxLayout *layout)
{
    if (m_checkBox)
        return;
    m_checkBox = new QCheckBox;
    m_rowLayout = addTitledRow(layout, m_checkBox, &m_label);
    setValue(m_value);
}
