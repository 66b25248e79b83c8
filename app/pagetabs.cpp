#include "pagetabs.h"

#include "cconnectionwidget.h"
#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "pageinterfaces.h"

#include <QTabBar>
#include <QTabWidget>

namespace {

const char kKindProperty[] = "hostedPageKind";
const char kSlaveTab[] = "Slave";

void stopTestMode(MainDongleWidget &tab, DynamicPage *page)
{
    // The stop commands are queued before the page goes; the scanning page
    // is shown, not the test tab's neighbour.
    static_cast<TestModePage *>(page)->stopMode();
    tab.pageTabWidget()->setCurrentIndex(0);
}

const HostedKind kHostedKinds[] = {
    {PageKind::Connection, QStringLiteral("Peer Address: "), TabPlace::ByRole, QStringLiteral("Disconnect"),
     QStringLiteral("Create connect tab failed. "), QString(),
     [](DynamicPage *page) { static_cast<ConnectionPage *>(page)->disconnect(); }, nullptr, nullptr},
    {PageKind::CigCisCentral, QStringLiteral("Master CIG and CIS"), TabPlace::BeforeSlave,
     QStringLiteral("Disconnect"), QStringLiteral("Create CIG and CIS tab failed. "),
     QStringLiteral("Please remove CIG before close the CIS and CIS table."), nullptr,
     // The scanning page opens a second one only once this one is gone.
     [](MainDongleWidget &tab, DynamicPage *) {
         if (CConnectionWidget *scanning = tab.connectionWidget())
             scanning->setCigCisOpened(false);
     },
     nullptr},
    {PageKind::BigReceiver, QStringLiteral("BIG And BIS  "), TabPlace::BeforeSlave, QStringLiteral("Disconnect"),
     QStringLiteral("Create BIG and BIS tab failed. "),
     QStringLiteral("Please terminate BIG before close the BIG and BIS table."), nullptr, nullptr, nullptr},
    {PageKind::BigBroadcaster, QStringLiteral("BIG  "), TabPlace::End, QStringLiteral("Disconnect"),
     QStringLiteral("Create BIG and BIS tab failed. "),
     QStringLiteral("Please terminate BIG before close the BIG and BIS table."), nullptr, nullptr, nullptr},
    {PageKind::CisPeripheral, QStringLiteral("Slave CIG and CIS"), TabPlace::End, QStringLiteral("Disconnect"),
     QStringLiteral("Create CIG and CIS tab failed. "), QString(),
     [](DynamicPage *page) { static_cast<CisPeripheralPage *>(page)->onSlaveDisconnect(); }, nullptr, nullptr},
    {PageKind::LcpTest, QStringLiteral("LCP"), TabPlace::End, QStringLiteral("close LCP"),
     QStringLiteral("Create connect tab failed. "), QString(), nullptr, stopTestMode, &CMsg::sig_rcvLCPMsg},
    {PageKind::IdtTest, QStringLiteral("IDT"), TabPlace::End, QStringLiteral("close IDT"),
     QStringLiteral("Create connect tab failed. "), QString(), nullptr, stopTestMode, &CMsg::sig_rcvIDTMsg},
};

} // namespace

const HostedKind *PageTabs::hosted(PageKind kind)
{
    for (const HostedKind &row : kHostedKinds) {
        if (row.kind == kind)
            return &row;
    }
    return nullptr;
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
    page->setProperty(kKindProperty, int(row.kind));
    int index = m_tabs->count();
    if (row.place == TabPlace::BeforeSlave || (row.place == TabPlace::ByRole && central)) {
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
        if (row && row->kind == kind)
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
