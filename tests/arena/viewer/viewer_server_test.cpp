#include "arena/viewer/viewer_server.h"
#include "arena/viewer/web_assets.h"
#include "platform/steady_time.h"
#include "platform/tcp_socket.h"
#include "tests/arena/viewer/viewer_stream.h"
#include "tests/support/scripted_server.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>

namespace botarena {
namespace {

using botpilot::Deadline;
using botpilot::TcpSocket;
using testing::EventData;
using testing::ReadStream;

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

/// The whole answer on `socket`, up to the server's close or `seconds`.
std::string WholeAnswer(TcpSocket& socket, double seconds) {
    std::string text;
    const Deadline deadline = Deadline::After(seconds);
    for (;;) {
        std::uint8_t chunk[4096];
        const botpilot::IoResult result = socket.ReceiveSome(chunk, sizeof chunk, deadline);
        if (result.status != botpilot::IoStatus::Ok) {
            return text;
        }
        text.append(reinterpret_cast<const char*>(chunk), result.bytes);
    }
}

/// Clients that send their request a byte at a time, one byte each every `interval`, until
/// the server answers or closes; returns when each was ended, in seconds from the start, or
/// a negative value when it was still open after `seconds`.
std::vector<double> Trickle(std::vector<TcpSocket>& clients, double interval, double seconds) {
    const std::string request = "GET /info HTTP/1.1\r\nHost: test\r\nX-Slow: ";
    const double start = botpilot::SteadySeconds();
    std::vector<double> ended(clients.size(), -1.0);
    for (std::size_t sent = 0; botpilot::SteadySeconds() - start < seconds; ++sent) {
        bool open = false;
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if (ended[i] >= 0.0) {
                continue;
            }
            std::uint8_t answer[64];
            const botpilot::IoResult heard =
                clients[i].ReceiveSome(answer, sizeof answer, Deadline::After(0.0));
            const std::uint8_t byte =
                static_cast<std::uint8_t>(sent < request.size() ? request[sent] : 'x');
            if (heard.status == botpilot::IoStatus::TimedOut &&
                clients[i].SendSome(&byte, 1, Deadline::After(1.0)).status ==
                    botpilot::IoStatus::Ok) {
                open = true;
            } else {
                ended[i] = botpilot::SteadySeconds() - start;
            }
        }
        if (!open) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(interval));
    }
    return ended;
}

// Regression: httplib's read time-out applied to each read, so twelve clients sending a header
// byte every 1.5 s held every thread for as long as they liked.
TEST(ViewerServerTest, TricklingClientsAreCutAtTheDeadlineAndLeaveThreadsForWholeRequests) {
    SnapshotHub hub;
    ViewerLimits limits;
    limits.maxStreams = 2;
    limits.spareWorkers = 2;
    limits.requestDeadlineSeconds = 1.0;
    ViewerServer viewer(hub, limits);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);

    // Alone, a slow client may keep a thread, but only up to the request's deadline.
    std::vector<TcpSocket> lone;
    lone.push_back(SendRequest(port, ""));
    const double loneEnded = Trickle(lone, 0.1, 10.0).front();
    EXPECT_GE(loneEnded, 0.9);
    EXPECT_LT(loneEnded, 3.0);

    // Twelve at once, on four threads: a whole request is still served in good time.
    std::vector<TcpSocket> slow;
    for (int i = 0; i < 12; ++i) {
        slow.push_back(SendRequest(port, ""));
    }
    std::atomic<double> answerSeconds{-1.0};
    std::thread whole([&] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(30, 0);
        const double before = botpilot::SteadySeconds();
        const httplib::Result info = client.Get("/info");
        if (info && info->status == 200) {
            answerSeconds = botpilot::SteadySeconds() - before;
        }
    });
    const std::vector<double> ended = Trickle(slow, 0.1, 10.0);
    whole.join();
    EXPECT_GE(answerSeconds.load(), 0.0) << "the whole request was not answered";
    EXPECT_LT(answerSeconds.load(), 3.0);
    for (const double seconds : ended) {
        EXPECT_GE(seconds, 0.0) << "a trickling client kept its thread";
        EXPECT_LT(seconds, 3.0);
    }
}

// Regression: httplib answered "Range: bytes=0-,0-,..." with one copy of the file per range
// (2,000 ranges on the 6 kB script made a 34 MB answer).
TEST(ViewerServerTest, AnAnswerIsAtMostItsWholeContent) {
    SnapshotHub hub;
    ViewerServer viewer(hub);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);
    std::string_view script;
    for (const WebAsset& asset : WebAssets()) {
        script = asset.name == "viewer.js" ? asset.body : script;
    }
    std::string manyRanges = "Range: bytes=0-";
    for (int i = 1; i < 2000; ++i) {
        manyRanges += ",0-";
    }
    struct Row {
        std::string header;
        std::string status;
    };
    const Row rows[] = {
        {manyRanges, "HTTP/1.1 200 OK"},
        {"Range: bytes=0-9", "HTTP/1.1 200 OK"},
        {"rAnGe :bytes=0-0,1-1", "HTTP/1.1 200 OK"},
        {"Range: bytes=x", "HTTP/1.1 200 OK"},
        {"X-Pad: " + std::string(16 * 1024, 'a'), "HTTP/1.1 431 Request Header Fields Too Large"},
    };
    for (const Row& row : rows) {
        TcpSocket socket = SendRequest(port, "GET /viewer.js HTTP/1.1\r\nHost: test\r\n" +
                                                 row.header + "\r\n\r\n");
        const std::string answer = WholeAnswer(socket, 10.0);
        EXPECT_EQ(answer.substr(0, answer.find("\r\n")), row.status) << row.header.substr(0, 40);
        if (row.status == "HTTP/1.1 200 OK") {
            const std::size_t bodyStart = answer.find("\r\n\r\n") + 4;
            EXPECT_EQ(answer.substr(bodyStart), script) << row.header.substr(0, 40);
        }
        EXPECT_LT(answer.size(), script.size() + 1024) << row.header.substr(0, 40);
    }
}

// Regression: a gap of 1e308 s between two snapshots overflowed the clock's count of ticks when
// a stream worked out its wait (caught by UBSan).
TEST(ViewerServerTest, ReplayWaitsOutAnyGapAndNamesRefusedValues) {
    const std::string path =
        ::testing::TempDir() + "viewer_gap_" + std::to_string(getpid()) + ".jsonl";
    std::ofstream(path) << "{\"time\":-1e308}\n{\"time\":0}\n{\"time\":1e308}\n";
    const Recording recording = Recording::Load(path);
    ViewerLimits limits;
    limits.keepAliveSeconds = 0.2;
    ViewerServer viewer(recording, limits);
    const std::uint16_t port = viewer.Start("127.0.0.1", 0);

    // The first snapshot, then the stream stays open across the endless gap.
    int status = 0;
    const std::string stream = ReadStream(
        port, "/events?speed=16",
        [](const std::string& text) { return text.find(": nothing new") != std::string::npos; },
        &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(EventData(stream).size(), 1u);

    httplib::Client client("127.0.0.1", port);
    const std::pair<std::string, double> frames[] = {
        {"/frame?time=1e308", 1e308}, {"/frame?time=-1e308", -1e308}, {"/frame?time=5", 0.0}};
    for (const auto& [request, time] : frames) {
        const httplib::Result frame = client.Get(request);
        ASSERT_TRUE(frame) << request;
        EXPECT_EQ(nlohmann::json::parse(frame->body).at("time"), time) << request;
    }
    const std::pair<std::string, std::string> refused[] = {
        {"/events?speed=1e-300", "speed '1e-300' is outside 0.1 to 16"},
        {"/events?speed=1e300", "speed '1e300' is outside 0.1 to 16"},
        {"/frame?time=1e999", "time '1e999' is not a number"},
    };
    for (const auto& [request, text] : refused) {
        const httplib::Result answer = client.Get(request);
        ASSERT_TRUE(answer) << request;
        EXPECT_EQ(answer->status, 400) << request;
        EXPECT_EQ(answer->body, text + "\n");
    }
    viewer.Stop();
    std::remove(path.c_str());
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

} // namespace
} // namespace botarena
