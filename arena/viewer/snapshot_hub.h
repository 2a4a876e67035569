#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace botarena {

/// The newest snapshot, handed from the arena's event loop to the viewer's streams on other
/// threads. Publishing never waits for a stream: a stream takes the newest snapshot when it is
/// ready for one and skips those it was too slow for, so a slow viewer holds at most one
/// shared text rather than a growing backlog.
class SnapshotHub {
  public:
    using Text = std::shared_ptr<const std::string>;

    struct Update {
        enum class Status {
            Snapshot, ///< `text` is newer than the one asked after
            TimedOut, ///< nothing newer within the time
            Closed,   ///< the hub is closed and the stream has had the last snapshot
        };
        Status status = Status::TimedOut;
        std::uint64_t sequence = 0; ///< of `text`; counts from 1
        Text text;
    };

    /// Replaces the newest snapshot and wakes the waiting streams.
    void Publish(std::string text);
    /// Waits up to `timeout` for a snapshot newer than sequence `after` (0 before the first).
    /// Once the hub is closed it returns at once: the last snapshot if it is still newer,
    /// otherwise Closed.
    Update WaitNewer(std::uint64_t after, std::chrono::milliseconds timeout);
    /// The newest snapshot; nothing before the first.
    Text Newest() const;
    /// Wakes every waiting stream for the end; later snapshots are not published.
    void Close();

  private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    Text newest;
    std::uint64_t sequence = 0;
    bool closed = false;
};

} // namespace botarena
