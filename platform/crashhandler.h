#pragma once

namespace Platform {

// Installs a process-wide handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE and
// SIGABRT. On a fault it writes a text report (signal, fault address, thread,
// backtrace) to "YYYY-MM-DD-hh-mm-ss-mmm.dmp" (local time) in the current
// working directory, else in the fallback folder, and says on standard error
// where it is, unless a debugger is attached; then lets the signal take its
// default action. Call it first thing in main; later calls do nothing.
void installCrashHandler();

// Where the report goes when the working directory refuses it (the data
// folder). Call it once the folder is known; safe to call again.
void setCrashReportFallbackFolder(const char *path);

// Gives the calling thread its own alternate signal stack, so that a stack
// overflow on it can still be reported. installCrashHandler does this for the
// thread that calls it.
void installCrashStackForThisThread();

// Formats the report file name for a moment given as seconds since the epoch
// plus milliseconds, shifted by a UTC offset in seconds. Safe in a signal
// handler; `out` must hold 28 bytes. Exposed for tests.
void formatCrashFileName(long long epochSeconds, int milliseconds, long utcOffsetSeconds, char *out);

} // namespace Platform
