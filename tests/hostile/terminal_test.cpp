// The real client on a pseudo-terminal: whichever way its run ends, the terminal must be left as
// it was found (`stty -g` unchanged), having been raw while the run went on.
#include "tests/support/fake_robot_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace botpilot {
namespace {

/// What the terminal's `stty -g` says, read through the given terminal descriptor.
std::string SttySettings(int terminal) {
    const std::string command = std::string("stty -g < ") + ttyname(terminal);
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "";
    }
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        text += buffer;
    }
    pclose(pipe);
    return text;
}

/// The client running on a fresh pseudo-terminal as its controlling terminal and standard
/// input, with its standard output and error in a file.
class ClientOnTerminal {
  public:
    explicit ClientOnTerminal(std::uint16_t port) {
        if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0) {
            return;
        }
        settingsBefore = SttySettings(terminal);
        std::FILE* log = std::tmpfile();
        logDescriptor = dup(fileno(log));
        std::fclose(log);
        const std::string portText = std::to_string(port);
        child = fork();
        if (child == 0) {
            setsid();
            ioctl(terminal, TIOCSCTTY, 0);
            dup2(terminal, STDIN_FILENO);
            dup2(logDescriptor, STDOUT_FILENO);
            dup2(logDescriptor, STDERR_FILENO);
            execl(BOTPILOT_PATH, BOTPILOT_PATH, "/s", "127.0.0.1", "/p", portText.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    ~ClientOnTerminal() {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        close(master);
        close(terminal);
        close(logDescriptor);
    }

    bool TerminalIsRaw() const {
        termios settings{};
        tcgetattr(terminal, &settings);
        return (settings.c_lflag & (ICANON | ECHO)) == 0;
    }

    void Type(char key) { ASSERT_EQ(write(master, &key, 1), 1); }

    /// Waits (up to 20 s) for the client to end; its wait status, or -1 when it did not.
    int Wait() {
        for (int i = 0; i < 2000; ++i) {
            int status = 0;
            const pid_t ended = waitpid(child, &status, WNOHANG);
            if (ended == child) {
                child = -1;
                return status;
            }
            // Polling the pseudo-terminal's far end also drains anything written to it.
            pollfd entry{master, POLLIN, 0};
            if (poll(&entry, 1, 10) > 0) {
                char sink[256];
                (void)!read(master, sink, sizeof sink);
            }
        }
        return -1;
    }

    /// Everything the client wrote to its standard output and error.
    std::string Output() const {
        std::string text;
        char buffer[4096];
        ssize_t count = 0;
        off_t at = 0;
        while ((count = pread(logDescriptor, buffer, sizeof buffer, at)) > 0) {
            text.append(buffer, static_cast<std::size_t>(count));
            at += count;
        }
        return text;
    }

    int master = -1;
    int terminal = -1;
    int logDescriptor = -1;
    pid_t child = -1;
    std::string settingsBefore;
};

/// Requests the client sends before its cycles begin are well under this. [Units: requests]
constexpr std::size_t kRequestsIntoTheRun = 40;

TEST(TerminalTest, SettingsAreRestoredAfterEveryEndOfTheRun) {
    struct Case {
        const char* what;
        int signalNumber; // 0: end by a key
        bool ok;          // the run ends with status 0 (else killed by the signal)
    };
    // SIGINT and SIGTERM end the control run like a key; SIGHUP takes its default course once
    // the terminal is restored.
    for (const Case& c : {Case{"key", 0, true}, Case{"SIGINT", SIGINT, true},
                          Case{"SIGTERM", SIGTERM, true}, Case{"SIGHUP", SIGHUP, false}}) {
        SCOPED_TRACE(c.what);
        testing::FakeRobotServer server;
        ClientOnTerminal client(server.Port());
        ASSERT_FALSE(client.settingsBefore.empty());
        ASSERT_TRUE(server.WaitForRequests(kRequestsIntoTheRun));
        EXPECT_TRUE(client.TerminalIsRaw());
        if (c.signalNumber == 0) {
            client.Type('q');
        } else {
            kill(client.child, c.signalNumber);
        }
        const int status = client.Wait();
        if (c.ok) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber) << status;
        }
        EXPECT_EQ(SttySettings(client.terminal), client.settingsBefore);
        EXPECT_EQ(client.Output().find("Sanitizer"), std::string::npos) << client.Output();
    }
}

TEST(TerminalTest, SettingsAreRestoredAfterAnErrorAndItsKeyPress) {
    testing::FakeRobotServer server;
    server.FailNext(static_cast<std::int32_t>(ControllerMessage::GetPosition), "Robot destroyed");
    ClientOnTerminal client(server.Port());
    ASSERT_FALSE(client.settingsBefore.empty());
    // On a terminal the error stays on screen until a key is pressed, the terminal still raw,
    // and the client says that it waits.
    const std::string shown = "Robot destroyed\nPress any key to exit\n";
    for (int i = 0; i < 1000 && client.Output() != shown; ++i) {
        poll(nullptr, 0, 10);
    }
    ASSERT_EQ(client.Output(), shown);
    EXPECT_TRUE(client.TerminalIsRaw());
    client.Type('x');
    const int status = client.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(client.Output(), shown);
    EXPECT_EQ(SttySettings(client.terminal), client.settingsBefore);
}

} // namespace
} // namespace botpilot
