#include "arena/protocol/robot_request_handler.h"

#include "wire/controller_catalogue.h"

#include <cassert>
#include <sstream>

namespace botarena {

using botpilot::ControllerMessage;
using botpilot::Message;

namespace {

using Values = RequestArguments;

} // namespace

struct RobotRequestHandler::Action {
    ControllerMessage type;
    /// For a configuration, the word its log line names it by: "engine" in
    /// "configure engine 12 180" (the values follow); null for every other type.
    const char* configures;
    /// Acts on the battle and the connection's robot, and appends the reply's values after the
    /// error text. Every value has passed its check, and the robot is in the type's stage.
    void (*act)(RobotRequestHandler& self, ArenaRobot& robot, const RequestArguments& values,
                Message& reply);
};

// One action per served type, run once Serve has read and checked the values and the stage as the
// catalogue says.
const RobotRequestHandler::Action RobotRequestHandler::kActions[] = {
    // Identity and settings, declared while configuring.
    {ControllerMessage::SetRobotType, "type",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Identity().type = values.String(0);
     }},
    {ControllerMessage::SetRobotName, "name",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Identity().name = values.String(0);
     }},
    {ControllerMessage::SetRobotColour, "colour",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Identity().red = values.Int(0);
         robot.Identity().green = values.Int(1);
         robot.Identity().blue = values.Int(2);
     }},
    {ControllerMessage::ConfigureEngine, "engine",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Settings().engine.maxSpeed = values.Double(0);
         robot.Settings().engine.maxTurnRate = values.Double(1);
     }},
    {ControllerMessage::ConfigureScanner, "scanner",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Settings().scanner.range = values.Double(0);
         robot.Settings().scanner.fieldOfView = values.Double(1);
         robot.Settings().scanner.turnRate = values.Double(2);
     }},
    {ControllerMessage::ConfigureTurret, "turret",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Settings().turret.turnRate = values.Double(0);
         robot.Settings().turret.sweepAngle = values.Double(1);
     }},
    {ControllerMessage::ConfigureGun, "gun",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Settings().gun.speedTenths = values.Double(0);
         robot.Settings().gun.range = values.Double(1);
         robot.Settings().gun.damage = values.Double(2);
         robot.Settings().gun.rechargeSeconds = values.Double(3);
     }},
    {ControllerMessage::ConfigureFirstFitting, "armour",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Settings().armour = values.Double(0);
     }},
    {ControllerMessage::ConfigureSecondFitting, "repair",
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.Settings().repair = values.Double(0);
     }},
    // The rest.
    {ControllerMessage::GetRobotId, nullptr,
     [](RobotRequestHandler& self, ArenaRobot&, const Values&, Message& reply) {
         reply.AddInt(self.robotId);
     }},
    {ControllerMessage::StartRobot, nullptr,
     [](RobotRequestHandler& self, ArenaRobot& robot, const Values&, Message&) {
         self.Start(robot);
     }},
    {ControllerMessage::GetPosition, nullptr,
     [](RobotRequestHandler& self, ArenaRobot& robot, const Values&, Message& reply) {
         const BodyState body = self.battle.BodyAfter(robot, self.SinceStep());
         reply.AddDouble(body.x);
         reply.AddDouble(body.y);
     }},
    {ControllerMessage::GetOrientation, nullptr,
     [](RobotRequestHandler& self, ArenaRobot& robot, const Values&, Message& reply) {
         reply.AddDouble(self.battle.BodyAfter(robot, self.SinceStep()).heading);
     }},
    {ControllerMessage::SetEngineSpeed, nullptr,
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.SetEngineSpeed(values.Double(0));
     }},
    {ControllerMessage::SetEngineOrientation, nullptr,
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.SetEngineOrientation(values.Double(0));
     }},
    {ControllerMessage::GetScannerOrientation, nullptr,
     [](RobotRequestHandler&, ArenaRobot& robot, const Values&, Message& reply) {
         reply.AddDouble(robot.ScannerOrientation());
     }},
    {ControllerMessage::SetScannerOrientation, nullptr,
     [](RobotRequestHandler&, ArenaRobot& robot, const Values& values, Message&) {
         robot.SetScannerTarget(values.Double(0));
     }},
    {ControllerMessage::GetSeenRobots, nullptr,
     [](RobotRequestHandler& self, ArenaRobot& robot, const Values&, Message& reply) {
         const auto seen = self.battle.SeenRobots(robot.Id());
         const double sinceStep = self.SinceStep();
         reply.AddInt(static_cast<std::int32_t>(seen.size()));
         for (const ArenaRobot* other : seen) {
             const BodyState body = self.battle.BodyAfter(*other, sinceStep);
             reply.AddInt(other->Id());
             reply.AddDouble(body.x);
             reply.AddDouble(body.y);
             reply.AddDouble(body.heading);
             reply.AddString(other->Identity().type);
             reply.AddString(other->Identity().name);
         }
     }},
    {ControllerMessage::GetSeenObjects, nullptr,
     [](RobotRequestHandler& self, ArenaRobot& robot, const Values&, Message& reply) {
         const auto seen = self.battle.SeenShells(robot.Id());
         const double sinceStep = self.SinceStep();
         reply.AddInt(static_cast<std::int32_t>(seen.size()));
         for (const Shell* shell : seen) {
             const Vec2 at = shell->PositionAfter(sinceStep);
             reply.AddInt(shell->id);
             reply.AddDouble(at.x);
             reply.AddDouble(at.y);
         }
     }},
    {ControllerMessage::GetTurretOrientation, nullptr,
     [](RobotRequestHandler&, ArenaRobot& robot, const Values&, Message& reply) {
         reply.AddDouble(robot.TurretOrientation());
     }},
    {ControllerMessage::GetGunCharge, nullptr,
     [](RobotRequestHandler&, ArenaRobot& robot, const Values&, Message& reply) {
         reply.AddDouble(robot.GunCharge());
     }},
    {ControllerMessage::FireGun, nullptr,
     [](RobotRequestHandler& self, ArenaRobot& robot, const Values&, Message& reply) {
         reply.AddInt(self.battle.FireGun(robot.Id()));
     }},
};

const RobotRequestHandler::Action* RobotRequestHandler::ActionOf(std::int32_t type) {
    for (const Action& action : kActions) {
        if (static_cast<std::int32_t>(action.type) == type) {
            return &action;
        }
    }
    return nullptr;
}

Reply RobotRequestHandler::Handle(Request& request) {
    Reply answer;
    const botpilot::CatalogueEntry* entry = botpilot::FindControllerMessage(request.type);
    if (entry != nullptr && entry->supported && !entry->errorText) {
        // The field size's reply has no error text: a stray value in the request is counted,
        // not answered.
        answer.message.AddDouble(battle.Field().width);
        answer.message.AddDouble(battle.Field().height);
        if (!request.payload.Bytes().empty()) {
            answer.outcome = ReplyOutcome::ProtocolError;
        }
        return answer;
    }
    if (battle.IsOver()) {
        // Served, not refused: the client asked nothing wrong, the battle simply ended.
        const std::string& winner = battle.Overall().winnerName;
        const bool draw = battle.Overall().winnerId == 0;
        answer.message = ErrorTextReply("Battle over: " + (draw ? "draw" : winner + " wins"));
        return answer;
    }
    return ServeWithErrorText([&](Message& reply) { Serve(request.type, request.payload, reply); });
}

void RobotRequestHandler::Serve(std::int32_t type, Message& payload, Message& reply) {
    ArenaRobot* robot = battle.Find(robotId);
    if (robot == nullptr || robot->Stage() == RobotStage::Destroyed) {
        throw Refusal("Robot destroyed");
    }
    const botpilot::CatalogueEntry* entry = botpilot::FindControllerMessage(type);
    if (entry == nullptr) {
        throw ProtocolFault("Unknown message type " + std::to_string(type));
    }
    if (!entry->supported) {
        throw ProtocolFault("Message type " + std::to_string(type) + " is not supported");
    }
    // The values are read and checked first, so a malformed request is reported as such
    // whatever the robot's stage, and a refused one changes nothing.
    const RequestArguments values = ReadRequest(payload, *entry);
    switch (entry->stage) {
    case botpilot::RequestStage::AnyTime:
        break;
    case botpilot::RequestStage::Configuring:
        if (robot->Stage() != RobotStage::Configuring) {
            throw Refusal("Robot already started");
        }
        break;
    case botpilot::RequestStage::Running:
        if (!robot->IsRunning()) {
            throw Refusal("Robot not started");
        }
        break;
    }
    const Action* action = ActionOf(type);
    // Every served type has its action, and the catalogue's configurations are those it logs.
    assert(action != nullptr);
    assert((action->configures != nullptr) == botpilot::IsConfiguration(type));
    action->act(*this, *robot, values, reply);
    if (action->configures != nullptr) {
        Announce("configure " + std::string(action->configures) + ' ' + values.Joined());
    }
}

void RobotRequestHandler::Start(ArenaRobot& robot) {
    if (battle.RunningClientCount() >= kMaxRunningRobots) {
        throw Refusal("The arena already runs its limit of " + std::to_string(kMaxRunningRobots) +
                      " robots");
    }
    battle.StartRobot(robotId);
    std::ostringstream text;
    text.precision(3);
    text << "start at (" << robot.Body().x << ", " << robot.Body().y << ")";
    Announce(text.str());
}

void RobotRequestHandler::Announce(const std::string& what) {
    const ArenaRobot* robot = battle.Find(robotId);
    log.SourceLine(logSource, "robot " + std::to_string(robotId) + " (" +
                                  (robot != nullptr ? robot->Identity().name : std::string("?")) +
                                  "): " + what);
}

double RobotRequestHandler::SinceStep() const {
    return timeIntoStep ? timeIntoStep() : 0.0;
}

} // namespace botarena
