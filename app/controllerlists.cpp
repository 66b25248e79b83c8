#include "controllerlists.h"

#include "devicelistcodec.h"
#include "devicelistmodel.h"
#include "deviceperiodiclistmodel.h"
#include "devicerpalistmodel.h"

ControllerLists::ControllerLists(LogManager *logger)
    : m_whiteList(new DeviceListModel(logger)),
      m_bondList(new DeviceListModel(logger)),
      m_periodicList(new DevicePeriodicListModel(logger)),
      m_resolvingList(new DeviceRpaListModel(logger))
{
}

// Emptied first so that views still showing a list hear of it.
ControllerLists::~ControllerLists()
{
    m_whiteList->clear();
    m_bondList->clear();
    m_periodicList->clear();
    m_resolvingList->clear();
}

ControllerLists::List ControllerLists::listOf(Change change)
{
    switch (change) {
    case AddWhite:
    case DeleteWhite:
        return WhiteList;
    case DeleteBond:
        return BondList;
    case AddPeriodic:
    case DeletePeriodic:
        return PeriodicList;
    }
    return WhiteList;
}

void ControllerLists::expectPrivacyMode(const DeviceRpaEntry &entry)
{
    m_pendingRpaEntries.enqueue(entry);
}

void ControllerLists::privacyModeAnswered()
{
    if (!m_pendingRpaEntries.isEmpty())
        m_pendingRpaEntries.dequeue();
}

bool ControllerLists::take(List list, const QByteArray &payload)
{
    QVector<DeviceListEntry> entries;
    QVector<DeviceRpaEntry> rpaEntries;
    bool whole = false;
    switch (list) {
    case WhiteList:
    case BondList:
        whole = DeviceListCodec::addressRecords(payload, &entries);
        break;
    case PeriodicList:
        whole = DeviceListCodec::periodicRecords(payload, &entries);
        break;
    case ResolvingList:
        whole = DeviceListCodec::resolvingRecords(payload, &rpaEntries);
        break;
    }
    if (!whole)
        return false;
    clear(list);
    for (const DeviceRpaEntry &entry : qAsConst(rpaEntries)) {
        if (m_resolvingList->addDevice(entry) != 0)
            return false;
    }
    DeviceListModel *addressList = list == WhiteList ? whiteList() : bondList();
    for (const DeviceListEntry &entry : qAsConst(entries)) {
        const int result = list == PeriodicList ? m_periodicList->addDevice(entry) : addressList->addDevice(entry);
        if (result != 0)
            return false;
    }
    return true;
}

void ControllerLists::clear(List list)
{
    switch (list) {
    case WhiteList:
        m_whiteList->clear();
        break;
    case BondList:
        m_bondList->clear();
        break;
    case PeriodicList:
        m_periodicList->clear();
        break;
    case ResolvingList:
        m_resolvingList->clear();
        break;
    }
}

void ControllerLists::forgetPending()
{
    m_pendingRpaEntries.clear();
}
