#include "diagnostics/timer.h"

#include <gtest/gtest.h>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>

namespace botpilot {
namespace {

// A hand-driven time source, so that reports can be compared byte for byte.
double fakeSeconds = 0.0;
double FakeNow() {
    return fakeSeconds;
}

// A time source that moves on by one second at every reading.
double tickingSeconds = 0.0;
double TickingNow() {
    return tickingSeconds++;
}

class TimerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeSeconds = 0.0;
        tickingSeconds = 0.0;
    }
    void TearDown() override { DisableTimerForTesting(); }

    std::ostringstream report;
};

TEST_F(TimerTest, SwitchedOffWritesNothingAnywhere) {
    ASSERT_FALSE(TimerEnabled());
    std::ostringstream captured;
    std::streambuf* const original = std::cerr.rdbuf(captured.rdbuf());
    {
        Timer outer("Outer");
        for (int i = 0; i < 3; ++i) {
            Timer inner("Inner");
        }
    }
    TestTimer();
    std::cerr.rdbuf(original);
    EXPECT_EQ(captured.str(), "");
}

TEST_F(TimerTest, SingleOutermostSectionWritesOneLineWithoutCalls) {
    EnableTimerForTesting(report, &FakeNow);
    fakeSeconds = 10.0;
    {
        Timer section("Robot::Update");
        fakeSeconds = 10.25;
    }
    EXPECT_EQ(report.str(), "Robot::Update0.25 \n");
}

TEST_F(TimerTest, SiblingsAreReportedInByteWiseNameOrder) {
    EnableTimerForTesting(report, &FakeNow);
    {
        Timer outer("Outer");
        // Run in reverse of the expected order; upper case sorts before lower case, and a name
        // before its own extensions.
        for (const char* name : {"b", "a", "Robot::Update - Z", "Robot::Update", "B"}) {
            Timer child(name);
            fakeSeconds += 1.0;
        }
    }
    EXPECT_EQ(report.str(), "Outer5 \n"
                            "  B1 \n"
                            "  Robot::Update1 \n"
                            "  Robot::Update - Z1 \n"
                            "  a1 \n"
                            "  b1 \n");
}

TEST_F(TimerTest, ChildRunTwiceIsReportedOnceWithSummedTimeAndCalls) {
    EnableTimerForTesting(report, &FakeNow);
    {
        Timer outer("Outer");
        for (const double seconds : {0.5, 0.25}) {
            Timer child("Child");
            fakeSeconds += seconds;
        }
    }
    EXPECT_EQ(report.str(), "Outer0.75 \n"
                            "  Child0.75 [2 calls]\n");
}

TEST_F(TimerTest, TheCheckMergesLevelByLevel) {
    EnableTimerForTesting(report, &TickingNow);
    TestTimer();
    // Readings: Outer opens at 0; each run reads Inner, Inner2, Inner2, Inner (Inner2 takes 1,
    // Inner 3); Outer closes at 13. No separator comes between a name and its time.
    EXPECT_EQ(report.str(), "Outer13 \n"
                            "  Inner9 [3 calls]\n"
                            "    Inner23 [3 calls]\n");
}

TEST_F(TimerTest, TheCheckOnTheSteadyClockTakesItsSleepsIntoAccount) {
    EnableTimerForTesting(report);
    TestTimer();
    const std::regex expected("Outer([0-9.e+-]+) \n"
                              "  Inner([0-9.e+-]+) \\[3 calls\\]\n"
                              "    Inner2([0-9.e+-]+) \\[3 calls\\]\n");
    std::smatch match;
    const std::string text = report.str();
    ASSERT_TRUE(std::regex_match(text, match, expected)) << text;
    const double outer = std::stod(match[1]);
    const double inner = std::stod(match[2]);
    const double inner2 = std::stod(match[3]);
    EXPECT_GE(inner, 0.057); // three sleeps of 20 ms, each read at millisecond resolution
    EXPECT_GE(outer, inner);
    EXPECT_GE(inner, inner2);
    EXPECT_GE(inner2, 0.0);
}

TEST_F(TimerTest, EachOutermostRunIsReportedOnItsOwn) {
    EnableTimerForTesting(report, &FakeNow);
    for (int run = 0; run < 2; ++run) {
        Timer section("Robot::Update");
        Timer hardware("Robot::UpdateHardware");
        fakeSeconds += 2.0;
    }
    EXPECT_EQ(report.str(), "Robot::Update2 \n"
                            "  Robot::UpdateHardware2 \n"
                            "Robot::Update2 \n"
                            "  Robot::UpdateHardware2 \n");
}

TEST(TimerRecordTest, MergeSumsIntoExistingChildrenAndAddsNewOnes) {
    TimerRecord parent;
    parent.name = "Parent";

    TimerRecord run;
    run.name = "Child";
    run.time = 1.5;
    run.calls = 1;
    auto grandchild = std::make_unique<TimerRecord>();
    grandchild->name = "Grandchild";
    grandchild->time = 0.5;
    grandchild->calls = 2;
    run.children["Grandchild"] = std::move(grandchild);

    MergeTimerRecord(parent, run);
    MergeTimerRecord(parent, run);

    ASSERT_EQ(parent.children.size(), 1u);
    const TimerRecord& child = *parent.children.at("Child");
    EXPECT_EQ(child.name, "Child");
    EXPECT_EQ(child.time, 3.0);
    EXPECT_EQ(child.calls, 2);
    ASSERT_EQ(child.children.size(), 1u);
    const TimerRecord& merged = *child.children.at("Grandchild");
    EXPECT_EQ(merged.time, 1.0);
    EXPECT_EQ(merged.calls, 4);
    // The merged record is left as it was.
    EXPECT_EQ(run.time, 1.5);
    EXPECT_EQ(run.children.at("Grandchild")->calls, 2);
}

TEST(TimerRecordTest, ReportWritesSixSignificantDigitsAndCallsAboveOne) {
    struct Case {
        double time;
        int calls;
        const char* line;
    };
    const Case cases[] = {
        {0.123456789, 1, "  Section0.123457 \n"},
        {1234567.0, 1, "  Section1.23457e+06 \n"},
        {-0.5, 1, "  Section-0.5 \n"}, // written unchanged
        {0.0, 0, "  Section0 \n"},
        {2.0, 2, "  Section2 [2 calls]\n"},
        {2.0, 1000, "  Section2 [1000 calls]\n"},
    };
    for (const Case& c : cases) {
        TimerRecord record;
        record.name = "Section";
        record.time = c.time;
        record.calls = c.calls;
        std::ostringstream out;
        WriteTimerReport(out, record, "  ");
        EXPECT_EQ(out.str(), c.line);
    }
}

} // namespace
} // namespace botpilot
