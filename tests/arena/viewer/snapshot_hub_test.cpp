#include "arena/viewer/snapshot_hub.h"

#include <gtest/gtest.h>
#include <thread>

namespace botarena {
namespace {

using Status = SnapshotHub::Update::Status;
using std::chrono::milliseconds;

TEST(SnapshotHubTest, AStreamGetsTheNewestAndSkipsWhatItWasTooSlowFor) {
    SnapshotHub hub;
    EXPECT_EQ(hub.Newest(), nullptr);
    EXPECT_EQ(hub.WaitNewer(0, milliseconds(0)).status, Status::TimedOut);

    hub.Publish("one");
    hub.Publish("two");
    hub.Publish("three");
    const SnapshotHub::Update update = hub.WaitNewer(0, milliseconds(0));
    ASSERT_EQ(update.status, Status::Snapshot);
    EXPECT_EQ(*update.text, "three");
    EXPECT_EQ(update.sequence, 3u);
    // Nothing newer than what the stream has.
    EXPECT_EQ(hub.WaitNewer(update.sequence, milliseconds(10)).status, Status::TimedOut);
}

TEST(SnapshotHubTest, ClosingWakesWaitersAndStillHandsOutTheLastSnapshot) {
    SnapshotHub hub;
    hub.Publish("before");
    std::thread closer([&] {
        std::this_thread::sleep_for(milliseconds(50));
        hub.Publish("final");
        hub.Close();
    });
    // A stream that has "before" waits far longer than the closer takes.
    SnapshotHub::Update update = hub.WaitNewer(1, milliseconds(20'000));
    closer.join();
    ASSERT_EQ(update.status, Status::Snapshot);
    update = hub.WaitNewer(1, milliseconds(20'000));
    ASSERT_EQ(update.status, Status::Snapshot);
    EXPECT_EQ(*update.text, "final");
    // Once the stream has the last one, the closed hub answers at once.
    EXPECT_EQ(hub.WaitNewer(update.sequence, milliseconds(20'000)).status, Status::Closed);
    hub.Publish("too late");
    EXPECT_EQ(*hub.Newest(), "final");
}

} // namespace
} // namespace botarena
