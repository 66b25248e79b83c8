#include "ccomboboxwithcheckboxsetting.h"

#include "ccomboboxwithcheckbox.h"

CComboBoxWithCheckBoxSetting::CComboBoxWithCheckBoxSetting(const QMap<uint, QString> &choices,
                                                           const QString &key,
                                                           const QString &title, CSetting *parent)
    : CSetting(key, title, parent)
    // Held by this node until its row is built and the page adopts it.
    , m_comboBox(new CComboBoxWithCheckBox(choices, this))
{
    connect(m_comboBox, &CComboBoxWithCheckBox::comboxWithCheckBoxValueChanged, this,
            &CComboBoxWithCheckBoxSetting::on_comboxWithCheckBoxValueChanged);
}

QVariant CComboBoxWithCheckBoxSetting::value() const
{
    return m_comboBox->value();
}

void CComboBoxWithCheckBoxSetting::setValue(const QVariant &value)
{
    m_value = value;
    m_comboBox->setCheckedValue(value.toUInt());
}

void CComboBoxWithCheckBoxSetting::createWidget(QBoxLayout *layout)
{
    if (m_rowLayout)
        return;
    m_rowLayout = addTitledRow(layout, m_comboBox, &m_label);
    setValue(m_value);
}

CComboBoxWithCheckBox *CComboBoxWithCheckBoxSetting::comboBox() const
{
    return m_comboBox;
}

void CComboBoxWithCheckBoxSetting::on_comboxWithCheckBoxValueChanged(int mask)
{
    if (m_key == QLatin1String("5_0_conn_properties"))
        emit connectPropertiesChanged(mask);
    else if (m_key == QLatin1String("5_0_scan_properties"))
        emit scanPropertiesChanged(mask);
}
