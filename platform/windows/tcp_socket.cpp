#include "platform/tcp_socket.h"

#include "platform/socket_calls.h"
#include "platform/wait_ready.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace botpilot {

namespace {

SOCKET NativeOf(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

} // namespace

std::optional<Ipv4Address> ResolveIpv4(const std::string& host) {
    // Windows' resolver reads an empty name as this machine; a host must be named, as elsewhere.
    if (host.empty()) {
        return std::nullopt;
    }
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
    // Not inherited: a child process must not keep the connection open after the client ends.
    const SOCKET created = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (created == INVALID_SOCKET) {
        return false;
    }
    handle = static_cast<SocketHandle>(created);
    return true;
}

bool TcpSocket::Connect(Ipv4Address address, std::uint16_t port, const Deadline& deadline) {
    if (!IsOpen()) {
        return false;
    }
    const SOCKET native = NativeOf(handle);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address.networkOrder;

    // The socket stays non-blocking for good: Windows has no per-call MSG_DONTWAIT, and every
    // transfer tries first and waits through select only when it would block.
    u_long nonBlocking = 1;
    if (ioctlsocket(native, FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    if (connect(native, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return false;
        }
        if (WaitReady(handle, WaitFor::Write, deadline) != WaitResult::Ready) {
            return false;
        }
        // A refused connect lands in select's exception set, which also counts as ready: the
        // socket's pending error tells the two apart.
        int error = 0;
        int length = sizeof error;
        if (getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) !=
                0 ||
            error != 0) {
            return false;
        }
    }
    const BOOL noDelay = TRUE;
    setsockopt(native, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
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
        shutdown(NativeOf(handle), SD_BOTH);
        closesocket(NativeOf(handle));
        handle = kNoSocket;
    }
}

} // namespace botpilot
