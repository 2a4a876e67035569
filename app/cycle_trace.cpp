#include "app/cycle_trace.h"

#include "geometry/clock.h"
#include "modes/straight_shooter_mode.h"
#include "robot/robot.h"
#include "robot/robot_path.h"

#include <cstdlib>
#include <stdexcept>

namespace botpilot {

namespace {

/// Where the own path is sampled, after the reading it starts from. [Units: s]
constexpr double kHorizons[] = {0.05, 0.1, 0.15, 0.2, 0.25};
/// How far ahead the shooter and the rovers look at a seen robot. [Units: s]
constexpr double kLookAhead = 0.25;

} // namespace

std::unique_ptr<CycleTrace> CycleTrace::FromEnvironment() {
    const char* path = std::getenv("BOTPILOT_TRACE");
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    return std::make_unique<CycleTrace>(path);
}

CycleTrace::CycleTrace(const std::string& path) : file(std::fopen(path.c_str(), "w")) {
    if (file == nullptr) {
        throw std::runtime_error("Cannot write the trace " + path);
    }
}

CycleTrace::~CycleTrace() {
    std::fclose(file);
}

void CycleTrace::WriteHeader(const Robot& robot) {
    std::fprintf(file, "{\"robot\":%d,\"maxSpeed\":%.9g,\"maxTurnRate\":%.9g,\"horizons\":[",
                 static_cast<int>(robot.identity.id), robot.body.maxSpeed, robot.body.maxTurnRate);
    const char* comma = "";
    for (const double horizon : kHorizons) {
        std::fprintf(file, "%s%.9g", comma, horizon);
        comma = ",";
    }
    std::fprintf(file, "],\"lookAhead\":%.9g}\n", kLookAhead);
}

void CycleTrace::Write(const Robot& robot) {
    if (!headerWritten) {
        WriteHeader(robot);
        headerWritten = true;
    }
    const Body& body = robot.body;
    const Point position = body.Position();
    const double heading = body.Heading().Radians();
    std::fprintf(file, "{\"t\":%.6f,\"pos\":[%.6f,%.6f],\"posTime\":%.6f,\"heading\":%.6f",
                 Clock::Now(), position.x, position.y, body.PositionTime(), heading);
    if (body.SentEngineSpeed().Valid() && body.SentEngineOrientation().Valid()) {
        const EngineCommand command{body.SentEngineSpeed().Value(),
                                    Angle(body.SentEngineOrientation().Value()), false};
        std::fprintf(file, ",\"engine\":[%.6f,%.6f],\"path\":[", command.engineSpeed,
                     command.orientation.Radians());
        const RobotPath path(position.x, position.y, body.Heading(), body.maxSpeed,
                             body.maxTurnRate, command);
        const char* comma = "";
        for (const double horizon : kHorizons) {
            const Point at = path.PointAt(horizon);
            std::fprintf(file, "%s[%.6f,%.6f]", comma, at.x, at.y);
            comma = ",";
        }
        std::fputs("]", file);
    }
    std::fputs(",\"modes\":[", file);
    const StraightShooterMode* shooter = nullptr;
    const char* comma = "";
    for (const Mode* mode : robot.CurrentModes()) {
        std::fprintf(file, "%s\"%s\"", comma, mode->GetName().c_str());
        comma = ",";
        if (const auto* found = dynamic_cast<const StraightShooterMode*>(mode)) {
            shooter = found;
        }
    }
    std::fputs("],\"seen\":[", file);
    comma = "";
    for (const PredictedBattleObject& seen : robot.scanner.robotField.Objects()) {
        const Point now = seen.Position();
        const Point ahead = seen.PredictPosition(kLookAhead);
        std::fprintf(file,
                     "%s{\"id\":%d,\"pos\":[%.6f,%.6f],\"ahead\":[%.6f,%.6f],\"age\":%.6f,"
                     "\"count\":%d}",
                     comma, static_cast<int>(seen.Id()), now.x, now.y, ahead.x, ahead.y, seen.Age(),
                     static_cast<int>(seen.ObservationCount()));
        comma = ",";
    }
    std::fputs("]", file);
    // The shooter runs only with a charge of 50 or more, and fires on every update it runs: a
    // shot that left is what empties the charge.
    if (shooter != nullptr && robot.gun.charge == 0.0) {
        std::fprintf(file, ",\"fire\":{\"aim\":%.6f}", shooter->Aim().Radians());
    }
    std::fputs("}\n", file);
}

} // namespace botpilot
