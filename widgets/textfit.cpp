#include "textfit.h"

#include <QEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace TextFit {

namespace {

int widthFor(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QMargins margins = edit->textMargins();
    // Two pixels each side of the text and one for the cursor, as the edit draws it.
    const int text = edit->fontMetrics().horizontalAdvance(edit->displayText()) + 5 + margins.left() + margins.right();
    const int height = edit->fontMetrics().height();
    const QSize contents(text, height);
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, edit).width()
           + edit->contentsMargins().left() + edit->contentsMargins().right();
}

// Refits on every new text and whenever the font or style sheet changes the
// text's width.
class Fitter : public QObject
{
public:
    explicit Fitter(QLineEdit *edit) : QObject(edit), m_edit(edit)
    {
        connect(edit, &QLineEdit::textChanged, this, &Fitter::fit);
        edit->installEventFilter(this);
        fit();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_edit
            && (event->type() == QEvent::Polish || event->type() == QEvent::FontChange
                || event->type() == QEvent::StyleChange))
            fit();
        return QObject::eventFilter(watched, event);
    }

private:
    void fit()
    {
        const int width = widthFor(m_edit);
        if (m_edit->minimumWidth() != width)
            m_edit->setMinimumWidth(width);
    }

    QLineEdit *m_edit;
};

} // namespace

void keepWhole(QLineEdit *edit)
{
    new Fitter(edit);
}

} // namespace TextFit
