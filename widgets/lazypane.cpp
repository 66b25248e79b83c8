#include "lazypane.h"

#include <QEvent>
#include <QWidget>

LazyPane::LazyPane(QWidget *pane, Builder builder) : QObject(pane), m_pane(pane), m_builder(std::move(builder))
{
    pane->installEventFilter(this);
}

LazyPane *LazyPane::attach(QWidget *pane, Builder builder)
{
    return new LazyPane(pane, std::move(builder));
}

void LazyPane::build()
{
    if (!m_builder)
        return;
    const Builder builder = std::move(m_builder);
    m_builder = nullptr;
    m_pane->removeEventFilter(this);
    // A form resizes the widget it is set up on; the pane keeps the place
    // its holder's layout gave it.
    const QRect place = m_pane->geometry();
    builder(m_pane);
    m_pane->setGeometry(place);
    // In a pane already showing, children would otherwise appear with the
    // layout's queued show, one frame late.
    if (m_pane->isVisible()) {
        for (QWidget *child : m_pane->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide))
                child->show();
        }
    }
}

bool LazyPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pane && event->type() == QEvent::Show)
        build();
    return QObject::eventFilter(watched, event);
}
