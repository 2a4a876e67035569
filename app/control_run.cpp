#include "app/control_run.h"

#include "app/cycle_trace.h"
#include "app/robot_roster.h"
#include "link/settings.h"
#include "link/terrain_drawing.h"
#include "platform/cycle_pacer.h"
#include "platform/fine_sleep_scope.h"
#include "platform/stop_signal.h"
#include "world/playing_field.h"

#include <iostream>
#include <memory>
#include <optional>
#include <utility>

namespace botpilot {

namespace {

/// Lets the drawing passes see a stop for as long as the run goes on.
class DrawingInterruptionScope {
  public:
    explicit DrawingInterruptionScope(DrawingInterruption check) {
        SetDrawingInterruption(std::move(check));
    }
    ~DrawingInterruptionScope() { SetDrawingInterruption({}); }
    DrawingInterruptionScope(const DrawingInterruptionScope&) = delete;
    DrawingInterruptionScope& operator=(const DrawingInterruptionScope&) = delete;
};

/// The key that toggles the danger-map drawing; every other key ends the run.
constexpr char kDrawKey = 'd';

} // namespace

void RunControl(Keyboard& keyboard) {
    // The field size comes first: it opens the connection, and the modes built with the roster
    // copy the field's bounds.
    PlayingField::Instance().FetchSize();
    Robot& robot = RobotRoster::Instance().Second();
    // Asked for before the run, so that an unwritable file ends it before the robot starts.
    const std::unique_ptr<CycleTrace> trace = CycleTrace::FromEnvironment();
    robot.Configure();
    robot.Start();

    // SIGINT and SIGTERM end the run like a key, so the terminal is restored on the way out.
    const StopSignalWatch stopSignals;
    // A drawing pass is up to 600 exchanges: it looks for a stop or a key between them.
    const auto stopOrKey = [&keyboard] {
        return StopSignalWatch::StopRequested() || keyboard.KeyWaiting();
    };
    const DrawingInterruptionScope drawingStops(stopOrKey);
    CyclePacer pacer(ProcessSettings().cycleRate);
    // A paced run sleeps between its cycles, a few milliseconds at a time.
    std::optional<FineSleepScope> fineSleeps;
    if (pacer.Paced()) {
        fineSleeps.emplace();
    }
    while (!StopSignalWatch::StopRequested()) {
        if (keyboard.KeyWaiting()) {
            const auto key = keyboard.ReadKey();
            if (key != kDrawKey) {
                return;
            }
            Settings& settings = ProcessSettings();
            settings.drawing = !settings.drawing;
            std::cerr << "Draw" << std::endl
                      << (settings.drawing ? "Drawing on" : "Drawing off") << std::endl;
        }
        // Unpaced, the waits for the server's replies alone pace the loop.
        robot.Update();
        if (trace) {
            trace->Write(robot);
        }
        pacer.WaitForNextCycle(stopOrKey);
    }
}

} // namespace botpilot
