#include "platform/keyboard.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace botpilot {

namespace {

// The terminal settings to restore. Written once before the handlers are installed and read by
// the handlers, so they are plain statics (only async-signal-safe calls touch them there).
termios savedTerminal{};
volatile std::sig_atomic_t terminalIsRaw = 0;

constexpr int kRestoredSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RestoreTerminal() {
    if (terminalIsRaw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        terminalIsRaw = 0;
    }
}

extern "C" void RestoreTerminalAndResignal(int signalNumber) {
    RestoreTerminal();
    // Let the signal take its default course now that the terminal is sane again.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

extern "C" void RestoreTerminalAtExit() {
    RestoreTerminal();
}

void EnterRawMode() {
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
        return;
    }
    static bool exitHookInstalled = false;
    if (!exitHookInstalled) {
        std::atexit(RestoreTerminalAtExit);
        exitHookInstalled = true;
    }
    for (const int signalNumber : kRestoredSignals) {
        struct sigaction action {};
        action.sa_handler = RestoreTerminalAndResignal;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, nullptr);
    }
    termios raw = savedTerminal;
    // Keys arrive one by one without echo; ISIG stays on so that Ctrl-C still interrupts.
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        terminalIsRaw = 1;
    }
}

void LeaveRawMode() {
    RestoreTerminal();
    for (const int signalNumber : kRestoredSignals) {
        std::signal(signalNumber, SIG_DFL);
    }
}

} // namespace

ConsoleKeyboard::ConsoleKeyboard() : interactive(isatty(STDIN_FILENO) == 1) {
    if (interactive) {
        EnterRawMode();
    }
}

ConsoleKeyboard::~ConsoleKeyboard() {
    if (interactive) {
        LeaveRawMode();
    }
}

bool ConsoleKeyboard::InputReady() {
    pollfd entry{};
    entry.fd = STDIN_FILENO;
    entry.events = POLLIN;
    return poll(&entry, 1, 0) > 0;
}

std::optional<char> ConsoleKeyboard::ReadFromInput() {
    for (;;) {
        char key = 0;
        const ssize_t count = read(STDIN_FILENO, &key, 1);
        if (count == 1) {
            return key;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        return std::nullopt;
    }
}

} // namespace botpilot
