#include "testmodepages.h"

#include "cdownloadfirmware.h"
#include "cidtwidget.h"
#include "clcpwidget.h"
#include "crfcalibrationdialog.h"
#include "pageregistry.h"

void registerTestModePages()
{
    PageRegistry::registerMaker<PageKind::LcpTest>([](const PageContext &context, const NoPageArgs &) -> TestModePage * {
        return new CLCPwidget(context.link, context.logger, context.parent);
    });
    PageRegistry::registerMaker<PageKind::IdtTest>([](const PageContext &context, const NoPageArgs &) -> TestModePage * {
        return new CIDTwidget(context.link, context.logger, context.parent);
    });
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
