#include "pageinterfaces.h"

DynamicPage::DynamicPage(QWidget *parent)
    : QWidget(parent)
{
}

DynamicPage::~DynamicPage() = default;

void DynamicPage::closeDialogs()
{
    // Dialogs a page runs are its children (or grandchildren); reject every
    // visible one so that its exec() returns and the caller re-checks its page.
    const QList<QDialog *> dialogs = findChildren<QDialog *>();
    for (QDialog *dialog : dialogs) {
        if (dialog->isVisible())
            dialog->reject();
    }
}

ConnectionPage::ConnectionPage(QWidget *parent)
    : DynamicPage(parent)
{
}

ConnectionPage::~ConnectionPage() = default;

AdvertisingPage::AdvertisingPage(QWidget *parent)
    : QWidget(parent)
{
}

AdvertisingPage::~AdvertisingPage() = default;
