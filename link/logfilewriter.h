#pragma once

#include <QByteArray>

#include <memory>

class QFile;

// One background thread for every log file of the process: the GUI thread
// hands over filled buffers and goes on, so a slow disk never holds a frame
// back. Pieces for one file are written in the order they were handed over.
namespace LogFileWriter {

// Queues bytes for the file and returns a ticket for waitFor().
quint64 append(const std::shared_ptr<QFile> &file, const QByteArray &bytes);

// Returns once everything queued up to the ticket is in the file.
void waitFor(quint64 ticket);

} // namespace LogFileWriter
