#include "tests/support/child_process.h"

#include "platform/steady_time.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace botpilot::testing {

namespace {

void MakePipe(int ends[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
}

} // namespace

ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& input,
                     double timeoutSeconds,
                     const std::function<void(int processId)>& whileRunning) {
    int inPipe[2];
    int outPipe[2];
    int errPipe[2];
    MakePipe(inPipe);
    MakePipe(outPipe);
    MakePipe(errPipe);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);

    // The input is small: write it whole, then close so the child sees the end of input.
    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    while (written < input.size()) {
        const ssize_t count = write(inPipe[1], input.data() + written, input.size() - written);
        if (count <= 0) {
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    close(inPipe[1]);
    if (whileRunning) {
        whileRunning(child);
    }

    ChildResult result;
    const Deadline deadline = Deadline::After(timeoutSeconds);
    pollfd streams[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        const int ready = poll(streams, 2, deadline.RemainingMilliseconds());
        if (ready == 0) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t count = read(streams[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(count));
            } else {
                close(streams[i].fd);
                streams[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& stream : streams) {
        if (stream.fd >= 0) {
            close(stream.fd);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signalNumber = WTERMSIG(status);
    }
    return result;
}

bool AskChildToStop(int processId) {
    return kill(processId, SIGTERM) == 0;
}

} // namespace botpilot::testing
