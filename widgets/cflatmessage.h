#pragma once

#include "cflatdialog.h"

class QLabel;
class QPushButton;

// Flat information and yes/no boxes; every user-facing notice goes through them.
class CFlatMessage : public CFlatDialog
{
    Q_OBJECT

public:
    explicit CFlatMessage(QWidget *parent = nullptr);

    // Returns QMessageBox::Ok however the box was closed.
    static int information(QWidget *parent, const QString &title, const QString &text);
    // Returns QMessageBox::Yes when "Yes" was pressed, QMessageBox::No otherwise
    // (also when the box was closed from its title bar).
    static int question(QWidget *parent, const QString &title, const QString &text);
    // As question(), but a box closed from its title bar or with Escape
    // gives QMessageBox::Cancel, for questions where that means "no answer".
    static int ask(QWidget *parent, const QString &title, const QString &text);

private:
    QLabel *m_lbMessage;
    QPushButton *m_pbOk;
    QPushButton *m_pbYes;
    QPushButton *m_pbNo;
};
