#include "keepearlierfile.h"

#include "regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

bool keepEarlierFile(const QString &path, QString *error, QString *keptAs)
{
    const QFileInfo info(path);
    // Only a file of our own is kept; whatever else has the name (a link
    // included) is left where it is, and the caller's open says why it fails.
    if (info.isSymLink() || !info.isFile() || info.size() == 0)
        return true;
    const QString stamp = info.lastModified().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString suffix = info.completeSuffix().isEmpty() ? QString() : QLatin1Char('.') + info.completeSuffix();
    const QString stem = info.dir().filePath(info.baseName() + QLatin1Char('-') + stamp);
    // Two files of the same second both stay; a name taken in any form,
    // a link that points nowhere included, is passed over.
    QString why;
    for (int n = 1; n <= 1000; ++n) {
        const QString target = n == 1 ? stem + suffix : stem + QLatin1Char('-') + QString::number(n) + suffix;
        if (Platform::nameTaken(target))
            continue;
        if (Platform::renameWithoutReplacing(path, target, &why)) {
            if (keptAs)
                *keptAs = target;
            return true;
        }
        // Taken between the look and the rename: the next name.
        if (!Platform::nameTaken(target))
            break;
    }
    if (error)
        *error = why.isEmpty() ? QStringLiteral("every name beside it is taken") : why;
    return false;
}
