#pragma once

#include "platform/tcp_socket.h"

#include <cstdint>
#include <optional>
#include <string>

namespace botpilot {

/// A listening TCP socket, for servers and for the test doubles of a server.
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

    void Close();

  private:
    int descriptor = -1;
    std::uint16_t port = 0;
};

} // namespace botpilot
