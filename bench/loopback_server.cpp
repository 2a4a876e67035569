#include "bench/loopback_server.h"

#include "link/frame.h"
#include "link/little_endian.h"

#include <optional>
#include <utility>

namespace botpilot::bench {

namespace {

/// How often the server's waits look at the stop flag. [Units: s]
constexpr double kStopCheckSeconds = 0.1;
/// Message types above this get an empty reply (none is sent by the robot).
constexpr std::int32_t kLastMessageType = 29;

bool ReadExactly(TcpSocket& client, std::uint8_t* into, std::size_t count,
                 const std::atomic<bool>& stopping) {
    std::size_t held = 0;
    while (held < count) {
        const IoResult result =
            client.ReceiveSome(into + held, count - held, Deadline::After(kStopCheckSeconds));
        if (result.status == IoStatus::TimedOut && !stopping) {
            continue;
        }
        if (result.status != IoStatus::Ok) {
            return false;
        }
        held += result.bytes;
    }
    return true;
}

bool WriteAll(TcpSocket& client, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const IoResult result = client.SendSome(bytes.data() + sent, bytes.size() - sent,
                                                Deadline::After(kStopCheckSeconds * 10));
        if (result.status != IoStatus::Ok) {
            return false;
        }
        sent += result.bytes;
    }
    return true;
}

} // namespace

LoopbackServer::LoopbackServer(const BenchWorld& world)
    : listener(TcpListener::Listen("127.0.0.1", 0)) {
    for (std::int32_t type = 0; type <= kLastMessageType; ++type) {
        replyFrames.push_back(BuildReplyFrame(testing::WorldReply(type, world)));
    }
    threads.emplace_back([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stopping = true;
    for (;;) {
        std::thread next;
        {
            const std::lock_guard<std::mutex> hold(threadsLock);
            if (threads.empty()) {
                break;
            }
            next = std::move(threads.front());
            threads.erase(threads.begin());
        }
        next.join();
    }
}

void LoopbackServer::AcceptLoop() {
    while (!stopping) {
        std::optional<TcpSocket> client = listener.Accept(Deadline::After(kStopCheckSeconds));
        if (!client) {
            continue;
        }
        const std::lock_guard<std::mutex> hold(threadsLock);
        threads.emplace_back(
            [this, socket = std::move(*client)]() mutable { Serve(std::move(socket)); });
    }
}

void LoopbackServer::Serve(TcpSocket client) const {
    // Handshake: magic, version, name length, name, interface code; answered with one byte.
    std::uint8_t opening[12];
    if (!ReadExactly(client, opening, sizeof opening, stopping)) {
        return;
    }
    std::vector<std::uint8_t> rest(LoadUint32(opening + 8) + 4u);
    if (!ReadExactly(client, rest.data(), rest.size(), stopping) ||
        !WriteAll(client, {kHandshakeAccepted})) {
        return;
    }
    std::vector<std::uint8_t> payload;
    for (;;) {
        std::uint8_t header[kRequestHeaderBytes];
        if (!ReadExactly(client, header, sizeof header, stopping)) {
            return;
        }
        const auto type = static_cast<std::int32_t>(LoadUint32(header));
        payload.resize(LoadUint32(header + 4));
        if (!ReadExactly(client, payload.data(), payload.size(), stopping)) {
            return;
        }
        const bool known = type >= 0 && type <= kLastMessageType;
        if (!WriteAll(client, replyFrames[known ? static_cast<std::size_t>(type) : 0])) {
            return;
        }
    }
}

} // namespace botpilot::bench
