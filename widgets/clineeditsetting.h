#pragma once

#include "csetting.h"

class CValidateLineEdit;
class QHBoxLayout;
class QLabel;

// A typed one-line field; its value is the field's message value (hexadecimal text).
class CLineEditSetting : public CSetting
{
    Q_OBJECT

public:
    CLineEditSetting(const QString &key, const QString &title, const QString &type,
                     const QString &minValue, const QString &maxValue, const QString &defaultValue,
                     const QString &length, const QString &singleStep, const QString &precision,
                     const QString &description, CSetting *parent);

    void setEditable(bool editable) override;
    QVariant value() const override;
    void setValue(const QVariant &value) override;
    void createWidget(QBoxLayout *layout) override;

    CValidateLineEdit *lineEdit() const;
    QString type() const;

private:
    QLabel *m_label = nullptr;
    CValidateLineEdit *m_lineEdit = nullptr;
    QHBoxLayout *m_rowLayout = nullptr;
    QString m_minValue;
    QString m_maxValue;
    QString m_length;
    QString m_defaultText;
    QString m_description;
    QString m_type;
    QString m_singleStep;
    QString m_precision;
};
