#pragma once

#include "hostedkind.h"

#include <QList>
#include <QPointer>
#include <QString>

class DynamicPage;
class LogManager;
class QTabWidget;
class QWidget;

// The dynamic tabs of one dongle tab: which kind each page is, where it
// goes, and its removal, which defers the delete until the page's own code
// has returned.
class PageTabs
{
public:
    // Each layer registers the rows of its kinds beside their makers. Rows
    // last for the program's life; a second row of a kind replaces the first.
    static void host(const HostedKind &row);
    // Null for a kind no layer registered a row for.
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
