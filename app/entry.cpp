#include "app/entry.h"

#include "app/check_list.h"
#include "app/command_line.h"
#include "app/control_run.h"
#include "link/connection.h"
#include "link/settings.h"

#include <exception>
#include <iostream>
#include <string>

namespace botpilot {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

/// How the arena answers once its battle has ended ("Battle over: Nolix wins"): the run is
/// over, which is no failure of the client.
constexpr const char* kBattleOverText = "Battle over";

/// Keeps the last words on screen when a person is at the console; never waits otherwise.
void AwaitKeyBeforeExit(Keyboard& keyboard) {
    if (keyboard.Interactive()) {
        std::cerr << "Press any key to exit" << std::endl;
    }
    keyboard.WaitForKeyPress();
}

int RunSelected(int argc, const char* const argv[], Keyboard& keyboard) {
    Settings& settings = ProcessSettings();
    for (const IgnoredOption& ignored : ParseCommandLine(argc, argv, settings)) {
        std::cerr << "Ignored unknown option '" << ignored.option << "' with its value '"
                  << ignored.value << "'" << std::endl;
    }
    if (settings.selfTest) {
        const int failures = BuiltInChecks().RunAll(std::cout, std::cerr);
        AwaitKeyBeforeExit(keyboard);
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
    } catch (const ConnectError& error) {
        // A standard exception like the rest; the second line says what to do about it.
        std::cerr << error.what() << std::endl
                  << "No server answered at " << error.host << ":" << error.port
                  << "; start an arena first (build/release/botarena), or run scripts/battle"
                  << std::endl;
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        if (std::string(error.what()).rfind(kBattleOverText, 0) == 0) {
            AwaitKeyBeforeExit(keyboard);
            return kSuccess;
        }
    } catch (...) {
        std::cerr << "Exception" << std::endl;
    }
    if (CommandLineNeedsUsage(argc, argv)) {
        WriteUsage(std::cerr);
    }
    AwaitKeyBeforeExit(keyboard);
    return kFailure;
}

} // namespace botpilot
