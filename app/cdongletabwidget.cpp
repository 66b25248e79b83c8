#include "cdongletabwidget.h"

#include <QIcon>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>

CDongleTabWidget::CDongleTabWidget(QWidget *parent)
    : QTabWidget(parent)
    , m_addButton(new QToolButton(this))
{
    setMouseTracking(true);
    m_addButton->setIcon(QIcon(QStringLiteral(":/icons/addDongle.png")));
    m_addButton->setToolTip(tr("Add a New BLE Dongle"));
    m_addButton->setStyleSheet(QStringLiteral("QToolButton{width:20px; height: 20px}"));
    setCornerWidget(m_addButton, Qt::TopRightCorner);
    connect(m_addButton, &QToolButton::clicked, this, &CDongleTabWidget::addDongleTab);
    tabBar()->setMovable(false);
    tabBar()->setStyle(&m_tabStyle);
}

CDongleTabWidget::~CDongleTabWidget()
{
    // The tab bar uses the style member; it must not paint with it once the
    // member is gone.
    tabBar()->setStyle(nullptr);
}

QWidget *CDongleTabWidget::pageParent()
{
    auto *pages = findChild<QStackedWidget *>(QString(), Qt::FindDirectChildrenOnly);
    return pages ? static_cast<QWidget *>(pages) : this;
}

void CDongleTabWidget::paintEvent(QPaintEvent *event)
{
    m_addButton->move(tabBar()->width() + 10, tabBar()->y() + 3);
    QTabWidget::paintEvent(event);
}
