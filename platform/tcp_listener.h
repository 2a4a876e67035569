#pragma once

#include "platform/socket_library.h"
#include "platform/tcp_socket.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace botpilot {

/// A listening TCP socket, for servers and for the test doubles of a server. It keeps the socket
/// library started for its lifetime, so the sockets it accepts must close before it goes.
class TcpListener {
  public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(TcpListener&& other) noexcept;
    TcpListener& operator=(TcpListener&& other) noexcept;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    /// Listens on the dotted IPv4 address and port; port 0 lets the system choose one.
    /// Throws std::runtime_error naming the address and the system's reason on failure.
    static TcpListener Listen(const std::string& address, std::uint16_t port);

    /// The port actually bound.
    std::uint16_t Port() const { return port; }

    /// Waits until the deadline for a client; nothing when the deadline passes first.
    std::optional<TcpSocket> Accept(const Deadline& deadline);

    /// Closes the socket, then lets the socket library go.
    void Close();

  private:
    std::unique_ptr<SocketLibrary> library; // started by Listen, before the socket is made
    SocketHandle handle = kNoSocket;
    std::uint16_t port = 0;
};

/// Throws std::runtime_error "Unable to listen on ADDRESS:PORT (STEP: REASON)", where STEP names
/// the system call that failed and REASON is the system's own text.
[[noreturn]] void ThrowListenError(const std::string& address, std::uint16_t port, const char* step,
                                   const std::string& reason);

} // namespace botpilot
