#include "clineeditsetting.h"

#include "cvalidatelineedit.h"
#include "fieldvalue.h"

CLineEditSetting::CLineEditSetting(const QString &key, const QString &title, const QString &type,
                                   const QString &minValue, const QString &maxValue,
                                   const QString &defaultValue, const QString &length,
                                   const QString &singleStep, const QString &precision,
                                   const QString &description, CSetting *parent)
    : CSetting(key, title, parent)
    , m_minValue(minValue)
    , m_maxValue(maxValue)
    , m_length(length)
    , m_defaultText(defaultValue)
    , m_description(description)
    , m_type(type)
    , m_singleStep(singleStep)
    , m_precision(precision)
{
    m_defaultValue = FieldValue::ofType(type, defaultValue, length, singleStep);
}

void CLineEditSetting::setEditable(bool editable)
{
    if (m_lineEdit)
        m_lineEdit->setEnabled(editable);
}

QVariant CLineEditSetting::value() const
{
    if (!m_lineEdit)
        return m_value;
    return m_lineEdit->getValue();
}

void CLineEditSetting::setValue(const QVariant &value)
{
    m_value = value;
    if (m_lineEdit)
        m_lineEdit->setValue(value.toString());
}

void CLineEditSetting::createWidget(QBoxLayout *layout)
{
    if (m_lineEdit)
        return;
    m_lineEdit = new CValidateLineEdit;
    m_lineEdit->setToolTip(m_description);
    if (m_type == QLatin1String("int"))
        m_lineEdit->setIntType(m_minValue, m_maxValue, m_length, m_defaultText);
    else if (m_type == QLatin1String("hex"))
        m_lineEdit->setHexType(m_length, m_minValue, m_maxValue, QString(),
                               QStringLiteral("0x[0-9a-fA-F]*"));
    else if (m_type == QLatin1String("addr"))
        m_lineEdit->setAddrType(m_length, QString(), QStringLiteral("[0-9a-fA-F:]*"));
    else if (m_type == QLatin1String("string"))
        m_lineEdit->setStringType(m_defaultText, m_length);
    else if (m_type == QLatin1String("littleEnd"))
        m_lineEdit->setLittleEndType(m_length, m_defaultText, QStringLiteral("[0-9a-fA-F:]*"));
    else if (m_type == QLatin1String("double"))
        m_lineEdit->setDoubleType(m_minValue, m_maxValue, m_singleStep, m_precision, m_length,
                                  m_defaultText);
    else if (m_type == QLatin1String("int16double"))
        m_lineEdit->setInt16DoubleType(m_minValue, m_maxValue, m_singleStep, m_precision, m_length,
                                       m_defaultText);
    m_rowLayout = addTitledRow(layout, m_lineEdit, &m_label);
    setValue(m_value);
}

CValidateLineEdit *CLineEditSetting::lineEdit() const
{
    return m_lineEdit;
}

QString CLineEditSetting::type() const
{
    return m_type;
}
