#pragma once

// Reading the viewer's Server-Sent Events, for its own tests and the arena's.

#include <cstddef>
#include <cstdint>
#include <httplib.h>
#include <string>
#include <vector>

namespace botarena::testing {

/// The data of the Server-Sent Events in a stream's text, in order; `events` names each
/// ("message" when unnamed).
inline std::vector<std::string> EventData(const std::string& stream,
                                          std::vector<std::string>* events = nullptr) {
    std::vector<std::string> data;
    std::size_t at = 0;
    for (std::size_t end; (end = stream.find("\n\n", at)) != std::string::npos; at = end + 2) {
        const std::string block = stream.substr(at, end - at);
        std::string name = "message";
        std::string value;
        bool hasData = false;
        std::size_t lineStart = 0;
        while (lineStart <= block.size()) {
            std::size_t lineEnd = block.find('\n', lineStart);
            if (lineEnd == std::string::npos) {
                lineEnd = block.size();
            }
            const std::string line = block.substr(lineStart, lineEnd - lineStart);
            if (line.rfind("data: ", 0) == 0) {
                value = line.substr(6);
                hasData = true;
            } else if (line.rfind("event: ", 0) == 0) {
                name = line.substr(7);
            }
            lineStart = lineEnd + 1;
        }
        if (hasData) {
            data.push_back(value);
            if (events) {
                events->push_back(name);
            }
        }
    }
    return data;
}

/// Reads a stream until `enough` says so or the server ends it; returns what came.
template <typename Enough>
std::string ReadStream(std::uint16_t port, const std::string& path, Enough enough,
                       int* status = nullptr) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(20, 0);
    std::string text;
    client.Get(
        path,
        [&](const httplib::Response& response) {
            if (status) {
                *status = response.status;
            }
            return response.status == 200;
        },
        [&](const char* data, std::size_t size) {
            text.append(data, size);
            return !enough(text);
        });
    return text;
}

} // namespace botarena::testing
