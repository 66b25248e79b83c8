#include "isochronouspages.h"

#include "ccigciswidget.h"
#include "pageregistry.h"
#include "receivecisslavepara.h"
#include "slaveciswidget.h"

namespace {

QString nameOf(const PageContext &context)
{
    return context.dongleName ? *context.dongleName : QString();
}

} // namespace

void registerIsochronousPages()
{
    PageRegistry::registerMaker<PageKind::CigCisCentral>(
        [](const PageContext &context, const CigCisArgs &args) -> CigCisPage * {
            return new CCigCisWidget(context.link, context.logger, context.settings, args.aclIndexes,
                                     nameOf(context), context.parent);
        });
    PageRegistry::registerMaker<PageKind::CisPeripheral>(
        [](const PageContext &context, const CisPageArgs &args) -> CisPeripheralPage * {
            return new SlaveCISWidget(context.link, context.logger, context.settings, args.fields, nameOf(context),
                                      context.parent);
        });
    PageRegistry::registerMaker<PageKind::CisRequestDialog>(
        [](const PageContext &context, const CisPageArgs &args) -> QDialog * {
            return new ReceiveCISSlavePara(context.link, context.logger, args.fields, context.parent);
        });
}
