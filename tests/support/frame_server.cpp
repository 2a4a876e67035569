#include "tests/support/frame_server.h"

#include "wire/frame.h"
#include "wire/little_endian.h"

#include <optional>
#include <utility>

namespace botpilot::testing {

namespace {

/// How often the server's waits look at the stop flag. [Units: s]
constexpr double kStopCheckSeconds = 0.05;
/// A reply the client does not take within this is given up, and the connection with it.
constexpr double kWriteSeconds = 10.0;
/// Larger names and payloads than any client of ours sends end the connection before any
/// memory is taken for them. [Units: bytes]
constexpr std::uint32_t kMaxNameBytes = 256;
constexpr std::uint32_t kMaxPayloadBytes = 1u << 20;

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
    const Deadline deadline = Deadline::After(kWriteSeconds);
    while (sent < bytes.size()) {
        const IoResult result = client.SendSome(bytes.data() + sent, bytes.size() - sent, deadline);
        if (result.status != IoStatus::Ok) {
            return false;
        }
        sent += result.bytes;
    }
    return true;
}

} // namespace

FrameServer::FrameServer(TcpListener listener, Handler handler)
    : listener(std::move(listener)), handler(std::move(handler)) {
    threads.emplace_back([this] { AcceptLoop(); });
}

FrameServer::~FrameServer() {
    Stop();
}

void FrameServer::Stop() {
    stopping = true;
    // Connection threads are added by the accept loop; join until none is left.
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
        if (next.joinable()) {
            next.join();
        }
    }
    listener.Close();
}

void FrameServer::AcceptLoop() {
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

void FrameServer::Serve(TcpSocket client) const {
    // Handshake: magic, version, name length, name, interface code; answered with one byte.
    std::uint8_t opening[12];
    if (!ReadExactly(client, opening, sizeof opening, stopping)) {
        return;
    }
    const std::uint32_t nameLength = LoadUint32(opening + 8);
    if (nameLength > kMaxNameBytes) {
        return;
    }
    std::vector<std::uint8_t> rest(nameLength + 4u);
    if (!ReadExactly(client, rest.data(), rest.size(), stopping) ||
        !WriteAll(client, {kHandshakeAccepted})) {
        return;
    }
    std::vector<std::uint8_t> payload;
    std::vector<std::uint8_t> reply;
    for (;;) {
        std::uint8_t header[kRequestHeaderBytes];
        if (!ReadExactly(client, header, sizeof header, stopping)) {
            return;
        }
        const auto type = static_cast<std::int32_t>(LoadUint32(header));
        const std::uint32_t length = LoadUint32(header + 4);
        if (length > kMaxPayloadBytes) {
            return;
        }
        payload.resize(length);
        if (!ReadExactly(client, payload.data(), payload.size(), stopping)) {
            return;
        }
        reply.clear();
        handler(type, payload, reply);
        if (!WriteAll(client, reply)) {
            return;
        }
    }
}

} // namespace botpilot::testing
