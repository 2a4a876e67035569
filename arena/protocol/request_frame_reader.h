#pragma once

#include "wire/message.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace botarena {

/// A request may declare at most this many payload bytes; more closes the connection rather
/// than gathering the memory. [Units: bytes]
constexpr std::uint32_t kMaxRequestPayloadBytes = 1024u * 1024u;

/// One request as it came off the wire: its type and its payload, read from the start.
struct Request {
    std::int32_t type = 0;
    botpilot::Message payload;
};

/// Cuts the byte stream after the handshake into request frames (type, length, payload),
/// whatever pieces the bytes arrive in. A payload must be a well-formed run of tagged values:
/// anything else is garbage, and so is a declared length over kMaxRequestPayloadBytes; either
/// ends the connection. Which values a request should hold is the request handler's business.
class RequestFrameReader {
  public:
    /// Takes the bytes and appends every request they complete to `requests`. Returns the
    /// reason to close the connection, or nothing. After a failure it takes nothing more.
    std::optional<std::string> Feed(const std::uint8_t* data, std::size_t size,
                                    std::vector<Request>& requests);

    /// Whether the bytes of an unfinished frame are waiting for the rest.
    bool HasPartial() const { return !pending.empty(); }

  private:
    std::vector<std::uint8_t> pending; ///< never more than one frame's bytes
    bool failed = false;
};

/// nothing when the payload is tagged values back to back, each whole; else what is wrong.
std::optional<std::string> CheckPayloadShape(const std::vector<std::uint8_t>& payload);

} // namespace botarena
