#include "diagramwidget.h"
#include "plaintext.h"

#include "widgetresources.h"

#include <QLabel>
#include <QPixmap>
#include <QTimerEvent>

namespace {
const char kBlueStyle[] = "color: rgb(24, 158, 222)";
const char kGreyStyle[] = "color: rgb(150, 150, 150)";
const char kConnectedIcon[] = ":/icons/connected.png";
const char kDisconnectedIcon[] = ":/icons/disconnected.png";
const int kAnimationIntervalMs = 500;

// One phase for every diagram of the process, so that all animated links blink together.
bool g_animationPhase = false;
}

DiagramWidget::DiagramWidget(QWidget *parent)
    : QWidget(parent)
    , m_state(0)
    , m_timerId(-1)
{
    initWidgetResources();
    setupUi(this);
    m_lines = {m_line1, m_line2, m_line3, m_line4, m_line5, m_line6};
    setState(2);
    // The style sheet's font first: it decides what the texts need.
    ensurePolished();
    fitLabels();
}

void DiagramWidget::fitLabels()
{
    for (QLabel *label : findChildren<QLabel *>()) {
        if (!label->pixmap(Qt::ReturnByValue).isNull())
            continue;
        const QSize need = label->sizeHint();
        QRect place = label->geometry();
        if (place.width() >= need.width() && place.height() >= need.height())
            continue;
        const QPoint centre = place.center();
        place.setSize(place.size().expandedTo(need));
        place.moveCenter(centre);
        if (place.left() < 0)
            place.moveLeft(0);
        if (place.right() >= width())
            place.moveRight(width() - 1);
        label->setGeometry(place);
    }
}

int DiagramWidget::getState() const
{
    return m_state;
}

void DiagramWidget::setState(int state)
{
    if (state == m_state)
        return;

    if (state == 1) {
        m_timerId = startTimer(kAnimationIntervalMs);
        m_state = 1;
        return;
    }

    if (m_timerId != -1) {
        killTimer(m_timerId);
        m_timerId = -1;
    }
    if (state == 2 || state == 0) {
        const bool connected = state == 0;
        for (QFrame *line : qAsConst(m_lines))
            line->setStyleSheet(connected ? kBlueStyle : kGreyStyle);
        m_lbIcon->setPixmap(QPixmap(connected ? kConnectedIcon : kDisconnectedIcon));
    }
    m_state = state;
}

void DiagramWidget::setDongleName(const QString &name)
{
    PlainText::show(m_lbDongle, name);
    fitLabels();
}

void DiagramWidget::setDongleAddress(const QString &address)
{
    PlainText::show(m_lbDongleAddr, address);
    fitLabels();
}

void DiagramWidget::setPeerInfo(const QString &info)
{
    PlainText::show(m_lbDevice, info);
    fitLabels();
}

void DiagramWidget::setPeerAddress(const QString &address)
{
    PlainText::show(m_lbDeviceAddr, address);
    fitLabels();
}

void DiagramWidget::setConnIntervalMin(double milliseconds)
{
    m_lbMin->setText(QStringLiteral("%1ms").arg(milliseconds));
}

void DiagramWidget::setConnIntervalMax(double milliseconds)
{
    m_lbMax->setText(QStringLiteral("%1ms").arg(milliseconds));
}

void DiagramWidget::setConnLatency(quint16 latency)
{
    m_lbLatency->setText(QStringLiteral("%1").arg(latency));
}

void DiagramWidget::setSupervisionTimeout(quint16 milliseconds)
{
    m_lbTimeout->setText(QStringLiteral("%1ms").arg(milliseconds));
}

void DiagramWidget::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId) {
        QWidget::timerEvent(event);
        return;
    }
    const bool p = g_animationPhase;
    for (int i = 0; i < m_lines.size(); ++i) {
        const bool odd = (i % 2) == 1;
        const bool blue = odd ? p : !p;
        m_lines[i]->setStyleSheet(blue ? kBlueStyle : kGreyStyle);
    }
    m_lbIcon->setPixmap(QPixmap(p ? kDisconnectedIcon : kConnectedIcon));
    g_animationPhase = !g_animationPhase;
}
