#include "inputrefusal.h"

#include "cflatmessage.h"
#include "cvalidatelineedit.h"
#include "cvalidatetextedit.h"

#include <QLineEdit>
#include <QPointer>
#include <QTextEdit>

namespace InputRefusal {

bool tell(QWidget *field, const QString &fieldTitle, const QString &typed, const QString &expected)
{
    return tell(field, fieldTitle,
                QStringLiteral("\"%1\" cannot be sent; enter %2.").arg(typed, expected));
}

bool tell(QWidget *field, const QString &fieldTitle, const QString &problem)
{
    // Labels often end in a colon or in blanks that line the fields up.
    QString title = fieldTitle.trimmed();
    if (title.endsWith(QLatin1Char(':')))
        title.chop(1);
    const QString text = title + QStringLiteral(": ") + problem;
    QPointer<QWidget> guard(field);
    CFlatMessage::information(field ? field->window() : nullptr, QStringLiteral("error"), text);
    // The box ran the event loop: its form may be gone.
    if (!guard)
        return false;
    guard->activateWindow();
    guard->setFocus(Qt::OtherFocusReason);
    if (auto *line = qobject_cast<QLineEdit *>(guard.data()))
        line->selectAll();
    else if (auto *edit = qobject_cast<QTextEdit *>(guard.data()))
        edit->selectAll();
    return false;
}

bool acceptTyped(QWidget *editor, const QString &fieldTitle)
{
    if (auto *line = qobject_cast<CValidateLineEdit *>(editor))
        return line->acceptTyped(fieldTitle);
    if (auto *text = qobject_cast<CValidateTextEdit *>(editor))
        return text->acceptTyped(fieldTitle);
    return true;
}

} // namespace InputRefusal
