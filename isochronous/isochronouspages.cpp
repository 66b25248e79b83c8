#include "isochronouspages.h"

#include "ccigciswidget.h"
#include "masterbigwidget.h"
#include "pageregistry.h"
#include "pagetabs.h"
#include "receivecisslavepara.h"
#include "slavebigwidget.h"
#include "slaveciswidget.h"

namespace {

QString nameOf(const PageContext &context)
{
    return context.dongleName ? *context.dongleName : QString();
}

} // namespace

void registerIsochronousPages()
{
    const QString disconnect = QStringLiteral("Disconnect");
    const QString cisTabFailed = QStringLiteral("Create CIG and CIS tab failed. ");
    const QString bigTabFailed = QStringLiteral("Create BIG and BIS tab failed. ");
    const QString bigRefusal = QStringLiteral("Please terminate BIG before close the BIG and BIS table.");
    PageRegistry::registerMaker<PageKind::CigCisCentral>(
        [](const PageContext &context, const CigCisArgs &args) -> CigCisPage * {
            return new CCigCisWidget(context.link, context.logger, context.settings, args.aclIndexes,
                                     nameOf(context), context.parent);
        });
    PageTabs::host(HostedKind(PageKind::CigCisCentral, QStringLiteral("Master CIG and CIS"))
                       .setPlace(TabPlace::BeforeSlave)
                       .setCloseTip(disconnect)
                       .setFailure(cisTabFailed)
                       .setRefusal(QStringLiteral("Please remove CIG before close the CIS and CIS table.")));
    PageRegistry::registerMaker<PageKind::CisPeripheral>(
        [](const PageContext &context, const CisPageArgs &args) -> CisPeripheralPage * {
            return new SlaveCISWidget(context.link, context.logger, context.settings, args.fields, nameOf(context),
                                      context.parent);
        });
    PageTabs::host(HostedKind(PageKind::CisPeripheral, QStringLiteral("Slave CIG and CIS"))
                       .setCloseTip(disconnect)
                       .setFailure(cisTabFailed)
                       .setAskClose([](DynamicPage *page) {
                           static_cast<CisPeripheralPage *>(page)->onSlaveDisconnect();
                       }));
    PageRegistry::registerMaker<PageKind::CisRequestDialog>(
        [](const PageContext &context, const CisPageArgs &args) -> QDialog * {
            return new ReceiveCISSlavePara(context.link, context.logger, args.fields, context.parent);
        });
    PageRegistry::registerMaker<PageKind::BigReceiver>(
        [](const PageContext &context, const BigReceiverArgs &args) -> BigReceiverPage * {
            auto *page = new MasterBIGWidget(context.link, context.logger, context.settings, nameOf(context),
                                             context.parent);
            page->setSyncValue(args.syncValue);
            return page;
        });
    PageTabs::host(HostedKind(PageKind::BigReceiver, QStringLiteral("BIG And BIS  "))
                       .setPlace(TabPlace::BeforeSlave)
                       .setCloseTip(disconnect)
                       .setFailure(bigTabFailed)
                       .setRefusal(bigRefusal));
    PageRegistry::registerMaker<PageKind::BigBroadcaster>(
        [](const PageContext &context, const BigBroadcasterArgs &args) -> BigBroadcasterPage * {
            auto *page = new SlaveBIGWidget(context.link, context.logger, context.settings, nameOf(context),
                                            context.parent);
            page->setAdvertisingSetText(QString::number(args.advIndex));
            return page;
        });
    PageTabs::host(HostedKind(PageKind::BigBroadcaster, QStringLiteral("BIG  "))
                       .setCloseTip(disconnect)
                       .setFailure(bigTabFailed)
                       .setRefusal(bigRefusal));
}
