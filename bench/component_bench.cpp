// Benchmarks of the pieces of a cycle, each on its own and without a socket: the terrain's
// height, the terrain rover's and the head-for-target mode's updates, the decoding of a cycle's
// replies, an object field's refresh and purge, the drawing pass, and a whole socket-free cycle.
// Each reports its heap allocations per iteration as the counter "allocs".

#include "app/robot_roster.h"
#include "bench/allocation_counter.h"
#include "bench/bench_world.h"
#include "geometry/clock.h"
#include "link/controller.h"
#include "link/graphics.h"
#include "link/terrain_drawing.h"
#include "robot/robot.h"
#include "world/object_field.h"
#include "world/seen_objects.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>

namespace botpilot::bench {

namespace {

// A simulated clock, 5 ms a reading, so that the seen objects move the same way in every run.
std::int64_t simulatedMilliseconds = 1000000;
double SimulatedSeconds() {
    simulatedMilliseconds += 5;
    return static_cast<double>(simulatedMilliseconds) / 1000.0;
}

/// Discards what it is given.
class NullBuffer final : public std::streambuf {
  protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

/// The driven robot over a socket-free controller answering from `world`, configured and run
/// for a few cycles, so that its fields hold what the world shows. What the robot writes to
/// standard error ("Active modes: " lines) is discarded meanwhile.
class Rig {
  public:
    explicit Rig(const BenchWorld& world) {
        standardError = std::cerr.rdbuf(&discarded);
        Clock::SetSourceForTesting(&SimulatedSeconds);
        Controller::SetInstanceForTesting(
            std::make_unique<Controller>(std::make_unique<WorldChannel>(world)));
        robot.Configure();
        robot.Start();
        for (int cycle = 0; cycle < 10; ++cycle) {
            robot.Update();
        }
    }
    ~Rig() {
        Controller::SetInstanceForTesting(nullptr);
        Clock::SetSourceForTesting(nullptr);
        std::cerr.rdbuf(standardError);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    Mode& ModeNamed(const std::string& name) {
        for (const std::unique_ptr<Mode>& mode : robot.Modes()) {
            if (mode->GetName() == name) {
                return *mode;
            }
        }
        throw std::logic_error("no mode " + name);
    }

    NullBuffer discarded;
    std::streambuf* standardError = nullptr;
    RobotRoster roster;
    Robot& robot = roster.Second();
};

/// Counts the allocations of the timed loop and reports them per iteration.
class AllocationScope {
  public:
    explicit AllocationScope(benchmark::State& state) : state(state) { StartCountingAllocations(); }
    ~AllocationScope() {
        const std::uint64_t allocations = StopCountingAllocations();
        state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations),
                                                      benchmark::Counter::kAvgIterations);
    }
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

  private:
    benchmark::State& state;
};

/// The terrain's height with 2 robots and 4 shells seen, at 64 points spread over the field.
void BM_TerrainHeight(benchmark::State& state) {
    Rig rig(BusyWorld());
    const Terrain& terrain = rig.robot.terrain;
    int point = 0;
    AllocationScope allocations(state);
    for (auto _ : state) {
        const double x = -14.0 + 28.0 * (point % 8) / 7.0;
        const double y = -9.0 + 18.0 * (point / 8) / 7.0;
        point = (point + 1) % 64;
        benchmark::DoNotOptimize(terrain.Height(x, y));
    }
}
BENCHMARK(BM_TerrainHeight);

/// One update of the terrain rover (the evade mode's) among 2 robots and 4 shells.
void BM_TerrainRoverUpdate(benchmark::State& state) {
    Rig rig(BusyWorld());
    Mode& evade = rig.ModeNamed("Evade");
    AllocationScope allocations(state);
    for (auto _ : state) {
        evade.Update();
    }
}
BENCHMARK(BM_TerrainRoverUpdate);

/// One update of the head-for-target mode with 2 robots and 4 shells seen.
void BM_HeadForTargetModeUpdate(benchmark::State& state) {
    Rig rig(BusyWorld());
    Mode& headForTarget = rig.ModeNamed("HeadForTarget");
    AllocationScope allocations(state);
    for (auto _ : state) {
        headForTarget.Update();
    }
}
BENCHMARK(BM_HeadForTargetModeUpdate);

/// The five reads of a cycle, decoded and stored: replies with 2 robots and 4 objects.
void BM_RobotUpdateHardware(benchmark::State& state) {
    Rig rig(BusyWorld());
    AllocationScope allocations(state);
    for (auto _ : state) {
        rig.robot.UpdateHardware();
    }
}
BENCHMARK(BM_RobotUpdateHardware);

/// 50 sightings fed into an object field and a purge, 20 ms of simulated time apart.
void BM_ObjectFieldRefreshAndPurge(benchmark::State& state) {
    constexpr std::int32_t kSightings = 50;
    ObjectField field(std::make_unique<SeenObject>(), -1.0, 1.0);
    double drift = 0.0;
    AllocationScope allocations(state);
    for (auto _ : state) {
        Clock::Advance(0.02);
        drift = drift > 1.0 ? 0.0 : drift + 0.01;
        for (std::int32_t id = 0; id < kSightings; ++id) {
            field.Get(id).SetPosition(-12.0 + 0.5 * id + drift, -5.0 + 0.2 * id);
        }
        field.Purge();
    }
}
BENCHMARK(BM_ObjectFieldRefreshAndPurge);

/// A socket-free drawing client: every item is framed as for the wire and answered at once.
class DiscardingChannel final : public MessageChannel {
  public:
    void Connect(const std::string&, std::int32_t) override {}
    Message Exchange(std::int32_t, const Message&) override { return reply; }

  private:
    Message reply = [] {
        Message empty;
        empty.AddString("");
        return empty;
    }();
};

/// The drawing pass: 600 items of the terrain with 2 robots and 4 shells.
void BM_DrawingPass(benchmark::State& state) {
    Rig rig(BusyWorld());
    Graphics graphics(std::make_unique<DiscardingChannel>());
    AllocationScope allocations(state);
    for (auto _ : state) {
        DrawTerrain(graphics, rig.robot.terrain);
    }
}
BENCHMARK(BM_DrawingPass);

/// A whole cycle without a socket: the reads decoded, the modes chosen and updated.
void BM_RobotUpdate(benchmark::State& state, BenchWorld (*world)()) {
    Rig rig(world());
    AllocationScope allocations(state);
    for (auto _ : state) {
        rig.robot.Update();
    }
}
BENCHMARK_CAPTURE(BM_RobotUpdate, busy, &BusyWorld);
BENCHMARK_CAPTURE(BM_RobotUpdate, quiet, &QuietWorld);
BENCHMARK_CAPTURE(BM_RobotUpdate, shooting, &ShootingWorld);

} // namespace

} // namespace botpilot::bench

BENCHMARK_MAIN();
