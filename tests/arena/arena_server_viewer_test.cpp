#include "arena/viewer/web_assets.h"
#include "link/connection.h"
#include "link/controller.h"
#include "platform/steady_time.h"
#include "tests/arena/arena_under_test.h"
#include "tests/arena/viewer/viewer_stream.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <httplib.h>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace botarena {
namespace {

using botpilot::Deadline;
using testing::ArenaUnderTest;
using testing::EventData;
using testing::FirstCellItem;
using testing::ReadStream;

ArenaOptions WithViewer(int bots) {
    ArenaOptions options;
    options.bots = bots;
    options.seed = 3;
    options.httpPort = 0;
    return options;
}

TEST(ViewerServerTest, ServesThePageItsInfoAndLiveSnapshotsAtTwentyASecond) {
    ArenaUnderTest arena(WithViewer(2));
    ASSERT_NE(arena.HttpPort(), 0);
    httplib::Client client("127.0.0.1", arena.HttpPort());

    const httplib::Result page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page->body.find("<script type=\"module\" src=\"viewer.js\">"), std::string::npos);
    // The browser itself holds the page to its own origin.
    EXPECT_EQ(page->get_header_value("Content-Security-Policy").rfind("default-src 'self'", 0), 0u);
    // The entry script, the style sheet and two of the modules the entry imports: a browser
    // runs a module only when it is served as JavaScript.
    const char* const kScript = "text/javascript; charset=utf-8";
    for (const auto& [path, type] :
         {std::pair{"/viewer.js", kScript}, std::pair{"/viewer.css", "text/css; charset=utf-8"},
          std::pair{"/story.js", kScript}, std::pair{"/field.js", kScript}}) {
        const httplib::Result asset = client.Get(path);
        ASSERT_TRUE(asset) << path;
        EXPECT_EQ(asset->status, 200) << path;
        EXPECT_EQ(asset->get_header_value("Content-Type"), type) << path;
        EXPECT_GT(asset->body.size(), 1000u) << path;
    }
    // Nothing in the page points elsewhere: it must work on a machine without a network.
    for (const WebAsset& asset : WebAssets()) {
        for (const char* outside : {"http:", "https:", "url(", "@import", "src=\"//"}) {
            EXPECT_EQ(asset.body.find(outside), std::string_view::npos)
                << asset.name << " holds " << outside;
        }
    }
    const httplib::Result info = client.Get("/info");
    ASSERT_TRUE(info);
    EXPECT_EQ(nlohmann::json::parse(info->body), nlohmann::json({{"mode", "live"}}));
    const httplib::Result missing = client.Get("/index.html.bak");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);

    const double begun = botpilot::SteadySeconds();
    const std::string stream = ReadStream(arena.HttpPort(), "/events", [](const std::string& text) {
        return EventData(text).size() >= 12;
    });
    const double took = botpilot::SteadySeconds() - begun;
    EXPECT_EQ(stream.rfind("retry: 1000\n\n", 0), 0u);
    const std::vector<std::string> data = EventData(stream);
    ASSERT_GE(data.size(), 12u);
    double previous = -1.0;
    for (const std::string& text : data) {
        const nlohmann::json snapshot = nlohmann::json::parse(text);
        EXPECT_EQ(snapshot.at("robots").size(), 2u);
        const double time = snapshot.at("time").get<double>();
        // A snapshot every 50 ms of battle time; a slow reader may skip some, never repeat.
        EXPECT_GE(time - previous, 0.05 - 1e-6) << text.substr(0, 80);
        previous = time;
    }
    // Eleven intervals of 50 ms, the first snapshot aside, which was waiting already.
    EXPECT_GE(took, 0.5);
}

TEST(ViewerServerTest, DrawingsShowAsLayersOfTheirRobotWhileTheirConnectionIsOpen) {
    ArenaUnderTest arena(WithViewer(0));
    httplib::Client client("127.0.0.1", arena.HttpPort());
    // When the layer was last drawn depends on the battle's pace; that it is there does not.
    nlohmann::json lastDrawn;
    auto drawings = [&] {
        const httplib::Result frame = client.Get("/frame");
        nlohmann::json layers = frame && frame->status == 200
                                    ? nlohmann::json::parse(frame->body).at("drawings")
                                    : nlohmann::json();
        for (nlohmann::json& layer : layers) {
            lastDrawn = layer["lastDrawn"];
            layer.erase("lastDrawn");
        }
        return layers;
    };
    {
        // The robot driven from the drawing's machine names the layer.
        botpilot::Connection robot("Controller", 4);
        robot.Connect("127.0.0.1", arena.RobotPort());
        botpilot::Connection drawing("Graphics", 1);
        drawing.Connect("127.0.0.1", arena.DrawingPort());
        const botpilot::Message item = FirstCellItem();
        EXPECT_EQ(drawing.Exchange(2, item).ReadString(), "");

        const nlohmann::json expected = {{{"connection", 2},
                                          {"client", "Graphics"},
                                          {"robot", {{"id", 1}, {"name", "Nolix"}}},
                                          {"cells", {{-14.5, -9.5, 0.5, 0.5, 101, 0, 0}}}}};
        const Deadline deadline = Deadline::After(10.0);
        while (drawings() != expected && !deadline.Expired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(drawings(), expected);
        EXPECT_TRUE(lastDrawn.is_number()) << lastDrawn;
    }
    const Deadline deadline = Deadline::After(10.0);
    while (drawings() != nlohmann::json::array() && !deadline.Expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(drawings(), nlohmann::json::array());
}

TEST(ViewerServerTest, ADrawingIsNamedAfterARobotOnlyWhileItsMachineHasOneOfEach) {
    // Every connection here comes from 127.0.0.1: one machine, as far as the arena can tell.
    ArenaUnderTest arena(WithViewer(0));
    httplib::Client client("127.0.0.1", arena.HttpPort());
    auto layerRobots = [&] { // connection → robot id, 0 for a layer named after none
        std::map<int, int> robots;
        const httplib::Result frame = client.Get("/frame");
        if (frame && frame->status == 200) {
            const nlohmann::json snapshot = nlohmann::json::parse(frame->body);
            for (const nlohmann::json& layer : snapshot.at("drawings")) {
                robots[layer.at("connection")] =
                    layer.contains("robot") ? int(layer["robot"]["id"]) : 0;
            }
        }
        return robots;
    };
    std::optional<botpilot::Connection> drawing, robot, intruder, secondRobot;
    auto open = [&](std::optional<botpilot::Connection>& connection, bool isDrawing) {
        connection.emplace(isDrawing ? "Graphics" : "Controller", isDrawing ? 1 : 4);
        connection->Connect("127.0.0.1", isDrawing ? arena.DrawingPort() : arena.RobotPort());
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::map<int, int> expected;
    };
    const std::vector<Step> steps = {
        {"a drawing before its robot", [&] { open(drawing, true); }, {{1, 0}}},
        {"then its robot", [&] { open(robot, false); }, {{1, 1}}},
        {"another client's drawing", [&] { open(intruder, true); }, {{1, 0}, {3, 0}}},
        {"that drawing gone", [&] { intruder.reset(); }, {{1, 1}}},
        {"a second robot", [&] { open(secondRobot, false); }, {{1, 0}}},
        {"that robot gone", [&] { secondRobot.reset(); }, {{1, 1}}},
    };
    for (const Step& step : steps) {
        step.act();
        const Deadline deadline = Deadline::After(10.0);
        while (layerRobots() != step.expected && !deadline.Expired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(layerRobots(), step.expected) << step.what;
    }
}

TEST(ViewerServerTest, TheFinalSnapshotReachesAnOpenStreamWhichThenEnds) {
    ArenaUnderTest arena(WithViewer(2));
    std::atomic<bool> streaming{false};
    std::string stream;
    std::thread reader([&] {
        stream = ReadStream(arena.HttpPort(), "/events", [&](const std::string& text) {
            streaming = !EventData(text).empty();
            return false; // to the end of the stream
        });
    });
    const Deadline deadline = Deadline::After(10.0);
    while (!streaming && !deadline.Expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    arena.Stop();
    reader.join();
    const std::vector<std::string> data = EventData(stream);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(nlohmann::json::parse(data.back()).at("over"), "test over");
}

TEST(ViewerServerTest, NamesThatAreNotUtf8ReachTheViewerAndTheSummaryReplaced) {
    // Regression: a robot named with bytes that are not UTF-8 made the JSON writer throw, which
    // ended the arena when it wrote its summary.
    const std::string summaryPath =
        ::testing::TempDir() + "viewer_utf8_" + std::to_string(getpid()) + ".json";
    ArenaOptions options = WithViewer(0);
    options.summaryPath = summaryPath;
    ArenaUnderTest arena(options);
    botpilot::Controller controller;
    controller.Connect("127.0.0.1", arena.RobotPort());
    controller.SetRobotName("Bad\xff\xfe");
    controller.StartRobot();
    httplib::Client client("127.0.0.1", arena.HttpPort());
    const Deadline deadline = Deadline::After(10.0);
    std::string name;
    while (name.empty() && !deadline.Expired()) {
        const httplib::Result frame = client.Get("/frame");
        ASSERT_TRUE(frame);
        const nlohmann::json robots = nlohmann::json::parse(frame->body).at("robots");
        if (!robots.empty() && robots.at(0).at("state") == "alive") {
            name = robots.at(0).at("name");
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_EQ(name, "Bad\xEF\xBF\xBD\xEF\xBF\xBD");
    arena.Stop();
    std::ifstream summary(summaryPath);
    EXPECT_EQ(nlohmann::json::parse(summary).at("robots").at(0).at("name"), name);
    std::remove(summaryPath.c_str());
}

} // namespace
} // namespace botarena
