#pragma once

#include "arena/connection_record.h"
#include "arena/protocol/event_log.h"
#include "arena/protocol/handshake_validator.h"
#include "arena/protocol/request_frame_reader.h"
#include "arena/protocol/request_handler.h"

#include <array>
#include <asio.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace botarena {

/// One client connection on the arena's event loop: the handshake, then request frames in and
/// reply frames out, one batch at a time. It reads again only once the replies to what it has
/// read are written, so a client that does not take its replies holds up only itself. A bad
/// handshake, a malformed or oversized frame, or a frame (or handshake, or write) left
/// unfinished for the stall time closes it with a logged reason.
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

  private:
    void Read();
    void OnRead(const std::error_code& error, std::size_t size);
    /// Handshake and requests in these bytes; fills `outgoing`.
    void Process(const std::uint8_t* data, std::size_t size);
    void ServeRequests(const std::uint8_t* data, std::size_t size);
    void Write();
    /// Arms or cancels the stall watch after the state changed.
    void Watch();
    void OnWatch(const std::error_code& error);
    /// "connection 3 (robot 5)" for log lines.
    std::string Describe() const;

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
    /// When the unfinished handshake or frame began; nothing when none is waiting.
    std::optional<Clock::time_point> partialSince;
    std::optional<Clock::time_point> writingSince;
    /// Close with this reason once the replies are written.
    std::optional<std::string> closeAfterWrite;
    bool closed = false;
};

} // namespace botarena
