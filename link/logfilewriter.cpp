#include "logfilewriter.h"

#include <QFile>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace LogFileWriter {
namespace {

struct Job
{
    std::shared_ptr<QFile> file;
    QByteArray bytes;
};

class Writer
{
public:
    Writer() { std::thread([this] { run(); }).detach(); }

    quint64 append(const std::shared_ptr<QFile> &file, const QByteArray &bytes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(Job{file, bytes});
        const quint64 ticket = ++m_queued;
        // A writer that is gathering or writing takes this piece with the
        // others: waking a thread costs the caller more than the line did.
        if (m_idle)
            m_wake.notify_all();
        return ticket;
    }

    void waitFor(quint64 ticket)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_written >= ticket)
            return;
        m_urgent = true;
        m_wake.notify_all();
        m_done.wait(lock, [&] { return m_written >= ticket; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_idle = true;
            m_wake.wait(lock, [&] { return !m_jobs.empty(); });
            m_idle = false;
            // A busy scan hands over a piece every few milliseconds; gathering
            // them briefly wakes this thread (and its callers) far less often.
            m_wake.wait_for(lock, std::chrono::milliseconds(GatherMs), [&] { return m_urgent; });
            m_urgent = false;
            std::deque<Job> jobs;
            jobs.swap(m_jobs);
            const quint64 taken = m_queued;
            lock.unlock();
            for (Job &job : jobs) {
                if (job.file->isOpen()) {
                    if (!job.bytes.isEmpty())
                        job.file->write(job.bytes);
                    job.file->flush();
                }
                // The last holder of a replaced file closes it here, after its last piece.
                job.file.reset();
            }
            jobs.clear();
            lock.lock();
            m_written = taken;
            m_done.notify_all();
        }
    }

    static constexpr int GatherMs = 10;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Job> m_jobs;
    quint64 m_queued = 0;
    quint64 m_written = 0;
    bool m_idle = false;
    bool m_urgent = false;
};

Writer &writer()
{
    // Never destroyed, so a logger that dies during static destruction still
    // finds it; every logger waits for its own pieces before it goes.
    static Writer *instance = new Writer;
    return *instance;
}

} // namespace

quint64 append(const std::shared_ptr<QFile> &file, const QByteArray &bytes)
{
    return writer().append(file, bytes);
}

void waitFor(quint64 ticket)
{
    writer().waitFor(ticket);
}

} // namespace LogFileWriter
