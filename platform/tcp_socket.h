#pragma once

#include "platform/byte_stream.h"
#include "platform/ipv4_address.h"
#include "platform/socket_handle.h"

#include <cstdint>

namespace botpilot {

/// One TCP socket, closed by its destructor. Sends never raise SIGPIPE, interrupted calls are
/// resumed and every wait is bounded by a deadline. The socket library must be started while it
/// is open (`SocketLibrary`).
class TcpSocket final : public ByteStream {
  public:
    TcpSocket() = default;
    ~TcpSocket() override;
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    /// Creates an IPv4 stream socket; false when the system refuses one.
    bool Open();

    /// Connects to the address and port; false on refusal or when the deadline passes first.
    /// Every connection sends small requests and waits for their replies, so Nagle's delay is
    /// switched off.
    bool Connect(Ipv4Address address, std::uint16_t port, const Deadline& deadline);

    /// Tries the send at once, and waits (until the deadline) only while the socket's buffer is
    /// full.
    IoResult SendSome(const std::uint8_t* data, std::size_t size,
                      const Deadline& deadline) override;
    IoResult ReceiveSome(std::uint8_t* data, std::size_t capacity,
                         const Deadline& deadline) override;

    /// Shuts both directions down and closes the socket; does nothing when it is not open.
    void Close();

    bool IsOpen() const { return handle != kNoSocket; }

  private:
    friend class TcpListener;
    explicit TcpSocket(SocketHandle handle) : handle(handle) {}

    SocketHandle handle = kNoSocket;
};

} // namespace botpilot
