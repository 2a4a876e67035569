#include "arena/protocol/request_handler.h"

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

botpilot::Message ErrorTextReply(const std::string& text) {
    botpilot::Message reply;
    reply.AddString(text);
    return reply;
}

} // namespace botarena
