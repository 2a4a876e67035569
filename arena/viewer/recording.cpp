#include "arena/viewer/recording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
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

/// Where the expanded text of a compressed recording goes: $TMPDIR, or /tmp.
std::string ScratchDirectory() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

/// An unnamed file for the expanded text of a compressed recording, in `directory`.
int OpenScratchFile(const std::string& path, const std::string& directory) {
    int descriptor = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        // Not every file system has unnamed files: a named one, unlinked at once, does as well.
        std::string name = directory + "/botarena-replay-XXXXXX";
        descriptor = ::mkstemp(name.data());
        if (descriptor >= 0) {
            ::unlink(name.c_str());
        }
    }
    if (descriptor < 0) {
        throw RecordingError("Cannot expand the recording " + path + ": no temporary file in " +
                             directory + ": " + std::strerror(errno));
    }
    return descriptor;
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
    // Without O_NONBLOCK, opening a pipe waits for a writer, for ever.
    descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        throw RecordingError("Cannot read the recording " + path);
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        throw RecordingError("Recording " + path + " is not a regular file");
    }
}

RecordingFile::~RecordingFile() {
    ::close(descriptor);
}

std::unique_ptr<RecordingFile> RecordingFile::Duplicate() const {
    const int copy = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        throw RecordingError("Cannot read the recording " + path + ": " + std::strerror(errno));
    }
    return std::make_unique<RecordingFile>(copy, path);
}

void RecordingFile::Write(std::uint64_t offset, const char* from, std::size_t length) {
    std::size_t put = 0;
    while (put < length) {
        const ssize_t wrote =
            ::pwrite(descriptor, from + put, length - put, static_cast<off_t>(offset + put));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            throw RecordingError("Cannot expand the recording " + path + ": " +
                                 std::strerror(errno));
        }
        put += static_cast<std::size_t>(wrote);
    }
}

std::pair<std::uint64_t, std::uint64_t> RecordingFile::Room() const {
    struct statvfs system {};
    if (::fstatvfs(descriptor, &system) != 0) {
        throw RecordingError("Cannot tell the room left beside " + path + ": " +
                             std::strerror(errno));
    }
    return {static_cast<std::uint64_t>(system.f_bavail) * system.f_frsize,
            static_cast<std::uint64_t>(system.f_blocks) * system.f_frsize};
}

std::size_t RecordingFile::Read(std::uint64_t offset, char* into, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        const ssize_t read =
            ::pread(descriptor, into + got, length - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            throw RecordingError("Cannot read the recording " + path + ": " + std::strerror(errno));
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    return got;
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
        const std::string directory = ScratchDirectory();
        recording.expanded =
            std::make_shared<RecordingFile>(OpenScratchFile(path, directory), path);
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
                recording.story->Add(*snapshot);
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
