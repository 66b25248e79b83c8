#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class LogManager;
class PageWire;
class QGridLayout;
class QWidget;

// Small pieces every isochronous page uses on an uplink frame.
class IsoUplink
{
public:
    // The field's unsigned little-endian value (CUtil::littleEndian).
    static quint64 number(const QMap<QString, QByteArray> &fields, const QString &key);
    // Parses and logs a result of the page's commands; its status is judged
    // after the page has matched the result (resultSucceeded).
    static bool parseResult(const PageWire &wire, const QByteArray &frame, QMap<QString, QByteArray> *fields,
                            int line, const QString &function);
    // The result's status is 0; a failure is logged as "[Complete Result] ...",
    // a result without its status byte as an internal error.
    static bool resultSucceeded(const PageWire &wire, const QByteArray &frame, const QMap<QString, QByteArray> &fields,
                                int line, const QString &function);

    // One row of two labels (title, value) per field the uplink form
    // description `component` describes, in key order. With `showEnums` an
    // "enum" field shows its value's description, else every value is decimal.
    // Returns the number of rows; a missing component is logged.
    static int addFieldRows(LogManager *logger, const QString &component, const QMap<QString, QByteArray> &fields,
                            bool showEnums, QGridLayout *grid, QWidget *labelParent);
};
