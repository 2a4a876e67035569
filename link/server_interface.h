#pragma once

#include "link/message.h"
#include "link/message_channel.h"

#include <cstdint>
#include <memory>
#include <string>

namespace botpilot {

/// The common base of the server's clients: owns the channel their requests travel on.
class ServerInterface {
  public:
    virtual ~ServerInterface() = default;
    ServerInterface(const ServerInterface&) = delete;
    ServerInterface& operator=(const ServerInterface&) = delete;

    /// Opens the channel: connection and handshake.
    void Connect(const std::string& host, std::int32_t port) { channel->Connect(host, port); }

  protected:
    /// A client on a TCP connection under the given name and interface code.
    ServerInterface(const std::string& clientName, std::int32_t interfaceCode);
    /// A client on another channel, such as a scripted one in tests.
    explicit ServerInterface(std::unique_ptr<MessageChannel> channel);

    /// One request and its reply, read from the start.
    Message Transact(std::int32_t messageType, const Message& request) {
        return channel->Exchange(messageType, request);
    }

  private:
    std::unique_ptr<MessageChannel> channel;
};

} // namespace botpilot
