#pragma once

#include <QStringList>

class QWidget;

// Finds the texts a window cuts: labels, buttons, group titles, tab texts,
// header sections, progress bar texts, line edits and the choice a combo box
// shows that get less room than their text needs, and columns narrower than
// the cells on show. Every tab of every tab widget is visited, scroll areas
// included. Each cut is named by the widget's object name (or the nearest
// named parent).
// With LAYOUT_SHOTS set to a folder, every state looked at is saved there as a
// picture.
class TextCutFinder
{
public:
    static QStringList cutsIn(QWidget *window);
    // Only what is visible now, without visiting other tabs.
    static QStringList cutsShown(QWidget *window);
    static QString nameOf(const QWidget *widget);
};
