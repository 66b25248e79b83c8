#include "cflatmessage.h"

#include "dialogofakind.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QSpacerItem>
#include <QStringList>
#include <QVBoxLayout>

CFlatMessage::CFlatMessage(QWidget *parent)
    : CFlatDialog(QStringLiteral("message"), parent, 0, 0, false),
      m_lbMessage(new QLabel(this)),
      m_pbOk(new QPushButton(QStringLiteral("Ok"), this)),
      m_pbYes(new QPushButton(QStringLiteral("Yes"), this)),
      m_pbNo(new QPushButton(QStringLiteral("No"), this))
{
    // Object names let tests and the style sheet find the parts.
    m_lbMessage->setObjectName(QStringLiteral("m_lbMessage"));
    // Messages carry dongle names and file names.
    m_lbMessage->setTextFormat(Qt::PlainText);
    m_pbOk->setObjectName(QStringLiteral("m_pbOk"));
    m_pbYes->setObjectName(QStringLiteral("m_pbYes"));
    m_pbNo->setObjectName(QStringLiteral("m_pbNo"));

    auto *buttons = new QHBoxLayout;
    buttons->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    buttons->addWidget(m_pbYes);
    buttons->addWidget(m_pbNo);
    buttons->addWidget(m_pbOk);

    auto *column = new QVBoxLayout;
    column->addWidget(m_lbMessage, 1);
    column->addLayout(buttons);
    m_content->setLayout(column);

    connect(m_pbOk, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pbYes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pbNo, &QPushButton::clicked, this, &QDialog::reject);
}

namespace {
QString noticeKind(const QString &title)
{
    return QStringLiteral("notice:") + title;
}
} // namespace

void CFlatMessage::addNotice(const QString &text)
{
    for (NoticeText &shown : m_notices) {
        if (shown.text == text) {
            ++shown.repeats;
            showNotices();
            return;
        }
    }
    // A flood of ever different texts must not grow the box without end;
    // the texts kept are the first ones, so an early failure stays in sight.
    if (m_notices.size() >= MaxNoticeTexts)
        ++m_messagesBeyond;
    else
        m_notices.append(NoticeText{text, 0});
    showNotices();
}

void CFlatMessage::showNotices()
{
    QStringList parts;
    for (const NoticeText &notice : qAsConst(m_notices)) {
        parts << notice.text;
        if (notice.repeats == 1)
            parts << QStringLiteral("Came once more while this box was open.");
        else if (notice.repeats > 1)
            parts << QStringLiteral("Came %1 more times while this box was open.").arg(notice.repeats);
    }
    if (m_messagesBeyond == 1)
        parts << QStringLiteral("One more message with another text came while this box was open.");
    else if (m_messagesBeyond > 1)
        parts << QStringLiteral("%1 more messages with other texts came while this box was open.")
                     .arg(m_messagesBeyond);
    m_lbMessage->setText(parts.join(QStringLiteral("\n\n")));
}

// Null when a box of the title is open already; the text went into it.
CFlatMessage *CFlatMessage::openNotice(QWidget *parent, const QString &title, const QString &text)
{
    const QString kind = noticeKind(title);
    if (auto *open = qobject_cast<CFlatMessage *>(DialogOfAKind::find(parent, kind))) {
        open->addNotice(text);
        return nullptr;
    }
    auto *box = new CFlatMessage(parent);
    box->setTitle(title);
    box->addNotice(text);
    box->m_lbMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->m_pbNo->hide();
    box->m_pbYes->hide();
    DialogOfAKind::hold(parent, kind, box);
    return box;
}

int CFlatMessage::information(QWidget *parent, const QString &title, const QString &text)
{
    // The parent may die inside the nested event loop and take the box with it.
    QPointer<CFlatMessage> box = openNotice(parent, title, text);
    if (!box)
        return QMessageBox::Ok;
    box->exec();
    delete box;
    return QMessageBox::Ok;
}

void CFlatMessage::notify(QWidget *parent, const QString &title, const QString &text)
{
    CFlatMessage *box = openNotice(parent, title, text);
    if (!box)
        return;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

int CFlatMessage::question(QWidget *parent, const QString &title, const QString &text)
{
    // Closing the box counts as "No" here.
    return ask(parent, title, text) == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
}

int CFlatMessage::ask(QWidget *parent, const QString &title, const QString &text, const QString &kind)
{
    QPointer<CFlatMessage> box = new CFlatMessage(parent);
    if (!kind.isEmpty())
        DialogOfAKind::hold(parent, kind, box);
    box->setTitle(title);
    box->m_lbMessage->setText(text);
    box->m_pbOk->hide();
    bool no = false;
    connect(box->m_pbNo, &QPushButton::clicked, box, [&no] { no = true; });
    const int result = box->exec();
    delete box;
    if (result == QDialog::Accepted)
        return QMessageBox::Yes;
    return no ? QMessageBox::No : QMessageBox::Cancel;
}
