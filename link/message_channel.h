#pragma once

#include "wire/message.h"

#include <cstdint>
#include <string>

namespace botpilot {

/// Where a client's requests go: a server connection, or a scripted double in tests.
class MessageChannel {
  public:
    virtual ~MessageChannel() = default;

    /// Opens the channel to the server at host and port (only the low 16 bits of the port count).
    virtual void Connect(const std::string& host, std::int32_t port) = 0;

    /// Sends one request and returns its reply, read from the start.
    virtual Message Exchange(std::int32_t messageType, const Message& request) = 0;

    /// The same, with the reply received into `reply` (its content replaced, read from the
    /// start), so that a caller which keeps one message for its replies has its storage reused by
    /// channels that can. `reply` must not be `request`. By default the returned reply is moved
    /// in.
    virtual void ExchangeInto(std::int32_t messageType, const Message& request, Message& reply) {
        reply = Exchange(messageType, request);
    }
};

} // namespace botpilot
