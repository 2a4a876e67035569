#include "platform/wait_ready.h"

#include <winsock2.h>

namespace botpilot {

// select rather than WSAPoll: WSAPoll leaves a refused connect unreported on many versions of
// Windows (it waits out the whole deadline), while select names it in the exception set. With a
// single socket, select's set size is no limit.
WaitResult WaitReady(SocketHandle socket, WaitFor what, const Deadline& deadline) {
    const auto native = static_cast<SOCKET>(socket);
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(native, &ready);
    FD_SET(native, &failed);
    const int remaining = deadline.RemainingMilliseconds();
    timeval timeout{};
    timeout.tv_sec = remaining / 1000;
    timeout.tv_usec = (remaining % 1000) * 1000;
    // The first argument is ignored on Windows, and select is never interrupted by a signal.
    const int count = what == WaitFor::Read ? select(0, &ready, nullptr, &failed, &timeout)
                                            : select(0, nullptr, &ready, &failed, &timeout);
    if (count > 0) {
        return WaitResult::Ready;
    }
    return count == 0 ? WaitResult::TimedOut : WaitResult::Failed;
}

} // namespace botpilot
