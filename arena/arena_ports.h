#pragma once

#include "arena/arena_options.h"
#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"
#include "arena/client_session.h"
#include "arena/connection_record.h"
#include "arena/protocol/event_log.h"
#include "arena/protocol/request_handler.h"

#include <asio.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace botarena {

/// The arena's places: the robot port and the drawing port beside it, the connections they
/// accept (each kind within its own cap, a place held by a long-silent connection going to a
/// newcomer), the request handler each connection is served by, its figures kept after it
/// closes, and whose robot each drawing is drawn for.
class ArenaPorts {
  public:
    struct Hooks {
        /// How long ago the battle's last step was, for the readings a robot connection is
        /// served. [Units: s]
        std::function<double()> timeIntoStep;
        /// Called after a connection has closed and given up its place.
        std::function<void()> closed;
    };

    /// `options`, `battle`, `board` and `log` must outlive the ports.
    ArenaPorts(asio::io_context& io, const ArenaOptions& options, Battle& battle,
               DrawingBoard& board, EventLog& log, Hooks hooks);

    /// Opens both ports on options.bind: options.port and the next, or for port 0 the first
    /// free pair found. Throws std::runtime_error when they cannot be opened.
    void Open();
    /// Begins accepting connections on both ports.
    void Accept();
    /// Stops accepting: closes both ports. The connections open stay open.
    void Close();
    /// Closes every connection now, with `reason`, and sums up the lines they held back.
    void CloseAll(const std::string& reason);

    std::uint16_t RobotPort() const { return robotPort; }
    std::uint16_t DrawingPort() const { return static_cast<std::uint16_t>(robotPort + 1); }
    /// Robot connections open now.
    int OpenRobotConnections() const;
    /// Connections of either kind open now.
    std::size_t OpenConnections() const { return sessions.size(); }
    /// Requests served over every connection, those no longer listed included.
    std::uint64_t RequestsServed() const;
    /// Every connection, open or closed; beyond kMaxListedConnections, those that close are
    /// summed up in Unlisted instead.
    const std::vector<std::shared_ptr<ConnectionRecord>>& Records() const { return records; }
    /// The figures of the closed connections beyond those listed.
    const UnlistedConnections& Unlisted() const { return unlisted; }

  private:
    void Accept(asio::ip::tcp::acceptor& acceptor, ConnectionKind kind);
    void OnAccepted(asio::ip::tcp::socket socket, ConnectionKind kind);
    /// Whether a newcomer of this kind from `peerText` has a place: a free one, or the one of
    /// the connection silent longest, closed for it when it has sent nothing for
    /// kIdleStallTimes stall times. False (with a log line) when every place is kept.
    bool MakePlace(ConnectionKind kind, const std::string& peerText);
    std::unique_ptr<RequestHandler> MakeHandler(ClientSession& session);
    void OnClosed(ClientSession& session);
    /// Names the robot each drawing is drawn for, or none where the arena cannot tell; again
    /// whenever a robot or a drawing comes or goes.
    void AttributeDrawings();

    const ArenaOptions& options;
    Battle& battle;
    DrawingBoard& board;
    EventLog& log;
    Hooks hooks;
    asio::ip::tcp::acceptor robotAcceptor;
    asio::ip::tcp::acceptor drawingAcceptor;
    std::uint16_t robotPort = 0;
    /// Set by Close: connections accepted but not yet handed over are dropped.
    bool closed = false;
    std::map<ClientSession*, std::shared_ptr<ClientSession>> sessions;
    std::vector<std::shared_ptr<ConnectionRecord>> records;
    UnlistedConnections unlisted;
    int nextConnectionId = 1;
};

} // namespace botarena
