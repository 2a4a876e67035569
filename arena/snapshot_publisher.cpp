#include "arena/snapshot_publisher.h"

#include "arena/viewer/story_step.h"

namespace botarena {

SnapshotPublisher::SnapshotPublisher(const ArenaOptions& options, const Battle& battle,
                                     const DrawingBoard& board, EventLog& log)
    : options(options), battle(battle), board(board), log(log) {}

SnapshotPublisher::~SnapshotPublisher() {
    if (viewer) {
        viewer->Stop();
    }
}

void SnapshotPublisher::Open() {
    if (options.httpPort) {
        viewer = std::make_unique<ViewerServer>(hub, ViewerLimits{}, &story);
        httpPort = viewer->Start(options.bind, *options.httpPort);
    }
    // Only once every port is open: an arena that cannot start leaves an earlier recording
    // of the same name as it was.
    if (!options.recordPath.empty()) {
        recorder = std::make_unique<RecordingWriter>(options.recordPath);
    }
}

void SnapshotPublisher::KeepForSnapshot(const std::vector<BattleEvent>& events) {
    if (!viewer && !recorder) {
        return;
    }
    for (const BattleEvent& event : events) {
        // Hundreds of robots all hit at once would only make one snapshot huge; the hit
        // points in it still tell the rest.
        if (pendingEvents.size() >= kMaxEventsPerSnapshot) {
            return;
        }
        pendingEvents.push_back({battle.Time(), event});
    }
}

void SnapshotPublisher::PublishWhenDue() {
    if (battle.Time() + 1e-9 >= nextSnapshotTime) {
        // On the battle's own clock, also while catching up: a recording keeps an even pace.
        PublishSnapshot();
    }
}

void SnapshotPublisher::PublishSnapshot(const std::string& over) {
    if (!viewer && !recorder) {
        return;
    }
    while (nextSnapshotTime <= battle.Time() + 1e-9) {
        nextSnapshotTime += kSnapshotSeconds;
    }
    nlohmann::json snapshot = SnapshotJson(battle, board, pendingEvents);
    // Told once, here: the recording and the page take the story's new entries from the
    // snapshot, and /story serves it whole.
    snapshot["story"] = story.Tell(StoryStepOf(battle, pendingEvents));
    pendingEvents.clear();
    if (!over.empty()) {
        snapshot["over"] = over;
    }
    // Names are whatever bytes the clients sent; the viewer needs UTF-8.
    std::string text = snapshot.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (recorder && !recorder->Write(text, battle.Time())) {
        log.Line("cannot write the recording to " + options.recordPath + "; recording stopped");
        recorder->Close();
        recorder.reset();
        exitCode = 1;
    }
    if (viewer) {
        hub.Publish(std::move(text));
    }
}

void SnapshotPublisher::Finish(const std::string& over) {
    PublishSnapshot(over);
    // The viewer's streams send this final snapshot and end; the threads stop with the server.
    hub.Close();
    if (recorder && !recorder->Close()) {
        log.Line("cannot write the recording to " + options.recordPath);
        exitCode = 1;
    }
}

} // namespace botarena
