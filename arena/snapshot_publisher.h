#pragma once

#include "arena/arena_options.h"
#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"
#include "arena/protocol/event_log.h"
#include "arena/viewer/battle_story.h"
#include "arena/viewer/recording.h"
#include "arena/viewer/snapshot.h"
#include "arena/viewer/snapshot_hub.h"
#include "arena/viewer/viewer_server.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace botarena {

/// The battle as the viewer and the recording see it: with either, a snapshot of the world
/// every kSnapshotSeconds of battle time, with the events since the last, handed to the
/// viewer's threads (and told in the battle's story) and appended to the recording.
class SnapshotPublisher {
  public:
    /// Simulated time between two snapshots: 20 a second. [Units: s]
    static constexpr double kSnapshotSeconds = 0.05;

    /// `options`, `battle`, `board` and `log` must outlive the publisher.
    SnapshotPublisher(const ArenaOptions& options, const Battle& battle, const DrawingBoard& board,
                      EventLog& log);
    /// Stops the viewer's threads.
    ~SnapshotPublisher();
    SnapshotPublisher(const SnapshotPublisher&) = delete;
    SnapshotPublisher& operator=(const SnapshotPublisher&) = delete;

    /// Opens the viewer's port, when options.httpPort asks for it, then the recording, when
    /// options.recordPath names one. Throws std::runtime_error when either cannot be opened.
    void Open();
    /// Keeps the step's events for the next snapshot.
    void KeepForSnapshot(const std::vector<BattleEvent>& events);
    /// Publishes a snapshot when the battle's clock has reached the next one's time.
    void PublishWhenDue();
    /// Hands the world's snapshot to the viewer and the recording; `over` names how the battle
    /// ended, in the final one.
    void PublishSnapshot(const std::string& over = "");
    /// The battle is over: publishes the final snapshot, ends the viewer's streams after it and
    /// closes the recording.
    void Finish(const std::string& over);

    bool HasViewer() const { return viewer != nullptr; }
    /// 0 without the viewer.
    std::uint16_t HttpPort() const { return httpPort; }
    /// 0, or 1 when the recording could not be written.
    int ExitCode() const { return exitCode; }

  private:
    const ArenaOptions& options;
    const Battle& battle;
    const DrawingBoard& board;
    EventLog& log;
    SnapshotHub hub;
    BattleStory story;
    std::vector<TimedBattleEvent> pendingEvents;
    std::unique_ptr<ViewerServer> viewer;
    std::unique_ptr<RecordingWriter> recorder;
    std::uint16_t httpPort = 0;
    double nextSnapshotTime = 0.0; ///< [Units: s of battle time]
    int exitCode = 0;
};

} // namespace botarena
