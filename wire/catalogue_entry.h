#pragma once

#include "wire/message.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>

namespace botpilot {

// The vocabulary of the catalogues (controller_catalogue.h, drawing_catalogue.h): what each
// message type of a connection is called, which values its request holds and which of them the
// arena accepts, when it is accepted, and which values its reply holds. Values are named by
// their kinds' letters where a whole run of them is written: 'i' an integer, 'd' a double,
// 's' a string (as MessageValueTag).

/// One accepted interval of a value, named for its refusal text.
struct SettingLimit {
    const char* what; ///< e.g. "Engine maximum speed"
    double low;
    double high;
    bool lowIncluded; ///< whether `low` itself is accepted
};

/// nothing when `value` lies within the limit (NaN never does), else the refusal text, such
/// as "Engine maximum speed 25 is out of range (0, 20]".
std::optional<std::string> CheckSetting(const SettingLimit& limit, double value);

/// The components of a colour, in a robot's colour and in a drawn item's alike.
constexpr SettingLimit kRedLimit{"Red", 0.0, 255.0, true};
constexpr SettingLimit kGreenLimit{"Green", 0.0, 255.0, true};
constexpr SettingLimit kBlueLimit{"Blue", 0.0, 255.0, true};

/// How the arena checks one value of a request. A double is checked as soon as it is read; an
/// integer or a string once the whole request has been read.
enum class ValueCheck : std::uint8_t {
    None,   ///< every value of its kind is accepted
    Range,  ///< a number within the limit: "Gun damage -1 is out of range [0, 1000]"
    Finite, ///< a double that is a number and finite: "Engine speed inf is not a finite number"
    Length, ///< a text of the limit's byte counts: "Robot name must be 1 to 64 bytes long, not 0"
};

/// One value of a request: its kind and how it is checked.
struct ValueRule {
    MessageValueTag kind = MessageValueTag::Integer;
    ValueCheck check = ValueCheck::None;
    /// The value's name (`what`) for every check but None; the bounds for Range and Length.
    SettingLimit limit{"", 0.0, 0.0, true};
};

constexpr ValueRule AnyInteger() {
    return {MessageValueTag::Integer, ValueCheck::None, {"", 0.0, 0.0, true}};
}
constexpr ValueRule AnyDouble() {
    return {MessageValueTag::Double, ValueCheck::None, {"", 0.0, 0.0, true}};
}
constexpr ValueRule IntegerWithin(const SettingLimit& limit) {
    return {MessageValueTag::Integer, ValueCheck::Range, limit};
}
constexpr ValueRule DoubleWithin(const SettingLimit& limit) {
    return {MessageValueTag::Double, ValueCheck::Range, limit};
}
constexpr ValueRule FiniteDouble(const char* what) {
    return {MessageValueTag::Double, ValueCheck::Finite, {what, 0.0, 0.0, true}};
}
/// A text of `limit.low` to `limit.high` bytes.
constexpr ValueRule TextWithin(const SettingLimit& limit) {
    return {MessageValueTag::String, ValueCheck::Length, limit};
}

/// nothing when `value` passes the rule's check, else the refusal text. The rule's kind must be
/// the value's.
std::optional<std::string> CheckValue(const ValueRule& rule, std::int32_t value);
std::optional<std::string> CheckValue(const ValueRule& rule, double value);
std::optional<std::string> CheckValue(const ValueRule& rule, const std::string& value);

/// When a request is accepted on its connection.
enum class RequestStage : std::uint8_t {
    AnyTime,     ///< from the handshake on
    Configuring, ///< until the robot has started (StartRobot itself is one)
    Running,     ///< once the robot has started, until it is destroyed
};

/// The most values a request of any catalogue holds.
constexpr std::size_t kMaxRequestValues = 10;

/// One message type of a connection.
struct CatalogueEntry {
    std::int32_t type = 0;
    const char* name = ""; ///< as error texts name it: "ConfigureEngine"; empty when reserved
    /// Whether the arena serves it; a type that is not is a number the protocol has taken, which
    /// gets "Message type N is not supported".
    bool supported = false;
    RequestStage stage = RequestStage::AnyTime;
    /// The request's values, in order: the first `valueCount` of `values`.
    std::size_t valueCount = 0;
    ValueRule values[kMaxRequestValues] = {};
    /// Whether the reply opens with the error text, empty when the request was served.
    bool errorText = true;
    /// The reply's values after the error text, as kind letters ("dd").
    const char* reply = "";
    /// The kinds of one entry of a list reply, repeated as often as the reply's last value (an
    /// integer count) says; empty for a reply without a list.
    const char* each = "";
};

/// The reply layout of a message type: its values after the error text, and those of each list
/// entry.
struct ReplyLayout {
    bool errorText = true;
    const char* values = "";
    const char* each = "";
};

/// A reply of the error text, then `values`, then a count and that many entries of `each`.
constexpr ReplyLayout ErrorTextThen(const char* values, const char* each = "") {
    return {true, values, each};
}
/// A reply without the error text: nothing but `values`.
constexpr ReplyLayout OnlyValues(const char* values) {
    return {false, values, ""};
}

/// The entry of a message type the arena serves.
constexpr CatalogueEntry Entry(std::int32_t type, const char* name, RequestStage stage,
                               std::initializer_list<ValueRule> values, ReplyLayout reply) {
    CatalogueEntry entry;
    entry.type = type;
    entry.name = name;
    entry.supported = true;
    entry.stage = stage;
    if (values.size() > kMaxRequestValues) {
        throw std::length_error("More request values than kMaxRequestValues");
    }
    for (const ValueRule& value : values) {
        entry.values[entry.valueCount++] = value;
    }
    entry.errorText = reply.errorText;
    entry.reply = reply.values;
    entry.each = reply.each;
    return entry;
}

/// The entry of a type the protocol has taken but the arena does not serve: it has no name,
/// values or reply here.
constexpr CatalogueEntry Reserved(std::int32_t type) {
    CatalogueEntry entry;
    entry.type = type;
    return entry;
}

/// The tag of a kind letter ('i', 'd' or 's'); any other letter is an error, at compile time
/// where it is evaluated there.
constexpr MessageValueTag KindOfLetter(char letter) {
    switch (letter) {
    case 'i':
        return MessageValueTag::Integer;
    case 'd':
        return MessageValueTag::Double;
    case 's':
        return MessageValueTag::String;
    default:
        throw std::invalid_argument("A value kind is 'i', 'd' or 's'");
    }
}

/// The letter of a kind.
constexpr char LetterOfKind(MessageValueTag kind) {
    return kind == MessageValueTag::Integer ? 'i' : kind == MessageValueTag::Double ? 'd' : 's';
}

/// The fewest bytes values of these kinds take on the wire (every string empty).
constexpr std::size_t MinimumBytes(const char* kinds) {
    std::size_t bytes = 0;
    for (const char* letter = kinds; *letter != '\0'; ++letter) {
        bytes += KindOfLetter(*letter) == MessageValueTag::Double ? 9 : 5;
    }
    return bytes;
}

/// Whether two runs of kind letters are the same.
constexpr bool SameKinds(const char* first, const char* second) {
    for (; *first != '\0' && *first == *second; ++first, ++second) {
    }
    return *first == *second;
}

/// Whether the request of `entry` holds `count` values of `kind` and nothing else.
constexpr bool TakesOnly(const CatalogueEntry& entry, MessageValueTag kind, std::size_t count) {
    if (entry.valueCount != count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (entry.values[i].kind != kind) {
            return false;
        }
    }
    return true;
}

/// Whether the request of `entry` holds values of exactly these kinds, in order.
constexpr bool RequestIs(const CatalogueEntry& entry, const char* kinds) {
    std::size_t i = 0;
    for (; kinds[i] != '\0'; ++i) {
        if (i >= entry.valueCount || entry.values[i].kind != KindOfLetter(kinds[i])) {
            return false;
        }
    }
    return i == entry.valueCount;
}

/// Whether the reply of `entry` holds these values after its error text, and a list of `each`.
constexpr bool RepliesWith(const CatalogueEntry& entry, const char* values, const char* each = "") {
    return SameKinds(entry.reply, values) && SameKinds(entry.each, each);
}

/// The kinds of the request's values as letters ("dd").
std::string RequestKinds(const CatalogueEntry& entry);

/// Appends a value of the rule's kind that its check accepts: the middle of its range, a text of
/// its fewest bytes, or a plain 1, 0.5 or "x". An example for tests and fuzzing seeds.
void AddAcceptedValue(Message& message, const ValueRule& rule);

/// A request of the values `entry` declares, each one its check accepts.
Message AcceptedRequest(const CatalogueEntry& entry);

} // namespace botpilot
