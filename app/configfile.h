#pragma once

#include <QCoreApplication>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

#include <memory>

class QSettings;

// config.ini: one group per dongle tab. Reads what can be restored, keeps
// what cannot be used aside before anything is written back, and writes the
// file whole, read back first, so that a failed write leaves it as it was.
class ConfigFile
{
    Q_DECLARE_TR_FUNCTIONS(ConfigFile)
public:
    // A dongle's name and its settings values.
    using Group = QPair<QString, QVariantMap>;

    explicit ConfigFile(const QString &fileName);
    ~ConfigFile();
    ConfigFile(const ConfigFile &) = delete;
    ConfigFile &operator=(const ConfigFile &) = delete;

    // The names of the groups to restore, by their stored tab number, at
    // most `mostShown`; the groups past those are kept for save(). What
    // could not be used is in report(), and the file as it was is kept
    // aside first (setAside()).
    QStringList load(int mostShown);
    // Where the loaded groups are read from.
    QSettings &settings() { return *m_settings; }
    // Empty when all of the file could be used.
    QString report() const { return m_report; }
    // Where the file was kept aside, empty when it was not.
    QString setAside() const { return m_setAside; }

    // Writes the groups in their order, then those load() kept that no
    // group has taken over by its name. False with the text of why in
    // `failure`; the previous file then stays as it was.
    bool save(const QVector<Group> &groups, QString *failure);

private:
    // The groups of the file that can be restored; what cannot be used is
    // added to `problems`, and `unusable` is set when nothing of the file
    // can be trusted.
    QStringList usableGroups(QStringList *problems, bool *unusable) const;
    // The groups in their stored order, at most `mostShown`; the others
    // are kept and told in `problems`.
    QStringList inStoredOrder(const QStringList &groups, int mostShown, QStringList *problems);
    // Keeps an unusable file beside it, never over an earlier copy;
    // returns the report.
    QString setBadFileAside(const QStringList &problems);
    // Moves or copies the file to a time-stamped ".bad" name nothing has
    // yet; that name, or empty when it could not be kept.
    static QString keepAside(const QString &fileName, bool move);
    bool write(const QVector<Group> &groups);
    // Whether INI text read back gives every value written.
    bool holdsAll(const QByteArray &text, const QMap<QString, QVariant> &written) const;
    // Why the file could not be written, as the user is told.
    QString whyNotWritten() const;

    std::unique_ptr<QSettings> m_settings;
    // Groups past the last shown of a hand-edited file: not shown, but kept
    // in the file rather than lost.
    QVector<Group> m_leftOutGroups;
    QString m_report;
    QString m_setAside;
};
