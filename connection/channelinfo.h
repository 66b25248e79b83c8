#pragma once

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVector>

// One credit-based channel as the L2CAP page keeps it: the PSM, this side's
// settings and the peer's, each an ordered list of row names and their values
// as decimal text. Local credits are those this side granted to the peer,
// remote credits those the peer granted to this side.
struct ChannelInfo
{
    QVector<QString> psmKeys;
    QMap<QString, QString> psmValues;
    QVector<QString> localKeys;
    QMap<QString, QString> localValues;
    QVector<QString> remoteKeys;
    QMap<QString, QString> remoteValues;
};
Q_DECLARE_METATYPE(ChannelInfo)
