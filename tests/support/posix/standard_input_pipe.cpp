#include "tests/support/standard_input_pipe.h"

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace botpilot::testing {

StandardInputPipe::StandardInputPipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    savedInput = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    writer = ends[1];
}

StandardInputPipe::~StandardInputPipe() {
    CloseWriter();
    dup2(static_cast<int>(savedInput), STDIN_FILENO);
    close(static_cast<int>(savedInput));
}

void StandardInputPipe::Write(const std::string& bytes) {
    if (write(static_cast<int>(writer), bytes.data(), bytes.size()) !=
        static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("write to the input pipe failed");
    }
}

void StandardInputPipe::CloseWriter() {
    if (writer >= 0) {
        close(static_cast<int>(writer));
        writer = -1;
    }
}

} // namespace botpilot::testing
