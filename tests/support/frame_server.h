#pragma once

#include "platform/tcp_listener.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace botpilot::testing {

/// The server side of the wire for test doubles and benchmarks, with no test framework in it:
/// accepts connections on a listener, answers each handshake as accepted, then hands every
/// request frame to a handler and writes the reply bytes it leaves. Each connection is served on
/// a thread of its own until the client closes it or the server stops.
class FrameServer {
  public:
    /// Called on the connection's thread with one request; fills `reply` (a buffer the
    /// connection keeps, so that a steady exchange allocates nothing) with the whole reply frame.
    using Handler = std::function<void(std::int32_t type, const std::vector<std::uint8_t>& payload,
                                       std::vector<std::uint8_t>& reply)>;

    /// Serves `listener` (the server takes it) at once.
    FrameServer(TcpListener listener, Handler handler);
    ~FrameServer();
    FrameServer(const FrameServer&) = delete;
    FrameServer& operator=(const FrameServer&) = delete;

    std::uint16_t Port() const { return listener.Port(); }

    /// Stops accepting, ends every connection and waits for the threads; then closes the
    /// listener. Safe to call again.
    void Stop();

  private:
    void AcceptLoop();
    void Serve(TcpSocket client) const;

    TcpListener listener;
    Handler handler;
    std::atomic<bool> stopping{false};
    std::mutex threadsLock;
    std::vector<std::thread> threads; // the accept loop first, then one per connection
};

} // namespace botpilot::testing
