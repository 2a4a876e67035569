#include "arena/arena_server.h"
#include "arena/client_session.h"
#include "link/connection.h"
#include "link/controller.h"
#include "platform/tcp_socket.h"
#include "tests/arena/arena_under_test.h"
#include "tests/support/scripted_server.h"
#include "wire/controller_message.h"
#include "wire/frame.h"
#include "wire/little_endian.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace botarena {
namespace {

using botpilot::Deadline;
using botpilot::TcpSocket;

using testing::ArenaUnderTest;
using testing::FirstCellItem;

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

/// Answers every request with a reply of about a kilobyte, counting them.
class BulkyHandler final : public RequestHandler {
  public:
    explicit BulkyHandler(int& handled) : handled(handled) {}
    Reply Handle(Request&) override {
        ++handled;
        Reply reply;
        reply.message.AddString(std::string(1000, 'x'));
        return reply;
    }

  private:
    int& handled;
};

// Regression: every whole request in a read was answered before any reply was written, so 62
// robots each sending 2,048 GetSeenRobots in one write and reading nothing took the arena from
// 9 MB to 1,268 MB.
TEST(ArenaClientSessionTest, UnsentRepliesStayBoundedAndTheRestAreServedAsTheClientReads) {
    constexpr int kRequests = 2048;
    for (const bool reads : {false, true}) {
        SCOPED_TRACE(reads ? "a client that reads" : "a client that never reads");
        asio::io_context io;
        asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
        // Small kernel buffers at both ends, so that they hide little of what the session keeps.
        asio::ip::tcp::socket client(io);
        client.open(asio::ip::tcp::v4());
        client.set_option(asio::socket_base::receive_buffer_size(4096));
        client.connect(acceptor.local_endpoint());
        asio::ip::tcp::socket accepted = acceptor.accept();
        accepted.set_option(asio::socket_base::send_buffer_size(4096));

        std::ostringstream logText;
        EventLog log(logText, [] { return 0.0; });
        auto record = std::make_shared<ConnectionRecord>();
        record->id = 1;
        int handled = 0;
        ClientSession::Hooks hooks;
        hooks.accepted = [&handled](ClientSession&) {
            return std::make_unique<BulkyHandler>(handled);
        };
        auto session = std::make_shared<ClientSession>(std::move(accepted), record, log,
                                                       testing::kTestStallSeconds, hooks);
        session->Start();

        std::vector<std::uint8_t> request = botpilot::BuildHandshake("Controller", 4);
        const std::vector<std::uint8_t> frame =
            botpilot::BuildRequestFrame(17, botpilot::Message());
        for (int i = 0; i < kRequests; ++i) {
            request.insert(request.end(), frame.begin(), frame.end());
        }
        asio::async_write(client, asio::buffer(request),
                          [](const std::error_code&, std::size_t) {});
        botpilot::Message bulky;
        bulky.AddString(std::string(1000, 'x'));
        std::vector<std::uint8_t> replies(1 + kRequests * botpilot::BuildReplyFrame(bulky).size());
        std::size_t received = 0;
        if (reads) {
            asio::async_read(client, asio::buffer(replies),
                             [&](const std::error_code&, std::size_t size) {
                                 received = size;
                                 client.close();
                             });
        }
        // The loop runs out of work once the session has closed.
        io.run_for(std::chrono::seconds(30));
        if (reads) {
            EXPECT_EQ(received, replies.size());
            EXPECT_EQ(handled, kRequests);
            EXPECT_EQ(record->closeReason, "client closed the connection");
        } else {
            // 64 KiB of replies and what the small buffers hold, far from all 2048.
            EXPECT_LT(handled, kRequests / 8);
            EXPECT_EQ(record->closeReason.rfind("client did not take its replies", 0), 0u)
                << record->closeReason;
        }
    }
}

TEST(ArenaServerTest, DrawingPortServesDrawItemsAndChecksItsInterfaceCode) {
    ArenaUnderTest arena({});
    botpilot::Connection drawing("Graphics", 1);
    drawing.Connect("127.0.0.1", arena.DrawingPort());
    const botpilot::Message item = FirstCellItem();
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

/// A raw drawing connection past its handshake.
TcpSocket ConnectDrawing(std::uint16_t port) {
    TcpSocket socket = ConnectRaw(port);
    botpilot::testing::WriteBytes(socket, botpilot::BuildHandshake("Graphics", 1));
    EXPECT_EQ(botpilot::testing::ReadBytes(socket, 1), std::vector<std::uint8_t>{1});
    return socket;
}

// Regression: robot and drawing connections shared one cap of 64 and an idle connection was
// never dropped, so 64 silent drawing connections kept every robot out for the whole battle.
TEST(ArenaServerTest, EachKindHasItsOwnPlacesAndASilentOneGivesItsPlaceUp) {
    ArenaOptions options;
    options.maxConnections = 2;
    ArenaUnderTest arena(options);
    std::vector<TcpSocket> drawings;
    for (int i = 0; i < kMaxDrawingConnections; ++i) {
        drawings.push_back(ConnectDrawing(arena.DrawingPort()));
    }
    // Every drawing place is taken, and robots still join up to their own cap.
    TcpSocket first = ConnectRobot(arena.RobotPort());
    TcpSocket second = ConnectRobot(arena.RobotPort());
    for (const std::uint16_t port : {arena.RobotPort(), arena.DrawingPort()}) {
        SCOPED_TRACE(port);
        TcpSocket refused = ConnectRaw(port);
        EXPECT_TRUE(ClosedBy(refused, 5.0));
    }
    // Once the drawings have been silent for three stall times, a newcomer takes the place of
    // the one silent longest; until then it is refused.
    bool joined = false;
    const Deadline deadline = Deadline::After(20.0);
    while (!joined && !deadline.Expired()) {
        TcpSocket late = ConnectRaw(arena.DrawingPort());
        botpilot::testing::WriteBytes(late, botpilot::BuildHandshake("Graphics", 1));
        joined = botpilot::testing::ReadBytes(late, 1, 5.0) == std::vector<std::uint8_t>{1};
        if (!joined) {
            // Pacing the attempts only: the refusal itself came at once.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_TRUE(joined);
    EXPECT_TRUE(ClosedBy(drawings.front(), 5.0));
    arena.Stop();
    const std::string err = arena.Err();
    EXPECT_NE(err.find(": 2 robot connections open"), std::string::npos) << err;
    EXPECT_NE(err.find(": 16 drawing connections open"), std::string::npos) << err;
    const ConnectionRecord* idlest = FindRecord(arena.Server(), 1);
    ASSERT_NE(idlest, nullptr);
    EXPECT_EQ(idlest->closeReason, "sent nothing for 0.9 s; its place went to a new connection");
}

// Regression: a client repeating SetRobotName wrote 556 MB of event log in 10 s; a name holding
// a newline forged an event line, and its escape sequences reached the console.
TEST(ArenaServerTest, ClientTextIsEscapedAndAConnectionsLinesAreLimited) {
    ArenaUnderTest arena({});
    TcpSocket robot = ConnectRobot(arena.RobotPort());
    const std::string name = "Evil\n[   0.50] destroyed: robot 1 by robot 2\x1b]0;x\x07\x1b[2J";
    botpilot::Message named;
    named.AddString(name);
    std::vector<std::uint8_t> burst;
    constexpr int kRenames = 2000;
    for (int i = 0; i <= kRenames; ++i) {
        const std::vector<std::uint8_t> frame =
            i < kRenames
                ? botpilot::BuildRequestFrame(
                      static_cast<std::int32_t>(botpilot::ControllerMessage::SetRobotName), named)
                : botpilot::BuildRequestFrame(
                      static_cast<std::int32_t>(botpilot::ControllerMessage::StartRobot),
                      botpilot::Message());
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    botpilot::testing::WriteBytes(robot, burst);
    const std::size_t replyBytes = botpilot::BuildReplyFrame(ErrorTextReply("")).size();
    EXPECT_EQ(botpilot::testing::ReadBytes(robot, replyBytes * (kRenames + 1), 20.0).size(),
              replyBytes * (kRenames + 1));
    arena.Stop();

    const std::string err = arena.Err();
    const std::string out = arena.Out();
    std::istringstream lines(err);
    int renames = 0;
    for (std::string line; std::getline(lines, line);) {
        renames += line.find("configure name") != std::string::npos ? 1 : 0;
        EXPECT_NE(line.rfind("[   0.50] destroyed", 0), 0u) << line;
    }
    // Five lines a second of battle time; the test's battle lasts a few seconds at most.
    EXPECT_LE(renames, 50);
    EXPECT_NE(err.find(" more lines from connection 1"), std::string::npos) << err;
    EXPECT_NE(err.find("disconnect: robot connection 1 (robot 1): battle over"), std::string::npos);
    for (const std::string* text : {&err, &out}) {
        EXPECT_EQ(text->find('\x1b'), std::string::npos);
        EXPECT_EQ(text->find('\x07'), std::string::npos);
    }
    // Escaped first, then cut to the 16 bytes of the column on a whole escape.
    EXPECT_NE(out.find("\n   1    1  Evil\\x0a[   0.50 Plimb "), std::string::npos) << out;
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
    EXPECT_NE(out.find("Sniper 2"), std::string::npos);
    EXPECT_NEAR(arena.Server().GetBattle().Time(), 0.3, 1e-6);
}

/// The text of the error a request got from the arena; empty when it was served.
std::string ErrorOf(const std::function<void()>& request) {
    try {
        request();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

// Regression: connections were closed before the summary was written, so a client robot that
// survived the battle was listed as departed, and its client never learnt how the battle ended.
TEST(ArenaServerTest, AfterTheEndTheSurvivorIsToldItWonUntilTheGraceEnds) {
    const std::string summaryPath = ::testing::TempDir() + "arena_server_end_summary.json";
    ArenaOptions options;
    options.summaryPath = summaryPath;
    options.graceSeconds = 1.0;
    ArenaUnderTest arena(options);
    botpilot::Controller stayer;
    stayer.Connect("127.0.0.1", arena.RobotPort());
    stayer.SetRobotName("Stayer");
    stayer.StartRobot();
    {
        botpilot::Controller leaver;
        leaver.Connect("127.0.0.1", arena.RobotPort());
        leaver.SetRobotName("Leaver");
        leaver.StartRobot();
    } // closed: one robot is left, which ends the battle

    // Served until the arena sees the leaver go, then told the battle is over; not closed yet.
    std::string answer;
    const Deadline deadline = Deadline::After(10.0);
    while (answer.empty() && !deadline.Expired()) {
        answer = ErrorOf([&] { stayer.GetPosition(); });
    }
    EXPECT_EQ(answer, "Battle over: Stayer wins");
    EXPECT_EQ(ErrorOf([&] { stayer.FireGun(); }), "Battle over: Stayer wins");
    EXPECT_EQ(stayer.GetPlayingFieldSize(), std::make_pair(30.0, 20.0));
    // Then the grace ends and the connection with it.
    while (answer == "Battle over: Stayer wins" && !deadline.Expired()) {
        answer = ErrorOf([&] { stayer.GetGunCharge(); });
    }
    EXPECT_NE(answer, "Battle over: Stayer wins");
    ASSERT_TRUE(arena.WaitForEnd(10.0));

    const std::string out = arena.Out();
    EXPECT_NE(out.find("Battle over after"), std::string::npos) << out;
    EXPECT_NE(out.find(": one robot left\nrank "), std::string::npos) << out;
    EXPECT_NE(out.find("\n   1    1  Stayer "), std::string::npos) << out;
    EXPECT_NE(out.find("\n   2    2  Leaver "), std::string::npos) << out;
    EXPECT_NE(out.find("\nWinner: Stayer\n"), std::string::npos) << out;
    std::ifstream file(summaryPath);
    const nlohmann::json summary = nlohmann::json::parse(file);
    EXPECT_EQ(summary["reason"], "one robot left");
    EXPECT_EQ(summary["winner"], nlohmann::json({{"id", 1}, {"name", "Stayer"}}));
    struct Expected {
        const char* name;
        const char* state;
        int rank;
        double score; // outlived the leaver (50), last standing against one (10)
    };
    const Expected robots[] = {{"Stayer", "survived", 1, 60.0}, {"Leaver", "departed", 2, 0.0}};
    ASSERT_EQ(summary["robots"].size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const nlohmann::json& robot = summary["robots"][i];
        EXPECT_EQ(robot["name"], robots[i].name);
        EXPECT_EQ(robot["state"], robots[i].state);
        EXPECT_EQ(robot["rank"], robots[i].rank);
        EXPECT_DOUBLE_EQ(robot["score"].get<double>(), robots[i].score);
    }
    ASSERT_EQ(summary["rounds"].size(), 1u);
    EXPECT_EQ(summary["rounds"][0]["reason"], "one robot left");
    EXPECT_EQ(summary["rounds"][0]["winner"]["name"], "Stayer");
    // Written again when the grace ended, with the survivor's connection as it closed; being told
    // the battle is over is neither a refusal nor a protocol error.
    const nlohmann::json& connection = summary["connections"][0];
    EXPECT_EQ(connection["open"], false);
    EXPECT_EQ(connection["closeReason"], "battle over");
    EXPECT_EQ(connection["refusedRequests"], 0);
    EXPECT_EQ(connection["protocolErrors"], 0);
    const ConnectionRecord* record = FindRecord(arena.Server(), 1);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->closeReason, "battle over");
    EXPECT_EQ(record->refusedRequests, 0u);
    EXPECT_EQ(record->protocolErrors, 0u);
    std::remove(summaryPath.c_str());
}

TEST(ArenaServerTest, RoundsFollowOneAnotherOverTheSameRobotsAndTheirFiguresAddUp) {
    ArenaOptions options;
    options.bots = 2;
    options.seed = 5;
    options.duration = 0.3;
    options.rounds = 2;
    ArenaUnderTest arena(options);
    ASSERT_TRUE(arena.WaitForEnd(10.0));
    const std::string out = arena.Out();
    EXPECT_NE(out.find("Battle over after 0.60 s: duration reached\n"
                       "Round 1 after 0.30 s: duration reached; "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nRound 2 after 0.30 s: duration reached; "), std::string::npos) << out;
    EXPECT_NE(arena.Err().find("round 2: 2 robots back on the field"), std::string::npos);
    const Battle& battle = arena.Server().GetBattle();
    ASSERT_EQ(battle.Rounds().size(), 2u);
    for (const auto& [id, robot] : battle.Robots()) {
        SCOPED_TRACE(id);
        EXPECT_EQ(robot.Stage(), RobotStage::Survived);
        double score = 0.0;
        double timeAlive = 0.0;
        for (const RoundResult& round : battle.Rounds()) {
            ASSERT_NE(round.standings.Of(id), nullptr);
            score += round.standings.Of(id)->score;
            timeAlive += round.robots[static_cast<std::size_t>(id - 1)].record.timeAlive;
        }
        EXPECT_DOUBLE_EQ(battle.Overall().Of(id)->score, score);
        EXPECT_NEAR(robot.Totals().timeAlive, 0.6, 1e-9);
        EXPECT_NEAR(timeAlive, 0.6, 1e-9);
    }
}

// Regression: the recording was opened, and so emptied, before the viewer's port was found
// taken, so an arena that could not start lost the last battle's recording.
TEST(ArenaServerTest, AnArenaThatCannotStartLeavesAnEarlierRecordingAsItWas) {
    const std::string path = ::testing::TempDir() + "arena_server_earlier_recording.jsonl";
    {
        std::ofstream earlier(path);
        earlier << "{\"time\":0}\n";
    }
    asio::io_context io;
    asio::ip::tcp::acceptor holder(io, {asio::ip::make_address("127.0.0.1"), 0});
    ArenaOptions options;
    options.port = 0;
    options.httpPort = holder.local_endpoint().port();
    options.recordPath = path;
    std::ostringstream out;
    std::ostringstream err;
    ArenaServer server(io, options, out, err);
    EXPECT_THROW(server.Start(), std::runtime_error);
    std::ifstream kept(path);
    const std::string text((std::istreambuf_iterator<char>(kept)),
                           std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "{\"time\":0}\n");
    std::remove(path.c_str());
}

} // namespace
} // namespace botarena
