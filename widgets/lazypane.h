#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Makes a pane's contents the first time the pane is shown. Most panes of a
// page are never looked at, and making them with the page costs start-up.
class LazyPane : public QObject
{
    Q_OBJECT

public:
    using Builder = std::function<void(QWidget *pane)>;

    // Watches the pane, which owns the returned object.
    static LazyPane *attach(QWidget *pane, Builder builder);

    bool isBuilt() const { return !m_builder; }
    // Makes the contents now, if they are not made yet.
    void build();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    LazyPane(QWidget *pane, Builder builder);

    QWidget *m_pane;
    Builder m_builder;
};
