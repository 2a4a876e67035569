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

[[noreturn]] void ThrowListenError(const std::string& address, std::uint16_t port,
                                   const char* step) {
    throw std::runtime_error("Unable to listen on " + address + ":" + std::to_string(port) + " (" +
                             step + ": " + std::strerror(errno) + ")");
}

} // namespace

TcpListener::~TcpListener() {
    Close();
}

TcpListener::TcpListener(TcpListener&& other) noexcept
    : descriptor(other.descriptor), port(other.port) {
    other.descriptor = -1;
}

TcpListener& TcpListener::operator=(TcpListener&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor = other.descriptor;
        port = other.port;
        other.descriptor = -1;
    }
    return *this;
}

TcpListener TcpListener::Listen(const std::string& address, std::uint16_t port) {
    const auto parsed = ParseDottedIpv4(address);
    if (!parsed) {
        throw std::runtime_error("Not a dotted IPv4 address: '" + address + "'");
    }
    TcpListener listener;
    listener.descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener.descriptor < 0) {
        ThrowListenError(address, port, "socket");
    }
    const int reuse = 1;
    setsockopt(listener.descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = parsed->networkOrder;
    if (bind(listener.descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ThrowListenError(address, port, "bind");
    }
    if (listen(listener.descriptor, SOMAXCONN) != 0) {
        ThrowListenError(address, port, "listen");
    }
    socklen_t length = sizeof local;
    if (getsockname(listener.descriptor, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        ThrowListenError(address, port, "getsockname");
    }
    listener.port = ntohs(local.sin_port);
    return listener;
}

std::optional<TcpSocket> TcpListener::Accept(const Deadline& deadline) {
    while (descriptor >= 0) {
        if (WaitReady(descriptor, WaitFor::Read, deadline) != WaitResult::Ready) {
            return std::nullopt;
        }
        const int client = accept4(descriptor, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
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
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
}

} // namespace botpilot
