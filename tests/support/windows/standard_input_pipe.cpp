#include "tests/support/standard_input_pipe.h"

#include <cstdint>
#include <stdexcept>
#include <windows.h>

namespace botpilot::testing {

namespace {

HANDLE AsHandle(long long value) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(value));
}

long long AsValue(HANDLE handle) {
    return static_cast<long long>(reinterpret_cast<std::intptr_t>(handle));
}

} // namespace

StandardInputPipe::StandardInputPipe() {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (CreatePipe(&read, &write, nullptr, 0) == 0) {
        throw std::runtime_error("CreatePipe failed");
    }
    savedInput = AsValue(GetStdHandle(STD_INPUT_HANDLE));
    SetStdHandle(STD_INPUT_HANDLE, read);
    reader = AsValue(read);
    writer = AsValue(write);
}

StandardInputPipe::~StandardInputPipe() {
    CloseWriter();
    SetStdHandle(STD_INPUT_HANDLE, AsHandle(savedInput));
    CloseHandle(AsHandle(reader));
}

void StandardInputPipe::Write(const std::string& bytes) {
    DWORD written = 0;
    if (WriteFile(AsHandle(writer), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                  nullptr) == 0 ||
        written != bytes.size()) {
        throw std::runtime_error("write to the input pipe failed");
    }
}

void StandardInputPipe::CloseWriter() {
    if (writer != -1) {
        CloseHandle(AsHandle(writer));
        writer = -1;
    }
}

} // namespace botpilot::testing
