// The robot connection's catalogue against the wire: every message type is served by the arena's
// handler in the stage its entry names, with a request of its entry's values, and its reply decodes
// exactly as the entry's reply kinds say; outside its stage, and for a type outside the catalogue
// or one it reserves, the reply is the error text that says so.
#include "arena/battle/arena_math.h"
#include "arena/protocol/robot_request_handler.h"
#include "wire/controller_catalogue.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace botarena {
namespace {

using botpilot::CatalogueEntry;
using botpilot::Message;
using botpilot::MessageValueTag;
using botpilot::RequestStage;

/// Reads one value of the kind `letter` names; returns it when it is an integer.
std::int32_t ReadKind(Message& reply, char letter) {
    switch (botpilot::KindOfLetter(letter)) {
    case MessageValueTag::Integer:
        return reply.ReadInt();
    case MessageValueTag::Double:
        reply.ReadDouble();
        break;
    case MessageValueTag::String:
        reply.ReadString();
        break;
    }
    return 0;
}

/// Checks that the reply holds exactly what the entry says after an empty error text: its
/// values, then as many entries as its count says. Returns that count (0 without a list).
std::int32_t ExpectReplyAsDeclared(const CatalogueEntry& entry, Reply& reply) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(reply.outcome, ReplyOutcome::Served);
    std::int32_t count = 0;
    try {
        if (entry.errorText) {
            EXPECT_EQ(reply.message.ReadString(), "");
        }
        for (const char* letter = entry.reply; *letter != '\0'; ++letter) {
            count = ReadKind(reply.message, *letter);
        }
        if (*entry.each == '\0') {
            count = 0;
        }
        for (std::int32_t item = 0; item < count; ++item) {
            for (const char* letter = entry.each; *letter != '\0'; ++letter) {
                ReadKind(reply.message, *letter);
            }
        }
    } catch (const std::runtime_error& error) {
        ADD_FAILURE() << "the reply does not decode as declared: " << error.what();
    }
    EXPECT_EQ(reply.message.ReadPosition(), reply.message.Bytes().size())
        << "the reply holds more than declared";
    return count;
}

/// A battle with a running robot whose shell is in flight, both in front of where the
/// connection's robot will stand once started: a started robot sees one of each.
class CatalogueTest : public ::testing::Test {
  protected:
    CatalogueTest() {
        const int other = battle.AddRobot(true).Id();
        battle.StartRobotAt(other, {3.0, 0.0, kPi});
        battle.FireGun(other);
    }

    static Reply Send(RobotRequestHandler& handler, std::int32_t type, const Message& payload) {
        Request request{type, Message(payload.Bytes())};
        return handler.Handle(request);
    }

    std::ostringstream logText;
    EventLog log{logText, [] { return 0.0; }};
    Battle battle{FieldSize{30.0, 20.0}, 3};
};

TEST_F(CatalogueTest, EveryTypeIsServedInItsStageAsDeclaredAndOthersGetTheirErrors) {
    int robotId = 0;
    for (const CatalogueEntry& entry : botpilot::kControllerCatalogue) {
        if (!entry.supported) {
            RobotRequestHandler handler(battle, battle.AddRobot(false).Id(), log);
            Reply reply = Send(handler, entry.type, Message());
            EXPECT_EQ(reply.message.ReadString(),
                      "Message type " + std::to_string(entry.type) + " is not supported");
            EXPECT_EQ(reply.outcome, ReplyOutcome::ProtocolError);
            continue;
        }
        SCOPED_TRACE(entry.name);
        // A fresh robot for every type, the last one gone: configuring, and started where the
        // stage asks it.
        if (robotId != 0) {
            battle.RemoveRobot(robotId);
        }
        robotId = battle.AddRobot(false).Id();
        RobotRequestHandler handler(battle, robotId, log);
        const auto start = [&] {
            if (battle.Find(robotId)->Stage() == RobotStage::Configuring) {
                battle.StartRobotAt(robotId, {0.0, 0.0, 0.0});
            }
        };
        const Message request = botpilot::AcceptedRequest(entry);
        if (entry.stage == RequestStage::Running) {
            Reply early = Send(handler, entry.type, request);
            EXPECT_EQ(early.message.ReadString(), "Robot not started");
            EXPECT_EQ(early.outcome, ReplyOutcome::Refused);
            start();
        }
        Reply reply = Send(handler, entry.type, request);
        const std::int32_t count = ExpectReplyAsDeclared(entry, reply);
        if (*entry.each != '\0') {
            EXPECT_EQ(count, 1) << "a started robot sees one robot and one shell";
        }
        if (entry.stage == RequestStage::AnyTime) {
            start();
            Reply running = Send(handler, entry.type, request);
            ExpectReplyAsDeclared(entry, running);
        }
        if (entry.stage == RequestStage::Configuring) {
            start();
            Reply late = Send(handler, entry.type, request);
            EXPECT_EQ(late.message.ReadString(), "Robot already started");
            EXPECT_EQ(late.outcome, ReplyOutcome::Refused);
        }
        if (!entry.errorText) {
            continue;
        }
        // A value more, and (where there is one) a value fewer, are protocol errors that name
        // the request and its count.
        Message longer = request;
        longer.AddInt(1);
        Reply tooMany = Send(handler, entry.type, longer);
        EXPECT_EQ(tooMany.message.ReadString(), std::string(entry.name) + " takes " +
                                                    std::to_string(entry.valueCount) +
                                                    (entry.valueCount == 1 ? " value" : " values") +
                                                    ", but the request holds more");
        EXPECT_EQ(tooMany.outcome, ReplyOutcome::ProtocolError);
        if (entry.valueCount > 0) {
            Message shorter;
            for (std::size_t i = 0; i + 1 < entry.valueCount; ++i) {
                botpilot::AddAcceptedValue(shorter, entry.values[i]);
            }
            Reply tooFew = Send(handler, entry.type, shorter);
            EXPECT_EQ(tooFew.message.ReadString(),
                      std::string(entry.name) + ": Reached end of message");
            EXPECT_EQ(tooFew.outcome, ReplyOutcome::ProtocolError);
        }
    }
    // Numbers outside the catalogue.
    RobotRequestHandler handler(battle, battle.AddRobot(false).Id(), log);
    for (const std::int32_t type : {-1, 0, 30, 99}) {
        Reply reply = Send(handler, type, Message());
        EXPECT_EQ(reply.message.ReadString(), "Unknown message type " + std::to_string(type));
        EXPECT_EQ(reply.outcome, ReplyOutcome::ProtocolError);
    }
}

} // namespace
} // namespace botarena
