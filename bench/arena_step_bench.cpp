// The arena's step against its robot count: built-in opponents (wanderers, hunters and snipers in
// turn) on a 200 x 200 field, each step being what the server does every 10 ms: every pilot's
// decision, the battle's step and the check whether the round is decided.
//
//     arena_step_bench [--robots N]... [--warmup STEPS] [--steps STEPS] [--seconds S]
//
// Without --robots it runs 32, 64, ... 2048. Each count gets a battle of its own, seeded alike,
// run for the warm-up (the pilots find their targets, the shells in flight reach their usual
// number) and then timed step by step until it has --steps steps or --seconds of wall time,
// whichever comes first. The guns do no damage, so that the count stays what it says: shells
// still fly and hit, and every hit is still resolved.
//
// Figures per count: the median of a step's CPU time (the program's, to the microsecond, so that
// other programs on a shared machine count for less) and the median per robot, in microseconds; the
// median and the 90th percentile of a step by the wall clock; and the robots and shells on the
// field at the end.

#include "arena/battle/battle.h"
#include "arena/battle/opponent_pilot.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace botarena::bench {

namespace {

/// The largest field the arena allows. [Units: field units]
constexpr FieldSize kField{200.0, 200.0};
/// The server's step. [Units: s]
constexpr double kStepSeconds = 0.01;
constexpr std::uint32_t kSeed = 1;

struct Figures {
    int robots = 0;
    int steps = 0;
    double medianCpuMicroseconds = 0.0;
    double medianMicroseconds = 0.0;
    double p90Microseconds = 0.0;
    int running = 0;
    std::size_t shells = 0;
};

struct Arena {
    explicit Arena(int robots) : battle(kField, kSeed) {
        pilots = StartOpponents(
            battle, {OpponentKind::Wanderer, OpponentKind::Hunter, OpponentKind::Sniper}, robots,
            kSeed);
        for (const std::unique_ptr<OpponentPilot>& pilot : pilots) {
            battle.Find(pilot->RobotId())->Settings().gun.damage = 0.0;
        }
    }

    /// One step as the server takes it; the result keeps the decided check from being dropped.
    bool Step() {
        for (const std::unique_ptr<OpponentPilot>& pilot : pilots) {
            pilot->Update(battle);
        }
        battle.Step(kStepSeconds);
        return battle.IsDecided();
    }

    Battle battle;
    std::vector<std::unique_ptr<OpponentPilot>> pilots;
};

/// Where the decided checks go, so that the compiler keeps them.
volatile bool decidedSink = false;

double Percentile(std::vector<double> values, double fraction) {
    const std::size_t at = static_cast<std::size_t>(fraction * static_cast<double>(values.size()));
    const std::size_t index = std::min(at, values.size() - 1);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                     values.end());
    return values[index];
}

Figures Measure(int robots, int warmupSteps, int maxSteps, double maxSeconds) {
    using Clock = std::chrono::steady_clock;
    Arena arena(robots);
    for (int i = 0; i < warmupSteps; ++i) {
        decidedSink = arena.Step();
    }
    std::vector<double> times;
    std::vector<double> cpuTimes;
    const Clock::time_point start = Clock::now();
    while (static_cast<int>(times.size()) < maxSteps &&
           std::chrono::duration<double>(Clock::now() - start).count() < maxSeconds) {
        const std::clock_t cpuBefore = std::clock();
        const Clock::time_point before = Clock::now();
        decidedSink = arena.Step();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
        cpuTimes.push_back(static_cast<double>(std::clock() - cpuBefore) * 1e6 / CLOCKS_PER_SEC);
    }
    Figures figures;
    figures.robots = robots;
    figures.steps = static_cast<int>(times.size());
    figures.medianCpuMicroseconds = Percentile(cpuTimes, 0.5);
    figures.medianMicroseconds = Percentile(times, 0.5);
    figures.p90Microseconds = Percentile(times, 0.9);
    figures.running = arena.battle.RunningCount();
    figures.shells = arena.battle.ShellCount();
    return figures;
}

int Usage() {
    std::fprintf(stderr, "usage: arena_step_bench [--robots N]... [--warmup STEPS] [--steps "
                         "STEPS] [--seconds S]\n");
    return 2;
}

} // namespace

int Main(int argc, char** argv) {
    std::vector<int> counts;
    int warmupSteps = 200;
    int maxSteps = 500;
    double maxSeconds = 5.0;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string option = argv[i];
        const char* value = argv[++i];
        if (option == "--robots") {
            counts.push_back(std::atoi(value));
        } else if (option == "--warmup") {
            warmupSteps = std::atoi(value);
        } else if (option == "--steps") {
            maxSteps = std::atoi(value);
        } else if (option == "--seconds") {
            maxSeconds = std::atof(value);
        } else {
            return Usage();
        }
    }
    if (counts.empty()) {
        for (int robots = 32; robots <= 2048; robots *= 2) {
            counts.push_back(robots);
        }
    }
    if (maxSteps < 1 || warmupSteps < 0 ||
        std::any_of(counts.begin(), counts.end(), [](int n) { return n < 1 || n > 100000; })) {
        return Usage();
    }
    std::printf("%7s %6s %12s %12s %12s %12s %8s %7s\n", "robots", "steps", "cpu us/step",
                "cpu us/robot", "wall us/step", "wall p90", "running", "shells");
    for (const int robots : counts) {
        const Figures f = Measure(robots, warmupSteps, maxSteps, maxSeconds);
        std::printf("%7d %6d %12.1f %12.3f %12.1f %12.1f %8d %7zu\n", f.robots, f.steps,
                    f.medianCpuMicroseconds,
                    f.medianCpuMicroseconds / static_cast<double>(f.robots), f.medianMicroseconds,
                    f.p90Microseconds, f.running, f.shells);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace botarena::bench

int main(int argc, char** argv) {
    return botarena::bench::Main(argc, argv);
}
