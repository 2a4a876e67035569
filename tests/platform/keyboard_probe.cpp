// Reads keys the way the client does and reports what it saw on standard output: "ready" once
// the keyboard is set up, "k<key>" for each key, then "end", whether a key is still said to be
// waiting, and "waited" after one wait for a key press.
#include "platform/keyboard.h"

#include <iostream>

int main() {
    botpilot::ConsoleKeyboard keyboard;
    std::cout << "ready" << std::endl;
    while (const auto key = keyboard.ReadKey()) {
        std::cout << 'k' << *key << std::flush;
        if (*key == 'q') {
            break;
        }
    }
    std::cout << " end waiting=" << keyboard.KeyWaiting();
    keyboard.WaitForKeyPress();
    std::cout << " waited" << std::endl;
    return 0;
}
