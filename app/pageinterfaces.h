#pragma once

#include "cflatdialog.h"

#include <QByteArray>
#include <QDialog>
#include <QObject>
#include <QString>
#include <QWidget>

#include <cstdint>

// What a dongle tab needs of each kind of page that later layers build. A
// page derives from its interface and is made through PageRegistry; the tab
// knows it only through these classes.

// A page that a dongle tab opens and closes at run time (connections, LE Audio
// groups, radio test modes).
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

    // False while the page's group is still active: its close button then
    // refuses.
    virtual bool canClose() const { return true; }

    // Closes every modal dialog the page has open, so that the page can be
    // removed without being deleted under its own nested event loop.
    virtual void closeDialogs();

signals:
    void sig_showDongleTab(QString dongleName);
};

// The page of one connection.
class ConnectionPage : public DynamicPage
{
    Q_OBJECT
public:
    explicit ConnectionPage(QWidget *parent = nullptr);
    ~ConnectionPage() override;

    virtual uint8_t condix() const = 0;
    virtual uint8_t role() const = 0;
    virtual QString peerAddress() const = 0;

public slots:
    // Asks the dongle to drop this connection; the tab goes when the dongle
    // reports the disconnection.
    virtual void disconnect() = 0;
    // The dongle's pairing enable setting changed (settings screen).
    virtual void on_pairEnable(bool enabled) { Q_UNUSED(enabled) }
};

// The advertising page ("Slave" tab). Without a registered maker the tab
// shows this empty page, which never advertises.
class AdvertisingPage : public QWidget
{
    Q_OBJECT
public:
    explicit AdvertisingPage(QWidget *parent = nullptr);
    ~AdvertisingPage() override;

    virtual bool isAdvertising() const { return false; }
    virtual void resetAdvList() {}
    // Asks the dongle to stop every set this page started (also one whose
    // start is on its way); the commands are queued on the link. The tab
    // calls it when it goes.
    virtual void stopStartedSets() {}

public slots:
    virtual void onRcvMsg(QByteArray frame) { Q_UNUSED(frame) }

signals:
    void sig_slaveBIGSucceed(uint8_t advIndex);
};

// What the tab needs of the PSM registration dialog's list: it is emptied
// when the dongle resets.
class PsmListHolder
{
public:
    virtual ~PsmListHolder() = default;
    virtual void clearPsmList() = 0;
};

// The PSM registration dialog, run modally from the toolbar.
class PsmDialog : public CFlatDialog, public PsmListHolder
{
    Q_OBJECT
public:
    using CFlatDialog::CFlatDialog;
};

// The central side's CIG/CIS page.
class CigCisPage : public DynamicPage
{
    Q_OBJECT
public:
    using DynamicPage::DynamicPage;
    // False while a CIG is still active; the tab then refuses to close.
    bool canClose() const override = 0;
};

// The peripheral side's page of one CIS.
class CisPeripheralPage : public DynamicPage
{
    Q_OBJECT
public:
    using DynamicPage::DynamicPage;
    virtual quint64 cisHandle() const = 0;

public slots:
    virtual void onSlaveDisconnect() = 0;

signals:
    void disConnectSlaveCIS(uint64_t handle);
};

// The page of a received broadcast group.
class BigReceiverPage : public DynamicPage
{
    Q_OBJECT
public:
    using DynamicPage::DynamicPage;
    virtual void setSyncValue(quint16 syncValue) = 0;
    bool canClose() const override = 0;
};

// The page of a broadcast group this dongle sends.
class BigBroadcasterPage : public DynamicPage
{
    Q_OBJECT
public:
    using DynamicPage::DynamicPage;
    virtual void setAdvertisingSetText(const QString &text) = 0;
    bool canClose() const override = 0;
};

// A radio test page (LCP, IDT): it survives a reset and receives the
// frames of its own test layer.
class TestModePage : public DynamicPage
{
    Q_OBJECT
public:
    using DynamicPage::DynamicPage;
    bool closesOnReset() const override { return false; }
    virtual void stopMode() = 0;

public slots:
    virtual void onRcvMsg(QByteArray frame) = 0;
};

// The firmware download engine of one dongle.
class FirmwareLoader : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // 0 when the file can be downloaded.
    virtual int checkFirmwareFile(const QString &path) = 0;
    virtual void setChipType(int type) = 0;
    virtual void startDownload(const QString &path) = 0;
    // True while the boot images built in are stand-ins, not the maker's: the
    // tab then asks before it sends one to a dongle.
    virtual bool usesStandInBootImage() const { return false; }
    // Why the last file check or download failed, in words for the user.
    QString failureReason() const { return m_failureReason; }

signals:
    void sig_heartBeatRestart();
    void sig_downloadFailed();
    // Image bytes sent so far in stage 1 (boot image) or 2 (the user's file).
    void sig_progress(int stage, quint32 sent, quint32 total);

protected:
    void setFailureReason(const QString &reason) { m_failureReason = reason; }

private:
    QString m_failureReason;
};
