#pragma once

#include "platform/steady_time.h"

#include <cstddef>
#include <cstdint>

namespace botpilot {

/// How one send or receive call on a stream ended.
enum class IoStatus {
    Ok,       ///< some bytes moved
    Closed,   ///< the peer closed its side (a receive returned no bytes, or a send hit a reset)
    Failed,   ///< the call reported an error
    TimedOut, ///< the deadline passed before the stream was ready
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    std::size_t bytes = 0; ///< bytes moved when status is Ok (at least 1)
};

/// A two-way byte stream, the seam between the wire format and the sockets: tests and fuzzers
/// replace the socket with a scripted stream.
class ByteStream {
  public:
    virtual ~ByteStream() = default;

    /// Sends at least one and at most `size` bytes, waiting until the deadline for room.
    virtual IoResult SendSome(const std::uint8_t* data, std::size_t size,
                              const Deadline& deadline) = 0;

    /// Receives at least one and at most `capacity` bytes, waiting until the deadline for them.
    virtual IoResult ReceiveSome(std::uint8_t* data, std::size_t capacity,
                                 const Deadline& deadline) = 0;
};

} // namespace botpilot
