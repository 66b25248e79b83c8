#include "datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace Platform {

QString dataFolder()
{
    static const QString folder = [] {
        const QString own = QCoreApplication::applicationDirPath();
        const QFileInfo info(own);
        if (!own.isEmpty() && info.isDir() && info.isWritable())
            return own;
        const QString user = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(user);
        return user;
    }();
    return folder;
}

bool makeFolder(const QString &path, QString *reason)
{
    if (QDir().mkpath(path) && QFileInfo(path).isDir())
        return true;
    // mkpath tells nothing; the last step again gives the reason.
    errno = 0;
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0777) == 0)
        return true;
    if (reason)
        *reason = QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO));
    return false;
}

QString safeFolderName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            safe += QLatin1Char('_');
        else
            safe += c;
    }
    // A leading dot would make "." or ".." or a hidden folder.
    int dots = 0;
    while (dots < safe.size() && safe.at(dots) == QLatin1Char('.'))
        ++dots;
    if (dots > 0)
        safe.replace(0, dots, QString(dots, QLatin1Char('_')));
    if (safe.isEmpty())
        safe = QStringLiteral("_");
    return safe;
}

} // namespace Platform
