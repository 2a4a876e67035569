#include "arena/arena_server.h"
#include "link/connection.h"
#include "link/controller.h"
#include "link/frame.h"
#include "link/little_endian.h"
#include "platform/tcp_socket.h"
#include "tests/arena/arena_under_test.h"
#include "tests/support/scripted_server.h"

#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace botarena {
namespace {

using botpilot::Deadline;
using botpilot::TcpSocket;

using testing::ArenaUnderTest;

TcpSocket ConnectRaw(std::uint16_t port) {
    TcpSocket socket;
    EXPECT_TRUE(socket.Open());
    EXPECT_TRUE(
        socket.Connect(*botpilot::ParseDottedIpv4("127.0.0.1"), port, Deadline::After(5.0)));
    return socket;
}

/// A raw robot connection past its handshake.
TcpSocket ConnectRobot(std::uint16_t port) {
    TcpSocket socket = ConnectRaw(port);
    botpilot::testing::WriteBytes(socket, botpilot::BuildHandshake("Controller", 4));
    EXPECT_EQ(botpilot::testing::ReadBytes(socket, 1), std::vector<std::uint8_t>{1});
    return socket;
}

/// Whether the server closes the connection within the time, reading whatever comes first.
bool ClosedBy(TcpSocket& socket, double seconds) {
    const Deadline deadline = Deadline::After(seconds);
    std::uint8_t sink[256];
    for (;;) {
        const botpilot::IoResult result = socket.ReceiveSome(sink, sizeof sink, deadline);
        if (result.status == botpilot::IoStatus::TimedOut) {
            return false;
        }
        if (result.status != botpilot::IoStatus::Ok) {
            return true;
        }
    }
}

/// A well-behaved robot, configured and started, that must keep being served.
class GoodClient {
  public:
    explicit GoodClient(std::uint16_t port) {
        controller.Connect("127.0.0.1", port);
        controller.SetRobotName("Steady");
        controller.StartRobot();
    }
    /// One round of readings and a command; throws when the arena fails it.
    void Serve() {
        controller.GetPosition();
        controller.GetSeenRobots();
        controller.SetEngineSpeed(10.0);
        ++rounds;
    }
    int rounds = 0;

  private:
    botpilot::Controller controller;
};

const ConnectionRecord* FindRecord(const ArenaServer& server, int id) {
    for (const auto& record : server.Connections()) {
        if (record->id == id) {
            return record.get();
        }
    }
    return nullptr;
}

TEST(ArenaServerTest, MisbehavingClientsAreClosedWhileAGoodOneCarriesOn) {
    ArenaUnderTest arena({});
    GoodClient good(arena.RobotPort()); // connection 1
    good.Serve();

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool handshakeFirst;
        std::string reason; // the start of the logged reason
        bool answeredZero;  // a rejected handshake is answered with 0
    };
    std::vector<std::uint8_t> garbage = {17, 0, 0, 0, 2, 0, 0, 0, 9, 9};
    std::vector<std::uint8_t> oversized;
    botpilot::AppendUint32(oversized, 18);
    botpilot::AppendUint32(oversized, 2'000'000);
    const Case cases[] = {
        {"bad handshake", {'H', 'T', 'T', 'P'}, false, "bad handshake: Bad handshake magic", true},
        {"garbage frame", garbage, true, "Malformed request of type 17", false},
        {"oversized frame", oversized, true, "Request of type 18 declares 2000000", false},
        {"stalled half-frame", {16, 0, 0}, true, "half a frame waited", false},
        {"stalled handshake", {'Q', 'T'}, false, "an unfinished handshake waited", false},
    };
    int connectionId = 2;
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        TcpSocket bad =
            each.handshakeFirst ? ConnectRobot(arena.RobotPort()) : ConnectRaw(arena.RobotPort());
        botpilot::testing::WriteBytes(bad, each.bytes);
        // The good client is served while the bad one is pending and after it is gone.
        EXPECT_NO_THROW(good.Serve());
        if (each.answeredZero) {
            EXPECT_EQ(botpilot::testing::ReadBytes(bad, 1), std::vector<std::uint8_t>{0});
        }
        EXPECT_TRUE(ClosedBy(bad, 5.0));
        EXPECT_NO_THROW(good.Serve());
        ++connectionId;
    }
    arena.Stop();

    const ArenaServer& server = arena.Server();
    const ConnectionRecord* goodRecord = FindRecord(server, 1);
    ASSERT_NE(goodRecord, nullptr);
    EXPECT_EQ(goodRecord->protocolErrors, 0u);
    EXPECT_EQ(goodRecord->requestsServed, 2u + 3u * static_cast<unsigned>(good.rounds));
    for (int i = 0; i < 5; ++i) {
        const ConnectionRecord* record = FindRecord(server, 2 + i);
        ASSERT_NE(record, nullptr) << cases[i].what;
        EXPECT_EQ(record->closeReason.rfind(cases[i].reason, 0), 0u)
            << cases[i].what << ": " << record->closeReason;
        EXPECT_GE(record->protocolErrors, 1u);
    }
    // Robots whose connection left before starting are forgotten; the good one stays.
    EXPECT_EQ(server.GetBattle().Robots().size(), 1u);
}

TEST(ArenaServerTest, ClientThatTakesNoRepliesIsClosed) {
    ArenaUnderTest arena({});
    GoodClient good(arena.RobotPort());
    TcpSocket greedy = ConnectRobot(arena.RobotPort());
    // Requests without ever reading a reply, until the send blocks: the arena stops reading
    // once its own replies cannot be written.
    const std::vector<std::uint8_t> frame = botpilot::BuildRequestFrame(2, botpilot::Message());
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 4096; ++i) {
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    bool blocked = false;
    for (int i = 0; i < 2000 && !blocked; ++i) {
        std::size_t sent = 0;
        while (sent < burst.size()) {
            const botpilot::IoResult result =
                greedy.SendSome(burst.data() + sent, burst.size() - sent, Deadline::After(0.2));
            if (result.status != botpilot::IoStatus::Ok) {
                blocked = true;
                break;
            }
            sent += result.bytes;
        }
    }
    EXPECT_TRUE(blocked);
    EXPECT_NO_THROW(good.Serve());
    // Reading the replies would unblock the arena: watch the send side fail instead, which it
    // does once the arena has closed the connection.
    // The bound only proves that it happens: the stall time is far shorter, but a loaded machine
    // may be slow to run the arena's timers.
    bool failed = false;
    const Deadline deadline = Deadline::After(30.0);
    while (!failed && !deadline.Expired()) {
        const botpilot::IoResult result = greedy.SendSome(burst.data(), burst.size(), deadline);
        failed = result.status == botpilot::IoStatus::Closed ||
                 result.status == botpilot::IoStatus::Failed;
    }
    EXPECT_TRUE(failed);
    EXPECT_NO_THROW(good.Serve());
    arena.Stop();
    const ConnectionRecord* record = FindRecord(arena.Server(), 2);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->closeReason.rfind("client did not take its replies", 0), 0u)
        << record->closeReason;
}

TEST(ArenaServerTest, DrawingPortServesDrawItemsAndChecksItsInterfaceCode) {
    ArenaUnderTest arena({});
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
    botpilot::Message reply = drawing.Exchange(2, item);
    EXPECT_EQ(reply.ReadString(), "");

    botpilot::Connection robotOnDrawingPort("Controller", 4);
    try {
        robotOnDrawingPort.Connect("127.0.0.1", arena.DrawingPort());
        ADD_FAILURE() << "a robot handshake was accepted on the drawing port";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unexpected server response");
    }
    arena.Stop();
    EXPECT_NE(arena.Err().find("Handshake interface code 4, expected 1 on this port"),
              std::string::npos)
        << arena.Err();
}

TEST(ArenaServerTest, ConnectionsBeyondTheLimitAreClosedAtOnce) {
    ArenaOptions options;
    options.maxConnections = 2;
    ArenaUnderTest arena(options);
    TcpSocket first = ConnectRobot(arena.RobotPort());
    TcpSocket second = ConnectRobot(arena.RobotPort());
    TcpSocket third = ConnectRaw(arena.RobotPort());
    EXPECT_TRUE(ClosedBy(third, 5.0));
    arena.Stop();
    EXPECT_NE(arena.Err().find("2 connections open"), std::string::npos);
}

TEST(ArenaServerTest, BattleEndsByItselfAfterItsDurationWithAScoreboard) {
    ArenaOptions options;
    options.bots = 2;
    options.seed = 5;
    options.duration = 0.3;
    ArenaUnderTest arena(options);
    ASSERT_TRUE(arena.WaitForEnd(10.0));
    const std::string out = arena.Out();
    EXPECT_EQ(out.rfind("botarena listening on 127.0.0.1 port ", 0), 0u) << out;
    EXPECT_NE(out.find("Battle over after 0.30 s: duration reached"), std::string::npos) << out;
    EXPECT_NE(out.find("Bot 2"), std::string::npos);
    EXPECT_NEAR(arena.Server().GetBattle().Time(), 0.3, 1e-6);
}

} // namespace
} // namespace botarena
