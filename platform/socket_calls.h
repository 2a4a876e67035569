#pragma once

#include "platform/byte_stream.h"
#include "platform/socket_handle.h"
#include "platform/steady_time.h"

#include <string>

namespace botpilot {

// Calls on a connected socket by its handle, as `TcpSocket` makes them and as a library that owns
// its sockets (the viewer's HTTP server) needs them made: no call waits past its deadline, and
// none raises SIGPIPE.

/// Tries the send at once, and waits (until the deadline) only while the socket's buffer is full.
IoResult SendOn(SocketHandle socket, const std::uint8_t* data, std::size_t size,
                const Deadline& deadline);
/// Receives at least one and at most `capacity` bytes, waiting until the deadline for them.
IoResult ReceiveOn(SocketHandle socket, std::uint8_t* data, std::size_t capacity,
                   const Deadline& deadline);
/// Sends no more; what the peer sends may still be received.
void ShutdownSending(SocketHandle socket);
/// Closes the socket without shutting it down first.
void CloseSocket(SocketHandle socket);
/// For a socket about to listen: it may take a port whose last connections still linger, but
/// never one another socket listens on.
void AllowPortReuse(SocketHandle socket);
/// The numeric address and port at this end (`peer` false) or the other; false when the system
/// cannot tell.
bool EndpointOf(SocketHandle socket, bool peer, std::string& address, int& port);

} // namespace botpilot
