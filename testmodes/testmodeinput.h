#pragma once

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QString>

// Input rules of the test pages' line edits: a whole-text pattern as validator.
namespace TestModeInput {

// -20..7 dBm.
constexpr char TxPowerPattern[] = "^(-[1-9]|-[1-1]\\d|-[2-2][0-0])|([0-7])$";

inline void setPattern(QLineEdit *edit, const QString &pattern)
{
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
}

} // namespace TestModeInput
