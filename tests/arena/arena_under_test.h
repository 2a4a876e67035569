#pragma once

#include "arena/arena_server.h"
#include "wire/message.h"

#include <asio.hpp>
#include <chrono>
#include <future>
#include <sstream>
#include <string>
#include <thread>

namespace botarena::testing {

/// Short enough for a test, long enough that a well-behaved exchange never trips it. [Units: s]
constexpr double kTestStallSeconds = 0.3;

/// An arena on 127.0.0.1 with OS-chosen ports, its event loop on a thread of its own. The
/// viewer is on (on an OS-chosen port) when the options ask for it.
/// The client's first danger-map cell as a DrawItem payload: id 1 at (-14.5, -9.5), a unit
/// square in red 101.
inline botpilot::Message FirstCellItem() {
    botpilot::Message item;
    item.AddInt(1);
    for (const double value : {-14.5, -9.5, 0.5, 0.5, 0.0}) {
        item.AddDouble(value);
    }
    for (const std::int32_t value : {8, 101, 0, 0}) {
        item.AddInt(value);
    }
    return item;
}

class ArenaUnderTest {
  public:
    explicit ArenaUnderTest(ArenaOptions options) : server(io, WithTestPorts(options), out, err) {
        server.Start();
        ended = finished.get_future();
        loop = std::thread([this] {
            io.run();
            finished.set_value();
        });
    }
    ~ArenaUnderTest() { Stop(); }
    ArenaUnderTest(const ArenaUnderTest&) = delete;
    ArenaUnderTest& operator=(const ArenaUnderTest&) = delete;

    std::uint16_t RobotPort() const { return server.RobotPort(); }
    std::uint16_t DrawingPort() const { return server.DrawingPort(); }
    std::uint16_t HttpPort() const { return server.HttpPort(); }

    /// Ends the battle and its grace from its own thread and waits for the loop to finish.
    void Stop() {
        if (loop.joinable()) {
            asio::post(io, [this] {
                server.Finish("test over");
                server.EndGrace();
            });
            loop.join();
        }
    }
    /// Waits for the battle to end by itself.
    bool WaitForEnd(double seconds) {
        if (ended.wait_for(std::chrono::duration<double>(seconds)) != std::future_status::ready) {
            return false;
        }
        loop.join();
        return true;
    }
    /// Only once stopped.
    const ArenaServer& Server() const { return server; }
    /// Standard output and the event log: only once stopped.
    std::string Out() const { return out.str(); }
    std::string Err() const { return err.str(); }

  private:
    static ArenaOptions WithTestPorts(ArenaOptions options) {
        options.port = 0;
        if (options.httpPort) {
            options.httpPort = 0;
        }
        options.stallSeconds = kTestStallSeconds;
        return options;
    }

    asio::io_context io;
    std::ostringstream out;
    std::ostringstream err;
    ArenaServer server;
    std::promise<void> finished;
    std::future<void> ended;
    std::thread loop;
};

} // namespace botarena::testing
