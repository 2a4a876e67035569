#include "arena/viewer/recording.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

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

TEST(RecordingTest, WrittenSnapshotsAreReadBackByTimePlainOrCompressed) {
    for (const char* name : {"round_trip.jsonl", "round_trip.jsonl.gz"}) {
        ScratchFile file(name);
        RecordingWriter writer(file.path);
        for (const char* snapshot :
             {R"({"time":0.0,"robots":[]})", R"({"time":0.05,"n":1})", R"({"time":0.1, "n": 2})"}) {
            EXPECT_TRUE(writer.Write(snapshot));
        }
        EXPECT_TRUE(writer.Close());
        std::ifstream written(file.path, std::ios::binary);
        EXPECT_EQ(written.get() == 0x1f, IsCompressedRecordingPath(file.path)) << name;

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
        const std::unique_ptr<RecordingFile> stream = recording.Open();
        // Frames go out as compact JSON, whatever spacing the line had.
        EXPECT_EQ(recording.ReadFrame(*stream, 2), R"({"n":2,"time":0.1})");
        EXPECT_EQ(recording.ReadFrame(*stream, 0), R"({"robots":[],"time":0.0})");
    }
}

// Regression: an arena killed while it wrote a compressed recording left one that could not be
// replayed; what it holds up to the cut is served.
TEST(RecordingTest, ACompressedRecordingCutShortKeepsItsWholeLines) {
    ScratchFile file("cut.jsonl.gz");
    {
        RecordingWriter writer(file.path);
        for (int i = 0; i < 2000; ++i) {
            writer.Write("{\"time\":" + std::to_string(i) + ",\"filler\":\"" +
                         std::to_string(i * 7919) + "\"}");
        }
    }
    std::ifstream whole(file.path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)), {});
    file.Write(bytes.substr(0, bytes.size() / 2));
    const Recording recording = Recording::Load(file.path);
    EXPECT_GT(recording.FrameCount(), 100u);
    EXPECT_LT(recording.FrameCount(), 2000u);
    EXPECT_NE(recording.Warning().find("is cut short"), std::string::npos);
    const std::unique_ptr<RecordingFile> stream = recording.Open();
    const std::size_t last = recording.FrameCount() - 1;
    EXPECT_EQ(nlohmann::json::parse(recording.ReadFrame(*stream, last)).at("time"), last);
}

/// `text` as one gzip member, stored without compression at `level` 0, so that its size is known.
std::string GzipMember(const std::string& text, int level) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

/// Snapshot lines from `first` to `last` seconds, the first padded by `pad` bytes.
std::string Snapshots(int first, int last, std::size_t pad = 0) {
    std::string text;
    for (int time = first; time <= last; ++time) {
        text += "{\"time\":" + std::to_string(time) + ",\"pad\":\"" +
                std::string(time == first ? pad : 0, 'p') + "\"}\n";
    }
    return text;
}

/// A first stored member whose size leaves `residue` bytes of the file's last 64 KiB block it
/// ends in (the loader reads 64 KiB at a time).
std::string MemberEndingAt(std::size_t residue, int first, int last) {
    const std::size_t block = 64 * 1024;
    const std::size_t bare = GzipMember(Snapshots(first, last), 0).size();
    std::size_t pad = (residue + block - bare % block) % block;
    // Stored blocks hold at most 65,535 bytes each: padding may add a block's 5-byte header.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string member = GzipMember(Snapshots(first, last, pad), 0);
        if (member.size() % block == residue) {
            return member;
        }
        pad = (pad + residue + block - member.size() % block) % block;
    }
    ADD_FAILURE() << "no member ends " << residue << " bytes into a block";
    return "";
}

// Regression: a recording of two gzip members (appending to a .gz makes one, and gzip reads
// both) lost the second when the boundary fell where the loader's block ended; bytes after the
// gzip text were dropped without a word.
TEST(RecordingTest, EveryGzipMemberIsReadAndWhatFollowsTheGzipTextIsNamed) {
    ScratchFile file("members.jsonl.gz");
    struct Row {
        const char* what;
        std::string bytes;
        std::size_t frames;
        bool leftOut; ///< the warning names bytes left out
    };
    const std::string second = GzipMember(Snapshots(2000, 2999), 6);
    const Row rows[] = {
        {"two members", GzipMember(Snapshots(0, 1999), 6) + second, 3000, false},
        {"the second's magic across two blocks", MemberEndingAt(65535, 0, 1999) + second, 3000,
         false},
        {"the second at a block's start", MemberEndingAt(0, 0, 1999) + second, 3000, false},
        {"garbage after the text", GzipMember(Snapshots(0, 9), 6) + "junk", 10, true},
        {"one stray byte after the text", GzipMember(Snapshots(0, 9), 6) + "\x1f", 10, true},
        {"plain lines after the text", GzipMember(Snapshots(0, 9), 6) + Snapshots(10, 19), 10,
         true},
    };
    for (const Row& row : rows) {
        file.Write(row.bytes);
        const Recording recording = Recording::Load(file.path);
        EXPECT_EQ(recording.FrameCount(), row.frames) << row.what;
        EXPECT_EQ(recording.Warning().find("that are not gzip from byte ") != std::string::npos,
                  row.leftOut)
            << row.what << ": " << recording.Warning();
        const std::unique_ptr<RecordingFile> stream = recording.Open();
        const std::size_t last = recording.FrameCount() - 1;
        EXPECT_EQ(nlohmann::json::parse(recording.ReadFrame(*stream, last)).at("time"), last)
            << row.what;
    }
}

// Regression: an arena killed mid-battle left a compressed recording of 0 bytes, and a plain one
// without its last 128 kB. What the writer has flushed while it is still open is what a kill
// leaves on disk.
TEST(RecordingTest, AWriterStillOpenHasFlushedAllButTheLastSecondOfBattle) {
    for (const char* name : {"open.jsonl", "open.jsonl.gz"}) {
        ScratchFile file(name);
        RecordingWriter writer(file.path);
        for (int step = 0; step <= 50; ++step) { // 2.5 s at 20 snapshots a second
            const double time = step * 0.05;
            ASSERT_TRUE(writer.Write("{\"time\":" + std::to_string(time) + "}", time)) << name;
        }
        const Recording recording = Recording::Load(file.path);
        // Flushed at 1.0 s and 2.0 s of battle, the later snapshots still in the buffer.
        EXPECT_EQ(recording.FrameCount(), 41u) << name;
        EXPECT_EQ(recording.Warning(), "") << name;
    }
}

/// `levels` arrays, one inside the other.
std::string Nested(std::size_t levels) {
    return std::string(levels, '[') + std::string(levels, ']');
}

// Regression: a recording cut short in its last line (a full disk, a killed arena) could not be
// replayed at all.
TEST(RecordingTest, ToleratesBlankLinesCarriageReturnsAndACutLastLine) {
    ScratchFile file("tolerated.jsonl");
    struct Row {
        std::string text;
        std::vector<std::string> frames;
        std::string warning; // after "Recording <path> "
    };
    const std::string deepest = "{\"time\":3,\"a\":" + Nested(15) + "}"; // 16 levels
    const Row rows[] = {
        {"{\"time\":1}\r\n\n{\"time\":2}", {R"({"time":1})", R"({"time":2})"}, ""},
        {deepest, {nlohmann::json::parse(deepest).dump()}, ""},
        {"{\"time\":1}\n{\"time\":2}\n{\"time\":3,\"robots\":[{\"na",
         {R"({"time":1})", R"({"time":2})"},
         "line 3 is cut short; it is left out"},
        {"{\"time\":1}\n\n{\"time\":2,\"n\":tr",
         {R"({"time":1})"},
         "line 3 is cut short; it is left out"},
    };
    for (const Row& row : rows) {
        file.Write(row.text);
        const Recording recording = Recording::Load(file.path);
        ASSERT_EQ(recording.FrameCount(), row.frames.size()) << row.text;
        RecordingFile stream(file.path);
        for (std::size_t i = 0; i < row.frames.size(); ++i) {
            EXPECT_EQ(recording.ReadFrame(stream, i), row.frames[i]) << row.text;
        }
        EXPECT_EQ(recording.Warning(),
                  row.warning.empty() ? "" : "Recording " + file.path + " " + row.warning);
    }
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
        // Only a last line without its line break may be cut; a broken line elsewhere, or one
        // broken before its end, is refused.
        {"{\"time\":0}\n{\"time\":\n{\"time\":1}\n", "line 2 is not JSON: "},
        {"{\"time\":0}\n{\"time\":\n", "line 2 is not JSON: "},
        {"{\"time\":0}\n{\"time\" 1", "line 2 is not JSON: "},
        {"{\"ti", "holds no snapshot"},
        // Regression: 200,000 nested arrays passed the check and overflowed the stack when
        // the snapshot was written out.
        {"{\"time\":0}\n[" + Nested(200'000) + "]", "line 2 nests deeper than 16 levels"},
        {"{\"time\":0,\"a\":" + Nested(16) + "}", "line 1 nests deeper than 16 levels"},
        {"[1, 2]", "line 1 is not a snapshot: it has no time"},
        {"{\"time\":\"soon\"}", "line 1 is not a snapshot: it has no time"},
        {"{\"robots\":[]}", "line 1 is not a snapshot: it has no time"},
        {"{\"time\":2}\n\n{\"time\":1}", "line 3 goes back in time to 1"},
        {std::string(kMaxRecordingLineBytes + 1, ' '), "line 1 is longer than the limit of "},
        {"\x1f\x8b\x08 not deflated at all", "is not a gzip text: "},
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
    // Compressed, an endless line is refused as it is expanded, not once it is all on the disk.
    ScratchFile compressed("long.jsonl.gz");
    {
        RecordingWriter writer(compressed.path);
        writer.Write("{\"time\":0}");
        writer.Write(std::string(kMaxRecordingLineBytes + 1, ' '));
    }
    try {
        Recording::Load(compressed.path);
        ADD_FAILURE() << "accepted an endless compressed line";
    } catch (const RecordingError& error) {
        EXPECT_EQ(
            std::string(error.what())
                .rfind("Recording " + compressed.path + " line 2 is longer than the limit of ", 0),
            0u)
            << error.what();
    }
    // Regression: a named pipe hung the first request for ever, and a pipe from the shell
    // (`<(cat FILE)`) was read once, then answered 500. Checked before anything is read.
    ScratchFile pipe("pipe.jsonl");
    ASSERT_EQ(mkfifo(pipe.path.c_str(), 0600), 0);
    const std::string folder = ::testing::TempDir();
    const std::pair<std::string, std::string> unreadable[] = {
        {file.path + ".missing", "Cannot read the recording " + file.path + ".missing"},
        {pipe.path, "Recording " + pipe.path + " is not a regular file"},
        {folder, "Recording " + folder + " is not a regular file"},
    };
    for (const auto& [path, message] : unreadable) {
        try {
            Recording::Load(path);
            ADD_FAILURE() << "accepted " << path;
        } catch (const RecordingError& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }
    EXPECT_THROW(RecordingWriter("/nonexistent-folder/battle.jsonl"), RecordingError);
}

TEST(RecordingTest, AFileChangedAfterLoadingFailsItsFrameRatherThanServingGarbage) {
    ScratchFile file("changed.jsonl");
    file.Write("{\"time\":0}\n{\"time\":1}\n");
    const Recording recording = Recording::Load(file.path);
    file.Write("{\"time\":0}\n{\"ti");
    RecordingFile stream(file.path);
    EXPECT_EQ(recording.ReadFrame(stream, 0), R"({"time":0})");
    EXPECT_THROW(recording.ReadFrame(stream, 1), RecordingError);
}

} // namespace
} // namespace botarena
