#include "arena/arena_options.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

ParsedOptions Parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "botarena");
    return ParseArenaOptions(arguments);
}

TEST(ArenaOptionsTest, HttpTakesAPortOrOffAndDefaultsTo8080) {
    EXPECT_EQ(Parse({}).options->httpPort, 8080);
    struct Row {
        const char* text;
        std::optional<HttpPortChoice> port;
    };
    const Row rows[] = {
        {"0", HttpPortChoice{false, 0}},
        {"65535", HttpPortChoice{false, 65535}},
        {"off", HttpPortChoice{true, 0}},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"80x", std::nullopt},
        {"", std::nullopt},
        {"OFF", std::nullopt},
        {"4294975376", std::nullopt}, // 2^32 + 8080: no wrapping round to a real port
    };
    for (const Row& row : rows) {
        const std::optional<HttpPortChoice> port = ParseHttpPort(row.text);
        ASSERT_EQ(port.has_value(), row.port.has_value()) << row.text;
        if (port) {
            EXPECT_EQ(port->off, row.port->off) << row.text;
            EXPECT_EQ(port->port, row.port->port) << row.text;
        }
        const ParsedOptions parsed = Parse({"--http", row.text});
        EXPECT_EQ(parsed.options.has_value(), row.port.has_value()) << row.text;
        if (!row.port) {
            EXPECT_EQ(parsed.exitCode, 2);
            EXPECT_EQ(parsed.message, "--http: '" + std::string(row.text) +
                                          "' is neither a port from 0 to 65535 nor off\n");
        }
    }
}

TEST(ArenaOptionsTest, ReplayRunsNoBattleAndNeedsTheViewer) {
    const ParsedOptions replay = Parse({"--replay", "battle.jsonl", "--http", "0"});
    ASSERT_TRUE(replay.options);
    EXPECT_EQ(replay.options->replayPath, "battle.jsonl");

    const ParsedOptions record = Parse({"--record", "battle.jsonl", "--http", "off"});
    ASSERT_TRUE(record.options);
    EXPECT_EQ(record.options->recordPath, "battle.jsonl");
    EXPECT_FALSE(record.options->httpPort);

    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--replay", "a", "--bots", "2"},
          std::vector<std::string>{"--replay", "a", "--record", "b"},
          std::vector<std::string>{"--replay", "a", "--summary", "b"},
          std::vector<std::string>{"--replay", "a", "--port", "0"}}) {
        const ParsedOptions parsed = Parse(arguments);
        EXPECT_FALSE(parsed.options) << arguments[2];
        EXPECT_EQ(parsed.exitCode, 2);
        EXPECT_NE(parsed.message.find("excludes"), std::string::npos) << parsed.message;
    }
    const ParsedOptions blind = Parse({"--replay", "a", "--http", "off"});
    EXPECT_FALSE(blind.options);
    EXPECT_EQ(blind.message, "--replay: with --http off there is nothing to serve the replay on\n");
}

} // namespace
} // namespace botarena
