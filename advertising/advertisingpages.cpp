#include "advertisingpages.h"

#include "advertisingwidget.h"
#include "pagefactory.h"

void registerAdvertisingPages()
{
    PageFactory::setAdvertisingPageMaker(
        [](CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent) -> AdvertisingPage * {
            return new advertisingWidget(link, logger, settings, parent);
        });
}
