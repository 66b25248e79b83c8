#pragma once

#include <QMetaType>
#include <QString>

// One stream of a broadcast group. `bisHandle` stays empty until the
// controller assigns the group's handles.
struct bisParameter
{
    QString bisId;
    QString bisHandle;
};

Q_DECLARE_METATYPE(bisParameter)
