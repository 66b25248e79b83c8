#pragma once

class QLineEdit;

namespace TextFit {

// Keeps a line edit at least as wide as the text it holds, so that a layout
// short of room never shows a value cut ("3839" as "39").
void keepWhole(QLineEdit *edit);

} // namespace TextFit
