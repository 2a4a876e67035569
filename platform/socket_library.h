#pragma once

namespace botpilot {

/// Keeps the system's socket library started for as long as it lives. On Windows that is
/// Windows Sockets, asked for version 2.0: each object starts it once and cleans it up once, and
/// every socket must be closed before the last object that started it goes. Elsewhere sockets
/// need no start, and the object does nothing.
class SocketLibrary {
  public:
    /// Throws std::runtime_error "Error in WSAStartup()" when the library cannot be started.
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
};

} // namespace botpilot
