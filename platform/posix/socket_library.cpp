#include "platform/socket_library.h"

namespace botpilot {

// Sockets are files here: there is no library to start or clean up.
SocketLibrary::SocketLibrary() = default;
SocketLibrary::~SocketLibrary() = default;

} // namespace botpilot
