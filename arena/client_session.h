#pragma once

#include "arena/connection_record.h"
#include "arena/protocol/event_log.h"
#include "arena/protocol/handshake_validator.h"
#include "arena/protocol/request_frame_reader.h"
#include "arena/protocol/request_handler.h"

#include <array>
#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace botarena {

/// Replies a connection may have waiting to be sent: beyond this, its requests wait unserved
/// and its socket unread until the client has taken what was written. [Units: bytes]
constexpr std::size_t kMaxUnsentReplyBytes = 64 * 1024;

/// One client connection on the arena's event loop: the handshake, then request frames in and
/// reply frames out. It serves the requests it has read until kMaxUnsentReplyBytes of replies
/// wait, writes them, and serves the rest (or reads again) only once they are written, so a
/// client that does not take its replies holds up only itself and never more than that much of
/// the arena's memory. A bad handshake, a malformed or oversized frame, or a frame (or
/// handshake, or write) left unfinished for the stall time closes it with a logged reason.
class ClientSession : public std::enable_shared_from_this<ClientSession> {
  public:
    using Clock = std::chrono::steady_clock;

    struct Hooks {
        /// Called when the handshake is accepted; gives the connection its request handler.
        std::function<std::unique_ptr<RequestHandler>(ClientSession&)> accepted;
        /// Called once when the connection closes, for whatever reason.
        std::function<void(ClientSession&)> closed;
    };

    /// `log` must outlive the session. [Units: stallSeconds in s]
    ClientSession(asio::ip::tcp::socket socket, std::shared_ptr<ConnectionRecord> record,
                  EventLog& log, double stallSeconds, Hooks hooks);

    /// Begins reading the handshake.
    void Start();
    /// Closes the connection now; later calls do nothing.
    void Close(const std::string& reason);

    ConnectionRecord& Record() { return *record; }
    bool IsClosed() const { return closed; }
    /// When the client last sent a byte (or connected).
    Clock::time_point LastHeard() const { return lastHeard; }
    /// Replies being written or requests waiting to be served: the client is not idle.
    bool IsBusy() const { return writingSince.has_value() || !waiting.empty(); }

  private:
    void Read();
    void OnRead(const std::error_code& error, std::size_t size);
    /// Serves what waits, then writes, closes or reads again.
    void Continue();
    /// Handshake and requests in these bytes: the requests join `waiting`.
    void Process(const std::uint8_t* data, std::size_t size);
    void TakeRequests(const std::uint8_t* data, std::size_t size);
    /// Serves waiting requests into `outgoing` until kMaxUnsentReplyBytes wait there.
    void ServeWaiting();
    void Write();
    /// Arms or cancels the stall watch after the state changed.
    void Watch();
    void OnWatch(const std::error_code& error);
    /// "robot connection 3 (robot 5)" for log lines.
    std::string Describe() const;
    void LogLine(const std::string& text);

    asio::ip::tcp::socket socket;
    asio::steady_timer watch;
    std::shared_ptr<ConnectionRecord> record;
    EventLog& log;
    Clock::duration stallTime;
    Hooks hooks;

    HandshakeValidator handshake;
    RequestFrameReader frames;
    std::unique_ptr<RequestHandler> handler;
    std::array<std::uint8_t, 16384> incoming{};
    std::vector<std::uint8_t> outgoing;
    /// Whole requests read but not yet served; at most one read's worth.
    std::deque<Request> waiting;
    /// Why the frames broke off after the waiting requests: the close once they are answered.
    std::optional<std::string> frameFailure;
    Clock::time_point lastHeard = Clock::now();
    /// When the unfinished handshake or frame began; nothing when none is waiting.
    std::optional<Clock::time_point> partialSince;
    std::optional<Clock::time_point> writingSince;
    /// Close with this reason once the replies are written.
    std::optional<std::string> closeAfterWrite;
    bool closed = false;
};

} // namespace botarena
