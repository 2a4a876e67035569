#pragma once

#include "arena/battle/battle.h"
#include "arena/protocol/event_log.h"
#include "arena/protocol/request_handler.h"

namespace botarena {

/// Serves the requests of one robot connection against the battle. Identity and settings may
/// be declared until StartRobot; readings and commands are served only after it; a destroyed
/// robot gets "Robot destroyed" to everything but the field size.
class RobotRequestHandler final : public RequestHandler {
  public:
    /// `battle` and `log` must outlive the handler; the robot of `robotId` belongs to it.
    RobotRequestHandler(Battle& battle, int robotId, EventLog& log)
        : battle(battle), robotId(robotId), log(log) {}

    Reply Handle(Request& request) override;

  private:
    /// The reply after the error text; throws ProtocolFault or Refusal.
    void Serve(std::int32_t type, botpilot::Message& payload, botpilot::Message& reply);
    void Configure(std::int32_t type, botpilot::Message& payload, ArenaRobot& robot);
    void Start(ArenaRobot& robot);
    /// The robot, which must be running.
    ArenaRobot& Running();
    void Announce(const std::string& what);

    Battle& battle;
    int robotId;
    EventLog& log;
};

} // namespace botarena
