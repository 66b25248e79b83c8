#include "savefilewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace SaveFileWriter {

bool open(QSaveFile &file, QString *error)
{
    // QSaveFile writes through a link to wherever it points.
    if (QFileInfo(file.fileName()).isSymLink()) {
        if (error)
            *error = QCoreApplication::translate("SaveFileWriter", "it is a symbolic link");
        return false;
    }
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool write(QFileDevice &file, const QByteArray &bytes, qint64 *written)
{
    qint64 done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        // After a short write the next one fails and brings the reason.
        const qint64 taken = file.write(bytes.constData() + done, bytes.size() - done);
        if (taken <= 0) {
            ok = false;
            break;
        }
        done += taken;
    }
    if (written)
        *written = done;
    return ok;
}

bool copy(const QString &source, const QString &target, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return fail(QCoreApplication::translate("SaveFileWriter", "%1 does not exist")
                        .arg(QDir::toNativeSeparators(source)));
    // Written over itself, a file still open for writing would lose what
    // comes after.
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == sourceInfo.canonicalFilePath())
        return true;
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return fail(input.errorString());
    QSaveFile output(target);
    QString why;
    if (!open(output, &why))
        return fail(why);
    QByteArray chunk;
    while (!(chunk = input.read(64 * 1024)).isEmpty()) {
        if (!write(output, chunk))
            return fail(output.errorString());
    }
    if (input.error() != QFileDevice::NoError)
        return fail(input.errorString());
    if (!output.commit())
        return fail(output.errorString());
    return true;
}

} // namespace SaveFileWriter
