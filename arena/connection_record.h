#pragma once

#include "arena/protocol/request_handler.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace botarena {

enum class ConnectionKind { Robot, Drawing };

inline const char* KindName(ConnectionKind kind) {
    return kind == ConnectionKind::Robot ? "robot" : "drawing";
}

/// The figures of one connection, kept after it closes for the summary.
struct ConnectionRecord {
    int id = 0;
    ConnectionKind kind = ConnectionKind::Robot;
    std::string peer;        ///< address:port of the client
    std::string peerAddress; ///< the client's address alone
    std::string clientName;  ///< from the handshake, once accepted
    int robotId = 0;         ///< the robot it drives; 0 for none
    std::uint64_t requestsServed = 0;
    std::uint64_t refusedRequests = 0;
    /// Requests that broke the protocol, plus 1 when the connection was closed for it.
    std::uint64_t protocolErrors = 0;
    double totalServiceSeconds = 0.0; ///< [Units: s]
    double worstServiceSeconds = 0.0; ///< [Units: s]
    bool open = true;
    std::string closeReason;

    /// One reply sent, which took `serviceSeconds` from the whole request to the whole reply.
    void Count(ReplyOutcome outcome, double serviceSeconds) {
        ++requestsServed;
        refusedRequests += outcome == ReplyOutcome::Refused ? 1 : 0;
        protocolErrors += outcome == ReplyOutcome::ProtocolError ? 1 : 0;
        totalServiceSeconds += serviceSeconds;
        worstServiceSeconds = std::max(worstServiceSeconds, serviceSeconds);
    }

    /// [Units: s] 0 before the first request.
    double MeanServiceSeconds() const {
        return requestsServed == 0 ? 0.0
                                   : totalServiceSeconds / static_cast<double>(requestsServed);
    }
};

/// Drawing connections open at once. Robot connections have a cap of their own (the options'
/// maxConnections, 64), so drawings never take a robot's place.
constexpr int kMaxDrawingConnections = 16;

/// A connection that has sent nothing for this many stall times (30 s at the 10 s stall time)
/// gives its place to a new connection of its kind when every place is taken.
constexpr double kIdleStallTimes = 3.0;

/// Closed connections beyond this many are summed up rather than listed in the summary, so
/// that a client connecting over and over cannot grow the arena without bound.
constexpr std::size_t kMaxListedConnections = 1000;

/// The figures of the connections not listed one by one.
struct UnlistedConnections {
    std::uint64_t count = 0;
    std::uint64_t requestsServed = 0;
    std::uint64_t protocolErrors = 0;
};

} // namespace botarena
