#include "link/controller.h"
#include "link/message_channel.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using Bytes = std::vector<std::uint8_t>;

/// Records each request and answers with the next scripted reply.
class ScriptedChannel final : public MessageChannel {
  public:
    struct Sent {
        std::int32_t type = 0;
        Bytes payload;
    };

    explicit ScriptedChannel(Message reply) : reply(std::move(reply)) {}

    void Connect(const std::string&, std::int32_t) override {}

    Message Exchange(std::int32_t messageType, const Message& request) override {
        sent.push_back({messageType, request.Bytes()});
        return reply;
    }

    Message reply;
    std::vector<Sent> sent;
};

/// A controller answering every request with `reply`, and the channel that records them.
struct Rig {
    explicit Rig(Message reply) {
        auto owned = std::make_unique<ScriptedChannel>(std::move(reply));
        channel = owned.get();
        controller = std::make_unique<Controller>(std::move(owned));
    }
    ScriptedChannel* channel = nullptr; // owned by the controller
    std::unique_ptr<Controller> controller;
};

Message Reply(const std::function<void(Message&)>& values, const std::string& error = "") {
    Message reply;
    reply.AddString(error);
    values(reply);
    return reply;
}

Message Request(const std::function<void(Message&)>& values) {
    Message request;
    values(request);
    return request;
}

void Nothing(Message&) {}

TEST(ControllerTest, EveryOperationSendsItsTypeAndValuesAndReadsItsReply) {
    struct Case {
        const char* name;
        std::int32_t type;
        Message request;
        Message reply;
        std::function<std::string(Controller&)> call; // returns what the operation gave back
        std::string expected;
    };
    auto d = [](double v) { return [v](Message& m) { m.AddDouble(v); }; };
    auto ds = [](std::vector<double> vs) {
        return [vs](Message& m) {
            for (double v : vs) {
                m.AddDouble(v);
            }
        };
    };
    auto s = [](const char* t) { return [t](Message& m) { m.AddString(t); }; };
    auto i = [](std::int32_t v) { return [v](Message& m) { m.AddInt(v); }; };
    auto none = [](auto call) {
        return [call](Controller& c) {
            call(c);
            return std::string("done");
        };
    };
    auto number = [](auto call) {
        return [call](Controller& c) {
            std::ostringstream text;
            text << call(c);
            return text.str();
        };
    };
    auto pair = [](auto call) {
        return [call](Controller& c) {
            const auto [a, b] = call(c);
            std::ostringstream text;
            text << a << "," << b;
            return text.str();
        };
    };

    Message fieldSize;
    fieldSize.AddDouble(40.0);
    fieldSize.AddDouble(25.0);

    const std::vector<Case> cases = {
        {"GetPlayingFieldSize", 1, Message(), fieldSize,
         pair([](Controller& c) { return c.GetPlayingFieldSize(); }), "40,25"},
        {"GetRobotId", 2, Message(), Reply(i(7)),
         number([](Controller& c) { return c.GetRobotId(); }), "7"},
        {"SetRobotType", 5, Request(s("Zippy")), Reply(Nothing),
         none([](Controller& c) { c.SetRobotType("Zippy"); }), "done"},
        {"SetRobotName", 6, Request(s("Nolix")), Reply(Nothing),
         none([](Controller& c) { c.SetRobotName("Nolix"); }), "done"},
        {"ConfigureEngine", 8, Request(ds({3.0, 75.0})), Reply(Nothing),
         none([](Controller& c) { c.ConfigureEngine(3.0, 75.0); }), "done"},
        {"ConfigureScanner", 9, Request(ds({10.0, 60.0, 60.0})), Reply(Nothing),
         none([](Controller& c) { c.ConfigureScanner(10.0, 60.0, 60.0); }), "done"},
        {"ConfigureFirstFitting", 10, Request(d(50.0)), Reply(Nothing),
         none([](Controller& c) { c.ConfigureFirstFitting(50.0); }), "done"},
        {"ConfigureTurret", 11, Request(ds({0.0, 0.0})), Reply(Nothing),
         none([](Controller& c) { c.ConfigureTurret(0.0, 0.0); }), "done"},
        {"ConfigureGun", 12, Request(ds({1.3, 4.0, 2.0, 4.5})), Reply(Nothing),
         none([](Controller& c) { c.ConfigureGun(1.3, 4.0, 2.0, 4.5); }), "done"},
        {"ConfigureSecondFitting", 13, Request(d(1.5)), Reply(Nothing),
         none([](Controller& c) { c.ConfigureSecondFitting(1.5); }), "done"},
        {"StartRobot", 14, Message(), Reply(Nothing), none([](Controller& c) { c.StartRobot(); }),
         "done"},
        {"GetPosition", 16, Message(), Reply(ds({1.5, -2.25})),
         pair([](Controller& c) { return c.GetPosition(); }), "1.5,-2.25"},
        {"GetOrientation", 17, Message(), Reply(d(0.5)),
         number([](Controller& c) { return c.GetOrientation(); }), "0.5"},
        {"SetEngineSpeed", 18, Request(d(2.5)), Reply(Nothing),
         none([](Controller& c) { c.SetEngineSpeed(2.5); }), "done"},
        {"SetEngineOrientation", 19, Request(d(-1.25)), Reply(Nothing),
         none([](Controller& c) { c.SetEngineOrientation(-1.25); }), "done"},
        {"GetScannerOrientation", 20, Message(), Reply(d(3.0)),
         number([](Controller& c) { return c.GetScannerOrientation(); }), "3"},
        {"SetScannerOrientation", 21, Request(d(0.75)), Reply(Nothing),
         none([](Controller& c) { c.SetScannerOrientation(0.75); }), "done"},
        {"GetTurretOrientation", 25, Message(), Reply(d(-0.5)),
         number([](Controller& c) { return c.GetTurretOrientation(); }), "-0.5"},
        {"GetGunCharge", 27, Message(), Reply(d(62.5)),
         number([](Controller& c) { return c.GetGunCharge(); }), "62.5"},
        {"FireGun fired", 28, Message(), Reply(i(0)),
         number([](Controller& c) { return c.FireGun(); }), "0"},
        {"FireGun not fired", 28, Message(), Reply(i(-1)),
         number([](Controller& c) { return c.FireGun(); }), "-1"},
        {"SetRobotColour", 29, Request([](Message& m) {
             m.AddInt(0);
             m.AddInt(255);
             m.AddInt(0);
         }),
         Reply(Nothing), none([](Controller& c) { c.SetRobotColour(0, 255, 0); }), "done"},
    };
    for (const Case& c : cases) {
        Rig rig(c.reply);
        EXPECT_EQ(c.call(*rig.controller), c.expected) << c.name;
        ASSERT_EQ(rig.channel->sent.size(), 1u) << c.name;
        EXPECT_EQ(rig.channel->sent[0].type, c.type) << c.name;
        EXPECT_EQ(rig.channel->sent[0].payload, c.request.Bytes()) << c.name;
    }
}

TEST(ControllerTest, SetRobotColourPayloadIsTheFifteenDocumentedBytes) {
    Rig rig(Reply(Nothing));
    rig.controller->SetRobotColour(0, 255, 0);
    EXPECT_EQ(rig.channel->sent.at(0).payload,
              (Bytes{0x01, 0, 0, 0, 0, 0x01, 0xFF, 0, 0, 0, 0x01, 0, 0, 0, 0}));
}

TEST(ControllerTest, ListRepliesComeBackInReplyOrder) {
    Rig robots(Reply([](Message& m) {
        m.AddInt(2);
        for (int id : {5, 9}) {
            m.AddInt(id);
            m.AddDouble(id + 0.5);
            m.AddDouble(-id);
            m.AddDouble(0.25 * id);
            m.AddString("Type" + std::to_string(id));
            m.AddString("Name" + std::to_string(id));
        }
    }));
    const std::vector<RobotSighting> seenRobots = robots.controller->GetSeenRobots();
    ASSERT_EQ(seenRobots.size(), 2u);
    EXPECT_EQ(seenRobots[1].id, 9);
    EXPECT_EQ(seenRobots[1].x, 9.5);
    EXPECT_EQ(seenRobots[1].y, -9.0);
    EXPECT_EQ(seenRobots[1].orientation, 2.25);
    EXPECT_EQ(seenRobots[1].type, "Type9");
    EXPECT_EQ(seenRobots[1].name, "Name9");
    EXPECT_EQ(seenRobots[0].id, 5);
    EXPECT_EQ(robots.channel->sent.at(0).type, 22);

    Rig objects(Reply([](Message& m) {
        m.AddInt(2);
        m.AddInt(11);
        m.AddDouble(1.0);
        m.AddDouble(2.0);
        m.AddInt(12);
        m.AddDouble(3.0);
        m.AddDouble(4.0);
    }));
    const std::vector<ObjectSighting> seenObjects = objects.controller->GetSeenObjects();
    ASSERT_EQ(seenObjects.size(), 2u);
    EXPECT_EQ(seenObjects[0].id, 11);
    EXPECT_EQ(seenObjects[1].id, 12);
    EXPECT_EQ(seenObjects[1].y, 4.0);
    EXPECT_EQ(objects.channel->sent.at(0).type, 23);

    Rig empty(Reply([](Message& m) { m.AddInt(0); }));
    EXPECT_TRUE(empty.controller->GetSeenObjects().empty());
}

TEST(ControllerTest, ServerErrorTextIsThrownBeforeAnyValueIsRead) {
    Rig rig(Reply(Nothing, "Robot destroyed"));
    try {
        rig.controller->GetPosition();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Robot destroyed");
    }
}

TEST(ControllerTest, FieldSizeReplyHasNoErrorText) {
    Rig rig(Reply([](Message& m) { m.AddDouble(1.0); }));
    try {
        rig.controller->GetPlayingFieldSize();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "The next value in the message is not a double");
    }
}

TEST(ControllerTest, ShortRepliesAreDecodingErrors) {
    Rig rig(Reply(Nothing));
    try {
        rig.controller->GetOrientation();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Reached end of message");
    }
}

// Regression: a list count is sized up front by the naive reading, so a reply declaring two
// billion entries made the client allocate for all of them. The list must grow only as entries
// decode, and fail with the decoding error when they run out.
TEST(ControllerTest, HugeListCountsFailOnTheMissingEntries) {
    for (std::int32_t count : {2, 1000, 2147483647}) {
        Rig robots(Reply([count](Message& m) {
            m.AddInt(count);
            m.AddInt(1);
        }));
        try {
            robots.controller->GetSeenRobots();
            FAIL() << "no error for " << count;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Reached end of message") << count;
        }
        Rig objects(Reply([count](Message& m) { m.AddInt(count); }));
        try {
            objects.controller->GetSeenObjects();
            FAIL() << "no error for " << count;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Reached end of message") << count;
        }
    }
}

TEST(ControllerTest, NegativeListCountsAreLengthErrors) {
    for (std::int32_t count : {-1, -2147483647 - 1}) {
        Rig robots(Reply([count](Message& m) { m.AddInt(count); }));
        try {
            robots.controller->GetSeenRobots();
            FAIL() << "no error for " << count;
        } catch (const std::length_error& error) {
            EXPECT_NE(std::string(error.what()).find("negative count of " + std::to_string(count)),
                      std::string::npos)
                << error.what();
        }
        Rig objects(Reply([count](Message& m) { m.AddInt(count); }));
        EXPECT_THROW(objects.controller->GetSeenObjects(), std::length_error) << count;
    }
}

} // namespace
} // namespace botpilot
