#include "connectionpages.h"

#include "clayerwidget.h"
#include "pageregistry.h"

void registerConnectionPages()
{
    PageRegistry::registerMaker<PageKind::Connection>(
        [](const PageContext &context, const ConnectionPageArgs &args) -> ConnectionPage * {
            return new CLayerWidget(context.link, context.logger, context.settings,
                                    context.dongleName, args.role, args.interval,
                                    args.latency, args.supervisionTimeout, args.peerName, args.peerAddress,
                                    args.condix, context.parent);
        });
}
