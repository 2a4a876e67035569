#include "bench/loopback_server.h"

#include "wire/frame.h"

namespace botpilot::bench {

namespace {

/// Message types above this get an empty reply (none is sent by the robot).
constexpr std::int32_t kLastMessageType = 29;

std::vector<std::vector<std::uint8_t>> BuildReplyFrames(const BenchWorld& world) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::int32_t type = 0; type <= kLastMessageType; ++type) {
        frames.push_back(BuildReplyFrame(testing::WorldReply(type, world)));
    }
    return frames;
}

} // namespace

LoopbackServer::LoopbackServer(const BenchWorld& world)
    : replyFrames(BuildReplyFrames(world)),
      server(TcpListener::Listen("127.0.0.1", 0),
             [this](std::int32_t type, const std::vector<std::uint8_t>&,
                    std::vector<std::uint8_t>& reply) {
                 const bool known = type >= 0 && type <= kLastMessageType;
                 // The connection keeps its reply buffer, so this copy allocates nothing.
                 reply = replyFrames[known ? static_cast<std::size_t>(type) : 0];
             }) {}

} // namespace botpilot::bench
