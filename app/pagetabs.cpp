#include "pagetabs.h"

#include "logger.h"
#include "logmanager.h"
#include "pageinterfaces.h"

#include <QMap>
#include <QTabBar>
#include <QTabWidget>

namespace {

const char kKindProperty[] = "hostedPageKind";
const char kSlaveTab[] = "Slave";

// The connection row is the tab's own: without the connection layer the tab
// still hosts its placeholder connection pages.
QMap<PageKind, HostedKind> &hostedKinds()
{
    static QMap<PageKind, HostedKind> rows{
        {PageKind::Connection,
         HostedKind(PageKind::Connection, QStringLiteral("Peer Address: "))
             .setPlace(TabPlace::ByRole)
             .setCloseTip(QStringLiteral("Disconnect"))
             .setFailure(QStringLiteral("Create connect tab failed. "))
             .setAskClose([](DynamicPage *page) { static_cast<ConnectionPage *>(page)->disconnect(); })},
    };
    return rows;
}

} // namespace

void PageTabs::host(const HostedKind &row)
{
    hostedKinds().insert(row.kind(), row);
}

const HostedKind *PageTabs::hosted(PageKind kind)
{
    const auto row = hostedKinds().constFind(kind);
    return row == hostedKinds().constEnd() ? nullptr : &row.value();
}

void PageTabs::setTabWidget(QTabWidget *tabs, LogManager *logger)
{
    m_tabs = tabs;
    m_logger = logger;
}

const HostedKind *PageTabs::hostedOf(const QWidget *page) const
{
    const QVariant kind = page ? page->property(kKindProperty) : QVariant();
    return kind.isValid() ? hosted(PageKind(kind.toInt())) : nullptr;
}

int PageTabs::slaveIndex() const
{
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->tabText(i) == QLatin1String(kSlaveTab))
            return i;
    }
    return -1;
}

int PageTabs::insert(DynamicPage *page, const HostedKind &row, const QString &title, bool central)
{
    if (!page)
        return -1;
    page->setProperty(kKindProperty, int(row.kind()));
    int index = m_tabs->count();
    if (row.place() == TabPlace::BeforeSlave || (row.place() == TabPlace::ByRole && central)) {
        const int slave = slaveIndex();
        if (slave >= 0)
            index = slave;
    }
    m_tabs->insertTab(index, page, title);
    m_tabs->setCurrentWidget(page);
    return m_tabs->indexOf(page);
}

DynamicPage *PageTabs::first(PageKind kind) const
{
    for (DynamicPage *page : pages()) {
        const HostedKind *row = hostedOf(page);
        if (row && row->kind() == kind)
            return page;
    }
    return nullptr;
}

DynamicPage *PageTabs::pageWithCloseButton(const QObject *button) const
{
    for (int i = 0; button && i < m_tabs->count(); ++i) {
        if (m_tabs->tabBar()->tabButton(i, QTabBar::RightSide) == button)
            return qobject_cast<DynamicPage *>(m_tabs->widget(i));
    }
    return nullptr;
}

QList<DynamicPage *> PageTabs::pages() const
{
    QList<DynamicPage *> found;
    for (int i = 0; m_tabs && i < m_tabs->count(); ++i) {
        if (auto *page = qobject_cast<DynamicPage *>(m_tabs->widget(i)))
            found << page;
    }
    return found;
}

void PageTabs::remove(DynamicPage *page)
{
    // The page may be the one whose handler or dialog we are called from:
    // close its dialogs, take it out now, delete it once its code returned.
    page->closeDialogs();
    const int index = m_tabs->indexOf(page);
    if (index >= 0) {
        if (!m_tabs->tabBar()->tabButton(index, QTabBar::RightSide) && m_logger)
            m_logger->log(QStringLiteral("delete close button failed"), LogLevel::Debug);
        m_tabs->removeTab(index);
    }
    page->hide();
    page->setParent(nullptr);
    m_removedPages.removeAll(QPointer<DynamicPage>());
    m_removedPages.append(page);
    page->deleteLater();
}

void PageTabs::deleteAll()
{
    qDeleteAll(pages());
    for (const QPointer<DynamicPage> &page : qAsConst(m_removedPages))
        delete page.data();
    m_removedPages.clear();
}
