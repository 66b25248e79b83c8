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

    // Returns QMessageBox::Ok however the box was closed. While a box of the
    // same title is open on the parent, the text goes into it and the call
    // returns at once.
    static int information(QWidget *parent, const QString &title, const QString &text);
    // The same box without waiting for it, for what a dongle reports: no
    // nested event loop, and one box per parent and title however often the
    // report comes.
    static void notify(QWidget *parent, const QString &title, const QString &text);
    // Returns QMessageBox::Yes when "Yes" was pressed, QMessageBox::No otherwise
    // (also when the box was closed from its title bar).
    static int question(QWidget *parent, const QString &title, const QString &text);
    // As question(), but a box closed from its title bar or with Escape
    // gives QMessageBox::Cancel, for questions where that means "no answer".
    // A kind makes the box the parent's dialog of that kind while it is open.
    static int ask(QWidget *parent, const QString &title, const QString &text, const QString &kind = QString());

private:
    static CFlatMessage *openNotice(QWidget *parent, const QString &title, const QString &text);
    // The text and a count of what came again while the box was open.
    void showText(const QString &text);

    QLabel *m_lbMessage;
    QPushButton *m_pbOk;
    QPushButton *m_pbYes;
    QPushButton *m_pbNo;
    int m_repeats = 0;
};
