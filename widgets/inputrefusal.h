#pragma once

#include <QString>

class QWidget;

// A typed value that cannot be sent as it stands is refused where it was
// typed: the user is told which field takes what, and the field gets the
// focus back with its text selected, so nothing goes out until it is put right.
namespace InputRefusal {

// "<field>: "<typed>" cannot be sent; enter <expected>." in a box; returns
// false, for "return InputRefusal::tell(...)".
bool tell(QWidget *field, const QString &fieldTitle, const QString &typed, const QString &expected);

// The same for a value whose length or form the field cannot show in the text.
bool tell(QWidget *field, const QString &fieldTitle, const QString &problem);

// For walks over a form's editors: true unless the editor is a typed edit
// whose value cannot be sent as it stands, which is then refused.
bool acceptTyped(QWidget *editor, const QString &fieldTitle);

} // namespace InputRefusal
