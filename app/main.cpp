#include "app/entry.h"
#include "platform/keyboard.h"

int main(int argc, char* argv[]) {
    botpilot::ConsoleKeyboard keyboard;
    return botpilot::RunEntry(argc, argv, keyboard);
}
