#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace botarena {

/// The longest client name a handshake may declare. [Units: bytes]
constexpr std::uint32_t kMaxClientNameBytes = 256;

/// Checks the opening bytes of a connection byte for byte, as they arrive in any pieces:
/// magic "QTMX", protocol version 1, a name of 1 to 256 bytes, then the interface code this
/// port serves. It stops at the first wrong field, without waiting for the rest.
class HandshakeValidator {
  public:
    enum class Status { NeedMore, Accepted, Rejected };

    /// `interfaceCode`: 4 on the robot port, 1 on the drawing port.
    explicit HandshakeValidator(std::int32_t interfaceCode) : interfaceCode(interfaceCode) {}

    /// Takes bytes up to the end of the handshake and no further; `consumed` tells how many,
    /// so the caller can hand the rest to the frame reader. After Accepted or Rejected it
    /// takes nothing more.
    Status Feed(const std::uint8_t* data, std::size_t size, std::size_t& consumed);

    Status Current() const { return status; }
    /// Whether some but not all of the handshake has arrived.
    bool HasPartial() const { return status == Status::NeedMore && !held.empty(); }
    /// The client name, once accepted.
    const std::string& ClientName() const { return clientName; }
    /// Why it was rejected, naming the offending value.
    const std::string& Reason() const { return reason; }

  private:
    /// Checks the field that the byte just taken completed; false after a rejection.
    bool CheckCompletedField();
    void Reject(std::string why);

    std::int32_t interfaceCode;
    Status status = Status::NeedMore;
    std::vector<std::uint8_t> held; ///< never more than 16 + kMaxClientNameBytes bytes
    std::uint32_t nameLength = 0;
    std::string clientName;
    std::string reason;
};

} // namespace botarena
