#include "arena/protocol/handshake_validator.h"

#include "wire/frame.h"
#include "wire/little_endian.h"

#include <cstdio>

namespace botarena {

namespace {

constexpr std::size_t kMagicBytes = 4;
constexpr std::size_t kVersionEnd = 8;
constexpr std::size_t kNameLengthEnd = 12;

} // namespace

HandshakeValidator::Status HandshakeValidator::Feed(const std::uint8_t* data, std::size_t size,
                                                    std::size_t& consumed) {
    consumed = 0;
    while (status == Status::NeedMore && consumed < size) {
        held.push_back(data[consumed++]);
        if (!CheckCompletedField()) {
            break;
        }
    }
    return status;
}

bool HandshakeValidator::CheckCompletedField() {
    const std::size_t count = held.size();
    if (count <= kMagicBytes) {
        const std::uint8_t expected =
            static_cast<std::uint8_t>(botpilot::kHandshakeMagic[count - 1]);
        if (held.back() != expected) {
            char text[80];
            std::snprintf(text, sizeof text, "Bad handshake magic byte 0x%02X at offset %zu",
                          static_cast<unsigned>(held.back()), count - 1);
            Reject(text);
            return false;
        }
        return true;
    }
    if (count == kVersionEnd) {
        const auto version = static_cast<std::int32_t>(botpilot::LoadUint32(held.data() + 4));
        if (version != botpilot::kProtocolVersion) {
            Reject("Handshake protocol version " + std::to_string(version) + ", expected " +
                   std::to_string(botpilot::kProtocolVersion));
            return false;
        }
        return true;
    }
    if (count == kNameLengthEnd) {
        nameLength = botpilot::LoadUint32(held.data() + 8);
        if (nameLength < 1 || nameLength > kMaxClientNameBytes) {
            Reject("Handshake name length " + std::to_string(nameLength) + " is outside 1 to " +
                   std::to_string(kMaxClientNameBytes));
            return false;
        }
        return true;
    }
    if (count == kNameLengthEnd + nameLength + 4 && nameLength > 0) {
        const auto code = static_cast<std::int32_t>(botpilot::LoadUint32(held.data() + count - 4));
        if (code != interfaceCode) {
            Reject("Handshake interface code " + std::to_string(code) + ", expected " +
                   std::to_string(interfaceCode) + " on this port");
            return false;
        }
        clientName.assign(held.begin() + kNameLengthEnd,
                          held.begin() + kNameLengthEnd + nameLength);
        status = Status::Accepted;
        held.clear();
        return false;
    }
    return true;
}

void HandshakeValidator::Reject(std::string why) {
    status = Status::Rejected;
    reason = std::move(why);
    held.clear();
}

} // namespace botarena
