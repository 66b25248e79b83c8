#include "testmodepages.h"

#include "cdownloadfirmware.h"
#include "cidtwidget.h"
#include "clcpwidget.h"
#include "cmsg.h"
#include "crfcalibrationdialog.h"
#include "pageregistry.h"
#include "pagetabs.h"

namespace {

// The stop commands are queued before the page goes.
void stopTestMode(DynamicPage *page)
{
    static_cast<TestModePage *>(page)->stopMode();
}

} // namespace

void registerTestModePages()
{
    PageRegistry::registerMaker<PageKind::LcpTest>([](const PageContext &context, const NoPageArgs &) -> TestModePage * {
        return new CLCPwidget(context.link, context.logger, context.parent);
    });
    PageTabs::host(HostedKind(PageKind::LcpTest, QStringLiteral("LCP"))
                       .setCloseTip(QStringLiteral("close LCP"))
                       .setFailure(QStringLiteral("Create connect tab failed. "))
                       .setClosing(stopTestMode)
                       .setFrames(&CMsg::sig_rcvLCPMsg));
    PageRegistry::registerMaker<PageKind::IdtTest>([](const PageContext &context, const NoPageArgs &) -> TestModePage * {
        return new CIDTwidget(context.link, context.logger, context.parent);
    });
    PageTabs::host(HostedKind(PageKind::IdtTest, QStringLiteral("IDT"))
                       .setCloseTip(QStringLiteral("close IDT"))
                       .setFailure(QStringLiteral("Create connect tab failed. "))
                       .setClosing(stopTestMode)
                       .setFrames(&CMsg::sig_rcvIDTMsg));
    PageRegistry::registerMaker<PageKind::FirmwareDownloader>(
        [](const PageContext &context, const NoPageArgs &) -> FirmwareLoader * {
            return new cDownLoadFirmWare(context.dongleName ? *context.dongleName : QString(), context.link,
                                         context.logger, context.parent);
        });
    PageRegistry::registerMaker<PageKind::CalibrationDialog>(
        [](const PageContext &context, const NoPageArgs &) -> QDialog * {
            return new CRfCalibrationDialog(context.link, context.logger, context.parent);
        });
}
