#include "arena/protocol/request_frame_reader.h"
#include "wire/frame.h"
#include "wire/little_endian.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

std::vector<std::uint8_t> Frame(std::int32_t type, const botpilot::Message& payload) {
    return botpilot::BuildRequestFrame(type, payload);
}

std::vector<std::uint8_t> Header(std::int32_t type, std::uint32_t length) {
    std::vector<std::uint8_t> bytes;
    botpilot::AppendUint32(bytes, static_cast<std::uint32_t>(type));
    botpilot::AppendUint32(bytes, length);
    return bytes;
}

TEST(RequestFrameReaderTest, CutsFramesWhateverPiecesTheyArriveIn) {
    botpilot::Message speed;
    speed.AddDouble(2.5);
    botpilot::Message name;
    name.AddString("Zippy");
    std::vector<std::uint8_t> stream = Frame(18, speed);
    const std::vector<std::uint8_t> empty = Frame(16, botpilot::Message());
    const std::vector<std::uint8_t> named = Frame(6, name);
    stream.insert(stream.end(), empty.begin(), empty.end());
    stream.insert(stream.end(), named.begin(), named.end());

    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{3}, std::size_t{7}, stream.size()}) {
        RequestFrameReader reader;
        std::vector<Request> requests;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const std::size_t size = std::min(piece, stream.size() - at);
            ASSERT_FALSE(reader.Feed(stream.data() + at, size, requests)) << "piece " << piece;
        }
        ASSERT_EQ(requests.size(), 3u) << "piece " << piece;
        EXPECT_EQ(requests[0].type, 18);
        EXPECT_DOUBLE_EQ(requests[0].payload.ReadDouble(), 2.5);
        EXPECT_EQ(requests[1].type, 16);
        EXPECT_TRUE(requests[1].payload.Bytes().empty());
        EXPECT_EQ(requests[2].payload.ReadString(), "Zippy");
        EXPECT_FALSE(reader.HasPartial());
    }
}

TEST(RequestFrameReaderTest, DeclaredLengthOverOneMebibyteFailsAtOnce) {
    RequestFrameReader reader;
    std::vector<Request> requests;
    // Exactly 1 MiB is allowed: the reader waits for it.
    std::vector<std::uint8_t> header = Header(18, kMaxRequestPayloadBytes);
    EXPECT_FALSE(reader.Feed(header.data(), header.size(), requests));
    EXPECT_TRUE(reader.HasPartial());

    RequestFrameReader other;
    header = Header(18, kMaxRequestPayloadBytes + 1);
    const std::optional<std::string> failure = other.Feed(header.data(), header.size(), requests);
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure,
              "Request of type 18 declares 1048577 payload bytes, over the limit of 1048576");
    EXPECT_TRUE(requests.empty());
    // Nothing is taken after a failure.
    EXPECT_TRUE(other.Feed(header.data(), header.size(), requests));
    EXPECT_FALSE(other.HasPartial());
}

TEST(RequestFrameReaderTest, MalformedPayloadsAreGarbage) {
    struct Row {
        const char* what;
        std::vector<std::uint8_t> payload;
        std::string failure; // empty when the payload is well formed
    };
    const Row rows[] = {
        {"empty", {}, ""},
        {"integer", {1, 5, 0, 0, 0}, ""},
        {"empty string", {3, 0, 0, 0, 0}, ""},
        {"unknown tag", {1, 5, 0, 0, 0, 7}, "unknown value tag 0x07 at offset 5"},
        {"cut double",
         {2, 0, 0, 0, 0, 0},
         "value at offset 0 runs past the end of the 6-byte payload"},
        {"string longer than the payload",
         {3, 9, 0, 0, 0, 'a'},
         "value at offset 0 runs past the end of the 6-byte payload"},
        {"string length with the top bit set",
         {3, 0, 0, 0, 0x80},
         "value at offset 0 runs past the end of the 5-byte payload"},
        {"string count cut short",
         {3, 1, 0},
         "value at offset 0 runs past the end of the 3-byte payload"},
    };
    for (const Row& row : rows) {
        const std::optional<std::string> shape = CheckPayloadShape(row.payload);
        EXPECT_EQ(shape.value_or(""), row.failure) << row.what;
    }

    // The requests before a garbage frame are still delivered.
    std::vector<std::uint8_t> stream = Frame(16, botpilot::Message());
    const std::vector<std::uint8_t> garbage = Header(17, 1);
    stream.insert(stream.end(), garbage.begin(), garbage.end());
    stream.push_back(0xFF);
    RequestFrameReader reader;
    std::vector<Request> requests;
    const std::optional<std::string> failure = reader.Feed(stream.data(), stream.size(), requests);
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure, "Malformed request of type 17: unknown value tag 0xFF at offset 0");
    EXPECT_EQ(requests.size(), 1u);
}

} // namespace
} // namespace botarena
