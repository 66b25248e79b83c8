#include "cvalidatetextedit.h"

#include "cflatmessage.h"
#include "cutil.h"
#include "inputrefusal.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegExp>
#include <QTextBlock>
#include <QTextCursor>

namespace {

const char HEX_CHARACTERS[] = "[0-9a-fA-F:]";

QString digitsOf(QString text)
{
    return text.remove(QLatin1Char(':'));
}

// The digits made even by a trailing "0", for a sender that did not refuse an odd count.
QString evenDigits(const QString &text)
{
    QString digits = digitsOf(text);
    if (digits.size() % 2 != 0)
        digits.append(QLatin1Char('0'));
    return digits;
}

} // namespace

CValidateTextEdit::CValidateTextEdit(QWidget *parent)
    : TFlatScrollArea<QTextEdit>(parent)
{
    setPlainText(QStringLiteral("00:00"));
    connect(this, &QTextEdit::textChanged, this, &CValidateTextEdit::on_textChanged);
}

QString CValidateTextEdit::getText() const
{
    return toPlainText();
}

QString CValidateTextEdit::getByteArray() const
{
    return CUtil::hexPairText(evenDigits(toPlainText()), CUtil::Reversed);
}

QSize CValidateTextEdit::sizeHint() const
{
    return QSize(TFlatScrollArea<QTextEdit>::sizeHint().width(), 50);
}

void CValidateTextEdit::on_textChanged()
{
    const QString text = toPlainText();
    if (QRegExp(QStringLiteral("%1*").arg(QLatin1String(HEX_CHARACTERS))).exactMatch(text))
        return;
    const QRegExp allowed{QString::fromLatin1(HEX_CHARACTERS)};
    QString kept;
    int firstRemoved = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (allowed.exactMatch(QString(text.at(i))))
            kept.append(text.at(i));
        else if (firstRemoved < 0)
            firstRemoved = i;
    }
    setPlainText(kept);
    QTextCursor cursor = textCursor();
    cursor.setPosition(qMin(firstRemoved, kept.size()));
    setTextCursor(cursor);
}

bool CValidateTextEdit::isAcceptable() const
{
    return digitsOf(toPlainText()).size() % 2 == 0;
}

bool CValidateTextEdit::acceptTyped(const QString &fieldTitle)
{
    return isAcceptable()
           || InputRefusal::tell(this, fieldTitle, toPlainText(),
                                 QStringLiteral("whole bytes in hexadecimal, two digits a byte"));
}

void CValidateTextEdit::focusOutEvent(QFocusEvent *event)
{
    // An odd digit is left as typed for its sender to refuse, not padded.
    const QString digits = digitsOf(toPlainText());
    if (digits.size() % 2 == 0)
        setPlainText(CUtil::hexPairText(digits, CUtil::AsSent, ':'));
    emit sig_textEditLength(digits.size());
    TFlatScrollArea<QTextEdit>::focusOutEvent(event);
}

void CValidateTextEdit::insertFromMimeData(const QMimeData *source)
{
    // A paste brings the clipboard's data, a drop the dragged data: insert
    // what arrived, never whatever the clipboard holds.
    if (!source || !source->hasText())
        return;
    const QString text = source->text();
    if (text.size() > MaxInsertLength) {
        CFlatMessage::information(this, QStringLiteral("error"), QStringLiteral("text length should < 1kb"));
        return;
    }
    QTextCursor cursor = textCursor();
    const int state = cursor.block().userState();
    cursor.insertText(text);
    cursor.block().setUserState(state);
    setTextCursor(cursor);
}

CValidatorTextEdit::CValidatorTextEdit(QWidget *parent)
    : QTextEdit(parent)
{
}

void CValidatorTextEdit::setBase(quint8 base)
{
    m_base = base;
}

quint8 CValidatorTextEdit::base() const
{
    return m_base;
}

void CValidatorTextEdit::keyPressEvent(QKeyEvent *event)
{
    const QString before = toPlainText();
    const int position = textCursor().position();
    QTextEdit::keyPressEvent(event);
    const QString text = toPlainText();
    if (text.isEmpty() || text == before)
        return;
    const QRegExp pattern(m_base == 10 ? QStringLiteral("[\\d]+") : QStringLiteral("[0-9a-fA-F:]+"));
    if (pattern.exactMatch(text))
        return;
    // Refused: the text goes back to what it was before the key.
    setPlainText(before);
    QTextCursor cursor = textCursor();
    cursor.setPosition(qMin(position, before.size()));
    setTextCursor(cursor);
}
