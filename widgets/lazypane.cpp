#include "lazypane.h"

LazyPane::LazyPane(const QString &name, Builder builder, QWidget *parent)
    : QWidget(parent), m_builder(std::move(builder))
{
    setObjectName(name);
}

void LazyPane::build()
{
    if (!m_builder)
        return;
    const Builder builder = std::move(m_builder);
    m_builder = nullptr;
    // A form resizes the widget it is set up on; the pane keeps the place
    // its holder's layout gave it.
    const QRect place = geometry();
    builder(this);
    setGeometry(place);
    // In a pane already showing, children would otherwise appear with the
    // layout's queued show, one frame late.
    if (isVisible()) {
        for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide))
                child->show();
        }
    }
}

void LazyPane::showEvent(QShowEvent *event)
{
    build();
    QWidget::showEvent(event);
}
