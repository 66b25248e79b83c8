#include "ccomboboxwithcheckbox.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QListWidget>
#include <QMouseEvent>

namespace {

const int ShownDescriptionLength = 60;

QString shortened(const QString &text)
{
    if (text.size() <= ShownDescriptionLength)
        return text;
    return text.left(ShownDescriptionLength) + QStringLiteral("...");
}

} // namespace

CLineEdit::CLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void CLineEdit::mousePressEvent(QMouseEvent *event)
{
    // The press only toggles the list; no cursor move, no selection.
    emit clicked();
    event->accept();
}

CComboBoxWithCheckBox::CComboBoxWithCheckBox(const QMap<uint, QString> &choices, QWidget *parent)
    : QComboBox(parent)
    , m_choices(choices)
    , m_list(new QListWidget(this))
    , m_lineEdit(new CLineEdit(this))
{
    for (auto it = m_choices.cbegin(); it != m_choices.cend(); ++it) {
        auto *item = new QListWidgetItem(m_list);
        item->setData(Qt::UserRole, it.key());
        auto *checkBox = new QCheckBox(shortened(it.value()), this);
        checkBox->setToolTip(it.value());
        m_list->setItemWidget(item, checkBox);
        connect(checkBox, &QCheckBox::clicked, this, &CComboBoxWithCheckBox::onCheckBoxClicked);
    }
    // Long descriptions must not widen the row beyond the other editors.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(10);
    setModel(m_list->model());
    setView(m_list);
    m_lineEdit->setReadOnly(true);
    setLineEdit(m_lineEdit);
    connect(m_lineEdit, &QLineEdit::textChanged, this, &CComboBoxWithCheckBox::onTextChanged);
    connect(m_lineEdit, &CLineEdit::clicked, this, &CComboBoxWithCheckBox::onLineEditClicked);
    m_lineEdit->setText(m_summary);
}

uint CComboBoxWithCheckBox::value() const
{
    return m_value;
}

void CComboBoxWithCheckBox::setCheckedValue(uint mask)
{
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        auto *checkBox = qobject_cast<QCheckBox *>(m_list->itemWidget(item));
        if (checkBox)
            checkBox->setChecked((mask & item->data(Qt::UserRole).toUInt()) != 0);
    }
    onCheckBoxClicked();
}

void CComboBoxWithCheckBox::onCheckBoxClicked()
{
    m_value = 0;
    m_summary.clear();
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        auto *checkBox = qobject_cast<QCheckBox *>(m_list->itemWidget(item));
        if (!checkBox || !checkBox->isChecked())
            continue;
        const uint bit = item->data(Qt::UserRole).toUInt();
        m_value |= bit;
        m_summary += QStringLiteral(" | ") + m_choices.value(bit);
    }
    if (!m_summary.isEmpty())
        m_summary.remove(0, 3);
    m_lineEdit->setText(m_summary);
    m_lineEdit->setToolTip(m_summary);
    m_lineEdit->setCursorPosition(0);
    emit comboxWithCheckBoxValueChanged(int(m_value));
}

void CComboBoxWithCheckBox::onTextChanged(const QString &text)
{
    // The combo box's own current-item handling must not replace the summary.
    if (text != m_summary)
        m_lineEdit->setText(m_summary);
}

void CComboBoxWithCheckBox::onLineEditClicked()
{
    if (m_popupShown) {
        hidePopup();
        m_popupShown = false;
    } else {
        showPopup();
        m_popupShown = true;
    }
}

void CComboBoxWithCheckBox::focusOutEvent(QFocusEvent *event)
{
    if (m_list->hasFocus()) {
        event->ignore();
        return;
    }
    m_popupShown = false;
    QComboBox::focusOutEvent(event);
}
