#include "savefilewriter.h"

#include <QSaveFile>

namespace SaveFileWriter {

bool open(QSaveFile &file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool write(QSaveFile &file, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        // After a short write the next one fails and brings the reason.
        const qint64 taken = file.write(bytes.constData() + written, bytes.size() - written);
        if (taken <= 0)
            return false;
        written += taken;
    }
    return true;
}

} // namespace SaveFileWriter
