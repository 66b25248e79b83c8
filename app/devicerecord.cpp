#include "devicerecord.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <memory>

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"
#include "uplinkfield.h"

namespace {

const QString kDevice = QStringLiteral("device");
const QString kAdvData = QStringLiteral("adv_data");
const QString kResponseData = QStringLiteral("response_data");
const QString kConnected = QStringLiteral("connected");

constexpr int kBlockFields = 32;

} // namespace

const ReportLayout *ReportLayout::of(const QByteArray &frame)
{
    // The catalogue never changes once read; a layout is built once per ID.
    static QHash<quint32, std::shared_ptr<const ReportLayout>> layouts;
    const quint32 id = UplinkField::idKey(frame).value_or(0xFFFFFFFFu);
    // Reports come in runs of one ID.
    static quint32 lastId = 0;
    static const ReportLayout *last = nullptr;
    if (last && id == lastId)
        return last;
    const auto found = layouts.constFind(id);
    if (found != layouts.constEnd()) {
        lastId = id;
        last = found->get();
        return last;
    }

    auto layout = std::make_shared<ReportLayout>();
    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    const QString uplinkId = CCommand::getUpLinkId(frame);
    layout->m_name = catalogue->m_uplinkIdToNameMap.value(uplinkId);
    const QVector<CmdFieldInfo> fields = catalogue->m_uplinkIdToFieldsMap.value(uplinkId);
    if (!fields.isEmpty())
        layout->m_lastIndex = int(fields.last().index);
    QMap<QString, Field> byKey;
    for (const CmdFieldInfo &info : fields) {
        Field field;
        field.key = info.key;
        field.start = int(info.index) + 1;
        field.length = int(info.length);
        byKey.insert(info.key, field);
    }
    for (Field field : qAsConst(byKey)) {
        if (field.length > 0 && layout->m_fields.size() < kBlockFields) {
            field.blockOffset = layout->m_blockSize;
            layout->m_blockSize += field.length;
        }
        layout->m_fields.append(field);
    }
    // Every field the catalogue lists is checked, repeated keys too.
    layout->m_checks.reserve(fields.size());
    for (const CmdFieldInfo &info : fields) {
        if (info.length != 0)
            layout->m_checks.append(qint64(info.index) + 1 + qint64(info.length));
    }
    // Keys, separators and the hex of the fields of fixed length; a field to
    // the frame's end takes three characters a byte of the frame at most.
    for (const Field &field : qAsConst(layout->m_fields)) {
        layout->m_keyTexts += field.key.toUtf8() + "->";
        layout->m_keyTextEnds.append(layout->m_keyTexts.size());
        if (field.length == 0)
            ++layout->m_openFields;
        layout->m_fieldLineBytes += 2 + qMax(0, 3 * field.length - 1);
    }
    layout->m_fieldLineBytes += layout->m_keyTexts.size();
    layout->m_needed = qint64(layout->m_lastIndex) + 1;
    for (const qint64 end : qAsConst(layout->m_checks))
        layout->m_needed = qMax(layout->m_needed, end);
    layouts.insert(id, layout);
    lastId = id;
    last = layout.get();
    return last;
}

ReportLayout::Check ReportLayout::check(LogManager *logger, const QByteArray &frame) const
{
    if (m_lastIndex < 0)
        return Check::NoFields;
    if (frame.size() >= m_needed)
        return Check::Fields;
    if (qint64(frame.size()) < qint64(m_lastIndex) + 1) {
        logger->log(QStringLiteral("Parse uplink Command:") + m_name + QStringLiteral(" failed,the msg length is wrong."),
                    LogLevel::Error);
        return Check::Failed;
    }
    for (const qint64 end : m_checks) {
        if (end > frame.size()) {
            logger->log(QStringLiteral("Parse uplink Command:") + m_name
                            + QStringLiteral(" failed,the file up_link_command.xml is wrong."),
                        LogLevel::Error);
            return Check::Failed;
        }
    }
    return Check::Fields;
}

int ReportLayout::indexOf(const QString &key) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).key == key)
            return i;
    }
    return -1;
}

QByteArray ReportLayout::value(const QByteArray &frame, int field) const
{
    if (field < 0)
        return QByteArray();
    const Field &f = m_fields.at(field);
    if (f.length != 0)
        return CUtil::sharedBytes(frame.constData() + f.start, f.length);
    return f.start < frame.size() ? frame.mid(f.start) : QByteArray();
}

QByteArray ReportLayout::raw(const QByteArray &frame, int field) const
{
    const View bytes = view(frame, field);
    return bytes.size > 0 ? QByteArray::fromRawData(bytes.data, bytes.size) : QByteArray();
}

void ReportLayout::appendFieldLine(QByteArray &line, const QByteArray &frame) const
{
    // Room for the longest the line can be, written in place, cut to what it took.
    const int start = line.size();
    line.resize(start + fieldLineBytes(frame));
    const char *end = writeFieldLine(line.data() + start, frame);
    line.resize(int(end - line.constData()));
}

char *ReportLayout::writeFieldLine(char *out, const QByteArray &frame) const
{
    const char *keys = m_keyTexts.constData();
    for (int i = 0, keyStart = 0; i < m_fields.size(); ++i) {
        const int keyEnd = m_keyTextEnds.at(i);
        std::memcpy(out, keys + keyStart, size_t(keyEnd - keyStart));
        out += keyEnd - keyStart;
        keyStart = keyEnd;
        const View bytes = view(frame, i);
        out = CUtil::writeHex(out, bytes.data, bytes.size, ':');
        *out++ = ' ';
        *out++ = ' ';
    }
    return out;
}

ScanReportFields ScanReportFields::of(const ReportLayout *layout)
{
    static QHash<const ReportLayout *, ScanReportFields> known;
    static const ReportLayout *last = nullptr;
    static ScanReportFields lastFields;
    if (layout == last)
        return lastFields;
    auto found = known.find(layout);
    if (found == known.end()) {
        ScanReportFields fields;
        fields.classification = layout->indexOf(QStringLiteral("adv_classification"));
        fields.syncIndex = layout->indexOf(QStringLiteral("per_sync_idx"));
        fields.addr = layout->indexOf(QStringLiteral("addr"));
        fields.addrType = layout->indexOf(QStringLiteral("addr_type"));
        fields.interval = layout->indexOf(QStringLiteral("period_adv_intv"));
        fields.advType = layout->indexOf(QStringLiteral("adv_type"));
        fields.adData = layout->indexOf(QStringLiteral("adv_data_response_data"));
        found = known.insert(layout, fields);
    }
    last = layout;
    lastFields = *found;
    return lastFields;
}

// ---------------------------------------------------------------------------

int DeviceRecord::slotOf(const QString &key)
{
    if (key == kDevice)
        return Device;
    if (key == kAdvData)
        return AdvData;
    if (key == kResponseData)
        return ResponseData;
    if (key == kConnected)
        return Connected;
    return -1;
}

int DeviceRecord::blockFieldOf(const QString &key) const
{
    if (!m_layout)
        return -1;
    const int field = m_layout->indexOf(key);
    return field >= 0 && m_layout->fields().at(field).blockOffset >= 0 ? field : -1;
}

void DeviceRecord::writeBlock(int field, const char *data)
{
    const ReportLayout::Field &f = m_layout->fields().at(field);
    std::memcpy(m_block.data() + f.blockOffset, data, size_t(f.length));
    m_inBlock |= 1u << field;
}

DeviceRecord DeviceRecord::fromReport(const ReportLayout *layout, const QByteArray &frame, int skip)
{
    DeviceRecord record;
    record.m_layout = layout;
    record.m_block = QByteArray(layout->blockSize(), '\0');
    record.mergeReport(layout, frame, skip, -1);
    return record;
}

void DeviceRecord::mergeReport(const ReportLayout *layout, const QByteArray &frame, int skip, int skipToo)
{
    const QVector<ReportLayout::Field> &fields = layout->fields();
    for (int i = 0; i < fields.size(); ++i) {
        if (i == skip || i == skipToo)
            continue;
        const ReportLayout::Field &f = fields.at(i);
        if (layout == m_layout && f.blockOffset >= 0) {
            if (!m_other.isEmpty())
                m_other.remove(f.key);
            writeBlock(i, frame.constData() + f.start);
        } else {
            insert(f.key, layout->value(frame, i));
        }
    }
}

QByteArray DeviceRecord::value(const QString &key) const
{
    const int slot = slotOf(key);
    if (slot == Connected && (m_inSlot & (1u << Connected)))
        return CUtil::sharedBytes(&m_connected, 1);
    if (slot >= 0 && slot < Connected && (m_inSlot & (1u << slot)))
        return m_slots[slot];
    const int field = blockFieldOf(key);
    if (field >= 0 && (m_inBlock & (1u << field))) {
        const ReportLayout::Field &f = m_layout->fields().at(field);
        return CUtil::sharedBytes(m_block.constData() + f.blockOffset, f.length);
    }
    return m_other.value(key);
}

bool DeviceRecord::holds(const QString &key, const QByteArray &bytes) const
{
    const int field = blockFieldOf(key);
    if (field >= 0 && (m_inBlock & (1u << field))) {
        const ReportLayout::Field &f = m_layout->fields().at(field);
        return bytes.size() == f.length
            && std::memcmp(m_block.constData() + f.blockOffset, bytes.constData(), size_t(f.length)) == 0;
    }
    return contains(key) && value(key) == bytes;
}

bool DeviceRecord::contains(const QString &key) const
{
    const int slot = slotOf(key);
    if (slot >= 0 && (m_inSlot & (1u << slot)))
        return true;
    const int field = blockFieldOf(key);
    if (field >= 0 && (m_inBlock & (1u << field)))
        return true;
    return m_other.contains(key);
}

void DeviceRecord::insert(const QString &key, const QByteArray &bytes)
{
    const int slot = slotOf(key);
    const int field = slot < 0 ? blockFieldOf(key) : -1;
    if (slot == Connected && bytes.size() == 1) {
        m_connected = bytes.at(0);
        m_inSlot |= 1u << Connected;
    } else if (slot >= 0 && slot < Connected) {
        m_slots[slot] = bytes;
        m_inSlot |= 1u << slot;
    } else if (field >= 0 && bytes.size() == m_layout->fields().at(field).length) {
        writeBlock(field, bytes.constData());
    } else {
        remove(key);
        m_other.insert(key, bytes);
        return;
    }
    if (!m_other.isEmpty())
        m_other.remove(key);
}

void DeviceRecord::remove(const QString &key)
{
    const int slot = slotOf(key);
    if (slot >= 0) {
        m_inSlot &= ~(1u << slot);
        if (slot < Connected)
            m_slots[slot] = QByteArray();
    }
    const int field = blockFieldOf(key);
    if (field >= 0)
        m_inBlock &= ~(1u << field);
    m_other.remove(key);
}

int DeviceRecord::size() const
{
    int count = m_other.size();
    for (quint32 bits = m_inBlock; bits; bits &= bits - 1)
        ++count;
    for (quint32 bits = m_inSlot; bits; bits &= bits - 1)
        ++count;
    return count;
}

QMap<QString, QByteArray> DeviceRecord::toMap() const
{
    QMap<QString, QByteArray> map = m_other;
    static const QString *const slotKeys[SlotCount] = {&kDevice, &kAdvData, &kResponseData, &kConnected};
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (m_inSlot & (1u << slot))
            map.insert(*slotKeys[slot], value(*slotKeys[slot]));
    }
    if (m_layout) {
        for (int field = 0; field < m_layout->fields().size(); ++field) {
            if (m_inBlock & (1u << field))
                map.insert(m_layout->fields().at(field).key, value(m_layout->fields().at(field).key));
        }
    }
    return map;
}

DeviceRecord DeviceRecord::fromMap(const QMap<QString, QByteArray> &map)
{
    DeviceRecord record;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        record.insert(it.key(), it.value());
    return record;
}
