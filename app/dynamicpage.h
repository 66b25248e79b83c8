#pragma once

#include <QWidget>

// A page that a dongle tab opens and closes at run time (connections, LE Audio
// groups, radio test modes). Those pages live in later layers; the dongle tab
// knows them only through this base.
class DynamicPage : public QWidget
{
    Q_OBJECT
public:
    explicit DynamicPage(QWidget *parent = nullptr);
    ~DynamicPage() override;

    // True for pages that belong to a connection or group the dongle forgets
    // when it resets; the tab closes them on a successful reset event.
    virtual bool closesOnReset() const { return true; }

    // Pages that survive a reset go back to their initial state; `enabled`
    // is false when the port was closed under them.
    virtual void resetPage(bool enabled) { Q_UNUSED(enabled) }

    virtual void setIsCurrentTab(bool current) { Q_UNUSED(current) }

    // Closes every modal dialog the page has open, so that the page can be
    // removed without being deleted under its own nested event loop.
    virtual void closeDialogs();

signals:
    void sig_showDongleTab(QString dongleName);
};
