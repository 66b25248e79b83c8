#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

// Combo box whose drop-down entries follow the style sheet's item rules. It is
// never narrower than the choice it shows, whatever its size policy asks.
class CStyledComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit CStyledComboBox(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QSize withCurrentText(QSize size) const;

    QStyledItemDelegate m_delegate;
};
