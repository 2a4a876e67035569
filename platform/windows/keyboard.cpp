#include "platform/keyboard.h"

#include <conio.h>
#include <windows.h>

namespace botpilot {

namespace {

HANDLE StandardInput() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

bool IsConsole(HANDLE input) {
    DWORD mode = 0;
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
}

/// The console's first code of a key that sends two: function keys, arrows and the keys of the
/// editing block.
bool StartsExtendedKey(int code) {
    return code == 0 || code == 0xE0;
}

/// True when a read of redirected input would return at once: bytes wait in a pipe, or its
/// writer has gone (the read then reports the end). Files and devices never make a read wait.
bool RedirectedInputReady(HANDLE input) {
    if (GetFileType(input) != FILE_TYPE_PIPE) {
        return true;
    }
    DWORD available = 0;
    if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) == 0) {
        return true;
    }
    return available > 0;
}

} // namespace

// The console is read through the C runtime's key functions, which read one key at a time
// without echo and leave the console's modes alone: there is nothing to restore on the way out.
ConsoleKeyboard::ConsoleKeyboard() : interactive(IsConsole(StandardInput())) {}

ConsoleKeyboard::~ConsoleKeyboard() = default;

bool ConsoleKeyboard::InputReady() {
    return interactive ? _kbhit() != 0 : RedirectedInputReady(StandardInput());
}

std::optional<char> ConsoleKeyboard::ReadFromInput() {
    if (interactive) {
        const int code = _getch();
        if (StartsExtendedKey(code)) {
            // One press, two codes: the second is read too, so that it is not taken for a key
            // of its own. The press reads as its first code, which no letter shares.
            _getch();
        }
        return static_cast<char>(code);
    }
    char key = 0;
    DWORD count = 0;
    if (ReadFile(StandardInput(), &key, 1, &count, nullptr) != 0 && count == 1) {
        return key;
    }
    return std::nullopt;
}

} // namespace botpilot
