#include "arena/protocol/drawing_request_handler.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace botarena {
namespace {

struct Item {
    std::int32_t id = 1;
    double x = -14.5;
    double y = -9.5;
    double halfWidth = 0.5;
    double halfHeight = 0.5;
    std::int32_t code = kCellItemCode;
    std::int32_t red = 101;
};

botpilot::Message DrawItem(const Item& item) {
    botpilot::Message message;
    message.AddInt(item.id);
    for (const double value : {item.x, item.y, item.halfWidth, item.halfHeight, 0.0}) {
        message.AddDouble(value);
    }
    for (const std::int32_t value : {item.code, item.red, 0, 0}) {
        message.AddInt(value);
    }
    return message;
}

/// The default item with one change: DrawItemWith([](Item& item) { item.red = 300; }).
template <typename Change> botpilot::Message DrawItemWith(Change change) {
    Item item;
    change(item);
    return DrawItem(item);
}

Reply Send(DrawingRequestHandler& handler, std::int32_t type, const botpilot::Message& payload) {
    Request request{type, botpilot::Message(payload.Bytes())};
    return handler.Handle(request);
}

TEST(DrawingRequestHandlerTest, AnswersDrawItemsAndRefusesTheRest) {
    botpilot::Message shortItem;
    shortItem.AddInt(1);
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    struct Row {
        std::int32_t type;
        botpilot::Message payload;
        std::string text;
        ReplyOutcome outcome;
    };
    const Row rows[] = {
        {2, DrawItem(Item()), "", ReplyOutcome::Served},
        {2, DrawItemWith([](Item& item) { item.red = 300; }), "Red 300 is out of range [0, 255]",
         ReplyOutcome::Refused},
        {2, shortItem, "DrawItem: Reached end of message", ReplyOutcome::ProtocolError},
        {1, botpilot::Message(), "Unknown message type 1 on a drawing connection",
         ReplyOutcome::ProtocolError},
        // Every viewer draws what a cell holds: no number that is not a plain size.
        {2, DrawItemWith([](Item& item) { item.x = kNan; }),
         "Cell position (nan, -9.5) is not finite", ReplyOutcome::Refused},
        {2, DrawItemWith([](Item& item) { item.y = -kInfinity; }),
         "Cell position (-14.5, -inf) is not finite", ReplyOutcome::Refused},
        {2, DrawItemWith([](Item& item) { item.halfWidth = -0.5; }),
         "Cell extents (-0.5, 0.5) are not finite sizes of 0 or more", ReplyOutcome::Refused},
        {2, DrawItemWith([](Item& item) { item.halfHeight = kNan; }),
         "Cell extents (0.5, nan) are not finite sizes of 0 or more", ReplyOutcome::Refused},
        // Regression: a cell at x = 1e305 reached the snapshot as null. The default field is
        // 30 by 20: centres up to 45 and 30 from the middle, extents up to 30 and 20.
        {2, DrawItemWith([](Item& item) { item.x = 1e305; }),
         "Cell at (1e+305, -9.5) reaching (0.5, 0.5) lies further from the field than its size",
         ReplyOutcome::Refused},
        {2, DrawItemWith([](Item& item) { item.y = -30.001; }),
         "Cell at (-14.5, -30.001) reaching (0.5, 0.5) lies further from the field than its size",
         ReplyOutcome::Refused},
        {2, DrawItemWith([](Item& item) { item.halfWidth = 31.0; }),
         "Cell at (-14.5, -9.5) reaching (31, 0.5) lies further from the field than its size",
         ReplyOutcome::Refused},
        {2, DrawItemWith([](Item& item) {
             item.x = -45.0;
             item.y = 30.0;
             item.halfHeight = 20.0;
         }),
         "", ReplyOutcome::Served},
        // Items of other codes are only counted, whatever their numbers.
        {2, DrawItemWith([](Item& item) {
             item.id = 2;
             item.x = kNan;
             item.code = 5;
         }),
         "", ReplyOutcome::Served},
    };
    DrawingBoard board;
    board.AddLayer(1, "Graphics");
    DrawingRequestHandler handler(board, 1);
    for (const Row& row : rows) {
        Reply reply = Send(handler, row.type, row.payload);
        EXPECT_EQ(reply.message.ReadString(), row.text);
        EXPECT_EQ(reply.outcome, row.outcome) << row.text;
    }
    EXPECT_EQ(handler.ItemsDrawn(), 3u);
    EXPECT_EQ(board.CellCount(), 1u);
}

TEST(DrawingRequestHandlerTest, CellsGoOntoTheConnectionsLayerAndReplaceTheirId) {
    DrawingBoard board;
    board.AddLayer(3, "Graphics");
    board.AddLayer(4, "Other");
    DrawingRequestHandler handler(board, 3);
    Send(handler, 2, DrawItemWith([](Item& item) {
             item.id = 7;
             item.x = 1.5;
             item.y = 2.5;
         }));
    Send(handler, 2, DrawItemWith([](Item& item) {
             item.id = 8;
             item.x = 2.5;
             item.y = 2.5;
         }));
    // The client redraws its map with the same ids on every pass.
    Send(handler, 2, DrawItemWith([](Item& item) {
             item.id = 7;
             item.x = 1.5;
             item.y = 2.5;
             item.red = 200;
         }));

    const DrawingLayer& layer = board.Layers().at(3);
    EXPECT_EQ(layer.clientName, "Graphics");
    ASSERT_EQ(layer.cells.size(), 2u);
    const DrawnCell& cell = layer.cells.at(7);
    EXPECT_EQ(cell.x, 1.5);
    EXPECT_EQ(cell.halfWidth, 0.5);
    EXPECT_EQ(cell.red, 200);
    EXPECT_TRUE(board.Layers().at(4).cells.empty());
    EXPECT_EQ(board.CellCount(), 2u);

    board.RemoveLayer(3);
    EXPECT_EQ(board.Layers().count(3), 0u);
    EXPECT_EQ(board.CellCount(), 0u);
}

TEST(DrawingRequestHandlerTest, ALayerAndTheBoardHoldAtMostTheirLimit) {
    DrawingBoard board;
    const std::size_t layers = kMaxCellsOnBoard / kMaxCellsPerLayer;
    for (std::size_t i = 0; i <= layers; ++i) {
        board.AddLayer(static_cast<int>(i), "Graphics");
    }
    DrawingRequestHandler first(board, 0);
    for (std::size_t id = 0; id < kMaxCellsPerLayer; ++id) {
        ASSERT_EQ(Send(first, 2,
                       DrawItemWith([id](Item& item) { item.id = static_cast<std::int32_t>(id); }))
                      .outcome,
                  ReplyOutcome::Served);
    }
    Reply full = Send(first, 2, DrawItemWith([](Item& item) { item.id = -1; }));
    EXPECT_EQ(full.message.ReadString(),
              "No room for cell -1: at most 2048 cells a connection and 4096 in all");
    EXPECT_EQ(full.outcome, ReplyOutcome::Refused);
    // A full layer still redraws the cells it has.
    EXPECT_EQ(Send(first, 2, DrawItemWith([](Item& item) {
                       item.id = 5;
                       item.red = 9;
                   }))
                  .outcome,
              ReplyOutcome::Served);

    for (std::size_t i = 1; i < layers; ++i) {
        for (std::size_t id = 0; id < kMaxCellsPerLayer; ++id) {
            ASSERT_TRUE(board.PutCell(static_cast<int>(i), static_cast<std::int32_t>(id), {}));
        }
    }
    EXPECT_EQ(board.CellCount(), kMaxCellsOnBoard);
    // A layer with room of its own finds the board full.
    DrawingRequestHandler last(board, static_cast<int>(layers));
    EXPECT_EQ(Send(last, 2, DrawItem(Item())).outcome, ReplyOutcome::Refused);
    board.RemoveLayer(0);
    EXPECT_EQ(Send(last, 2, DrawItem(Item())).outcome, ReplyOutcome::Served);
}

} // namespace
} // namespace botarena
