#include "platform/wait_ready.h"

namespace botpilot {

std::optional<IoResult> WaitToTransfer(SocketHandle socket, WaitFor what,
                                       const Deadline& deadline) {
    switch (WaitReady(socket, what, deadline)) {
    case WaitResult::TimedOut:
        return IoResult{IoStatus::TimedOut, 0};
    case WaitResult::Failed:
        return IoResult{IoStatus::Failed, 0};
    case WaitResult::Ready:
        break;
    }
    return std::nullopt;
}

} // namespace botpilot
