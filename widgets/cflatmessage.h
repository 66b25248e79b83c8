#pragma once

#include "cflatdialog.h"

#include <QVector>

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
    // returns at once: a text it shows already is counted, another one is
    // added below the texts before it, so no later text hides an earlier one.
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

    // Different texts one notice box shows; messages with further texts are only counted.
    static constexpr int MaxNoticeTexts = 10;

private:
    struct NoticeText
    {
        QString text;
        int repeats = 0;
    };

    static CFlatMessage *openNotice(QWidget *parent, const QString &title, const QString &text);
    // Counts a text the box shows already, else adds it.
    void addNotice(const QString &text);
    // Each text in the order it came, with a count of what came again while the box was open.
    void showNotices();

    QLabel *m_lbMessage;
    QPushButton *m_pbOk;
    QPushButton *m_pbYes;
    QPushButton *m_pbNo;
    QVector<NoticeText> m_notices;
    int m_messagesBeyond = 0;
};
