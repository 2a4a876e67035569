#include "wire/frame.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(const std::string& text, const Bytes& tail) {
    Bytes bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

TEST(FrameTest, RequestFrameOfSetEngineSpeedIsSeventeenBytes) {
    Message request;
    request.AddDouble(2.5);
    EXPECT_EQ(BuildRequestFrame(18, request),
              (Bytes{0x12, 0, 0, 0, 0x09, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0x04, 0x40}));
}

TEST(FrameTest, EmptyRequestIsHeaderOnly) {
    EXPECT_EQ(BuildRequestFrame(14, Message()), (Bytes{0x0E, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FrameTest, ReplyFrameOfOneEmptyStringIsNineBytes) {
    Message reply;
    reply.AddString("");
    EXPECT_EQ(BuildReplyFrame(reply), (Bytes{0x05, 0, 0, 0, 0x03, 0, 0, 0, 0}));
}

TEST(FrameTest, HandshakesOfBothClients) {
    Bytes controller = Concat("QTMX", {1, 0, 0, 0, 10, 0, 0, 0});
    const Bytes controllerTail = Concat("Controller", {4, 0, 0, 0});
    controller.insert(controller.end(), controllerTail.begin(), controllerTail.end());
    EXPECT_EQ(BuildHandshake("Controller", 4), controller);
    EXPECT_EQ(controller.size(), 26u);

    Bytes graphics = Concat("QTMX", {1, 0, 0, 0, 8, 0, 0, 0});
    const Bytes graphicsTail = Concat("Graphics", {1, 0, 0, 0});
    graphics.insert(graphics.end(), graphicsTail.begin(), graphicsTail.end());
    EXPECT_EQ(BuildHandshake("Graphics", 1), graphics);
    EXPECT_EQ(graphics.size(), 24u);
}

} // namespace
} // namespace botpilot
