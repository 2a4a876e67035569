#pragma once

#include "link/message_channel.h"
#include "platform/byte_stream.h"
#include "platform/socket_library.h"
#include "platform/tcp_socket.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace botpilot {

/// "Unable to connect": nothing accepted the TCP connection in time. Carries where it was
/// tried, so that the entry can say so.
class ConnectError : public std::runtime_error {
  public:
    ConnectError(std::string host, std::uint16_t port)
        : std::runtime_error("Unable to connect"), host(std::move(host)), port(port) {}

    std::string host;
    std::uint16_t port;
};

/// How long each wait of a connection may last. [Units: s]
struct ConnectionTimeouts {
    /// From the start of the TCP connect to its completion.
    double connectSeconds = 5.0;
    /// From the handshake's sending to the server's answer byte.
    double handshakeSeconds = 10.0;
    /// From a request's sending to the last byte of its reply: one deadline per exchange, so a
    /// server that trickles bytes cannot stall the client for longer than this.
    double replySeconds = 10.0;
};

/// One TCP connection to the simulation server under one client name: the handshake that opens
/// it, then locked request/reply exchanges. Errors throw std::runtime_error with fixed texts.
class Connection final : public MessageChannel {
  public:
    /// No network traffic until Connect.
    Connection(std::string name, std::int32_t interfaceCode, ConnectionTimeouts timeouts = {});

    /// Resolves the host (a dotted IPv4 address first, a host name otherwise), connects and
    /// performs the handshake.
    void Connect(const std::string& host, std::int32_t port) override;

    /// One request and its reply, under the connection's lock.
    Message Exchange(std::int32_t messageType, const Message& request) override;
    /// The same into `reply`, whose storage is reused: a steady exchange allocates nothing.
    void ExchangeInto(std::int32_t messageType, const Message& request, Message& reply) override;

  private:
    std::string name;
    std::int32_t interfaceCode;
    ConnectionTimeouts timeouts;
    /// Started once for the connection's lifetime, and so before its socket and after it.
    SocketLibrary library;
    TcpSocket socket;
    std::mutex exchangeLock;
    /// The request frame being sent, kept between exchanges so that its storage is reused.
    std::vector<std::uint8_t> frameBuffer;
    /// Where a reply frame is gathered, kept likewise (see `ReceiveReply`).
    std::vector<std::uint8_t> replyBuffer;
};

/// Sends every byte, or throws std::runtime_error with `errorText`.
void SendAll(ByteStream& stream, const std::vector<std::uint8_t>& bytes, const Deadline& deadline,
             const char* errorText);

/// Gathers one reply frame from the stream, as the client always has: blocks of up to 1024 bytes,
/// until exactly the declared length has arrived. More bytes than declared, or a declared length
/// above kMaxReplyPayloadBytes, throw "Unexpected server response"; a closed or failed stream, or
/// the deadline passing first, throw "Error receiving response from server".
Message ReceiveReply(ByteStream& stream, const Deadline& deadline);

/// The same, gathering the frame in `held`, whose storage the caller keeps from one reply to the
/// next (whatever it holds is overwritten, and after a reply larger than kKeptReplyBytes, or
/// before the next one when such a reply failed, it is released rather than kept), and copying
/// the payload into `reply`, read from the start, so that the caller's storage is reused too. On
/// an error `reply` is left as it was.
void ReceiveReply(ByteStream& stream, const Deadline& deadline, std::vector<std::uint8_t>& held,
                  Message& reply);

/// The largest reply frame whose storage `ReceiveReply` keeps for the next. [Units: bytes]
constexpr std::size_t kKeptReplyBytes = 64 * 1024;

} // namespace botpilot
