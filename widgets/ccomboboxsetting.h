#pragma once

#include "csetting.h"

#include <QList>
#include <QStringList>

class QComboBox;
class QHBoxLayout;
class QLabel;

// A choice among described options; its value is the chosen option's unsigned number.
class CComboBoxSetting : public CSetting
{
    Q_OBJECT

public:
    CComboBoxSetting(const QString &key, const QString &title, CSetting *parent);

    void setUserTextsAndValues(const QStringList &texts, const QList<QVariant> &values);
    QStringList userTexts() const;
    QList<QVariant> userValues() const;

    QVariant value() const override;
    void setValue(const QVariant &value) override;
    void createWidget(QBoxLayout *layout) override;

    QComboBox *comboBox() const;

signals:
    void connectTypeChanged(bool isAuto);

public slots:
    void onCurIndexChanged(int index);

private:
    void announceCurrentEntry();

    QStringList m_userTexts;
    QList<QVariant> m_userValues;
    QLabel *m_label = nullptr;
    QComboBox *m_comboBox = nullptr;
    QHBoxLayout *m_rowLayout = nullptr;
};
