#include "plaintext.h"

#include <QLabel>
#include <QTextDocument>

namespace PlainText {

QLabel *label(const QString &text, QWidget *parent)
{
    auto *result = new QLabel(parent);
    show(result, text);
    return result;
}

void show(QLabel *label, const QString &text)
{
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

QString toolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace PlainText
