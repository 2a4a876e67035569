// The playing field asks the process's one controller, which connects on first use to the host
// and port of the process settings. This program is the only user of that controller.

#include "link/controller.h"
#include "link/settings.h"
#include "tests/support/scripted_server.h"
#include "wire/controller_message.h"
#include "wire/message.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace botpilot {
namespace {

using testing::AnswerHandshake;
using testing::ReadRequest;
using testing::ReceivedRequest;
using testing::ScriptedServer;
using testing::WriteReply;

constexpr auto kFieldSizeType = static_cast<std::int32_t>(ControllerMessage::GetPlayingFieldSize);
constexpr auto kRobotIdType = static_cast<std::int32_t>(ControllerMessage::GetRobotId);

TEST(PlayingFieldFetchTest, AsksAgainAfterAFailureAndNeverAfterASuccess) {
    std::vector<ReceivedRequest> received;
    ScriptedServer server([&received](TcpSocket& client) {
        AnswerHandshake(client);
        // A reply that starts with a text cannot be read as a size.
        if (auto request = ReadRequest(client)) {
            received.push_back(*request);
            Message reply;
            reply.AddString("busy");
            WriteReply(client, reply);
        }
        if (auto request = ReadRequest(client)) {
            received.push_back(*request);
            Message reply;
            reply.AddDouble(40.0);
            reply.AddDouble(24.0);
            WriteReply(client, reply);
        }
        // The next request must be the robot id: a second size request would come here first.
        if (auto request = ReadRequest(client)) {
            received.push_back(*request);
            Message reply;
            reply.AddString("");
            reply.AddInt(7);
            WriteReply(client, reply);
        }
    });
    ProcessSettings().serverHost = "127.0.0.1";
    ProcessSettings().serverPort = server.Port();
    const checks::ScopedPlayingFieldSize size; // 30 by 20, restored afterwards
    PlayingField& field = PlayingField::Instance();

    EXPECT_THROW(field.FetchSize(), std::runtime_error);
    EXPECT_EQ(field.XSize(), 30.0);
    EXPECT_EQ(field.YSize(), 20.0);

    field.FetchSize();
    EXPECT_EQ(field.XSize(), 40.0);
    EXPECT_EQ(field.YSize(), 24.0);
    EXPECT_EQ(field.MaxX(), 20.0);

    field.FetchSize();
    field.FetchSize();
    EXPECT_EQ(Controller::Instance().GetRobotId(), 7);
    server.Join();

    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].type, kFieldSizeType);
    EXPECT_TRUE(received[0].payload.empty());
    EXPECT_EQ(received[1].type, kFieldSizeType);
    EXPECT_TRUE(received[1].payload.empty());
    EXPECT_EQ(received[2].type, kRobotIdType);
}

} // namespace
} // namespace botpilot
