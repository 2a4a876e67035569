#include "platform/tcp_listener.h"

#include <stdexcept>
#include <utility>

namespace botpilot {

TcpListener::~TcpListener() {
    Close();
}

TcpListener::TcpListener(TcpListener&& other) noexcept
    : library(std::move(other.library)), handle(other.handle), port(other.port) {
    other.handle = kNoSocket;
}

TcpListener& TcpListener::operator=(TcpListener&& other) noexcept {
    if (this != &other) {
        Close();
        library = std::move(other.library);
        handle = other.handle;
        port = other.port;
        other.handle = kNoSocket;
    }
    return *this;
}

[[noreturn]] void ThrowListenError(const std::string& address, std::uint16_t port, const char* step,
                                   const std::string& reason) {
    throw std::runtime_error("Unable to listen on " + address + ":" + std::to_string(port) + " (" +
                             step + ": " + reason + ")");
}

} // namespace botpilot
