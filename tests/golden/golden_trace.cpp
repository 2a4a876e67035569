#include "tests/golden/golden_trace.h"

#include "app/robot_roster.h"
#include "geometry/clock.h"
#include "link/controller.h"
#include "link/graphics.h"
#include "link/message_channel.h"
#include "link/settings.h"
#include "robot/robot.h"
#include "wire/frame.h"
#include "world/check_scopes.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

namespace botpilot::testing {

namespace {

// The simulated time: whole milliseconds, as the steady clock gives them, from an arbitrary start,
// moving on by a fixed step at every reading. A cycle reads the clock four or five times, so it
// lasts about 20 ms, and a few hundred cycles span the ageing rules of the object fields.
constexpr std::int64_t kStartMilliseconds = 1000000;
constexpr std::int64_t kStepMilliseconds = 5;
std::int64_t simulatedMilliseconds = kStartMilliseconds;

double SimulatedSeconds() {
    const double now = static_cast<double>(simulatedMilliseconds) / 1000.0;
    simulatedMilliseconds += kStepMilliseconds;
    return now;
}

/// Collects the requests of one cycle and writes its line.
class TraceRecorder {
  public:
    /// A request as it would leave on `connection` ('c' for the robot, 'g' for drawing).
    void Record(char connection, std::int32_t type, const Message& request) {
        const std::vector<std::uint8_t> frame = BuildRequestFrame(type, request);
        Hash(static_cast<std::uint8_t>(connection));
        for (const std::uint8_t byte : frame) {
            Hash(byte);
        }
        std::string label = connection == 'g' ? "g" + std::to_string(type) : std::to_string(type);
        if (!labels.empty() && labels.back().first == label) {
            ++labels.back().second;
        } else {
            labels.emplace_back(std::move(label), 1);
        }
        dump << cycleName << ' ' << connection;
        for (const std::uint8_t byte : frame) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", byte);
            dump << (&byte == frame.data() ? " " : "") << hex;
        }
        dump << '\n';
    }

    /// Closes the cycle's line; `modesLine` is what the cycle wrote to standard error.
    void EndCycle(const std::string& modesLine) {
        summary << cycleName;
        for (const auto& [label, count] : labels) {
            summary << ' ' << label;
            if (count > 1) {
                summary << 'x' << count;
            }
        }
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        summary << ' ' << hex << '\n';
        if (!modesLine.empty()) {
            summary << "  " << modesLine; // ends with its own end of line
        }
        labels.clear();
        hash = kFnvOffset;
    }

    void StartCycle(std::string name) { cycleName = std::move(name); }

    std::ostringstream summary;
    std::ostringstream dump;

  private:
    static constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
    static constexpr std::uint64_t kFnvPrime = 1099511628211ull;

    void Hash(std::uint8_t byte) {
        hash ^= byte;
        hash *= kFnvPrime;
    }

    std::string cycleName;
    std::vector<std::pair<std::string, int>> labels;
    std::uint64_t hash = kFnvOffset;
};

/// A socket-free connection: records each request and answers it at once.
class TracingChannel final : public MessageChannel {
  public:
    using Answer = std::function<Message(std::int32_t type)>;

    TracingChannel(TraceRecorder& recorder, char connection, Answer answer)
        : recorder(recorder), connection(connection), answer(std::move(answer)) {}

    void Connect(const std::string&, std::int32_t) override {}

    Message Exchange(std::int32_t type, const Message& request) override {
        recorder.Record(connection, type, request);
        return answer(type);
    }

  private:
    TraceRecorder& recorder;
    char connection;
    Answer answer;
};

/// Everything process-wide a recording changes, put back at the end of its scope.
class ProcessState {
  public:
    ProcessState() : settings(ProcessSettings()), errorBuffer(std::cerr.rdbuf()) {}
    ~ProcessState() {
        std::cerr.rdbuf(errorBuffer);
        Clock::SetSourceForTesting(nullptr);
        Controller::SetInstanceForTesting(nullptr);
        Graphics::SetInstanceForTesting(nullptr);
        ProcessSettings() = settings;
    }
    ProcessState(const ProcessState&) = delete;
    ProcessState& operator=(const ProcessState&) = delete;

  private:
    Settings settings;
    std::streambuf* errorBuffer;
    checks::ScopedClock clock{0.0}; // the program starts at time 0
    checks::ScopedPlayingFieldSize field;
};

} // namespace

GoldenTrace RecordGoldenTrace(const GoldenWorld& world) {
    const ProcessState restore;
    TraceRecorder recorder;
    int cycle = 0;

    Controller::SetInstanceForTesting(std::make_unique<Controller>(std::make_unique<TracingChannel>(
        recorder, 'c', [&](std::int32_t type) { return WorldReply(type, world.script(cycle)); })));
    Graphics::SetInstanceForTesting(std::make_unique<Graphics>(
        std::make_unique<TracingChannel>(recorder, 'g', [](std::int32_t) {
            Message reply;
            reply.AddString("");
            return reply;
        })));
    ProcessSettings().drawing = world.drawing;
    simulatedMilliseconds = kStartMilliseconds;
    Clock::SetSourceForTesting(&SimulatedSeconds);
    std::ostringstream errors;
    std::cerr.rdbuf(errors.rdbuf());

    // Built as the roster builds it, so the robot has the standard mode set with Zippy's values.
    RobotRoster roster;
    Robot& robot = roster.Second();
    recorder.StartCycle("setup");
    robot.Configure();
    robot.Start();
    recorder.EndCycle("");
    for (; cycle < world.cycles; ++cycle) {
        recorder.StartCycle(std::to_string(cycle));
        errors.str("");
        robot.Update();
        recorder.EndCycle(errors.str());
    }
    return GoldenTrace{recorder.summary.str(), recorder.dump.str()};
}

} // namespace botpilot::testing
