#include "pageregistry.h"

#include "pageinterfaces.h"
#include "placeholderconnectionpage.h"

#include <QSet>

inline uint qHash(PageKind kind, uint seed = 0)
{
    return ::qHash(int(kind), seed);
}

namespace {
QSet<PageKind> &registeredKinds()
{
    static QSet<PageKind> kinds;
    return kinds;
}
} // namespace

bool PageRegistry::has(PageKind kind)
{
    return registeredKinds().contains(kind);
}

void PageRegistry::setRegistered(PageKind kind, bool registered)
{
    if (registered)
        registeredKinds().insert(kind);
    else
        registeredKinds().remove(kind);
}

void PageRegistry::unregisterAll()
{
    registerMaker<PageKind::Connection>({});
    registerMaker<PageKind::Advertising>({});
    registerMaker<PageKind::PsmDialog>({});
    registerMaker<PageKind::CigCisCentral>({});
    registerMaker<PageKind::CisPeripheral>({});
    registerMaker<PageKind::CisRequestDialog>({});
    registerMaker<PageKind::BigReceiver>({});
    registerMaker<PageKind::BigBroadcaster>({});
    registerMaker<PageKind::LcpTest>({});
    registerMaker<PageKind::IdtTest>({});
    registerMaker<PageKind::FirmwareDownloader>({});
    registerMaker<PageKind::CalibrationDialog>({});
}

template <>
ConnectionPage *PageRegistry::fallback<PageKind::Connection>(const PageContext &context,
                                                             const ConnectionPageArgs &args)
{
    return new PlaceholderConnectionPage(context, args);
}

template <>
AdvertisingPage *PageRegistry::fallback<PageKind::Advertising>(const PageContext &context, const NoPageArgs &)
{
    return new AdvertisingPage(context.parent);
}
