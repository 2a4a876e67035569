#include "tests/arena/arena_process.h"

#include "platform/steady_time.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace botarena::testing {

ArenaProcess::ArenaProcess(const std::vector<std::string>& arguments,
                           const std::string& errorLogPath) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        const int nothing = open("/dev/null", O_RDONLY);
        const int log = open(errorLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(nothing, STDIN_FILENO);
        dup2(ends[1], STDOUT_FILENO);
        if (log >= 0) {
            dup2(log, STDERR_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(ends[1]);
    outFd = ends[0];
}

ArenaProcess::~ArenaProcess() {
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    if (outFd >= 0) {
        close(outFd);
    }
}

template <typename Stop> bool ArenaProcess::ReadUntil(Stop stop, double timeoutSeconds) {
    const botpilot::Deadline deadline = botpilot::Deadline::After(timeoutSeconds);
    while (!stop()) {
        if (outputEnded) {
            return true;
        }
        pollfd ready{outFd, POLLIN, 0};
        const int count = poll(&ready, 1, deadline.RemainingMilliseconds());
        if (count == 0) {
            return false;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        char chunk[4096];
        const ssize_t got = read(outFd, chunk, sizeof chunk);
        if (got <= 0) {
            outputEnded = true;
        } else {
            buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }
    return true;
}

std::optional<std::string> ArenaProcess::ReadFirstLine(double timeoutSeconds) {
    ReadUntil([this] { return buffer.find('\n') != std::string::npos; }, timeoutSeconds);
    const std::size_t end = buffer.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    return line;
}

std::optional<int> ArenaProcess::Wait(double timeoutSeconds) {
    const bool ended = ReadUntil([] { return false; }, timeoutSeconds);
    output += buffer;
    buffer.clear();
    if (!ended) {
        kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    child = -1;
    if (!ended || !WIFEXITED(status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(status);
}

int PortFromFirstLine(const std::string& line) {
    const std::size_t at = line.find("port ");
    return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 5);
}

} // namespace botarena::testing
