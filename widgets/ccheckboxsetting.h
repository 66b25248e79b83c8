#pragma once

#include "csetting.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;

// A yes/no setting; its value is a bool.
class CCheckBoxSetting : public CSetting
{
    Q_OBJECT

public:
    CCheckBoxSetting(const QString &key, const QString &title, CSetting *parent);

    QVariant value() const override;
    void setValue(const QVariant &value) override;
    void createWidget(QBoxLayout *layout) override;

    // The state a stored value stands for: a bool as it is, the texts "true"
    // and "false" (as config.ini gives them back) as what they say, anything else checked.
    static bool isChecked(const QVariant &value);

private:
    QLabel *m_label = nullptr;
    QCheckBox *m_checkBox = nullptr;
    QHBoxLayout *m_rowLayout = nullptr;
};
