#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class LogManager;
class QGridLayout;
class QWidget;

// Small pieces every isochronous page uses on an uplink frame.
class IsoUplink
{
public:
    // The field's unsigned little-endian value (CUtil::littleEndian).
    static quint64 number(const QMap<QString, QByteArray> &fields, const QString &key);
    // The catalogue name of the frame's ID; empty when unknown.
    static QString name(const QByteArray &frame);
    // Logs "[Complete Result] ..." for a non-zero first byte of "status";
    // true when the status is 0.
    static bool statusSucceeded(LogManager *logger, const QString &name, const QMap<QString, QByteArray> &fields);

    // One row of two labels (title, value) per field the uplink form
    // description `component` describes, in key order. With `showEnums` an
    // "enum" field shows its value's description, else every value is decimal.
    // Returns the number of rows; a missing component is logged.
    static int addFieldRows(LogManager *logger, const QString &component, const QMap<QString, QByteArray> &fields,
                            bool showEnums, QGridLayout *grid, QWidget *labelParent);
};
