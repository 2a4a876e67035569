#include "link/graphics.h"
#include "link/settings.h"
#include "tests/support/fake_robot_server.h"
#include "tests/support/scripted_server.h"
#include "wire/frame.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using testing::AnswerHandshake;
using testing::ReadBytes;
using testing::ReadRequest;
using testing::ReceivedRequest;
using testing::ScriptedServer;
using testing::WireValue;
using testing::WriteReply;

TEST(GraphicsTest, FirstUseConnectsAsGraphicsOnePortAboveTheRobotPortAndIgnoresReplies) {
    std::vector<std::uint8_t> handshake;
    std::vector<ReceivedRequest> received;
    ScriptedServer server([&](TcpSocket& client) {
        handshake = AnswerHandshake(client);
        // An error text, then a reply that is not even a text: neither is read.
        Message refusal;
        refusal.AddString("Unknown drawing item");
        Message oddReply;
        oddReply.AddInt(7);
        for (const Message& reply : {refusal, oddReply}) {
            if (auto request = ReadRequest(client)) {
                received.push_back(*request);
                WriteReply(client, reply);
            }
        }
        ReadBytes(client, 1, 3.0); // hold the connection until the client is done
    });
    const Settings saved = ProcessSettings();
    ProcessSettings().serverHost = "127.0.0.1";
    ProcessSettings().serverPort = server.Port() - 1;
    Graphics::SetInstanceForTesting(nullptr);

    Graphics& graphics = Graphics::Instance();
    EXPECT_EQ(&Graphics::Instance(), &graphics); // created once
    EXPECT_NO_THROW(graphics.DrawItem(7, {-1.5, 2.25}, 0.5, 0.75, 0.125, 8, 255, 12, 3));
    EXPECT_NO_THROW(graphics.DrawItem(8, {0.0, 0.0}, 0.5, 0.5, 0.0, 8, 0, 0, 0));
    Graphics::SetInstanceForTesting(nullptr); // closes the connection
    server.Join();
    ProcessSettings() = saved;

    EXPECT_EQ(handshake, BuildHandshake("Graphics", 1));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].type, 2);
    EXPECT_EQ(testing::DecodeValues(received[0].payload),
              (std::vector<WireValue>{7, -1.5, 2.25, 0.5, 0.75, 0.125, 8, 255, 12, 3}));
    EXPECT_EQ(std::get<std::int32_t>(testing::DecodeValues(received[1].payload).at(0)), 8);
}

} // namespace
} // namespace botpilot
