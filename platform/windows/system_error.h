#pragma once

#include <string>

namespace botpilot {

/// The system's own text for a Windows or Windows Sockets error code (`GetLastError`,
/// `WSAGetLastError`), on one line, with the code: "No connection could be made ... (10061)".
std::string SystemErrorText(unsigned long code);

/// The text of the calling thread's last Windows Sockets error.
std::string LastSocketErrorText();

} // namespace botpilot
