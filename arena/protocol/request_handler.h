#pragma once

#include "arena/protocol/request_frame_reader.h"
#include "wire/catalogue_entry.h"
#include "wire/message.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace botarena {

/// How a request went, for the per-connection figures.
enum class ReplyOutcome {
    Served,        ///< done as asked
    Refused,       ///< well formed, but the rules said no (range, stage, destroyed robot)
    ProtocolError, ///< unknown type, or values of the wrong kind or number
};

/// The reply to one request and how it went.
struct Reply {
    botpilot::Message message;
    ReplyOutcome outcome = ReplyOutcome::Served;
};

/// A request broke the protocol; its text goes back as the reply's error text.
class ProtocolFault : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The rules refused a well-formed request; its text goes back as the reply's error text.
class Refusal : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The server side of one connection's requests, free of sockets: one decoded request in,
/// its reply out. Every request gets exactly one reply; nothing a client sends can throw out
/// of Handle.
class RequestHandler {
  public:
    virtual ~RequestHandler() = default;

    virtual Reply Handle(Request& request) = 0;
};

/// Reads a request's values in order, naming the request in every decoding error, and checks
/// that nothing is left over.
class RequestValues {
  public:
    /// `name` must outlive this reader (a literal).
    RequestValues(botpilot::Message& payload, const char* name) : payload(payload), name(name) {}

    std::int32_t Int();
    double Double();
    std::string String();
    /// Throws ProtocolFault when values remain unread.
    void End();

  private:
    [[noreturn]] void Fail(const std::exception& error) const;

    botpilot::Message& payload;
    const char* name;
    int read = 0;
};

/// A request's values, read and checked as its catalogue entry declares them, by position.
class RequestArguments {
  public:
    std::int32_t Int(std::size_t index) const { return values[index].integer; }
    double Double(std::size_t index) const { return values[index].real; }
    const std::string& String(std::size_t index) const { return values[index].text; }
    /// The values in order, separated by spaces, as a log line shows them: "12 180".
    std::string Joined() const;

  private:
    friend RequestArguments ReadRequest(botpilot::Message& payload,
                                        const botpilot::CatalogueEntry& entry);

    struct Value {
        botpilot::MessageValueTag kind = botpilot::MessageValueTag::Integer;
        std::int32_t integer = 0;
        double real = 0.0;
        std::string text;
    };
    std::array<Value, botpilot::kMaxRequestValues> values;
    std::size_t count = 0;
};

/// Reads the values `entry` declares from `payload`, naming the request in every decoding error,
/// and checks them as its entry says: a double as soon as it is read, then that nothing is left
/// over, then the integers and the strings in order. Throws ProtocolFault for values of the wrong
/// kind or number, and Refusal with the check's text for a value outside its limit.
RequestArguments ReadRequest(botpilot::Message& payload, const botpilot::CatalogueEntry& entry);

/// A reply that holds only an error text: empty on success.
botpilot::Message ErrorTextReply(const std::string& text);

/// Runs `serve`, which appends the reply's values to a reply that starts with the empty error
/// text. A ProtocolFault or Refusal it throws becomes the reply's error text and its outcome.
template <typename Serve> Reply ServeWithErrorText(Serve&& serve) {
    Reply answer;
    try {
        botpilot::Message reply = ErrorTextReply("");
        serve(reply);
        answer.message = std::move(reply);
    } catch (const ProtocolFault& fault) {
        answer.message = ErrorTextReply(fault.what());
        answer.outcome = ReplyOutcome::ProtocolError;
    } catch (const Refusal& refusal) {
        answer.message = ErrorTextReply(refusal.what());
        answer.outcome = ReplyOutcome::Refused;
    }
    return answer;
}

} // namespace botarena
