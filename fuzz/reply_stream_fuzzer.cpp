// Fuzzes the reply framing and the receive loop over a byte stream whose pieces the input
// chooses, so that a reply may be split at every position. The input is a run of events:
//   0x00 the server closes, 0xFD the receive fails, 0xFE the deadline passes,
//   0xFF the next request's send fails, 1..0xFC a chunk of that many bytes (fewer at the end).
// Replies are received one after another until one fails. Each reply received must be exactly
// the bytes of its frame, and each failure must carry one of the connection's texts and be
// justified by what the stream delivered.
#include "link/connection.h"
#include "wire/frame.h"
#include "wire/little_endian.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using botpilot::ByteStream;
using botpilot::Deadline;
using botpilot::IoResult;
using botpilot::IoStatus;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr std::uint8_t kClose = 0x00;
constexpr std::uint8_t kFail = 0xFD;
constexpr std::uint8_t kTimeOut = 0xFE;
constexpr std::uint8_t kSendFails = 0xFF;

/// A stream that plays the fuzzed events, remembering what it handed out.
class ScriptedStream final : public ByteStream {
  public:
    struct Event {
        IoStatus status = IoStatus::Ok;
        std::vector<std::uint8_t> bytes;
        bool sendFails = false;
    };

    explicit ScriptedStream(std::deque<Event> events) : events(std::move(events)) {}

    IoResult SendSome(const std::uint8_t* data, std::size_t size, const Deadline&) override {
        Require(size > 0 && !ended);
        if (!events.empty() && events.front().sendFails) {
            events.pop_front();
            return {IoStatus::Closed, 0};
        }
        // Sends take a few bytes at a time, as a congested socket would.
        const std::size_t taken = size < 7 ? size : 7;
        sent.insert(sent.end(), data, data + taken);
        return {IoStatus::Ok, taken};
    }

    IoResult ReceiveSome(std::uint8_t* data, std::size_t capacity, const Deadline&) override {
        // The loop never asks again after the stream said it is over.
        Require(capacity > 0 && !ended);
        while (!events.empty() && events.front().sendFails) {
            events.pop_front();
        }
        if (events.empty()) {
            ended = true;
            return {IoStatus::Closed, 0};
        }
        Event& next = events.front();
        if (next.status != IoStatus::Ok) {
            ended = true;
            return {next.status, 0};
        }
        const std::size_t count = next.bytes.size() < capacity ? next.bytes.size() : capacity;
        std::memcpy(data, next.bytes.data(), count);
        handedOut.insert(handedOut.end(), next.bytes.begin(), next.bytes.begin() + count);
        next.bytes.erase(next.bytes.begin(), next.bytes.begin() + count);
        if (next.bytes.empty()) {
            events.pop_front();
        }
        return {IoStatus::Ok, count};
    }

    std::deque<Event> events;
    std::vector<std::uint8_t> handedOut; ///< since the last reply began
    std::vector<std::uint8_t> sent;      ///< since the last request began
    bool ended = false;
};

std::deque<ScriptedStream::Event> ParseEvents(const std::uint8_t* data, std::size_t size) {
    std::deque<ScriptedStream::Event> events;
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t code = data[at++];
        ScriptedStream::Event event;
        if (code == kClose) {
            event.status = IoStatus::Closed;
        } else if (code == kFail) {
            event.status = IoStatus::Failed;
        } else if (code == kTimeOut) {
            event.status = IoStatus::TimedOut;
        } else if (code == kSendFails) {
            event.sendFails = true;
        } else {
            const std::size_t count = code < size - at ? code : size - at;
            if (count == 0) {
                break;
            }
            event.bytes.assign(data + at, data + at + count);
            at += count;
        }
        events.push_back(std::move(event));
    }
    return events;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScriptedStream stream(ParseEvents(data, size));
    const Deadline deadline = Deadline::After(10.0);
    for (std::int32_t type = 1; !stream.ended; ++type) {
        botpilot::Message request;
        request.AddInt(type);
        stream.sent.clear();
        try {
            botpilot::SendAll(stream, botpilot::BuildRequestFrame(type, request), deadline,
                              "Error sending message to server");
        } catch (const std::runtime_error& error) {
            Require(std::string(error.what()) == "Error sending message to server");
            return 0;
        }
        Require(stream.sent == botpilot::BuildRequestFrame(type, request));

        stream.handedOut.clear();
        try {
            const botpilot::Message reply = botpilot::ReceiveReply(stream, deadline);
            // The reply is exactly one frame: its length, then that many bytes.
            const std::vector<std::uint8_t>& held = stream.handedOut;
            Require(held.size() == botpilot::kReplyHeaderBytes + reply.Bytes().size());
            Require(botpilot::LoadUint32(held.data()) == reply.Bytes().size());
            Require(reply.Bytes().size() <= botpilot::kMaxReplyPayloadBytes);
            // An empty payload may have no storage at all, which memcmp must not be handed.
            Require(reply.Bytes().empty() ||
                    std::memcmp(held.data() + botpilot::kReplyHeaderBytes, reply.Bytes().data(),
                                reply.Bytes().size()) == 0);
            Require(reply.ReadPosition() == 0);
        } catch (const std::runtime_error& error) {
            const std::string text = error.what();
            const std::vector<std::uint8_t>& held = stream.handedOut;
            if (text == "Unexpected server response") {
                // Only a length over the limit, or more bytes than it declared.
                Require(held.size() >= botpilot::kReplyHeaderBytes);
                const std::uint32_t declared = botpilot::LoadUint32(held.data());
                Require(declared > botpilot::kMaxReplyPayloadBytes ||
                        held.size() > botpilot::kReplyHeaderBytes + declared);
            } else {
                Require(text == "Error receiving response from server");
                Require(stream.ended);
            }
            return 0;
        }
    }
    return 0;
}
