#include "wire/frame.h"

#include "wire/little_endian.h"

namespace botpilot {

std::vector<std::uint8_t> BuildHandshake(const std::string& clientName,
                                         std::int32_t interfaceCode) {
    std::vector<std::uint8_t> frame(std::begin(kHandshakeMagic), std::end(kHandshakeMagic));
    frame.reserve(16 + clientName.size());
    AppendUint32(frame, static_cast<std::uint32_t>(kProtocolVersion));
    AppendUint32(frame, static_cast<std::uint32_t>(clientName.size()));
    frame.insert(frame.end(), clientName.begin(), clientName.end());
    AppendUint32(frame, static_cast<std::uint32_t>(interfaceCode));
    return frame;
}

std::vector<std::uint8_t> BuildRequestFrame(std::int32_t messageType, const Message& request) {
    std::vector<std::uint8_t> frame;
    AppendRequestFrame(frame, messageType, request);
    return frame;
}

void AppendRequestFrame(std::vector<std::uint8_t>& frame, std::int32_t messageType,
                        const Message& request) {
    const std::vector<std::uint8_t>& payload = request.Bytes();
    frame.reserve(frame.size() + kRequestHeaderBytes + payload.size());
    AppendUint32(frame, static_cast<std::uint32_t>(messageType));
    AppendUint32(frame, static_cast<std::uint32_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
}

std::vector<std::uint8_t> BuildReplyFrame(const Message& reply) {
    const std::vector<std::uint8_t>& payload = reply.Bytes();
    std::vector<std::uint8_t> frame;
    frame.reserve(kReplyHeaderBytes + payload.size());
    AppendUint32(frame, static_cast<std::uint32_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

} // namespace botpilot
