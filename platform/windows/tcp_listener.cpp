#include "platform/tcp_listener.h"

#include "platform/wait_ready.h"
#include "platform/windows/system_error.h"

#include <stdexcept>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace botpilot {

namespace {

[[noreturn]] void ThrowSystemListenError(const std::string& address, std::uint16_t port,
                                         const char* step) {
    ThrowListenError(address, port, step, LastSocketErrorText());
}

SOCKET NativeOf(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

} // namespace

TcpListener TcpListener::Listen(const std::string& address, std::uint16_t port) {
    const auto parsed = ParseDottedIpv4(address);
    if (!parsed) {
        throw std::runtime_error("Not a dotted IPv4 address: '" + address + "'");
    }
    TcpListener listener;
    listener.library = std::make_unique<SocketLibrary>();
    const SOCKET native = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (native == INVALID_SOCKET) {
        ThrowSystemListenError(address, port, "socket");
    }
    listener.handle = static_cast<SocketHandle>(native);
    // Windows' SO_REUSEADDR would let another program take the port from under us; the
    // exclusive option is the safe counterpart, and a closed port is free again at once anyway.
    const BOOL exclusive = TRUE;
    setsockopt(native, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    u_long nonBlocking = 1;
    if (ioctlsocket(native, FIONBIO, &nonBlocking) != 0) {
        ThrowSystemListenError(address, port, "ioctlsocket");
    }

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = parsed->networkOrder;
    if (bind(native, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ThrowSystemListenError(address, port, "bind");
    }
    if (listen(native, SOMAXCONN) != 0) {
        ThrowSystemListenError(address, port, "listen");
    }
    int length = sizeof local;
    if (getsockname(native, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
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
        const SOCKET client = accept(NativeOf(handle), nullptr, nullptr);
        if (client != INVALID_SOCKET) {
            // An accepted socket inherits the listener's non-blocking mode, as the sockets a
            // client connects keep theirs; every transfer waits through select first.
            SetHandleInformation(reinterpret_cast<HANDLE>(client), HANDLE_FLAG_INHERIT, 0);
            u_long nonBlocking = 1;
            ioctlsocket(client, FIONBIO, &nonBlocking);
            const BOOL noDelay = TRUE;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                       sizeof noDelay);
            return TcpSocket(static_cast<SocketHandle>(client));
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAEINTR && error != WSAECONNRESET) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void TcpListener::Close() {
    if (handle != kNoSocket) {
        closesocket(NativeOf(handle));
        handle = kNoSocket;
    }
    library.reset();
}

} // namespace botpilot
