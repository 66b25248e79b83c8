#include "keepearlierfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

bool keepEarlierFile(const QString &path, QString *error, QString *keptAs)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() == 0)
        return true;
    const QString stamp = info.lastModified().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString suffix = info.completeSuffix().isEmpty() ? QString() : QLatin1Char('.') + info.completeSuffix();
    const QString stem = info.dir().filePath(info.baseName() + QLatin1Char('-') + stamp);
    // Two files of the same second both stay.
    QString target = stem + suffix;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = stem + QLatin1Char('-') + QString::number(n) + suffix;
    QFile file(path);
    if (file.rename(target)) {
        if (keptAs)
            *keptAs = target;
        return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}
