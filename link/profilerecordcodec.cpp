#include "profilerecordcodec.h"

namespace {

// Enabled byte, length byte, id.
constexpr int StoredHeaderBytes = 3;

} // namespace

QVector<ProfileRecord> ProfileRecordCodec::decode(const QByteArray &stored, int *truncatedAt)
{
    QVector<ProfileRecord> records;
    int cut = -1;
    int pos = 0;
    while (pos < stored.size()) {
        if (pos + StoredHeaderBytes > stored.size()) {
            cut = pos;
            break;
        }
        const int length = quint8(stored.at(pos + 1));
        if (length < 1 || pos + 2 + length > stored.size()) {
            cut = pos;
            break;
        }
        ProfileRecord record;
        record.enabled = stored.at(pos) != 0;
        record.id = quint8(stored.at(pos + 2));
        record.name = stored.mid(pos + StoredHeaderBytes, length - 1);
        records.append(record);
        pos += 2 + length;
    }
    if (truncatedAt)
        *truncatedAt = cut;
    return records;
}

QByteArray ProfileRecordCodec::encode(const QVector<ProfileRecord> &records)
{
    QByteArray stored;
    for (const ProfileRecord &record : records) {
        const QByteArray name = record.name.left(MaxNameBytes);
        stored.append(char(record.enabled ? 1 : 0));
        stored.append(char(name.size() + 1));
        stored.append(char(record.id));
        stored.append(name);
    }
    return stored;
}

QByteArray ProfileRecordCodec::storedFromAnswer(const QByteArray &payload, int *truncatedAt)
{
    QVector<ProfileRecord> records;
    int cut = -1;
    int pos = 0;
    while (pos < payload.size()) {
        const int length = quint8(payload.at(pos));
        if (length < 1 || pos + 1 + length > payload.size()) {
            cut = pos;
            break;
        }
        ProfileRecord record;
        record.id = quint8(payload.at(pos + 1));
        record.name = payload.mid(pos + 2, length - 1);
        records.append(record);
        pos += 1 + length;
    }
    if (truncatedAt)
        *truncatedAt = cut;
    return encode(records);
}

QByteArray ProfileRecordCodec::enabledIds(const QByteArray &stored, bool *truncated)
{
    int cut = -1;
    QByteArray ids;
    for (const ProfileRecord &record : decode(stored, &cut)) {
        if (record.enabled)
            ids.append(char(record.id));
    }
    if (truncated)
        *truncated = cut >= 0;
    return ids;
}
