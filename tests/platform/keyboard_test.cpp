#include "platform/keyboard.h"
#include "tests/support/child_process.h"
#include "tests/support/standard_input_pipe.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace botpilot {
namespace {

// Standard input that is not a terminal is read as keys; at its end nothing waits, so a
// scripted or detached run can never hang on the keyboard.
TEST(ConsoleKeyboardTest, PipedInputIsReadAsKeysAndItsEndNeverBlocks) {
    struct Case {
        const char* input;
        const char* output;
    };
    for (const Case& c : {Case{"dx", "ready\nkdkx end waiting=0 waited\n"},
                          Case{"", "ready\n end waiting=0 waited\n"}}) {
        const testing::ChildResult result = testing::RunChild({KEYBOARD_PROBE_PATH}, c.input, 10.0);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, c.output);
    }
}

// The run asks for a key between cycles: the question must never wait, must say yes only when a
// read would return at once, and a yes must not lose or double the key.
TEST(ConsoleKeyboardTest, KeyWaitingOnALivePipe) {
    struct Step {
        const char* written;     ///< bytes written before the question, or nullptr to end the input
        bool waiting;            ///< the answer to KeyWaiting
        std::optional<char> key; ///< then read, when the answer was yes or the input has ended
    };
    const Step steps[] = {
        {"", false, std::nullopt},
        {"d", true, 'd'},
        {"xy", true, 'x'},
        {"", true, 'y'},
        {"", false, std::nullopt},
        {nullptr, false, std::nullopt},
        {nullptr, false, std::nullopt},
    };
    testing::StandardInputPipe input;
    ConsoleKeyboard keyboard;
    EXPECT_FALSE(keyboard.Interactive());
    for (const Step& step : steps) {
        const std::string label = step.written ? std::string("after '") + step.written + "'"
                                               : std::string("after the end");
        if (step.written == nullptr) {
            input.CloseWriter();
        } else if (*step.written != '\0') {
            input.Write(step.written);
        }
        EXPECT_EQ(keyboard.KeyWaiting(), step.waiting) << label;
        if (step.waiting || step.written == nullptr) {
            EXPECT_EQ(keyboard.ReadKey(), step.key) << label;
        }
    }
}

} // namespace
} // namespace botpilot
