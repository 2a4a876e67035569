#include "platform/tcp_listener.h"

#include "platform/wait_ready.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace botpilot {

namespace {

[[noreturn]] void ThrowSystemListenError(const std::string& address, std::uint16_t port,
                                         const char* step) {
    ThrowListenError(address, port, step, std::strerror(errno));
}

int DescriptorOf(SocketHandle handle) {
    return static_cast<int>(handle);
}

} // namespace

TcpListener TcpListener::Listen(const std::string& address, std::uint16_t port) {
    const auto parsed = ParseDottedIpv4(address);
    if (!parsed) {
        throw std::runtime_error("Not a dotted IPv4 address: '" + address + "'");
    }
    TcpListener listener;
    listener.library = std::make_unique<SocketLibrary>();
    const int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        ThrowSystemListenError(address, port, "socket");
    }
    listener.handle = descriptor;
    const int reuse = 1;
    setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = parsed->networkOrder;
    if (bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ThrowSystemListenError(address, port, "bind");
    }
    if (listen(descriptor, SOMAXCONN) != 0) {
        ThrowSystemListenError(address, port, "listen");
    }
    socklen_t length = sizeof local;
    if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        ThrowSystemListenError(address, port, "getsockname");
    }
    listener.port = ntohs(local.sin_port);
    return listener;
}

std::optional<TcpSocket> TcpListener::Accept(const Deadline& deadline) {
    while (handle != kNoSocket) {
        if (WaitReady(handle, WaitFor::Read, deadline) != WaitResult::Ready) {
            return std::nullopt;
        }
        const int client =
            accept4(DescriptorOf(handle), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client >= 0) {
            // Non-blocking is harmless here: every call on a TcpSocket waits through poll first.
            const int noDelay = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            return TcpSocket(client);
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNABORTED) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void TcpListener::Close() {
    if (handle != kNoSocket) {
        close(DescriptorOf(handle));
        handle = kNoSocket;
    }
    library.reset();
}

} // namespace botpilot
