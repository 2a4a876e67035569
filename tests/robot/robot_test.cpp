#include "geometry/angle.h"
#include "robot/robot.h"
#include "tests/support/recording_channel.h"
#include "wire/controller_message.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using testing::FakeWorld;
using testing::InstallRecordingController;
using testing::RecordingChannel;
using testing::WireValue;
using Types = std::vector<std::int32_t>;

enum class Part { Body, Scanner, Gun };

/// A mode with a score set by the test; it logs what the robot calls on it.
class ScriptedMode final : public Mode {
  public:
    ScriptedMode(std::string name, std::vector<Part> parts, std::vector<std::string>& log)
        : name(std::move(name)), parts(std::move(parts)), log(log) {}

    std::string GetName() const override { return name; }
    void Attach(Robot& robot) override {
        Mode::Attach(robot);
        for (Part part : parts) {
            if (part == Part::Body) {
                AddResource(robot.body);
            } else if (part == Part::Scanner) {
                AddResource(robot.scanner);
            } else {
                AddResource(robot.gun);
            }
        }
    }
    double GetDesirability() override { return score; }
    void Start() override { log.push_back("Start " + name); }
    void Stop() override { log.push_back("Stop " + name); }
    void Update() override { log.push_back("Update " + name); }

    double score = 0.0;

  private:
    std::string name;
    std::vector<Part> parts;
    std::vector<std::string>& log;
};

class RobotTest : public ::testing::Test {
  protected:
    void SetUp() override { channel = &InstallRecordingController(); }

    ScriptedMode& AddMode(const std::string& name, std::vector<Part> parts) {
        auto mode = std::make_unique<ScriptedMode>(name, std::move(parts), log);
        ScriptedMode& added = *mode;
        robot.AddMode(std::move(mode));
        return added;
    }

    /// Runs the choice of modes and returns what it wrote to standard error.
    std::string ChooseModes() {
        ::testing::internal::CaptureStderr();
        robot.SetCurrentModes();
        return ::testing::internal::GetCapturedStderr();
    }

    std::vector<std::string> CurrentNames() const {
        std::vector<std::string> names;
        for (const Mode* mode : robot.CurrentModes()) {
            names.push_back(mode->GetName());
        }
        return names;
    }

    RecordingChannel* channel = nullptr;
    std::vector<std::string> log;
    Robot robot;
};

TEST_F(RobotTest, ConfigureDeclaresEverythingInTheFixedOrder) {
    EXPECT_EQ(robot.identity.id, -1);
    channel->world = [](int) {
        FakeWorld world;
        world.robotId = 17;
        return world;
    };
    ScriptedMode& mode = AddMode("Watcher", {Part::Scanner});
    robot.Configure();

    EXPECT_EQ(channel->Types(), (Types{2, 5, 6, 29, 8, 9, 11, 12, 10, 13}));
    EXPECT_EQ(robot.identity.id, 17);
    const auto& sent = channel->requests;
    EXPECT_EQ(sent[1].values, std::vector<WireValue>{std::string("Plimb")});
    EXPECT_EQ(sent[2].values, std::vector<WireValue>{std::string("Nolix")});
    EXPECT_EQ(sent[3].values, (std::vector<WireValue>{0, 255, 0}));
    EXPECT_EQ(sent[4].values, (std::vector<WireValue>{3.0, 75.0}));
    EXPECT_EQ(sent[5].values, (std::vector<WireValue>{10.0, 60.0, 60.0}));
    EXPECT_EQ(sent[6].values, (std::vector<WireValue>{0.0, 0.0}));
    EXPECT_EQ(sent[7].values, (std::vector<WireValue>{1.3, 4.0, 2.0, 4.5}));
    EXPECT_EQ(sent[8].values, std::vector<WireValue>{50.0});
    EXPECT_EQ(sent[9].values, std::vector<WireValue>{1.5});
    // Attached last: its resources are registered.
    EXPECT_EQ(mode.GetResources(), std::vector<Component>{&robot.scanner});

    // The terrain now sums the walls, the seen objects and the seen robots.
    EXPECT_GT(robot.terrain.Height(14.9, 0.0), 0.0);
}

TEST_F(RobotTest, EachCycleReadsOneSlowValueThenTheSightingsHeadingAndPosition) {
    for (int cycle = 0; cycle < 3; ++cycle) {
        robot.UpdateHardware();
    }
    EXPECT_EQ(channel->Types(),
              (Types{20, 22, 23, 17, 16, 27, 22, 23, 17, 16, 20, 22, 23, 17, 16}));
}

TEST_F(RobotTest, SlowValuesRotateOverAnActiveTurretOnly) {
    struct Case {
        double setting1;
        double setting2;
        std::vector<int> indices;
        Types types;
    };
    for (const Case& c : {Case{0.0, 0.0, {2, 0, 2, 0}, {20, 27, 20, 27}},
                          Case{5.0, 0.0, {2, 0, 2, 0}, {20, 27, 20, 27}},
                          Case{5.0, 7.0, {1, 2, 0, 1}, {20, 25, 27, 20}}}) {
        RecordingChannel& recorder = InstallRecordingController();
        Robot fresh;
        fresh.turret.setting1 = c.setting1;
        fresh.turret.setting2 = c.setting2;
        std::vector<int> indices;
        for (int cycle = 0; cycle < 4; ++cycle) {
            fresh.PollSlowValue();
            indices.push_back(fresh.PollIndex());
        }
        EXPECT_EQ(indices, c.indices) << c.setting1 << " " << c.setting2;
        EXPECT_EQ(recorder.Types(), c.types) << c.setting1 << " " << c.setting2;
    }
}

TEST_F(RobotTest, ReadingsAreStoredAndAFailedReadKeepsItsTurn) {
    channel->world = [](int) {
        FakeWorld world;
        world.x = 4.0;
        world.y = -2.0;
        world.heading = 1.0;
        world.scannerOrientation = 0.5;
        world.gunCharge = 42.0;
        world.robots = {{3, 1.0, 1.0, 0.0, "Zippy", "Nolix"}};
        world.objects = {{8, 2.0, 2.0}, {9, -2.0, 2.0}};
        return world;
    };
    robot.UpdateHardware();
    EXPECT_EQ(robot.body.Position().x, 4.0);
    EXPECT_EQ(robot.body.Position().y, -2.0);
    EXPECT_EQ(robot.body.Heading().Radians(), 1.0);
    EXPECT_EQ(robot.scanner.RelativeHeading().Radians(), 0.5);
    EXPECT_EQ(robot.scanner.robotField.Size(), 1u);
    EXPECT_EQ(robot.scanner.objectField.Size(), 2u);

    channel->FailNext(static_cast<std::int32_t>(ControllerMessage::GetGunCharge), "No gun");
    EXPECT_THROW(robot.UpdateHardware(), std::runtime_error);
    EXPECT_EQ(robot.PollIndex(), 2);
    robot.UpdateHardware();
    EXPECT_EQ(robot.gun.charge, 42.0);
    EXPECT_EQ(robot.PollIndex(), 0);
}

TEST_F(RobotTest, CommandsAreSentOnlyWhenTheyChange) {
    robot.body.SetEngineSpeed(50.0);
    robot.body.SetEngineSpeed(50.0);
    robot.body.SetEngineSpeed(50.00005);
    robot.body.SetEngineSpeed(50.1);
    robot.body.SetEngineOrientation(3 * kPi / 2);
    robot.body.SetEngineOrientation(-kPi / 2);
    robot.scanner.SetOrientation(-kPi);
    robot.scanner.SetOrientation(kPi);
    EXPECT_EQ(channel->Types(), (Types{18, 18, 19, 21}));
    const auto& sent = channel->requests;
    EXPECT_EQ(sent[1].values, std::vector<WireValue>{50.1});
    EXPECT_NEAR(std::get<double>(sent[2].values.at(0)), -kPi / 2, 1e-12);
    EXPECT_EQ(sent[3].values, std::vector<WireValue>{kPi});
}

TEST_F(RobotTest, FiringEmptiesTheChargeOnlyWhenTheShotLeaves) {
    channel->world = [](int) {
        FakeWorld world;
        world.fireResult = -1;
        return world;
    };
    EXPECT_EQ(robot.gun.Fire(), -1);
    EXPECT_EQ(robot.gun.charge, 100.0);
    channel->world = [](int) { return FakeWorld(); };
    EXPECT_EQ(robot.gun.Fire(), 0);
    EXPECT_EQ(robot.gun.charge, 0.0);
    robot.gun.RefreshCharge();
    EXPECT_EQ(robot.gun.charge, 100.0);
}

TEST_F(RobotTest, FirstChoiceStartsEveryChosenModeAndNamesThem) {
    ScriptedMode& rove = AddMode("Rove", {Part::Body});
    ScriptedMode& look = AddMode("LookForward", {Part::Scanner});
    robot.Configure();
    rove.score = 0.1;
    look.score = 0.1;
    EXPECT_EQ(ChooseModes(), "Active modes: Rove LookForward \n");
    EXPECT_EQ(log, (std::vector<std::string>{"Start Rove", "Start LookForward"}));

    robot.UpdateCurrentModes();
    EXPECT_EQ(log.back(), "Update LookForward");
}

TEST_F(RobotTest, SameModesInAnotherOrderAreNoChange) {
    ScriptedMode& a = AddMode("A", {Part::Body});
    ScriptedMode& b = AddMode("B", {Part::Scanner});
    robot.Configure();
    a.score = 0.5;
    b.score = 0.3;
    ChooseModes();
    a.score = 0.2; // B now outranks A: chosen as B, A
    log.clear();
    EXPECT_EQ(ChooseModes(), "");
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(CurrentNames(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(RobotTest, AllScoresZeroStopsEveryCurrentMode) {
    ScriptedMode& a = AddMode("A", {Part::Body});
    ScriptedMode& b = AddMode("B", {Part::Scanner});
    robot.Configure();
    EXPECT_EQ(ChooseModes(), ""); // nothing current, nothing chosen: silent
    a.score = 1.0;
    b.score = 1.0;
    ChooseModes();
    a.score = 0.0;
    b.score = -1.0;
    log.clear();
    EXPECT_EQ(ChooseModes(), "Active modes: \n");
    EXPECT_EQ(log, (std::vector<std::string>{"Stop A", "Stop B"}));
    EXPECT_TRUE(robot.CurrentModes().empty());
}

TEST_F(RobotTest, ChoiceByScoreThenListOrderWithoutSharedComponents) {
    ScriptedMode& rove = AddMode("Rove", {Part::Body});
    ScriptedMode& head = AddMode("HeadForTarget", {Part::Body});
    ScriptedMode& shooter = AddMode("StraightShooter", {Part::Gun, Part::Body});
    ScriptedMode& watch = AddMode("WatchRobots", {Part::Scanner});
    ScriptedMode& broken = AddMode("NotANumber", {Part::Scanner});
    robot.Configure();
    broken.score = std::nan("");

    rove.score = 0.3;
    head.score = 0.3; // equal scores on one component: the earlier mode wins
    watch.score = 0.5;
    ChooseModes();
    EXPECT_EQ(CurrentNames(), (std::vector<std::string>{"WatchRobots", "Rove"}));

    shooter.score = 0.7; // outranks both body modes and claims the body with the gun
    log.clear();
    EXPECT_EQ(ChooseModes(), "Active modes: StraightShooter WatchRobots \n");
    EXPECT_EQ(log, (std::vector<std::string>{"Stop Rove", "Start StraightShooter"}));
}

} // namespace
} // namespace botpilot
