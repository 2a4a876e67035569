// Writes the seed corpora of the fuzz targets into the folder given (fuzz/corpus): one value
// of each kind, one reply of each catalogue type, list replies, and whole client sessions.
// The inputs follow the formats described at the top of each fuzzer.
#include "link/controller_message.h"
#include "link/frame.h"
#include "link/message.h"

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

/// A reply that opens with an empty error text, then the values.
Message Served() {
    Message reply;
    reply.AddString("");
    return reply;
}

Message RobotList() {
    Message reply = Served();
    reply.AddInt(2);
    for (int id = 1; id <= 2; ++id) {
        reply.AddInt(id);
        reply.AddDouble(1.5 * id);
        reply.AddDouble(-2.0);
        reply.AddDouble(0.25);
        reply.AddString("Simple");
        reply.AddString("Bot " + std::to_string(id));
    }
    return reply;
}

Message ObjectList() {
    Message reply = Served();
    reply.AddInt(1);
    reply.AddInt(7);
    reply.AddDouble(3.0);
    reply.AddDouble(4.0);
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

void WriteControllerSeeds(const fs::path& folder) {
    // The operations in the fuzzer's order, each with its normal reply.
    const std::vector<std::pair<std::string, Message>> replies = [] {
        std::vector<std::pair<std::string, Message>> list;
        Message size;
        size.AddDouble(30.0);
        size.AddDouble(20.0);
        list.emplace_back("field_size", size);
        Message id = Served();
        id.AddInt(3);
        list.emplace_back("robot_id", id);
        for (const char* name : {"type", "name", "engine", "scanner", "first_fitting", "turret",
                                 "gun", "second_fitting", "start"}) {
            list.emplace_back(name, Served());
        }
        Message position = Served();
        position.AddDouble(1.0);
        position.AddDouble(-2.0);
        list.emplace_back("position", position);
        Message heading = Served();
        heading.AddDouble(0.5);
        list.emplace_back("orientation", heading);
        list.emplace_back("engine_speed", Served());
        list.emplace_back("engine_orientation", Served());
        list.emplace_back("scanner_orientation", heading);
        list.emplace_back("set_scanner", Served());
        list.emplace_back("seen_robots", RobotList());
        list.emplace_back("seen_objects", ObjectList());
        list.emplace_back("turret", heading);
        Message charge = Served();
        charge.AddDouble(100.0);
        list.emplace_back("gun_charge", charge);
        Message shot = Served();
        shot.AddInt(1);
        list.emplace_back("fire", shot);
        list.emplace_back("colour", Served());
        return list;
    }();
    for (std::size_t i = 0; i < replies.size(); ++i) {
        Write(folder, replies[i].first,
              Prefixed(static_cast<std::uint8_t>(i), replies[i].second.Bytes()));
    }
    Message refused;
    refused.AddString("Robot not started");
    Write(folder, "error_text", Prefixed(16, refused.Bytes()));
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
    const Bytes list = botpilot::BuildReplyFrame(RobotList());
    two.insert(two.end(), list.begin(), list.end());
    Write(folder, "whole", Chunked(two, 0xFC));
    Write(folder, "bytewise", Chunked(two, 1));
    Write(folder, "threes_then_close", [&] {
        Bytes events = Chunked(botpilot::BuildReplyFrame(ObjectList()), 3);
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
    using botpilot::ControllerMessage;
    auto doubles = [](std::initializer_list<double> values) {
        Message message;
        for (const double value : values) {
            message.AddDouble(value);
        }
        return message;
    };
    auto text = [](const std::string& value) {
        Message message;
        message.AddString(value);
        return message;
    };
    Message colour;
    colour.AddInt(0);
    colour.AddInt(255);
    colour.AddInt(0);
    auto request = [](ControllerMessage type, Message payload) {
        return std::make_pair(static_cast<std::int32_t>(type), std::move(payload));
    };
    const std::vector<std::pair<std::int32_t, Message>> robot = {
        request(ControllerMessage::GetPlayingFieldSize, Message()),
        request(ControllerMessage::GetRobotId, Message()),
        request(ControllerMessage::SetRobotType, text("Plimb")),
        request(ControllerMessage::SetRobotName, text("Nolix")),
        request(ControllerMessage::SetRobotColour, colour),
        request(ControllerMessage::ConfigureEngine, doubles({3.0, 75.0})),
        request(ControllerMessage::ConfigureScanner, doubles({10.0, 60.0, 60.0})),
        request(ControllerMessage::ConfigureTurret, doubles({10.0, 30.0})),
        request(ControllerMessage::ConfigureGun, doubles({1.3, 4.0, 2.0, 4.5})),
        request(ControllerMessage::ConfigureFirstFitting, doubles({50.0})),
        request(ControllerMessage::ConfigureSecondFitting, doubles({1.5})),
        request(ControllerMessage::StartRobot, Message()),
        request(ControllerMessage::GetGunCharge, Message()),
        request(ControllerMessage::GetSeenRobots, Message()),
        request(ControllerMessage::GetSeenObjects, Message()),
        request(ControllerMessage::GetOrientation, Message()),
        request(ControllerMessage::GetPosition, Message()),
        request(ControllerMessage::SetEngineOrientation, doubles({0.5})),
        request(ControllerMessage::SetEngineSpeed, doubles({100.0})),
        request(ControllerMessage::SetScannerOrientation, doubles({-0.5})),
        request(ControllerMessage::GetScannerOrientation, Message()),
        request(ControllerMessage::GetTurretOrientation, Message()),
        request(ControllerMessage::FireGun, Message()),
        request(ControllerMessage::GetSeenObjects, Message()),
    };
    Write(folder, "robot_session", Session(0x02, "Controller", 4, robot));
    Write(folder, "robot_session_still", Session(0x00, "Controller", 4, robot));
    Message item;
    item.AddInt(1);
    for (const double value : {-14.5, -9.5, 0.5, 0.5, 0.0}) {
        item.AddDouble(value);
    }
    for (const std::int32_t value : {8, 101, 0, 0}) {
        item.AddInt(value);
    }
    Write(folder, "drawing_session", Session(0x01, "Graphics", 1, {{2, item}, {2, item}}));
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
