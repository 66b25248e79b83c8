#include "cflatdialog.h"

#include <QGraphicsDropShadowEffect>
#include <QMouseEvent>
#include <QWindow>

#include "widgetresources.h"

CFlatDialog::CFlatDialog(const QString &title, QWidget *parent, int x, int y, bool noTitleBar)
    : QDialog(parent)
{
    initWidgetResources();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    const bool shadow = translucentWindowsSupported();
    if (shadow)
        setAttribute(Qt::WA_TranslucentBackground);

    setupUi(this);
    m_formBuilt = true;

    if (shadow) {
        auto *effect = new QGraphicsDropShadowEffect(this);
        effect->setOffset(2.0, 2.0);
        effect->setColor(QColor(QStringLiteral("#a5a6a5")));
        effect->setBlurRadius(10.0);
        m_border->setGraphicsEffect(effect);
    } else {
        // Without a compositor the transparent margin would be painted black.
        horizontalLayout_2->setContentsMargins(0, 0, 0, 0);
    }

    // Titles carry dongle names from config.ini.
    m_lbTitle->setTextFormat(Qt::PlainText);
    setTitle(title);
    m_noTitleBar = noTitleBar;
    if (noTitleBar)
        m_titleBar->hide();

    if (x != 0 || y != 0)
        move(x, y);

    connect(m_tbClose, &QToolButton::clicked, this, &CFlatDialog::on_closeClicked);
}

CFlatDialog::~CFlatDialog() = default;

void CFlatDialog::setTitle(const QString &text)
{
    m_lbTitle->setText(text);
    setWindowTitle(text);
}

void CFlatDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange && m_formBuilt && windowTitle() != m_lbTitle->text())
        setWindowTitle(m_lbTitle->text());
    QDialog::changeEvent(event);
}

void CFlatDialog::on_closeClicked()
{
    reject();
}

void CFlatDialog::mousePressEvent(QMouseEvent *event)
{
    if (m_noTitleBar)
        return;
    m_dragOffset = QPoint(0, 0);
    const QRect titleRect(m_titleBar->mapTo(this, QPoint(0, 0)), m_titleBar->size());
    if (!m_titleBar->isVisible() || !titleRect.contains(event->pos()))
        return;
    // Let the window manager move the window where it can; that also works under Wayland.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragOffset = event->globalPos() - pos();
}

void CFlatDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (m_noTitleBar || m_dragOffset.isNull())
        return;
    move(event->globalPos() - m_dragOffset);
}

void CFlatDialog::showEvent(QShowEvent *event)
{
    // Polished first, so that the style sheet's fonts are in the form's hint.
    m_content->ensurePolished();
    m_content->setMinimumSize(m_content->minimumSize().expandedTo(m_content->minimumSizeHint()));
    QDialog::showEvent(event);
}
