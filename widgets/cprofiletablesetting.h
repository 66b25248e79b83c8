#pragma once

#include "csetting.h"

class CProfileTableModel;
class QTableView;

// The dongle's profile list; its value is the profile list bytes.
class CProfileTableSetting : public CSetting
{
    Q_OBJECT

public:
    CProfileTableSetting(const QString &key, const QString &title, CSetting *parent);

    QVariant value() const override;
    void setValue(const QVariant &value) override;
    void createWidget(QBoxLayout *layout) override;

    QTableView *tableView() const;
    CProfileTableModel *model() const;

private:
    QTableView *m_tableView = nullptr;
    CProfileTableModel *m_model = nullptr;
};
