#include "ccomboboxwithcheckboxsetting.h"

#include "ccomboboxwithcheckbox.h"

#include <QHBoxLayout>
#include <QLabel>

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
    m_rowLayout = new QHBoxLayout;
    m_rowLayout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(m_title);
    m_rowLayout->addWidget(m_label, 4);
    m_rowLayout->addWidget(m_comboBox, 6);
    layout->addLayout(m_rowLayout);
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
