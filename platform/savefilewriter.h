#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;
class QSaveFile;

// Writing a file the user saves so that a full disk shows as a failure.
// QSaveFile alone commits a file cut short when the disk fills during its
// last buffered flush: a short write is no error to it.
namespace SaveFileWriter {

// Opens for writing without a buffer, so every short write is seen; false
// with the reason in `error`. A symbolic link at the file's name is refused:
// it would be written through.
bool open(QSaveFile &file, QString *error = nullptr);
// Writes all bytes to a file opened without a buffer; false when the file
// did not take them all, with the system's reason (such as "No space left on
// device") in errorString() and the bytes it did take in `written`.
// After a failure a QSaveFile is not to be committed: dropping it keeps the
// old file.
bool write(QFileDevice &file, const QByteArray &bytes, qint64 *written = nullptr);
// Copies `source` over `target` through a QSaveFile; false with the reason in
// `error` when it failed, and then a file that was at `target` is left as it
// was. A target that is the source itself is left alone (true); a target that
// is a symbolic link is refused.
bool copy(const QString &source, const QString &target, QString *error = nullptr);

} // namespace SaveFileWriter
