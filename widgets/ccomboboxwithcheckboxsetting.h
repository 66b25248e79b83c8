#pragma once

#include "csetting.h"

#include <QMap>

class CComboBoxWithCheckBox;
class QHBoxLayout;
class QLabel;

// A bit mask edited as a list of check boxes; its value is the unsigned mask.
class CComboBoxWithCheckBoxSetting : public CSetting
{
    Q_OBJECT

public:
    CComboBoxWithCheckBoxSetting(const QMap<uint, QString> &choices, const QString &key,
                                 const QString &title, CSetting *parent);

    QVariant value() const override;
    void setValue(const QVariant &value) override;
    void createWidget(QBoxLayout *layout) override;

    CComboBoxWithCheckBox *comboBox() const;

signals:
    void connectPropertiesChanged(int mask);
    void scanPropertiesChanged(int mask);

public slots:
    void on_comboxWithCheckBoxValueChanged(int mask);

private:
    QLabel *m_label = nullptr;
    CComboBoxWithCheckBox *m_comboBox = nullptr;
    QHBoxLayout *m_rowLayout = nullptr;
};
