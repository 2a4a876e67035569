// Hostile clients against the real arena (a child process) while a well-behaved robot client is
// driven beside them: garbage instead of a handshake, frames left half sent, floods of requests
// with and without reading the replies, and hundreds of connections opened and dropped. Only the
// hostile connections may suffer; the good one keeps being served promptly and the arena ends
// cleanly (status 0, so no sanitizer or leak report either).
#include "link/controller.h"
#include "link/frame.h"
#include "tests/arena/arena_process.h"
#include "tests/support/scripted_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

namespace botpilot {
namespace {

using Bytes = std::vector<std::uint8_t>;

/// The good client is timed alone for this long, then beside the hostile ones. [Units: s]
constexpr double kAloneSeconds = 1.0;
constexpr double kBesideSeconds = 4.0;
/// Simulated seconds the arena runs: past both phases. [Units: s]
constexpr int kArenaSeconds = 8;
/// Connections opened and dropped during the attack.
constexpr int kChurnConnections = 400;

TcpSocket ConnectRaw(std::uint16_t port) {
    TcpSocket socket;
    if (socket.Open()) {
        socket.Connect(*ParseDottedIpv4("127.0.0.1"), port, Deadline::After(5.0));
    }
    return socket;
}

TcpSocket ConnectRobot(std::uint16_t port) {
    TcpSocket socket = ConnectRaw(port);
    testing::WriteBytes(socket, BuildHandshake("Controller", 4));
    testing::ReadBytes(socket, 1, 5.0);
    return socket;
}

/// Round trips of the good client's exchanges. [Units: s]
struct Timings {
    std::vector<double> seconds;
    double Median() {
        std::sort(seconds.begin(), seconds.end());
        return seconds.empty() ? 0.0 : seconds[seconds.size() / 2];
    }
    double Worst() const {
        return seconds.empty() ? 0.0 : *std::max_element(seconds.begin(), seconds.end());
    }
};

/// Drives the good client for the given time, one reading or command per exchange.
Timings Drive(Controller& controller, double seconds) {
    using Clock = std::chrono::steady_clock;
    Timings timings;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    for (int i = 0; Clock::now() < end; ++i) {
        const Clock::time_point begun = Clock::now();
        switch (i % 3) {
        case 0:
            controller.GetPosition();
            break;
        case 1:
            controller.GetSeenRobots();
            break;
        default:
            controller.SetEngineSpeed(i % 2 == 0 ? 20.0 : -20.0);
            break;
        }
        timings.seconds.push_back(std::chrono::duration<double>(Clock::now() - begun).count());
    }
    return timings;
}

/// Sends `count` copies of a request frame at once and reads their replies, over and over.
void FloodAndRead(std::uint16_t port, const std::atomic<bool>& stop) {
    TcpSocket socket = ConnectRobot(port);
    const Bytes frame = BuildRequestFrame(2, Message()); // GetRobotId
    const Bytes reply = BuildReplyFrame([] {
        Message m;
        m.AddString("");
        m.AddInt(0);
        return m;
    }());
    Bytes burst;
    for (int i = 0; i < 512; ++i) {
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    while (!stop) {
        testing::WriteBytes(socket, burst);
        if (testing::ReadBytes(socket, 512 * reply.size(), 5.0).size() < 512 * reply.size()) {
            return;
        }
    }
}

/// Sends requests without ever reading a reply, until the arena stops taking them.
void FloodWithoutReading(std::uint16_t port, const std::atomic<bool>& stop) {
    TcpSocket socket = ConnectRobot(port);
    Bytes burst;
    const Bytes frame = BuildRequestFrame(17, Message());
    for (int i = 0; i < 1024; ++i) {
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    while (!stop) {
        const IoResult result = socket.SendSome(burst.data(), burst.size(), Deadline::After(0.1));
        if (result.status == IoStatus::Closed || result.status == IoStatus::Failed) {
            return;
        }
    }
}

/// Connections that send garbage, or half a handshake or half a frame, and those that open and
/// drop at once, one after another.
void Churn(std::uint16_t port, const std::atomic<bool>& stop, std::vector<TcpSocket>& halfOpen) {
    std::mt19937 random(7);
    for (int i = 0; i < kChurnConnections && !stop; ++i) {
        TcpSocket socket = ConnectRaw(port);
        switch (i % 4) {
        case 0: { // garbage
            Bytes noise(512);
            for (std::uint8_t& byte : noise) {
                byte = static_cast<std::uint8_t>(random());
            }
            testing::WriteBytes(socket, noise);
            break;
        }
        case 1: // dropped at once
            break;
        case 2: // half a handshake, kept open a while
            testing::WriteBytes(socket, {'Q', 'T', 'M'});
            if (halfOpen.size() < 8) {
                halfOpen.push_back(std::move(socket));
            }
            break;
        default: { // a handshake and half a frame
            testing::WriteBytes(socket, BuildHandshake("Controller", 4));
            testing::WriteBytes(socket, {16, 0, 0, 0, 9});
            if (halfOpen.size() < 16) {
                halfOpen.push_back(std::move(socket));
            }
            break;
        }
        }
    }
}

TEST(HostileClientTest, GoodClientKeepsItsServiceWhileHostileClientsAttack) {
    const std::string base = ::testing::TempDir() + "hostile_" + std::to_string(getpid());
    const std::string summaryPath = base + "_summary.json";
    const std::string logPath = base + "_log.txt";
    botarena::testing::ArenaProcess arena({BOTARENA_PATH, "--port", "0", "--http", "off",
                                           "--duration", std::to_string(kArenaSeconds), "--summary",
                                           summaryPath},
                                          logPath);
    const std::optional<std::string> firstLine = arena.ReadFirstLine(20.0);
    ASSERT_TRUE(firstLine);
    const auto port = static_cast<std::uint16_t>(botarena::testing::PortFromFirstLine(*firstLine));
    ASSERT_GT(port, 0);

    Timings alone;
    Timings beside;
    {
        Controller good; // the arena's connection 1
        good.Connect("127.0.0.1", port);
        good.SetRobotName("Steady");
        good.StartRobot();
        alone = Drive(good, kAloneSeconds);

        std::atomic<bool> stop{false};
        std::vector<TcpSocket> halfOpen;
        std::vector<std::thread> attackers;
        attackers.emplace_back([&] { FloodAndRead(port, stop); });
        attackers.emplace_back([&] { FloodWithoutReading(port, stop); });
        attackers.emplace_back([&] { Churn(port, stop, halfOpen); });
        EXPECT_NO_THROW(beside = Drive(good, kBesideSeconds));
        stop = true;
        for (std::thread& attacker : attackers) {
            attacker.join();
        }
    }
    std::printf("[ hostile  ] good client alone: %zu exchanges, median %.3f ms, worst %.3f ms\n",
                alone.seconds.size(), alone.Median() * 1e3, alone.Worst() * 1e3);
    std::printf("[ hostile  ] beside the attack: %zu exchanges, median %.3f ms, worst %.3f ms\n",
                beside.seconds.size(), beside.Median() * 1e3, beside.Worst() * 1e3);
    // Starving the good client would show as waits of seconds (a hostile connection may hold
    // its own for the 10 s stall time). Waiting behind a flood's batch is fair, and on a busy
    // machine with a sanitizer build that batch can take tens of milliseconds.
    EXPECT_LT(beside.Median(), 0.25);
    EXPECT_LT(beside.Worst(), 2.0);
    EXPECT_GE(beside.seconds.size(), 20u);

    ASSERT_EQ(arena.Wait(30.0), std::optional<int>(0)) << arena.Output();
    std::ifstream file(summaryPath);
    ASSERT_TRUE(file) << summaryPath;
    const nlohmann::json summary = nlohmann::json::parse(file);
    const nlohmann::json& connections = summary["connections"];
    ASSERT_FALSE(connections.empty());
    const nlohmann::json& goodRecord = connections[0];
    EXPECT_EQ(goodRecord["id"], 1);
    EXPECT_EQ(goodRecord["protocolErrors"], 0);
    EXPECT_EQ(goodRecord["requestsServed"].get<std::size_t>(),
              2 + alone.seconds.size() + beside.seconds.size());
    int refusedHandshakes = 0;
    for (const nlohmann::json& connection : connections) {
        const std::string reason = connection["closeReason"];
        refusedHandshakes += reason.rfind("bad handshake", 0) == 0 ? 1 : 0;
    }
    EXPECT_GE(refusedHandshakes, kChurnConnections / 4 - 4);
    // The arena's log shows no sign of a fault of its own.
    std::ifstream log(logPath);
    const std::string logText((std::istreambuf_iterator<char>(log)),
                              std::istreambuf_iterator<char>());
    EXPECT_EQ(logText.find("internal error"), std::string::npos);
    EXPECT_EQ(logText.find("Sanitizer"), std::string::npos);
    std::remove(summaryPath.c_str());
    std::remove(logPath.c_str());
}

} // namespace
} // namespace botpilot
