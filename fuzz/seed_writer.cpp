// Writes the seed corpora of the fuzz targets into the folder given (fuzz/corpus): one value
// of each kind, one reply of each catalogue type, list replies, and whole client sessions.
// The inputs follow the formats described at the top of each fuzzer; the replies and the
// sessions' requests are made from the catalogues.
#include "wire/controller_catalogue.h"
#include "wire/drawing_catalogue.h"
#include "wire/frame.h"
#include "wire/message.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using botpilot::Message;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

void Write(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder);
    std::ofstream file(folder / name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes Prefixed(std::uint8_t first, const Bytes& rest) {
    Bytes bytes{first};
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

/// The reply of a request served with nothing to report: an empty error text.
Message Served() {
    Message reply;
    reply.AddString("");
    return reply;
}

void WriteMessageSeeds(const fs::path& folder) {
    Message values;
    values.AddInt(-7);
    values.AddDouble(2.5);
    values.AddString("Zippy");
    values.AddString("");
    // Plans: 0xFF reads by tag throughout; 0x24 reads int, double, string, int in turn.
    Write(folder, "by_tag", Prefixed(0xFF, values.Bytes()));
    Write(folder, "in_order", Prefixed(0x24, values.Bytes()));
    Message one;
    one.AddInt(INT32_MIN);
    Write(folder, "int", Prefixed(0x00, one.Bytes()));
    Message real;
    real.AddDouble(-0.0);
    Write(folder, "double", Prefixed(0x55, real.Bytes()));
    Message text;
    text.AddString("Unexpected end");
    Write(folder, "string", Prefixed(0xAA, text.Bytes()));
    Write(folder, "long_string", Bytes{0xAA, 3, 0xFF, 0xFF, 0xFF, 0x7F, 'x'});
}

/// Appends an example value of each kind in `kinds`; an integer is `count` when it is the
/// list's count (the last of the reply's values before a list).
void AddExampleValues(Message& reply, const char* kinds, std::int32_t number) {
    for (const char* letter = kinds; *letter != '\0'; ++letter) {
        switch (botpilot::KindOfLetter(*letter)) {
        case botpilot::MessageValueTag::Integer:
            reply.AddInt(number);
            break;
        case botpilot::MessageValueTag::Double:
            reply.AddDouble(0.25 * number - 1.5);
            break;
        case botpilot::MessageValueTag::String:
            reply.AddString("Bot " + std::to_string(number));
            break;
        }
    }
}

/// The normal reply of a type, as its entry declares it: a list of two entries where it has one.
Message ExampleReply(const botpilot::CatalogueEntry& entry) {
    Message reply;
    if (entry.errorText) {
        reply.AddString("");
    }
    const bool list = *entry.each != '\0';
    AddExampleValues(reply, entry.reply, list ? 2 : 3);
    for (std::int32_t item = 1; list && item <= 2; ++item) {
        AddExampleValues(reply, entry.each, item);
    }
    return reply;
}

void WriteControllerSeeds(const fs::path& folder) {
    // The fuzzer's first byte picks the catalogue's served types in order; each gets its normal
    // reply.
    std::uint8_t index = 0;
    std::uint8_t positionIndex = 0;
    for (const botpilot::CatalogueEntry& entry : botpilot::kControllerCatalogue) {
        if (!entry.supported) {
            continue;
        }
        if (entry.type == static_cast<std::int32_t>(botpilot::ControllerMessage::GetPosition)) {
            positionIndex = index;
        }
        Write(folder, entry.name, Prefixed(index++, ExampleReply(entry).Bytes()));
    }
    Message refused;
    refused.AddString("Robot not started");
    Write(folder, "error_text", Prefixed(positionIndex, refused.Bytes()));
}

/// Events of the stream fuzzer: chunks of at most 0xFC bytes each.
Bytes Chunked(const Bytes& stream, std::size_t piece) {
    Bytes events;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t count = std::min(piece, stream.size() - at);
        events.push_back(static_cast<std::uint8_t>(count));
        events.insert(events.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                      stream.begin() + static_cast<std::ptrdiff_t>(at + count));
    }
    return events;
}

void WriteStreamSeeds(const fs::path& folder) {
    Bytes two = botpilot::BuildReplyFrame(Served());
    const Bytes list = botpilot::BuildReplyFrame(
        ExampleReply(botpilot::Describe(botpilot::ControllerMessage::GetSeenRobots)));
    two.insert(two.end(), list.begin(), list.end());
    Write(folder, "whole", Chunked(two, 0xFC));
    Write(folder, "bytewise", Chunked(two, 1));
    Write(folder, "threes_then_close", [&] {
        Bytes events = Chunked(botpilot::BuildReplyFrame(ExampleReply(botpilot::Describe(
                                   botpilot::ControllerMessage::GetSeenObjects))),
                               3);
        events.push_back(0x00);
        return events;
    }());
    Write(folder, "huge_length", Chunked(Bytes{0xFF, 0xFF, 0xFF, 0xFF}, 4));
}

Bytes Session(std::uint8_t flags, const std::string& name, std::int32_t code,
              const std::vector<std::pair<std::int32_t, Message>>& requests) {
    Bytes stream = botpilot::BuildHandshake(name, code);
    for (const auto& [type, payload] : requests) {
        const Bytes frame = botpilot::BuildRequestFrame(type, payload);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return Prefixed(flags, Chunked(stream, 37));
}

void WriteArenaSeeds(const fs::path& folder) {
    using botpilot::RequestStage;
    // A robot's whole life, every served type with accepted values: the types of any time, the
    // configurations, the start, then the readings and commands.
    std::vector<std::pair<std::int32_t, Message>> robot;
    const auto add = [&](auto&& wanted) {
        for (const botpilot::CatalogueEntry& entry : botpilot::kControllerCatalogue) {
            if (entry.supported && wanted(entry)) {
                robot.emplace_back(entry.type, botpilot::AcceptedRequest(entry));
            }
        }
    };
    const auto start = static_cast<std::int32_t>(botpilot::ControllerMessage::StartRobot);
    add([](const auto& entry) { return entry.stage == RequestStage::AnyTime; });
    add([&](const auto& entry) {
        return entry.stage == RequestStage::Configuring && entry.type != start;
    });
    add([&](const auto& entry) { return entry.type == start; });
    add([](const auto& entry) { return entry.stage == RequestStage::Running; });
    Write(
        folder, "robot_session",
        Session(0x02, botpilot::kControllerClientName, botpilot::kControllerInterfaceCode, robot));
    Write(
        folder, "robot_session_still",
        Session(0x00, botpilot::kControllerClientName, botpilot::kControllerInterfaceCode, robot));
    // Two cells of a drawing connection.
    Message item;
    item.AddInt(1);
    for (const double value : {-14.5, -9.5, 0.5, 0.5, 0.0}) {
        item.AddDouble(value);
    }
    for (const std::int32_t value : {8, 101, 0, 0}) {
        item.AddInt(value);
    }
    Write(folder, "drawing_session",
          Session(0x01, botpilot::kGraphicsClientName, botpilot::kGraphicsInterfaceCode,
                  {{botpilot::kDrawItemMessage, item}, {botpilot::kDrawItemMessage, item}}));
    Write(folder, "bad_magic", Prefixed(0x00, Chunked(Bytes{'H', 'T', 'T', 'P', ' '}, 5)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seed_writer CORPUS_FOLDER\n";
        return 2;
    }
    const fs::path root = argv[1];
    WriteMessageSeeds(root / "message_fuzzer");
    WriteControllerSeeds(root / "controller_reply_fuzzer");
    WriteStreamSeeds(root / "reply_stream_fuzzer");
    WriteArenaSeeds(root / "arena_request_fuzzer");
    return 0;
}
