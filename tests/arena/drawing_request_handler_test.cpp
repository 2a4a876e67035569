#include "arena/drawing_request_handler.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

botpilot::Message DrawItem(std::int32_t red) {
    botpilot::Message item;
    item.AddInt(1);
    for (const double value : {-14.5, -9.5, 0.5, 0.5, 0.0}) {
        item.AddDouble(value);
    }
    item.AddInt(8);
    item.AddInt(red);
    item.AddInt(0);
    item.AddInt(0);
    return item;
}

TEST(DrawingRequestHandlerTest, AnswersDrawItemsAndRefusesTheRest) {
    botpilot::Message shortItem;
    shortItem.AddInt(1);
    struct Row {
        std::int32_t type;
        botpilot::Message payload;
        std::string text;
        ReplyOutcome outcome;
    };
    const Row rows[] = {
        {2, DrawItem(101), "", ReplyOutcome::Served},
        {2, DrawItem(300), "Red 300 is out of range [0, 255]", ReplyOutcome::Refused},
        {2, shortItem, "DrawItem: Reached end of message", ReplyOutcome::ProtocolError},
        {1, botpilot::Message(), "Unknown message type 1 on a drawing connection",
         ReplyOutcome::ProtocolError},
    };
    DrawingRequestHandler handler;
    for (const Row& row : rows) {
        Request request{row.type, botpilot::Message(row.payload.Bytes())};
        Reply reply = handler.Handle(request);
        EXPECT_EQ(reply.message.ReadString(), row.text);
        EXPECT_EQ(reply.outcome, row.outcome) << row.text;
    }
    EXPECT_EQ(handler.ItemsDrawn(), 1u);
}

} // namespace
} // namespace botarena
