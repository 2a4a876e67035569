#include "platform/tcp_socket.h"

namespace botpilot {

TcpSocket::~TcpSocket() {
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle(other.handle) {
    other.handle = kNoSocket;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle = other.handle;
        other.handle = kNoSocket;
    }
    return *this;
}

} // namespace botpilot
