#include "filechooser.h"

#include <QFileDialog>

namespace {

FileChooserFunction &replacement()
{
    static FileChooserFunction chooser;
    return chooser;
}

} // namespace

QString chooseOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (replacement())
        return replacement()(FileChooserMode::Open, parent, caption, dir, filter);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString chooseSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (replacement())
        return replacement()(FileChooserMode::Save, parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

void setFileChooser(FileChooserFunction chooser)
{
    replacement() = std::move(chooser);
}
