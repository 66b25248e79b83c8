#include "advertisingpages.h"

#include "advertisingwidget.h"
#include "pageregistry.h"

void registerAdvertisingPages()
{
    PageRegistry::registerMaker<PageKind::Advertising>(
        [](const PageContext &context, const NoPageArgs &) -> AdvertisingPage * {
            return new advertisingWidget(context.link, context.logger, context.settings, context.parent);
        });
}
