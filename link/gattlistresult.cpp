#include "gattlistresult.h"

#include "cutil.h"

namespace {
const int ListHeaderSize = 4; // condix, status, count
}

GattListResult GattListResult::cut(const QByteArray &payload, Layout layout)
{
    GattListResult result;
    if (!payload.isEmpty()) {
        result.hasCondix = true;
        result.condix = quint8(payload.at(0));
    }
    if (payload.size() < ListHeaderSize) {
        result.error = TooShort;
        return result;
    }
    result.status = quint8(payload.at(1));
    result.count = quint16(CUtil::littleEndian(payload.mid(2, 2)));

    int at = ListHeaderSize;
    while (at < payload.size()) {
        if (payload.size() - at < layout.headerSize) {
            result.error = Truncated;
            result.records.clear();
            return result;
        }
        const int lengthAt = at + layout.headerSize - layout.lengthSize;
        int length = quint8(payload.at(lengthAt));
        if (layout.lengthSize == 2)
            length |= quint8(payload.at(lengthAt + 1)) << 8;
        if (payload.size() - at - layout.headerSize < length) {
            result.error = Truncated;
            result.records.clear();
            return result;
        }
        result.records << payload.mid(at, layout.headerSize + length);
        at += layout.headerSize + length;
    }
    if (result.records.size() != result.count) {
        result.error = CountMismatch;
        result.records.clear();
    }
    return result;
}
