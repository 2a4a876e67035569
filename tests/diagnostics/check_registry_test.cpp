#include "diagnostics/check_registry.h"
#include "diagnostics/expect_equal.h"

#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <string>

namespace botpilot {
namespace {

void PassingCheck() {}
void FailingCheck() {
    ExpectEqual(true, false);
}
void DoubleMismatchCheck() {
    ExpectEqual(2.1, 2.10001);
}
void BrokenCheck() {
    throw std::runtime_error("not a check failure");
}

TEST(CheckRegistryTest, RunsInOrderAndReportsFailuresAfterTheirName) {
    CheckRegistry registry;
    registry.Register("TestFirst", &PassingCheck);
    registry.Register("TestSecond", &FailingCheck);
    registry.Register("TestThird", &DoubleMismatchCheck);
    registry.Register("TestTheTester", &TestTheTester);
    std::ostringstream out;
    std::ostringstream err;

    EXPECT_EQ(registry.RunAll(out, err), 2);

    EXPECT_EQ(out.str(), "TestFirst\nTestSecond\nTestThird\nTestTheTester\n");
    EXPECT_EQ(err.str(), "Expected: 1, Actual: 0\n"
                         "Expected: 2.1, Actual: 2.10001\n"
                         "2 failed, 2 passed\n");
}

TEST(CheckRegistryTest, EmptyRegistryStillWritesTheSummary) {
    CheckRegistry registry;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(registry.RunAll(out, err), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "0 failed, 0 passed\n");
}

TEST(CheckRegistryTest, OtherExceptionsStopTheRunWithoutSummary) {
    CheckRegistry registry;
    registry.Register("TestBroken", &BrokenCheck);
    registry.Register("TestNeverRuns", &PassingCheck);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_THROW(registry.RunAll(out, err), std::runtime_error);
    EXPECT_EQ(out.str(), "TestBroken\n");
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace botpilot
