#include "connectionpage.h"

ConnectionPage::ConnectionPage(QWidget *parent)
    : DynamicPage(parent)
{
}

ConnectionPage::~ConnectionPage() = default;
