#include "uplinkfield.h"
#include "uplinkheader.h"

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cmsg.h"

#include <QHash>
#include <QVector>

#include <algorithm>

namespace {

struct Layout
{
    QVector<CmdFieldInfo> fields;
    // The shortest frame the catalogue parse takes whole.
    qint64 parsableSize = 0;
};

Layout layoutFor(const QByteArray &frame)
{
    Layout layout;
    layout.fields = CCfgFileParse::instance()->m_uplinkIdToFieldsMap.value(CCommand::getUpLinkId(frame));
    for (const CmdFieldInfo &field : layout.fields)
        layout.parsableSize = std::max(layout.parsableSize, qint64(field.index) + 1 + qint64(field.length));
    return layout;
}

} // namespace

std::optional<quint32> UplinkField::idKey(const QByteArray &frame)
{
    const UplinkHeader header(frame);
    if (!header.hasId())
        return std::nullopt;
    return header.idKey();
}

std::optional<quint64> UplinkField::number(const QByteArray &frame, const QString &key)
{
    if (!UplinkHeader(frame).isComplete())
        return std::nullopt;
    const int id = int(*idKey(frame));
    // Looked up once per ID; the catalogue never changes once loaded. Each
    // thread keeps its own, so no lock is needed.
    thread_local QHash<int, Layout> layouts;
    auto it = layouts.find(id);
    if (it == layouts.end())
        it = layouts.insert(id, layoutFor(frame));
    if (frame.size() < it->parsableSize)
        return std::nullopt;
    for (const CmdFieldInfo &field : qAsConst(it->fields)) {
        if (field.key != key)
            continue;
        if (field.length == 0 || field.length > 8)
            return std::nullopt;
        quint64 value = 0;
        const char *bytes = frame.constData() + field.index + 1;
        for (int i = int(field.length) - 1; i >= 0; --i)
            value = (value << 8) | quint8(bytes[i]);
        return value;
    }
    return std::nullopt;
}
