#pragma once

#include "link/controller.h"
#include "tests/support/frame_server.h"
#include "tests/support/world_reply.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace botpilot::testing {

/// One decoded value of a request.
using WireValue = std::variant<std::int32_t, double, std::string>;

/// A request as the server saw it: its type, the connection it came on, and its values.
struct RecordedRequest {
    bool drawing = false; ///< came on the drawing connection (port plus 1)
    std::int32_t type = 0;
    std::vector<WireValue> values;
};

/// A scripted simulation server on 127.0.0.1 for tests: robot connections on Port() and drawing
/// connections on Port() + 1, both ports chosen free by the system. It answers the handshake and
/// every request from a per-cycle world, can answer a request with an error text or with raw
/// bytes, and records every request it received. Each connection is served on its own thread.
class FakeRobotServer {
  public:
    using WorldScript = std::function<FakeWorld(int cycle)>;
    /// Raw bytes to send instead of the normal reply (nothing: reply normally).
    using Tamper = std::function<std::optional<std::vector<std::uint8_t>>(const RecordedRequest&)>;

    explicit FakeRobotServer(WorldScript world = [](int) { return FakeWorld(); });
    ~FakeRobotServer();
    FakeRobotServer(const FakeRobotServer&) = delete;
    FakeRobotServer& operator=(const FakeRobotServer&) = delete;

    std::uint16_t Port() const { return robotServer->Port(); }

    /// The next request of this type on a robot connection is answered with this error text.
    void FailNext(std::int32_t type, const std::string& errorText);
    void SetTamper(Tamper tamper);

    /// A copy of every request received so far, in arrival order.
    std::vector<RecordedRequest> Requests() const;
    /// The types of the robot connection's requests, in order.
    std::vector<std::int32_t> RobotRequestTypes() const;
    /// Waits (up to ten seconds) until at least `count` requests have arrived.
    bool WaitForRequests(std::size_t count) const;

    /// Closes the listeners and every connection, and waits for the threads.
    void Stop();

  private:
    void Handle(bool drawing, std::int32_t type, const std::vector<std::uint8_t>& payload,
                std::vector<std::uint8_t>& reply);
    std::vector<std::uint8_t> ReplyTo(const RecordedRequest& request);

    WorldScript world;

    mutable std::mutex lock;
    mutable std::condition_variable arrived;
    std::vector<RecordedRequest> requests;
    std::map<std::int32_t, std::string> pendingErrors;
    Tamper tamper;
    int cycle = 0;

    // Last, so that their threads, which use everything above, end first.
    std::unique_ptr<FrameServer> robotServer;
    std::unique_ptr<FrameServer> drawingServer;
};

/// The values of a payload, decoded by their tags (a broken payload ends the list early).
std::vector<WireValue> DecodeValues(const std::vector<std::uint8_t>& payload);

} // namespace botpilot::testing
