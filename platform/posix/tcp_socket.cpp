#include "platform/tcp_socket.h"

#include "platform/socket_calls.h"
#include "platform/wait_ready.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace botpilot {

namespace {

int DescriptorOf(SocketHandle handle) {
    return static_cast<int>(handle);
}

} // namespace

std::optional<Ipv4Address> ResolveIpv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0 || results == nullptr) {
        return std::nullopt;
    }
    const auto* first = reinterpret_cast<const sockaddr_in*>(results->ai_addr);
    const Ipv4Address address{first->sin_addr.s_addr};
    freeaddrinfo(results);
    return address;
}

bool TcpSocket::Open() {
    Close();
    const int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        return false;
    }
    handle = descriptor;
    return true;
}

bool TcpSocket::Connect(Ipv4Address address, std::uint16_t port, const Deadline& deadline) {
    if (!IsOpen()) {
        return false;
    }
    const int descriptor = DescriptorOf(handle);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address.networkOrder;

    // Connect without blocking so that the wait is bounded by the deadline, then go back to a
    // blocking socket: every later wait goes through poll anyway.
    const int flags = fcntl(descriptor, F_GETFL, 0);
    if (flags < 0 || fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0) {
        return false;
    }
    int result = connect(descriptor, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (result != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            return false;
        }
        if (WaitReady(handle, WaitFor::Write, deadline) != WaitResult::Ready) {
            return false;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return false;
        }
    }
    if (fcntl(descriptor, F_SETFL, flags) < 0) {
        return false;
    }
    const int noDelay = 1;
    setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    return true;
}

IoResult TcpSocket::SendSome(const std::uint8_t* data, std::size_t size, const Deadline& deadline) {
    return IsOpen() ? SendOn(handle, data, size, deadline) : IoResult{IoStatus::Failed, 0};
}

IoResult TcpSocket::ReceiveSome(std::uint8_t* data, std::size_t capacity,
                                const Deadline& deadline) {
    return IsOpen() ? ReceiveOn(handle, data, capacity, deadline) : IoResult{IoStatus::Failed, 0};
}

void TcpSocket::Close() {
    if (handle != kNoSocket) {
        shutdown(DescriptorOf(handle), SHUT_RDWR);
        close(DescriptorOf(handle));
        handle = kNoSocket;
    }
}

} // namespace botpilot
