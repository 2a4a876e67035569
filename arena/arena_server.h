#pragma once

#include "arena/arena_options.h"
#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"
#include "arena/battle/opponent_pilot.h"
#include "arena/client_session.h"
#include "arena/connection_record.h"
#include "arena/protocol/event_log.h"
#include "arena/viewer/battle_story.h"
#include "arena/viewer/recording.h"
#include "arena/viewer/snapshot.h"
#include "arena/viewer/snapshot_hub.h"
#include "arena/viewer/viewer_server.h"

#include <asio.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace botarena {

/// The arena on one event loop: the two listening ports, the sessions, the fixed-step battle
/// with its built-in opponents, the once-a-second status line, and the end of the battle.
/// With the viewer or a recording, it also makes a snapshot of the world every
/// kSnapshotSeconds, hands it to the viewer's threads and appends it to the recording.
class ArenaServer {
  public:
    /// Simulated time between two snapshots: 20 a second. [Units: s]
    static constexpr double kSnapshotSeconds = 0.05;

    /// `io`, `out` (first line and scoreboard) and `err` (event log) must outlive the server.
    ArenaServer(asio::io_context& io, ArenaOptions options, std::ostream& out, std::ostream& err);
    /// Stops the viewer's threads.
    ~ArenaServer();

    /// Opens the ports (and the viewer's and the recording, when asked for) and prints the
    /// first line naming them, places the opponents and starts the clock. Throws
    /// std::runtime_error when a port or the recording cannot be opened.
    void Start();
    /// Ends the battle, whatever round it is in: closes the ports, prints the scoreboard and
    /// writes the summary. The robot connections are then told that the battle is over for
    /// options.graceSeconds, until they have all closed or until a signal; then EndGrace. Later
    /// calls do nothing.
    void Finish(const std::string& reason);
    /// After Finish: closes every connection now. The event loop then runs out of work.
    void EndGrace();

    std::uint16_t RobotPort() const { return robotPort; }
    std::uint16_t DrawingPort() const { return static_cast<std::uint16_t>(robotPort + 1); }
    /// 0 without the viewer.
    std::uint16_t HttpPort() const { return httpPort; }
    bool IsFinished() const { return finished; }
    /// 0, or 1 when the summary or the recording could not be written.
    int ExitCode() const { return exitCode; }
    const Battle& GetBattle() const { return battle; }
    const DrawingBoard& Board() const { return board; }
    const std::vector<std::shared_ptr<ConnectionRecord>>& Connections() const { return records; }

  private:
    void OpenPorts();
    void Accept(asio::ip::tcp::acceptor& acceptor, ConnectionKind kind);
    void OnAccepted(asio::ip::tcp::socket socket, ConnectionKind kind);
    std::unique_ptr<RequestHandler> MakeHandler(ClientSession& session);
    void OnClosed(ClientSession& session);
    void AddOpponents();
    void ScheduleStep();
    void OnStep(const std::error_code& error);
    /// A round ended: the next one begins, or after the last the battle is over.
    void EndRound(const std::string& reason);
    /// A signal ends the battle, or during the grace after it, the grace.
    void WaitForSignal();
    void LogEvents(const std::vector<BattleEvent>& events);
    /// Keeps the step's events for the next snapshot.
    void KeepForSnapshot(const std::vector<BattleEvent>& events);
    /// Names the robot each drawing is drawn for, or none where the arena cannot tell; again
    /// whenever a robot or a drawing comes or goes.
    void AttributeDrawings();
    void LogStatus();
    void WriteSummary(const std::string& reason);
    /// Hands the world's snapshot to the viewer and the recording; `over` names how the battle
    /// ended, in the final one.
    void PublishSnapshot(const std::string& over = "");

    ArenaOptions options;
    std::ostream& out;
    std::uint32_t seed;
    Battle battle;
    DrawingBoard board;
    EventLog log;
    asio::ip::tcp::acceptor robotAcceptor;
    asio::ip::tcp::acceptor drawingAcceptor;
    asio::steady_timer stepTimer;
    asio::steady_timer graceTimer;
    asio::signal_set signals;
    std::uint16_t robotPort = 0;
    asio::steady_timer::time_point nextStep;
    /// When the battle's clock last read what it reads now: the schedule of its last step.
    asio::steady_timer::time_point lastStepAt;

    SnapshotHub hub;
    BattleStory story;
    std::vector<TimedBattleEvent> pendingEvents;
    std::unique_ptr<ViewerServer> viewer;
    std::unique_ptr<RecordingWriter> recorder;
    std::uint16_t httpPort = 0;
    double nextSnapshotTime = 0.0; ///< [Units: s of battle time]

    std::vector<std::unique_ptr<OpponentPilot>> pilots;
    std::map<ClientSession*, std::shared_ptr<ClientSession>> sessions;
    std::vector<std::shared_ptr<ConnectionRecord>> records;
    UnlistedConnections unlisted;
    int nextConnectionId = 1;
    std::uint64_t requestsAtLastStatus = 0;
    int nextStatusSecond = 1;
    bool finished = false;
    bool graceOver = false;
    int exitCode = 0;
};

} // namespace botarena
