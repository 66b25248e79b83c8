#include "connectionpages.h"

#include "clayerwidget.h"
#include "cregisterpsmdialog.h"
#include "pagefactory.h"

void registerConnectionPages()
{
    PageFactory::setConnectionPageMaker([](const PageFactory::ConnectionPageArgs &args) -> ConnectionPage * {
        return new CLayerWidget(args.link, args.logger, args.settings, args.dongleName, args.role, args.interval,
                                args.latency, args.supervisionTimeout, args.peerName, args.peerAddress,
                                args.condix, args.parent);
    });
    PageFactory::setPsmDialogMaker([](CMsg *link, LogManager *logger, QWidget *parent) -> QDialog * {
        return new CRegisterPSMDialog(link, logger, parent);
    });
}
