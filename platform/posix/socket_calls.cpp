#include "platform/socket_calls.h"

#include "platform/wait_ready.h"

#include <cerrno>
#include <cstdlib>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace botpilot {

namespace {

int DescriptorOf(SocketHandle handle) {
    return static_cast<int>(handle);
}

} // namespace

IoResult SendOn(SocketHandle socket, const std::uint8_t* data, std::size_t size,
                const Deadline& deadline) {
    // The send is tried before any wait: a request is small and the socket's buffer nearly
    // always has room for it, so polling first would cost a system call per request for nothing.
    // Only a full buffer (or an interrupted call) waits, for as long as the deadline allows; an
    // expired deadline still lets a send through that needs no wait, as a poll would.
    for (;;) {
        // MSG_NOSIGNAL: a send on a connection the peer has closed must fail with EPIPE rather
        // than kill the process with SIGPIPE.
        const ssize_t sent = send(DescriptorOf(socket), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            return {IoStatus::Ok, static_cast<std::size_t>(sent)};
        }
        if (sent < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const std::optional<IoResult> notReady =
                    WaitToTransfer(socket, WaitFor::Write, deadline)) {
                return *notReady;
            }
            continue;
        }
        if (sent < 0 && (errno == EPIPE || errno == ECONNRESET)) {
            return {IoStatus::Closed, 0};
        }
        return {IoStatus::Failed, 0};
    }
}

IoResult ReceiveOn(SocketHandle socket, std::uint8_t* data, std::size_t capacity,
                   const Deadline& deadline) {
    for (;;) {
        if (const std::optional<IoResult> notReady =
                WaitToTransfer(socket, WaitFor::Read, deadline)) {
            return *notReady;
        }
        const ssize_t received = recv(DescriptorOf(socket), data, capacity, MSG_DONTWAIT);
        if (received > 0) {
            return {IoStatus::Ok, static_cast<std::size_t>(received)};
        }
        if (received == 0) {
            return {IoStatus::Closed, 0};
        }
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
            continue;
        }
        return {errno == ECONNRESET ? IoStatus::Closed : IoStatus::Failed, 0};
    }
}

void ShutdownSending(SocketHandle socket) {
    shutdown(DescriptorOf(socket), SHUT_WR);
}

void CloseSocket(SocketHandle socket) {
    close(DescriptorOf(socket));
}

void AllowPortReuse(SocketHandle socket) {
    // SO_REUSEADDR alone: with SO_REUSEPORT as well, a second listener could share the port.
    const int yes = 1;
    setsockopt(DescriptorOf(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

bool EndpointOf(SocketHandle socket, bool peer, std::string& address, int& port) {
    sockaddr_storage endpoint{};
    socklen_t length = sizeof endpoint;
    auto* raw = reinterpret_cast<sockaddr*>(&endpoint);
    const int asked = peer ? getpeername(DescriptorOf(socket), raw, &length)
                           : getsockname(DescriptorOf(socket), raw, &length);
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (asked != 0 || getnameinfo(raw, length, host, sizeof host, service, sizeof service,
                                  NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return false;
    }
    address = host;
    port = std::atoi(service);
    return true;
}

} // namespace botpilot
