#include "tests/support/world_reply.h"

#include "wire/controller_message.h"

namespace botpilot::testing {

Message WorldReply(std::int32_t type, const FakeWorld& world) {
    Message reply;
    if (static_cast<ControllerMessage>(type) == ControllerMessage::GetPlayingFieldSize) {
        reply.AddDouble(world.xSize);
        reply.AddDouble(world.ySize);
        return reply;
    }
    reply.AddString("");
    switch (static_cast<ControllerMessage>(type)) {
    case ControllerMessage::GetRobotId:
        reply.AddInt(world.robotId);
        break;
    case ControllerMessage::GetPosition:
        reply.AddDouble(world.x);
        reply.AddDouble(world.y);
        break;
    case ControllerMessage::GetOrientation:
        reply.AddDouble(world.heading);
        break;
    case ControllerMessage::GetScannerOrientation:
        reply.AddDouble(world.scannerOrientation);
        break;
    case ControllerMessage::GetTurretOrientation:
        reply.AddDouble(world.turretOrientation);
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
        break; // settings and configuration: the empty error text says it all
    }
    return reply;
}

} // namespace botpilot::testing
