#include "modes/terrain_rover.h"

#include "diagnostics/timer.h"
#include "geometry/angle.h"
#include "geometry/cached_feature.h"
#include "geometry/path.h"
#include "geometry/point.h"
#include "robot/path_chooser.h"
#include "world/playing_field.h"

#include <cstddef>
#include <cstdint>

namespace botpilot {

namespace {

// The forward speeds of the fan: from full speed, halved while at least the slowest. [Units: %]
constexpr double kTopSpeed = 100.0;
constexpr double kSlowestSpeed = 10.0;
// Turn offsets either side of the heading: 0.1, 0.3, ... while within a quarter turn. [Units: rad]
constexpr double kFirstOffset = 0.1;
constexpr double kOffsetStep = 0.2;
constexpr double kReverseSpeed = -100.0;
// 17 per forward speed (straight on and 8 turns either way) for 4 speeds, 3 reverse, 1 stop.
constexpr std::size_t kCommandCount = 72;

// The terrain is memoised on cells this fine for the length of one update. [Units: world units]
constexpr double kCacheCellSize = 0.2;
// How far ahead each candidate is judged. [Units: s]
constexpr double kHorizonSeconds = 0.25;
// Below this height under the robot a reverse is replaced by stopping and turning about: only on
// really dangerous ground is backing out worth driving blind.
constexpr double kReverseMinHeight = 50.0;

} // namespace

TerrainRover::TerrainRover(Body& body, const Terrain& terrain) : body(body), terrain(terrain) {}

std::vector<EngineCommand> TerrainRover::GenerateCommands() const {
    std::vector<EngineCommand> fan;
    GenerateCommands(fan);
    return fan;
}

void TerrainRover::GenerateCommands(std::vector<EngineCommand>& fan) const {
    const Angle heading = body.Heading();
    const double normalised = heading.Normalise().Radians();
    fan.clear();
    fan.reserve(kCommandCount);
    // Straight on keeps the heading as read; the turns are offsets from the normalised heading.
    // The offsets are accumulated (0.1, then + 0.2 each time), so the eighth lands a hair above
    // 1.5, still well inside the quarter turn that bounds them.
    for (double speed = kTopSpeed; speed >= kSlowestSpeed; speed *= 0.5) {
        fan.push_back({speed, heading, false});
        for (double offset = kFirstOffset; offset <= kPi / 2; offset += kOffsetStep) {
            fan.push_back({speed, normalised + offset, false});
            fan.push_back({speed, normalised - offset, false});
        }
    }
    fan.push_back({kReverseSpeed, heading, false});
    fan.push_back({kReverseSpeed, normalised + kPi / 2, false});
    fan.push_back({kReverseSpeed, normalised - kPi / 2, false});
    fan.push_back({0.0, heading, false});
}

void TerrainRover::Update() {
    Timer section("TerrainRover::Update");
    GenerateCommands(commands);

    const Point here = body.Position();
    // Every candidate starts from here: what they share is worked out once.
    PathStart start(here.x, here.y, body.Heading(), body.maxSpeed, body.maxTurnRate);
    trig.Clear();
    start.trig = &trig;
    paths.clear();
    paths.reserve(commands.size());
    for (const EngineCommand& command : commands) {
        paths.emplace_back(start, command);
    }
    candidates.assign(paths.begin(), paths.end());

    // Every candidate samples the terrain 11 times; the cache keeps the sum over all sources to
    // one evaluation per cell for this decision only, and the terms it sums are gathered once.
    terrainTerms.Clear();
    terrain.AddTerms(terrainTerms);
    const CachedFeature cachedTerrain =
        CacheOverPlayingField(terrainTerms, kCacheCellSize, terrainMemo);
    const PathChooser chooser(cachedTerrain, kHorizonSeconds);
    const std::int32_t chosen = chooser.Choose(candidates);

    Timer settingSection("TerrainRover::Update - setting engine");
    if (chosen < 0) {
        // Nothing qualifies: stand still, facing wherever the engine last pointed.
        body.SetEngineSpeed(0.0);
        return;
    }
    const EngineCommand& command = commands[static_cast<std::size_t>(chosen)];
    // The rule reads the terrain itself at the robot, not the coarser cached copy.
    if (command.engineSpeed < 0.0 && terrain.Height(here.x, here.y) < kReverseMinHeight) {
        body.SetEngineSpeed(0.0);
        body.SetEngineOrientation(command.orientation.Normalise().Radians() + kPi);
        return;
    }
    body.SetEngineOrientation(command.orientation);
    body.SetEngineSpeed(command.engineSpeed);
}

} // namespace botpilot
