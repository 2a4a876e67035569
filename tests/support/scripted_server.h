#pragma once

#include "platform/tcp_listener.h"
#include "platform/tcp_socket.h"
#include "wire/message.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace botpilot::testing {

/// How long a scripted server waits for anything before giving up. [Units: s]
constexpr double kScriptWaitSeconds = 10.0;

/// A one-connection server on 127.0.0.1 with a port the system chooses. Its script runs on a
/// thread of its own against the one client it accepts; the destructor waits for the script.
/// Scripts record what they saw into variables the test reads after the server is destroyed.
class ScriptedServer {
  public:
    using Script = std::function<void(TcpSocket& client)>;

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t Port() const { return port; }

    /// Waits for the script to finish.
    void Join();

  private:
    std::uint16_t port = 0;
    std::thread worker;
};

/// Up to `count` bytes; fewer when the client closes or the wait runs out.
std::vector<std::uint8_t> ReadBytes(TcpSocket& client, std::size_t count,
                                    double waitSeconds = kScriptWaitSeconds);
void WriteBytes(TcpSocket& client, const std::vector<std::uint8_t>& bytes);

/// Reads a whole handshake; nothing when it is cut short.
std::optional<std::vector<std::uint8_t>> ReadHandshake(TcpSocket& client);
/// Reads the handshake and answers it with the given byte.
std::vector<std::uint8_t> AnswerHandshake(TcpSocket& client, std::uint8_t answer = 1);

struct ReceivedRequest {
    std::int32_t type = 0;
    std::vector<std::uint8_t> payload;
};
/// Reads one request frame; nothing when the client closes first.
std::optional<ReceivedRequest> ReadRequest(TcpSocket& client);
/// Writes a reply frame around the payload.
void WriteReply(TcpSocket& client, const Message& reply);

} // namespace botpilot::testing
