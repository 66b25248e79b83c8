#pragma once

#include "bisparameter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// What the two BIG pages share in building their commands and reading
// their results.
class BigFields
{
public:
    // A record's decimal text as a number; 0 when it is no number.
    static uint number(const QString &text) { return text.toUInt(); }

    // The broadcast code as a text field value: the encoder writes a text's
    // pairs last to first, so they are handed over reversed and go out in the
    // record's own order.
    static QString codeField(const QString &code);

    // BIS rows 0..n-1 of the list get the result's handles, two bytes each,
    // little-endian, in order; handles beyond the list are dropped. Returns
    // the handles given.
    static QList<quint16> assignHandles(QVector<bisParameter> *list, const QByteArray &handles);

    // The row of the record whose BIG ID reads as `id`; -1 when none has it.
    template <typename Record>
    static int rowOf(const QVector<Record> &records, quint64 id)
    {
        for (int row = 0; row < records.size(); ++row) {
            bool ok = false;
            if (records.at(row).bigId.toULongLong(&ok) == id && ok)
                return row;
        }
        return -1;
    }
};
