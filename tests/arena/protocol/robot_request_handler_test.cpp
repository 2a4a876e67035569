#include "arena/battle/arena_math.h"
#include "arena/protocol/robot_request_handler.h"
#include "wire/controller_message.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sstream>

namespace botarena {
namespace {

using botpilot::ControllerMessage;
using botpilot::Message;

Message Doubles(std::initializer_list<double> values) {
    Message message;
    for (const double value : values) {
        message.AddDouble(value);
    }
    return message;
}

Message Text(const std::string& text) {
    Message message;
    message.AddString(text);
    return message;
}

Message Ints(std::initializer_list<std::int32_t> values) {
    Message message;
    for (const std::int32_t value : values) {
        message.AddInt(value);
    }
    return message;
}

class RobotRequestHandlerTest : public ::testing::Test {
  protected:
    Reply Send(std::int32_t type, const Message& payload = Message()) {
        Request request{type, Message(payload.Bytes())};
        return handler.Handle(request);
    }
    Reply Send(ControllerMessage type, const Message& payload = Message()) {
        return Send(static_cast<std::int32_t>(type), payload);
    }
    /// The reply's error text, leaving the read position after it.
    static std::string ErrorText(Reply& reply) { return reply.message.ReadString(); }
    static bool FullyRead(const Reply& reply) {
        return reply.message.ReadPosition() == reply.message.Bytes().size();
    }
    ArenaRobot& Robot() { return *battle.Find(robotId); }

    std::ostringstream logText;
    EventLog log{logText, [] { return 0.0; }};
    Battle battle{FieldSize{30.0, 20.0}, 3};
    int robotId = battle.AddRobot(false).Id();
    RobotRequestHandler handler{battle, robotId, log};
};

TEST_F(RobotRequestHandlerTest, FieldSizeReplyHasNoErrorText) {
    for (const bool stray : {false, true}) {
        Reply reply = Send(ControllerMessage::GetPlayingFieldSize, stray ? Ints({1}) : Message());
        EXPECT_DOUBLE_EQ(reply.message.ReadDouble(), 30.0);
        EXPECT_DOUBLE_EQ(reply.message.ReadDouble(), 20.0);
        EXPECT_TRUE(FullyRead(reply));
        EXPECT_EQ(reply.outcome, stray ? ReplyOutcome::ProtocolError : ReplyOutcome::Served);
    }
}

TEST_F(RobotRequestHandlerTest, ConfigurationStoresTheDeclaredValues) {
    // The driven robot's configuration, in the order the client sends it.
    const std::pair<ControllerMessage, Message> requests[] = {
        {ControllerMessage::SetRobotType, Text("Zippy")},
        {ControllerMessage::SetRobotName, Text("Nolix")},
        {ControllerMessage::SetRobotColour, Ints({0, 255, 0})},
        {ControllerMessage::ConfigureEngine, Doubles({12.0, 180.0})},
        {ControllerMessage::ConfigureScanner, Doubles({10.0, 150.0, 60.0})},
        {ControllerMessage::ConfigureTurret, Doubles({0.0, 0.0})},
        {ControllerMessage::ConfigureGun, Doubles({1.5, 10.0, 15.16, 0.4})},
        {ControllerMessage::ConfigureFirstFitting, Doubles({25.0})},
        {ControllerMessage::ConfigureSecondFitting, Doubles({1.5})},
    };
    for (const auto& [type, payload] : requests) {
        const Reply reply = Send(type, payload);
        // Exactly one empty error text: 03 00 00 00 00.
        EXPECT_EQ(reply.message.Bytes(), (std::vector<std::uint8_t>{3, 0, 0, 0, 0}))
            << static_cast<int>(type);
        EXPECT_EQ(reply.outcome, ReplyOutcome::Served);
    }
    const RobotSettings& settings = Robot().Settings();
    EXPECT_EQ(Robot().Identity().type, "Zippy");
    EXPECT_EQ(Robot().Identity().green, 255);
    EXPECT_DOUBLE_EQ(settings.engine.maxSpeed, 12.0);
    EXPECT_DOUBLE_EQ(settings.engine.maxTurnRate, 180.0);
    EXPECT_DOUBLE_EQ(settings.scanner.fieldOfView, 150.0);
    EXPECT_FALSE(settings.turret.IsActive());
    EXPECT_DOUBLE_EQ(settings.gun.damage, 15.16);
    EXPECT_DOUBLE_EQ(settings.gun.rechargeSeconds, 0.4);
    EXPECT_DOUBLE_EQ(settings.armour, 25.0);
    EXPECT_NE(logText.str().find("robot 1 (Nolix): configure engine 12 180"), std::string::npos);

    Reply id = Send(ControllerMessage::GetRobotId);
    EXPECT_EQ(ErrorText(id), "");
    EXPECT_EQ(id.message.ReadInt(), robotId);
}

// The stages and the reply forms of every type are the catalogue test's (catalogue_test.cpp);
// here, what the readings and commands say and do.
TEST_F(RobotRequestHandlerTest, EachReadingReportsTheRobotAndEachCommandActs) {
    Reply started = Send(ControllerMessage::StartRobot);
    ASSERT_EQ(ErrorText(started), "");
    const BodyState body = Robot().Body();

    Reply position = Send(ControllerMessage::GetPosition);
    EXPECT_EQ(ErrorText(position), "");
    EXPECT_DOUBLE_EQ(position.message.ReadDouble(), body.x);
    EXPECT_DOUBLE_EQ(position.message.ReadDouble(), body.y);

    const std::pair<ControllerMessage, double> singles[] = {
        {ControllerMessage::GetOrientation, body.heading},
        {ControllerMessage::GetScannerOrientation, 0.0},
        {ControllerMessage::GetTurretOrientation, 0.0},
        {ControllerMessage::GetGunCharge, 100.0},
    };
    for (const auto& [type, value] : singles) {
        Reply reply = Send(type);
        EXPECT_EQ(ErrorText(reply), "") << static_cast<int>(type);
        EXPECT_DOUBLE_EQ(reply.message.ReadDouble(), value) << static_cast<int>(type);
    }
    for (const ControllerMessage type :
         {ControllerMessage::GetSeenRobots, ControllerMessage::GetSeenObjects}) {
        Reply reply = Send(type);
        EXPECT_EQ(ErrorText(reply), "");
        EXPECT_EQ(reply.message.ReadInt(), 0);
    }
    for (const ControllerMessage type :
         {ControllerMessage::SetEngineSpeed, ControllerMessage::SetEngineOrientation,
          ControllerMessage::SetScannerOrientation}) {
        Reply reply = Send(type, Doubles({0.5}));
        EXPECT_EQ(ErrorText(reply), "");
    }
    EXPECT_DOUBLE_EQ(Robot().Order().speed, 0.5);
    EXPECT_DOUBLE_EQ(Robot().Order().orientation, 0.5);

    Reply fired = Send(ControllerMessage::FireGun);
    EXPECT_EQ(ErrorText(fired), "");
    EXPECT_EQ(fired.message.ReadInt(), 1);
    Reply again = Send(ControllerMessage::FireGun);
    EXPECT_EQ(ErrorText(again), "");
    EXPECT_EQ(again.message.ReadInt(), -1);
}

TEST_F(RobotRequestHandlerTest, ReadingsBetweenStepsLieWhereTheNextStepPasses) {
    // A robot driving and turning, one it sees driving too, and a shell: half a step after a
    // step, each reading is where half a step more puts it.
    double sinceStep = 0.0;
    RobotRequestHandler between{battle, robotId, log, 0, [&] { return sinceStep; }};
    auto send = [&](ControllerMessage type) {
        Request request{static_cast<std::int32_t>(type), Message()};
        Reply reply = between.Handle(request);
        EXPECT_EQ(reply.message.ReadString(), "");
        return reply;
    };
    battle.StartRobotAt(robotId, {0.0, 0.0, 0.0});
    const int other = battle.AddRobot(false).Id();
    battle.StartRobotAt(other, {3.0, 0.0, kPi / 2});
    for (const int id : {robotId, other}) {
        battle.Find(id)->SetEngineSpeed(100.0);
    }
    Robot().SetEngineOrientation(1.0);
    ASSERT_GE(battle.FireGun(robotId), 1);
    battle.Step(0.01);
    sinceStep = 0.005;

    Reply position = send(ControllerMessage::GetPosition);
    Reply heading = send(ControllerMessage::GetOrientation);
    Reply seen = send(ControllerMessage::GetSeenRobots);
    Reply objects = send(ControllerMessage::GetSeenObjects);
    battle.Step(0.005);
    const BodyState me = Robot().Body();
    const BodyState them = battle.Find(other)->Body();
    EXPECT_NEAR(position.message.ReadDouble(), me.x, 1e-12);
    EXPECT_NEAR(position.message.ReadDouble(), me.y, 1e-12);
    EXPECT_NEAR(heading.message.ReadDouble(), me.heading, 1e-12);
    ASSERT_EQ(seen.message.ReadInt(), 1);
    EXPECT_EQ(seen.message.ReadInt(), other);
    EXPECT_NEAR(seen.message.ReadDouble(), them.x, 1e-12);
    EXPECT_NEAR(seen.message.ReadDouble(), them.y, 1e-12);
    ASSERT_EQ(objects.message.ReadInt(), 1);
    objects.message.ReadInt();
    EXPECT_NEAR(objects.message.ReadDouble(), battle.Shells().front().position.x, 1e-12);
}

TEST_F(RobotRequestHandlerTest, SeenRobotsCarryPositionHeadingTypeAndName) {
    battle.StartRobotAt(robotId, {0.0, 0.0, 0.0});
    ArenaRobot& other = battle.AddRobot(true);
    other.Identity().type = "Simple";
    other.Identity().name = "Bot 1";
    battle.StartRobotAt(other.Id(), {4.0, 1.0, kPi});
    ASSERT_EQ(battle.FireGun(other.Id()), 1); // its shell starts at (4, 1), in view

    Reply robots = Send(ControllerMessage::GetSeenRobots);
    EXPECT_EQ(ErrorText(robots), "");
    ASSERT_EQ(robots.message.ReadInt(), 1);
    EXPECT_EQ(robots.message.ReadInt(), other.Id());
    EXPECT_DOUBLE_EQ(robots.message.ReadDouble(), 4.0);
    EXPECT_DOUBLE_EQ(robots.message.ReadDouble(), 1.0);
    EXPECT_DOUBLE_EQ(robots.message.ReadDouble(), kPi);
    EXPECT_EQ(robots.message.ReadString(), "Simple");
    EXPECT_EQ(robots.message.ReadString(), "Bot 1");
    EXPECT_TRUE(FullyRead(robots));

    Reply objects = Send(ControllerMessage::GetSeenObjects);
    EXPECT_EQ(ErrorText(objects), "");
    ASSERT_EQ(objects.message.ReadInt(), 1);
    EXPECT_EQ(objects.message.ReadInt(), 1);
    EXPECT_DOUBLE_EQ(objects.message.ReadDouble(), 4.0);
    EXPECT_DOUBLE_EQ(objects.message.ReadDouble(), 1.0);
    EXPECT_TRUE(FullyRead(objects));
}

TEST_F(RobotRequestHandlerTest, BadRequestsGetClearErrorTexts) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        std::int32_t type;
        Message payload;
        std::string text;
        ReplyOutcome outcome;
    };
    const auto type = [](ControllerMessage message) { return static_cast<std::int32_t>(message); };
    const Row rows[] = {
        {type(ControllerMessage::ConfigureEngine), Ints({12, 180}),
         "ConfigureEngine: The next value in the message is not a double",
         ReplyOutcome::ProtocolError},
        {type(ControllerMessage::ConfigureEngine), Doubles({12.0}),
         "ConfigureEngine: Reached end of message", ReplyOutcome::ProtocolError},
        {type(ControllerMessage::ConfigureFirstFitting), Doubles({25.0, 1.0}),
         "ConfigureFirstFitting takes 1 value, but the request holds more",
         ReplyOutcome::ProtocolError},
        {type(ControllerMessage::SetRobotName), Ints({5}),
         "SetRobotName: The next value in the message is not a string",
         ReplyOutcome::ProtocolError},
        {type(ControllerMessage::StartRobot), Ints({1}),
         "StartRobot takes 0 values, but the request holds more", ReplyOutcome::ProtocolError},
        {type(ControllerMessage::ConfigureEngine), Doubles({25.0, 180.0}),
         "Engine maximum speed 25 is out of range [0.1, 20]", ReplyOutcome::Refused},
        {type(ControllerMessage::ConfigureEngine), Doubles({12.0, 0.0}),
         "Engine turning rate 0 is out of range [1, 720]", ReplyOutcome::Refused},
        {type(ControllerMessage::ConfigureScanner), Doubles({10.0, nan, 60.0}),
         "Scanner field of view nan is out of range [1, 360]", ReplyOutcome::Refused},
        {type(ControllerMessage::ConfigureGun), Doubles({1.5, 10.0, -1.0, 0.4}),
         "Gun damage -1 is out of range [0, 1000]", ReplyOutcome::Refused},
        // Regression: shells too slow to ever spend their range, and a gun full every step.
        {type(ControllerMessage::ConfigureGun), Doubles({1e-300, 10.0, 2.0, 0.4}),
         "Gun shell speed 1e-300 is out of range [0.5, 5]", ReplyOutcome::Refused},
        {type(ControllerMessage::ConfigureGun), Doubles({1.5, 10.0, 2.0, 1e-300}),
         "Gun recharge time 1e-300 is out of range [0.1, 60]", ReplyOutcome::Refused},
        {type(ControllerMessage::ConfigureSecondFitting), Doubles({101.0}),
         "Repair rate 101 is out of range [0, 100]", ReplyOutcome::Refused},
        {type(ControllerMessage::SetRobotColour), Ints({0, 256, 0}),
         "Green 256 is out of range [0, 255]", ReplyOutcome::Refused},
        {type(ControllerMessage::SetRobotName), Text(""),
         "Robot name must be 1 to 64 bytes long, not 0", ReplyOutcome::Refused},
        {type(ControllerMessage::SetRobotType), Text(std::string(65, 't')),
         "Robot type must be 1 to 64 bytes long, not 65", ReplyOutcome::Refused},
    };
    const RobotSettings before = Robot().Settings();
    for (const Row& row : rows) {
        Reply reply = Send(row.type, row.payload);
        EXPECT_EQ(ErrorText(reply), row.text);
        EXPECT_TRUE(FullyRead(reply)) << row.text;
        EXPECT_EQ(reply.outcome, row.outcome) << row.text;
    }
    // A refused configuration changes nothing.
    EXPECT_DOUBLE_EQ(Robot().Settings().engine.maxSpeed, before.engine.maxSpeed);
    EXPECT_DOUBLE_EQ(Robot().Settings().scanner.fieldOfView, before.scanner.fieldOfView);
    EXPECT_EQ(Robot().Identity().name, "Nolix");

    Reply started = Send(ControllerMessage::StartRobot);
    ASSERT_EQ(ErrorText(started), "");
    Reply speed =
        Send(ControllerMessage::SetEngineSpeed, Doubles({std::numeric_limits<double>::infinity()}));
    EXPECT_EQ(ErrorText(speed), "Engine speed inf is not a finite number");
    Reply orientation = Send(ControllerMessage::SetScannerOrientation, Doubles({nan}));
    EXPECT_EQ(ErrorText(orientation), "Scanner orientation nan is not a finite number");
}

TEST_F(RobotRequestHandlerTest, ConfigurationEndsAtTheStart) {
    Reply first = Send(ControllerMessage::StartRobot);
    EXPECT_EQ(ErrorText(first), "");
    Reply second = Send(ControllerMessage::StartRobot);
    EXPECT_EQ(ErrorText(second), "Robot already started");
    Reply engine = Send(ControllerMessage::ConfigureEngine, Doubles({12.0, 180.0}));
    EXPECT_EQ(ErrorText(engine), "Robot already started");
    EXPECT_EQ(engine.outcome, ReplyOutcome::Refused);
    EXPECT_DOUBLE_EQ(Robot().Settings().engine.maxSpeed, 3.0);
}

// Regression: every start ever made counted toward the limit, so 254 quick cycles of connecting,
// starting and leaving kept every later robot from starting for the rest of the battle; later,
// 1024 departures kept since the start did the same.
TEST_F(RobotRequestHandlerTest, StartsAreLimitedByRobotsOnTheFieldNotByStartsEverMade) {
    std::vector<int> running;
    int left = 0;
    const auto startNew = [&] {
        const int id = battle.AddRobot(false).Id();
        RobotRequestHandler other(battle, id, log, id);
        Request request{static_cast<std::int32_t>(ControllerMessage::StartRobot), Message()};
        Reply reply = other.Handle(request);
        if (battle.Find(id)->IsRunning()) {
            running.push_back(id);
        }
        return reply;
    };
    const auto leave = [&] {
        battle.RemoveRobot(running.back());
        running.pop_back();
        ++left;
    };
    struct Case {
        int left;    // robots that have left the field, to reach first
        int running; // robots running, to reach first
        std::string error;
    };
    const Case cases[] = {
        {300, 0, ""},
        {300, kMaxRunningRobots, "The arena already runs its limit of 128 robots"},
        {301, kMaxRunningRobots - 1, ""},
        {1100, 0, ""},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.left) + " left, " + std::to_string(each.running) +
                     " running");
        while (static_cast<int>(running.size()) > each.running) {
            leave();
        }
        while (left < each.left) {
            startNew();
            leave();
        }
        while (static_cast<int>(running.size()) < each.running) {
            startNew();
        }
        Reply reply = startNew();
        EXPECT_EQ(ErrorText(reply), each.error);
        EXPECT_EQ(reply.outcome, each.error.empty() ? ReplyOutcome::Served : ReplyOutcome::Refused);
    }
    // The departed beyond the last 256 are forgotten, their figures summed up; the fixture's
    // robot and the refused one are still configuring.
    EXPECT_EQ(battle.Robots().size(), 2 + kMaxKeptGoneRobots + running.size());
    EXPECT_EQ(battle.Forgotten().count, 1100 - static_cast<int>(kMaxKeptGoneRobots));

    // Regression: built-in opponents counted too, so with 128 of them no client could start.
    for (int i = 0; i < 2 * kMaxRunningRobots; ++i) {
        battle.StartRobot(battle.AddRobot(true).Id());
    }
    Reply afterOpponents = startNew();
    EXPECT_EQ(ErrorText(afterOpponents), "");
}

TEST_F(RobotRequestHandlerTest, DestroyedRobotIsToldSoOnEveryRequest) {
    battle.StartRobotAt(robotId, {0.0, 0.0, 0.0});
    ArenaRobot& shooter = battle.AddRobot(true);
    shooter.Settings().gun.damage = 100.0;
    battle.StartRobotAt(shooter.Id(), {2.0, 0.0, kPi});
    battle.FireGun(shooter.Id());
    for (int i = 0; i < 20; ++i) {
        battle.Step(0.01);
    }
    ASSERT_EQ(Robot().Stage(), RobotStage::Destroyed);

    for (const ControllerMessage type :
         {ControllerMessage::GetPosition, ControllerMessage::GetRobotId, ControllerMessage::FireGun,
          ControllerMessage::SetRobotName}) {
        Reply reply = Send(type, type == ControllerMessage::SetRobotName ? Text("x") : Message());
        EXPECT_EQ(ErrorText(reply), "Robot destroyed") << static_cast<int>(type);
    }
    Reply size = Send(ControllerMessage::GetPlayingFieldSize);
    EXPECT_DOUBLE_EQ(size.message.ReadDouble(), 30.0);
}

TEST_F(RobotRequestHandlerTest, RandomRequestsAreAlwaysAnsweredAndNeverThrow) {
    // Well-formed frames with arbitrary types and values, as a confused or hostile client
    // might send them, with the battle running in between.
    std::mt19937 random(17);
    const double oddValues[] = {0.0,
                                -1.0,
                                1e300,
                                -1e300,
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                12.0,
                                0.4,
                                180.0};
    battle.StartRobotAt(battle.AddRobot(true).Id(), {2.0, 0.0, kPi});
    for (int i = 0; i < 5000; ++i) {
        const std::int32_t type = std::uniform_int_distribution<std::int32_t>(-2, 32)(random);
        Message payload;
        const int count = std::uniform_int_distribution<int>(0, 4)(random);
        for (int v = 0; v < count; ++v) {
            switch (std::uniform_int_distribution<int>(0, 2)(random)) {
            case 0:
                payload.AddInt(std::uniform_int_distribution<std::int32_t>(-300, 300)(random));
                break;
            case 1:
                payload.AddDouble(oddValues[std::uniform_int_distribution<int>(0, 8)(random)]);
                break;
            default:
                payload.AddString(
                    std::string(std::uniform_int_distribution<int>(0, 70)(random), 'z'));
                break;
            }
        }
        Reply reply;
        ASSERT_NO_THROW(reply = Send(type, payload)) << "request " << i << ", type " << type;
        if (type == static_cast<std::int32_t>(ControllerMessage::GetPlayingFieldSize)) {
            EXPECT_NO_THROW(reply.message.ReadDouble());
        } else {
            EXPECT_NO_THROW(reply.message.ReadString()) << "request " << i << ", type " << type;
        }
        battle.Step(0.01);
    }
    // Whatever it was told, the robot is still on the field with a sane state.
    if (Robot().IsRunning()) {
        EXPECT_TRUE(battle.Field().Contains({Robot().Body().x, Robot().Body().y}));
        EXPECT_TRUE(std::isfinite(Robot().Body().heading));
    }
}

} // namespace
} // namespace botarena
