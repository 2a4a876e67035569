#include "arena/arena_options.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

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

// Regression: "--duration nan" ran for ever, "--port 0x4a" was port 74 and " 30x20" a field.
TEST(ArenaOptionsTest, NumbersArePlainDecimalsInRange) {
    struct Row {
        std::vector<std::string> arguments;
        bool accepted;
    };
    const Row rows[] = {
        {{"--port", "0x4a"}, false},       {{"--port", "+74"}, false},
        {{"--port", "74"}, true},          {{"--bots", "1e1"}, false},
        {{"--bots", " 2"}, false},         {{"--seed", "-1"}, false},
        {{"--seed", "4294967295"}, true},  {{"--duration", "nan"}, false},
        {{"--duration", "inf"}, false},    {{"--duration", "1e3"}, false},
        {{"--duration", "1."}, false},     {{"--duration", "2.5"}, true},
        {{"--field", " 30x20"}, false},    {{"--field", "30x20 "}, false},
        {{"--field", "3e1x20"}, false},    {{"--field", "30.5x20"}, true},
        {{"--rounds", "0"}, false},        {{"--rounds", "1"}, true},
        {{"--rounds", "100"}, true},       {{"--rounds", "101"}, false},
        {{"--rounds", "2.0"}, false},      {{"--bots", "1024"}, true},
        {{"--bots", "1025"}, false},       {{"--field", "200x200"}, true},
        {{"--field", "200x200.5"}, false},
    };
    for (const Row& row : rows) {
        const ParsedOptions parsed = Parse(row.arguments);
        EXPECT_EQ(parsed.options.has_value(), row.accepted)
            << row.arguments[0] << " '" << row.arguments[1] << "': " << parsed.message;
        if (!row.accepted) {
            EXPECT_EQ(parsed.exitCode, 2) << row.arguments[1];
        }
    }
}

// Regression: both files were written to the same path, which ended up neither JSON nor a
// recording.
TEST(ArenaOptionsTest, SummaryAndRecordingMayNotShareAFile) {
    const std::string folder = ::testing::TempDir();
    const std::string existing = folder + "arena_options_same_file.json";
    std::FILE* file = std::fopen(existing.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    const std::string linked = folder + "arena_options_same_file_link.json";
    std::remove(linked.c_str());
    ASSERT_EQ(link(existing.c_str(), linked.c_str()), 0);
    struct Row {
        std::string summary;
        std::string record;
        bool accepted;
    };
    const Row rows[] = {
        {"x.json", "./x.json", false},
        {"x.json", "y/../x.json", false},
        {existing, linked, false}, // one file under two names
        {"x.json", "y.json", true},
    };
    for (const Row& row : rows) {
        const ParsedOptions parsed = Parse({"--summary", row.summary, "--record", row.record});
        EXPECT_EQ(parsed.options.has_value(), row.accepted) << row.summary << " " << row.record;
        if (!row.accepted) {
            EXPECT_EQ(parsed.message, "--summary and --record name the same file: '" + row.summary +
                                          "' and '" + row.record + "'\n");
        }
    }
    std::remove(linked.c_str());
    std::remove(existing.c_str());
}

TEST(ArenaOptionsTest, OpponentKindsComeRepeatedOrAsACommaListAndUnknownOnesAreRefused) {
    using Kinds = std::vector<OpponentKind>;
    constexpr OpponentKind H = OpponentKind::Hunter;
    constexpr OpponentKind S = OpponentKind::Sniper;
    constexpr OpponentKind W = OpponentKind::Wanderer;
    struct Row {
        std::vector<std::string> arguments;
        std::optional<Kinds> kinds; ///< nothing: refused
    };
    const Row rows[] = {
        {{}, Kinds{H, S}},
        {{"--opponent", "wanderer"}, Kinds{W}},
        {{"--opponent", "sniper,wanderer", "--opponent", "sniper"}, Kinds{S, W, S}},
        {{"--opponent", "hunter", "--bots", "3", "--opponent", "hunter"}, Kinds{H, H}},
        {{"--opponent", "rover"}, std::nullopt},
        {{"--opponent", "hunter,Sniper"}, std::nullopt},
        {{"--opponent", "hunter", "sniper"}, std::nullopt}, // one kind or list per --opponent
        // Regression: empty items were dropped, so a slip of the keyboard passed unnoticed.
        {{"--opponent", "hunter,,sniper"}, std::nullopt},
        {{"--opponent", "hunter,"}, std::nullopt},
        {{"--opponent", ",hunter"}, std::nullopt},
        {{"--opponent", ""}, std::nullopt},
    };
    for (const Row& row : rows) {
        const ParsedOptions parsed = Parse(row.arguments);
        ASSERT_EQ(parsed.options.has_value(), row.kinds.has_value()) << parsed.message;
        if (row.kinds) {
            EXPECT_EQ(parsed.options->opponents, *row.kinds);
        } else {
            EXPECT_EQ(parsed.exitCode, 2);
        }
    }
    EXPECT_EQ(Parse({"--opponent", "hunter,rover"}).message,
              "--opponent: 'rover' is not a kind of opponent; the kinds are sitter, spinner, "
              "wanderer, sniper, hunter, duelist\n");
    EXPECT_EQ(Parse({"--opponent", "hunter,,sniper"}).message,
              "--opponent: an empty kind in 'hunter,,sniper'; the kinds are sitter, spinner, "
              "wanderer, sniper, hunter, duelist\n");
}

} // namespace
} // namespace botarena
