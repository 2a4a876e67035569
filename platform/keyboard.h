#pragma once

#include <optional>

namespace botpilot {

/// Single-key input without echo. Tests replace it with a scripted keyboard.
class Keyboard {
  public:
    virtual ~Keyboard() = default;

    /// True when a key can be read at once; never blocks.
    virtual bool KeyWaiting() = 0;

    /// The next key, waiting for it if need be; nothing at the end of input.
    virtual std::optional<char> ReadKey() = 0;

    /// Waits for one key press on an interactive console, so that a message stays on screen.
    /// Returns at once when input is not interactive or has ended.
    virtual void WaitForKeyPress() = 0;

    /// True when a person types the keys (a terminal), so that a wait for one makes sense.
    virtual bool Interactive() const = 0;
};

/// The process's standard input as a keyboard. On a terminal it switches to raw, non-echoing
/// input for its lifetime and restores the terminal on every way out: destruction, exit, and the
/// signals SIGINT, SIGTERM and SIGHUP (after which the signal takes its default course). On a
/// Windows console it reads key presses as they come, without echo, and a key that sends two
/// codes (an arrow, a function key) is one key. When standard input is neither, its bytes are the
/// keys.
class ConsoleKeyboard final : public Keyboard {
  public:
    ConsoleKeyboard();
    ~ConsoleKeyboard() override;
    ConsoleKeyboard(const ConsoleKeyboard&) = delete;
    ConsoleKeyboard& operator=(const ConsoleKeyboard&) = delete;

    bool KeyWaiting() override;
    std::optional<char> ReadKey() override;
    void WaitForKeyPress() override;
    bool Interactive() const override { return interactive; }

  private:
    // Each system's own part.
    /// True when a read of the input would return at once: a key waits, or the input has ended.
    bool InputReady();
    /// The next key from the input, waiting for it; nothing once the input has ended or cannot be
    /// read.
    std::optional<char> ReadFromInput();

    bool interactive = false;
    bool atEnd = false;
    std::optional<char> pending;
};

} // namespace botpilot
