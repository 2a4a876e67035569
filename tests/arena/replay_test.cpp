#include "arena/viewer/recording.h"
#include "arena/viewer/viewer_server.h"
#include "link/connection.h"
#include "tests/arena/arena_process.h"
#include "tests/arena/arena_under_test.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

namespace botarena {
namespace {

/// The last Server-Sent Event named `name` in a stream's text, or "".
std::string LastEvent(const std::string& stream, const std::string& name, std::size_t* count) {
    std::string last;
    *count = 0;
    std::size_t at = 0;
    for (std::size_t end; (end = stream.find("\n\n", at)) != std::string::npos; at = end + 2) {
        const std::string block = stream.substr(at, end - at);
        const bool named = block.rfind("event: ", 0) == 0;
        const std::string eventName = named ? block.substr(7, block.find('\n') - 7) : "message";
        const std::size_t data = block.find("data: ");
        if (eventName == name && data != std::string::npos) {
            last = block.substr(data + 6);
            ++*count;
        }
    }
    return last;
}

/// A battle recorded by the real program, with a drawing connection for part of it, then
/// replayed over HTTP: the replay ends on the figures the battle's own summary gives.
TEST(ReplayTest, RecordedBattleReplaysToTheSameFinalScoreboard) {
    const std::string base = ::testing::TempDir() + "replay_" + std::to_string(getpid());
    const std::string recordingPath = base + ".jsonl.gz";
    const std::string summaryPath = base + "_summary.json";
    {
        testing::ArenaProcess arena({BOTARENA_PATH, "--port", "0", "--http", "off", "--bots", "3",
                                     "--seed", "21", "--duration", "2", "--record", recordingPath,
                                     "--summary", summaryPath},
                                    base + "_log.txt");
        const std::optional<std::string> firstLine = arena.ReadFirstLine(20.0);
        ASSERT_TRUE(firstLine);
        const int port = testing::PortFromFirstLine(*firstLine);
        ASSERT_NE(port, 0) << *firstLine;
        botpilot::Connection drawing("Graphics", 1);
        drawing.Connect("127.0.0.1", port + 1);
        botpilot::Message item;
        item.AddInt(1);
        for (const double value : {2.5, -3.5, 0.5, 0.5, 0.0}) {
            item.AddDouble(value);
        }
        for (const std::int32_t value : {8, 0, 214, 0}) {
            item.AddInt(value);
        }
        drawing.Exchange(2, item);
        ASSERT_EQ(arena.Wait(20.0), 0);
    }
    std::ifstream summaryFile(summaryPath);
    const nlohmann::json summary = nlohmann::json::parse(summaryFile);

    const Recording recording = Recording::Load(recordingPath);
    // One snapshot every 50 ms from 0 s, and the final one at 2 s.
    EXPECT_EQ(recording.FrameCount(), 41u);
    EXPECT_DOUBLE_EQ(recording.FrameTime(recording.FrameCount() - 1), 2.0);
    ViewerServer viewer(recording);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(20, 0);

    const httplib::Result info = client.Get("/info");
    ASSERT_TRUE(info);
    EXPECT_EQ(nlohmann::json::parse(info->body),
              nlohmann::json({{"mode", "replay"}, {"frames", 41}, {"start", 0.0}, {"end", 2.0}}));

    // The drawing connection opened after the start: the frame at 1 s holds its cell.
    const httplib::Result middle = client.Get("/frame?time=1");
    ASSERT_TRUE(middle);
    nlohmann::json middleFrame = nlohmann::json::parse(middle->body);
    EXPECT_EQ(middleFrame.at("time"), 1.0);
    EXPECT_LE(middleFrame.at("drawings").at(0).at("lastDrawn"), 1.0);
    middleFrame.at("drawings").at(0).erase("lastDrawn");
    EXPECT_EQ(middleFrame.at("drawings"),
              nlohmann::json({{{"connection", 1},
                               {"client", "Graphics"},
                               {"cells", {{2.5, -3.5, 0.5, 0.5, 0, 214, 0}}}}}));

    // The last half second at eight times the pace, to the end.
    std::string stream;
    const httplib::Result played =
        client.Get("/events?time=1.5&speed=8", [&](const char* data, std::size_t size) {
            stream.append(data, size);
            return true;
        });
    ASSERT_TRUE(played);
    std::size_t frames = 0;
    std::size_t ends = 0;
    const nlohmann::json last = nlohmann::json::parse(LastEvent(stream, "message", &frames));
    LastEvent(stream, "end", &ends);
    EXPECT_EQ(frames, 11u); // 1.5 s to 2 s
    EXPECT_EQ(ends, 1u);

    EXPECT_EQ(last.at("over"), summary.at("reason"));
    EXPECT_EQ(last.at("time"), summary.at("duration"));
    const nlohmann::json& robots = last.at("robots");
    ASSERT_EQ(robots.size(), summary.at("robots").size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        const nlohmann::json& shown = robots.at(i);
        const nlohmann::json& final = summary.at("robots").at(i);
        for (const char* key : {"id", "name", "type", "colour", "state", "shots", "hits"}) {
            EXPECT_EQ(shown.at(key), final.at(key)) << key;
        }
        for (const char* key :
             {"hitPoints", "damageDealt", "damageTaken", "timeAlive", "distance"}) {
            EXPECT_NEAR(shown.at(key).get<double>(), final.at(key).get<double>(), 5e-4) << key;
        }
    }
    // The story tells every hit the scoreboard counts, and ends each robot's hit points where
    // the battle left them.
    const httplib::Result told = client.Get("/story");
    ASSERT_TRUE(told);
    const nlohmann::json story = nlohmann::json::parse(told->body);
    int hitsTold = 0;
    for (const nlohmann::json& event : story.at("events")) {
        hitsTold += event.at("kind") == "hit" && event.contains("by") ? 1 : 0;
    }
    int hitsCounted = 0;
    for (const nlohmann::json& final : summary.at("robots")) {
        hitsCounted += final.at("hits").get<int>();
    }
    EXPECT_EQ(hitsTold, hitsCounted);
    ASSERT_EQ(story.at("robots").size(), summary.at("robots").size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        const nlohmann::json& points = story.at("robots").at(i).at("points");
        EXPECT_NEAR(points.back().at(1).get<double>(),
                    summary.at("robots").at(i).at("hitPoints").get<double>(), 5e-3);
    }
    // Speeds out of range and times that are not numbers are refused.
    for (const char* path : {"/events?speed=0", "/events?speed=100", "/events?time=x",
                             "/frame?time=nan", "/frame?time=1e999"}) {
        const httplib::Result refused = client.Get(path);
        ASSERT_TRUE(refused) << path;
        EXPECT_EQ(refused->status, 400) << path;
    }
    std::remove(recordingPath.c_str());
    std::remove(summaryPath.c_str());
    std::remove((base + "_log.txt").c_str());
}

/// The story is told once, live; a replay is told it again from the recording, and a recording
/// made before snapshots carried the story is told it from its robots and events: each must
/// tell what the battle told.
TEST(ReplayTest, TellsTheStoryTheBattleToldLive) {
    const std::string base = ::testing::TempDir() + "replay_story_" + std::to_string(getpid());
    ArenaOptions options;
    options.bots = 4;
    options.seed = 8;
    options.duration = 2.0;
    options.httpPort = 0;
    options.recordPath = base + ".jsonl";
    std::string live;
    {
        testing::ArenaUnderTest arena(options);
        ASSERT_TRUE(arena.WaitForEnd(30.0));
        httplib::Client client("127.0.0.1", arena.HttpPort());
        const httplib::Result told = client.Get("/story");
        ASSERT_TRUE(told);
        live = told->body;
    }
    const nlohmann::json story = nlohmann::json::parse(live);
    ASSERT_EQ(story.at("robots").size(), 4u);
    ASSERT_GE(story.at("events").size(), 4u); // the joins at least
    // The same battle as recorded before snapshots carried their story's entries.
    const std::string unstoried = base + "_unstoried.jsonl";
    {
        std::ifstream recorded(options.recordPath);
        std::ofstream older(unstoried);
        for (std::string line; std::getline(recorded, line);) {
            nlohmann::json snapshot = nlohmann::json::parse(line);
            ASSERT_EQ(snapshot.erase("story"), 1u) << line;
            older << snapshot.dump() << '\n';
        }
    }
    for (const std::string& path : {options.recordPath, unstoried}) {
        EXPECT_EQ(*Recording::Load(path).Story().Text(), live) << path;
    }
    std::remove(options.recordPath.c_str());
    std::remove(unstoried.c_str());
}

/// The text of a file; "" when there is none.
std::string FileText(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Regression: a recording cut short in its last line was refused whole, and a named pipe
// given to --replay hung the program (and its SIGTERM) on the first request.
TEST(ReplayTest, ACutRecordingIsReplayedWithAWarningAndAPipeIsRefused) {
    const std::string base = ::testing::TempDir() + "replay_files_" + std::to_string(getpid());
    const std::string cut = base + "_cut.jsonl";
    const std::string pipe = base + "_pipe.jsonl";
    const std::string log = base + "_log.txt";
    std::ofstream(cut) << "{\"time\":0}\n{\"time\":0.05}\n{\"time\":0.1,\"robots\":[{";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    struct Row {
        std::string path;
        std::string firstLine; // its start; none when the program must end
        std::string error;     // standard error
    };
    const Row rows[] = {
        {cut, "botarena replaying " + cut + " (2 snapshots, 0 s to 0.05 s), viewer at ",
         "botarena: Recording " + cut + " line 3 is cut short; it is left out\n"},
        {pipe, "", "botarena: Recording " + pipe + " is not a regular file\n"},
    };
    for (const Row& row : rows) {
        testing::ArenaProcess arena({BOTARENA_PATH, "--replay", row.path, "--http", "0"}, log);
        const std::optional<std::string> firstLine = arena.ReadFirstLine(20.0);
        if (row.firstLine.empty()) {
            EXPECT_FALSE(firstLine) << *firstLine;
            EXPECT_EQ(arena.Wait(20.0), 1);
        } else {
            ASSERT_TRUE(firstLine) << row.path;
            EXPECT_EQ(firstLine->rfind(row.firstLine, 0), 0u) << *firstLine;
        }
        EXPECT_EQ(FileText(log), row.error);
    }
    for (const std::string& path : {cut, pipe, log}) {
        std::remove(path.c_str());
    }
}

} // namespace
} // namespace botarena
