#include "pagefactory.h"

#include "advertisingpage.h"
#include "placeholderconnectionpage.h"

#include <QDialog>

namespace PageFactory {

namespace {
ConnectionPageMaker &connectionMaker()
{
    static ConnectionPageMaker maker;
    return maker;
}
AdvertisingPageMaker &advertisingMaker()
{
    static AdvertisingPageMaker maker;
    return maker;
}
PsmDialogMaker &psmMaker()
{
    static PsmDialogMaker maker;
    return maker;
}
} // namespace

void setConnectionPageMaker(ConnectionPageMaker maker)
{
    connectionMaker() = std::move(maker);
}

void setAdvertisingPageMaker(AdvertisingPageMaker maker)
{
    advertisingMaker() = std::move(maker);
}

void setPsmDialogMaker(PsmDialogMaker maker)
{
    psmMaker() = std::move(maker);
}

ConnectionPage *makeConnectionPage(const ConnectionPageArgs &args)
{
    if (connectionMaker()) {
        if (ConnectionPage *page = connectionMaker()(args))
            return page;
    }
    return new PlaceholderConnectionPage(args);
}

AdvertisingPage *makeAdvertisingPage(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                                     QWidget *parent)
{
    if (advertisingMaker()) {
        if (AdvertisingPage *page = advertisingMaker()(link, logger, settings, parent))
            return page;
    }
    return new AdvertisingPage(parent);
}

QDialog *makePsmDialog(CMsg *link, LogManager *logger, QWidget *parent)
{
    return psmMaker() ? psmMaker()(link, logger, parent) : nullptr;
}

bool hasPsmDialogMaker()
{
    return bool(psmMaker());
}

} // namespace PageFactory
