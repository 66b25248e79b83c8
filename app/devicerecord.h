#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

class LogManager;

// Where each field of one uplink sits in its frame, read from the catalogue
// once per uplink ID, so a report is decoded by offset instead of into a map.
class ReportLayout
{
public:
    struct Field
    {
        QString key;
        int start = 0;  // frame byte of the field's first byte
        int length = 0; // 0: to the end of the frame
        int blockOffset = -1; // place in a DeviceRecord's block, -1 when kept elsewhere
    };

    // The layout of the frame's uplink ID; never null.
    static const ReportLayout *of(const QByteArray &frame);

    enum class Check { Fields, NoFields, Failed };
    // Whether the frame holds every field, with the catalogue parser's own
    // log line when it does not.
    Check check(LogManager *logger, const QByteArray &frame) const;

    // Fields by ascending key, one per key (a repeated key: its last place).
    const QVector<Field> &fields() const { return m_fields; }
    int indexOf(const QString &key) const;
    // Where a field's bytes lie in a frame; no copy, no allocation.
    struct View
    {
        const char *data = nullptr;
        int size = 0;
    };
    View view(const QByteArray &frame, int field) const
    {
        if (field < 0)
            return View();
        const Field &f = m_fields.at(field);
        if (f.length != 0)
            return View{frame.constData() + f.start, f.length};
        return f.start < frame.size() ? View{frame.constData() + f.start, frame.size() - f.start} : View();
    }
    // The field's bytes; raw() refers into the frame and lives as long as it.
    QByteArray value(const QByteArray &frame, int field) const;
    QByteArray raw(const QByteArray &frame, int field) const;
    int blockSize() const { return m_blockSize; }
    // Key, "->", colon hex and two blanks for each field, in key order, as
    // UTF-8 bytes: the scan logs one such line for every report.
    void appendFieldLine(QByteArray &line, const QByteArray &frame) const;
    // The same written at out, which has room for fieldLineBytes(frame); returns the end.
    char *writeFieldLine(char *out, const QByteArray &frame) const;
    int fieldLineBytes(const QByteArray &frame) const { return m_fieldLineBytes + 3 * frame.size() * m_openFields; }

private:
    QString m_name;
    QVector<Field> m_fields;
    int m_lastIndex = -1; // the catalogue's last field, checked first as the parser does
    QVector<qint64> m_checks; // end of each fixed-length field the catalogue lists
    qint64 m_needed = 0;      // a frame this long passes every check
    int m_blockSize = 0;
    // Each field's key and "->" as UTF-8, back to back in field order: the
    // field line of every report reads them from one place.
    QByteArray m_keyTexts;
    QVector<int> m_keyTextEnds;
    int m_fieldLineBytes = 0; // the field line but the fields to the frame's end
    int m_openFields = 0;     // fields to the frame's end
};

// Where the scanning page's fields sit in a report, found once per layout.
struct ScanReportFields
{
    int classification = -1;
    int syncIndex = -1;
    int addr = -1;
    int addrType = -1;
    int interval = -1;
    int advType = -1;
    int adData = -1;

    static ScanReportFields of(const ReportLayout *layout);
};

// One row of the discovery table. The fixed fields of the device's report
// are kept as their bytes back to back, placed by the report's layout;
// the name and the two data blocks have slots of their own; anything else
// (rare: the connection index) sits in a small map. Reads and writes by key
// behave as the field map a row used to be.
class DeviceRecord
{
public:
    DeviceRecord() = default;

    // The report's fields but `skip` (a field index of the layout, -1 for none).
    static DeviceRecord fromReport(const ReportLayout *layout, const QByteArray &frame, int skip);
    // Writes the report's fields into the record but the two skipped ones.
    void mergeReport(const ReportLayout *layout, const QByteArray &frame, int skip, int skipToo);

    QByteArray value(const QString &key) const;
    // Whether the record holds exactly these bytes under the key, without a copy.
    bool holds(const QString &key, const QByteArray &bytes) const;
    bool contains(const QString &key) const;
    void insert(const QString &key, const QByteArray &bytes);
    void remove(const QString &key);
    int size() const;
    bool isEmpty() const { return size() == 0; }

    QMap<QString, QByteArray> toMap() const;
    static DeviceRecord fromMap(const QMap<QString, QByteArray> &map);

    bool operator==(const DeviceRecord &other) const { return toMap() == other.toMap(); }
    bool operator!=(const DeviceRecord &other) const { return !(*this == other); }

private:
    enum Slot { Device, AdvData, ResponseData, Connected, SlotCount };
    static int slotOf(const QString &key);
    int blockFieldOf(const QString &key) const;
    void writeBlock(int field, const char *data);

    const ReportLayout *m_layout = nullptr;
    QByteArray m_block;
    quint32 m_inBlock = 0; // bit per field of the layout held in the block
    QByteArray m_slots[Connected];
    quint8 m_inSlot = 0;   // bit per slot
    char m_connected = 0;
    QMap<QString, QByteArray> m_other;
};

// Its members are all relocatable: a full table's rows move up by memmove
// when the oldest leave, not one copy (with its reference counts) at a time.
Q_DECLARE_TYPEINFO(DeviceRecord, Q_MOVABLE_TYPE);
