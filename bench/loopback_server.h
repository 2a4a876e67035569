#pragma once

#include "bench/bench_world.h"
#include "platform/tcp_listener.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace botpilot::bench {

/// A minimal simulation server on 127.0.0.1 for the cycle benchmark: it accepts the handshake
/// and answers every request with the reply frame of a fixed world, built once per message type,
/// so that its own cost per exchange is as small and as constant as a server's can be. Each
/// connection is served on a thread of its own until the client closes it.
class LoopbackServer {
  public:
    explicit LoopbackServer(const BenchWorld& world);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return listener.Port(); }

  private:
    void AcceptLoop();
    void Serve(TcpSocket client) const;

    std::vector<std::vector<std::uint8_t>> replyFrames; // by message type
    TcpListener listener;
    std::atomic<bool> stopping{false};
    std::mutex threadsLock;
    std::vector<std::thread> threads; // the accept loop first, then one per connection
};

} // namespace botpilot::bench
