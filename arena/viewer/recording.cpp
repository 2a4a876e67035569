#include "arena/viewer/recording.h"

#include "arena/viewer/recorded_story.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <zlib.h>

namespace botarena {

namespace {

/// The file is read in blocks of this size while it is indexed. [Units: bytes]
constexpr std::size_t kLoadBlockBytes = 64 * 1024;

/// Thrown by the parser's callback at the first array or object nested too deep, so that
/// parsing stops there.
class TooDeep : public std::exception {};

/// One recorded line as JSON. Throws TooDeep beyond kMaxRecordingDepth levels, and
/// nlohmann's parse_error when the line is not JSON.
nlohmann::json ParseLine(const std::string& line) {
    // nlohmann parses without recursion, but writes out with it: the depth is bounded here,
    // before a deep text can reach dump().
    return nlohmann::json::parse(
        line, [](int depth, nlohmann::json::parse_event_t event, const nlohmann::json&) {
            // `depth` counts the containers around the one that starts.
            if ((event == nlohmann::json::parse_event_t::object_start ||
                 event == nlohmann::json::parse_event_t::array_start) &&
                depth >= kMaxRecordingDepth) {
                throw TooDeep();
            }
            return true;
        });
}

/// One recorded line, a snapshot with a time; throws RecordingError naming the line otherwise. A
/// line that may be cut short (the last one, with no line break after it) and ends before its
/// JSON does gives nothing instead.
std::optional<nlohmann::json> CheckedSnapshot(const std::string& path, std::size_t lineNumber,
                                              const std::string& line, bool mayBeCut) {
    const std::string where = "Recording " + path + " line " + std::to_string(lineNumber);
    nlohmann::json snapshot;
    try {
        snapshot = ParseLine(line);
    } catch (const TooDeep&) {
        throw RecordingError(where + " nests deeper than " + std::to_string(kMaxRecordingDepth) +
                             " levels");
    } catch (const nlohmann::json::parse_error& error) {
        // A prefix of a JSON text fails only past its last byte, where its input ends.
        if (mayBeCut && error.byte > line.size()) {
            return std::nullopt;
        }
        throw RecordingError(where + " is not JSON: " + error.what());
    }
    const auto time = snapshot.find("time");
    if (!snapshot.is_object() || time == snapshot.end() || !time->is_number() ||
        !std::isfinite(time->get<double>())) {
        throw RecordingError(where + " is not a snapshot: it has no time");
    }
    return snapshot;
}

/// An unnamed file for the expanded text of a compressed recording, in `folder`.
std::unique_ptr<RecordingFile> OpenScratchFile(const std::string& path, const std::string& folder) {
    std::unique_ptr<botpilot::RandomAccessFile> scratch =
        botpilot::RandomAccessFile::CreateScratch(folder);
    if (!scratch) {
        throw RecordingError("Cannot expand the recording " + path + ": no temporary file in " +
                             folder + ": " + botpilot::LastFileError());
    }
    return std::make_unique<RecordingFile>(std::move(scratch), path);
}

/// The text of a gzip recording, inflated block by block as it is indexed and kept in an unnamed
/// file for the replay to read from. What a cut-short recording holds up to its cut is given:
/// indexing then leaves out its last, unfinished line.
class Expander {
  public:
    Expander(const std::string& path, const std::string& directory, RecordingFile& compressed,
             RecordingFile& expanded)
        : path(path), directory(directory), compressed(compressed), expanded(expanded),
          in(kLoadBlockBytes) {
        if (inflateInit2(&stream, 15 + 32) != Z_OK) {
            throw RecordingError("Cannot expand the recording " + path);
        }
    }
    ~Expander() { inflateEnd(&stream); }
    Expander(const Expander&) = delete;
    Expander& operator=(const Expander&) = delete;

    /// Up to `length` bytes of the text into `into`, also kept in the expanded file; 0 at its end.
    std::size_t Next(char* into, std::size_t length) {
        std::size_t produced = 0;
        while (produced == 0 && !finished && Input()) {
            stream.next_out = reinterpret_cast<unsigned char*>(into);
            stream.avail_out = static_cast<uInt>(length);
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                throw RecordingError("Recording " + path + " is not a gzip text: " +
                                     (stream.msg ? stream.msg : "damaged"));
            }
            produced = length - stream.avail_out;
            if (status == Z_STREAM_END) {
                inflateReset(&stream);
                NextMember();
            } else if (status == Z_BUF_ERROR && produced == 0) {
                finished = true;
            }
        }
        if (written + produced > kMaxExpandedRecordingBytes) {
            throw RecordingError("Recording " + path + " expands beyond " +
                                 std::to_string(kMaxExpandedRecordingBytes >> 30) + " GiB");
        }
        if (written + produced > checkedUpTo) {
            CheckRoom();
        }
        expanded.Write(written, into, produced);
        written += produced;
        return produced;
    }

    /// Where in the compressed file bytes that are not gzip begin, which were left out; nothing
    /// when every byte was read. [Units: bytes]
    std::optional<std::uint64_t> LeftOutFrom() const { return leftOutFrom; }

  private:
    /// The expansion may go on for kRoomCheckBytes more: a small, full disk must not be filled
    /// by a recording that expands a thousandfold. The file has no name, so a refusal leaves
    /// nothing behind.
    void CheckRoom() {
        const auto [free, size] = expanded.Room();
        const std::uint64_t reserve = std::min(kExpansionReserveBytes, size / 10);
        if (free < reserve + kRoomCheckBytes) {
            throw RecordingError("Cannot expand the recording " + path + " into " + directory +
                                 ": after " + std::to_string(written >> 20) +
                                 " MiB, it would leave less than " + std::to_string(reserve >> 20) +
                                 " MiB free there (TMPDIR names another folder)");
        }
        checkedUpTo = written + kRoomCheckBytes;
    }

    /// Whether at least `minimum` compressed bytes wait, reading on (after those that wait)
    /// when fewer do.
    bool Input(std::size_t minimum = 1) {
        if (stream.avail_in < minimum) {
            const std::size_t kept = stream.avail_in;
            if (kept > 0) {
                std::memmove(in.data(), stream.next_in, kept);
            }
            const std::size_t got = compressed.Read(
                readAt, reinterpret_cast<char*>(in.data()) + kept, in.size() - kept);
            readAt += got;
            stream.next_in = in.data();
            stream.avail_in = static_cast<uInt>(kept + got);
        }
        return stream.avail_in >= minimum;
    }

    /// After a member's end: another member may follow (appending to a .gz file makes one, and
    /// gzip reads both), even across two blocks of the file. Anything else ends the text, and
    /// is named as left out.
    void NextMember() {
        if (!Input()) {
            finished = true;
        } else if (!Input(2) || stream.next_in[0] != 0x1f || stream.next_in[1] != 0x8b) {
            finished = true;
            leftOutFrom = readAt - stream.avail_in;
        }
    }

    /// How much the expansion may grow between two checks of the room left. [Units: bytes]
    static constexpr std::uint64_t kRoomCheckBytes = 16u * 1024u * 1024u;

    const std::string& path;
    const std::string& directory;
    RecordingFile& compressed;
    RecordingFile& expanded;
    std::vector<unsigned char> in;
    z_stream stream{};
    std::uint64_t readAt = 0;
    std::uint64_t written = 0;
    std::uint64_t checkedUpTo = 0;
    bool finished = false;
    std::optional<std::uint64_t> leftOutFrom;
};

} // namespace

RecordingFile::RecordingFile(const std::string& path) : path(path) {
    switch (botpilot::RandomAccessFile::OpenToRead(path, file)) {
    case botpilot::RandomAccessFile::Opening::Opened:
        return;
    case botpilot::RandomAccessFile::Opening::NotRegular:
        throw RecordingError("Recording " + path + " is not a regular file");
    case botpilot::RandomAccessFile::Opening::Failed:
        break;
    }
    throw RecordingError("Cannot read the recording " + path);
}

RecordingFile::~RecordingFile() = default;

std::unique_ptr<RecordingFile> RecordingFile::Duplicate() const {
    std::unique_ptr<botpilot::RandomAccessFile> copy = file->Duplicate();
    if (!copy) {
        throw RecordingError("Cannot read the recording " + path + ": " +
                             botpilot::LastFileError());
    }
    return std::make_unique<RecordingFile>(std::move(copy), path);
}

void RecordingFile::Write(std::uint64_t offset, const char* from, std::size_t length) {
    if (!file->WriteAt(offset, from, length)) {
        throw RecordingError("Cannot expand the recording " + path + ": " +
                             botpilot::LastFileError());
    }
}

std::pair<std::uint64_t, std::uint64_t> RecordingFile::Room() const {
    const std::optional<botpilot::FileSystemRoom> room = file->Room();
    if (!room) {
        throw RecordingError("Cannot tell the room left beside " + path + ": " +
                             botpilot::LastFileError());
    }
    return {room->free, room->size};
}

std::size_t RecordingFile::Read(std::uint64_t offset, char* into, std::size_t length) {
    const std::optional<std::size_t> got = file->ReadAt(offset, into, length);
    if (!got) {
        throw RecordingError("Cannot read the recording " + path + ": " +
                             botpilot::LastFileError());
    }
    return *got;
}

bool IsCompressedRecordingPath(const std::string& path) {
    return path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
}

RecordingWriter::RecordingWriter(const std::string& path) : path(path) {
    // Level 1: a battle's snapshots repeat themselves so much that it still writes a tenth of
    // the bytes, at a small cost to the arena's loop, which does the writing.
    const char* mode = IsCompressedRecordingPath(path) ? "wb1" : "wbT";
    gzFile opened = gzopen(path.c_str(), mode);
    if (!opened) {
        throw RecordingError("Cannot write the recording to " + path);
    }
    gzbuffer(opened, 128 * 1024);
    file = opened;
}

RecordingWriter::~RecordingWriter() {
    Close();
}

bool RecordingWriter::Write(const std::string& snapshot) {
    if (failed || !file) {
        return false;
    }
    gzFile out = static_cast<gzFile>(file);
    const bool wrote =
        snapshot.empty() || gzwrite(out, snapshot.data(), static_cast<unsigned>(snapshot.size())) ==
                                static_cast<int>(snapshot.size());
    failed = !wrote || gzputc(out, '\n') != '\n';
    return !failed;
}

bool RecordingWriter::Write(const std::string& snapshot, double battleSeconds) {
    if (!Write(snapshot)) {
        return false;
    }
    if (!lastFlush) {
        lastFlush = battleSeconds;
    } else if (battleSeconds >= *lastFlush + kRecordingFlushSeconds) {
        // Regression: a killed arena lost the whole of a compressed recording, and the last
        // buffer (1.6 s of battle) of a plain one.
        failed = gzflush(static_cast<gzFile>(file), Z_SYNC_FLUSH) != Z_OK;
        lastFlush = battleSeconds;
    }
    return !failed;
}

bool RecordingWriter::Close() {
    if (file) {
        failed = gzclose(static_cast<gzFile>(file)) != Z_OK || failed;
        file = nullptr;
    }
    return !failed;
}

std::unique_ptr<RecordingFile> Recording::Open() const {
    return expanded ? expanded->Duplicate() : std::make_unique<RecordingFile>(path);
}

Recording Recording::Load(const std::string& path) {
    RecordingFile file(path);
    Recording recording;
    recording.path = path;
    unsigned char magic[2] = {0, 0};
    if (file.Read(0, reinterpret_cast<char*>(magic), 2) == 2 && magic[0] == 0x1f &&
        magic[1] == 0x8b) {
        const std::string directory = botpilot::ScratchFolder();
        recording.expanded = std::shared_ptr<RecordingFile>(OpenScratchFile(path, directory));
        Expander expander(path, directory, file, *recording.expanded);
        recording.Index(
            [&expander](char* into, std::size_t length) { return expander.Next(into, length); });
        // Regression: bytes after the gzip text (garbage, or plain lines appended) were dropped
        // without a word.
        if (const std::optional<std::uint64_t> from = expander.LeftOutFrom()) {
            recording.warning += std::string(recording.warning.empty() ? "" : "; ") + "Recording " +
                                 path + " holds bytes that are not gzip from byte " +
                                 std::to_string(*from) + " on; they are left out";
        }
    } else {
        std::uint64_t position = 0;
        recording.Index([&file, &position](char* into, std::size_t length) {
            const std::size_t got = file.Read(position, into, length);
            position += got;
            return got;
        });
    }
    return recording;
}

void Recording::Index(const std::function<std::size_t(char*, std::size_t)>& next) {
    Recording& recording = *this;
    std::string line;
    std::uint64_t lineStart = 0;
    std::uint64_t position = 0;
    std::size_t lineNumber = 1;
    auto finishLine = [&](bool terminated) {
        // A line written on another system may end in a carriage return as well.
        const std::size_t length =
            !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
        line.resize(length);
        if (!line.empty()) {
            if (recording.frames.size() >= kMaxRecordingFrames) {
                throw RecordingError("Recording " + path + " holds more than " +
                                     std::to_string(kMaxRecordingFrames) + " snapshots");
            }
            // The writer ends every snapshot with a line break: only the last line can lack it,
            // when the recording was cut short (a full disk, a killed arena).
            const std::optional<nlohmann::json> snapshot =
                CheckedSnapshot(path, lineNumber, line, !terminated);
            const std::optional<double> time =
                snapshot ? std::optional<double>(snapshot->at("time").get<double>()) : std::nullopt;
            if (!time) {
                recording.warning = "Recording " + path + " line " + std::to_string(lineNumber) +
                                    " is cut short; it is left out";
            } else if (!recording.frames.empty() && *time < recording.frames.back().time) {
                throw RecordingError("Recording " + path + " line " + std::to_string(lineNumber) +
                                     " goes back in time to " + std::to_string(*time) + " s");
            } else {
                recording.frames.push_back({lineStart, length, *time});
                TellRecordedSnapshot(*recording.story, *snapshot);
            }
        }
        line.clear();
        ++lineNumber;
    };
    std::vector<char> block(kLoadBlockBytes);
    for (;;) {
        const std::size_t got = next(block.data(), block.size());
        if (got == 0) {
            break;
        }
        for (std::size_t i = 0; i < got;) {
            const char* begin = block.data() + i;
            const char* newline = static_cast<const char*>(std::memchr(begin, '\n', got - i));
            const std::size_t take = newline ? static_cast<std::size_t>(newline - begin) : got - i;
            if (line.size() + take > kMaxRecordingLineBytes) {
                throw RecordingError("Recording " + path + " line " + std::to_string(lineNumber) +
                                     " is longer than the limit of " +
                                     std::to_string(kMaxRecordingLineBytes) + " bytes");
            }
            line.append(begin, take);
            i += take;
            position += take;
            if (newline) {
                finishLine(true);
                ++i;
                ++position;
                lineStart = position;
            }
        }
    }
    finishLine(false);
    if (recording.frames.empty()) {
        throw RecordingError("Recording " + path + " holds no snapshot");
    }
}

std::size_t Recording::FrameAt(double time) const {
    const auto after =
        std::upper_bound(frames.begin(), frames.end(), time,
                         [](double t, const Frame& frame) { return t < frame.time; });
    return after == frames.begin() ? 0 : static_cast<std::size_t>(after - frames.begin()) - 1;
}

std::string Recording::ReadFrame(RecordingFile& file, std::size_t index) const {
    const Frame& frame = frames.at(index);
    std::string text(frame.length, '\0');
    const std::string where = "Recording " + path + " snapshot " + std::to_string(index + 1);
    if (file.Read(frame.offset, text.data(), text.size()) != text.size()) {
        throw RecordingError(where + " can no longer be read");
    }
    // Checked again, and made compact: the file may have changed since it was loaded, and
    // what goes out must be one line of JSON for the event stream.
    try {
        return ParseLine(text).dump();
    } catch (const TooDeep&) {
        throw RecordingError(where + " nests deeper than " + std::to_string(kMaxRecordingDepth) +
                             " levels");
    } catch (const nlohmann::json::exception&) {
        throw RecordingError(where + " is no longer JSON");
    }
}

} // namespace botarena
