// The cycle benchmark: the real `Robot::Update` of the driven robot against a loopback server that
// answers from a fixed world, and in the same run the floor, the same five exchanges per cycle
// with the same replies and no decision. Floor and cycle phases alternate in rounds, so that a
// machine shared with other work slows both alike.
//
//     cycle_bench [--world busy|quiet|shooting|all] [--seconds S] [--rounds R]
//     cycle_bench --world busy --cycles N      (exactly N cycles and no floor: for callgrind,
//                                              collecting inside RunCycles)
//
// Figures per world: cycles per second, the floor's cycles per second, their ratio, the
// decision's cost per cycle in microseconds (the client thread's CPU time per cycle less the
// floor's, and the same from the wall clock), and heap allocations per cycle on the client
// thread.

#include "app/robot_roster.h"
#include "bench/allocation_counter.h"
#include "bench/bench_world.h"
#include "bench/loopback_server.h"
#include "link/connection.h"
#include "link/controller.h"
#include "link/settings.h"
#include "platform/steady_time.h"
#include "platform/thread_cpu_time.h"
#include "robot/robot.h"
#include "wire/controller_message.h"
#include "world/playing_field.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

namespace botpilot::bench {

namespace {

/// Cycles run before anything is measured: the first ones create the seen objects, send the
/// first commands and grow whatever buffers the steady state reuses.
constexpr int kWarmUpCycles = 100;

struct Options {
    std::string world = "all";
    double seconds = 3.0; ///< per world, floor and cycles together [Units: s]
    int rounds = 6;
    long cycles = 0; ///< when positive: run exactly this many cycles, no floor
};

/// What one kind of phase added up over the rounds.
struct Tally {
    long cycles = 0;
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
    std::uint64_t allocations = 0;

    double PerSecond() const { return cycles / wallSeconds; }
    double CpuMicrosPerCycle() const { return cpuSeconds / cycles * 1e6; }
    double WallMicrosPerCycle() const { return wallSeconds / cycles * 1e6; }
    double AllocationsPerCycle() const { return static_cast<double>(allocations) / cycles; }
};

/// Swallows what the robot writes to standard error ("Active modes: " lines), counting lines.
class LineCounter final : public std::streambuf {
  public:
    long lines = 0;

  protected:
    int_type overflow(int_type c) override {
        if (c == '\n') {
            ++lines;
        }
        return traits_type::not_eof(c);
    }
};

/// The five reads of a robot cycle with an inactive turret: the slow value alternates between the
/// scanner's orientation and the gun's charge.
class FloorCycle {
  public:
    explicit FloorCycle(Connection& connection) : connection(connection) {}

    void Run() {
        const ControllerMessage slow = scannerNext ? ControllerMessage::GetScannerOrientation
                                                   : ControllerMessage::GetGunCharge;
        scannerNext = !scannerNext;
        for (const ControllerMessage type :
             {slow, ControllerMessage::GetSeenRobots, ControllerMessage::GetSeenObjects,
              ControllerMessage::GetOrientation, ControllerMessage::GetPosition}) {
            connection.ExchangeInto(static_cast<std::int32_t>(type), empty, reply);
        }
    }

  private:
    Connection& connection;
    const Message empty;
    Message reply; // kept, as the controller keeps its reply
    bool scannerNext = true;
};

// Not inlined, and used for the measured cycles only, so that callgrind can collect inside it
// alone (--toggle-collect=*RunCycles*).
[[gnu::noinline]] void RunCycles(Robot& robot, long count) {
    for (long i = 0; i < count; ++i) {
        robot.Update();
    }
}

void WarmUp(Robot& robot) {
    for (int i = 0; i < kWarmUpCycles; ++i) {
        robot.Update();
    }
}

/// Runs `step` until `seconds` have passed, adding what it cost to `tally`.
template <typename Step> void Measure(double seconds, Tally& tally, Step&& step) {
    const double wallStart = SteadySeconds();
    const double cpuStart = ThreadCpuSeconds();
    long cycles = 0;
    StartCountingAllocations();
    do {
        step();
        ++cycles;
    } while (SteadySeconds() - wallStart < seconds);
    tally.allocations += StopCountingAllocations();
    tally.cpuSeconds += ThreadCpuSeconds() - cpuStart;
    tally.wallSeconds += SteadySeconds() - wallStart;
    tally.cycles += cycles;
}

/// The driven robot, built, configured and started as the control run does it, against a
/// loopback server showing `world`.
class Rig {
  public:
    explicit Rig(const BenchWorld& world) : server(world) {
        ProcessSettings().serverHost = "127.0.0.1";
        ProcessSettings().serverPort = server.Port();
        Controller::SetInstanceForTesting(nullptr); // the next use connects to this server
        // The control run's order: the field's size before the roster, whose modes read it.
        PlayingField::Instance().FetchSize();
        roster = std::make_unique<RobotRoster>();
        robot = &roster->Second();
        robot->Configure();
        robot->Start();
    }
    ~Rig() { Controller::SetInstanceForTesting(nullptr); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    LoopbackServer server;
    std::unique_ptr<RobotRoster> roster;
    Robot* robot = nullptr; // the roster's second
};

void RunFixedCycles(const BenchWorld& world, long cycles) {
    Rig rig(world);
    WarmUp(*rig.robot);
    StartCountingAllocations();
    RunCycles(*rig.robot, cycles);
    const std::uint64_t allocations = StopCountingAllocations();
    std::printf("%s: %ld cycles, %.2f allocations per cycle\n", world.name.c_str(), cycles,
                static_cast<double>(allocations) / cycles);
}

void RunTimed(const BenchWorld& world, const Options& options) {
    Rig rig(world);
    Connection floorConnection(kControllerClientName, kControllerInterfaceCode);
    floorConnection.Connect("127.0.0.1", rig.server.Port());
    FloorCycle floor(floorConnection);

    for (int i = 0; i < kWarmUpCycles; ++i) {
        floor.Run();
    }
    WarmUp(*rig.robot);

    Tally floorTally;
    Tally cycleTally;
    const double phaseSeconds = options.seconds / (2.0 * options.rounds);
    for (int round = 0; round < options.rounds; ++round) {
        Measure(phaseSeconds, floorTally, [&] { floor.Run(); });
        Measure(phaseSeconds, cycleTally, [&] { rig.robot->Update(); });
    }

    std::printf("%-9s %10.0f %10.0f %7.3f %12.1f %12.1f %9.2f %9.2f\n", world.name.c_str(),
                cycleTally.PerSecond(), floorTally.PerSecond(),
                cycleTally.PerSecond() / floorTally.PerSecond(),
                cycleTally.CpuMicrosPerCycle() - floorTally.CpuMicrosPerCycle(),
                cycleTally.WallMicrosPerCycle() - floorTally.WallMicrosPerCycle(),
                cycleTally.AllocationsPerCycle(), floorTally.AllocationsPerCycle());
    std::fflush(stdout);
}

[[noreturn]] void Usage() {
    std::fprintf(stderr, "usage: cycle_bench [--world busy|quiet|shooting|all] [--seconds S] "
                         "[--rounds R] [--cycles N]\n");
    std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            Usage();
        }
        const char* value = argv[++i];
        if (option == "--world") {
            options.world = value;
        } else if (option == "--seconds") {
            options.seconds = std::atof(value);
        } else if (option == "--rounds") {
            options.rounds = std::atoi(value);
        } else if (option == "--cycles") {
            options.cycles = std::atol(value);
        } else {
            Usage();
        }
    }
    if (!(options.seconds > 0.0) || options.rounds < 1 || options.cycles < 0) {
        Usage();
    }
    return options;
}

} // namespace

int Main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    std::vector<BenchWorld> worlds;
    for (const BenchWorld& world : {BusyWorld(), QuietWorld(), ShootingWorld()}) {
        if (options.world == "all" || options.world == world.name) {
            worlds.push_back(world);
        }
    }
    if (worlds.empty() || (options.cycles > 0 && worlds.size() != 1)) {
        Usage();
    }

    LineCounter modeLines;
    std::streambuf* standardError = std::cerr.rdbuf(&modeLines);
    try {
        if (options.cycles > 0) {
            RunFixedCycles(worlds.front(), options.cycles);
        } else {
            std::printf("%-9s %10s %10s %7s %12s %12s %9s %9s\n", "world", "cycles/s", "floor/s",
                        "ratio", "decision us", "(wall) us", "allocs", "floor");
            std::printf("%-9s %10s %10s %7s %12s %12s %9s %9s\n", "", "", "", "", "cpu/cycle",
                        "/cycle", "/cycle", "allocs");
            for (const BenchWorld& world : worlds) {
                RunTimed(world, options);
            }
        }
    } catch (const std::exception& error) {
        std::cerr.rdbuf(standardError);
        std::cerr << "cycle_bench: " << error.what() << std::endl;
        return 1;
    }
    std::cerr.rdbuf(standardError);
    std::printf("(\"Active modes\" lines written by the robot and discarded: %ld)\n",
                modeLines.lines);
    return 0;
}

} // namespace botpilot::bench

int main(int argc, char** argv) {
    return botpilot::bench::Main(argc, argv);
}
