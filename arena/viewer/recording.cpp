#include "arena/viewer/recording.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

namespace botarena {

namespace {

/// The file is read in blocks of this size while it is indexed. [Units: bytes]
constexpr std::size_t kLoadBlockBytes = 64 * 1024;

/// The time of one recorded line; throws RecordingError naming the line otherwise.
double CheckedTime(const std::string& path, std::size_t lineNumber, const std::string& line) {
    const std::string where = "Recording " + path + " line " + std::to_string(lineNumber);
    nlohmann::json snapshot;
    try {
        snapshot = nlohmann::json::parse(line);
    } catch (const nlohmann::json::exception& error) {
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
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw RecordingError("Cannot read the recording " + path);
    }
    Recording recording;
    recording.path = path;
    std::string line;
    std::uint64_t lineStart = 0;
    std::uint64_t position = 0;
    std::size_t lineNumber = 1;
    auto finishLine = [&] {
        // A line written on another system may end in a carriage return as well.
        const std::size_t length =
            !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
        line.resize(length);
        if (!line.empty()) {
            if (recording.frames.size() >= kMaxRecordingFrames) {
                throw RecordingError("Recording " + path + " holds more than " +
                                     std::to_string(kMaxRecordingFrames) + " snapshots");
            }
            const double time = CheckedTime(path, lineNumber, line);
            if (!recording.frames.empty() && time < recording.frames.back().time) {
                throw RecordingError("Recording " + path + " line " + std::to_string(lineNumber) +
                                     " goes back in time to " + std::to_string(time) + " s");
            }
            recording.frames.push_back({lineStart, length, time});
        }
        line.clear();
        ++lineNumber;
    };
    std::vector<char> block(kLoadBlockBytes);
    while (file) {
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
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
                finishLine();
                ++i;
                ++position;
                lineStart = position;
            }
        }
    }
    finishLine();
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

std::string Recording::ReadFrame(std::ifstream& file, std::size_t index) const {
    const Frame& frame = frames.at(index);
    std::string text(frame.length, '\0');
    file.clear();
    file.seekg(static_cast<std::streamoff>(frame.offset));
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    const std::string where = "Recording " + path + " snapshot " + std::to_string(index + 1);
    if (file.gcount() != static_cast<std::streamsize>(text.size())) {
        throw RecordingError(where + " can no longer be read");
    }
    // Checked again, and made compact: the file may have changed since it was loaded, and
    // what goes out must be one line of JSON for the event stream.
    try {
        return nlohmann::json::parse(text).dump();
    } catch (const nlohmann::json::exception&) {
        throw RecordingError(where + " is no longer JSON");
    }
}

} // namespace botarena
