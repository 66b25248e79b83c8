#pragma once

#include <QString>

class QLabel;
class QWidget;

// Text from the wire, from config.ini or from a data file is shown as typed.
// A label or tool tip left to guess rich text would render a dongle's answer
// as markup and load the files its tags name.
namespace PlainText {

QLabel *label(const QString &text, QWidget *parent = nullptr);
void show(QLabel *label, const QString &text);
// Tool tips always guess; this one is markup that shows the text literally.
QString toolTip(const QString &text);

} // namespace PlainText
