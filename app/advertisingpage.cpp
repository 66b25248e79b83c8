#include "advertisingpage.h"

AdvertisingPage::AdvertisingPage(QWidget *parent)
    : QWidget(parent)
{
}

AdvertisingPage::~AdvertisingPage() = default;
