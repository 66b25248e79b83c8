#pragma once

#include <QByteArray>
#include <QVector>

// One profile of a stored profile list: the list is a run of records
// [enabled][L][id][name...], L counting the id and the name bytes, with no
// header. The settings screen shows it, config.ini keeps it, and the dongle's
// answer and "Set Profile ID" carry shorter forms of it.
struct ProfileRecord
{
    bool enabled = false;
    quint8 id = 0;
    // The name bytes as they arrived, written back unchanged.
    QByteArray name;

    bool operator==(const ProfileRecord &other) const
    {
        return enabled == other.enabled && id == other.id && name == other.name;
    }
};

class ProfileRecordCodec
{
public:
    // The longest name a record can carry: its length byte holds the byte count + 1.
    static constexpr int MaxNameBytes = 254;

    // The records of a stored list. Any non-zero enabled byte means enabled,
    // so whatever a file marks is both shown checked and sent. Stops at a
    // record shorter than its header or than its length byte says, or with a
    // length byte of 0; truncatedAt is then that record's offset, else -1.
    static QVector<ProfileRecord> decode(const QByteArray &stored, int *truncatedAt = nullptr);
    // The stored form; enabled is written as 1, a longer name is cut to MaxNameBytes.
    static QByteArray encode(const QVector<ProfileRecord> &records);

    // The stored list of a "Profile Get" answer's payload ([L][id][name...]
    // records), every profile disabled. Stops at a truncated record as
    // decode does.
    static QByteArray storedFromAnswer(const QByteArray &payload, int *truncatedAt = nullptr);
    // The ids of the enabled profiles of a stored list, as "Set Profile ID"
    // carries them; truncated tells whether the list ended in a cut record.
    static QByteArray enabledIds(const QByteArray &stored, bool *truncated = nullptr);
};
