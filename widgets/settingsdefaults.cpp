#include "settingsdefaults.h"

#include "ccheckboxsetting.h"
#include "clineeditsetting.h"
#include "logmanager.h"

#include <QDomDocument>
#include <QFile>
#include <QList>

// Static libraries do not register their resources on their own.
static void initSettingsResource()
{
    Q_INIT_RESOURCE(settings);
}

namespace {

constexpr int DebugLevel = 1;

// What the dialog's parse makes of one setting, before its default is
// restored into it.
struct Entry
{
    QString tag;
    QVariant defaultValue;
    QList<QVariant> comboValues;  // ComboBoxSetting
    QList<uint> checkChoices;     // ComboBoxWithCheckBoxSetting, ascending
    bool shownFirst = false;      // its editor is built with the dialog
};

class Reader
{
public:
    explicit Reader(LogManager *log) : m_log(log) {}

    bool parseGroup(const QDomElement &element, bool *leafSeen);
    QMap<QString, Entry> entries;
    bool firstLeafFound = false;

private:
    bool parseSetting(const QDomNode &node, bool shownFirst);
    void debugLog(const QString &text) const
    {
        if (m_log)
            m_log->log(text, DebugLevel);
    }

    LogManager *m_log;
};

// Follows the dialog's walk: a group is a leaf when it has no subgroup, and
// the first leaf in document order of groups is the page the dialog shows.
bool Reader::parseGroup(const QDomElement &element, bool *leafSeen)
{
    if (element.tagName() != QLatin1String("SettingGroup"))
        return false;
    bool hasSubgroup = false;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == QLatin1String("SettingGroup")) {
            hasSubgroup = true;
            break;
        }
    }
    // The dialog lists a group before its subgroups.
    const bool shownFirst = !hasSubgroup && !*leafSeen;
    if (!hasSubgroup)
        *leafSeen = true;

    const QDomNodeList children = element.childNodes();
    for (int i = 0; i < children.count(); ++i) {
        const QDomNode child = children.at(i);
        if (!child.isElement())
            continue;
        const QDomElement childElement = child.toElement();
        if (childElement.tagName() == QLatin1String("SettingGroup")) {
            if (!parseGroup(childElement, leafSeen))
                return false;
        } else if (childElement.tagName() == QLatin1String("SettingCategory")) {
            const QDomNodeList settings = childElement.childNodes();
            for (int j = 0; j < settings.count(); ++j) {
                if (!parseSetting(settings.at(j), shownFirst))
                    return false;
            }
        }
    }
    return true;
}

bool Reader::parseSetting(const QDomNode &node, bool shownFirst)
{
    if (!node.isElement())
        return true;
    const QDomElement element = node.toElement();
    const QString tag = element.tagName();
    const QString key = element.attribute(QStringLiteral("key"));
    Entry entry;
    entry.tag = tag;
    entry.shownFirst = shownFirst;

    if (tag == QLatin1String("LineEditSetting")) {
        entry.defaultValue = CLineEditSetting::messageValue(
            element.attribute(QStringLiteral("type")), element.attribute(QStringLiteral("defaultValue")),
            element.attribute(QStringLiteral("length")), element.attribute(QStringLiteral("singleStep")));
    } else if (tag == QLatin1String("ComboBoxSetting")) {
        QStringList texts;
        for (QDomElement list = element.firstChildElement(QStringLiteral("UserTexts")); !list.isNull();
             list = list.nextSiblingElement(QStringLiteral("UserTexts"))) {
            for (QDomElement text = list.firstChildElement(QStringLiteral("UserText")); !text.isNull();
                 text = text.nextSiblingElement(QStringLiteral("UserText")))
                texts << text.text();
        }
        for (QDomElement list = element.firstChildElement(QStringLiteral("UserValues")); !list.isNull();
             list = list.nextSiblingElement(QStringLiteral("UserValues"))) {
            for (QDomElement value = list.firstChildElement(QStringLiteral("UserValue")); !value.isNull();
                 value = value.nextSiblingElement(QStringLiteral("UserValue")))
                entry.comboValues << QVariant(value.text().toUInt());
        }
        if (texts.size() != entry.comboValues.size() || texts.isEmpty()) {
            debugLog(QStringLiteral("Invalid Configuare XML! ") + tag);
            return false;
        }
        if (element.hasAttribute(QStringLiteral("defaultValue"))) {
            const QVariant wanted(element.attribute(QStringLiteral("defaultValue")).toUInt());
            entry.defaultValue = entry.comboValues.contains(wanted) ? wanted : entry.comboValues.first();
        }
    } else if (tag == QLatin1String("ComboBoxWithCheckBoxSetting")) {
        QMap<uint, bool> choices;
        for (QDomElement bit = element.firstChildElement(); !bit.isNull(); bit = bit.nextSiblingElement())
            choices.insert(bit.attribute(QStringLiteral("value")).toUInt(), true);
        entry.checkChoices = choices.keys();
        entry.defaultValue = QVariant(element.attribute(QStringLiteral("defaultValue")).toUInt());
    } else if (tag == QLatin1String("CheckBoxSetting")) {
        if (element.hasAttribute(QStringLiteral("defaultValue"))) {
            const QString text = element.attribute(QStringLiteral("defaultValue"));
            if (text == QLatin1String("true")) {
                entry.defaultValue = true;
            } else if (text == QLatin1String("false")) {
                entry.defaultValue = false;
            } else {
                debugLog(QStringLiteral("Invalid bool string: ") + text);
                return false;
            }
        }
    } else if (tag == QLatin1String("ProfileTableSetting")) {
        entry.defaultValue = QByteArray();
    } else {
        return false;
    }
    entries.insert(key, entry);
    return true;
}

// The mask the check-box list holds after being set to `mask`: the choices
// that share a bit with it.
uint checkedMask(const QList<uint> &choices, uint mask)
{
    uint value = 0;
    for (const uint choice : choices) {
        if (mask & choice)
            value |= choice;
    }
    return value;
}

// The scan properties list adjusts itself each time it is set, as the dialog
// does: active scanning on a PHY needs scanning on that PHY.
class ScanProperties
{
public:
    explicit ScanProperties(const QList<uint> &choices) : m_choices(choices) {}

    void set(uint mask)
    {
        value = checkedMask(m_choices, mask);
        changed(int(value));
    }
    uint value = 0;

private:
    void changed(int mask)
    {
        const auto adjust = [&](int scanBit, int activeBit) {
            const int pair = scanBit | activeBit;
            if ((m_last & scanBit) && (mask & pair) == activeBit) {
                mask &= ~pair & 0x3F;
                m_last = mask;
                set(uint(mask));
            }
            if (!(m_last & activeBit) && (mask & pair) == activeBit) {
                mask |= scanBit;
                m_last = mask;
                set(uint(mask));
            }
        };
        adjust(1, 4);
        adjust(2, 8);
        m_last = mask;
    }

    QList<uint> m_choices;
    int m_last = 63;
};

} // namespace

bool SettingsDefaults::read(const QString &path, LogManager *log, QMap<QString, QVariant> *values)
{
    initSettingsResource();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDomDocument document;
    if (!document.setContent(&file))
        return false;
    file.close();

    Reader reader(log);
    bool leafSeen = false;
    // A failing top-level group does not stop the next one.
    const QDomNodeList groups = document.documentElement().childNodes();
    for (int i = 0; i < groups.count(); ++i) {
        if (groups.at(i).isElement())
            reader.parseGroup(groups.at(i).toElement(), &leafSeen);
    }
    if (!leafSeen && log)
        log->log(QStringLiteral("CSettingDialog::showFirstSettingGroup: can't find the first leaf setting group."),
                 DebugLevel);

    for (auto it = reader.entries.cbegin(); it != reader.entries.cend(); ++it) {
        const Entry &entry = it.value();
        QVariant value = entry.defaultValue;
        if (entry.tag == QLatin1String("ComboBoxWithCheckBoxSetting")) {
            if (it.key() == QLatin1String("5_0_scan_properties")) {
                ScanProperties scan(entry.checkChoices);
                scan.set(entry.defaultValue.toUInt());
                value = scan.value;
            } else {
                value = checkedMask(entry.checkChoices, entry.defaultValue.toUInt());
            }
        } else if (entry.shownFirst && entry.tag == QLatin1String("CheckBoxSetting")) {
            value = CCheckBoxSetting::isChecked(value);
        } else if (entry.shownFirst && entry.tag == QLatin1String("ComboBoxSetting")
                   && !entry.comboValues.contains(value)) {
            // A combo box that finds no item for its value stays on the first.
            value = entry.comboValues.first();
        }
        values->insert(it.key(), value);
    }
    return true;
}
