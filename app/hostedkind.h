#pragma once

#include "pageregistry.h"

#include <QByteArray>
#include <QString>

class CMsg;
class DynamicPage;

// Where a hosted page's tab goes: central-side pages before the fixed "Slave"
// tab, the others at the end; a connection's side is its role.
enum class TabPlace { BeforeSlave, End, ByRole };

// How a dongle tab hosts one kind of page: all the dongle tab knows about
// opening and closing it. The layer that makes the kind's pages registers
// the row beside its maker (PageTabs::host), each part set by name.
class HostedKind
{
public:
    using PageStep = void (*)(DynamicPage *page);
    using Frames = void (CMsg::*)(QByteArray);

    // A connection's title is followed by its peer address.
    HostedKind(PageKind kind, const QString &title) : m_kind(kind), m_title(title) {}

    // TabPlace::End unless set.
    HostedKind &setPlace(TabPlace place)
    {
        m_place = place;
        return *this;
    }
    HostedKind &setCloseTip(const QString &tip)
    {
        m_closeTip = tip;
        return *this;
    }
    // Logged when the tab cannot be placed.
    HostedKind &setFailure(const QString &line)
    {
        m_failure = line;
        return *this;
    }
    // Told when the close button meets a page that cannot close yet.
    HostedKind &setRefusal(const QString &text)
    {
        m_refusal = text;
        return *this;
    }
    // The close button asks the page to end its link; the tab goes when the
    // dongle reports it. Unset: the button closes the tab.
    HostedKind &setAskClose(PageStep step)
    {
        m_askClose = step;
        return *this;
    }
    // Runs before the tab goes (a test mode stops).
    HostedKind &setClosing(PageStep step)
    {
        m_closing = step;
        return *this;
    }
    // The frames of the page's own layer, connected while it is open.
    HostedKind &setFrames(Frames signal)
    {
        m_frames = signal;
        return *this;
    }

    PageKind kind() const { return m_kind; }
    const QString &title() const { return m_title; }
    TabPlace place() const { return m_place; }
    const QString &closeTip() const { return m_closeTip; }
    const QString &failure() const { return m_failure; }
    const QString &refusal() const { return m_refusal; }
    PageStep askClose() const { return m_askClose; }
    PageStep closing() const { return m_closing; }
    Frames frames() const { return m_frames; }

private:
    PageKind m_kind;
    QString m_title;
    TabPlace m_place = TabPlace::End;
    QString m_closeTip;
    QString m_failure;
    QString m_refusal;
    PageStep m_askClose = nullptr;
    PageStep m_closing = nullptr;
    Frames m_frames = nullptr;
};
