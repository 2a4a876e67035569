#include "tests/support/child_process.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace botpilot {
namespace {

/// The probe running on a pseudo-terminal, as it would on a user's console.
class ProbeOnTerminal {
  public:
    ProbeOnTerminal() {
        if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0 || pipe(output) != 0) {
            return;
        }
        child = fork();
        if (child == 0) {
            setsid();
            dup2(terminal, STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            execl(KEYBOARD_PROBE_PATH, KEYBOARD_PROBE_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(output[1]);
    }

    ~ProbeOnTerminal() {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        close(master);
        close(terminal);
        close(output[0]);
    }

    /// Reads the probe's output until it contains `text` (or ten seconds pass).
    bool WaitForOutput(const std::string& text) {
        pollfd entry{output[0], POLLIN, 0};
        while (seen.find(text) == std::string::npos) {
            if (poll(&entry, 1, 10000) <= 0) {
                return false;
            }
            char buffer[256];
            const ssize_t count = read(output[0], buffer, sizeof buffer);
            if (count <= 0) {
                return false;
            }
            seen.append(buffer, static_cast<std::size_t>(count));
        }
        return true;
    }

    bool TerminalIsRaw() const {
        termios settings{};
        tcgetattr(terminal, &settings);
        return (settings.c_lflag & (ICANON | ECHO)) == 0;
    }

    /// Waits for the probe to end; its wait status.
    int Wait() {
        int status = 0;
        waitpid(child, &status, 0);
        child = -1;
        return status;
    }

    int master = -1;
    int terminal = -1;
    int output[2] = {-1, -1};
    pid_t child = -1;
    std::string seen;
};

TEST(ConsoleKeyboardTest, TerminalIsRawWhileRunningAndRestoredOnEveryWayOut) {
    {
        ProbeOnTerminal probe;
        ASSERT_TRUE(probe.WaitForOutput("ready"));
        EXPECT_TRUE(probe.TerminalIsRaw());
        ASSERT_EQ(write(probe.master, "aq", 2), 2);
        ASSERT_TRUE(probe.WaitForOutput("kakq"));
        // Waiting for a key press on a terminal really waits for one.
        ASSERT_EQ(write(probe.master, "z", 1), 1);
        ASSERT_TRUE(probe.WaitForOutput("waited"));
        const int status = probe.Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_FALSE(probe.TerminalIsRaw());
    }
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        ProbeOnTerminal probe;
        ASSERT_TRUE(probe.WaitForOutput("ready"));
        ASSERT_TRUE(probe.TerminalIsRaw());
        kill(probe.child, signalNumber);
        const int status = probe.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << signalNumber;
        EXPECT_FALSE(probe.TerminalIsRaw()) << signalNumber;
    }
}

} // namespace
} // namespace botpilot
