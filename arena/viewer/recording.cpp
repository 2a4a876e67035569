#include "arena/viewer/recording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

/// The time of one recorded line; throws RecordingError naming the line otherwise. A line
/// that may be cut short (the last one, with no line break after it) and ends before its
/// JSON does gives nothing instead.
std::optional<double> CheckedTime(const std::string& path, std::size_t lineNumber,
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
    return time->get<double>();
}

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

RecordingWriter::RecordingWriter(const std::string& path) : path(path), file(path) {
    if (!file) {
        throw RecordingError("Cannot write the recording to " + path);
    }
}

bool RecordingWriter::Write(const std::string& snapshot) {
    if (failed || !file.is_open()) {
        return false;
    }
    file << snapshot << '\n';
    failed = !file;
    return !failed;
}

bool RecordingWriter::Close() {
    if (file.is_open()) {
        file.close();
        failed = failed || !file;
    }
    return !failed;
}

Recording Recording::Load(const std::string& path) {
    RecordingFile file(path);
    Recording recording;
    recording.path = path;
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
            const std::optional<double> time = CheckedTime(path, lineNumber, line, !terminated);
            if (!time) {
                recording.warning = "Recording " + path + " line " + std::to_string(lineNumber) +
                                    " is cut short; it is left out";
            } else if (!recording.frames.empty() && *time < recording.frames.back().time) {
                throw RecordingError("Recording " + path + " line " + std::to_string(lineNumber) +
                                     " goes back in time to " + std::to_string(*time) + " s");
            } else {
                recording.frames.push_back({lineStart, length, *time});
            }
        }
        line.clear();
        ++lineNumber;
    };
    std::vector<char> block(kLoadBlockBytes);
    for (;;) {
        const std::size_t got = file.Read(position, block.data(), block.size());
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
    return recording;
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
