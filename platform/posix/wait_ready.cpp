#include "platform/wait_ready.h"

#include <cerrno>
#include <poll.h>

namespace botpilot {

WaitResult WaitReady(SocketHandle socket, WaitFor what, const Deadline& deadline) {
    pollfd entry{};
    entry.fd = static_cast<int>(socket);
    entry.events = what == WaitFor::Read ? POLLIN : POLLOUT;
    for (;;) {
        entry.revents = 0;
        const int ready = poll(&entry, 1, deadline.RemainingMilliseconds());
        if (ready > 0) {
            return WaitResult::Ready;
        }
        if (ready == 0) {
            return WaitResult::TimedOut;
        }
        if (errno != EINTR) {
            return WaitResult::Failed;
        }
    }
}

} // namespace botpilot
