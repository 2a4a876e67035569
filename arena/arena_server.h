#pragma once

#include "arena/arena_options.h"
#include "arena/arena_ports.h"
#include "arena/arena_results.h"
#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"
#include "arena/battle_clock.h"
#include "arena/connection_record.h"
#include "arena/protocol/event_log.h"
#include "arena/snapshot_publisher.h"

#include <asio.hpp>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace botarena {

/// The arena on one event loop: the battle with its drawings and event log, and the parts that
/// share them, joined here: the two listening ports and their connections (ArenaPorts), the
/// fixed-step clock with its rounds, end and grace (BattleClock), the snapshots for the viewer
/// and the recording (SnapshotPublisher), and the status line, scoreboard and summary
/// (ArenaResults).
class ArenaServer {
  public:
    /// Simulated time between two snapshots: 20 a second. [Units: s]
    static constexpr double kSnapshotSeconds = SnapshotPublisher::kSnapshotSeconds;

    /// `io`, `out` (first line and scoreboard) and `err` (event log) must outlive the server.
    ArenaServer(asio::io_context& io, ArenaOptions options, std::ostream& out, std::ostream& err);

    /// Opens the ports (and the viewer's and the recording, when asked for) and prints the
    /// first line naming them, places the opponents and starts the clock. Throws
    /// std::runtime_error when a port or the recording cannot be opened.
    void Start();
    /// Ends the battle, whatever round it is in: closes the ports, prints the scoreboard and
    /// writes the summary. The robot connections are then told that the battle is over for
    /// options.graceSeconds, until they have all closed or until a signal; then EndGrace. Later
    /// calls do nothing.
    void Finish(const std::string& reason) { clock.Finish(reason); }
    /// After Finish: closes every connection now. The event loop then runs out of work.
    void EndGrace() { clock.EndGrace(); }

    std::uint16_t RobotPort() const { return ports.RobotPort(); }
    std::uint16_t DrawingPort() const { return ports.DrawingPort(); }
    /// 0 without the viewer.
    std::uint16_t HttpPort() const { return publisher.HttpPort(); }
    bool IsFinished() const { return clock.IsFinished(); }
    /// 0, or 1 when the summary or the recording could not be written.
    int ExitCode() const;
    const Battle& GetBattle() const { return battle; }
    const DrawingBoard& Board() const { return board; }
    const std::vector<std::shared_ptr<ConnectionRecord>>& Connections() const {
        return ports.Records();
    }

  private:
    ArenaPorts::Hooks PortHooks();
    BattleClock::Hooks ClockHooks();

    ArenaOptions options;
    std::ostream& out;
    std::uint32_t seed;
    Battle battle;
    DrawingBoard board;
    EventLog log;
    // Each part holds references to the ones above it; the hooks join them to those below.
    ArenaPorts ports;
    SnapshotPublisher publisher;
    ArenaResults results;
    BattleClock clock;
};

} // namespace botarena
