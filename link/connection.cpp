#include "link/connection.h"

#include "wire/frame.h"
#include "wire/little_endian.h"

#include <cstddef>
#include <stdexcept>
#include <utility>

namespace botpilot {

namespace {

/// The client reads greedily in blocks of this size. [Units: bytes]
constexpr std::size_t kReceiveBlockBytes = 1024;

Ipv4Address ResolveHost(const std::string& host) {
    if (const auto dotted = ParseDottedIpv4(host)) {
        return *dotted;
    }
    if (const auto resolved = ResolveIpv4(host)) {
        return *resolved;
    }
    throw std::runtime_error("Unable to resolve hostname '" + host + "'");
}

} // namespace

Connection::Connection(std::string name, std::int32_t interfaceCode, ConnectionTimeouts timeouts)
    : name(std::move(name)), interfaceCode(interfaceCode), timeouts(timeouts) {}

void Connection::Connect(const std::string& host, std::int32_t port) {
    const Ipv4Address address = ResolveHost(host);
    if (!socket.Open()) {
        throw std::runtime_error("Unable to create socket");
    }
    const auto portNumber = static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFFu);
    if (!socket.Connect(address, portNumber, Deadline::After(timeouts.connectSeconds))) {
        socket.Close();
        throw ConnectError(host, portNumber);
    }

    const Deadline handshakeDeadline = Deadline::After(timeouts.handshakeSeconds);
    SendAll(socket, BuildHandshake(name, interfaceCode), handshakeDeadline,
            "Error sending initial message to server");
    std::uint8_t answer = 0;
    const IoResult received = socket.ReceiveSome(&answer, 1, handshakeDeadline);
    if (received.status != IoStatus::Ok) {
        throw std::runtime_error("Server rejected connection");
    }
    if (answer != kHandshakeAccepted) {
        throw std::runtime_error("Unexpected server response");
    }
}

Message Connection::Exchange(std::int32_t messageType, const Message& request) {
    Message reply;
    ExchangeInto(messageType, request, reply);
    return reply;
}

void Connection::ExchangeInto(std::int32_t messageType, const Message& request, Message& reply) {
    const std::lock_guard<std::mutex> hold(exchangeLock);
    frameBuffer.clear();
    AppendRequestFrame(frameBuffer, messageType, request);
    SendAll(socket, frameBuffer, Deadline::After(timeouts.replySeconds),
            "Error sending message to server");
    ReceiveReply(socket, Deadline::After(timeouts.replySeconds), replyBuffer, reply);
}

void SendAll(ByteStream& stream, const std::vector<std::uint8_t>& bytes, const Deadline& deadline,
             const char* errorText) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const IoResult result = stream.SendSome(bytes.data() + sent, bytes.size() - sent, deadline);
        if (result.status != IoStatus::Ok) {
            throw std::runtime_error(errorText);
        }
        sent += result.bytes;
    }
}

Message ReceiveReply(ByteStream& stream, const Deadline& deadline) {
    std::vector<std::uint8_t> held;
    Message reply;
    ReceiveReply(stream, deadline, held, reply);
    return reply;
}

void ReceiveReply(ByteStream& stream, const Deadline& deadline, std::vector<std::uint8_t>& held,
                  Message& reply) {
    // A hostile server may have made the last reply huge and then failed it: its storage is not
    // kept for the rest of the run.
    if (held.capacity() > kKeptReplyBytes) {
        std::vector<std::uint8_t>().swap(held);
    }
    // `held` is storage only: it grows to what the largest reply needed and is never cleared, so
    // that a reply of the usual size is gathered without allocating or zeroing anything.
    // `received` counts the bytes of this reply.
    std::size_t received = 0;
    for (;;) {
        if (held.size() < received + kReceiveBlockBytes) {
            held.resize(received + kReceiveBlockBytes);
        }
        const IoResult result =
            stream.ReceiveSome(held.data() + received, kReceiveBlockBytes, deadline);
        if (result.status != IoStatus::Ok) {
            throw std::runtime_error("Error receiving response from server");
        }
        received += result.bytes;
        if (received < kReplyHeaderBytes) {
            continue;
        }
        const std::uint32_t declared = LoadUint32(held.data());
        const std::size_t frameBytes = static_cast<std::size_t>(declared) + kReplyHeaderBytes;
        if (declared > kMaxReplyPayloadBytes || received > frameBytes) {
            throw std::runtime_error("Unexpected server response");
        }
        if (received == frameBytes) {
            // Copied rather than handed over, so that `held` and the caller's reply both keep
            // their storage; a reply is small, and the copy costs less than an allocation.
            reply.Assign(held.data() + kReplyHeaderBytes, declared);
            if (held.capacity() > kKeptReplyBytes) {
                std::vector<std::uint8_t>().swap(held);
            }
            return;
        }
    }
}

} // namespace botpilot
