#include "bench/bench_world.h"

#include "wire/controller_message.h"

namespace botpilot::bench {

namespace {

constexpr double kPi = 3.141592653589793;

RobotSighting Seen(std::int32_t id, double x, double y, double orientation) {
    return RobotSighting{id, x, y, orientation, "Simple", "Nolix"};
}

} // namespace

BenchWorld BusyWorld() {
    BenchWorld world;
    world.name = "busy";
    world.heading = 0.3;
    // Neither robot lies within the gun's ±5 degrees, so the gun holds its fire.
    world.robots = {Seen(2, -6.0, 4.0, -0.5), Seen(3, 5.0, -5.0, 2.5)};
    // The first shell lies half a unit from the robot: the terrain under it is above 70.
    world.objects = {{20, 0.4, 0.3}, {21, -3.0, -6.0}, {22, 7.0, 2.0}, {23, -10.0, 7.0}};
    return world;
}

BenchWorld QuietWorld() {
    BenchWorld world;
    world.name = "quiet";
    return world;
}

BenchWorld ShootingWorld() {
    BenchWorld world;
    world.name = "shooting";
    world.robots = {Seen(5, 6.0, 0.2, kPi)};
    return world;
}

WorldChannel::WorldChannel(const BenchWorld& world) {
    constexpr std::int32_t kTypes = 30; // the robot connection's types run from 1 to 29
    for (std::int32_t type = 0; type < kTypes; ++type) {
        replies.push_back(testing::WorldReply(type, world));
    }
}

Message WorldChannel::Exchange(std::int32_t messageType, const Message& /*request*/) {
    return replies.at(static_cast<std::size_t>(messageType));
}

void WorldChannel::ExchangeInto(std::int32_t messageType, const Message& /*request*/,
                                Message& reply) {
    const std::vector<std::uint8_t>& bytes =
        replies.at(static_cast<std::size_t>(messageType)).Bytes();
    reply.Assign(bytes.data(), bytes.size());
}

} // namespace botpilot::bench
