#pragma once

// Helpers shared by the tests of the concrete modes: placing the body, filling the scanner's
// fields by hand at the present clock time, and reading back the commands a mode sent.

#include "geometry/clock.h"
#include "geometry/point.h"
#include "robot/body.h"
#include "robot/robot.h"
#include "tests/support/recording_channel.h"
#include "wire/controller_message.h"
#include "world/object_field.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <variant>
#include <vector>

namespace botpilot::testing {

/// A robot over a fresh recording controller, with one mode of the given kind attached to it
/// directly: the robot is not configured, so its terrain holds only what a test adds.
template <typename ModeType> struct ModeRig {
    ModeRig() { mode.Attach(robot); }

    RecordingChannel& channel = InstallRecordingController();
    Robot robot;
    ModeType mode;
};

inline void PlaceBody(Body& body, double x, double y, double heading = 0.0) {
    body.SetPosition(x, y);
    body.SetHeading(heading);
}

/// Observes `id` of `field` `count` times at (x, y), all at the present clock time, so it is at
/// rest (and, for a robot, faces `heading`).
inline PredictedBattleObject& Observe(ObjectField& field, std::int32_t id, double x, double y,
                                      int count = 1, double heading = 0.0) {
    PredictedBattleObject& object = field.Get(id);
    for (int i = 0; i < count; ++i) {
        object.SetPosition(x, y);
    }
    object.SetHeading(heading);
    return object;
}

/// Makes `id` of `field` seen now at `at`, moving at `velocity` per second: it is observed one
/// second earlier at `at` − `velocity`, then at `at`. The clock ends where it started.
inline PredictedBattleObject& Track(ObjectField& field, std::int32_t id, Point at, Point velocity) {
    const double now = Clock::Now();
    Clock::Set(now - 1.0);
    PredictedBattleObject& object = field.Get(id);
    object.SetPosition(at.x - velocity.x, at.y - velocity.y);
    Clock::Set(now);
    object.SetPosition(at.x, at.y);
    return object;
}

/// A command as the server received it: its type and its one double (none for FireGun).
struct SentCommand {
    ControllerMessage type;
    std::optional<double> value;
};

/// Expects the commands among the recorded requests (engine speed and orientation, scanner
/// orientation, fire), in order, to be exactly these, each value within 1e-9; readings are
/// skipped.
inline void ExpectCommands(const RecordingChannel& channel,
                           const std::vector<SentCommand>& expected) {
    std::vector<const RecordedRequest*> commands;
    for (const RecordedRequest& request : channel.requests) {
        switch (static_cast<ControllerMessage>(request.type)) {
        case ControllerMessage::SetEngineSpeed:
        case ControllerMessage::SetEngineOrientation:
        case ControllerMessage::SetScannerOrientation:
        case ControllerMessage::FireGun:
            commands.push_back(&request);
            break;
        default:
            break;
        }
    }
    ASSERT_EQ(commands.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "command " << i);
        EXPECT_EQ(commands[i]->type, static_cast<std::int32_t>(expected[i].type));
        if (expected[i].value) {
            ASSERT_EQ(commands[i]->values.size(), 1u);
            ASSERT_TRUE(std::holds_alternative<double>(commands[i]->values[0]));
            EXPECT_NEAR(std::get<double>(commands[i]->values[0]), *expected[i].value, 1e-9);
        } else {
            EXPECT_TRUE(commands[i]->values.empty());
        }
    }
}

} // namespace botpilot::testing
