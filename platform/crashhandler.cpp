#include "crashhandler.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kMaxFrames = 128;

// Local time offset taken at install: localtime is not safe inside a handler.
long g_utcOffset = 0;
std::atomic<bool> g_installed{false};
// The thread that writes the report, and whether it has finished.
std::atomic<long> g_reportingThread{0};
std::atomic<bool> g_reportDone{false};
static_assert(std::atomic<long>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the crash handler needs lock-free atomics");
constexpr int kWaitForReportMs = 3000;
// Written before any crash can use it, read only by the handler.
constexpr size_t kMaxFolder = 4096;
char g_fallbackFolder[kMaxFolder] = {0};

// Small writers that use nothing but write(2).
struct Out
{
    int fd;
    void text(const char *s) const
    {
        size_t n = std::strlen(s);
        while (n > 0) {
            const ssize_t w = ::write(fd, s, n);
            if (w <= 0)
                return;
            s += w;
            n -= size_t(w);
        }
    }
    void number(unsigned long long v, unsigned base = 10, int minDigits = 1) const
    {
        char buf[32];
        int i = 0;
        do {
            const unsigned d = unsigned(v % base);
            buf[i++] = char(d < 10 ? '0' + d : 'a' + d - 10);
            v /= base;
        } while ((v != 0 || i < minDigits) && i < 31);
        char rev[33];
        int j = 0;
        while (i > 0)
            rev[j++] = buf[--i];
        rev[j] = '\0';
        text(rev);
    }
};

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

// TracerPid in /proc/self/status is non-zero while a debugger is attached.
bool debuggerAttached()
{
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[4096];
    ssize_t total = 0;
    while (total < ssize_t(sizeof(buf)) - 1) {
        const ssize_t n = ::read(fd, buf + total, sizeof(buf) - 1 - size_t(total));
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    buf[total] = '\0';
    const char *key = std::strstr(buf, "TracerPid:");
    if (!key)
        return false;
    key += std::strlen("TracerPid:");
    while (*key == ' ' || *key == '\t')
        ++key;
    return *key >= '1' && *key <= '9';
}

void put2(char *&p, int v)
{
    *p++ = char('0' + (v / 10) % 10);
    *p++ = char('0' + v % 10);
}

void writeReport(int sig, siginfo_t *info)
{
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    char name[32];
    formatCrashFileName(now.tv_sec, int(now.tv_nsec / 1000000), g_utcOffset, name);

    const Out err{STDERR_FILENO};
    char path[kMaxFolder + 40];
    std::strcpy(path, name);
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 && g_fallbackFolder[0] != '\0') {
        std::strcpy(path, g_fallbackFolder);
        std::strcat(path, "/");
        std::strcat(path, name);
        fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        err.text("Vantora crashed; no crash report could be written in the working directory");
        if (g_fallbackFolder[0] != '\0') {
            err.text(" nor in ");
            err.text(g_fallbackFolder);
        }
        err.text("\n");
        return;
    }
    const Out out{fd};
    out.text("Vantora crash report\n");
    out.text("signal: ");
    out.number(unsigned(sig));
    out.text(" (");
    out.text(signalName(sig));
    out.text(")\n");
    out.text("code: ");
    out.number(info ? unsigned(info->si_code) : 0u);
    // kill() or sigqueue() from elsewhere carries no fault address worth showing.
    if (info && info->si_code <= 0 && info->si_pid != ::getpid()) {
        out.text("\nsent by process ");
        out.number(unsigned(info->si_pid));
    } else {
        out.text("\nfault address: 0x");
        out.number(info ? reinterpret_cast<unsigned long long>(info->si_addr) : 0ull, 16);
    }
    out.text("\nprocess: ");
    out.number(unsigned(::getpid()));
    out.text("\nthread: ");
    out.number(static_cast<unsigned long long>(::syscall(SYS_gettid)));
    out.text("\nbacktrace:\n");
    void *frames[kMaxFrames];
    const int count = ::backtrace(frames, kMaxFrames);
    ::backtrace_symbols_fd(frames, count, fd);
    // Lets a reader tell a whole report from one cut short.
    out.text("end of report\n");
    ::fsync(fd);
    ::close(fd);
    err.text("Vantora crashed; the crash report is ");
    err.text(path);
    err.text(path[0] == '/' ? "\n" : " in the working directory\n");
}

void crashHandler(int sig, siginfo_t *info, void *)
{
    const long self = long(::syscall(SYS_gettid));
    long writer = 0;
    if (g_reportingThread.compare_exchange_strong(writer, self)) {
        if (!debuggerAttached())
            writeReport(sig, info);
        g_reportDone.store(true);
    } else if (writer != self) {
        // Another thread is writing the report; ending the process now would
        // cut it short, so give it a moment to finish.
        for (int waited = 0; waited < kWaitForReportMs && !g_reportDone.load(); waited += 10) {
            struct timespec pause = {0, 10 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
    // A fault inside the handler itself goes straight to the default action.
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof(dfl));
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    // The signal is blocked while the handler runs; it is delivered with the
    // default action as soon as we return.
    ::raise(sig);
}

} // namespace

void formatCrashFileName(long long epochSeconds, int milliseconds, long utcOffsetSeconds, char *out)
{
    long long t = epochSeconds + utcOffsetSeconds;
    long long days = t / 86400;
    long long secs = t % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long year = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    if (month <= 2)
        ++year;

    char *p = out;
    const int y = int(year % 10000);
    *p++ = char('0' + y / 1000);
    *p++ = char('0' + (y / 100) % 10);
    put2(p, y % 100);
    *p++ = '-';
    put2(p, month);
    *p++ = '-';
    put2(p, day);
    *p++ = '-';
    put2(p, int(secs / 3600));
    *p++ = '-';
    put2(p, int((secs / 60) % 60));
    *p++ = '-';
    put2(p, int(secs % 60));
    *p++ = '-';
    *p++ = char('0' + (milliseconds / 100) % 10);
    put2(p, milliseconds % 100);
    std::memcpy(p, ".dmp", 5);
}

namespace {

// Owns a thread's alternate signal stack and hands it back when the thread ends,
// so threads started and stopped again and again (a port's reader) do not pile up stacks.
struct AlternateStack
{
    void *memory = nullptr;

    ~AlternateStack()
    {
        if (!memory)
            return;
        stack_t off;
        std::memset(&off, 0, sizeof(off));
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        std::free(memory);
    }
};

} // namespace

void setCrashReportFallbackFolder(const char *path)
{
    const size_t length = path ? std::strlen(path) : 0;
    if (length >= kMaxFolder)
        return;
    std::memcpy(g_fallbackFolder, path ? path : "", length + 1);
}

void installCrashStackForThisThread()
{
    stack_t current;
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return;
    static thread_local AlternateStack owner;
    const size_t size = size_t(SIGSTKSZ) < 65536 ? 65536 : size_t(SIGSTKSZ);
    void *memory = std::malloc(size);
    if (!memory)
        return;
    stack_t stack;
    std::memset(&stack, 0, sizeof(stack));
    stack.ss_sp = memory;
    stack.ss_size = size;
    if (::sigaltstack(&stack, nullptr) != 0) {
        std::free(memory);
        return;
    }
    owner.memory = memory;
}

void installCrashHandler()
{
    if (g_installed.exchange(true))
        return;

    // The first backtrace() loads the unwinder; doing it here keeps malloc and
    // dlopen out of the handler.
    void *warmUp[4];
    ::backtrace(warmUp, 4);

    const std::time_t now = std::time(nullptr);
    struct tm local;
    if (::localtime_r(&now, &local))
        g_utcOffset = local.tm_gmtoff;

    installCrashStackForThisThread();

    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_sigaction = crashHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
}

} // namespace Platform
