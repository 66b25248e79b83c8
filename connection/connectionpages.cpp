#include "connectionpages.h"

#include "clayerwidget.h"
#include "pagefactory.h"

void registerConnectionPages()
{
    PageFactory::setConnectionPageMaker([](const PageFactory::ConnectionPageArgs &args) -> ConnectionPage * {
        return new CLayerWidget(args.link, args.logger, args.settings, args.dongleName, args.role, args.interval,
                                args.latency, args.supervisionTimeout, args.peerName, args.peerAddress,
                                args.condix, args.parent);
    });
}
