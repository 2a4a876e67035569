#include "platform/socket_library.h"

#include <stdexcept>
#include <winsock2.h>

namespace botpilot {

SocketLibrary::SocketLibrary() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) {
        throw std::runtime_error("Error in WSAStartup()");
    }
    // A library that cannot offer version 2.0 was started all the same, and must be cleaned up.
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 0) {
        WSACleanup();
        throw std::runtime_error("Error in WSAStartup()");
    }
}

SocketLibrary::~SocketLibrary() {
    WSACleanup();
}

} // namespace botpilot
