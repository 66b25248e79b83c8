#pragma once

#include <QString>
#include <QWidget>

// Finds the widgets a test drives inside a page or dialog.
class WidgetProbe
{
public:
    // A named child that must exist; a test cannot go on without it.
    template <typename T>
    static T *child(QWidget *widget, const char *name)
    {
        T *found = widget->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }

    // The editor beside the label with this text in a generated form grid
    // (label and editor in column pairs); null when there is none.
    static QWidget *editorOf(QWidget *form, const QString &title);
};
