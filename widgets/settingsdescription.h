#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

class LogManager;
class QDomElement;
class QDomNode;

// The settings screen as its description gives it, read once and without any
// widget: the settings dialog builds its groups and editors from it, and a
// dongle tab takes its start-up values from it long before anyone opens the dialog.
class SettingsDescription
{
public:
    enum class Kind { LineEdit, Choice, BitMask, CheckBox, ProfileTable };

    // The attribute texts a line edit interprets itself.
    struct LineEditTexts
    {
        QString type;
        QString minValue;
        QString maxValue;
        QString defaultValue;
        QString length;
        QString singleStep;
        QString precision;
        QString description;
    };

    struct Entry
    {
        Kind kind = Kind::LineEdit;
        QString key;
        QString title;
        QVariant defaultValue;         // invalid where the description gives none
        LineEditTexts lineEdit;        // LineEdit
        QStringList choiceTexts;       // Choice: labels, paired by position with
        QList<QVariant> choiceValues;  //   their unsigned values
        QMap<uint, QString> bits;      // BitMask: label by bit value
        // False for the entry whose fault ended its top-level group: it stands
        // on its page, but no key refers to it.
        bool registered = true;
    };

    struct Category
    {
        QString title;
        QVector<Entry> entries;
    };

    // One child of a group in document order: a category, or a subgroup.
    struct GroupChild
    {
        int subgroup = -1;  // index in groups(); -1 for a category
        Category category;
    };

    struct Group
    {
        QString title;
        int parent = -1;  // index in groups(); -1 for a top-level group
        QVector<GroupChild> children;

        bool hasSubgroups() const;
    };

    // False when the file cannot be opened or is not XML. A fault in the
    // description is logged when it is met and ends its top-level group; what
    // came before it stays.
    bool load(const QString &path, LogManager *log);

    // Every group, each before its subgroups, in document order.
    const QVector<Group> &groups() const;
    // The dialog's first page: the first group without subgroups, or -1.
    int firstLeafGroup() const;
    // What a dialog built from this description holds after "restore all",
    // by key; the later of two entries with one key counts.
    QMap<QString, QVariant> defaults() const;

    // A dongle tab's start-up values, written into `values`; false when the
    // description cannot be read at all. Logs what the dialog would log.
    static bool readDefaults(const QString &path, LogManager *log, QMap<QString, QVariant> *values);

    // The state a stored check-box value stands for: a bool as it is, the
    // texts "true" and "false" (as config.ini gives them back) as what they
    // say, anything else checked.
    static bool isChecked(const QVariant &value);

    // The scan-properties mask the dialog starts from: every bit set.
    static constexpr int InitialScanPropertiesMask = 63;
    // Active scanning on a PHY needs scanning on that PHY: clearing the scan
    // bit clears the active bit, setting the active bit sets the scan bit.
    // `write` gives each corrected mask back to the setting, which may come
    // back here before it returns; `lastMask` is the mask last seen.
    static int adjustScanProperties(int mask, int *lastMask, const std::function<void(int)> &write);

private:
    struct Place
    {
        int group;
        int child;
        int entry;
    };

    bool readGroup(const QDomElement &element, int parent, LogManager *log);
    bool readSetting(const QDomNode &node, int group, LogManager *log);

    QVector<Group> m_groups;
    QMap<QString, Place> m_registered;
};
