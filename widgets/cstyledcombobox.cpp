#include "cstyledcombobox.h"

CStyledComboBox::CStyledComboBox(QWidget *parent) : QComboBox(parent)
{
    setItemDelegate(&m_delegate);
}
