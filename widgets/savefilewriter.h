#pragma once

#include <QByteArray>

class QSaveFile;

// Writing a file the user saves so that a full disk shows as a failure.
// QSaveFile alone commits a file cut short when the disk fills during its
// last buffered flush: a short write is no error to it.
namespace SaveFileWriter {

// Opens for writing without a buffer, so every short write is seen.
bool open(QSaveFile &file);
// Writes all bytes; false when the file did not take them all, with the
// system's reason (such as "No space left on device") in errorString().
// After a failure the file is not to be committed: dropping it keeps the
// old file.
bool write(QSaveFile &file, const QByteArray &bytes);

} // namespace SaveFileWriter
