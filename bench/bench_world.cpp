#include "bench/bench_world.h"

#include "link/controller_message.h"

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

Message WorldReply(std::int32_t type, const BenchWorld& world) {
    Message reply;
    if (static_cast<ControllerMessage>(type) == ControllerMessage::GetPlayingFieldSize) {
        reply.AddDouble(world.xSize);
        reply.AddDouble(world.ySize);
        return reply;
    }
    reply.AddString("");
    switch (static_cast<ControllerMessage>(type)) {
    case ControllerMessage::GetRobotId:
        reply.AddInt(1);
        break;
    case ControllerMessage::GetPosition:
        reply.AddDouble(world.x);
        reply.AddDouble(world.y);
        break;
    case ControllerMessage::GetOrientation:
        reply.AddDouble(world.heading);
        break;
    case ControllerMessage::GetScannerOrientation:
    case ControllerMessage::GetTurretOrientation:
        reply.AddDouble(0.0);
        break;
    case ControllerMessage::GetGunCharge:
        reply.AddDouble(world.gunCharge);
        break;
    case ControllerMessage::FireGun:
        reply.AddInt(world.fireResult);
        break;
    case ControllerMessage::GetSeenRobots:
        reply.AddInt(static_cast<std::int32_t>(world.robots.size()));
        for (const RobotSighting& robot : world.robots) {
            reply.AddInt(robot.id);
            reply.AddDouble(robot.x);
            reply.AddDouble(robot.y);
            reply.AddDouble(robot.orientation);
            reply.AddString(robot.type);
            reply.AddString(robot.name);
        }
        break;
    case ControllerMessage::GetSeenObjects:
        reply.AddInt(static_cast<std::int32_t>(world.objects.size()));
        for (const ObjectSighting& object : world.objects) {
            reply.AddInt(object.id);
            reply.AddDouble(object.x);
            reply.AddDouble(object.y);
        }
        break;
    default:
        break; // settings and configuration: the empty error text is the whole reply
    }
    return reply;
}

WorldChannel::WorldChannel(const BenchWorld& world) {
    constexpr std::int32_t kTypes = 30; // the robot connection's types run from 1 to 29
    for (std::int32_t type = 0; type < kTypes; ++type) {
        replies.push_back(WorldReply(type, world));
    }
}

Message WorldChannel::Exchange(std::int32_t messageType, const Message& /*request*/) {
    return replies.at(static_cast<std::size_t>(messageType));
}

} // namespace botpilot::bench
