#include "configfile.h"

#include "cconfigdonglenamedialog.h"
#include "regularfile.h"
#include "savefilewriter.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>

namespace {

const char kTabNumberKey[] = "TabWidgetNumber";

// A name from the file as a message can show it: control characters spelt
// out, and not longer than a line.
QString shownName(const QString &name)
{
    constexpr int Longest = 40;
    QString shown;
    for (const QChar c : name) {
        if (shown.size() >= Longest) {
            shown += QChar(0x2026);
            break;
        }
        if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// At most a few names in a message; a hostile file may hold thousands.
QString nameList(const QStringList &names, const QString &separator = QStringLiteral(", "))
{
    constexpr int MostNamed = 10;
    QString list = names.mid(0, MostNamed).join(separator);
    if (names.size() > MostNamed)
        list += separator + ConfigFile::tr("and %1 more").arg(names.size() - MostNamed);
    return list;
}

// Lines that the INI reader passes over without a word (no "=", a key
// without a name) or cannot parse (a group's header without its "]").
// Blank lines and ";" comments hold nothing to read.
bool holdsUnreadableLines(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    bool continued = false;
    for (const QByteArray &each : text.split('\n')) {
        const QByteArray line = each.trimmed();
        // A backslash at the end carries the value on to the next line.
        const bool continuation = continued;
        continued = line.endsWith('\\');
        if (continuation || line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[') ? !line.endsWith(']') : line.indexOf('=') <= 0)
            return true;
    }
    return false;
}

// Copies the file under a name nothing has; a copy cut short is removed.
bool copyFile(const QString &fileName, const QString &copy)
{
    QFile source(fileName);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = source.readAll();
    QFile target;
    if (!Platform::openForWriting(target, copy, QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                                  nullptr))
        return false;
    if (SaveFileWriter::write(target, text))
        return true;
    target.remove();
    return false;
}

} // namespace

ConfigFile::ConfigFile(const QString &fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

ConfigFile::~ConfigFile() = default;

QStringList ConfigFile::load(int mostShown)
{
    QStringList problems;
    bool unusable = false;
    const QStringList groups = usableGroups(&problems, &unusable);
    if (unusable || (groups.isEmpty() && !problems.isEmpty())) {
        m_report = setBadFileAside(problems);
        return QStringList();
    }
    const bool skipped = !problems.isEmpty();
    // What is skipped is not written back: the file as it was is kept first.
    if (skipped)
        m_setAside = keepAside(m_settings->fileName(), false);
    const QStringList shown = inStoredOrder(groups, mostShown, &problems);
    if (!problems.isEmpty()) {
        m_report = tr("%1:\n%2").arg(m_settings->fileName(), problems.join(QLatin1Char('\n')));
        if (skipped)
            m_report += tr("\nThe other dongles open as stored; what was skipped is not written back. ")
                        + (m_setAside.isEmpty() ? tr("The file as it was could not be kept aside.")
                                                : tr("The file as it was is kept as %1.").arg(m_setAside));
    }
    return shown;
}

QStringList ConfigFile::usableGroups(QStringList *problems, bool *unusable) const
{
    *unusable = false;
    QFile raw(m_settings->fileName());
    const QByteArray text = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
    if (text.contains('\0')) {
        // Zeros in a text file: a write cut short; none of it can be trusted.
        *unusable = true;
        problems->append(tr("it is not text"));
        return QStringList();
    }
    if (m_settings->status() != QSettings::NoError || holdsUnreadableLines(text))
        problems->append(tr("some of its lines cannot be parsed"));
    // Everything we write lives in a dongle's group.
    const QStringList outside = m_settings->childKeys();
    if (!outside.isEmpty()) {
        QStringList names;
        for (const QString &key : outside)
            names << shownName(key);
        problems->append(tr("it holds values outside any dongle (%1)").arg(nameList(names)));
    }
    QStringList usable;
    QStringList skipped;
    const QStringList groups = m_settings->childGroups();
    for (const QString &group : groups) {
        m_settings->beginGroup(group);
        // A line "=" gives a key without a name; it holds nothing.
        QStringList values = m_settings->childKeys();
        values.removeAll(QString());
        const bool hasValues = !values.isEmpty();
        // A "/" or "\" in a group's name makes groups inside it.
        QStringList inner;
        const QStringList keys = m_settings->allKeys();
        for (const QString &key : keys) {
            const int last = key.lastIndexOf(QLatin1Char('/'));
            const QString path = group + QLatin1Char('/') + key.left(last);
            if (last > 0 && !inner.contains(path))
                inner << path;
        }
        m_settings->endGroup();
        for (const QString &path : qAsConst(inner))
            skipped << tr("%1 (%2)").arg(shownName(path), CConfigDongleNameDialog::whyUnusable(path));
        if (!hasValues)
            continue;
        const QString why = CConfigDongleNameDialog::whyUnusable(group);
        if (why.isEmpty())
            usable << group;
        else
            skipped << tr("%1 (%2)").arg(shownName(group), why);
    }
    if (!skipped.isEmpty())
        problems->append(tr("these groups name no dongle and were skipped:\n%1")
                             .arg(nameList(skipped, QStringLiteral("\n"))));
    return usable;
}

QStringList ConfigFile::inStoredOrder(const QStringList &groups, int mostShown, QStringList *problems)
{
    // Order by the stored tab number; a hand-edited file may repeat numbers or
    // leave them out, so those groups follow in the file's order.
    struct Stored
    {
        QString name;
        int number;
        bool valid;
    };
    QVector<Stored> stored;
    for (const QString &group : groups) {
        bool ok = false;
        const int number = m_settings->value(group + QLatin1Char('/') + QLatin1String(kTabNumberKey)).toInt(&ok);
        stored.append({group, number, ok && number >= 0});
    }
    std::stable_sort(stored.begin(), stored.end(), [](const Stored &a, const Stored &b) {
        if (a.valid != b.valid)
            return a.valid;
        return a.valid && a.number < b.number;
    });

    QStringList shown;
    QStringList notShown;
    for (const Stored &entry : stored) {
        if (shown.size() < mostShown) {
            shown << entry.name;
            continue;
        }
        notShown << shownName(entry.name);
        QVariantMap values;
        m_settings->beginGroup(entry.name);
        const QStringList keys = m_settings->childKeys();
        for (const QString &key : keys)
            values.insert(key, m_settings->value(key));
        m_settings->endGroup();
        m_leftOutGroups.append(qMakePair(entry.name, values));
    }
    if (!notShown.isEmpty())
        problems->append(tr("at most %1 dongles have tabs; %2 are kept in the file but not shown")
                             .arg(mostShown)
                             .arg(nameList(notShown)));
    return shown;
}

QString ConfigFile::setBadFileAside(const QStringList &problems)
{
    const QString fileName = m_settings->fileName();
    m_settings.reset();
    const QString aside = keepAside(fileName, true);
    const QString problem = problems.join(QLatin1Char('\n'));
    QString report;
    if (!aside.isEmpty()) {
        m_setAside = aside;
        report = tr("%1 was not used:\n%2\nIt is kept as %3; the program starts as on a first run.")
                     .arg(fileName, problem, aside);
    } else {
        report = tr("%1 was not used:\n%2\nIt could not be kept aside; the program starts as on a first run.")
                     .arg(fileName, problem);
    }
    m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    return report;
}

QString ConfigFile::keepAside(const QString &fileName, bool move)
{
    // The time in the name, and a number after it if need be: an earlier
    // copy, or anything else of that name, is never replaced or written through.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString aside = fileName + QLatin1Char('.') + stamp
                              + (attempt > 1 ? QStringLiteral("-%1").arg(attempt) : QString())
                              + QStringLiteral(".bad");
        if (Platform::nameTaken(aside))
            continue;
        if (move ? Platform::renameWithoutReplacing(fileName, aside, nullptr) : copyFile(fileName, aside))
            return aside;
        // Taken meanwhile, or it cannot be made at all.
        if (!Platform::nameTaken(aside))
            break;
    }
    return QString();
}

bool ConfigFile::save(const QVector<Group> &groups, QString *failure)
{
    if (write(groups))
        return true;
    if (failure)
        *failure = tr("The settings could not be saved: %1 cannot be written (%2).")
                       .arg(QFileInfo(m_settings->fileName()).absoluteFilePath(), whyNotWritten());
    return false;
}

QString ConfigFile::whyNotWritten() const
{
    const QFileInfo file(m_settings->fileName());
    const QFileInfo folder(file.absolutePath());
    if (file.isSymLink())
        return tr("it is a symbolic link, which is not written through");
    if (file.isDir())
        return tr("a folder of that name is in the way");
    if (!folder.isWritable())
        return tr("its folder is not writable");
    if (file.exists() && !file.isWritable())
        return tr("the file is read-only");
    return tr("the disk may be full");
}

bool ConfigFile::write(const QVector<Group> &groups)
{
    // QSettings writes the text into a scratch file beside config.ini. On a
    // full disk its write can come out cut short without an error, so the
    // text is read back before it replaces config.ini, through a write that
    // sees a full disk; until then the previous file stays as it was.
    const QString fileName = m_settings->fileName();
    QTemporaryFile scratchFile(fileName + QStringLiteral(".XXXXXX"));
    if (!scratchFile.open())
        return false;
    scratchFile.close();
    QMap<QString, QVariant> written;
    {
        QSettings scratch(scratchFile.fileName(), QSettings::IniFormat);
        int number = 0;
        const auto putGroup = [&scratch, &written, &number](const Group &group) {
            const auto put = [&](const QString &key, const QVariant &value) {
                const QString path = group.first + QLatin1Char('/') + key;
                scratch.setValue(path, value);
                written.insert(path, value);
            };
            for (auto it = group.second.cbegin(); it != group.second.cend(); ++it) {
                if (it.key() == QLatin1String(kTabNumberKey))
                    continue;
                // An unsigned int is kept as a point so that it reads back as unsigned.
                if (it.value().userType() == QMetaType::UInt)
                    put(it.key(), QPoint(int(it.value().toUInt()), 0));
                else
                    put(it.key(), it.value());
            }
            put(QLatin1String(kTabNumberKey), number++);
        };
        for (const Group &group : groups)
            putGroup(group);
        for (const Group &group : qAsConst(m_leftOutGroups)) {
            // A tab added since under the same name has taken the group over.
            const bool taken = std::any_of(groups.cbegin(), groups.cend(),
                                           [&group](const Group &shown) { return shown.first == group.first; });
            if (!taken)
                putGroup(group);
        }
        scratch.sync();
        if (scratch.status() != QSettings::NoError)
            return false;
    }
    QFile scratchText(scratchFile.fileName());
    if (!scratchText.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = scratchText.readAll();
    scratchText.close();
    if (!holdsAll(text, written))
        return false;
    QSaveFile file(fileName);
    return SaveFileWriter::open(file) && SaveFileWriter::write(file, text) && file.commit();
}

bool ConfigFile::holdsAll(const QByteArray &text, const QMap<QString, QVariant> &written) const
{
    // Read under a name of its own: QSettings keeps files it has written in
    // memory and would not read the scratch file again.
    QTemporaryFile copy(m_settings->fileName() + QStringLiteral(".XXXXXX"));
    if (!copy.open() || copy.write(text) != text.size() || !copy.flush())
        return false;
    copy.close();
    const QSettings check(copy.fileName(), QSettings::IniFormat);
    if (check.status() != QSettings::NoError || check.allKeys().size() != written.size())
        return false;
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (check.value(it.key()).toString() != it.value().toString())
            return false;
    }
    return true;
}
