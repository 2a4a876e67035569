#include "tests/support/scripted_server.h"

#include "wire/frame.h"
#include "wire/little_endian.h"

#include <utility>

namespace botpilot::testing {

ScriptedServer::ScriptedServer(Script script) {
    TcpListener listener = TcpListener::Listen("127.0.0.1", 0);
    port = listener.Port();
    worker = std::thread([listener = std::move(listener), script = std::move(script)]() mutable {
        std::optional<TcpSocket> client = listener.Accept(Deadline::After(kScriptWaitSeconds));
        if (client) {
            script(*client);
        }
    });
}

ScriptedServer::~ScriptedServer() {
    Join();
}

void ScriptedServer::Join() {
    if (worker.joinable()) {
        worker.join();
    }
}

std::vector<std::uint8_t> ReadBytes(TcpSocket& client, std::size_t count, double waitSeconds) {
    std::vector<std::uint8_t> bytes(count);
    std::size_t held = 0;
    const Deadline deadline = Deadline::After(waitSeconds);
    while (held < count) {
        const IoResult result = client.ReceiveSome(bytes.data() + held, count - held, deadline);
        if (result.status != IoStatus::Ok) {
            break;
        }
        held += result.bytes;
    }
    bytes.resize(held);
    return bytes;
}

void WriteBytes(TcpSocket& client, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    const Deadline deadline = Deadline::After(kScriptWaitSeconds);
    while (sent < bytes.size()) {
        const IoResult result = client.SendSome(bytes.data() + sent, bytes.size() - sent, deadline);
        if (result.status != IoStatus::Ok) {
            return;
        }
        sent += result.bytes;
    }
}

std::optional<std::vector<std::uint8_t>> ReadHandshake(TcpSocket& client) {
    std::vector<std::uint8_t> handshake = ReadBytes(client, 12);
    if (handshake.size() < 12) {
        return std::nullopt;
    }
    const std::uint32_t nameLength = LoadUint32(handshake.data() + 8);
    const std::vector<std::uint8_t> rest = ReadBytes(client, nameLength + 4);
    if (rest.size() < nameLength + 4) {
        return std::nullopt;
    }
    handshake.insert(handshake.end(), rest.begin(), rest.end());
    return handshake;
}

std::vector<std::uint8_t> AnswerHandshake(TcpSocket& client, std::uint8_t answer) {
    std::optional<std::vector<std::uint8_t>> handshake = ReadHandshake(client);
    WriteBytes(client, {answer});
    return handshake.value_or(std::vector<std::uint8_t>{});
}

std::optional<ReceivedRequest> ReadRequest(TcpSocket& client) {
    const std::vector<std::uint8_t> header = ReadBytes(client, kRequestHeaderBytes);
    if (header.size() < kRequestHeaderBytes) {
        return std::nullopt;
    }
    ReceivedRequest request;
    request.type = static_cast<std::int32_t>(LoadUint32(header.data()));
    const std::uint32_t length = LoadUint32(header.data() + 4);
    request.payload = ReadBytes(client, length);
    if (request.payload.size() < length) {
        return std::nullopt;
    }
    return request;
}

void WriteReply(TcpSocket& client, const Message& reply) {
    WriteBytes(client, BuildReplyFrame(reply));
}

} // namespace botpilot::testing
