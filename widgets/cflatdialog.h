#pragma once

#include <QDialog>
#include <QPoint>

#include "ui_cflatdialog.h"

class QMouseEvent;
class QShowEvent;

// Frameless base of every dialog: blue title bar, thin border, drop shadow.
// Derived dialogs build their own form into m_content.
class CFlatDialog : public QDialog, public Ui_FlatDialog
{
    Q_OBJECT

public:
    explicit CFlatDialog(const QString &title, QWidget *parent = nullptr, int x = 0, int y = 0,
                         bool noTitleBar = false);
    ~CFlatDialog() override;

    // Sets the title bar's text and the window's own title with it.
    void setTitle(const QString &text);

protected:
    // A fixed minimum size of the built form gives way to what the form's own
    // texts need, which a fixed number cannot know.
    void showEvent(QShowEvent *event) override;
    // Keeps the window's own title (what a task bar or a screen reader shows)
    // equal to the title bar, whatever a derived form built on the dialog sets.
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

public slots:
    virtual void on_closeClicked();

private:
    QPoint m_dragOffset;
    bool m_noTitleBar = false;
    bool m_formBuilt = false;
};
