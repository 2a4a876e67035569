#pragma once

#include "arena/battle/battle.h"
#include "arena/protocol/event_log.h"
#include "arena/protocol/request_handler.h"

#include <functional>
#include <string>
#include <utility>

namespace botarena {

/// Clients' robots on the field at once: StartRobot beyond it is refused. Robots that were
/// destroyed or whose connection left no longer count, nor do the built-in opponents, which
/// --bots bounds on its own: however many there are, clients still find their places. Above the
/// 64 robot connections, so only a raised connection cap reaches it.
constexpr int kMaxRunningRobots = 128;

/// Serves the requests of one robot connection against the battle, by the connection's catalogue
/// (wire/controller_catalogue.h): each request's values are read and checked and its stage is
/// checked as its entry says, then its type's action runs. Identity and settings may
/// be declared until StartRobot; readings and commands are served only after it; a destroyed
/// robot gets "Robot destroyed" to everything but the field size. Once the battle is over,
/// everything but the field size gets "Battle over: NAME wins" or "Battle over: draw".
class RobotRequestHandler final : public RequestHandler {
  public:
    /// How long ago the battle's last step was, when a request is served. [Units: s]
    using TimeIntoStep = std::function<double()>;

    /// `battle` and `log` must outlive the handler; the robot of `robotId` belongs to it. Its
    /// log lines count against the connection's (see EventLog::SourceLine). Positions and
    /// headings are read `timeIntoStep` after the last step, each body on its way through the
    /// next (Battle::BodyAfter; at the last step without it), since the client stamps a reading
    /// with the moment its reply came.
    RobotRequestHandler(Battle& battle, int robotId, EventLog& log, int connectionId = 0,
                        TimeIntoStep timeIntoStep = {})
        : battle(battle), robotId(robotId), log(log), logSource(ConnectionSource(connectionId)),
          timeIntoStep(std::move(timeIntoStep)) {}

    Reply Handle(Request& request) override;

  private:
    /// What a served type does once its values are read and its stage is checked.
    struct Action;
    /// The action of every served type but the field size's (which Handle answers); null for
    /// the rest.
    static const Action* ActionOf(std::int32_t type);
    static const Action kActions[];

    /// The reply after the error text; throws ProtocolFault or Refusal.
    void Serve(std::int32_t type, botpilot::Message& payload, botpilot::Message& reply);
    void Start(ArenaRobot& robot);
    void Announce(const std::string& what);
    /// `timeIntoStep`, or 0 without it. [Units: s]
    double SinceStep() const;

    Battle& battle;
    int robotId;
    EventLog& log;
    std::string logSource;
    TimeIntoStep timeIntoStep;
};

} // namespace botarena
