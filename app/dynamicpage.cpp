#include "dynamicpage.h"

#include <QDialog>

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
