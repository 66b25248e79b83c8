#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class LogManager;
class QTreeWidget;

// Turns one block of advertising or scan response data (a run of
// length-type-data structures) into the two-column tree the scanning page
// shows for the chosen device.
class AdvDataDecoder
{
public:
    // AD type to display name, as the scanning page shows them.
    static QMap<uchar, QString> typeNames();

    // Clears the tree and fills it. Returns true when the whole block was
    // walked (the tree is then expanded); false when a malformed structure
    // ended the walk, leaving what was built before it.
    static bool decode(QTreeWidget *tree, const QByteArray &data,
                       const QMap<uchar, QString> &names, LogManager *logger);
};
