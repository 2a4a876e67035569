// Reads keys the way the client does and reports what it saw on standard output: "k<key>" for
// each key, then "end", whether a key is still said to be waiting, and "waited" after one wait
// for a key press.
#include "platform/keyboard.h"

#include <iostream>

int main() {
    botpilot::ConsoleKeyboard keyboard;
    while (const auto key = keyboard.ReadKey()) {
        std::cout << 'k' << *key;
    }
    std::cout << " end waiting=" << keyboard.KeyWaiting();
    keyboard.WaitForKeyPress();
    std::cout << " waited" << std::endl;
    return 0;
}
