#pragma once

#include "attributeinfo.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// "GATT Attribute.csv": a header line and one line per attribute row.
namespace GattExport {

QByteArray csv(const QVector<AttributeInfo> &rows);

// One cell as a spreadsheet reads it back unchanged: quoted when it holds a
// comma, quote or line break, and a leading "=", "+", "-", "@", tab or CR
// taken as text rather than a formula.
QString cell(const QString &text);

} // namespace GattExport
