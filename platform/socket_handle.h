#pragma once

#include <cstdint>

namespace botpilot {

/// A socket as the system knows it, wide enough for either kind: a descriptor (an int) where
/// sockets are files, a SOCKET (an unsigned pointer-sized handle) on Windows. Both systems'
/// invalid values become -1.
using SocketHandle = std::intptr_t;

/// No socket.
constexpr SocketHandle kNoSocket = -1;

} // namespace botpilot
