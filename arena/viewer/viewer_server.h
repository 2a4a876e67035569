#pragma once

#include "arena/viewer/battle_story.h"
#include "arena/viewer/recording.h"
#include "arena/viewer/snapshot_hub.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace botarena {

/// Limits of the viewer's HTTP server. Tests shorten the times.
struct ViewerLimits {
    /// Event streams open at once; further ones are answered 503. Each holds a thread.
    int maxStreams = 8;
    /// Threads beyond the streams', so that the page and single snapshots are served while
    /// every stream is open.
    int spareWorkers = 4;
    /// Connections accepted and waiting for a thread; beyond that each is answered 503 at once.
    std::size_t maxWaitingConnections = 32;
    /// A browser that takes no bytes of a response for this long is dropped. [Units: s]
    double writeTimeoutSeconds = 3.0;
    /// A request's head (its line and headers) must have arrived this long after a thread
    /// took its connection up. [Units: s]
    double requestDeadlineSeconds = 5.0;
    /// Threads that a request not yet whole may not take, so that whole ones are served while
    /// slow clients trickle. [Limit: < maxStreams + spareWorkers]
    int workersKeptForWholeRequests = 2;
    /// A stream with nothing new sends a comment this often, so that idle proxies and
    /// browsers keep it open. [Units: s]
    double keepAliveSeconds = 10.0;
};

/// The battle viewer over HTTP (cpp-httplib) on threads of its own: the page from web/,
/// and Server-Sent Events of JSON snapshots, either live from a hub or replayed from a
/// recording. Nothing here runs on the arena's event loop, which only publishes to the hub:
/// a slow, stalled or hostile browser costs the viewer's threads, never the battle's time.
///
///   GET /, /viewer.css, /viewer.js   the page, and the script modules viewer.js imports
///                                    (every file of web/ at /<name>)
///   GET /info                        {"mode": "live"} or {"mode": "replay", "frames",
///                                    "start", "end"}
///   GET /events                      live: every new snapshot; replay: the recording from
///                                    ?time=S (default its start) at ?speed=X (0.1 to 16,
///                                    default 1) in its own time, then an "end" event
///   GET /frame                       live: the newest snapshot; replay: the one at ?time=S
///   GET /story                       how the battle went (BattleStory): live, so far; replay,
///                                    the whole recording. 404 when the viewer has none
class ViewerServer {
  public:
    /// Live: streams what is published to `hub`, and tells `story` (when given); both must
    /// outlive the server.
    explicit ViewerServer(SnapshotHub& hub, ViewerLimits limits = {},
                          const BattleStory* story = nullptr);
    /// Replay: streams `recording`, which must outlive the server.
    explicit ViewerServer(const Recording& recording, ViewerLimits limits = {});
    /// Stops.
    ~ViewerServer();
    ViewerServer(const ViewerServer&) = delete;
    ViewerServer& operator=(const ViewerServer&) = delete;

    /// Listens on `address`, port `port` (0 picks a free one), serving on threads of its own,
    /// and returns the port. Throws std::runtime_error when the port cannot be opened.
    std::uint16_t Start(const std::string& address, int port);
    /// Ends every stream, closes the port and joins the threads. Later calls do nothing.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

/// "http://127.0.0.1:8080/" for a server listening on `address`; an address that listens on
/// every interface is shown as the loopback one, which a browser on the machine can open.
std::string ViewerAddress(const std::string& address, std::uint16_t port);

} // namespace botarena
