#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace botpilot {

/// The tag byte in front of every value of a message.
enum class MessageValueTag : std::uint8_t {
    Integer = 1, ///< 32-bit signed, little-endian: 5 bytes with the tag
    Double = 2,  ///< IEEE 754 binary64, little-endian: 9 bytes with the tag
    String = 3,  ///< 32-bit byte count, then the bytes, no terminator: 5 + N bytes
};

/// The storage a refilled message keeps for its next content: a client keeps one request and one
/// reply for good, and a huge reply from a misbehaving server must not stay with it. [Units: bytes]
constexpr std::size_t kKeptMessageBytes = 64 * 1024;

/// The payload of a request or a reply: tagged values back to back, and a read position.
/// Writers append at the end; readers decode at the read position and advance it. A failed read
/// throws std::runtime_error, and the message is then not read again. A message can be emptied
/// and filled again, reusing its storage.
class Message {
  public:
    Message() = default;
    /// A message over received bytes, read from the start.
    explicit Message(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}

    /// Replaces the content with a copy of `count` bytes at `first`, read from the start. The
    /// storage is reused when it is large enough.
    void Assign(const std::uint8_t* first, std::size_t count);
    /// Empties the message, read from the start. Its storage is kept for the next content unless
    /// it exceeds `keptBytes`, in which case it is released.
    void Clear(std::size_t keptBytes = kKeptMessageBytes) noexcept;
    /// The storage held for the content. [Units: bytes]
    std::size_t Capacity() const { return bytes.capacity(); }

    void AddInt(std::int32_t value);
    void AddDouble(double value);
    /// Throws std::length_error for a text longer than a 32-bit count can declare.
    void AddString(const std::string& value);

    std::int32_t ReadInt();
    double ReadDouble();
    std::string ReadString();

    const std::vector<std::uint8_t>& Bytes() const { return bytes; }
    std::size_t ReadPosition() const { return readPosition; }

  private:
    /// Checks and skips the tag of the next value; `mismatchText` is the error for another tag.
    void ReadTag(MessageValueTag expected, const char* mismatchText);
    /// Checks that `count` bytes remain after the read position.
    void RequireRemaining(std::size_t count) const;

    std::vector<std::uint8_t> bytes;
    std::size_t readPosition = 0;
};

} // namespace botpilot
