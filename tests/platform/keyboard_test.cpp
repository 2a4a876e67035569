#include "tests/support/child_process.h"

#include <gtest/gtest.h>

namespace botpilot {
namespace {

// Standard input that is not a terminal is read as keys; at its end nothing waits, so a
// scripted or detached run can never hang on the keyboard.
TEST(ConsoleKeyboardTest, PipedInputIsReadAsKeysAndItsEndNeverBlocks) {
    struct Case {
        const char* input;
        const char* output;
    };
    for (const Case& c : {Case{"dq", "kdkq end waiting=0 waited\n"},
                          Case{"", " end waiting=0 waited\n"}}) {
        const testing::ChildResult result = testing::RunChild({KEYBOARD_PROBE_PATH}, c.input, 10.0);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, c.output);
    }
}

} // namespace
} // namespace botpilot
