#pragma once

#include "mytabstyle.h"

#include <QTabWidget>

class QToolButton;

// The main window's tab widget: one tab per dongle, with an add button that
// follows the last tab.
class CDongleTabWidget : public QTabWidget
{
    Q_OBJECT
public:
    explicit CDongleTabWidget(QWidget *parent = nullptr);
    ~CDongleTabWidget() override;

    QToolButton *addButton() const { return m_addButton; }
    // Where the tabs' pages live. A page made there is not moved when its
    // tab is added: a move restyles every widget of the page.
    QWidget *pageParent();

signals:
    void addDongleTab();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QToolButton *m_addButton;
    MyTabStyle m_tabStyle;
};
