#include "wire/message.h"

#include "wire/little_endian.h"

#include <cstring>
#include <iterator>
#include <stdexcept>

namespace botpilot {

void Message::Assign(const std::uint8_t* first, std::size_t count) {
    bytes.assign(first, first + count);
    readPosition = 0;
}

void Message::Clear(std::size_t keptBytes) noexcept {
    if (bytes.capacity() > keptBytes) {
        std::vector<std::uint8_t>().swap(bytes);
    } else {
        bytes.clear();
    }
    readPosition = 0;
}

// Each value is appended with one insert, so that a small request costs one allocation rather
// than one per doubling of its buffer.

void Message::AddInt(std::int32_t value) {
    const auto raw = static_cast<std::uint32_t>(value);
    const std::uint8_t encoded[5] = {
        static_cast<std::uint8_t>(MessageValueTag::Integer), static_cast<std::uint8_t>(raw),
        static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw >> 16),
        static_cast<std::uint8_t>(raw >> 24)};
    bytes.insert(bytes.end(), std::begin(encoded), std::end(encoded));
}

void Message::AddDouble(double value) {
    static_assert(sizeof(double) == sizeof(std::uint64_t), "doubles travel as 64-bit IEEE 754");
    std::uint64_t raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    std::uint8_t encoded[9] = {static_cast<std::uint8_t>(MessageValueTag::Double)};
    for (int i = 0; i < 8; ++i) {
        encoded[1 + i] = static_cast<std::uint8_t>(raw >> (8 * i));
    }
    bytes.insert(bytes.end(), std::begin(encoded), std::end(encoded));
}

void Message::AddString(const std::string& value) {
    if (value.size() > INT32_MAX) {
        throw std::length_error("String of " + std::to_string(value.size()) +
                                " bytes is too long for a message");
    }
    bytes.reserve(bytes.size() + 5 + value.size());
    bytes.push_back(static_cast<std::uint8_t>(MessageValueTag::String));
    AppendUint32(bytes, static_cast<std::uint32_t>(value.size()));
    bytes.insert(bytes.end(), value.begin(), value.end());
}

std::int32_t Message::ReadInt() {
    ReadTag(MessageValueTag::Integer, "The next value in the message is not an integer");
    RequireRemaining(4);
    const auto value = static_cast<std::int32_t>(LoadUint32(bytes.data() + readPosition));
    readPosition += 4;
    return value;
}

double Message::ReadDouble() {
    ReadTag(MessageValueTag::Double, "The next value in the message is not a double");
    RequireRemaining(8);
    const std::uint64_t raw = LoadUint64(bytes.data() + readPosition);
    double value = 0.0;
    std::memcpy(&value, &raw, sizeof value);
    readPosition += 8;
    return value;
}

std::string Message::ReadString() {
    ReadTag(MessageValueTag::String, "The next value in the message is not a string");
    RequireRemaining(4);
    // The count is unsigned: a length with the top bit set is simply more than any message holds.
    const std::uint32_t length = LoadUint32(bytes.data() + readPosition);
    readPosition += 4;
    RequireRemaining(length);
    const auto* first = reinterpret_cast<const char*>(bytes.data() + readPosition);
    std::string value(first, length);
    readPosition += length;
    return value;
}

void Message::ReadTag(MessageValueTag expected, const char* mismatchText) {
    if (readPosition >= bytes.size()) {
        throw std::runtime_error("Reached end of message");
    }
    if (bytes[readPosition] != static_cast<std::uint8_t>(expected)) {
        throw std::runtime_error(mismatchText);
    }
    ++readPosition;
}

void Message::RequireRemaining(std::size_t count) const {
    if (bytes.size() - readPosition < count) {
        throw std::runtime_error("Unexpected end of message");
    }
}

} // namespace botpilot
