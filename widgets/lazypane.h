#pragma once

#include <QWidget>

#include <functional>

// A pane whose contents are made the first time it is shown. Most panes of a
// page are never looked at, and making them with the page costs start-up.
class LazyPane : public QWidget
{
    Q_OBJECT

public:
    using Builder = std::function<void(QWidget *pane)>;

    // The name is the one the pane's form gives its top widget.
    LazyPane(const QString &name, Builder builder, QWidget *parent = nullptr);

    bool isBuilt() const { return !m_builder; }
    // Makes the contents now, if they are not made yet.
    void build();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Builder m_builder;
};
