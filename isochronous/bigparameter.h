#pragma once

#include <QMetaType>
#include <QString>

// One broadcast group the receiver page is to synchronise to. Values are the
// decimal text the dialog produced; the broadcast code is 32 hex digits in the
// order the dialog showed them (first pair = first byte).
struct bigParameter
{
    QString bigId;
    QString mse;
    QString bigSyncTimeout;
    QString encryption;
    QString broadcastCode;
    quint8 status = 0; // 1: synchronised ("BIG Create Sync" succeeded)
};

Q_DECLARE_METATYPE(bigParameter)
