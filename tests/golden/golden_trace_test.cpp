// The golden traces: for each scripted world, the requests the driven robot sent, recorded once
// and committed under traces/. Any change to a single byte the client sends, on either
// connection, fails here, which is what lets the decision be made faster without changing it.
//
// To regenerate after an intended change of behaviour:
//     BOTPILOT_GOLDEN_UPDATE=1 <build>/tests/golden/golden_tests
// then review `git diff tests/golden/traces`. To see every byte of two builds side by side:
//     BOTPILOT_GOLDEN_DUMP=<dir> <build>/tests/golden/golden_tests    (writes <dir>/<world>.dump)
// in each build, then diff the dumps.

#include "tests/golden/golden_trace.h"
#include "tests/golden/golden_worlds.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using testing::GoldenTrace;
using testing::GoldenWorld;
using testing::GoldenWorlds;

std::string GoldenPath(const GoldenWorld& world) {
    return std::string(BOTPILOT_GOLDEN_DIR) + "/" + world.name + ".trace";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

/// Empty when the two agree; otherwise where they first part.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    const std::vector<std::string> want = Lines(expected);
    const std::vector<std::string> got = Lines(actual);
    for (std::size_t i = 0; i < want.size() || i < got.size(); ++i) {
        const std::string wanted = i < want.size() ? want[i] : "<end of trace>";
        const std::string gotten = i < got.size() ? got[i] : "<end of trace>";
        if (wanted != gotten) {
            return "line " + std::to_string(i + 1) + "\n  golden: " + wanted +
                   "\n  now:    " + gotten;
        }
    }
    return "";
}

/// The trace with each cycle's hash of its bytes left out: its cycles, request types and modes.
std::string Decisions(const std::string& trace) {
    std::string kept;
    for (const std::string& line : Lines(trace)) {
        const std::size_t lastSpace = line.rfind(' ');
        const bool hashed = line.rfind("  ", 0) != 0 && lastSpace != std::string::npos &&
                            line.size() - lastSpace - 1 == 16;
        kept += (hashed ? line.substr(0, lastSpace) : line) + "\n";
    }
    return kept;
}

/// The committed traces are the Linux build's. The Windows build's C runtime rounds a few
/// results of its maths functions differently in the last bit (9 of some 10,000 requests, one
/// unit in the last place each), so there the bytes cannot agree, and the decisions must, exactly.
#ifdef _WIN32
constexpr bool kBytesReproduced = false;
#else
constexpr bool kBytesReproduced = true;
#endif

/// What this build must reproduce of a trace.
std::string Reproduced(const std::string& trace) {
    return kBytesReproduced ? trace : Decisions(trace);
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

class GoldenTraceTest : public ::testing::TestWithParam<GoldenWorld> {};

TEST_P(GoldenTraceTest, RequestsMatchTheCommittedTrace) {
    const GoldenWorld& world = GetParam();
    const GoldenTrace trace = testing::RecordGoldenTrace(world);

    // The world still does what it was written for.
    for (const std::string& mode : world.expectedModes) {
        EXPECT_NE(trace.summary.find(" " + mode + " "), std::string::npos)
            << mode << " never became current in " << world.name;
    }
    if (world.drawing) {
        EXPECT_NE(trace.summary.find(" g2x600"), std::string::npos) << "nothing was drawn";
    }

    if (const char* dumpDir = std::getenv("BOTPILOT_GOLDEN_DUMP")) {
        EXPECT_TRUE(WriteFile(std::string(dumpDir) + "/" + world.name + ".dump", trace.dump));
    }
    if (std::getenv("BOTPILOT_GOLDEN_UPDATE") != nullptr) {
        ASSERT_TRUE(WriteFile(GoldenPath(world), trace.summary)) << GoldenPath(world);
        GTEST_SKIP() << "rewrote " << GoldenPath(world);
    }

    std::ifstream in(GoldenPath(world), std::ios::binary);
    ASSERT_TRUE(in) << "no golden trace at " << GoldenPath(world)
                    << "; record one with BOTPILOT_GOLDEN_UPDATE=1";
    std::ostringstream golden;
    golden << in.rdbuf();
    const std::string difference =
        FirstDifference(Reproduced(golden.str()), Reproduced(trace.summary));
    EXPECT_TRUE(difference.empty())
        << "the requests of world " << world.name << " changed; first difference at " << difference;
}

// A trace that depended on the wall clock, or on state left by an earlier recording, would pass
// on the machine that recorded it and fail elsewhere: two recordings in a row must agree.
TEST(GoldenTraceReplayTest, RecordingTwiceGivesTheSameTrace) {
    const GoldenWorld world = GoldenWorlds().front();
    EXPECT_EQ(testing::RecordGoldenTrace(world).summary, testing::RecordGoldenTrace(world).summary);
}

INSTANTIATE_TEST_SUITE_P(Worlds, GoldenTraceTest, ::testing::ValuesIn(GoldenWorlds()),
                         [](const ::testing::TestParamInfo<GoldenWorld>& info) {
                             return info.param.name;
                         });

} // namespace
} // namespace botpilot
