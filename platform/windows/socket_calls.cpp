#include "platform/socket_calls.h"

#include "platform/wait_ready.h"

#include <cstdlib>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace botpilot {

namespace {

SOCKET NativeOf(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

/// The peer is gone: reset, aborted, or this side already shut down.
bool PeerGone(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN ||
           error == WSAENETRESET;
}

/// A call on a non-blocking socket that has to wait for the socket to be ready.
bool MustWait(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

/// One call moves at most what an int counts.
int Chunk(std::size_t size) {
    return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
}

} // namespace

IoResult SendOn(SocketHandle socket, const std::uint8_t* data, std::size_t size,
                const Deadline& deadline) {
    // As elsewhere, the send is tried before any wait, since the buffer nearly always has room.
    // Windows raises no signal on a closed connection.
    for (;;) {
        const int sent =
            send(NativeOf(socket), reinterpret_cast<const char*>(data), Chunk(size), 0);
        if (sent > 0) {
            return {IoStatus::Ok, static_cast<std::size_t>(sent)};
        }
        const int error = sent < 0 ? WSAGetLastError() : 0;
        if (sent < 0 && MustWait(error)) {
            if (const std::optional<IoResult> notReady =
                    WaitToTransfer(socket, WaitFor::Write, deadline)) {
                return *notReady;
            }
            continue;
        }
        return {PeerGone(error) ? IoStatus::Closed : IoStatus::Failed, 0};
    }
}

IoResult ReceiveOn(SocketHandle socket, std::uint8_t* data, std::size_t capacity,
                   const Deadline& deadline) {
    for (;;) {
        if (const std::optional<IoResult> notReady =
                WaitToTransfer(socket, WaitFor::Read, deadline)) {
            return *notReady;
        }
        const int received =
            recv(NativeOf(socket), reinterpret_cast<char*>(data), Chunk(capacity), 0);
        if (received > 0) {
            return {IoStatus::Ok, static_cast<std::size_t>(received)};
        }
        if (received == 0) {
            return {IoStatus::Closed, 0};
        }
        const int error = WSAGetLastError();
        if (MustWait(error)) {
            continue;
        }
        return {PeerGone(error) ? IoStatus::Closed : IoStatus::Failed, 0};
    }
}

void ShutdownSending(SocketHandle socket) {
    shutdown(NativeOf(socket), SD_SEND);
}

void CloseSocket(SocketHandle socket) {
    closesocket(NativeOf(socket));
}

void AllowPortReuse(SocketHandle socket) {
    // Windows' SO_REUSEADDR would let a second listener take the port outright; its lingering
    // connections never hold a port against a new listener there, and exclusive use refuses
    // the second.
    const BOOL yes = TRUE;
    setsockopt(NativeOf(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&yes), sizeof yes);
}

bool EndpointOf(SocketHandle socket, bool peer, std::string& address, int& port) {
    sockaddr_storage endpoint{};
    int length = sizeof endpoint;
    auto* raw = reinterpret_cast<sockaddr*>(&endpoint);
    const int asked = peer ? getpeername(NativeOf(socket), raw, &length)
                           : getsockname(NativeOf(socket), raw, &length);
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
