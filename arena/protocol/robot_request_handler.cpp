#include "arena/protocol/robot_request_handler.h"

#include "link/controller_message.h"

#include <cmath>
#include <optional>
#include <sstream>

namespace botarena {

namespace {

using botpilot::ControllerMessage;

/// Throws the refusal when there is one.
void Require(const std::optional<std::string>& refusal) {
    if (refusal) {
        throw Refusal(*refusal);
    }
}

double CheckedDouble(RequestValues& values, const SettingLimit& limit) {
    const double value = values.Double();
    Require(CheckSetting(limit, value));
    return value;
}

/// Commands steer the simulation: a value that is not a number would spread through it.
double FiniteDouble(RequestValues& values, const char* what) {
    const double value = values.Double();
    if (!std::isfinite(value)) {
        std::ostringstream text;
        text << what << ' ' << value << " is not a finite number";
        throw Refusal(text.str());
    }
    return value;
}

bool IsConfiguration(std::int32_t type) {
    switch (static_cast<ControllerMessage>(type)) {
    case ControllerMessage::SetRobotType:
    case ControllerMessage::SetRobotName:
    case ControllerMessage::SetRobotColour:
    case ControllerMessage::ConfigureEngine:
    case ControllerMessage::ConfigureScanner:
    case ControllerMessage::ConfigureFirstFitting:
    case ControllerMessage::ConfigureTurret:
    case ControllerMessage::ConfigureGun:
    case ControllerMessage::ConfigureSecondFitting:
        return true;
    default:
        return false;
    }
}

/// Types that exist in the catalogue's numbering but that this arena does not serve.
bool IsUnsupported(std::int32_t type) {
    return type == 3 || type == 4 || type == 7 || type == 15 || type == 24 || type == 26;
}

std::string Join(std::initializer_list<double> values) {
    std::ostringstream text;
    const char* separator = "";
    for (const double value : values) {
        text << separator << value;
        separator = " ";
    }
    return text.str();
}

} // namespace

Reply RobotRequestHandler::Handle(Request& request) {
    Reply answer;
    if (request.type == static_cast<std::int32_t>(ControllerMessage::GetPlayingFieldSize)) {
        // This reply has no error text: a stray value in the request is counted, not answered.
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
    return ServeWithErrorText(
        [&](botpilot::Message& reply) { Serve(request.type, request.payload, reply); });
}

void RobotRequestHandler::Serve(std::int32_t type, botpilot::Message& payload,
                                botpilot::Message& reply) {
    ArenaRobot* robot = battle.Find(robotId);
    if (robot == nullptr || robot->Stage() == RobotStage::Destroyed) {
        throw Refusal("Robot destroyed");
    }
    if (IsConfiguration(type)) {
        Configure(type, payload, *robot);
        return;
    }
    switch (static_cast<ControllerMessage>(type)) {
    case ControllerMessage::GetRobotId:
        RequestValues(payload, "GetRobotId").End();
        reply.AddInt(robotId);
        return;
    case ControllerMessage::StartRobot:
        RequestValues(payload, "StartRobot").End();
        Start(*robot);
        return;
    case ControllerMessage::GetPosition: {
        RequestValues(payload, "GetPosition").End();
        const BodyState body = battle.BodyAfter(Running(), SinceStep());
        reply.AddDouble(body.x);
        reply.AddDouble(body.y);
        return;
    }
    case ControllerMessage::GetOrientation:
        RequestValues(payload, "GetOrientation").End();
        reply.AddDouble(battle.BodyAfter(Running(), SinceStep()).heading);
        return;
    case ControllerMessage::SetEngineSpeed: {
        RequestValues values(payload, "SetEngineSpeed");
        const double speed = FiniteDouble(values, "Engine speed");
        values.End();
        Running().SetEngineSpeed(speed);
        return;
    }
    case ControllerMessage::SetEngineOrientation: {
        RequestValues values(payload, "SetEngineOrientation");
        const double orientation = FiniteDouble(values, "Engine orientation");
        values.End();
        Running().SetEngineOrientation(orientation);
        return;
    }
    case ControllerMessage::GetScannerOrientation:
        RequestValues(payload, "GetScannerOrientation").End();
        reply.AddDouble(Running().ScannerOrientation());
        return;
    case ControllerMessage::SetScannerOrientation: {
        RequestValues values(payload, "SetScannerOrientation");
        const double orientation = FiniteDouble(values, "Scanner orientation");
        values.End();
        Running().SetScannerTarget(orientation);
        return;
    }
    case ControllerMessage::GetSeenRobots: {
        RequestValues(payload, "GetSeenRobots").End();
        const auto seen = battle.SeenRobots(Running().Id());
        const double sinceStep = SinceStep();
        reply.AddInt(static_cast<std::int32_t>(seen.size()));
        for (const ArenaRobot* other : seen) {
            const BodyState body = battle.BodyAfter(*other, sinceStep);
            reply.AddInt(other->Id());
            reply.AddDouble(body.x);
            reply.AddDouble(body.y);
            reply.AddDouble(body.heading);
            reply.AddString(other->Identity().type);
            reply.AddString(other->Identity().name);
        }
        return;
    }
    case ControllerMessage::GetSeenObjects: {
        RequestValues(payload, "GetSeenObjects").End();
        const auto seen = battle.SeenShells(Running().Id());
        const double sinceStep = SinceStep();
        reply.AddInt(static_cast<std::int32_t>(seen.size()));
        for (const Shell* shell : seen) {
            const Vec2 at = shell->PositionAfter(sinceStep);
            reply.AddInt(shell->id);
            reply.AddDouble(at.x);
            reply.AddDouble(at.y);
        }
        return;
    }
    case ControllerMessage::GetTurretOrientation:
        RequestValues(payload, "GetTurretOrientation").End();
        reply.AddDouble(Running().TurretOrientation());
        return;
    case ControllerMessage::GetGunCharge:
        RequestValues(payload, "GetGunCharge").End();
        reply.AddDouble(Running().GunCharge());
        return;
    case ControllerMessage::FireGun:
        RequestValues(payload, "FireGun").End();
        reply.AddInt(battle.FireGun(Running().Id()));
        return;
    default:
        break;
    }
    if (IsUnsupported(type)) {
        throw ProtocolFault("Message type " + std::to_string(type) + " is not supported");
    }
    throw ProtocolFault("Unknown message type " + std::to_string(type));
}

void RobotRequestHandler::Configure(std::int32_t type, botpilot::Message& payload,
                                    ArenaRobot& robot) {
    // The values are decoded and checked first, so a malformed request is reported as such
    // whatever the robot's stage, and a refused one changes nothing.
    RobotIdentity identity = robot.Identity();
    RobotSettings settings = robot.Settings();
    std::string what;
    switch (static_cast<ControllerMessage>(type)) {
    case ControllerMessage::SetRobotType: {
        RequestValues values(payload, "SetRobotType");
        identity.type = values.String();
        values.End();
        Require(CheckIdentityText("Robot type", identity.type));
        what = "type " + identity.type;
        break;
    }
    case ControllerMessage::SetRobotName: {
        RequestValues values(payload, "SetRobotName");
        identity.name = values.String();
        values.End();
        Require(CheckIdentityText("Robot name", identity.name));
        what = "name " + identity.name;
        break;
    }
    case ControllerMessage::SetRobotColour: {
        RequestValues values(payload, "SetRobotColour");
        identity.red = values.Int();
        identity.green = values.Int();
        identity.blue = values.Int();
        values.End();
        Require(CheckColour("Red", identity.red));
        Require(CheckColour("Green", identity.green));
        Require(CheckColour("Blue", identity.blue));
        what = "colour " + std::to_string(identity.red) + " " + std::to_string(identity.green) +
               " " + std::to_string(identity.blue);
        break;
    }
    case ControllerMessage::ConfigureEngine: {
        RequestValues values(payload, "ConfigureEngine");
        settings.engine.maxSpeed = CheckedDouble(values, kMaxSpeedLimit);
        settings.engine.maxTurnRate = CheckedDouble(values, kMaxTurnRateLimit);
        values.End();
        what = "engine " + Join({settings.engine.maxSpeed, settings.engine.maxTurnRate});
        break;
    }
    case ControllerMessage::ConfigureScanner: {
        RequestValues values(payload, "ConfigureScanner");
        settings.scanner.range = CheckedDouble(values, kScannerRangeLimit);
        settings.scanner.fieldOfView = CheckedDouble(values, kScannerFieldLimit);
        settings.scanner.turnRate = CheckedDouble(values, kScannerTurnRateLimit);
        values.End();
        what = "scanner " + Join({settings.scanner.range, settings.scanner.fieldOfView,
                                  settings.scanner.turnRate});
        break;
    }
    case ControllerMessage::ConfigureTurret: {
        RequestValues values(payload, "ConfigureTurret");
        settings.turret.turnRate = CheckedDouble(values, kTurretTurnRateLimit);
        settings.turret.sweepAngle = CheckedDouble(values, kTurretSweepLimit);
        values.End();
        what = "turret " + Join({settings.turret.turnRate, settings.turret.sweepAngle});
        break;
    }
    case ControllerMessage::ConfigureGun: {
        RequestValues values(payload, "ConfigureGun");
        settings.gun.speedTenths = CheckedDouble(values, kShellSpeedLimit);
        settings.gun.range = CheckedDouble(values, kShellRangeLimit);
        settings.gun.damage = CheckedDouble(values, kShellDamageLimit);
        settings.gun.rechargeSeconds = CheckedDouble(values, kRechargeLimit);
        values.End();
        what = "gun " + Join({settings.gun.speedTenths, settings.gun.range, settings.gun.damage,
                              settings.gun.rechargeSeconds});
        break;
    }
    case ControllerMessage::ConfigureFirstFitting: {
        RequestValues values(payload, "ConfigureFirstFitting");
        settings.armour = CheckedDouble(values, kArmourLimit);
        values.End();
        what = "armour " + Join({settings.armour});
        break;
    }
    case ControllerMessage::ConfigureSecondFitting: {
        RequestValues values(payload, "ConfigureSecondFitting");
        settings.repair = CheckedDouble(values, kRepairLimit);
        values.End();
        what = "repair " + Join({settings.repair});
        break;
    }
    default:
        return;
    }
    if (robot.Stage() != RobotStage::Configuring) {
        throw Refusal("Robot already started");
    }
    robot.Identity() = identity;
    robot.Settings() = settings;
    Announce("configure " + what);
}

void RobotRequestHandler::Start(ArenaRobot& robot) {
    if (robot.Stage() != RobotStage::Configuring) {
        throw Refusal("Robot already started");
    }
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

ArenaRobot& RobotRequestHandler::Running() {
    ArenaRobot* robot = battle.Find(robotId);
    if (robot == nullptr || !robot->IsRunning()) {
        throw Refusal("Robot not started");
    }
    return *robot;
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
