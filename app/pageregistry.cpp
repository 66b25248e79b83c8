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
#define VANTORA_UNREGISTER(kind, interfaceType, argsType) registerMaker<PageKind::kind>({});
    VANTORA_PAGE_KINDS(VANTORA_UNREGISTER)
#undef VANTORA_UNREGISTER
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
