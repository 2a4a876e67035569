// Fuzzes the Message readers over arbitrary payloads. The first byte is a plan: two bits per
// read choose ReadInt, ReadDouble, ReadString, or the reader the next tag asks for, so both
// matching and mismatching reads are explored. Every value read must re-encode to exactly the
// bytes it was read from, a failed tag check must leave the read position alone, and every
// failure must be a std::runtime_error with one of the reader's own texts.
#include "wire/message.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using botpilot::Message;
using botpilot::MessageValueTag;

enum class Read { Int, Double, String, ByTag };

bool IsReaderText(const std::string& text) {
    return text == "Reached end of message" || text == "Unexpected end of message" ||
           text == "The next value in the message is not an integer" ||
           text == "The next value in the message is not a double" ||
           text == "The next value in the message is not a string";
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

Read ChooseRead(const std::vector<std::uint8_t>& payload, std::size_t at, Read planned) {
    if (planned != Read::ByTag || at >= payload.size()) {
        return planned == Read::ByTag ? Read::Int : planned;
    }
    switch (static_cast<MessageValueTag>(payload[at])) {
    case MessageValueTag::Double:
        return Read::Double;
    case MessageValueTag::String:
        return Read::String;
    default:
        return Read::Int;
    }
}

/// Reads one value and returns its encoding as the writers would produce it.
std::vector<std::uint8_t> ReadAndReencode(Message& message, Read read) {
    Message again;
    switch (read) {
    case Read::Int:
        again.AddInt(message.ReadInt());
        break;
    case Read::Double: {
        const double value = message.ReadDouble();
        again.AddDouble(value);
        break;
    }
    case Read::String:
    case Read::ByTag:
        again.AddString(message.ReadString());
        break;
    }
    return again.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t plan = data[0];
    const std::vector<std::uint8_t> payload(data + 1, data + size);
    Message message(payload);
    // Every read either takes at least one byte or throws, so the loop ends.
    for (unsigned step = 0;; ++step) {
        const auto planned = static_cast<Read>((plan >> (2 * (step % 4))) & 3u);
        const std::size_t before = message.ReadPosition();
        const Read read = ChooseRead(payload, before, planned);
        try {
            const std::vector<std::uint8_t> encoded = ReadAndReencode(message, read);
            const std::size_t after = message.ReadPosition();
            Require(after > before && after <= payload.size());
            Require(encoded.size() == after - before);
            Require(std::memcmp(encoded.data(), payload.data() + before, encoded.size()) == 0);
        } catch (const std::runtime_error& error) {
            const std::string text = error.what();
            Require(IsReaderText(text));
            if (text.rfind("The next value", 0) == 0 || text == "Reached end of message") {
                Require(message.ReadPosition() == before);
            }
            Require(message.ReadPosition() <= payload.size());
            return 0;
        }
    }
}
