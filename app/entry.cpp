#include "app/entry.h"

#include "app/check_list.h"
#include "app/command_line.h"
#include "app/control_run.h"
#include "app/settings.h"

#include <exception>
#include <iostream>
#include <string>

namespace botpilot {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

int RunSelected(int argc, const char* const argv[], Keyboard& keyboard) {
    Settings& settings = ProcessSettings();
    ParseCommandLine(argc, argv, settings);
    if (settings.selfTest) {
        const int failures = BuiltInChecks().RunAll(std::cout, std::cerr);
        keyboard.WaitForKeyPress();
        return failures == 0 ? kSuccess : kFailure;
    }
    RunControl(keyboard);
    return kSuccess;
}

} // namespace

int RunEntry(int argc, const char* const argv[], Keyboard& keyboard) {
    try {
        return RunSelected(argc, argv, keyboard);
    } catch (const std::string& text) {
        std::cerr << text << std::endl;
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
    } catch (...) {
        std::cerr << "Exception" << std::endl;
    }
    keyboard.WaitForKeyPress();
    return kFailure;
}

} // namespace botpilot
