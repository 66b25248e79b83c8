#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QString>

class QListWidget;

// The read-only line of the closed combo box; a click opens or closes the list.
class CLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CLineEdit(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

// A bit mask edited as a drop-down list of check boxes, one per bit value,
// summarised in the closed box as the checked descriptions joined by " | ".
class CComboBoxWithCheckBox : public QComboBox
{
    Q_OBJECT

public:
    explicit CComboBoxWithCheckBox(const QMap<uint, QString> &choices, QWidget *parent = nullptr);

    uint value() const;
    void setCheckedValue(uint mask);

signals:
    void comboxWithCheckBoxValueChanged(int value);

public slots:
    void onCheckBoxClicked();
    void onTextChanged(const QString &text);
    void onLineEditClicked();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    QMap<uint, QString> m_choices;
    QListWidget *m_list;
    CLineEdit *m_lineEdit;
    uint m_value = 0;
    QString m_summary;
    bool m_popupShown = false;
};
