#include "platform/windows/system_error.h"

#include <windows.h>
#include <winsock2.h>

namespace botpilot {

std::string SystemErrorText(unsigned long code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : "";
    LocalFree(buffer);
    // The system's texts end with a line break and often a full stop; the caller adds its own.
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "error";
    }
    return text + " (" + std::to_string(code) + ")";
}

std::string LastSocketErrorText() {
    return SystemErrorText(static_cast<unsigned long>(WSAGetLastError()));
}

} // namespace botpilot
