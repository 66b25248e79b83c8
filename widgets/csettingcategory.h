#pragma once

#include "csetting.h"

#include <QList>

class QLabel;
class QVBoxLayout;

// A titled block of settings on a page.
class CSettingCategory : public CSetting
{
    Q_OBJECT

public:
    CSettingCategory(const QString &title, CSetting *parent);

    void createWidget(QBoxLayout *layout) override;
    void addChild(CSetting *child) override;
    void removeChild(CSetting *child) override;
    CSetting *child(int index) const override;
    int childCount() const override;

    QList<CSetting *> children() const;

protected:
    CSettingCategory(const QString &title, QWidget *parentWidget);

    QList<CSetting *> m_children;
    QLabel *m_titleLabel = nullptr;
    QVBoxLayout *m_layout = nullptr;
};
