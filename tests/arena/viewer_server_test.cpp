#include "arena/viewer_server.h"
#include "arena/web_assets.h"
#include "link/connection.h"
#include "link/controller.h"
#include "platform/steady_time.h"
#include "platform/tcp_socket.h"
#include "tests/arena/arena_under_test.h"
#include "tests/support/scripted_server.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>

namespace botarena {
namespace {

using botpilot::Deadline;
using botpilot::TcpSocket;
using testing::ArenaUnderTest;

/// The data of the Server-Sent Events in a stream's text, in order; `events` names each
/// ("message" when unnamed).
std::vector<std::string> EventData(const std::string& stream,
                                   std::vector<std::string>* events = nullptr) {
    std::vector<std::string> data;
    std::size_t at = 0;
    for (std::size_t end; (end = stream.find("\n\n", at)) != std::string::npos; at = end + 2) {
        const std::string block = stream.substr(at, end - at);
        std::string name = "message";
        std::string value;
        bool hasData = false;
        std::size_t lineStart = 0;
        while (lineStart <= block.size()) {
            std::size_t lineEnd = block.find('\n', lineStart);
            if (lineEnd == std::string::npos) {
                lineEnd = block.size();
            }
            const std::string line = block.substr(lineStart, lineEnd - lineStart);
            if (line.rfind("data: ", 0) == 0) {
                value = line.substr(6);
                hasData = true;
            } else if (line.rfind("event: ", 0) == 0) {
                name = line.substr(7);
            }
            lineStart = lineEnd + 1;
        }
        if (hasData) {
            data.push_back(value);
            if (events) {
                events->push_back(name);
            }
        }
    }
    return data;
}

/// Reads a stream until `enough` says so or the server ends it; returns what came.
template <typename Enough>
std::string ReadStream(std::uint16_t port, const std::string& path, Enough enough,
                       int* status = nullptr) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(20, 0);
    std::string text;
    client.Get(
        path,
        [&](const httplib::Response& response) {
            if (status) {
                *status = response.status;
            }
            return response.status == 200;
        },
        [&](const char* data, std::size_t size) {
            text.append(data, size);
            return !enough(text);
        });
    return text;
}

/// A raw request on a fresh connection; returns the socket, whose answer is still to read.
TcpSocket SendRequest(std::uint16_t port, const std::string& request) {
    TcpSocket socket;
    EXPECT_TRUE(socket.Open());
    EXPECT_TRUE(
        socket.Connect(*botpilot::ParseDottedIpv4("127.0.0.1"), port, Deadline::After(5.0)));
    botpilot::testing::WriteBytes(socket,
                                  std::vector<std::uint8_t>(request.begin(), request.end()));
    return socket;
}

/// The status line of the answer on `socket`, or "" when none comes in time.
std::string StatusLine(TcpSocket& socket, double seconds) {
    std::string text;
    const Deadline deadline = Deadline::After(seconds);
    while (text.find("\r\n") == std::string::npos) {
        std::uint8_t chunk[256];
        const botpilot::IoResult result = socket.ReceiveSome(chunk, sizeof chunk, deadline);
        if (result.status != botpilot::IoStatus::Ok) {
            return "";
        }
        text.append(reinterpret_cast<const char*>(chunk), result.bytes);
    }
    return text.substr(0, text.find("\r\n"));
}

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
    EXPECT_NE(page->body.find("<script src=\"viewer.js\">"), std::string::npos);
    // The browser itself holds the page to its own origin.
    EXPECT_EQ(page->get_header_value("Content-Security-Policy").rfind("default-src 'self'", 0), 0u);
    for (const char* path : {"/viewer.js", "/viewer.css"}) {
        const httplib::Result asset = client.Get(path);
        ASSERT_TRUE(asset) << path;
        EXPECT_EQ(asset->status, 200) << path;
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

TEST(ViewerServerTest, DrawingsShowAsLayersWhileTheirConnectionIsOpen) {
    ArenaUnderTest arena(WithViewer(0));
    httplib::Client client("127.0.0.1", arena.HttpPort());
    auto drawings = [&] {
        const httplib::Result frame = client.Get("/frame");
        return frame && frame->status == 200 ? nlohmann::json::parse(frame->body).at("drawings")
                                             : nlohmann::json();
    };
    {
        botpilot::Connection drawing("Graphics", 1);
        drawing.Connect("127.0.0.1", arena.DrawingPort());
        botpilot::Message item;
        item.AddInt(1);
        for (const double value : {-14.5, -9.5, 0.5, 0.5, 0.0}) {
            item.AddDouble(value);
        }
        for (const std::int32_t value : {8, 101, 0, 0}) {
            item.AddInt(value);
        }
        EXPECT_EQ(drawing.Exchange(2, item).ReadString(), "");

        const nlohmann::json expected = {{{"connection", 1},
                                          {"client", "Graphics"},
                                          {"cells", {{-14.5, -9.5, 0.5, 0.5, 101, 0, 0}}}}};
        const Deadline deadline = Deadline::After(10.0);
        while (drawings() != expected && !deadline.Expired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(drawings(), expected);
    }
    const Deadline deadline = Deadline::After(10.0);
    while (drawings() != nlohmann::json::array() && !deadline.Expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(drawings(), nlohmann::json::array());
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

TEST(ViewerServerTest, AStalledViewerHoldsUpNeitherThePublisherNorOtherViewers) {
    SnapshotHub hub;
    ViewerLimits limits;
    limits.maxStreams = 2;
    limits.writeTimeoutSeconds = 0.5;
    ViewerServer viewer(hub, limits);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);

    // Snapshots far larger than any battle's, to fill the socket buffers fast.
    const std::string big(256 * 1024, 'x');
    auto snapshot = [&big](int n) {
        return "{\"n\":" + std::to_string(n) + ",\"pad\":\"" + big + "\"}";
    };
    hub.Publish(snapshot(0));

    // A browser that asks for the stream and then reads nothing.
    TcpSocket stalled = SendRequest(port, "GET /events HTTP/1.1\r\nHost: test\r\n\r\n");
    std::atomic<bool> healthyDone{false};
    std::atomic<int> healthyEvents{0};
    std::thread healthy([&] {
        // Counts the events' ends as they pass, keeping nothing: these are megabytes.
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(20, 0);
        char last = 0;
        client.Get("/events", [&](const char* data, std::size_t size) {
            for (std::size_t i = 0; i < size; ++i) {
                healthyEvents += last == '\n' && data[i] == '\n' ? 1 : 0;
                last = data[i];
            }
            return !healthyDone.load();
        });
    });

    // Both places are taken until the stalled stream is cut off; the publisher never waits.
    double slowestPublish = 0.0;
    int thirdStatus = 0;
    bool sawBusy = false;
    const Deadline deadline = Deadline::After(20.0);
    for (int n = 1; !deadline.Expired(); ++n) {
        const double before = botpilot::SteadySeconds();
        hub.Publish(snapshot(n));
        slowestPublish = std::max(slowestPublish, botpilot::SteadySeconds() - before);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (n % 10 == 0 && healthyEvents > 0) {
            ReadStream(
                port, "/events", [](const std::string&) { return true; }, &thirdStatus);
            sawBusy = sawBusy || thirdStatus == 503;
            if (thirdStatus == 200) {
                break;
            }
        }
    }
    healthyDone = true;
    hub.Publish(snapshot(-1));
    healthy.join();
    EXPECT_TRUE(sawBusy) << "the limit of two streams was not reached";
    EXPECT_EQ(thirdStatus, 200) << "the stalled stream was never cut off";
    // Well under the stall time: the publisher never waited for the stalled stream (a loose
    // bound, so that a loaded machine does not fail it).
    EXPECT_LT(slowestPublish, 1.0);
    EXPECT_GT(healthyEvents, 10);
}

TEST(ViewerServerTest, ConnectionsBeyondTheThreadsAndTheQueueAreAnsweredBusyAtOnce) {
    SnapshotHub hub;
    hub.Publish("{\"time\":0}");
    ViewerLimits limits;
    limits.maxStreams = 1;
    limits.spareWorkers = 0;
    limits.maxWaitingConnections = 2;
    ViewerServer viewer(hub, limits);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);
    // The one thread is taken by a stream: its first bytes show that it is being served.
    TcpSocket stream = SendRequest(port, "GET /events HTTP/1.1\r\nHost: test\r\n\r\n");
    EXPECT_EQ(StatusLine(stream, 10.0), "HTTP/1.1 200 OK");
    // Two connections wait for it, saying nothing; the next one finds no room.
    std::vector<TcpSocket> waiting;
    waiting.push_back(SendRequest(port, ""));
    waiting.push_back(SendRequest(port, ""));
    TcpSocket late = SendRequest(port, "GET /info HTTP/1.1\r\nHost: test\r\n\r\n");
    EXPECT_EQ(StatusLine(late, 10.0), "HTTP/1.1 503 Service Unavailable");
    // Once the stream and the waiting ones go, the viewer serves again (as soon as its one
    // thread has seen them go).
    hub.Close();
    stream.Close();
    waiting.clear();
    const Deadline deadline = Deadline::After(10.0);
    std::string again;
    while (again != "HTTP/1.1 200 OK" && !deadline.Expired()) {
        TcpSocket socket = SendRequest(port, "GET /info HTTP/1.1\r\nHost: test\r\n\r\n");
        again = StatusLine(socket, 5.0);
    }
    EXPECT_EQ(again, "HTTP/1.1 200 OK");
}

// Regression: with cpp-httplib's default SO_REUSEPORT a second arena shared a taken viewer port.
TEST(ViewerServerTest, APortInUseIsRefused) {
    SnapshotHub hub;
    ViewerServer first(hub);
    const std::uint16_t port = first.Start("127.0.0.1", 0);
    ViewerServer second(hub);
    try {
        second.Start("127.0.0.1", port);
        ADD_FAILURE() << "a second viewer took port " << port;
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot listen on 127.0.0.1 port " + std::to_string(port) + " for the viewer");
    }
}

TEST(ViewerServerTest, StopEndsStreamsAndTakesLittleTime) {
    SnapshotHub hub;
    ViewerServer viewer(hub);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);
    hub.Publish("{\"time\":0}");
    std::atomic<bool> streaming{false};
    std::thread reader([&] {
        ReadStream(port, "/events", [&](const std::string& text) {
            streaming = !EventData(text).empty();
            return false;
        });
    });
    const Deadline deadline = Deadline::After(10.0);
    while (!streaming && !deadline.Expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double before = botpilot::SteadySeconds();
    viewer.Stop();
    reader.join();
    EXPECT_LT(botpilot::SteadySeconds() - before, 2.0);
    viewer.Stop(); // again: nothing
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
