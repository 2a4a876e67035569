#include "arena/viewer/viewer_server.h"
#include "platform/steady_time.h"
#include "platform/tcp_socket.h"
#include "tests/arena/viewer/viewer_stream.h"
#include "tests/support/scripted_server.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

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
