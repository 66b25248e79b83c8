#pragma once

#include <QMetaType>
#include <QString>

// One configured stream of a CIG. `cisHandle` stays empty until the
// controller assigns the group's handles.
struct cisParameter
{
    int checkState = 0; // Qt::CheckState of the row's box
    QString cisId;
    QString maxSduM2S;
    QString maxSduS2M;
    QString phyM2S;
    QString phyS2M;
    QString rtnM2S;
    QString rtnS2M;
    QString cisHandle;
    quint8 status = 0; // 1: the stream is established
};

Q_DECLARE_METATYPE(cisParameter)
