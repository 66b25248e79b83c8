#pragma once

#include <QMetaType>
#include <QString>

// One broadcast group the broadcaster page is to create on an advertising
// set. Values are kept as the dialog's decimal text; the broadcast code as in
// bigParameter.
struct slaveBigPara
{
    QString bigId;
    QString advIndex;
    QString numBis;
    QString sduInterval;
    QString maxSdu;
    QString transportLatency;
    QString rtn;
    QString phy;
    QString packing;
    QString framing;
    QString encryption;
    QString broadcastCode;
    quint8 status = 0; // 1: created ("Create BIG" succeeded)
};

Q_DECLARE_METATYPE(slaveBigPara)
