#include "wire/message.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string ErrorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "no error";
}

TEST(MessageTest, EncodesEachKindLittleEndianWithItsTag) {
    Message message;
    message.AddInt(-2);
    message.AddDouble(2.5);
    message.AddString("");
    message.AddString("ab");
    EXPECT_EQ(message.Bytes(), (Bytes{0x01, 0xFE, 0xFF, 0xFF, 0xFF,                      //
                                      0x02, 0,    0,    0,    0,    0,   0,  0x04, 0x40, //
                                      0x03, 0,    0,    0,    0,                         //
                                      0x03, 0x02, 0,    0,    0,    'a', 'b'}));
}

TEST(MessageTest, SetRobotColourPayloadIsFifteenBytes) {
    Message message;
    message.AddInt(0);
    message.AddInt(255);
    message.AddInt(0);
    EXPECT_EQ(message.Bytes(), (Bytes{0x01, 0, 0, 0, 0, 0x01, 0xFF, 0, 0, 0, 0x01, 0, 0, 0, 0}));
}

TEST(MessageTest, ValuesReadBackInOrderThenTheEndIsReported) {
    const std::string text("with\0nul", 8);
    Message message;
    message.AddInt(std::numeric_limits<std::int32_t>::min());
    message.AddDouble(-0.125);
    message.AddString(text);
    message.AddInt(7);

    Message reply(message.Bytes());
    EXPECT_EQ(reply.ReadInt(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(reply.ReadDouble(), -0.125);
    EXPECT_EQ(reply.ReadString(), text);
    EXPECT_EQ(reply.ReadInt(), 7);
    EXPECT_EQ(ErrorOf([&] { reply.ReadInt(); }), "Reached end of message");
}

TEST(MessageTest, CopiesCarryTheReadPosition) {
    Message message;
    message.AddInt(1);
    message.AddInt(2);
    Message reply(message.Bytes());
    reply.ReadInt();
    Message copy = reply;
    EXPECT_EQ(copy.ReadInt(), 2);
    EXPECT_EQ(reply.ReadInt(), 2);
}

TEST(MessageTest, DecodingErrors) {
    struct Case {
        const char* what;
        Bytes bytes;
        int readAs; // 0 int, 1 double, 2 string
        const char* error;
    };
    const std::vector<Case> cases = {
        {"empty reply", {}, 0, "Reached end of message"},
        {"empty reply as string", {}, 2, "Reached end of message"},
        {"integer read as double",
         {0x01, 1, 0, 0, 0},
         1,
         "The next value in the message is not a double"},
        {"double read as integer",
         {0x02, 0, 0, 0, 0, 0, 0, 0, 0},
         0,
         "The next value in the message is not an integer"},
        {"integer read as string",
         {0x01, 1, 0, 0, 0},
         2,
         "The next value in the message is not a string"},
        {"unknown tag", {0x07, 0, 0, 0, 0}, 0, "The next value in the message is not an integer"},
        {"double cut after 5 bytes", {0x02, 1, 2, 3, 4, 5}, 1, "Unexpected end of message"},
        {"integer cut after 3 bytes", {0x01, 1, 2, 3}, 0, "Unexpected end of message"},
        {"string length cut", {0x03, 1, 0}, 2, "Unexpected end of message"},
        {"string longer than the rest",
         {0x03, 3, 0, 0, 0, 'a', 'b'},
         2,
         "Unexpected end of message"},
        {"string length with the top bit set",
         {0x03, 0, 0, 0, 0x80, 'a'},
         2,
         "Unexpected end of message"},
        {"string length of all ones",
         {0x03, 0xFF, 0xFF, 0xFF, 0xFF},
         2,
         "Unexpected end of message"},
    };
    for (const Case& c : cases) {
        Message message(c.bytes);
        const std::string error = ErrorOf([&] {
            if (c.readAs == 0) {
                message.ReadInt();
            } else if (c.readAs == 1) {
                message.ReadDouble();
            } else {
                message.ReadString();
            }
        });
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(MessageTest, WrongTagLeavesTheReadPositionInPlace) {
    Message message(Bytes{0x01, 5, 0, 0, 0});
    EXPECT_THROW(message.ReadString(), std::runtime_error);
    EXPECT_EQ(message.ReadPosition(), 0u);
    EXPECT_EQ(message.ReadInt(), 5);
}

// A refilled message must hold its new content only: a reply received into the message that held
// a longer one would otherwise decode the older reply's bytes where its own have ended.
TEST(MessageTest, RefillingReplacesTheContentAndRestartsTheReading) {
    Message message;
    message.AddInt(1);
    message.AddInt(2);
    message.ReadInt();

    const Bytes shorter{0x01, 7, 0, 0, 0};
    message.Assign(shorter.data(), shorter.size());
    EXPECT_EQ(message.Bytes(), shorter);
    EXPECT_EQ(message.ReadPosition(), 0u);
    EXPECT_EQ(message.ReadInt(), 7);
    EXPECT_EQ(ErrorOf([&] { message.ReadInt(); }), "Reached end of message");

    message.Clear();
    EXPECT_TRUE(message.Bytes().empty());
    EXPECT_EQ(message.ReadPosition(), 0u);
    message.AddInt(3);
    EXPECT_EQ(message.ReadInt(), 3);
}

TEST(MessageTest, ClearKeepsStorageUpToTheBoundAndReleasesMore) {
    struct Case {
        std::size_t contentBytes;
        bool kept;
    };
    const std::vector<Case> cases = {
        {0, true},
        {1024, true},
        {kKeptMessageBytes, true},
        {kKeptMessageBytes + 1, false},
    };
    for (const Case& c : cases) {
        const Bytes content(c.contentBytes, 0x01);
        Message message;
        message.Assign(content.data(), content.size());
        const std::size_t capacity = message.Capacity();
        message.Clear();
        EXPECT_TRUE(message.Bytes().empty());
        EXPECT_EQ(message.Capacity(), c.kept ? capacity : 0u) << c.contentBytes << " bytes";
    }
}

} // namespace
} // namespace botpilot
