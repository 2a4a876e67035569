#pragma once

#include "link/message_channel.h"
#include "wire/message.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace botpilot {

/// The common base of the server's clients: owns the channel their requests travel on, and one
/// request and one reply message that every exchange refills, so that a steady run of exchanges
/// allocates nothing for them.
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

    /// One exchange on the kept request and reply, under the interface's exchange lock: the
    /// request is built, sent and its reply read while the hold lasts, so that no other caller
    /// refills either meanwhile. The hold empties both when it ends, releasing storage above
    /// kKeptMessageBytes.
    class ExchangeHold {
      public:
        explicit ExchangeHold(ServerInterface& owner) : owner(owner), lock(owner.exchangeLock) {}
        ~ExchangeHold() {
            owner.request.Clear();
            owner.reply.Clear();
        }
        ExchangeHold(const ExchangeHold&) = delete;
        ExchangeHold& operator=(const ExchangeHold&) = delete;

        /// The request to fill; empty when the hold begins.
        Message& Request() { return owner.request; }
        /// Sends the request and returns its reply, read from the start; valid while the hold
        /// lasts.
        Message& Send(std::int32_t messageType) {
            owner.channel->ExchangeInto(messageType, owner.request, owner.reply);
            return owner.reply;
        }

      private:
        ServerInterface& owner;
        std::lock_guard<std::mutex> lock;
    };

  private:
    std::unique_ptr<MessageChannel> channel;
    std::mutex exchangeLock;
    Message request; // under exchangeLock, like reply
    Message reply;
};

} // namespace botpilot
