#include "platform/keyboard.h"

namespace botpilot {

bool ConsoleKeyboard::KeyWaiting() {
    if (pending) {
        return true;
    }
    if (atEnd || !InputReady()) {
        return false;
    }
    // Ready may also mean end of input: read the key now and keep it for ReadKey.
    pending = ReadKey();
    return pending.has_value();
}

std::optional<char> ConsoleKeyboard::ReadKey() {
    if (pending) {
        const char key = *pending;
        pending.reset();
        return key;
    }
    if (atEnd) {
        return std::nullopt;
    }
    const std::optional<char> key = ReadFromInput();
    // The end of input, or input that cannot be read: no more keys either way.
    atEnd = !key.has_value();
    return key;
}

void ConsoleKeyboard::WaitForKeyPress() {
    if (interactive) {
        ReadKey();
    }
}

} // namespace botpilot
