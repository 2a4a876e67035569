#pragma once

#include <cstdint>
#include <vector>

namespace botpilot {

// The wire is little-endian whatever the host is.

inline void AppendUint32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

inline void AppendUint64(std::vector<std::uint8_t>& bytes, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

inline std::uint32_t LoadUint32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline std::uint64_t LoadUint64(const std::uint8_t* bytes) {
    return static_cast<std::uint64_t>(LoadUint32(bytes)) |
           static_cast<std::uint64_t>(LoadUint32(bytes + 4)) << 32;
}

} // namespace botpilot
