#pragma once

#include "arena/viewer/battle_story.h"
#include "platform/random_access_file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace botarena {

/// A recording line longer than this is refused. A snapshot with a full drawing board is
/// about 150 kB. [Units: bytes]
constexpr std::size_t kMaxRecordingLineBytes = 16u * 1024u * 1024u;
/// Recordings of more snapshots than this are refused: 55 hours at 20 a second, an index of
/// about 100 MB.
constexpr std::size_t kMaxRecordingFrames = 4'000'000;
/// A compressed recording is expanded into a temporary file of at most this size; a larger one
/// is refused rather than filling the disk. [Units: bytes]
constexpr std::uint64_t kMaxExpandedRecordingBytes = 8ull * 1024u * 1024u * 1024u;
/// The expansion also stops before it leaves less free room than this on its file system, or a
/// tenth of the file system when that is less. [Units: bytes]
constexpr std::uint64_t kExpansionReserveBytes = 128ull * 1024u * 1024u;
/// A recording is flushed to its file at least this often, in battle time. [Units: s]
constexpr double kRecordingFlushSeconds = 1.0;
/// A recording line whose arrays and objects nest deeper than this is refused: a snapshot needs
/// five levels, and a deeper text would only cost stack when it is written out again.
constexpr int kMaxRecordingDepth = 16;

/// A recording that cannot be read as one; the text names the file, and the line where it
/// is at fault.
class RecordingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// A recording opened for reading. Only a regular file is taken: a pipe would block the
/// viewer's threads or give its snapshots only once.
class RecordingFile {
  public:
    /// Opens without ever blocking (a pipe with no writer included). Throws RecordingError
    /// when the file cannot be opened or is not a regular file.
    explicit RecordingFile(const std::string& path);
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    /// Reads up to `length` bytes at `offset` into `into`; fewer only at the end of the file.
    /// Throws RecordingError when the file cannot be read.
    std::size_t Read(std::uint64_t offset, char* into, std::size_t length);
    /// Writes all `length` bytes at `offset`; throws RecordingError when it cannot (a full disk).
    void Write(std::uint64_t offset, const char* from, std::size_t length);
    /// A handle of its own on the same open file, which may have no name (an expanded
    /// recording). Throws RecordingError when no handle is left.
    std::unique_ptr<RecordingFile> Duplicate() const;
    /// Free room on the file's file system, and that file system's size. Throws RecordingError
    /// when the system cannot tell. [Units: bytes]
    std::pair<std::uint64_t, std::uint64_t> Room() const;
    /// Takes `file` over; `path` names the recording in error texts.
    RecordingFile(std::unique_ptr<botpilot::RandomAccessFile> file, std::string path)
        : path(std::move(path)), file(std::move(file)) {}

  private:
    std::string path;
    std::unique_ptr<botpilot::RandomAccessFile> file;
};

/// Whether `path` names a recording written compressed (its name ends in ".gz").
bool IsCompressedRecordingPath(const std::string& path);

/// Writes snapshots as JSON lines, one a line, for `botarena --replay`; gzip-compressed when the
/// file's name ends in ".gz" (a battle with drawings writes a tenth of the bytes).
class RecordingWriter {
  public:
    /// Creates or empties the file; throws RecordingError when it cannot.
    explicit RecordingWriter(const std::string& path);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    /// Appends one snapshot, a JSON text without line breaks. False once any write failed.
    bool Write(const std::string& snapshot);
    /// The same for a snapshot taken `battleSeconds` into the battle; once a second of battle
    /// has passed since the last flush, what was written goes to the file (for gzip, with a sync
    /// flush, so that it inflates): an arena killed mid-battle loses at most about a second.
    bool Write(const std::string& snapshot, double battleSeconds);
    /// Flushes and closes the file; false when any write failed. Later calls do nothing.
    bool Close();
    const std::string& Path() const { return path; }

  private:
    std::string path;
    void* file = nullptr; ///< zlib's gzFile, which writes plain text just as well
    bool failed = false;
    std::optional<double> lastFlush; ///< battle time of the last flush [Units: s]
};

/// A recording opened for replay: an index of its snapshots, read from the file on demand so
/// that a long battle is not held in memory. Every line is checked once when it is loaded, and
/// told to the recording's story. A compressed recording (gzip, whatever its name) is expanded
/// into a temporary file that has no name and goes when the recording does.
class Recording {
  public:
    /// Reads and checks the whole file: every non-empty line a JSON object with a finite
    /// `time` that does not go back, nested at most kMaxRecordingDepth deep. Throws
    /// RecordingError naming the first fault. A last line without its line break that ends
    /// before its JSON does (a recording cut short) is left out and named by Warning().
    static Recording Load(const std::string& path);

    const std::string& Path() const { return path; }
    /// A reader's own handle on the recording's text. Throws RecordingError when it cannot be
    /// opened.
    std::unique_ptr<RecordingFile> Open() const;
    /// How the recorded battle went.
    const BattleStory& Story() const { return *story; }
    /// What loading forgave, for the user to see: a cut last line, or bytes after a compressed
    /// recording's gzip text (another gzip member is read on); empty when nothing.
    const std::string& Warning() const { return warning; }
    /// At least 1.
    std::size_t FrameCount() const { return frames.size(); }
    /// [Units: s] [Limit: index < FrameCount()]
    double FrameTime(std::size_t index) const { return frames[index].time; }
    /// The last snapshot at or before `time`; the first when `time` comes before it.
    std::size_t FrameAt(double time) const;
    /// The snapshot's text, one line of compact JSON, read through `file` (a reader's own
    /// handle on Path()). Throws RecordingError when the file no longer holds it.
    std::string ReadFrame(RecordingFile& file, std::size_t index) const;

  private:
    struct Frame {
        std::uint64_t offset = 0; ///< of the line in the file [Units: bytes]
        std::size_t length = 0;   ///< without the line break [Units: bytes]
        double time = 0.0;        ///< [Units: s]
    };

    /// Indexes the recording's text, which `next` hands out a block at a time (up to the length
    /// asked for; 0 at its end).
    void Index(const std::function<std::size_t(char*, std::size_t)>& next);

    std::string path;
    std::string warning;
    std::vector<Frame> frames;
    std::shared_ptr<BattleStory> story = std::make_shared<BattleStory>();
    /// The text of a compressed recording, expanded; nothing for a plain one.
    std::shared_ptr<RecordingFile> expanded;
};

} // namespace botarena
