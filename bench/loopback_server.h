#pragma once

#include "bench/bench_world.h"
#include "tests/support/frame_server.h"

#include <cstdint>
#include <vector>

namespace botpilot::bench {

/// A minimal simulation server on 127.0.0.1 for the cycle benchmark: it accepts the handshake
/// and answers every request with the reply frame of a fixed world, built once per message type,
/// so that its own cost per exchange is as small and as constant as a server's can be. Each
/// connection is served on a thread of its own until the client closes it.
class LoopbackServer {
  public:
    explicit LoopbackServer(const BenchWorld& world);

    std::uint16_t Port() const { return server.Port(); }

  private:
    std::vector<std::vector<std::uint8_t>> replyFrames; // by message type
    testing::FrameServer server;                        // last: it serves replyFrames
};

} // namespace botpilot::bench
