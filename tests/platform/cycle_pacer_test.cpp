#include "platform/cycle_pacer.h"

#include <gtest/gtest.h>
#include <vector>

namespace botpilot {
namespace {

using Clock = CyclePacer::Clock;
using std::chrono::milliseconds;

/// A clock that moves only when the pacer sleeps, or when a cycle's work is said to take time.
struct FakeTime {
    Clock::time_point now{};
    std::vector<Clock::duration> sleeps;

    CyclePacer::Time Time() {
        return {[this] { return now; },
                [this](Clock::duration length) {
                    sleeps.push_back(length);
                    now += length;
                }};
    }
};

long long Ms(Clock::duration length) {
    return std::chrono::duration_cast<milliseconds>(length).count();
}

TEST(CyclePacerTest, HoldsTheRateWithoutBurstsAndStopsWaitingWhenInterrupted) {
    struct Row {
        const char* what;
        double rate;
        std::vector<int> workMs;         ///< each cycle's work before its wait
        std::vector<long long> startsMs; ///< when each cycle after the first starts
    };
    const Row rows[] = {
        {"no cap: never waits", 0.0, {3, 3, 3}, {3, 6, 9}},
        {"below 0 is no cap", -5.0, {1, 1}, {1, 2}},
        {"100 a second: a cycle every 10 ms from the first one's end",
         100.0,
         {2, 2, 2},
         {12, 22, 32}},
        {"a slow cycle is not made up for with a burst", 100.0, {2, 35, 2, 2}, {12, 47, 57, 67}},
        {"slightly late cycles keep the schedule", 100.0, {2, 12, 2}, {12, 24, 32}},
        {"a low rate waits in slices, asking after keys between them", 10.0, {0, 0}, {100, 200}},
    };
    for (const Row& row : rows) {
        FakeTime time;
        CyclePacer pacer(row.rate, time.Time());
        std::vector<long long> starts;
        for (std::size_t i = 0; i < row.workMs.size(); ++i) {
            time.now += milliseconds(row.workMs[i]);
            pacer.WaitForNextCycle([] { return false; });
            if (i + 1 < row.workMs.size()) {
                starts.push_back(Ms(time.now.time_since_epoch()));
            }
        }
        starts.push_back(Ms(time.now.time_since_epoch()));
        starts.erase(starts.begin() + static_cast<long>(row.startsMs.size()), starts.end());
        EXPECT_EQ(starts, row.startsMs) << row.what;
        for (Clock::duration sleep : time.sleeps) {
            EXPECT_LE(Ms(sleep), 20) << row.what;
        }
    }
    FakeTime time;
    CyclePacer pacer(1.0, time.Time());
    int asked = 0;
    pacer.WaitForNextCycle([&asked] { return ++asked == 3; });
    EXPECT_EQ(Ms(time.now.time_since_epoch()), 40); // two slices, then the key
}

} // namespace
} // namespace botpilot
