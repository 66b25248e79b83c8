#include "connectionpages.h"

#include "clayerwidget.h"
#include "cregisterpsmdialog.h"
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
    PageRegistry::registerMaker<PageKind::PsmDialog>(
        [](const PageContext &context, const NoPageArgs &) -> PsmDialog * {
            return new CRegisterPSMDialog(context.link, context.logger, context.parent);
        });
}
