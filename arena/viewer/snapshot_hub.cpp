#include "arena/viewer/snapshot_hub.h"

namespace botarena {

void SnapshotHub::Publish(std::string text) {
    // The text is made before the lock is taken: the event loop holds it only to swap.
    Text shared = std::make_shared<const std::string>(std::move(text));
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (closed) {
            return;
        }
        // The previous text is freed after the lock, in `shared`, unless a stream still holds it.
        newest.swap(shared);
        ++sequence;
    }
    changed.notify_all();
}

SnapshotHub::Update SnapshotHub::WaitNewer(std::uint64_t after, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, timeout, [&] { return sequence > after || closed; });
    Update update;
    if (sequence > after) {
        update.status = Update::Status::Snapshot;
        update.sequence = sequence;
        update.text = newest;
    } else if (closed) {
        update.status = Update::Status::Closed;
    }
    return update;
}

SnapshotHub::Text SnapshotHub::Newest() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return newest;
}

void SnapshotHub::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    changed.notify_all();
}

} // namespace botarena
