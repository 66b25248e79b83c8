#pragma once

#include <functional>

#include <QString>

class QWidget;

// Every file name the user picks goes through these two calls, so that a test
// can put a fixed answer in place of the modal file dialog.
enum class FileChooserMode { Open, Save };

using FileChooserFunction = std::function<QString(FileChooserMode mode, QWidget *parent, const QString &caption,
                                                  const QString &dir, const QString &filter)>;

QString chooseOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
QString chooseSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);

// Replaces the file dialogs; an empty function brings them back.
void setFileChooser(FileChooserFunction chooser);
