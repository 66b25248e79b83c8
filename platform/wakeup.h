#pragma once

namespace Platform {

// A descriptor another thread can make readable, so a thread asleep in
// poll() wakes at once instead of looking up every few milliseconds.
class WakeUp
{
public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp &) = delete;
    WakeUp &operator=(const WakeUp &) = delete;

    bool isValid() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    // Any thread; wakes the sleeper, or its next poll when none sleeps yet.
    void wake();
    // Forgets the wake-ups so far.
    void clear();
    // Sleeps up to timeoutMs; true when woken (the wake-up is kept, not cleared).
    bool wait(int timeoutMs) const;

private:
    int m_fd = -1;
};

} // namespace Platform
