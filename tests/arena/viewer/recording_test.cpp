#include "arena/viewer/recording.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace botarena {
namespace {

/// A file in the test's temporary folder, removed at the end.
class ScratchFile {
  public:
    explicit ScratchFile(const std::string& name)
        : path(::testing::TempDir() + "recording_" + std::to_string(getpid()) + "_" + name) {}
    ~ScratchFile() { std::remove(path.c_str()); }
    void Write(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }

    std::string path;
};

TEST(RecordingTest, WrittenSnapshotsAreReadBackByTime) {
    ScratchFile file("round_trip.jsonl");
    RecordingWriter writer(file.path);
    for (const char* snapshot :
         {R"({"time":0.0,"robots":[]})", R"({"time":0.05,"n":1})", R"({"time":0.1, "n": 2})"}) {
        EXPECT_TRUE(writer.Write(snapshot));
    }
    EXPECT_TRUE(writer.Close());

    const Recording recording = Recording::Load(file.path);
    ASSERT_EQ(recording.FrameCount(), 3u);
    EXPECT_EQ(recording.FrameTime(2), 0.1);
    struct Row {
        double time;
        std::size_t frame;
    };
    for (const Row& row : {Row{-5.0, 0}, Row{0.0, 0}, Row{0.049, 0}, Row{0.05, 1}, Row{0.07, 1},
                           Row{0.1, 2}, Row{99.0, 2}}) {
        EXPECT_EQ(recording.FrameAt(row.time), row.frame) << row.time;
    }
    std::ifstream stream(file.path, std::ios::binary);
    // Frames go out as compact JSON, whatever spacing the line had.
    EXPECT_EQ(recording.ReadFrame(stream, 2), R"({"n":2,"time":0.1})");
    EXPECT_EQ(recording.ReadFrame(stream, 0), R"({"robots":[],"time":0.0})");
}

TEST(RecordingTest, ToleratesBlankLinesAndCarriageReturns) {
    ScratchFile file("crlf.jsonl");
    file.Write("{\"time\":1}\r\n\n{\"time\":2}");
    const Recording recording = Recording::Load(file.path);
    ASSERT_EQ(recording.FrameCount(), 2u);
    std::ifstream stream(file.path, std::ios::binary);
    EXPECT_EQ(recording.ReadFrame(stream, 0), R"({"time":1})");
    EXPECT_EQ(recording.ReadFrame(stream, 1), R"({"time":2})");
}

TEST(RecordingTest, RefusesWhatIsNotARecordingNamingTheLine) {
    ScratchFile file("bad.jsonl");
    struct Row {
        std::string text;
        std::string error; // the start of the message after "Recording <path> "
    };
    const Row rows[] = {
        {"", "holds no snapshot"},
        {"\n\n", "holds no snapshot"},
        {"{\"time\":0}\n{\"time\":", "line 2 is not JSON: "},
        {"[1, 2]", "line 1 is not a snapshot: it has no time"},
        {"{\"time\":\"soon\"}", "line 1 is not a snapshot: it has no time"},
        {"{\"robots\":[]}", "line 1 is not a snapshot: it has no time"},
        {"{\"time\":2}\n\n{\"time\":1}", "line 3 goes back in time to 1"},
        {std::string(kMaxRecordingLineBytes + 1, ' '), "line 1 is longer than the limit of "},
    };
    for (const Row& row : rows) {
        file.Write(row.text);
        try {
            Recording::Load(file.path);
            ADD_FAILURE() << "accepted: " << row.text.substr(0, 40);
        } catch (const RecordingError& error) {
            const std::string expected = "Recording " + file.path + " " + row.error;
            EXPECT_EQ(std::string(error.what()).rfind(expected, 0), 0u) << error.what();
        }
    }
    try {
        Recording::Load(file.path + ".missing");
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const RecordingError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot read the recording " + file.path + ".missing");
    }
    EXPECT_THROW(RecordingWriter("/nonexistent-folder/battle.jsonl"), RecordingError);
}

TEST(RecordingTest, AFileChangedAfterLoadingFailsItsFrameRatherThanServingGarbage) {
    ScratchFile file("changed.jsonl");
    file.Write("{\"time\":0}\n{\"time\":1}\n");
    const Recording recording = Recording::Load(file.path);
    file.Write("{\"time\":0}\n{\"ti");
    std::ifstream stream(file.path, std::ios::binary);
    EXPECT_EQ(recording.ReadFrame(stream, 0), R"({"time":0})");
    EXPECT_THROW(recording.ReadFrame(stream, 1), RecordingError);
}

} // namespace
} // namespace botarena
