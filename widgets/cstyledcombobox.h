#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

// Combo box whose drop-down entries follow the style sheet's item rules.
class CStyledComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit CStyledComboBox(QWidget *parent = nullptr);

private:
    QStyledItemDelegate m_delegate;
};
