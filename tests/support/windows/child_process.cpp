#include "tests/support/child_process.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <windows.h>

namespace botpilot::testing {

namespace {

/// One argument as the C runtime of the child splits its command line: quoted when it holds a
/// space, a tab or a quote, with backslashes doubled before a quote.
std::string Quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

/// A pipe whose one end the child inherits.
struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;

    explicit Pipe(bool childReads) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        if (CreatePipe(&read, &write, &inheritable, 0) == 0) {
            throw std::runtime_error("CreatePipe failed");
        }
        SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0);
    }
    ~Pipe() {
        Close(read);
        Close(write);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    static void Close(HANDLE& handle) {
        if (handle != nullptr) {
            CloseHandle(handle);
            handle = nullptr;
        }
    }
};

void Drain(HANDLE from, std::string& into) {
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(from, buffer, sizeof buffer, &count, nullptr) != 0 && count > 0) {
        into.append(buffer, count);
    }
}

/// The input of each child whose RunChild is calling its `whileRunning`, by process id.
std::mutex inputsLock;
std::map<int, HANDLE> inputs;

} // namespace

ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& input,
                     double timeoutSeconds,
                     const std::function<void(int processId)>& whileRunning) {
    Pipe in(true);
    Pipe out(false);
    Pipe err(false);

    std::string commandLine;
    for (const std::string& argument : arguments) {
        commandLine += (commandLine.empty() ? "" : " ") + Quoted(argument);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(arguments.at(0).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &startup, &process) == 0) {
        throw std::runtime_error("CreateProcess failed for " + arguments.at(0));
    }
    CloseHandle(process.hThread);
    // Only the child holds these ends now, so that its exit ends the reads below.
    Pipe::Close(in.read);
    Pipe::Close(out.write);
    Pipe::Close(err.write);

    ChildResult result;
    std::thread outReader(Drain, out.read, std::ref(result.out));
    std::thread errReader(Drain, err.read, std::ref(result.err));
    // The input is small: write it whole, then close so the child sees the end of input (after
    // `whileRunning`, which may still press a key there).
    DWORD written = 0;
    if (!input.empty()) {
        WriteFile(in.write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
    if (whileRunning) {
        const int processId = static_cast<int>(process.dwProcessId);
        {
            const std::lock_guard<std::mutex> hold(inputsLock);
            inputs[processId] = in.write;
        }
        whileRunning(processId);
        const std::lock_guard<std::mutex> hold(inputsLock);
        inputs.erase(processId);
    }
    Pipe::Close(in.write);

    const auto milliseconds = static_cast<DWORD>(timeoutSeconds * 1000.0);
    if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    outReader.join();
    errReader.join();
    // Text, as the child wrote it: its C runtime ends each line with CR LF.
    for (std::string* text : {&result.out, &result.err}) {
        text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code) != 0 && !result.timedOut) {
        result.exited = true;
        result.exitStatus = static_cast<int>(code);
    }
    CloseHandle(process.hProcess);
    return result;
}

// A test has no console to send a Ctrl-Break through, so the child is asked as a user at its
// keyboard would: with a key that is not 'd', which ends a run as a stop does.
bool AskChildToStop(int processId) {
    const std::lock_guard<std::mutex> hold(inputsLock);
    const auto found = inputs.find(processId);
    DWORD written = 0;
    return found != inputs.end() && WriteFile(found->second, "q", 1, &written, nullptr) != 0;
}

} // namespace botpilot::testing
