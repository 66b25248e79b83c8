#pragma once

#include <QByteArray>
#include <QQueue>

#include <memory>

#include "devicelistentry.h"

class DeviceListModel;
class DevicePeriodicListModel;
class DeviceRpaListModel;
class LogManager;

// The controller's four device lists as the scanning page shows them.
class ControllerLists
{
public:
    // The lists in the order the list type box offers them.
    enum List { WhiteList, BondList, PeriodicList, ResolvingList };
    // The kinds of request that change one device of a list.
    enum Change { AddWhite, DeleteWhite, DeleteBond, AddPeriodic, DeletePeriodic };
    static List listOf(Change change);

    explicit ControllerLists(LogManager *logger);
    ~ControllerLists();
    ControllerLists(const ControllerLists &) = delete;
    ControllerLists &operator=(const ControllerLists &) = delete;

    DeviceListModel *whiteList() const { return m_whiteList.get(); }
    DeviceListModel *bondList() const { return m_bondList.get(); }
    DevicePeriodicListModel *periodicList() const { return m_periodicList.get(); }
    DeviceRpaListModel *resolvingList() const { return m_resolvingList.get(); }

    void expectPrivacyMode(const DeviceRpaEntry &entry);
    void privacyModeAnswered();
    // The list's contents as a get-list result gives them. False when the
    // records do not read whole (the list stays) or the list refuses one.
    bool take(List list, const QByteArray &payload);
    void clear(List list);
    void forgetPending();

private:
    std::unique_ptr<DeviceListModel> m_whiteList;
    std::unique_ptr<DeviceListModel> m_bondList;
    std::unique_ptr<DevicePeriodicListModel> m_periodicList;
    std::unique_ptr<DeviceRpaListModel> m_resolvingList;
    QQueue<DeviceRpaEntry> m_pendingRpaEntries;
};
