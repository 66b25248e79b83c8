#include "wakeup.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace Platform {

WakeUp::WakeUp() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeUp::~WakeUp()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeUp::wake()
{
    const uint64_t one = 1;
    while (m_fd >= 0 && ::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeUp::clear()
{
    uint64_t count = 0;
    while (m_fd >= 0 && ::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool WakeUp::wait(int timeoutMs) const
{
    if (m_fd < 0)
        return false;
    pollfd p {m_fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

} // namespace Platform
