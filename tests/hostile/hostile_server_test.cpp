// The real client, run as a child process, against servers that misbehave in every way the wire
// allows. Whatever the server does, the client must end with its documented error text and
// status 1, within a bounded time and memory, and without a crash or a sanitizer report (its
// standard error holds the one line and nothing else).
#include "platform/steady_time.h"
#include "tests/hostile/hostile_process.h"
#include "tests/support/fake_robot_server.h"
#include "tests/support/scripted_server.h"
#include "wire/frame.h"
#include "wire/little_endian.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace botpilot {
namespace {

using testing::AnswerHandshake;
using testing::ClientRun;
using testing::ReadBytes;
using testing::ReadRequest;
using testing::RunClientAgainst;
using testing::ScriptedServer;
using testing::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

/// A case ends "at once" when it needs no deadline: well under the shortest one (5 s).
constexpr double kPromptSeconds = 4.0;
/// How far past its deadline a timed-out case may end. [Units: s]
constexpr double kDeadlineSlackSeconds = 4.0;

/// Checks one case and prints its line of the matrix: case, text, status, time.
void ExpectCleanFailure(const char* what, const ClientRun& run, const std::string& text,
                        double minSeconds, double maxSeconds) {
    std::printf("[ matrix   ] %-48s %-40s status %d  %6.2f s\n", what,
                run.result.err.substr(0, run.result.err.find('\n')).c_str(), run.result.exitStatus,
                run.seconds);
    EXPECT_FALSE(run.result.timedOut);
    EXPECT_TRUE(run.result.exited) << "killed by signal " << run.result.signalNumber;
    EXPECT_EQ(run.result.exitStatus, 1);
    // The error text opens standard error; only "Unable to connect" adds a line of advice.
    const bool advised = text == "Unable to connect";
    EXPECT_EQ(advised ? run.result.err.substr(0, text.size() + 1) : run.result.err, text + "\n");
    EXPECT_EQ(run.result.out, "");
    EXPECT_GE(run.seconds, minSeconds);
    EXPECT_LE(run.seconds, maxSeconds);
}

Message FieldSize() {
    Message reply;
    reply.AddDouble(30.0);
    reply.AddDouble(20.0);
    return reply;
}

/// Answers the handshake and the field size, then plays `next` on the second request.
ScriptedServer::Script AfterFieldSize(std::function<void(TcpSocket&)> next) {
    return [next](TcpSocket& client) {
        AnswerHandshake(client);
        if (!ReadRequest(client)) {
            return;
        }
        testing::WriteReply(client, FieldSize());
        if (ReadRequest(client)) {
            next(client);
        }
        ReadBytes(client, 1); // until the client has gone
    };
}

/// Answers the handshake, reads the first request (the field size), then plays `reply`.
ScriptedServer::Script OnFirstRequest(std::function<void(TcpSocket&)> reply) {
    return [reply](TcpSocket& client) {
        AnswerHandshake(client);
        if (ReadRequest(client)) {
            reply(client);
        }
        ReadBytes(client, 1);
    };
}

Bytes Frame(std::initializer_list<std::uint8_t> payload) {
    // The length first, then the payload copied in behind it. (Appending the payload after the
    // length grew the vector byte by byte is a pattern GCC 12 at -O3 misreads as an overflow.)
    Bytes frame;
    AppendUint32(frame, static_cast<std::uint32_t>(payload.size()));
    frame.resize(frame.size() + payload.size());
    std::copy(payload.begin(), payload.end(), frame.end() - static_cast<long>(payload.size()));
    return frame;
}

TEST(HostileServerTest, EachMisbehaviourEndsTheRunAtOnceWithItsText) {
    struct Case {
        const char* what;
        ScriptedServer::Script script;
        const char* text;
    };
    std::atomic<std::uint16_t> portOfCase{0}; // the reset case needs its own server's port
    const std::vector<Case> cases = {
        {"handshake answered 0", [](TcpSocket& c) { AnswerHandshake(c, 0); },
         "Unexpected server response"},
        {"handshake answered 255", [](TcpSocket& c) { AnswerHandshake(c, 255); },
         "Unexpected server response"},
        {"close before the handshake answer", [](TcpSocket& c) { testing::ReadHandshake(c); },
         "Server rejected connection"},
        {"close after the handshake answer", [](TcpSocket& c) { AnswerHandshake(c); },
         "Error receiving response from server"},
        {"close inside a reply's length", OnFirstRequest([](TcpSocket& c) {
             WriteBytes(c, {17, 0});
             c.Close();
         }),
         "Error receiving response from server"},
        {"close inside a reply's payload", OnFirstRequest([](TcpSocket& c) {
             WriteBytes(c, {17, 0, 0, 0, 2, 0, 0});
             c.Close();
         }),
         "Error receiving response from server"},
        {"extra bytes after a reply", OnFirstRequest([](TcpSocket& c) {
             Bytes bytes = BuildReplyFrame(FieldSize());
             bytes.push_back(0xEE);
             WriteBytes(c, bytes);
         }),
         "Unexpected server response"},
        {"declared length 0xFFFFFFFF", OnFirstRequest([](TcpSocket& c) {
             WriteBytes(c, {0xFF, 0xFF, 0xFF, 0xFF});
         }),
         "Unexpected server response"},
        {"declared length one above 16 MiB", OnFirstRequest([](TcpSocket& c) {
             Bytes header;
             AppendUint32(header, kMaxReplyPayloadBytes + 1);
             WriteBytes(c, header);
         }),
         "Unexpected server response"},
        {"error text whose length has the top bit set", AfterFieldSize([](TcpSocket& c) {
             WriteBytes(c, Frame({3, 0, 0, 0, 0x80, 'x'}));
         }),
         "Unexpected end of message"},
        {"reset mid-reply", OnFirstRequest([&portOfCase](TcpSocket& c) {
             WriteBytes(c, {17, 0, 0, 0, 2, 0, 0});
             testing::ResetAcceptedConnection(portOfCase);
         }),
         "Error receiving response from server"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(c.script);
        portOfCase = server.Port();
        const ClientRun run = RunClientAgainst(server.Port());
        server.Join();
        ExpectCleanFailure(c.what, run, c.text, 0.0, kPromptSeconds);
    }
}

TEST(HostileServerTest, HostileListsEndInADecodingErrorWithoutAHugeAllocation) {
    const auto robots = static_cast<std::int32_t>(ControllerMessage::GetSeenRobots);
    const auto objects = static_cast<std::int32_t>(ControllerMessage::GetSeenObjects);
    struct Case {
        const char* what;
        std::int32_t type;
        std::function<void(Message&)> list; // the values after the empty error text
        Bytes tail;                         // raw bytes after them
        const char* text;
    };
    const auto oneRobot = [](std::int32_t count) {
        return [count](Message& m) {
            m.AddInt(count);
            m.AddInt(9);
            for (int i = 0; i < 3; ++i) {
                m.AddDouble(1.0);
            }
            m.AddString("Simple");
        };
    };
    const std::vector<Case> cases = {
        {"robot count 2^31-1",
         robots,
         [](Message& m) { m.AddInt(INT32_MAX); },
         {},
         "Reached end of message"},
        {"robot count 2^31-1 with one entry",
         robots,
         [&](Message& m) {
             oneRobot(INT32_MAX)(m);
             m.AddString("Bot");
         },
         {},
         "Reached end of message"},
        {"robot count -1",
         robots,
         [](Message& m) { m.AddInt(-1); },
         {},
         "List reply declares a negative count of -1 entries"},
        {"robot count INT32_MIN",
         robots,
         [](Message& m) { m.AddInt(INT32_MIN); },
         {},
         "List reply declares a negative count of -2147483648 entries"},
        {"object count 2^31-1",
         objects,
         [](Message& m) { m.AddInt(INT32_MAX); },
         {},
         "Reached end of message"},
        {"object count -1",
         objects,
         [](Message& m) { m.AddInt(-1); },
         {},
         "List reply declares a negative count of -1 entries"},
        // The name: tag 3 and a length of 2^31 + 4 over a few bytes of text.
        {"robot name whose length has the top bit set",
         robots,
         oneRobot(1),
         {3, 4, 0, 0, 0x80, 'B', 'o', 't'},
         "Unexpected end of message"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::FakeRobotServer server;
        server.SetTamper([&c](const testing::RecordedRequest& request) -> std::optional<Bytes> {
            if (request.type != c.type) {
                return std::nullopt;
            }
            Message values;
            values.AddString("");
            c.list(values);
            Bytes payload = values.Bytes();
            payload.insert(payload.end(), c.tail.begin(), c.tail.end());
            return BuildReplyFrame(Message(payload));
        });
        const ClientRun run = RunClientAgainst(server.Port());
        server.Stop();
        ExpectCleanFailure(c.what, run, c.text, 0.0, kPromptSeconds);
    }
}

TEST(HostileServerTest, ReplyTrickledOneByteAtATimeEndsLikeTheWholeReply) {
    // The field size, then the server's own refusal of the next request, as whole frames or
    // one byte per write.
    auto serve = [](bool trickle) {
        return [trickle](TcpSocket& client) {
            auto send = [&](const Bytes& bytes) {
                if (!trickle) {
                    WriteBytes(client, bytes);
                    return;
                }
                for (const std::uint8_t byte : bytes) {
                    WriteBytes(client, {byte});
                }
            };
            AnswerHandshake(client);
            if (!ReadRequest(client)) {
                return;
            }
            send(BuildReplyFrame(FieldSize()));
            if (!ReadRequest(client)) {
                return;
            }
            Message refusal;
            refusal.AddString("Arena closed for repairs");
            send(BuildReplyFrame(refusal));
            ReadBytes(client, 1);
        };
    };
    ClientRun runs[2];
    for (const bool trickle : {false, true}) {
        ScriptedServer server(serve(trickle));
        runs[trickle ? 1 : 0] = RunClientAgainst(server.Port());
    }
    ExpectCleanFailure("refusal as whole frames", runs[0], "Arena closed for repairs", 0.0,
                       kPromptSeconds);
    ExpectCleanFailure("refusal trickled one byte at a time", runs[1], "Arena closed for repairs",
                       0.0, kPromptSeconds);
}

// Regression guard: a send on a connection the server has reset must be the send error, not a
// death by SIGPIPE. The client is held stopped while the reply and the reset arrive, so that its
// next send surely meets the reset.
TEST(HostileServerTest, SendAfterTheServerResetIsASendError) {
    std::promise<int> childId;
    std::shared_future<int> child = childId.get_future().share();
    std::uint16_t port = 0;
    ScriptedServer server([&](TcpSocket& client) {
        AnswerHandshake(client);
        if (!ReadRequest(client)) {
            return;
        }
        kill(child.get(), SIGSTOP);
        testing::WriteReply(client, FieldSize());
        testing::ResetAcceptedConnection(port);
        kill(child.get(), SIGCONT);
    });
    port = server.Port();
    const ClientRun run =
        RunClientAgainst(port, [&](int processId) { childId.set_value(processId); });
    server.Join();
    ExpectCleanFailure("reset after a reply, before the next send", run,
                       "Error sending message to server", 0.0, kPromptSeconds);
}

/// A listener whose one-place queue is already taken, so that a further connect is never
/// answered: the client's connect can only time out.
class UnansweredListener {
  public:
    UnansweredListener() {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener, 0) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port = ntohs(address.sin_port);
        filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        connect(filler, reinterpret_cast<sockaddr*>(&address), size);
    }
    ~UnansweredListener() {
        close(filler);
        close(listener);
    }
    std::uint16_t port = 0;

  private:
    int listener = -1;
    int filler = -1;
};

TEST(HostileServerTest, EveryWaitEndsAtItsDeadline) {
    struct Case {
        const char* what;
        ScriptedServer::Script script; // nothing: the connect is never answered
        const char* text;
        double deadline; // [Units: s]
    };
    const std::vector<Case> cases = {
        {"connect never answered", nullptr, "Unable to connect", 5.0},
        {"accepts and never answers the handshake",
         [](TcpSocket& c) { ReadBytes(c, 1 << 20, 20.0); }, "Server rejected connection", 10.0},
        {"answers the handshake, then never replies",
         [](TcpSocket& c) {
             AnswerHandshake(c);
             ReadBytes(c, 1 << 20, 20.0);
         },
         "Error receiving response from server", 10.0},
        {"reply trickled slower than the reply deadline", OnFirstRequest([](TcpSocket& c) {
             // 22 bytes at one every 0.6 s would take 13 s.
             const Bytes frame = BuildReplyFrame(FieldSize());
             for (std::size_t i = 0; i < frame.size(); ++i) {
                 if (c.SendSome(&frame[i], 1, Deadline::After(1.0)).status != IoStatus::Ok) {
                     return;
                 }
                 SleepMilliseconds(600);
             }
         }),
         "Error receiving response from server", 10.0},
    };
    // The cases only wait, so they run side by side.
    std::vector<ClientRun> runs(cases.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        threads.emplace_back([&, i] {
            if (!cases[i].script) {
                UnansweredListener listener;
                runs[i] = RunClientAgainst(listener.port);
                return;
            }
            ScriptedServer server(cases[i].script);
            runs[i] = RunClientAgainst(server.Port());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        ExpectCleanFailure(cases[i].what, runs[i], cases[i].text, cases[i].deadline - 0.1,
                           cases[i].deadline + kDeadlineSlackSeconds);
    }
}

} // namespace
} // namespace botpilot
