#include "arena/protocol/handshake_validator.h"
#include "wire/frame.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

using Status = HandshakeValidator::Status;

std::vector<std::uint8_t> Handshake(const std::string& name, std::int32_t code) {
    return botpilot::BuildHandshake(name, code);
}

TEST(HandshakeValidatorTest, AcceptsAHandshakeArrivingByteByByte) {
    const std::vector<std::uint8_t> bytes = Handshake("Controller", 4);
    HandshakeValidator validator(4);
    std::size_t consumed = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        ASSERT_EQ(validator.Feed(&bytes[i], 1, consumed), Status::NeedMore) << "byte " << i;
        EXPECT_EQ(consumed, 1u);
        EXPECT_TRUE(validator.HasPartial());
    }
    EXPECT_EQ(validator.Feed(&bytes.back(), 1, consumed), Status::Accepted);
    EXPECT_EQ(validator.ClientName(), "Controller");
    EXPECT_FALSE(validator.HasPartial());
}

TEST(HandshakeValidatorTest, TakesNoBytesBeyondTheHandshake) {
    std::vector<std::uint8_t> bytes = Handshake("Graphics", 1);
    const std::size_t handshakeBytes = bytes.size();
    bytes.insert(bytes.end(), {0x02, 0x00, 0x00, 0x00});
    HandshakeValidator validator(1);
    std::size_t consumed = 0;
    EXPECT_EQ(validator.Feed(bytes.data(), bytes.size(), consumed), Status::Accepted);
    EXPECT_EQ(consumed, handshakeBytes);
    EXPECT_EQ(validator.Feed(bytes.data(), bytes.size(), consumed), Status::Accepted);
    EXPECT_EQ(consumed, 0u);
}

TEST(HandshakeValidatorTest, RejectsAtTheFirstWrongField) {
    struct Row {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::size_t consumed; // bytes taken before the verdict
        std::string reason;
    };
    std::vector<std::uint8_t> badVersion = Handshake("Controller", 4);
    badVersion[4] = 2;
    std::vector<std::uint8_t> longName = Handshake("Controller", 4);
    longName[8] = 0x01;
    longName[9] = 0x01; // 257
    const std::string maxName(256, 'n');
    const Row rows[] = {
        {"bad magic", {'Q', 'T', 'M', 'Y'}, 4, "Bad handshake magic byte 0x59 at offset 3"},
        {"HTTP", {'G', 'E', 'T', ' ', '/'}, 1, "Bad handshake magic byte 0x47 at offset 0"},
        {"version 2", badVersion, 8, "Handshake protocol version 2, expected 1"},
        {"empty name", Handshake("", 4), 12, "Handshake name length 0 is outside 1 to 256"},
        {"name of 257 bytes", longName, 12, "Handshake name length 257 is outside 1 to 256"},
        {"drawing code on the robot port", Handshake("Controller", 1), 26,
         "Handshake interface code 1, expected 4 on this port"},
        {"name of 256 bytes, wrong code", Handshake(maxName, 5), 16 + 256,
         "Handshake interface code 5, expected 4 on this port"},
    };
    for (const Row& row : rows) {
        HandshakeValidator validator(4);
        std::size_t consumed = 0;
        EXPECT_EQ(validator.Feed(row.bytes.data(), row.bytes.size(), consumed), Status::Rejected)
            << row.what;
        EXPECT_EQ(consumed, row.consumed) << row.what;
        EXPECT_EQ(validator.Reason(), row.reason) << row.what;
    }
}

} // namespace
} // namespace botarena
