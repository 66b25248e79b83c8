#include "settingsdescription.h"

#include "fieldvalue.h"
#include "logmanager.h"

#include <QDomDocument>
#include <QFile>

// Static libraries do not register their resources on their own.
static void initSettingsResource()
{
    Q_INIT_RESOURCE(settings);
}

namespace {

constexpr int DebugLevel = 1;

void debugLog(LogManager *log, const QString &text)
{
    if (log)
        log->log(text, DebugLevel);
}

// The mask a check-box list holds after being given `mask`: the choices that
// share a bit with it.
uint checkedMask(const QList<uint> &choices, uint mask)
{
    uint value = 0;
    for (const uint choice : choices) {
        if (mask & choice)
            value |= choice;
    }
    return value;
}

// The scan properties list as the dialog keeps it: each value given to it
// comes back through the scan-properties rule.
class ScanProperties
{
public:
    explicit ScanProperties(const QList<uint> &choices) : m_choices(choices) {}

    void set(uint mask)
    {
        value = checkedMask(m_choices, mask);
        SettingsDescription::adjustScanProperties(int(value), &m_last,
                                                  [this](int adjusted) { set(uint(adjusted)); });
    }
    uint value = 0;

private:
    QList<uint> m_choices;
    int m_last = SettingsDescription::InitialScanPropertiesMask;
};

} // namespace

bool SettingsDescription::Group::hasSubgroups() const
{
    for (const GroupChild &child : children) {
        if (child.subgroup >= 0)
            return true;
    }
    return false;
}

bool SettingsDescription::load(const QString &path, LogManager *log)
{
    initSettingsResource();
    m_groups.clear();
    m_registered.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDomDocument document;
    if (!document.setContent(&file))
        return false;
    file.close();

    // A failing top-level group does not stop the next one.
    const QDomNodeList groups = document.documentElement().childNodes();
    for (int i = 0; i < groups.count(); ++i) {
        if (groups.at(i).isElement())
            readGroup(groups.at(i).toElement(), -1, log);
    }
    return true;
}

bool SettingsDescription::readGroup(const QDomElement &element, int parent, LogManager *log)
{
    if (element.tagName() != QLatin1String("SettingGroup"))
        return false;
    const int index = m_groups.size();
    m_groups.append(Group{element.attribute(QStringLiteral("title")), parent, {}});

    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == QLatin1String("SettingGroup")) {
            m_groups[index].children.append(GroupChild{m_groups.size(), {}});
            if (!readGroup(child, index, log))
                return false;
        } else if (child.tagName() == QLatin1String("SettingCategory")) {
            m_groups[index].children.append(GroupChild{-1, {child.attribute(QStringLiteral("title")), {}}});
            const QDomNodeList settings = child.childNodes();
            for (int i = 0; i < settings.count(); ++i) {
                if (!readSetting(settings.at(i), index, log))
                    return false;
            }
        }
    }
    return true;
}

bool SettingsDescription::readSetting(const QDomNode &node, int group, LogManager *log)
{
    if (!node.isElement())
        return true;
    const QDomElement element = node.toElement();
    const QString tag = element.tagName();
    Entry entry;
    entry.key = element.attribute(QStringLiteral("key"));
    entry.title = element.attribute(QStringLiteral("title"));

    if (tag == QLatin1String("LineEditSetting")) {
        entry.kind = Kind::LineEdit;
        LineEditTexts &texts = entry.lineEdit;
        texts.type = element.attribute(QStringLiteral("type"));
        texts.minValue = element.attribute(QStringLiteral("minValue"));
        texts.maxValue = element.attribute(QStringLiteral("maxValue"));
        texts.defaultValue = element.attribute(QStringLiteral("defaultValue"));
        texts.length = element.attribute(QStringLiteral("length"));
        texts.singleStep = element.attribute(QStringLiteral("singleStep"));
        texts.precision = element.attribute(QStringLiteral("precision"));
        texts.description = element.attribute(QStringLiteral("description"));
        entry.defaultValue = FieldValue::ofType(texts.type, texts.defaultValue, texts.length, texts.singleStep);
    } else if (tag == QLatin1String("ComboBoxSetting")) {
        entry.kind = Kind::Choice;
        QStringList texts;
        QList<QVariant> values;
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
                // Unsigned, never int: the command sender reads text as hexadecimal.
                values << QVariant(value.text().toUInt());
        }
        if (texts.size() != values.size() || texts.isEmpty()) {
            debugLog(log, QStringLiteral("Invalid Configuare XML! ") + tag);
            entry.registered = false;
        } else {
            entry.choiceTexts = texts;
            entry.choiceValues = values;
            if (element.hasAttribute(QStringLiteral("defaultValue"))) {
                const QVariant wanted(element.attribute(QStringLiteral("defaultValue")).toUInt());
                entry.defaultValue = values.contains(wanted) ? wanted : values.first();
            }
        }
    } else if (tag == QLatin1String("ComboBoxWithCheckBoxSetting")) {
        entry.kind = Kind::BitMask;
        for (QDomElement bit = element.firstChildElement(); !bit.isNull(); bit = bit.nextSiblingElement())
            entry.bits.insert(bit.attribute(QStringLiteral("value")).toUInt(),
                              bit.attribute(QStringLiteral("valueDesc")));
        entry.defaultValue = QVariant(element.attribute(QStringLiteral("defaultValue")).toUInt());
    } else if (tag == QLatin1String("CheckBoxSetting")) {
        entry.kind = Kind::CheckBox;
        if (element.hasAttribute(QStringLiteral("defaultValue"))) {
            const QString text = element.attribute(QStringLiteral("defaultValue"));
            if (text == QLatin1String("true")) {
                entry.defaultValue = true;
            } else if (text == QLatin1String("false")) {
                entry.defaultValue = false;
            } else {
                debugLog(log, QStringLiteral("Invalid bool string: ") + text);
                entry.registered = false;
            }
        }
    } else if (tag == QLatin1String("ProfileTableSetting")) {
        entry.kind = Kind::ProfileTable;
        entry.defaultValue = QByteArray();
    } else {
        return false;
    }

    QVector<GroupChild> &children = m_groups[group].children;
    QVector<Entry> &entries = children.last().category.entries;
    entries.append(entry);
    if (entry.registered)
        m_registered.insert(entry.key, Place{group, children.size() - 1, entries.size() - 1});
    return entry.registered;
}

const QVector<SettingsDescription::Group> &SettingsDescription::groups() const
{
    return m_groups;
}

int SettingsDescription::firstLeafGroup() const
{
    for (int i = 0; i < m_groups.size(); ++i) {
        if (!m_groups.at(i).hasSubgroups())
            return i;
    }
    return -1;
}

QMap<QString, QVariant> SettingsDescription::defaults() const
{
    // Only the first page has editors when the dialog restores its defaults,
    // and an editor shows what it can of the value it is given.
    const int firstPage = firstLeafGroup();
    QMap<QString, QVariant> values;
    for (auto it = m_registered.cbegin(); it != m_registered.cend(); ++it) {
        const Place &place = it.value();
        const Entry &entry = m_groups.at(place.group).children.at(place.child).category.entries.at(place.entry);
        const bool shown = place.group == firstPage;
        QVariant value = entry.defaultValue;
        if (entry.kind == Kind::BitMask) {
            // The list of check boxes is built with the setting, page or no page.
            if (it.key() == QLatin1String("5_0_scan_properties")) {
                ScanProperties scan(entry.bits.keys());
                scan.set(value.toUInt());
                value = scan.value;
            } else {
                value = checkedMask(entry.bits.keys(), value.toUInt());
            }
        } else if (shown && entry.kind == Kind::CheckBox) {
            value = isChecked(value);
        } else if (shown && entry.kind == Kind::Choice && !entry.choiceValues.contains(value)) {
            // A combo box that finds no item for its value stays on the first.
            value = entry.choiceValues.first();
        }
        values.insert(it.key(), value);
    }
    return values;
}

bool SettingsDescription::readDefaults(const QString &path, LogManager *log, QMap<QString, QVariant> *values)
{
    SettingsDescription description;
    if (!description.load(path, log))
        return false;
    if (description.firstLeafGroup() < 0)
        debugLog(log, QStringLiteral(
                          "CSettingDialog::showFirstSettingGroup: can't find the first leaf setting group."));
    const QMap<QString, QVariant> defaults = description.defaults();
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        values->insert(it.key(), it.value());
    return true;
}

bool SettingsDescription::isChecked(const QVariant &value)
{
    if (value.type() == QVariant::Bool)
        return value.toBool();
    if (value.type() == QVariant::String) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

int SettingsDescription::adjustScanProperties(int mask, int *lastMask, const std::function<void(int)> &write)
{
    const auto adjust = [&](int scanBit, int activeBit) {
        const int pair = scanBit | activeBit;
        if ((*lastMask & scanBit) && (mask & pair) == activeBit) {
            mask &= ~pair & 0x3F;
            *lastMask = mask;
            write(mask);
        }
        if (!(*lastMask & activeBit) && (mask & pair) == activeBit) {
            mask |= scanBit;
            *lastMask = mask;
            write(mask);
        }
    };
    adjust(1, 4);
    adjust(2, 8);
    *lastMask = mask;
    return mask;
}
