#include "cstyledcombobox.h"

#include <QStyle>
#include <QStyleOptionComboBox>

CStyledComboBox::CStyledComboBox(QWidget *parent) : QComboBox(parent)
{
    setItemDelegate(&m_delegate);
    connect(this, &QComboBox::currentTextChanged, this, [this] { updateGeometry(); });
}

QSize CStyledComboBox::sizeHint() const
{
    return withCurrentText(QComboBox::sizeHint());
}

QSize CStyledComboBox::minimumSizeHint() const
{
    return withCurrentText(QComboBox::minimumSizeHint());
}

QSize CStyledComboBox::withCurrentText(QSize size) const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QSize text(fontMetrics().horizontalAdvance(currentText()), fontMetrics().height());
    QSize contents = text;
    if (!option.currentIcon.isNull())
        contents.rwidth() += iconSize().width() + 4;
    return size.expandedTo(style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this));
}
