#include "platform/ipv4_address.h"

#include <cstddef>
#include <cstring>

namespace botpilot {

namespace {

/// Reads one part of an address from `at`: hex after 0x, octal after a leading 0, decimal
/// otherwise. Nothing when no digit follows or the value passes 32 bits.
std::optional<std::uint32_t> ReadPart(const std::string& text, std::size_t& at) {
    unsigned base = 10;
    if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        base = 16;
        at += 2;
    } else if (at < text.size() && text[at] == '0') {
        base = 8;
    }
    const std::size_t start = at;
    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a') + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A') + 10;
        } else {
            break;
        }
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    if (at == start) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::optional<Ipv4Address> ParseDottedIpv4(const std::string& host) {
    std::uint32_t parts[4] = {};
    std::size_t count = 0;
    std::size_t at = 0;
    for (;;) {
        if (count == 4) {
            return std::nullopt;
        }
        const auto part = ReadPart(host, at);
        if (!part) {
            return std::nullopt;
        }
        parts[count++] = *part;
        if (at == host.size()) {
            break;
        }
        if (host[at] != '.') {
            return std::nullopt;
        }
        ++at;
    }
    // Every part but the last is one byte; the last fills the bytes that remain.
    std::uint32_t value = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFFu) {
            return std::nullopt;
        }
        value |= parts[i] << (8 * (3 - i));
    }
    const unsigned lastBits = 8 * static_cast<unsigned>(5 - count);
    if (lastBits < 32 && parts[count - 1] >> lastBits != 0) {
        return std::nullopt;
    }
    value |= parts[count - 1];
    // Network order is the bytes most significant first, as they lie in memory.
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    Ipv4Address address;
    std::memcpy(&address.networkOrder, bytes, sizeof bytes);
    return address;
}

} // namespace botpilot
