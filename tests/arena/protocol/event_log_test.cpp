#include "arena/protocol/event_log.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace botarena {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Regression: names reached the console as they were sent, so a newline forged an event line,
// escape sequences cleared the screen or set the window title, and a name cut at 16 bytes left
// half an escape sequence that swallowed the rest of the scoreboard.
TEST(ArenaEventLogTest, EscapesControlBytesAndCutsOnlyBetweenWholeUnits) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t maxBytes;
        std::string escaped;
    };
    const std::size_t all = std::string::npos;
    const Case cases[] = {
        {"plain text stays", "Nolix 2", all, "Nolix 2"},
        {"forged line", "x\n[   0.50] destroyed", all, "x\\x0a[   0.50] destroyed"},
        {"clear screen", "\x1b[2J", all, "\\x1b[2J"},
        {"window title", "\x1b]0;owned\x07", all, "\\x1b]0;owned\\x07"},
        {"delete, tab, return", std::string("\x7f\t\r", 3), all, "\\x7f\\x09\\x0d"},
        {"zero byte", std::string("a\0b", 3), all, "a\\x00b"},
        {"backslash, so escapes are unambiguous", "a\\x0a", all, "a\\x5cx0a"},
        {"UTF-8 stays", "Zo\xc3\xab \xe2\x82\xac \xf0\x9f\xa4\x96", all,
         "Zo\xc3\xab \xe2\x82\xac \xf0\x9f\xa4\x96"},
        {"C1 control CSI in UTF-8",
         "\xc2\x9b"
         "2J",
         all, "\\xc2\\x9b2J"},
        {"stray and cut-short bytes", "\x9b\xe2\x82", all, "\\x9b\\xe2\\x82"},
        {"overlong and surrogate forms", "\xc0\xaf\xed\xa0\x80", all, "\\xc0\\xaf\\xed\\xa0\\x80"},
        {"cut before a whole escape", "abcdefghijklm\x1b[2J", 16, "abcdefghijklm"},
        {"cut after a whole escape", "abcdefghijkl\x1b[2J", 16, "abcdefghijkl\\x1b"},
        {"cut before a whole character", "abcdefghijklmn\xe2\x82\xac", 16, "abcdefghijklmn"},
        {"nothing fits", "\x01", 3, ""},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        EXPECT_EQ(EscapeText(each.text, each.maxBytes), each.escaped);
    }

    std::ostringstream out;
    EventLog log(out, [] { return 0.5; });
    log.SourceLine("connection 3", "robot 1 (x\n[   0.50] destroyed: robot 1 by robot 2): start");
    log.Line("hit: \x1b[2J");
    EXPECT_EQ(Lines(out.str()),
              (std::vector<std::string>{
                  "[   0.50] robot 1 (x\\x0a[   0.50] destroyed: robot 1 by robot 2): start",
                  "[   0.50] hit: \\x1b[2J"}));
}

// Regression: a client repeating SetRobotName wrote 556 MB of event log in 10 s.
TEST(ArenaEventLogTest, LimitsEachSourceToItsLinesPerSecondAndSumsUpTheRest) {
    std::ostringstream out;
    double now = 0.0;
    EventLog log(out, [&now] { return now; });
    for (int i = 0; i < 1000; ++i) {
        log.SourceLine("connection 3", "flood " + std::to_string(i));
        // Battle-wide lines and another connection's are never held back by this one.
        if (i % 100 == 0) {
            log.Line("hit");
        }
    }
    log.SourceLine("connection 4", "quiet");
    now = 1.25;
    log.SourceLine("connection 3", "next second");
    for (int i = 0; i < 7; ++i) {
        log.SourceLine("connection 3", "more");
    }
    log.EndSource("connection 3");
    log.EndSource("connection 3"); // an ended source has nothing more to say
    log.SourceLine("the robot port", "refused");
    log.SourceLine("the robot port", "refused");
    log.EndAllSources();

    std::vector<std::string> expected;
    for (int i = 0; i < kSourceLinesPerSecond; ++i) {
        if (i == 0) {
            expected.push_back("[   0.00] flood 0");
            expected.push_back("[   0.00] hit");
        } else {
            expected.push_back("[   0.00] flood " + std::to_string(i));
        }
    }
    for (int i = 1; i < 10; ++i) {
        expected.push_back("[   0.00] hit");
    }
    expected.push_back("[   0.00] quiet");
    expected.push_back("[   1.25] ... 995 more lines from connection 3");
    expected.push_back("[   1.25] next second");
    for (int i = 1; i < kSourceLinesPerSecond; ++i) {
        expected.push_back("[   1.25] more");
    }
    expected.push_back("[   1.25] ... 3 more lines from connection 3");
    expected.push_back("[   1.25] refused");
    expected.push_back("[   1.25] refused");
    EXPECT_EQ(Lines(out.str()), expected);
}

} // namespace
} // namespace botarena
