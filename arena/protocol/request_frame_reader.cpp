#include "arena/protocol/request_frame_reader.h"

#include "wire/frame.h"
#include "wire/little_endian.h"

#include <cstdio>

namespace botarena {

std::optional<std::string> RequestFrameReader::Feed(const std::uint8_t* data, std::size_t size,
                                                    std::vector<Request>& requests) {
    if (failed) {
        return std::string("Connection already failed");
    }
    pending.insert(pending.end(), data, data + size);
    std::size_t start = 0;
    std::optional<std::string> failure;
    while (pending.size() - start >= botpilot::kRequestHeaderBytes) {
        const std::uint8_t* header = pending.data() + start;
        const auto type = static_cast<std::int32_t>(botpilot::LoadUint32(header));
        const std::uint32_t length = botpilot::LoadUint32(header + 4);
        if (length > kMaxRequestPayloadBytes) {
            failure = "Request of type " + std::to_string(type) + " declares " +
                      std::to_string(length) + " payload bytes, over the limit of " +
                      std::to_string(kMaxRequestPayloadBytes);
            break;
        }
        const std::size_t frameBytes = botpilot::kRequestHeaderBytes + length;
        if (pending.size() - start < frameBytes) {
            break;
        }
        std::vector<std::uint8_t> payload(header + botpilot::kRequestHeaderBytes,
                                          header + frameBytes);
        start += frameBytes;
        if (auto shape = CheckPayloadShape(payload)) {
            failure = "Malformed request of type " + std::to_string(type) + ": " + *shape;
            break;
        }
        requests.push_back(Request{type, botpilot::Message(std::move(payload))});
    }
    if (failure) {
        failed = true;
        pending.clear();
        return failure;
    }
    // One erase per feed keeps a burst of small frames linear in its size.
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(start));
    return std::nullopt;
}

std::optional<std::string> CheckPayloadShape(const std::vector<std::uint8_t>& payload) {
    std::size_t at = 0;
    while (at < payload.size()) {
        const std::size_t valueStart = at;
        const std::uint8_t tag = payload[at++];
        std::size_t body = 0;
        switch (static_cast<botpilot::MessageValueTag>(tag)) {
        case botpilot::MessageValueTag::Integer:
            body = 4;
            break;
        case botpilot::MessageValueTag::Double:
            body = 8;
            break;
        case botpilot::MessageValueTag::String:
            if (payload.size() - at < 4) {
                body = 4;
                break;
            }
            body = 4 + static_cast<std::size_t>(botpilot::LoadUint32(payload.data() + at));
            break;
        default: {
            char text[80];
            std::snprintf(text, sizeof text, "unknown value tag 0x%02X at offset %zu",
                          static_cast<unsigned>(tag), valueStart);
            return std::string(text);
        }
        }
        if (payload.size() - at < body) {
            return "value at offset " + std::to_string(valueStart) + " runs past the end of the " +
                   std::to_string(payload.size()) + "-byte payload";
        }
        at += body;
    }
    return std::nullopt;
}

} // namespace botarena
