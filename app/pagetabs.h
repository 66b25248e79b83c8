#pragma once

#include "pageregistry.h"

#include <QList>
#include <QPointer>
#include <QString>

class CMsg;
class DynamicPage;
class LogManager;
class MainDongleWidget;
class QTabWidget;
class QWidget;

// Where a hosted page's tab goes: central-side pages before the fixed "Slave"
// tab, the others at the end; a connection's side is its role.
enum class TabPlace { BeforeSlave, End, ByRole };

// How a dongle tab hosts one kind of page: one row per kind, all the dongle
// tab knows about opening and closing it.
struct HostedKind
{
    PageKind kind;
    QString title;     // a connection's title is followed by its peer address
    TabPlace place;
    QString closeTip;
    QString failure;   // logged when the tab cannot be placed
    QString refusal;   // told when the close button meets a page that cannot close yet
    // The close button asks the page to end its link; the tab goes when the
    // dongle reports it. Null: the button closes the tab.
    void (*askClose)(DynamicPage *page);
    // Runs before the tab goes (a test mode stops, a flag is cleared).
    void (*closing)(MainDongleWidget &tab, DynamicPage *page);
    // The frames of the page's own layer, connected while it is open.
    void (CMsg::*frames)(QByteArray);
};

// The dynamic tabs of one dongle tab: which kind each page is, where it
// goes, and its removal, which defers the delete until the page's own code
// has returned.
class PageTabs
{
public:
    static const HostedKind *hosted(PageKind kind);

    void setTabWidget(QTabWidget *tabs, LogManager *logger);
    QTabWidget *tabWidget() const { return m_tabs; }

    // The row of a page placed by insert(); null for other widgets.
    const HostedKind *hostedOf(const QWidget *page) const;
    // Inserts a page by its row's placement, makes it current and returns
    // its index, or -1 when it is not found there afterwards.
    int insert(DynamicPage *page, const HostedKind &row, const QString &title, bool central);
    int slaveIndex() const;
    DynamicPage *first(PageKind kind) const;
    template <PageKind Kind>
    PageRegistry::Interface<Kind> *first() const
    {
        return static_cast<PageRegistry::Interface<Kind> *>(first(Kind));
    }
    DynamicPage *pageWithCloseButton(const QObject *button) const;
    // Every dynamic page in tab order.
    QList<DynamicPage *> pages() const;

    // Closes the page's dialogs, takes its tab out now and deletes it later.
    void remove(DynamicPage *page);
    // Deletes every dynamic page at once, those waiting for deletion too.
    void deleteAll();

private:
    QTabWidget *m_tabs = nullptr;
    LogManager *m_logger = nullptr;
    // Pages taken out of their tab and waiting to be deleted.
    QList<QPointer<DynamicPage>> m_removedPages;
};
