#pragma once

// The fixed worlds of the benchmarks, and the server's side of the conversation about them: the
// reply to every request the driven robot sends, the same in every cycle.

#include "link/controller.h"
#include "link/message_channel.h"
#include "tests/support/world_reply.h"
#include "wire/message.h"

#include <cstdint>
#include <string>
#include <vector>

namespace botpilot::bench {

/// What the server tells the robot, in every cycle alike, under a name for the reports.
struct BenchWorld : testing::FakeWorld {
    std::string name;
};

/// The driven robot in mid-field with 2 robots and 4 shells in view, one shell close enough that
/// it evades: the terrain rover's 72 paths on a terrain summing walls, robots and shells.
BenchWorld BusyWorld();
/// Nothing in view: the robot roves and looks ahead.
BenchWorld QuietWorld();
/// A robot close ahead and a charged gun: the robot shoots whenever the charge allows.
BenchWorld ShootingWorld();

/// A channel without a socket that answers every request from a fixed world, for the component
/// benchmarks. Replies are built once per type and copied out, as a connection builds a fresh
/// reply for each exchange.
class WorldChannel final : public MessageChannel {
  public:
    explicit WorldChannel(const BenchWorld& world);

    void Connect(const std::string&, std::int32_t) override {}
    Message Exchange(std::int32_t messageType, const Message& request) override;
    /// Copies into the caller's kept reply, as a connection does, so that the allocations
    /// counted are the cycle's own.
    void ExchangeInto(std::int32_t messageType, const Message& request, Message& reply) override;

  private:
    std::vector<Message> replies; // by message type
};

} // namespace botpilot::bench
