#include "ccomboboxsetting.h"

#include "cstyledcombobox.h"

#include <QComboBox>
#include <QStandardItem>
#include <QStandardItemModel>

namespace {

const int ShownChoiceLength = 60;

} // namespace

CComboBoxSetting::CComboBoxSetting(const QString &key, const QString &title, CSetting *parent)
    : CSetting(key, title, parent)
{
}

void CComboBoxSetting::setUserTextsAndValues(const QStringList &texts, const QList<QVariant> &values)
{
    if (m_userTexts != texts)
        m_userTexts = texts;
    if (m_userValues != values)
        m_userValues = values;
}

QStringList CComboBoxSetting::userTexts() const
{
    return m_userTexts;
}

QList<QVariant> CComboBoxSetting::userValues() const
{
    return m_userValues;
}

QVariant CComboBoxSetting::value() const
{
    if (!m_comboBox)
        return m_value;
    return m_comboBox->currentData(Qt::UserRole);
}

void CComboBoxSetting::setValue(const QVariant &value)
{
    m_value = value;
    if (!m_comboBox)
        return;
    for (int i = 0; i < m_comboBox->count(); ++i) {
        if (m_comboBox->itemData(i, Qt::UserRole) == value) {
            m_comboBox->setCurrentIndex(i);
            return;
        }
    }
}

void CComboBoxSetting::createWidget(QBoxLayout *layout)
{
    if (m_comboBox)
        return;
    m_comboBox = new CStyledComboBox;
    // Long choice texts must not widen the row beyond the other editors.
    m_comboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboBox->setMinimumContentsLength(10);
    connect(m_comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CComboBoxSetting::onCurIndexChanged);
    auto *model = qobject_cast<QStandardItemModel *>(m_comboBox->model());
    for (int i = 0; i < m_userTexts.size(); ++i) {
        const QString &text = m_userTexts.at(i);
        auto *item = new QStandardItem(text.size() > ShownChoiceLength
                                           ? text.left(ShownChoiceLength) + QStringLiteral("...")
                                           : text);
        item->setToolTip(text);
        item->setData(m_userValues.value(i), Qt::UserRole);
        model->appendRow(item);
    }
    m_rowLayout = addTitledRow(layout, m_comboBox, &m_label);
    setValue(m_value);
    announceCurrentEntry();
}

QComboBox *CComboBoxSetting::comboBox() const
{
    return m_comboBox;
}

void CComboBoxSetting::onCurIndexChanged(int /*index*/)
{
    announceCurrentEntry();
}

void CComboBoxSetting::announceCurrentEntry()
{
    const int index = m_comboBox->currentIndex();
    if (index < 0)
        return;
    m_comboBox->setToolTip(m_userTexts.value(index));
    if (m_key == QLatin1String("5_0_conn_type"))
        emit connectTypeChanged(index != 0);
}
