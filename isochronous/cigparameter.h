#pragma once

#include <QMetaType>
#include <QString>

// One configured connected isochronous group of the central side. Values are
// kept as the decimal text the dialog produced; they become numbers only when
// a command is built or a result is matched.
struct cigParameter
{
    QString cigId;
    QString sduIntervalM2S;
    QString sduIntervalS2M;
    QString transportLatencyM2S;
    QString transportLatencyS2M;
    QString sca;
    QString packing;
    QString framing;
    quint8 status = 0; // 1: the controller holds the group ("CIG Parameter Set" succeeded)
};

Q_DECLARE_METATYPE(cigParameter)
