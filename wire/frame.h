#pragma once

#include "wire/message.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace botpilot {

// The frames in which payloads travel after the handshake:
//   request (client to server): message type (int32), payload length (uint32), payload;
//   reply (server to client):   payload length (uint32), payload.
// A reply carries no type: it answers the one request before it on the same connection.

constexpr std::size_t kRequestHeaderBytes = 8;
constexpr std::size_t kReplyHeaderBytes = 4;

/// A reply may declare at most this many payload bytes; no real reply comes near it, and a
/// larger declaration is taken as a broken server rather than a reason to gather memory.
/// [Units: bytes]
constexpr std::uint32_t kMaxReplyPayloadBytes = 16u * 1024u * 1024u;

/// The opening of every connection: magic "QTMX", protocol version 1, name length, name,
/// interface code. The server answers with one byte, kHandshakeAccepted when it accepts.
constexpr char kHandshakeMagic[4] = {'Q', 'T', 'M', 'X'};
constexpr std::int32_t kProtocolVersion = 1;
constexpr std::uint8_t kHandshakeAccepted = 1;

std::vector<std::uint8_t> BuildHandshake(const std::string& clientName, std::int32_t interfaceCode);

/// The request frame in one contiguous buffer.
std::vector<std::uint8_t> BuildRequestFrame(std::int32_t messageType, const Message& request);
/// The request frame appended to `frame`, so that a connection can reuse one buffer.
void AppendRequestFrame(std::vector<std::uint8_t>& frame, std::int32_t messageType,
                        const Message& request);

/// The reply frame in one contiguous buffer (used by servers and their test doubles).
std::vector<std::uint8_t> BuildReplyFrame(const Message& reply);

} // namespace botpilot
