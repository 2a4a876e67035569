#include "arena/protocol/request_handler.h"

#include <optional>
#include <sstream>

namespace botarena {

std::int32_t RequestValues::Int() {
    try {
        const std::int32_t value = payload.ReadInt();
        ++read;
        return value;
    } catch (const std::runtime_error& error) {
        Fail(error);
    }
}

double RequestValues::Double() {
    try {
        const double value = payload.ReadDouble();
        ++read;
        return value;
    } catch (const std::runtime_error& error) {
        Fail(error);
    }
}

std::string RequestValues::String() {
    try {
        std::string value = payload.ReadString();
        ++read;
        return value;
    } catch (const std::runtime_error& error) {
        Fail(error);
    }
}

void RequestValues::End() {
    if (payload.ReadPosition() < payload.Bytes().size()) {
        throw ProtocolFault(std::string(name) + " takes " + std::to_string(read) +
                            (read == 1 ? " value" : " values") + ", but the request holds more");
    }
}

void RequestValues::Fail(const std::exception& error) const {
    throw ProtocolFault(std::string(name) + ": " + error.what());
}

std::string RequestArguments::Joined() const {
    std::ostringstream text;
    for (std::size_t i = 0; i < count; ++i) {
        text << (i == 0 ? "" : " ");
        switch (values[i].kind) {
        case botpilot::MessageValueTag::Integer:
            text << values[i].integer;
            break;
        case botpilot::MessageValueTag::Double:
            text << values[i].real;
            break;
        case botpilot::MessageValueTag::String:
            text << values[i].text;
            break;
        }
    }
    return text.str();
}

namespace {

/// Throws the refusal when there is one.
void Require(const std::optional<std::string>& refusal) {
    if (refusal) {
        throw Refusal(*refusal);
    }
}

} // namespace

RequestArguments ReadRequest(botpilot::Message& payload, const botpilot::CatalogueEntry& entry) {
    RequestArguments arguments;
    RequestValues reader(payload, entry.name);
    for (std::size_t i = 0; i < entry.valueCount; ++i) {
        const botpilot::ValueRule& value = entry.values[i];
        RequestArguments::Value& read = arguments.values[i];
        read.kind = value.kind;
        switch (value.kind) {
        case botpilot::MessageValueTag::Integer:
            read.integer = reader.Int();
            break;
        case botpilot::MessageValueTag::Double:
            // A double is checked at once, so that a refused setting is reported before the
            // values after it are looked at.
            read.real = reader.Double();
            Require(botpilot::CheckValue(value, read.real));
            break;
        case botpilot::MessageValueTag::String:
            read.text = reader.String();
            break;
        }
        arguments.count = i + 1;
    }
    reader.End();
    for (std::size_t i = 0; i < entry.valueCount; ++i) {
        const RequestArguments::Value& read = arguments.values[i];
        if (read.kind == botpilot::MessageValueTag::Integer) {
            Require(botpilot::CheckValue(entry.values[i], read.integer));
        } else if (read.kind == botpilot::MessageValueTag::String) {
            Require(botpilot::CheckValue(entry.values[i], read.text));
        }
    }
    return arguments;
}

botpilot::Message ErrorTextReply(const std::string& text) {
    botpilot::Message reply;
    reply.AddString(text);
    return reply;
}

} // namespace botarena
