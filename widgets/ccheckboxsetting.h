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

private:
    QLabel *m_label = nullptr;
    QCheckBox *m_checkBox = nullptr;
    QHBoxLayout *m_rowLayout = nullptr;
};
